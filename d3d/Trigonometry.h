// Trigonometry.h - the module's sine table and the rotation used by the sprite and triangle
// renderers. Angles in degrees, single precision.
#pragma once

namespace VEL::d3d {

// Fills the 65536-entry sine table; called while the first root is constructed.
void BuildSineTable();
float TableSin(float degrees);
float TableCos(float degrees);
// 4 x 4 rotation, rows as in a D3D matrix: m[row][column].
void RotationMatrix(float m[4][4], float x, float y, float z);

} // namespace VEL::d3d
