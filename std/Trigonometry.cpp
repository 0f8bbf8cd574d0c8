#include "Trigonometry.h"

#include "VELStd.h"

#include <bit>
#include <cmath>
#include <cstdlib>

namespace VEL::trig {
namespace {

// pi as the nearest single-precision value (0x40490FDB), used in double arithmetic throughout so
// that table entries and lookups match bit for bit wherever they are computed.
constexpr double kPi = 3.1415927410125732;
constexpr double kStep = 1.52587890625e-05; // 1 / 65536

// Sine of i * 2pi / 65536: one full turn in 65536 steps.
float g_sine[65536];
// Arc tangent in degrees of the ratio i / 32768 - 1, entry 65536 being 45 (ratio +1).
float g_arcTangent[65537];
const float* g_arcTangentCentre = nullptr; // entry 32768, ratio 0
bool g_built = false;

// Truncation toward zero as the processor's conversion does it: values outside the 32-bit range
// (and NaN) give INT32_MIN instead of undefined behaviour.
int32_t TruncateToInt(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The first-order step: table value plus the derivative times the fraction of a step.
struct SineCosine {
    float s, c;
    double delta; // fraction of a table step, in radians
};

// degrees / 360 * 65536 rounded to single precision, without a division on the common path.
// The product with the rounded constant is within two double ulps of the exact quotient, so both
// round to the same float unless a float rounding boundary lies that close; then divide.
[[gnu::always_inline]] inline float DegreesToSteps(float degrees)
{
    constexpr double kStepsPerDegree = 65536.0 / 360.0;
    const double product = static_cast<double>(degrees) * kStepsPerDegree;
    const uint64_t bits = std::bit_cast<uint64_t>(product);
    const uint64_t belowFloat = bits & 0x1FFFFFFFu; // the bits a normal float drops
    const uint64_t exponent = (bits >> 52) & 0x7FFu;
    if (belowFloat - 0x0FFFFFFCu <= 8u || exponent < 1023 - 120) // near a boundary, or float-subnormal

        return static_cast<float>(static_cast<double>(degrees) / 360.0 * 65536.0);
    return static_cast<float>(product);
}

[[gnu::always_inline]] inline SineCosine Lookup(float degrees)
{
    const float a = DegreesToSteps(degrees);
    const int32_t i = TruncateToInt(a);
    const float f = static_cast<float>(static_cast<double>(a) - static_cast<double>(i));
    const uint32_t index = static_cast<uint32_t>(i) & 0xFFFFu;
    // f * (1/65536) * pi * 2 has one inexact step (the product with pi); the powers of two are
    // folded into the constant without changing the rounding.
    constexpr double kRadiansPerStep = kPi * kStep * 2.0;
    return {g_sine[index], g_sine[(index + 16384u) & 0xFFFFu], static_cast<double>(f) * kRadiansPerStep};
}

} // namespace

void BuildTables()
{
    if (g_built)
        return;
    for (int32_t i = 0; i < 65536; ++i) {
        const float angle = static_cast<float>(kPi * i * 2.0 * kStep);
        g_sine[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        const float ratio = static_cast<float>(static_cast<double>(2 * i - 65536) * kStep);
        const float t = static_cast<float>(std::atan(static_cast<double>(ratio)));
        g_arcTangent[i] = static_cast<float>(static_cast<double>(t) * 180.0 / kPi);
    }
    g_arcTangentCentre = &g_arcTangent[32768];
    g_built = true;
    g_arcTangent[65536] = 45.0f;
}

} // namespace VEL::trig

namespace VEL {

using namespace trig;

// The root's trigonometry lives here, beside the tables, so that each call is one function.
float CVELStd::Sin(float degrees)
{
    const SineCosine t = Lookup(degrees);
    return static_cast<float>(t.s + t.c * t.delta);
}

float CVELStd::Cos(float degrees)
{
    const SineCosine t = Lookup(degrees);
    return static_cast<float>(t.c - t.s * t.delta);
}

float CVELStd::ATan2(int32_t y, int32_t x)
{
    if (x == 0 && y == 0)
        return 0.0f;
    const int64_t ax = std::llabs(x), ay = std::llabs(y);
    // The ratio of the smaller to the larger magnitude lies in [-1, 1], so the index stays within
    // 0 ... 65536 (the two ends when |x| == |y|).
    if (ax > ay) {
        const int32_t k = TruncateToInt(static_cast<double>(y) / static_cast<double>(x) * -32768.0);
        const double v = g_arcTangentCentre[-k];
        if (x >= 0)
            return static_cast<float>(v);
        return static_cast<float>(y >= 0 ? v + 180.0 : v - 180.0);
    }
    const int32_t k = TruncateToInt(static_cast<double>(x) / static_cast<double>(y) * -32768.0);
    const double v = g_arcTangentCentre[-k];
    return static_cast<float>(y >= 0 ? 90.0 - v : -v - 90.0);
}

float CVELStd::Pow(float x, int32_t n)
{
    // Repeated multiplication (or division) rounding after every step. Once the sequence stops
    // changing, or alternates between two values (x = -1, or a signed zero or infinity reached
    // with a negative x), the remaining steps are settled by their count instead of being run.
    float result = 1.0f;
    uint32_t steps = n < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(n)) : static_cast<uint32_t>(n);
    float previous = result;
    while (steps > 0) {
        const float next = n > 0 ? result * x : result / x;
        --steps;
        if (std::bit_cast<uint32_t>(next) == std::bit_cast<uint32_t>(result))
            return next;
        if (std::bit_cast<uint32_t>(next) == std::bit_cast<uint32_t>(previous) && steps > 0)
            return (steps % 2 == 0) ? next : result;
        previous = result;
        result = next;
    }
    return result;
}

} // namespace VEL
