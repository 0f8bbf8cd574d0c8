// Table trigonometry and Pow: bit for bit against a reference written from the documented
// steps, and within the tables' resolution of the library functions.
#include "StdFixture.h"

#include <bit>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.1415927410125732; // single-precision pi, in double arithmetic

struct ReferenceTables {
    std::vector<float> sine = std::vector<float>(65536);
    std::vector<float> arcTangent = std::vector<float>(65537);
    ReferenceTables()
    {
        for (int i = 0; i < 65536; ++i) {
            float angle = static_cast<float>(kPi * i * 2.0 * (1.0 / 65536));
            sine[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
            float ratio = static_cast<float>((2.0 * i - 65536.0) / 65536.0);
            float t = static_cast<float>(std::atan(static_cast<double>(ratio)));
            arcTangent[i] = static_cast<float>(t * 180.0 / kPi);
        }
        arcTangent[65536] = 45.0f;
    }
};

const ReferenceTables& Tables()
{
    static ReferenceTables tables;
    return tables;
}

float ReferenceSinCos(float degrees, bool cosine)
{
    const auto& t = Tables();
    float a = static_cast<float>(degrees / 360.0 * 65536.0);
    int32_t i = static_cast<int32_t>(a);
    float f = static_cast<float>(a - static_cast<double>(i));
    double delta = f * (1.0 / 65536) * kPi * 2.0;
    float s = t.sine[i & 0xFFFF];
    float c = t.sine[((i & 0xFFFF) + 16384) & 0xFFFF];
    return cosine ? static_cast<float>(c - s * delta) : static_cast<float>(s + c * delta);
}

float ReferenceATan2(int32_t y, int32_t x)
{
    const auto& t = Tables();
    if (x == 0 && y == 0)
        return 0.0f;
    if (std::fabs(static_cast<double>(x)) > std::fabs(static_cast<double>(y))) {
        int32_t k = static_cast<int32_t>(static_cast<double>(y) / x * -32768.0);
        double v = t.arcTangent[32768 - k];
        if (x >= 0)
            return static_cast<float>(v);
        return static_cast<float>(y >= 0 ? v + 180.0 : v - 180.0);
    }
    int32_t k = static_cast<int32_t>(static_cast<double>(x) / y * -32768.0);
    double v = t.arcTangent[32768 - k];
    return static_cast<float>(y >= 0 ? 90.0 - v : -v - 90.0);
}

uint32_t Bits(float v) { return std::bit_cast<uint32_t>(v); }

} // namespace

TEST_F(StdTest, SinAndCosMatchTheReferenceBitForBit)
{
    std::vector<float> angles = {0, 90, -90, 180, 270, 360, -360, 720.5f, 45, 0.001f, -0.001f, 1e-6f, 33.3f,
                                 -1234.567f, 100000.25f, 5.4931640625e-3f /* exactly one step */};
    for (int i = -2000; i <= 2000; ++i)
        angles.push_back(i * 0.3791f);
    for (float d : angles) {
        ASSERT_EQ(Bits(root->Sin(d)), Bits(ReferenceSinCos(d, false))) << "Sin(" << d << ")";
        ASSERT_EQ(Bits(root->Cos(d)), Bits(ReferenceSinCos(d, true))) << "Cos(" << d << ")";
    }
}

TEST_F(StdTest, SinAndCosLandOnTableEntriesAndAreAccurate)
{
    const auto& t = Tables();
    EXPECT_EQ(root->Sin(0), 0.0f);
    EXPECT_EQ(Bits(root->Sin(90)), Bits(t.sine[16384]));
    EXPECT_EQ(Bits(root->Sin(-90)), Bits(t.sine[49152]));
    EXPECT_NEAR(root->Sin(-90), -1.0f, 1e-7);
    EXPECT_EQ(Bits(root->Sin(360)), Bits(root->Sin(0)));
    EXPECT_EQ(Bits(root->Cos(0)), Bits(t.sine[16384]));
    EXPECT_EQ(Bits(root->Cos(180)), Bits(t.sine[49152]));
    for (float d = -720; d < 720; d += 0.737f) {
        const double r = d * kPi / 180.0;
        ASSERT_NEAR(root->Sin(d), std::sin(r), 2e-6) << d;
        ASSERT_NEAR(root->Cos(d), std::cos(r), 2e-6) << d;
    }
}

TEST_F(StdTest, SinOfNonFiniteOrHugeAnglesDoesNotFault)
{
    // Out of the integer range the step index is INT32_MIN: a defined table entry, no fault.
    for (float d : {INFINITY, -INFINITY, NAN, 1e30f, -1e30f})
        (void)root->Sin(d), (void)root->Cos(d);
}

TEST_F(StdTest, ATan2MatchesTheReferenceAndTheQuadrants)
{
    struct Case {
        int32_t y, x;
        float expected;
    } cases[] = {{0, 0, 0}, {1, 1, 45}, {-1, -1, -135}, {0, -5, 180}, {5, 0, 90}, {-5, 0, -90}, {0, 5, 0},
                 {1, -1, 135}, {-1, 1, -45}};
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(root->ATan2(c.y, c.x), c.expected) << c.y << "," << c.x;

    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -100000, -777, -3, -1, 0, 1, 2, 5, 999, 65536, INT32_MAX};
    for (int32_t y : values)
        for (int32_t x : values) {
            ASSERT_EQ(Bits(root->ATan2(y, x)), Bits(ReferenceATan2(y, x))) << y << "," << x;
            if (x || y) {
                ASSERT_NEAR(root->ATan2(y, x), std::atan2(double(y), double(x)) * 180.0 / M_PI, 0.002)
                    << y << "," << x;
            }
        }
}

TEST_F(StdTest, PowMultipliesOrDividesStepByStep)
{
    EXPECT_EQ(root->Pow(2, 10), 1024.0f);
    EXPECT_EQ(root->Pow(2, -2), 0.25f);
    EXPECT_EQ(root->Pow(3.5f, 0), 1.0f);
    EXPECT_EQ(root->Pow(NAN, 0), 1.0f);
    EXPECT_TRUE(std::isinf(root->Pow(0, -1)));
    EXPECT_TRUE(std::isnan(root->Pow(NAN, 3)));

    // Rounding after every step, not one exact power.
    float stepwise = 1.0f;
    for (int i = 0; i < 7; ++i)
        stepwise *= 1.1f;
    EXPECT_EQ(Bits(root->Pow(1.1f, 7)), Bits(stepwise));

    // Long runs settle to the same value the full loop gives, and quickly.
    EXPECT_EQ(root->Pow(1.0f, INT32_MAX), 1.0f);
    EXPECT_EQ(root->Pow(-1.0f, INT32_MAX), -1.0f);
    EXPECT_EQ(root->Pow(-1.0f, INT32_MIN), 1.0f);
    EXPECT_EQ(root->Pow(2.0f, INT32_MAX), INFINITY);
    EXPECT_EQ(root->Pow(-2.0f, 1001), -INFINITY);
    EXPECT_EQ(root->Pow(-2.0f, 1000), INFINITY);
    EXPECT_EQ(Bits(root->Pow(-0.5f, 1001)), Bits(-0.0f));
    EXPECT_EQ(Bits(root->Pow(-0.5f, INT32_MIN)), Bits(INFINITY));
}
