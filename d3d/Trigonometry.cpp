#include "Trigonometry.h"

#include <cmath>
#include <cstdint>

namespace VEL::d3d {
namespace {

// pi as the nearest single-precision value, used in double arithmetic.
constexpr double kPi = 3.1415927410125732;

// Written only while the first root is constructed, read afterwards.
float g_sine[65536];

// Truncation toward zero; values outside the 32-bit range (and NaN) give INT32_MIN, as the
// processor's conversion does, instead of undefined behaviour.
int32_t Truncate(float value)
{
    if (!(value > -2147483649.0f && value < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

struct Lookup {
    float s, c;
    double d; // the fraction of a table step, in radians
};

Lookup Find(float degrees)
{
    const float t = static_cast<float>(static_cast<double>(degrees) / 360.0 * 65536.0);
    const int32_t i = Truncate(t);
    const float f = static_cast<float>(static_cast<double>(t) - static_cast<double>(i));
    const uint32_t index = static_cast<uint32_t>(i) & 0xFFFFu;
    const double d = static_cast<double>(f) * (1.0 / 65536.0) * kPi * 2.0;
    return {g_sine[index], g_sine[(index + 16384u) & 0xFFFFu], d};
}

} // namespace

void BuildSineTable()
{
    for (int32_t i = 0; i < 65536; ++i) {
        const float angle = static_cast<float>(static_cast<double>(i) * 2.0 * kPi / 65536.0);
        g_sine[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
    }
}

float TableSin(float degrees)
{
    const Lookup l = Find(degrees);
    return static_cast<float>(l.c * l.d + l.s);
}

float TableCos(float degrees)
{
    const Lookup l = Find(degrees);
    return static_cast<float>(l.c - l.d * l.s);
}

void RotationMatrix(float m[4][4], float x, float y, float z)
{
    // An angle of 0 (or -0) looks up exactly +0 and 1: skip the lookups for the common upright
    // case without changing a bit of the result.
    const float sx = x == 0.0f ? 0.0f : TableSin(x), cx = x == 0.0f ? 1.0f : TableCos(x);
    const float sy = y == 0.0f ? 0.0f : TableSin(y), cy = y == 0.0f ? 1.0f : TableCos(y);
    const float sz = z == 0.0f ? 0.0f : TableSin(z), cz = z == 0.0f ? 1.0f : TableCos(z);
    m[0][0] = cy * cz;
    m[0][1] = sx * sy * cz - cx * sz;
    m[0][2] = cx * sy * cz + sx * sz;
    m[0][3] = 0.0f;
    m[1][0] = cy * sz;
    m[1][1] = sx * sy * sz + cx * cz;
    m[1][2] = cx * sy * sz - sx * cz;
    m[1][3] = 0.0f;
    m[2][0] = -sy;
    m[2][1] = sx * cy;
    m[2][2] = cx * cy;
    m[2][3] = 0.0f;
    m[3][0] = 0.0f;
    m[3][1] = 0.0f;
    m[3][2] = 0.0f;
    m[3][3] = 1.0f;
}

} // namespace VEL::d3d
