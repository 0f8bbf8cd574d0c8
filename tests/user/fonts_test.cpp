// Fonts of the user facility: enumeration of the installed family (fonts-dejavu-core, installed by
// the set-up), font handles, and text drawn into 32-bit pixels, clipped and blended.
#include "control_user.h"
#include "win_user.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

// Address-sanitizer builds: fontconfig keeps part of its parsed configuration unreachable for the
// life of the process; that is the library's, not a leak of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

constexpr const char* kFamily = "DejaVu Sans";

struct Reported {
    std::string face;
    std::string style;
    LONG weight;
    bool italic;
};

INT Collect(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD type, LPARAM context)
{
    auto* faces = reinterpret_cast<std::vector<Reported>*>(context);
    const auto* full = reinterpret_cast<const ENUMLOGFONTEXA*>(font);
    EXPECT_EQ(type, TRUETYPE_FONTTYPE);
    EXPECT_EQ(metrics->tmWeight, font->lfWeight);
    faces->push_back({font->lfFaceName, reinterpret_cast<const char*>(full->elfStyle), font->lfWeight,
                      font->lfItalic != 0});
    return 1;
}

LOGFONTA Description(const char* face, LONG height, LONG weight = FW_NORMAL)
{
    LOGFONTA font{};
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    font.lfHeight = height;
    font.lfWeight = weight;
    return font;
}

TEST(Fonts, EnumerationReportsTheFamilysFacesRegularFirst)
{
    LOGFONTA search = Description(kFamily, 0);
    search.lfCharSet = DEFAULT_CHARSET;
    std::vector<Reported> faces;
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, &search, &Collect, reinterpret_cast<LPARAM>(&faces), 0), 1);
    ASSERT_GE(faces.size(), 2u) << "the set-up installs the regular and bold faces";
    EXPECT_EQ(faces[0].weight, FW_NORMAL);
    EXPECT_FALSE(faces[0].italic);
    bool bold = false;
    for (const Reported& face : faces) {
        EXPECT_EQ(face.face, kFamily);
        EXPECT_FALSE(face.style.empty());
        bold = bold || face.weight == FW_BOLD;
    }
    EXPECT_TRUE(bold);

    // A callback returning 0 ends the enumeration, whose result it becomes.
    int calls = 0;
    auto first = [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM context) -> INT {
        ++*reinterpret_cast<int*>(context);
        return 0;
    };
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(EnumFontFamiliesExA(memory, &search, first, reinterpret_cast<LPARAM>(&calls), 0), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));

    // Case and blanks do not matter; an unknown family reports nothing.
    faces.clear();
    LOGFONTA loose = Description("dejavusans", 0);
    EnumFontFamiliesExA(nullptr, &loose, &Collect, reinterpret_cast<LPARAM>(&faces), 0);
    EXPECT_FALSE(faces.empty());
    faces.clear();
    LOGFONTA unknown = Description("No Such Family At All", 0);
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, &unknown, &Collect, reinterpret_cast<LPARAM>(&faces), 0), 1);
    EXPECT_TRUE(faces.empty());

    // No name: one regular face per family.
    faces.clear();
    LOGFONTA any = Description("", 0);
    EnumFontFamiliesExA(nullptr, &any, &Collect, reinterpret_cast<LPARAM>(&faces), 0);
    int dejavu = 0;
    for (const Reported& face : faces)
        dejavu += face.face == kFamily;
    EXPECT_EQ(dejavu, 1);
}

TEST(Fonts, BadArgumentsAreRefused)
{
    std::vector<Reported> faces;
    LOGFONTA unterminated{};
    std::memset(unterminated.lfFaceName, 'A', LF_FACESIZE);
    unterminated.lfHeight = 12;
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, &unterminated, &Collect, reinterpret_cast<LPARAM>(&faces), 0), 0);
    EXPECT_TRUE(faces.empty());
    EXPECT_EQ(CreateFontIndirectA(&unterminated), nullptr);
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);

    LOGFONTA search = Description(kFamily, 0);
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, &search, nullptr, 0, 0), 0);
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, nullptr, &Collect, reinterpret_cast<LPARAM>(&faces), 0), 0);
    int notADc = 0;
    EXPECT_EQ(EnumFontFamiliesExA(reinterpret_cast<HDC>(&notADc), &search, &Collect, reinterpret_cast<LPARAM>(&faces), 0), 0);
    EXPECT_TRUE(faces.empty());

    for (LONG height : {LONG{100000}, LONG{-100000}, LONG{INT_MIN}}) {
        LOGFONTA huge = Description(kFamily, height);
        EXPECT_EQ(CreateFontIndirectA(&huge), nullptr) << height;
    }
    LOGFONTA wide = Description(kFamily, 12);
    wide.lfWidth = INT_MIN;
    EXPECT_EQ(CreateFontIndirectA(&wide), nullptr);

    LOGFONTA good = Description(kFamily, -12);
    HFONT font = CreateFontIndirectA(&good);
    ASSERT_NE(font, nullptr);
    LOGFONTA copy{};
    EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<INT>(sizeof(LOGFONTA)));
    EXPECT_EQ(GetObjectA(font, 8, &copy), 8);
    EXPECT_EQ(copy.lfHeight, -12);
    EXPECT_EQ(copy.lfWeight, 0) << "only 8 bytes copied";
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(GetObjectA(font, sizeof copy, &copy), 0);
    EXPECT_FALSE(DeleteObject(&notADc));
    SIZE size{};
    EXPECT_FALSE(plat_user_text_extent(font, "x", &size));
}

// A canvas with guard pixels right of and below the drawing area.
struct Canvas {
    static constexpr int kWidth = 64, kHeight = 32, kGuard = 8;
    static constexpr int kStride = kWidth + kGuard;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kStride * (kHeight + kGuard), 0);

    bool Draw(HFONT font, const char* text, int x, int y, DWORD color)
    {
        return plat_user_draw_text(font, text, pixels.data(), kWidth, kHeight, kStride * 4, x, y, color) != FALSE;
    }
    uint32_t At(int x, int y) const { return pixels[y * kStride + x]; }
    bool GuardsUntouched() const
    {
        for (int y = 0; y < kHeight + kGuard; ++y)
            for (int x = 0; x < kStride; ++x)
                if ((x >= kWidth || y >= kHeight) && At(x, y) != 0)
                    return false;
        return true;
    }
    int Ink() const
    {
        int ink = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                ink += At(x, y) != 0;
        return ink;
    }
};

HFONT MakeFont(LONG height, LONG weight, bool underline = false)
{
    LOGFONTA description = Description(kFamily, height, weight);
    description.lfUnderline = underline ? 1 : 0;
    return CreateFontIndirectA(&description);
}

TEST(Fonts, TextLandsInsideItsBoxAndHeavierWeightsInkMore)
{
    HFONT regular = MakeFont(20, FW_NORMAL);
    HFONT bold = MakeFont(20, FW_BOLD);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    SIZE box{};
    ASSERT_TRUE(plat_user_text_extent(regular, "Hg", &box));
    EXPECT_EQ(box.cy, 20);
    EXPECT_GT(box.cx, 10);

    Canvas canvas;
    ASSERT_TRUE(canvas.Draw(regular, "Hg", 3, 4, 0xFFFFFFFF));
    EXPECT_GT(canvas.Ink(), 40);
    for (int y = 0; y < Canvas::kHeight; ++y)
        for (int x = 0; x < Canvas::kWidth; ++x)
            if (canvas.At(x, y) != 0) {
                EXPECT_TRUE(x >= 3 && x < 3 + box.cx && y >= 4 && y < 4 + box.cy) << x << "," << y;
            }

    Canvas heavy;
    ASSERT_TRUE(heavy.Draw(bold, "Hg", 3, 4, 0xFFFFFFFF));
    EXPECT_GT(heavy.Ink(), canvas.Ink());

    // Underlined: a full row of ink across the box below the baseline.
    HFONT underlined = MakeFont(20, FW_NORMAL, true);
    ASSERT_NE(underlined, nullptr);
    Canvas lined;
    ASSERT_TRUE(lined.Draw(underlined, "--", 0, 0, 0xFFFFFFFF));
    SIZE lineBox{};
    ASSERT_TRUE(plat_user_text_extent(underlined, "--", &lineBox));
    bool fullRow = false;
    for (int y = lineBox.cy / 2 + 2; y < lineBox.cy && !fullRow; ++y) {
        bool row = true;
        for (int x = 0; x < lineBox.cx - 1 && row; ++x)
            row = (lined.At(x, y) >> 24) == 0xFF;
        fullRow = row;
    }
    EXPECT_TRUE(fullRow);
    for (HFONT font : {regular, bold, underlined})
        EXPECT_TRUE(DeleteObject(font));
}

TEST(Fonts, DrawingBlendsTheColourAndStaysInsideTheImage)
{
    HFONT font = MakeFont(-24, FW_BOLD);
    ASSERT_NE(font, nullptr);
    Canvas blended;
    ASSERT_TRUE(blended.Draw(font, "W", 2, 2, 0x80FF0000)); // half-transparent red on black
    uint32_t maxRed = 0;
    for (uint32_t pixel : blended.pixels) {
        maxRed = std::max(maxRed, (pixel >> 16) & 0xFF);
        EXPECT_EQ(pixel & 0xFFFF, 0u) << "no green or blue";
    }
    EXPECT_GE(maxRed, 0x7Fu);
    EXPECT_LE(maxRed, 0x81u);

    // Text partly or wholly outside, and invalid UTF-8, never write past the image.
    const struct {
        int x, y;
    } places[] = {{-10, -10}, {50, 20}, {-1000, 5}, {5, 1000}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {60, -5}};
    Canvas clipped;
    for (const auto& place : places)
        EXPECT_TRUE(clipped.Draw(font, "Wg\xC3\xA9\xFF\xE2\x82", place.x, place.y, 0xFFFFFFFF));
    EXPECT_TRUE(clipped.GuardsUntouched());
    EXPECT_GT(clipped.Ink(), 0);

    Canvas bad;
    EXPECT_FALSE(plat_user_draw_text(font, "W", bad.pixels.data(), 64, 32, 64 * 4 - 1, 0, 0, 0xFFFFFFFF));
    EXPECT_FALSE(plat_user_draw_text(font, "W", nullptr, 64, 32, 256, 0, 0, 0xFFFFFFFF));
    EXPECT_FALSE(plat_user_draw_text(font, nullptr, bad.pixels.data(), 64, 32, 256, 0, 0, 0xFFFFFFFF));
    EXPECT_FALSE(plat_user_draw_text(font, "W", bad.pixels.data(), 0, 32, 256, 0, 0, 0xFFFFFFFF));
    EXPECT_FALSE(plat_user_draw_text(font, "W", bad.pixels.data(), 64, -1, 256, 0, 0, 0xFFFFFFFF));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(plat_user_draw_text(font, "W", bad.pixels.data(), 64, 32, 256, 0, 0, 0xFFFFFFFF));
    EXPECT_EQ(bad.Ink(), 0);
}

} // namespace
