// BMPDecoder.cpp - the one source of both BMP decoder builds (standard library and plug-in).
//
// File layout read here: a 14-byte file header ("BM", file size, reserved, pixel data offset)
// and the first 40 bytes of the information header (size, width, height, planes, bits per
// pixel, compression, image size, resolutions, colours used, important colours), little-endian.
// Palette images read their palette right after those 54 bytes and their rows right after the
// palette; 24- and 32-bit images seek to the pixel data offset. Compression is not looked at:
// every file is read as uncompressed rows, bottom row first unless the height is negative.
#include "BMPDecoder.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
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

// ---- Vector kernels, chosen at run time by what the processor offers (SimdLevel). They read up
// to 64 bytes past a row's last pixel group, which the row buffer's slack provides, and leave the
// remainder of the row to the scalar kernels above.

// kAvx512Vbmi stands for AVX-512 F, BW and VBMI together.
enum SimdLevel : int { kScalar = 0, kSsse3 = 1, kAvx512Vbmi = 2 };

std::atomic<int> g_simdLimit{kAvx512Vbmi};

SimdLevel CpuSimdLevel()
{
    static const SimdLevel level = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vbmi"))
            return kAvx512Vbmi;
        return __builtin_cpu_supports("ssse3") ? kSsse3 : kScalar;
    }();
    return level;
}

SimdLevel ActiveSimdLevel() { return SimdLevel(std::min<int>(CpuSimdLevel(), g_simdLimit.load(std::memory_order_relaxed))); }

// Eight 0xAARRGGBB pixels -> eight 0xARGB values. pmaddubsw joins the high nibbles of each byte
// pair (B + 16 G, R + 16 A); packus keeps them as the two bytes of each 16-bit pixel.
__attribute__((target("ssse3"))) inline __m128i Pack4444(__m128i first4, __m128i next4)
{
    const __m128i nibbles = _mm_set1_epi8(0x0F);
    const __m128i join = _mm_set1_epi16(0x1001); // byte weights 1, 16
    const __m128i a = _mm_maddubs_epi16(_mm_and_si128(_mm_srli_epi16(first4, 4), nibbles), join);
    const __m128i b = _mm_maddubs_epi16(_mm_and_si128(_mm_srli_epi16(next4, 4), nibbles), join);
    return _mm_packus_epi16(a, b);
}

// Four B G R triples (12 bytes of a 16-byte load) -> four opaque 0xAARRGGBB pixels.
__attribute__((target("ssse3"))) inline __m128i Expand24(const uint8_t* src)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    return _mm_or_si128(_mm_shuffle_epi8(v, spread), _mm_set1_epi32(int32_t(0xFF000000u)));
}

__attribute__((target("ssse3"))) void Row24To32Ssse3(const uint8_t* src, uint8_t* out, uint32_t w)
{
    uint32_t x = 0;
    for (; x + 8 <= w; x += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * size_t(x)), Expand24(src + 3 * size_t(x)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * size_t(x) + 16), Expand24(src + 3 * size_t(x) + 12));
    }
    Row24<uint32_t>(src + 3 * size_t(x), out + 4 * size_t(x), w - x);
}

__attribute__((target("ssse3"))) void Row24To16Ssse3(const uint8_t* src, uint8_t* out, uint32_t w)
{
    uint32_t x = 0;
    for (; x + 8 <= w; x += 8) {
        const __m128i packed = Pack4444(Expand24(src + 3 * size_t(x)), Expand24(src + 3 * size_t(x) + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * size_t(x)), packed);
    }
    Row24<uint16_t>(src + 3 * size_t(x), out + 2 * size_t(x), w - x);
}

__attribute__((target("ssse3"))) void Row32To16Ssse3(const uint8_t* src, uint8_t* out, uint32_t w)
{
    uint32_t x = 0;
    for (; x + 8 <= w; x += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * size_t(x)));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * size_t(x) + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * size_t(x)), Pack4444(a, b));
    }
    Row32To16(src + 4 * size_t(x), out + 2 * size_t(x), w - x);
}

// 32 pixels per step. packus works within 128-bit lanes, leaving quadwords of the two sources
// alternating; one permute restores row order.
__attribute__((target("avx512f,avx512bw"))) void Row32To16Avx512(const uint8_t* src, uint8_t* out, uint32_t w)
{
    const __m512i nibbles = _mm512_set1_epi8(0x0F);
    const __m512i join = _mm512_set1_epi16(0x1001);
    const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
    uint32_t x = 0;
    for (; x + 32 <= w; x += 32) {
        const __m512i a = _mm512_loadu_si512(src + 4 * size_t(x));
        const __m512i b = _mm512_loadu_si512(src + 4 * size_t(x) + 64);
        const __m512i wa = _mm512_maddubs_epi16(_mm512_and_si512(_mm512_srli_epi16(a, 4), nibbles), join);
        const __m512i wb = _mm512_maddubs_epi16(_mm512_and_si512(_mm512_srli_epi16(b, 4), nibbles), join);
        _mm512_storeu_si512(out + 2 * size_t(x), _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_packus_epi16(wa, wb)));
    }
    _mm256_zeroupper(); // leave no dirty upper register state for the SSE code that follows
    Row32To16(src + 4 * size_t(x), out + 2 * size_t(x), w - x);
}

// 8-bit palette rows, 64 pixels per step. The palette is kept as byte planes (plane p holds byte
// p of every converted entry, four 64-byte registers per plane); vpermi2b looks up the low seven
// index bits in each half of a plane and the index's top bit picks the half. The unpacks that
// interleave the planes work within 128-bit lanes, so the indices are first reordered to make
// the interleaved pixels come out in row order.
struct PalettePlanes {
    alignas(64) uint8_t bytes[4][256]; // planes 0..3: bytes 0..3 of the converted entries
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i LookUpPlane(const uint8_t* plane, __m512i index)
{
    const __m512i q0 = _mm512_load_si512(plane), q1 = _mm512_load_si512(plane + 64);
    const __m512i q2 = _mm512_load_si512(plane + 128), q3 = _mm512_load_si512(plane + 192);
    const __m512i low = _mm512_permutex2var_epi8(q0, index, q1);
    const __m512i high = _mm512_permutex2var_epi8(q2, index, q3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void Row8To32Vbmi(const uint8_t* src, uint8_t* out, uint32_t w,
                                                                        const PalettePlanes& planes, const uint32_t* lut)
{
    // Output register m, lane l, dword t must be pixel 16m + 4l + t; it is built from plane
    // position 16l + 4m + t, so index dword 4l + m is taken from dword 4m + l.
    const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    uint32_t x = 0;
    for (; x + 64 <= w; x += 64) {
        const __m512i index = _mm512_maskz_permutexvar_epi32(0xFFFF, order, _mm512_loadu_si512(src + x));
        const __m512i b = LookUpPlane(planes.bytes[0], index), g = LookUpPlane(planes.bytes[1], index);
        const __m512i r = LookUpPlane(planes.bytes[2], index), a = LookUpPlane(planes.bytes[3], index);
        const __m512i bgLow = _mm512_unpacklo_epi8(b, g), bgHigh = _mm512_unpackhi_epi8(b, g);
        const __m512i raLow = _mm512_unpacklo_epi8(r, a), raHigh = _mm512_unpackhi_epi8(r, a);
        uint8_t* o = out + 4 * size_t(x);
        _mm512_storeu_si512(o, _mm512_unpacklo_epi16(bgLow, raLow));
        _mm512_storeu_si512(o + 64, _mm512_unpackhi_epi16(bgLow, raLow));
        _mm512_storeu_si512(o + 128, _mm512_unpacklo_epi16(bgHigh, raHigh));
        _mm512_storeu_si512(o + 192, _mm512_unpackhi_epi16(bgHigh, raHigh));
    }
    _mm256_zeroupper(); // leave no dirty upper register state for the SSE code that follows
    PaletteRow8<uint32_t>(src + x, out + 4 * size_t(x), w - x, lut);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void Row8To16Vbmi(const uint8_t* src, uint8_t* out, uint32_t w,
                                                                        const PalettePlanes& planes, const uint16_t* lut)
{
    // Output register m, lane l, word t must be pixel 32m + 8l + t; it is built from plane
    // position 16l + 8m + t, so index qword 2l + m is taken from qword 4m + l.
    const __m512i order = _mm512_setr_epi64(0, 4, 1, 5, 2, 6, 3, 7);
    uint32_t x = 0;
    for (; x + 64 <= w; x += 64) {
        const __m512i index = _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_loadu_si512(src + x));
        const __m512i low = LookUpPlane(planes.bytes[0], index), high = LookUpPlane(planes.bytes[1], index);
        uint8_t* o = out + 2 * size_t(x);
        _mm512_storeu_si512(o, _mm512_unpacklo_epi8(low, high));
        _mm512_storeu_si512(o + 64, _mm512_unpackhi_epi8(low, high));
    }
    _mm256_zeroupper(); // leave no dirty upper register state for the SSE code that follows
    PaletteRow8<uint16_t>(src + x, out + 2 * size_t(x), w - x, lut);
}

// (The zero-masking permutes with a full mask are the plain permutes; g++ 12 warns about the
// undefined source operand inside the unmasked ones.)

// Slack after each row buffer for the vector loads above.
constexpr uint32_t kRowSlack = 64;

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
    const SimdLevel simd = ActiveSimdLevel();
    Pixel lut[256];
    PalettePlanes planes;
    if (image.bits <= 8) {
        ReadPalette<Pixel>(image, lut);
        if (image.bits == 8 && simd >= kAvx512Vbmi)
            for (uint32_t i = 0; i < 256; ++i)
                for (uint32_t p = 0; p < sizeof(Pixel); ++p)
                    planes.bytes[p][i] = uint8_t(lut[i] >> (8 * p));
    } else {
        image.stream->Seek(int32_t(image.pixelOffset), 0);
    }

    // One zero-filled row buffer per Decode. A short read leaves the rest of it as it was (zeros
    // before the first row, then bytes of the previous row) and those bytes are converted: every
    // destination pixel is written, nothing is read outside the buffer.
    const uint32_t rowBytes = RowBytes(image.bits, image.width);
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[rowBytes + kRowSlack]());
    const uint8_t* row = buffer.get();
    const uint32_t w = image.width;
    constexpr bool k32 = sizeof(Pixel) == 4;

    for (uint32_t k = 0; k < image.rows; ++k) {
        image.stream->Read(buffer.get(), rowBytes, 1);
        // Bottom-up files store the bottom image row first; top-down files the top row.
        const uint32_t y = image.topDown ? k : image.rows - 1 - k;
        uint8_t* out = destination + int64_t(y) * pitch;
        switch (image.bits) {
        case 1: PaletteRowPacked<Pixel, 1>(row, out, w, lut); break;
        case 2: PaletteRowPacked<Pixel, 2>(row, out, w, lut); break;
        case 4: PaletteRowPacked<Pixel, 4>(row, out, w, lut); break;
        case 8:
            if (simd < kAvx512Vbmi)
                PaletteRow8<Pixel>(row, out, w, lut);
            else if constexpr (k32)
                Row8To32Vbmi(row, out, w, planes, lut);
            else
                Row8To16Vbmi(row, out, w, planes, lut);
            break;
        case 24:
            if (simd < kSsse3)
                Row24<Pixel>(row, out, w);
            else if constexpr (k32)
                Row24To32Ssse3(row, out, w);
            else
                Row24To16Ssse3(row, out, w);
            break;
        default:
            if (k32)
                Row32To32(row, out, w);
            else if (simd < kSsse3)
                Row32To16(row, out, w);
            else if (simd < kAvx512Vbmi)
                Row32To16Ssse3(row, out, w);
            else
                Row32To16Avx512(row, out, w);
            break;
        }
    }
}

} // namespace

void LimitBMPDecoderSimd(int level) { g_simdLimit.store(level, std::memory_order_relaxed); }

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
