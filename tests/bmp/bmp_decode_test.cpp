// Decoding well-formed files with both decoder builds: every depth into both destination
// formats against the slow reference, the palette alpha rule of each build, header variants,
// top-down files and the depths and formats that write nothing.
#include "BmpTestSupport.h"
#include "BmpWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

using bmptest::Build;
using bmptest::ExpectDecodesLikeReference;
using bmptest::Expected;
using bmptest::GuardedImage;
using bmptest::PatternSpec;
using fixtures::BmpSpec;
using fixtures::MakeBmp;

namespace {

const Build kBuilds[] = {Build::BuiltIn, Build::PlugIn};
const uint32_t kFormats[] = {0, 2};

class BmpDepthFormat : public ::testing::TestWithParam<std::tuple<Build, uint16_t, uint32_t>> {};

TEST_P(BmpDepthFormat, EveryPixelMatchesReference)
{
    const auto [build, bits, format] = GetParam();
    // Odd and even widths below, at and beyond the 8-, 32- and 64-pixel steps of the vector
    // paths, so that both the wide loops and the remainders are compared.
    for (int32_t width : {1, 2, 3, 5, 7, 9, 13, 17, 31, 33, 37, 64, 71, 130, 257}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const auto file = MakeBmp(PatternSpec(bits, width, 5, width * 7 + bits));
        ExpectDecodesLikeReference(build, file, format);
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BmpDepthFormat,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::Values(uint16_t{1}, uint16_t{2}, uint16_t{4}, uint16_t{8},
                                                              uint16_t{24}, uint16_t{32}),
                                            ::testing::ValuesIn(kFormats)),
                         [](const auto& info) {
                             return bmptest::BuildName(std::get<0>(info.param)) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "bit_format" +
                                    std::to_string(std::get<2>(info.param));
                         });

// Independent of the reference: the images BmpWriter was asked for, pixel by pixel.
uint32_t Expect32(const BmpSpec& spec, int32_t x, int32_t y, Build build)
{
    const uint32_t v = spec.pixel(x, y);
    if (spec.bitCount == 24)
        return 0xFF000000u | (v & 0xFFFFFF);
    if (spec.bitCount == 32)
        return v;
    const uint32_t index = v & ((1u << spec.bitCount) - 1);
    const uint32_t supplied = spec.colorsUsed ? std::min<uint32_t>(spec.colorsUsed, 1u << spec.bitCount) : (1u << spec.bitCount);
    if (index >= supplied)
        return build == Build::PlugIn ? 0 : 0xFF000000u;
    const uint32_t alpha = build == Build::PlugIn && index == 0 ? 0 : 0xFF000000u;
    return alpha | spec.palette[index];
}

void ExpectImage(Build build, const BmpSpec& spec, uint32_t format, bool bottomUpDestination = false)
{
    const auto file = MakeBmp(spec);
    bool opened = false;
    auto decoder = bmptest::OpenDecoder(build, file, &opened);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(opened);
    const int32_t rows = spec.height < 0 ? -spec.height : spec.height;
    ASSERT_EQ(decoder->GetWidth(), spec.width);
    ASSERT_EQ(decoder->GetHeight(), rows);
    GuardedImage image(spec.width, rows, format, 8, bottomUpDestination);
    decoder->Decode(image.Origin(), image.Pitch(), format);
    ASSERT_TRUE(image.GuardsIntact());
    std::vector<uint32_t> want;
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < spec.width; ++x)
            want.push_back(Expect32(spec, x, y, build));
    EXPECT_EQ(image.Compare(want), "");
}

TEST(BmpDecode, ImagesAsWrittenInBothBuildsAndFormats)
{
    struct Case {
        const char* name;
        uint16_t bits;
        int32_t width, height;
        uint32_t infoHeaderSize;
        bool bottomUpDestination;
    };
    const Case cases[] = {
        {"24-bit", 24, 11, 4, 40, false},
        {"24-bit, 124-byte header (pixel data offset used)", 24, 7, 3, 124, false},
        {"32-bit, 124-byte header", 32, 5, 3, 124, false},
        {"8-bit top-down file", 8, 9, -6, 40, false},
        {"1-bit top-down file", 1, 19, -3, 40, false},
        {"24-bit top-down file", 24, 6, -4, 40, false},
        {"4-bit into a destination with a negative pitch", 4, 13, 5, 40, true},
    };
    for (const Case& c : cases)
        for (Build build : kBuilds)
            for (uint32_t format : kFormats) {
                SCOPED_TRACE(std::string(c.name) + ", " + bmptest::BuildName(build) + ", format " + std::to_string(format));
                BmpSpec spec = PatternSpec(c.bits, c.width, c.height, 99);
                spec.infoHeaderSize = c.infoHeaderSize;
                ExpectImage(build, spec, format, c.bottomUpDestination);
            }
}

TEST(BmpDecode, PaletteAlphaRuleOfEachBuild)
{
    // 8-bit, colours used 16: entries 16..255 stay zero. Built-in: everything opaque. Plug-in:
    // index 0 and indices >= 16 transparent, 1..15 opaque.
    BmpSpec spec;
    spec.width = 16;
    spec.height = 16;
    spec.bitCount = 8;
    spec.colorsUsed = 16;
    for (uint32_t i = 0; i < 16; ++i)
        spec.palette.push_back(0x101010u * i + 0x0F0102u);
    spec.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(y * 16 + x); };
    const auto file = MakeBmp(spec);
    for (Build build : kBuilds) {
        SCOPED_TRACE(bmptest::BuildName(build));
        for (uint32_t format : kFormats) {
            bool opened = false;
            auto decoder = bmptest::OpenDecoder(build, file, &opened);
            ASSERT_TRUE(opened);
            GuardedImage image(16, 16, format);
            decoder->Decode(image.Origin(), image.Pitch(), format);
            ASSERT_TRUE(image.GuardsIntact());
            for (uint32_t index = 0; index < 256; ++index) {
                const uint32_t rgb = index < 16 ? spec.palette[index] : 0;
                const bool opaque = build == Build::BuiltIn || (index >= 1 && index < 16);
                const uint32_t want32 = (opaque ? 0xFF000000u : 0u) | rgb;
                const uint32_t want = format == 2 ? bmptest::To4444(want32) : want32;
                ASSERT_EQ(image.Pixel(static_cast<int32_t>(index % 16), static_cast<int32_t>(index / 16)), want)
                    << "index " << index << ", format " << format;
            }
        }
    }
}

TEST(BmpDecode, SmallFilesByHand)
{
    // 3 x 2 at 24 bits: 12-byte file rows (9 data bytes, 3 padding); the second file row is the
    // top of the image.
    std::vector<uint8_t> file24 = MakeBmp([] {
        BmpSpec s;
        s.width = 3;
        s.height = 2;
        return s;
    }());
    ASSERT_EQ(file24.size(), 54u + 24u);
    const uint8_t rows[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,
                              10, 20, 30, 40, 50, 60, 70, 80, 90, 0xEE, 0xEE, 0xEE};
    std::copy(rows, rows + 24, file24.begin() + 54);
    // 1 pixel wide at 1 bit, palette white then black: bit 7 of each 4-byte row picks the colour.
    std::vector<uint8_t> file1 = MakeBmp([] {
        BmpSpec s;
        s.width = 1;
        s.height = 3;
        s.bitCount = 1;
        s.palette = {0xFFFFFF, 0x000000};
        return s;
    }());
    ASSERT_EQ(file1.size(), 62u + 12u);
    const uint8_t rows1[12] = {0x80, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0};
    std::copy(rows1, rows1 + 12, file1.begin() + 62);

    for (Build build : kBuilds) {
        SCOPED_TRACE(bmptest::BuildName(build));
        bool opened = false;
        auto d24 = bmptest::OpenDecoder(build, file24, &opened);
        ASSERT_TRUE(opened);
        GuardedImage image24(3, 2, 0);
        d24->Decode(image24.Origin(), image24.Pitch(), 0);
        EXPECT_EQ(image24.Compare({0xFF1E140A, 0xFF3C3228, 0xFF5A5046, 0xFF030201, 0xFF060504, 0xFF090807}), "");

        auto d1 = bmptest::OpenDecoder(build, file1, &opened);
        ASSERT_TRUE(opened);
        GuardedImage image1(1, 3, 2);
        d1->Decode(image1.Origin(), image1.Pitch(), 2);
        // File rows bottom-up: black, white, black. Plug-in: index 0 (white) is transparent.
        const uint32_t white = build == Build::PlugIn ? 0x00FFFFFF : 0xFFFFFFFF;
        EXPECT_EQ(image1.Compare({0xFF000000, white, 0xFF000000}), "");
    }
}

TEST(BmpDecode, ThirtyTwoBitFormat0KeepsTheFileBytes)
{
    BmpSpec spec = PatternSpec(32, 9, 3, 5);
    const auto file = MakeBmp(spec);
    for (Build build : kBuilds) {
        bool opened = false;
        auto decoder = bmptest::OpenDecoder(build, file, &opened);
        ASSERT_TRUE(opened);
        GuardedImage image(9, 3, 0, 0);
        decoder->Decode(image.Origin(), image.Pitch(), 0);
        for (int32_t y = 0; y < 3; ++y)
            EXPECT_EQ(0, std::memcmp(static_cast<uint8_t*>(image.Origin()) + y * image.Pitch(),
                                     file.data() + 54 + (2 - y) * 36, 36))
                << "row " << y;
    }
}

TEST(BmpDecode, PaletteFileWithLongHeaderReadsPaletteAfterFirst40HeaderBytes)
{
    // The palette is taken from the bytes right after the first 40 header bytes and the rows
    // from right after that; the pixel data offset is used for 24 and 32 bits only.
    for (uint16_t bits : {uint16_t{1}, uint16_t{4}, uint16_t{8}}) {
        BmpSpec spec = PatternSpec(bits, 10, 4, 3);
        spec.infoHeaderSize = 124;
        const auto file = MakeBmp(spec);
        for (Build build : kBuilds)
            for (uint32_t format : kFormats) {
                SCOPED_TRACE(std::to_string(bits) + " bits, " + bmptest::BuildName(build));
                ExpectDecodesLikeReference(build, file, format);
            }
    }
}

TEST(BmpDecode, TwentyFourAndThirtyTwoBitDecodeMayBeRepeated)
{
    for (uint16_t bits : {uint16_t{24}, uint16_t{32}}) {
        const auto file = MakeBmp(PatternSpec(bits, 7, 3, 11));
        const Expected want = bmptest::ReferenceDecode(file, Build::PlugIn);
        for (Build build : kBuilds) {
            bool opened = false;
            auto decoder = bmptest::OpenDecoder(build, file, &opened);
            ASSERT_TRUE(opened);
            for (uint32_t format : kFormats) {
                GuardedImage image(7, 3, format);
                decoder->Decode(image.Origin(), image.Pitch(), format);
                EXPECT_EQ(image.Compare(want.argb), "") << bits << " bits, " << bmptest::BuildName(build);
            }
        }
    }
}

TEST(BmpDecode, UnhandledDepthsAndFormatsWriteNothing)
{
    struct Case {
        uint16_t bits;
        uint32_t format;
    };
    std::vector<Case> cases;
    for (uint16_t bits : {uint16_t{16}, uint16_t{0}, uint16_t{3}, uint16_t{48}})
        for (uint32_t format : {0u, 2u})
            cases.push_back({bits, format});
    for (uint16_t bits : {uint16_t{1}, uint16_t{2}, uint16_t{4}, uint16_t{8}, uint16_t{24}, uint16_t{32}})
        for (uint32_t format : {1u, 3u, 0xFFFFFFFFu})
            cases.push_back({bits, format});
    for (Build build : kBuilds)
        for (const Case& c : cases) {
            SCOPED_TRACE(bmptest::BuildName(build) + ", " + std::to_string(c.bits) + " bits, format " + std::to_string(c.format));
            BmpSpec spec;
            spec.width = 6;
            spec.height = 3;
            spec.bitCount = c.bits;
            if (c.bits >= 1 && c.bits <= 8)
                spec.palette.assign(1u << c.bits, 0x808080);
            spec.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 31 + y); };
            const auto file = MakeBmp(spec);
            bool opened = false;
            auto decoder = bmptest::OpenDecoder(build, file, &opened);
            ASSERT_TRUE(opened);
            EXPECT_EQ(decoder->GetBitCount(), c.bits);
            EXPECT_EQ(decoder->GetWidth(), 6);
            EXPECT_EQ(decoder->GetHeight(), 3);
            GuardedImage image(6, 3, c.format == 2 ? 2 : 0);
            decoder->Decode(image.Origin(), image.Pitch(), c.format);
            EXPECT_TRUE(image.Untouched());
        }
}

TEST(BmpDecode, ColoursUsedBeyondTheFullPalette)
{
    // The file's palette really holds the declared entries: the rows must still be found.
    for (uint16_t bits : {uint16_t{1}, uint16_t{4}, uint16_t{8}}) {
        BmpSpec spec = PatternSpec(bits, 11, 4, 21);
        const uint32_t declared = (1u << bits) + 45;
        while (spec.palette.size() < declared)
            spec.palette.push_back(0x123456);
        spec.colorsUsed = declared;
        for (Build build : kBuilds)
            for (uint32_t format : kFormats) {
                SCOPED_TRACE(std::to_string(bits) + " bits, " + bmptest::BuildName(build));
                ExpectImage(build, spec, format);
            }
    }
    // A count the file cannot hold: the skip stops at the end of the stream, every pixel is
    // still written (from the zero-filled row buffer).
    for (uint32_t declared : {0x40000000u, 0xFFFFFFFFu, 0x80000001u}) {
        BmpSpec spec = PatternSpec(8, 5, 3, 2);
        spec.colorsUsed = declared;
        const auto file = MakeBmp(spec);
        for (Build build : kBuilds)
            for (uint32_t format : kFormats) {
                SCOPED_TRACE("colours used " + std::to_string(declared) + ", " + bmptest::BuildName(build));
                ExpectDecodesLikeReference(build, file, format);
            }
    }
}

TEST(BmpDecode, ZeroSizedImagesOpenAndWriteNothing)
{
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}, std::pair{0, -3}})
        for (uint16_t bits : {uint16_t{8}, uint16_t{24}})
            for (Build build : kBuilds) {
                BmpSpec spec = PatternSpec(bits, w, h, 4);
                bool opened = false;
                auto decoder = bmptest::OpenDecoder(build, MakeBmp(spec), &opened);
                ASSERT_TRUE(opened) << w << "x" << h;
                EXPECT_EQ(decoder->GetWidth(), w);
                EXPECT_EQ(decoder->GetHeight(), h < 0 ? -h : h);
                GuardedImage image(4, 4, 0);
                decoder->Decode(image.Origin(), image.Pitch(), 0);
                EXPECT_TRUE(image.Untouched());
            }
}

} // namespace
