// Fonts: enumeration and matching on fontconfig, rendering with FreeType.
//
// A font handle is a heap record (tracked in a set, so stale or foreign handles are refused) with
// the LOGFONTA it was made from, the face fontconfig resolved and an open FreeType face sized for
// the request. Every FreeType and fontconfig call runs under one mutex: fonts are made and drawn
// rarely, and one lock keeps the shared FreeType library and the faces simple to reason about.
//
// Sizes follow the system's rules: a positive height is the cell height (the face's Windows
// ascent plus descent), a negative one the em height; the width, when given, is the average
// character width (the face's OS/2 average, half an em without one).
//
// LIMITATIONS: no kerning, no escapement or orientation, one line per call, no complex scripts.
#include "user_internal.h"
#include "control_user.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace plat::user {
bool IsUsableDc(HDC dc); // desktop.cpp

namespace {

constexpr LONG kDefaultCellHeight = 16;
constexpr int64_t kLargestPixelSize = 2048;
constexpr LONG kSyntheticBoldFrom = 600;

struct FontObject {
    LOGFONTA logFont{};
    std::string file;
    std::string style;
    FT_Face face = nullptr;
    bool syntheticBold = false;
    bool syntheticItalic = false;
    FT_Pos emboldenStrength = 0; // 26.6
    LONG ascent = 0;             // pixels above the baseline in the cell
    LONG descent = 0;            // pixels below
    LONG underlinePosition = 0;  // pixels below the baseline
    LONG underlineThickness = 1;
    LONG strikeoutPosition = 0;  // pixels above the baseline
};

struct FontState {
    std::mutex mutex;
    FT_Library library = nullptr;            // guarded by mutex
    bool libraryFailed = false;              // guarded by mutex
    std::unordered_set<FontObject*> live;    // guarded by mutex
};

FontState& Fonts()
{
    static FontState* state = new FontState;
    return *state;
}

// Mutex held.
FT_Library Library(FontState& state)
{
    if (!state.library && !state.libraryFailed && FT_Init_FreeType(&state.library) != 0) {
        state.library = nullptr;
        state.libraryFailed = true;
    }
    return state.library;
}

bool FaceNameFits(const LOGFONTA& font) { return std::memchr(font.lfFaceName, 0, LF_FACESIZE) != nullptr; }

void CopyName(char* to, size_t size, const char* from)
{
    std::memset(to, 0, size);
    if (from)
        std::strncpy(to, from, size - 1);
}

bool SameFamily(const char* a, const char* b)
{
    // fontconfig's family comparison: case and blanks do not count.
    for (;;) {
        while (*a == ' ')
            ++a;
        while (*b == ' ')
            ++b;
        if (!*a || !*b)
            return !*a && !*b;
        const char x = static_cast<char>(*a >= 'A' && *a <= 'Z' ? *a - 'A' + 'a' : *a);
        const char y = static_cast<char>(*b >= 'A' && *b <= 'Z' ? *b - 'A' + 'a' : *b);
        if (x != y)
            return false;
        ++a;
        ++b;
    }
}

struct Face {
    std::string family; // the family name the face was found under
    std::string style;
    std::string fullName;
    std::string file;
    LONG weight = FW_NORMAL; // 1 ... 1000
    bool italic = false;
    bool monospace = false;
    int width = FC_WIDTH_NORMAL;
};

std::string PatternString(FcPattern* pattern, const char* object, int index = 0)
{
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, index, &value) != FcResultMatch || !value)
        return {};
    return reinterpret_cast<const char*>(value);
}

int PatternInt(FcPattern* pattern, const char* object, int fallback)
{
    int value = fallback;
    if (FcPatternGetInteger(pattern, object, 0, &value) != FcResultMatch) {
        double real = 0;
        if (FcPatternGetDouble(pattern, object, 0, &real) == FcResultMatch)
            value = static_cast<int>(real);
        else
            value = fallback;
    }
    return value;
}

LONG WindowsWeight(int fontconfigWeight)
{
    return std::clamp<LONG>(FcWeightToOpenType(fontconfigWeight), 1, 1000);
}

Face FaceOf(FcPattern* pattern, const char* wantedFamily)
{
    Face face;
    face.family = PatternString(pattern, FC_FAMILY);
    if (wantedFamily && *wantedFamily) {
        for (int i = 0;; ++i) {
            std::string family = PatternString(pattern, FC_FAMILY, i);
            if (family.empty())
                break;
            if (SameFamily(family.c_str(), wantedFamily)) {
                face.family = family;
                break;
            }
        }
    }
    face.style = PatternString(pattern, FC_STYLE);
    face.fullName = PatternString(pattern, FC_FULLNAME);
    if (face.fullName.empty())
        face.fullName = face.family + (face.style.empty() ? "" : " " + face.style);
    face.file = PatternString(pattern, FC_FILE);
    face.weight = WindowsWeight(PatternInt(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR));
    face.italic = PatternInt(pattern, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
    face.monospace = PatternInt(pattern, FC_SPACING, FC_PROPORTIONAL) >= FC_MONO;
    face.width = PatternInt(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    return face;
}

// The regular face of a family sorts first: normal width, weight nearest 400, upright.
bool RegularFirst(const Face& a, const Face& b)
{
    auto key = [](const Face& f) {
        return std::make_tuple(std::abs(f.width - FC_WIDTH_NORMAL), std::abs(f.weight - FW_NORMAL), f.italic,
                               f.style, f.file);
    };
    return key(a) < key(b);
}

// Mutex held. Every face of `family` (every family's regular face when empty).
std::vector<Face> ListFaces(const char* family)
{
    std::vector<Face> faces;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FULLNAME, FC_FILE, FC_WEIGHT, FC_SLANT, FC_WIDTH,
                                            FC_SPACING, static_cast<char*>(nullptr));
    if (!pattern || !objects) {
        if (pattern)
            FcPatternDestroy(pattern);
        if (objects)
            FcObjectSetDestroy(objects);
        return faces;
    }
    if (*family)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            Face face = FaceOf(set->fonts[i], family);
            if (!face.family.empty())
                faces.push_back(std::move(face));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    std::sort(faces.begin(), faces.end(), RegularFirst);
    if (!*family) {
        // One face per family: the first (most regular) one.
        std::vector<Face> families;
        for (Face& face : faces) {
            auto seen = std::find_if(families.begin(), families.end(),
                                     [&](const Face& other) { return other.family == face.family; });
            if (seen == families.end())
                families.push_back(std::move(face));
        }
        std::sort(families.begin(), families.end(),
                  [](const Face& a, const Face& b) { return a.family < b.family; });
        return families;
    }
    return faces;
}

void Describe(const Face& face, ENUMLOGFONTEXA* record, TEXTMETRICA* metrics)
{
    std::memset(record, 0, sizeof *record);
    LOGFONTA& font = record->elfLogFont;
    font.lfHeight = kDefaultCellHeight;
    font.lfWeight = face.weight;
    font.lfItalic = face.italic ? 1 : 0;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = 3;  // stroke precision: an outline face
    font.lfClipPrecision = 2; // stroke clipping
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = face.monospace ? 0x31 : 0x22; // fixed + modern, variable + swiss
    CopyName(font.lfFaceName, LF_FACESIZE, face.family.c_str());
    CopyName(reinterpret_cast<char*>(record->elfFullName), LF_FULLFACESIZE, face.fullName.c_str());
    CopyName(reinterpret_cast<char*>(record->elfStyle), LF_FACESIZE, face.style.c_str());
    CopyName(reinterpret_cast<char*>(record->elfScript), LF_FACESIZE, "Western");

    std::memset(metrics, 0, sizeof *metrics);
    metrics->tmHeight = kDefaultCellHeight;
    metrics->tmWeight = face.weight;
    metrics->tmItalic = font.lfItalic;
    metrics->tmCharSet = ANSI_CHARSET;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFF;
    metrics->tmDefaultChar = 0x1F;
    metrics->tmBreakChar = 0x20;
    metrics->tmPitchAndFamily = static_cast<BYTE>((face.monospace ? 0x30 : 0x21) | 0x06); // vector, TrueType
}

// Mutex held. Resolves the description to a face file with fontconfig.
bool Resolve(const LOGFONTA& font, Face* face, int* faceIndex)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    if (font.lfFaceName[0])
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.lfFaceName));
    const LONG weight = font.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(font.lfWeight, 1000);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, font.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    *face = FaceOf(match, font.lfFaceName);
    *faceIndex = PatternInt(match, FC_INDEX, 0);
    FcPatternDestroy(match);
    return !face->file.empty();
}

int64_t RoundPixels(FT_Pos value26_6) { return (value26_6 + 32) >> 6; }

// Mutex held. Opens and sizes the face; false if it cannot be used.
bool OpenFace(FontState& state, const Face& resolved, int faceIndex, FontObject* font)
{
    FT_Library library = Library(state);
    if (!library || FT_New_Face(library, resolved.file.c_str(), faceIndex, &font->face) != 0) {
        font->face = nullptr;
        return false;
    }
    FT_Face face = font->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)
        return false;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const double units = face->units_per_EM;
    double cellUnits = face->ascender - face->descender;
    double ascentUnits = face->ascender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        cellUnits = os2->usWinAscent + os2->usWinDescent;
        ascentUnits = os2->usWinAscent;
    }
    if (cellUnits <= 0)
        cellUnits = units;

    const int64_t requested = font->logFont.lfHeight == 0 ? kDefaultCellHeight : font->logFont.lfHeight;
    double emPixels = requested > 0 ? static_cast<double>(requested) * units / cellUnits
                                    : static_cast<double>(-requested);
    double widthPixels = emPixels;
    if (font->logFont.lfWidth != 0) {
        const double average = (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) ? os2->xAvgCharWidth
                                                                                          : units / 2;
        widthPixels = std::abs(static_cast<double>(font->logFont.lfWidth)) * units / average;
    }
    if (emPixels < 1 || widthPixels < 1 || emPixels > kLargestPixelSize || widthPixels > kLargestPixelSize)
        return false;
    if (FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(widthPixels * 64)),
                         static_cast<FT_F26Dot6>(std::lround(emPixels * 64)), 72, 72) != 0)
        return false;

    const double scale = emPixels / units;
    font->ascent = static_cast<LONG>(std::lround(ascentUnits * scale));
    font->descent = std::max<LONG>(0, static_cast<LONG>(std::lround(cellUnits * scale)) - font->ascent);
    font->underlinePosition = std::max<LONG>(1, static_cast<LONG>(std::lround(-face->underline_position * scale)));
    font->underlineThickness = std::max<LONG>(1, static_cast<LONG>(std::lround(face->underline_thickness * scale)));
    font->strikeoutPosition = (os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition > 0)
                                  ? static_cast<LONG>(std::lround(os2->yStrikeoutPosition * scale))
                                  : font->ascent / 3;
    const LONG wanted = font->logFont.lfWeight;
    font->syntheticBold = wanted >= kSyntheticBoldFrom && resolved.weight < kSyntheticBoldFrom;
    font->syntheticItalic = font->logFont.lfItalic && !resolved.italic;
    font->emboldenStrength = static_cast<FT_Pos>(std::lround(emPixels * 64 / 24));
    font->file = resolved.file;
    font->style = resolved.style;
    return true;
}

void DestroyFont(FontObject* font)
{
    if (font->face)
        FT_Done_Face(font->face);
    delete font;
}

// Mutex held. A live font or null.
FontObject* Live(FontState& state, HGDIOBJ handle)
{
    auto* font = static_cast<FontObject*>(handle);
    return state.live.count(font) ? font : nullptr;
}

// The next character of UTF-8 text; bytes that start no valid sequence read as Latin-1.
uint32_t NextCharacter(const unsigned char*& p)
{
    const unsigned char lead = *p;
    int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? (lead < 0xF0 ? 2 : -1) : lead >= 0xC2 ? 1 : 0;
    if (lead < 0x80 || extra <= 0) {
        ++p;
        return lead;
    }
    uint32_t code = lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            ++p;
            return lead;
        }
        code = (code << 6) | (p[i] & 0x3F);
    }
    const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++p;
        return lead;
    }
    p += extra + 1;
    return code;
}

// Mutex held. Loads one glyph outline-rendered into face->glyph with the synthetic styles.
bool LoadGlyph(const FontObject& font, uint32_t character, bool render)
{
    FT_Face face = font.face;
    if (FT_Load_Char(face, character, FT_LOAD_NO_BITMAP) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (font.syntheticItalic) {
            FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees
            FT_Outline_Transform(&slot->outline, &shear);
        }
        if (font.syntheticBold)
            FT_Outline_Embolden(&slot->outline, font.emboldenStrength);
    }
    if (render && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    return true;
}

FT_Pos Advance(const FontObject& font)
{
    return font.face->glyph->advance.x + (font.syntheticBold ? font.emboldenStrength : 0);
}

// Mutex held. The text's box size.
SIZE Extent(const FontObject& font, const char* text)
{
    FT_Pos width = 0;
    for (auto* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        const uint32_t character = NextCharacter(p);
        if (LoadGlyph(font, character, false))
            width += Advance(font);
    }
    LONG pixels = static_cast<LONG>(std::min<int64_t>(RoundPixels(width), INT32_MAX));
    if (font.syntheticItalic)
        pixels += (font.ascent * 0x366A) >> 16;
    return SIZE{pixels, font.ascent + font.descent};
}

struct Canvas {
    uint8_t* pixels;
    int64_t width;
    int64_t height;
    int64_t pitch;
    DWORD color;

    void Blend(int64_t x, int64_t y, uint32_t coverage)
    {
        if (x < 0 || y < 0 || x >= width || y >= height || coverage == 0)
            return;
        auto* pixel = reinterpret_cast<uint32_t*>(pixels + y * pitch + x * 4);
        const uint32_t amount = coverage * (color >> 24) / 255;
        if (amount == 0)
            return;
        const uint32_t old = *pixel;
        uint32_t result = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int32_t from = static_cast<int32_t>((old >> shift) & 0xFF);
            const int32_t to = static_cast<int32_t>((color >> shift) & 0xFF);
            const int32_t value = from + ((to - from) * static_cast<int32_t>(amount) + (to > from ? 127 : -127)) / 255;
            result |= static_cast<uint32_t>(std::clamp(value, 0, 255)) << shift;
        }
        result |= std::max(old >> 24, amount) << 24;
        *pixel = result;
    }

    void Line(int64_t x0, int64_t x1, int64_t y, int64_t thickness)
    {
        for (int64_t row = y; row < y + thickness; ++row)
            for (int64_t x = std::max<int64_t>(x0, 0); x < std::min(x1, width); ++x)
                Blend(x, row, 255);
    }
};

} // namespace
} // namespace plat::user

using namespace plat::user;

PLAT_API INT EnumFontFamiliesExA(HDC dc, LOGFONTA* font, FONTENUMPROCA callback, LPARAM context, DWORD /*flags*/)
{
    if (!font || !callback || !FaceNameFits(*font) || !IsUsableDc(dc))
        return 0;
    std::vector<Face> faces;
    {
        FontState& state = Fonts();
        std::lock_guard lock(state.mutex);
        try {
            faces = ListFaces(font->lfFaceName);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    // The callback runs without the lock: it may create fonts.
    INT result = 1;
    for (const Face& face : faces) {
        ENUMLOGFONTEXA record;
        TEXTMETRICA metrics;
        Describe(face, &record, &metrics);
        result = callback(&record.elfLogFont, &metrics, TRUETYPE_FONTTYPE, context);
        if (result == 0)
            break;
    }
    return result;
}

PLAT_API HFONT CreateFontIndirectA(const LOGFONTA* description)
{
    if (!description || !FaceNameFits(*description)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    FontState& state = Fonts();
    std::lock_guard lock(state.mutex);
    FontObject* font = nullptr;
    try {
        font = new FontObject;
        font->logFont = *description;
        Face resolved;
        int faceIndex = 0;
        if (!Resolve(*description, &resolved, &faceIndex) || !OpenFace(state, resolved, faceIndex, font)) {
            DestroyFont(font);
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        state.live.insert(font);
    } catch (const std::bad_alloc&) {
        if (font)
            DestroyFont(font);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<HFONT>(font);
}

PLAT_API BOOL DeleteObject(HGDIOBJ object)
{
    FontState& state = Fonts();
    std::lock_guard lock(state.mutex);
    FontObject* font = Live(state, object);
    if (!font)
        return FALSE;
    state.live.erase(font);
    DestroyFont(font);
    return TRUE;
}

PLAT_API INT GetObjectA(HGDIOBJ object, INT size, void* buffer)
{
    FontState& state = Fonts();
    std::lock_guard lock(state.mutex);
    FontObject* font = Live(state, object);
    if (!font)
        return 0;
    if (!buffer)
        return sizeof(LOGFONTA);
    if (size <= 0)
        return 0;
    const size_t count = std::min<size_t>(static_cast<size_t>(size), sizeof(LOGFONTA));
    std::memcpy(buffer, &font->logFont, count);
    return static_cast<INT>(count);
}

PLAT_API BOOL plat_user_text_extent(HFONT handle, const char* text, SIZE* size)
{
    if (!text || !size)
        return FALSE;
    FontState& state = Fonts();
    std::lock_guard lock(state.mutex);
    FontObject* font = Live(state, handle);
    if (!font)
        return FALSE;
    *size = Extent(*font, text);
    return TRUE;
}

PLAT_API BOOL plat_user_draw_text(HFONT handle, const char* text, void* pixels, INT width, INT height, INT pitch,
                                  INT x, INT y, DWORD color)
{
    if (!text || !pixels || width <= 0 || height <= 0 || static_cast<int64_t>(pitch) < static_cast<int64_t>(width) * 4)
        return FALSE;
    FontState& state = Fonts();
    std::lock_guard lock(state.mutex);
    FontObject* font = Live(state, handle);
    if (!font)
        return FALSE;
    Canvas canvas{static_cast<uint8_t*>(pixels), width, height, pitch, color};
    const int64_t baseline = static_cast<int64_t>(y) + font->ascent;
    FT_Pos pen = static_cast<int64_t>(x) * 64;
    for (auto* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        const uint32_t character = NextCharacter(p);
        if (!LoadGlyph(*font, character, true))
            continue;
        const FT_GlyphSlot slot = font->face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int64_t left = RoundPixels(pen) + slot->bitmap_left;
        const int64_t top = baseline - slot->bitmap_top;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.buffer) {
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                const unsigned char* source = bitmap.buffer + static_cast<int64_t>(row) * bitmap.pitch;
                for (unsigned column = 0; column < bitmap.width; ++column)
                    canvas.Blend(left + column, top + row, source[column]);
            }
        }
        pen += Advance(*font);
    }
    const int64_t end = RoundPixels(pen);
    if (font->logFont.lfUnderline)
        canvas.Line(x, end, baseline + font->underlinePosition - font->underlineThickness / 2, font->underlineThickness);
    if (font->logFont.lfStrikeOut)
        canvas.Line(x, end, baseline - font->strikeoutPosition, font->underlineThickness);
    return TRUE;
}

PLATCTL_API int platctl_user_font_face(void* handle, char* file, uint32_t file_size, char* style, uint32_t style_size,
                                       int* synthetic_bold, int* synthetic_italic)
{
    FontState& state = Fonts();
    std::lock_guard lock(state.mutex);
    FontObject* font = Live(state, handle);
    if (!font)
        return 0;
    if (file && file_size)
        CopyName(file, file_size, font->file.c_str());
    if (style && style_size)
        CopyName(style, style_size, font->style.c_str());
    if (synthetic_bold)
        *synthetic_bold = font->syntheticBold ? 1 : 0;
    if (synthetic_italic)
        *synthetic_italic = font->syntheticItalic ? 1 : 0;
    return 1;
}
