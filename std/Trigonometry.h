// Trigonometry.h - the process-wide lookup tables behind IVELStd's Sin, Cos and ATan2.
#pragma once

#include <cstdint>

namespace VEL::trig {

// Builds both tables once per process (the first root's constructor calls it; later calls return
// at once). Not locked: the first root must be constructed before another thread makes a second.
void BuildTables();

float Sin(float degrees);
float Cos(float degrees);
float ATan2(int32_t y, int32_t x);
float Pow(float x, int32_t n);

} // namespace VEL::trig
