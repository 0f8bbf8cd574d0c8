// BMPDecoder.cpp - the one source of both BMP decoder builds (standard library and plug-in).
//
// File layout read here: a 14-byte file header ("BM", file size, reserved, pixel data offset)
// and the first 40 bytes of the information header (size, width, height, planes, bits per
// pixel, compression, image size, resolutions, colours used, important colours), little-endian.
// Palette images read their palette right after those 54 bytes and their rows right after the
// palette; 24- and 32-bit images seek to the pixel data offset. Compression is not looked at:
// every file is read as uncompressed rows, bottom row first unless the height is negative.
#include "BMPDecoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace VEL {

namespace {

// Offsets inside the headers as stored.
constexpr size_t kFileSignature = 0;     // in the file header
constexpr size_t kFilePixelOffset = 10;  // in the file header
constexpr size_t kInfoWidth = 4;         // in the information header
constexpr size_t kInfoHeight = 8;
constexpr size_t kInfoBitCount = 14;
constexpr size_t kInfoColorsUsed = 32;

constexpr uint32_t kSignatureBM = 0x4D42;

uint32_t LoadLE16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

uint32_t LoadLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The destination may have any alignment (odd pitches), so pixels are stored bytewise through
// memcpy, which compiles to a plain store.
template <class Pixel>
inline void Put(uint8_t* row, uint32_t x, Pixel value)
{
    std::memcpy(row + size_t(x) * sizeof(Pixel), &value, sizeof(Pixel));
}

// 0xAARRGGBB -> 0xARGB, keeping the high nibble of each channel.
inline uint16_t To4444(uint32_t argb)
{
    return uint16_t(((argb >> 16) & 0xF000u) | ((argb >> 12) & 0x0F00u) | ((argb >> 8) & 0x00F0u) |
                    ((argb >> 4) & 0x000Fu));
}

template <class Pixel>
inline Pixel Convert(uint32_t argb);
template <>
inline uint32_t Convert<uint32_t>(uint32_t argb) { return argb; }
template <>
inline uint16_t Convert<uint16_t>(uint32_t argb) { return To4444(argb); }

// ---- Row kernels: one pass over a file row, whole source bytes (or 4 pixels) per step, then
// the remainder of the row.

// One source byte of 8 / Bits palette indices, most significant first, into 8 / Bits pixels.
template <class Pixel, unsigned Bits, size_t... I>
inline void ExpandByte(uint32_t byte, uint8_t* out, uint32_t x, const Pixel* lut, std::index_sequence<I...>)
{
    constexpr uint32_t mask = (1u << Bits) - 1;
    (Put<Pixel>(out, x + uint32_t(I), lut[(byte >> (8 - Bits * (I + 1))) & mask]), ...);
}

template <class Pixel, unsigned Bits>
void PaletteRowPacked(const uint8_t* src, uint8_t* out, uint32_t w, const Pixel* lut)
{
    constexpr uint32_t perByte = 8 / Bits;
    constexpr uint32_t mask = (1u << Bits) - 1;
    uint32_t x = 0;
    for (; x + perByte <= w; x += perByte)
        ExpandByte<Pixel, Bits>(*src++, out, x, lut, std::make_index_sequence<perByte>());
    if (x < w) {
        const uint32_t byte = *src;
        for (uint32_t shift = 8 - Bits; x < w; ++x, shift -= Bits)
            Put<Pixel>(out, x, lut[(byte >> shift) & mask]);
    }
}

template <class Pixel>
void PaletteRow8(const uint8_t* src, uint8_t* out, uint32_t w, const Pixel* lut)
{
    uint32_t x = 0;
    for (; x + 4 <= w; x += 4, src += 4) {
        Put<Pixel>(out, x + 0, lut[src[0]]);
        Put<Pixel>(out, x + 1, lut[src[1]]);
        Put<Pixel>(out, x + 2, lut[src[2]]);
        Put<Pixel>(out, x + 3, lut[src[3]]);
    }
    for (; x < w; ++x)
        Put<Pixel>(out, x, lut[*src++]);
}

template <class Pixel>
void Row24(const uint8_t* src, uint8_t* out, uint32_t w)
{
    uint32_t x = 0;
    // Four pixels (B G R) x 4 = three little-endian words per step.
    for (; x + 4 <= w; x += 4, src += 12) {
        const uint32_t a = LoadLE32(src), b = LoadLE32(src + 4), c = LoadLE32(src + 8);
        Put<Pixel>(out, x + 0, Convert<Pixel>(0xFF000000u | (a & 0xFFFFFFu)));
        Put<Pixel>(out, x + 1, Convert<Pixel>(0xFF000000u | (a >> 24) | ((b & 0xFFFFu) << 8)));
        Put<Pixel>(out, x + 2, Convert<Pixel>(0xFF000000u | (b >> 16) | ((c & 0xFFu) << 16)));
        Put<Pixel>(out, x + 3, Convert<Pixel>(0xFF000000u | (c >> 8)));
    }
    for (; x < w; ++x, src += 3)
        Put<Pixel>(out, x, Convert<Pixel>(0xFF000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0]));
}

void Row32To32(const uint8_t* src, uint8_t* out, uint32_t w)
{
    // The four bytes unchanged, the fourth becoming alpha.
    std::memcpy(out, src, size_t(w) * 4);
}

void Row32To16(const uint8_t* src, uint8_t* out, uint32_t w)
{
    uint32_t x = 0;
    for (; x + 4 <= w; x += 4, src += 16) {
        Put<uint16_t>(out, x + 0, To4444(LoadLE32(src)));
        Put<uint16_t>(out, x + 1, To4444(LoadLE32(src + 4)));
        Put<uint16_t>(out, x + 2, To4444(LoadLE32(src + 8)));
        Put<uint16_t>(out, x + 3, To4444(LoadLE32(src + 12)));
    }
    for (; x < w; ++x, src += 4)
        Put<uint16_t>(out, x, To4444(LoadLE32(src)));
}

template <class Pixel>
void Row32(const uint8_t* src, uint8_t* out, uint32_t w)
{
    if constexpr (sizeof(Pixel) == 4)
        Row32To32(src, out, w);
    else
        Row32To16(src, out, w);
}

// File row size in bytes, 4-byte aligned. w <= kMaxDimension keeps this far below 2^32.
uint32_t RowBytes(uint32_t bits, uint32_t w)
{
    switch (bits) {
    case 1: return ((w + 31) >> 5) * 4;
    case 2: return ((w + 15) >> 4) * 4;
    case 4: return ((w + 7) >> 3) * 4;
    case 8: return (w + 3) & ~3u;
    case 24: return (3 * w + 3) & ~3u;
    case 32: return 4 * w;
    default: return 0;
    }
}

struct Image {
    IDataStream* stream;
    uint32_t bits;
    uint32_t width;
    uint32_t rows;
    bool topDown;
    uint32_t colorsUsed;
    uint32_t pixelOffset;
    bool transparentIndex0;
};

// Reads the palette that follows the headers and converts it into lut (full palette of the
// depth; entries the file does not supply stay zero before conversion). Leaves the stream at the
// first byte after the file's palette.
template <class Pixel>
void ReadPalette(const Image& image, Pixel* lut)
{
    const uint32_t full = 1u << image.bits;
    const uint32_t declared = image.colorsUsed ? image.colorsUsed : full;
    // The table holds the full palette only: a larger count reads the full palette, then skips
    // the surplus entries so the rows start where the file's palette ends. The target is
    // computed in 64 bits (a count near 2^32 cannot wrap) and clamped to the stream's size.
    const uint32_t count = std::min(declared, full);
    uint8_t entries[256 * 4] = {};
    image.stream->Read(entries, 4, count);
    if (declared > full) {
        const uint64_t target = uint64_t(image.stream->GetPosition()) + uint64_t(declared - full) * 4;
        const uint64_t end = image.stream->GetSize();
        // Origin 0 takes the position as an unsigned 32-bit value; the cast keeps its bits.
        image.stream->Seek(int32_t(uint32_t(std::min(target, end))), 0);
    }
    if (image.transparentIndex0) {
        for (uint32_t i = 0; i < count; ++i)
            entries[4 * i + 3] = 0xFF;
        entries[3] = 0;
    }
    for (uint32_t i = 0; i < full; ++i) {
        const uint8_t* e = entries + 4 * i;
        const uint32_t alpha = image.transparentIndex0 ? uint32_t(e[3]) << 24 : 0xFF000000u;
        lut[i] = Convert<Pixel>(alpha | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0]);
    }
}

template <class Pixel>
void DecodeRows(const Image& image, uint8_t* destination, int32_t pitch)
{
    Pixel lut[256];
    if (image.bits <= 8)
        ReadPalette<Pixel>(image, lut);
    else
        image.stream->Seek(int32_t(image.pixelOffset), 0);

    // One zero-filled row buffer per Decode. A short read leaves the rest of it as it was (zeros
    // before the first row, then bytes of the previous row) and those bytes are converted: every
    // destination pixel is written, nothing is read outside the buffer.
    const uint32_t rowBytes = RowBytes(image.bits, image.width);
    const std::unique_ptr<uint8_t[]> row(new uint8_t[rowBytes]());
    const uint32_t w = image.width;

    for (uint32_t k = 0; k < image.rows; ++k) {
        image.stream->Read(row.get(), rowBytes, 1);
        // Bottom-up files store the bottom image row first; top-down files the top row.
        const uint32_t y = image.topDown ? k : image.rows - 1 - k;
        uint8_t* out = destination + int64_t(y) * pitch;
        switch (image.bits) {
        case 1: PaletteRowPacked<Pixel, 1>(row.get(), out, w, lut); break;
        case 2: PaletteRowPacked<Pixel, 2>(row.get(), out, w, lut); break;
        case 4: PaletteRowPacked<Pixel, 4>(row.get(), out, w, lut); break;
        case 8: PaletteRow8<Pixel>(row.get(), out, w, lut); break;
        case 24: Row24<Pixel>(row.get(), out, w); break;
        default: Row32<Pixel>(row.get(), out, w); break;
        }
    }
}

} // namespace

int32_t CBMPDecoder::HeaderWidth() const { return int32_t(LoadLE32(infoHeader_ + kInfoWidth)); }

int32_t CBMPDecoder::HeaderHeight() const { return int32_t(LoadLE32(infoHeader_ + kInfoHeight)); }

int32_t CBMPDecoder::GetWidth() { return open_ ? HeaderWidth() : 0; }

int32_t CBMPDecoder::GetHeight()
{
    if (!open_)
        return 0;
    // A top-down file has a negative height; hosts size their buffers from this value, so the
    // row count is reported. Open rejected INT32_MIN.
    const int32_t h = HeaderHeight();
    return h < 0 ? -h : h;
}

int32_t CBMPDecoder::GetBitCount() { return open_ ? int32_t(LoadLE16(infoHeader_ + kInfoBitCount)) : 0; }

bool CBMPDecoder::Open(IDataStream* stream)
{
    if (open_ || !stream)
        return false;
    ReplaceReference(stream_, stream);

    // Cleared first so that a short read cannot leave bytes of an earlier image behind.
    std::memset(fileHeader_, 0, sizeof fileHeader_);
    std::memset(infoHeader_, 0, sizeof infoHeader_);
    stream_->Read(fileHeader_, sizeof fileHeader_, 1);
    if (LoadLE16(fileHeader_ + kFileSignature) != kSignatureBM)
        return false;
    stream_->Read(infoHeader_, sizeof infoHeader_, 1);

    // Sizes the row and pixel loops could not survive are refused here, the stream staying held
    // as after a bad signature: a negative width; a height of INT32_MIN (no row count); and any
    // dimension above 65536, which no adapter's textures reach and which keeps every size
    // computation far from overflow and the row buffer bounded. Width or height 0 is accepted
    // and decodes to nothing.
    const int64_t width = HeaderWidth();
    const int64_t height = HeaderHeight();
    if (width < 0 || width > kMaxDimension || height < -int64_t(kMaxDimension) || height > kMaxDimension)
        return false;

    open_ = true;
    return true;
}

void CBMPDecoder::Decode(void* destination, int32_t pitch, uint32_t format)
{
    if (!open_ || !destination)
        return;
    const uint32_t bits = LoadLE16(infoHeader_ + kInfoBitCount);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return;
    if (format != PIXEL_FORMAT_A8R8G8B8 && format != PIXEL_FORMAT_A4R4G4B4)
        return;
    const Image image{stream_,
                      bits,
                      uint32_t(HeaderWidth()),
                      uint32_t(GetHeight()),
                      HeaderHeight() < 0,
                      LoadLE32(infoHeader_ + kInfoColorsUsed),
                      LoadLE32(fileHeader_ + kFilePixelOffset),
                      transparentIndex0_};
    if (image.width == 0 || image.rows == 0)
        return;
    if (format == PIXEL_FORMAT_A8R8G8B8)
        DecodeRows<uint32_t>(image, static_cast<uint8_t*>(destination), pitch);
    else
        DecodeRows<uint16_t>(image, static_cast<uint8_t*>(destination), pitch);
}

void CBMPDecoder::Close()
{
    if (!open_)
        return;
    stream_->Seek(0, 0);
    DropReference(stream_);
    open_ = false;
}

CBMPDecoder::~CBMPDecoder()
{
    Close();
    DropReference(stream_); // kept from a failed Open
}

} // namespace VEL
