// Trigonometry.h - the process-wide lookup tables behind IVELStd's Sin, Cos and ATan2
// (CVELStd's trigonometry is defined beside them in Trigonometry.cpp).
#pragma once

#include <cstdint>

namespace VEL::trig {

// Builds both tables once per process (the first root's constructor calls it; later calls return
// at once). Not locked: the first root must be constructed before another thread makes a second.
void BuildTables();

} // namespace VEL::trig
