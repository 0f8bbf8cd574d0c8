// BmpTestSupport.h - what the BMP decoder tests share: both decoder builds behind one small
// adaptor (the plug-in library's instances and the standard library's loader with its built-in
// decoder), a slow reference decoder that works on the file bytes, and a guard-banded
// destination.
#pragma once

#include "BmpWriter.h"
#include "EngineLibrary.h"
#include "MemoryStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bmptest {

enum class Build { BuiltIn, PlugIn };

std::string BuildName(Build build);

// One decoder of either build, used as a host uses it.
class Decoder {
public:
    virtual ~Decoder() = default;
    virtual bool Open(VEL::IDataStream* stream) = 0;
    virtual int32_t GetWidth() = 0;
    virtual int32_t GetHeight() = 0;
    virtual int32_t GetBitCount() = 0;
    virtual void Decode(void* destination, int32_t pitch, uint32_t format) = 0;
    virtual void Close() = 0;
};

// Built-in: a graphics loader of libVELStd6 opened with no plug-in. Plug-in: an instance from
// libBmpGraphicsPlugin. Fails the current test and returns null when the library is missing.
std::unique_ptr<Decoder> MakeDecoder(Build build);

// The plug-in library, loaded once per process.
const veltest::EngineLibrary& PluginLibrary();
// The standard library, loaded once per process.
const veltest::EngineLibrary& StdLibrary();

// Opens a decoder of the build on a new stream over the bytes (the decoder keeps the stream).
std::unique_ptr<Decoder> OpenDecoder(Build build, const std::vector<uint8_t>& file, bool* opened = nullptr);

// What the decoder must produce for a file, computed pixel by pixel from its bytes following
// the documented rules (reads clamped to the file, a short row leaving the rest of the row
// buffer as it was). ok is false where Open must fail.
struct Expected {
    bool ok = false;
    int32_t width = 0;
    int32_t height = 0;   // row count
    bool decodes = false; // depth handled by Decode
    bool tooLarge = false; // more pixels than asked for: no pixels computed
    std::vector<uint32_t> argb; // width x height, top row first, 0xAARRGGBB
};
Expected ReferenceDecode(const std::vector<uint8_t>& file, Build build, uint64_t maxPixels = UINT64_MAX);

// Opens the file with a decoder of the build, checks Open's result and the reported geometry
// against the reference, decodes into a guarded destination sized from GetWidth and GetHeight
// and compares every pixel (or checks that nothing was written).
void ExpectDecodesLikeReference(Build build, const std::vector<uint8_t>& file, uint32_t format, bool bottomUp = false);

// 0xAARRGGBB -> 0xARGB (high nibbles).
inline uint16_t To4444(uint32_t argb)
{
    return static_cast<uint16_t>(((argb >> 28) & 0xF) << 12 | ((argb >> 20) & 0xF) << 8 | ((argb >> 12) & 0xF) << 4 |
                                 ((argb >> 4) & 0xF));
}

// A destination of width x height pixels with a row pitch of width * bytesPerPixel + padding,
// surrounded by guard bytes. The guards and the padding of every row must never be written.
class GuardedImage {
public:
    GuardedImage(int32_t width, int32_t height, uint32_t format, uint32_t padding = 12, bool bottomUp = false);
    void* Origin();   // where Decode writes the top row
    int32_t Pitch() const { return bottomUp_ ? -pitch_ : pitch_; }
    // True when nothing outside the width x height area changed.
    bool GuardsIntact() const;
    // True when nothing at all changed.
    bool Untouched() const;
    uint32_t Pixel(int32_t x, int32_t y) const; // 32- or 16-bit value
    // Compares every pixel with expected 0xAARRGGBB values (converted for format 2); returns a
    // description of the first difference, or an empty string.
    std::string Compare(const std::vector<uint32_t>& argb) const;

    static constexpr uint8_t kFill = 0xA5;
    static constexpr size_t kGuard = 256;

private:
    const uint8_t* RowStart(int32_t y) const;
    int32_t width_, height_;
    uint32_t format_;
    uint32_t bytesPerPixel_;
    int32_t pitch_;
    bool bottomUp_;
    std::vector<uint8_t> bytes_;
};

// A deterministic pixel pattern.
inline uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// A file of the depth with a random full palette and random pixels.
inline fixtures::BmpSpec PatternSpec(uint16_t bits, int32_t width, int32_t height, uint32_t seed)
{
    fixtures::BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = bits;
    if (bits >= 1 && bits <= 8)
        for (uint32_t i = 0; i < (1u << bits); ++i)
            spec.palette.push_back(Hash(i, 0xFFFF, seed) & 0xFFFFFF);
    spec.pixel = [seed](int32_t x, int32_t y) { return Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed + 1); };
    return spec;
}

} // namespace bmptest
