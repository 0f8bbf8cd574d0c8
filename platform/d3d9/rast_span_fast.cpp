// The AVX2 inner loop. Compiled for AVX2 (see CMakeLists.txt) and entered only when the
// processor has it: nothing here runs before choose_kernels (built for any x86-64) has checked.
// Runs on any raster thread.
#include "rast_span_fast.h"

#include "runtime.h"

#include <immintrin.h>

#include <new>

namespace plat::d3d9 {

FastSpanState make_fast_state(const PixelState& s)
{
    FastSpanState f;
    {
        Runtime& r = Runtime::get();
        std::lock_guard lock(r.mutex);
        if (!r.vectorLoops)
            return f;
    }
    if (s.colourFormat != D3DFMT_X8R8G8B8 && s.colourFormat != D3DFMT_A8R8G8B8)
        return f;
    if (!s.textured || s.writeMask != 0xF)
        return f;
    const TextureView& t = s.texture;
    auto pow2 = [](uint32_t n) { return n != 0 && (n & (n - 1)) == 0; };
    if (!pow2(t.width) || !pow2(t.height) || t.addressU != D3DTADDRESS_WRAP || t.addressV != D3DTADDRESS_WRAP)
        return f;
    auto simpleOp = [](uint32_t op) {
        return op == D3DTOP_MODULATE || op == D3DTOP_ADD || op == D3DTOP_SELECTARG1 || op == D3DTOP_SELECTARG2;
    };
    auto simpleArg = [](uint32_t a) { return a == D3DTA_TEXTURE || a == D3DTA_DIFFUSE || a == D3DTA_CURRENT; };
    if (!simpleOp(s.colourOp) || !simpleOp(s.alphaOp) || !simpleArg(s.colourArg1) || !simpleArg(s.colourArg2) ||
        !simpleArg(s.alphaArg1) || !simpleArg(s.alphaArg2))
        return f;
    if (s.alphaTest) {
        if (s.alphaFunc == D3DCMP_GREATEREQUAL)
            f.alphaMin = s.alphaRef;
        else if (s.alphaFunc == D3DCMP_GREATER)
            f.alphaMin = s.alphaRef + 1;
        else if (s.alphaFunc == D3DCMP_ALWAYS)
            f.alphaMin = 0;
        else
            return f;
        f.alphaTest = f.alphaMin > 0;
    }
    if (s.depth && s.zTest) {
        if (s.zFunc != D3DCMP_LESSEQUAL && s.zFunc != D3DCMP_LESS && s.zFunc != D3DCMP_ALWAYS)
            return f;
        f.depth = true;
        f.depthFunc = s.zFunc;
        f.depthWrite = s.zWrite;
    }
    if (s.blend) {
        if (s.blendOp != D3DBLENDOP_ADD || s.srcBlend < D3DBLEND_ZERO || s.srcBlend > D3DBLEND_INVDESTCOLOR ||
            s.dstBlend < D3DBLEND_ZERO || s.dstBlend > D3DBLEND_INVDESTCOLOR)
            return f;
        f.blend = true;
        f.srcBlend = s.srcBlend;
        f.dstBlend = s.dstBlend;
    }
    f.texels = t.texels;
    f.pitch = t.pitch;
    f.wMask = t.width - 1;
    f.hMask = t.height - 1;
    f.colourOp = s.colourOp;
    f.alphaOp = s.alphaOp;
    f.colourArg1Tex = s.colourArg1 == D3DTA_TEXTURE;
    f.colourArg2Tex = s.colourArg2 == D3DTA_TEXTURE;
    f.alphaArg1Tex = s.alphaArg1 == D3DTA_TEXTURE;
    f.alphaArg2Tex = s.alphaArg2 == D3DTA_TEXTURE;
    f.forceAlpha = s.colourFormat == D3DFMT_X8R8G8B8;
    f.usable = true;
    return f;
}

namespace {

// round(x / 255) for 16-bit lanes x <= 65025: ((x + 128) * 257) >> 16, exact in that range.
inline __m256i div255(__m256i x)
{
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

inline __m256i op16(uint32_t op, __m256i a, __m256i b)
{
    switch (op) {
    case D3DTOP_MODULATE:
        return div255(_mm256_mullo_epi16(a, b));
    case D3DTOP_ADD:
        return _mm256_min_epu16(_mm256_add_epi16(a, b), _mm256_set1_epi16(255));
    case D3DTOP_SELECTARG2:
        return b;
    default:
        return a;
    }
}

// Each pixel's alpha (16-bit lanes 3 and 7 of every 128 bits) copied to its four lanes.
inline __m256i alpha16(__m256i c)
{
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(c, 0xFF), 0xFF);
}

inline __m256i factor16(uint32_t f, __m256i s, __m256i d, __m256i sa, __m256i da)
{
    const __m256i full = _mm256_set1_epi16(255);
    switch (f) {
    case D3DBLEND_ZERO:
        return _mm256_setzero_si256();
    case D3DBLEND_ONE:
        return full;
    case D3DBLEND_SRCCOLOR:
        return s;
    case D3DBLEND_INVSRCCOLOR:
        return _mm256_sub_epi16(full, s);
    case D3DBLEND_SRCALPHA:
        return sa;
    case D3DBLEND_INVSRCALPHA:
        return _mm256_sub_epi16(full, sa);
    case D3DBLEND_DESTALPHA:
        return da;
    case D3DBLEND_INVDESTALPHA:
        return _mm256_sub_epi16(full, da);
    case D3DBLEND_DESTCOLOR:
        return d;
    default: // D3DBLEND_INVDESTCOLOR
        return _mm256_sub_epi16(full, d);
    }
}

// Stage 0 over 16-bit lanes: colour channels by the colour op, alpha by the alpha op.
inline __m256i combine16(const FastSpanState& f, __m256i t, __m256i d)
{
    __m256i rgb = op16(f.colourOp, f.colourArg1Tex ? t : d, f.colourArg2Tex ? t : d);
    __m256i a = op16(f.alphaOp, f.alphaArg1Tex ? t : d, f.alphaArg2Tex ? t : d);
    return _mm256_blend_epi16(rgb, a, 0x88);
}

inline __m256i blend16(const FastSpanState& f, __m256i s, __m256i d)
{
    __m256i sa = alpha16(s), da = alpha16(d);
    __m256i fs = factor16(f.srcBlend, s, d, sa, da), fd = factor16(f.dstBlend, s, d, sa, da);
    // Each product is at most 65025; a saturated sum at or above 65025 means 255 either way.
    __m256i sum = _mm256_adds_epu16(_mm256_mullo_epi16(s, fs), _mm256_mullo_epi16(d, fd));
    return div255(_mm256_min_epu16(sum, _mm256_set1_epi16(static_cast<short>(65025))));
}

} // namespace

namespace {

struct SpanConstants {
    __m256i dzLane, duLane, dvLane, dLo, dHi, wMask, hMask, pitch, alphaBits, alphaMin;
    bool rowCopy;
};

enum BlendKind { kNoBlend, kAlphaOver, kAlphaAdd, kAnyBlend };

// What a loop may take as known at compile time instead of reading it from the state (bits of
// the Fixed template argument); without the bit the state is read as usual.
enum FixedBits {
    kFixLessEqualWrite = 1, // depth LESSEQUAL with writes
    kFixForceAlpha = 2,     // X8R8G8B8 target
    kFixRowCopy = 4,        // upright, unscaled: a group's texels lie side by side in one row
};
constexpr int kSprite = kFixLessEqualWrite | kFixForceAlpha | kFixRowCopy;

// One step of eight pixels at dst and zbuf (either the target's memory or a staging copy of a
// span's last few pixels); `cover` masks the lanes that belong to the span. Templated on what
// varies per draw so the common sprite case has no branches inside. The texel and the alpha
// test come before the depth test: the tests only narrow the mask, so their order changes no
// pixel, and a sprite's transparent corners then cost no depth work.
template <bool Depth, bool AlphaTest, int Blend, bool PassTexel, int Fixed>
__attribute__((always_inline)) inline void shade8(const FastSpanState& f, const SpanConstants& c, uint32_t* dst,
                                                  uint16_t* zbuf, __m256i cover, uint32_t z, int32_t u0, int32_t v0,
                                                  const uint32_t* texRow = nullptr)
{
    const __m256i zero = _mm256_setzero_si256();
    constexpr bool lessEqualWrite = (Fixed & kFixLessEqualWrite) != 0;
    const bool forceAlpha = (Fixed & kFixForceAlpha) != 0 || f.forceAlpha;
    const bool rowCopy = (Fixed & kFixRowCopy) != 0 || c.rowCopy;
    __m256i mask = cover;
    __m256i t;
    uint32_t ix0 = static_cast<uint32_t>(u0 >> 16) & f.wMask;
    if (texRow) { // the caller found the group's eight texels side by side
        t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(texRow));
    } else if (rowCopy && ix0 + 7 <= f.wMask) {
        uint32_t iy0 = static_cast<uint32_t>(v0 >> 16) & f.hMask;
        t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.texels + static_cast<size_t>(iy0) * f.pitch + ix0));
    } else {
        __m256i uv = _mm256_add_epi32(_mm256_set1_epi32(u0), c.duLane);
        __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(v0), c.dvLane);
        __m256i ix = _mm256_and_si256(_mm256_srai_epi32(uv, 16), c.wMask);
        __m256i iy = _mm256_and_si256(_mm256_srai_epi32(vv, 16), c.hMask);
        // Eight plain loads: faster than the gather instruction on the processors at hand.
        alignas(32) uint32_t offs[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(offs), _mm256_add_epi32(_mm256_mullo_epi32(iy, c.pitch), ix));
        auto texel = [&](int k) { return static_cast<int>(f.texels[offs[k]]); };
        t = _mm256_setr_epi32(texel(0), texel(1), texel(2), texel(3), texel(4), texel(5), texel(6), texel(7));
    }
    __m256i src, sLo, sHi;
    if constexpr (PassTexel) {
        src = t;
    } else {
        sLo = combine16(f, _mm256_unpacklo_epi8(t, zero), c.dLo);
        sHi = combine16(f, _mm256_unpackhi_epi8(t, zero), c.dHi);
        src = _mm256_packus_epi16(sLo, sHi);
    }
    if constexpr (AlphaTest) {
        mask = _mm256_and_si256(mask, _mm256_cmpgt_epi32(_mm256_srli_epi32(src, 24), c.alphaMin));
        if (_mm256_testz_si256(mask, mask))
            return;
    }
    __m256i zq = zero, zOld = zero;
    if constexpr (Depth) {
        __m256i zv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(z)), c.dzLane);
        zq = _mm256_srli_epi32(_mm256_add_epi32(zv, _mm256_set1_epi32(0x8000)), 16);
        zOld = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(zbuf)));
        if (lessEqualWrite || f.depthFunc != D3DCMP_ALWAYS) {
            __m256i le = _mm256_cmpeq_epi32(_mm256_max_epu32(zq, zOld), zOld);
            if (!lessEqualWrite && f.depthFunc == D3DCMP_LESS)
                le = _mm256_andnot_si256(_mm256_cmpeq_epi32(zq, zOld), le);
            mask = _mm256_and_si256(mask, le);
            if (_mm256_testz_si256(mask, mask))
                return;
        }
    }
    __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    __m256i out = src;
    if constexpr (Blend != kNoBlend) {
        if constexpr (PassTexel) {
            sLo = _mm256_unpacklo_epi8(src, zero);
            sHi = _mm256_unpackhi_epi8(src, zero);
        }
        __m256i d = forceAlpha ? _mm256_or_si256(old, c.alphaBits) : old;
        // Eight opaque source pixels: s * 255 + d * 0 is s, s * 255 + d * 255 saturates to
        // s + d, both exactly what the full formula rounds to.
        if ((Blend == kAlphaOver || Blend == kAlphaAdd) && _mm256_testc_si256(src, c.alphaBits)) {
            out = Blend == kAlphaOver ? src : _mm256_adds_epu8(src, d);
        } else {
        __m256i dLo = _mm256_unpacklo_epi8(d, zero), dHi = _mm256_unpackhi_epi8(d, zero);
        __m256i rLo, rHi;
        if constexpr (Blend == kAlphaOver) { // s * a + d * (255 - a) <= 65025: no saturation
            const __m256i full = _mm256_set1_epi16(255);
            __m256i aLo = alpha16(sLo), aHi = alpha16(sHi);
            rLo = div255(_mm256_add_epi16(_mm256_mullo_epi16(sLo, aLo),
                                          _mm256_mullo_epi16(dLo, _mm256_sub_epi16(full, aLo))));
            rHi = div255(_mm256_add_epi16(_mm256_mullo_epi16(sHi, aHi),
                                          _mm256_mullo_epi16(dHi, _mm256_sub_epi16(full, aHi))));
        } else if constexpr (Blend == kAlphaAdd) { // s * a + d * 255, saturating
            const __m256i top = _mm256_set1_epi16(static_cast<short>(65025));
            rLo = div255(_mm256_min_epu16(
                _mm256_adds_epu16(_mm256_mullo_epi16(sLo, alpha16(sLo)), _mm256_mullo_epi16(dLo, _mm256_set1_epi16(255))),
                top));
            rHi = div255(_mm256_min_epu16(
                _mm256_adds_epu16(_mm256_mullo_epi16(sHi, alpha16(sHi)), _mm256_mullo_epi16(dHi, _mm256_set1_epi16(255))),
                top));
        } else {
            rLo = blend16(f, sLo, dLo);
            rHi = blend16(f, sHi, dHi);
        }
        out = _mm256_packus_epi16(rLo, rHi);
        }
    }
    if (forceAlpha)
        out = _mm256_or_si256(out, c.alphaBits);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_blendv_epi8(old, out, mask));
    if constexpr (Depth) {
        if (lessEqualWrite || f.depthWrite) {
            __m256i nz = _mm256_blendv_epi8(zOld, zq, mask);
            __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(nz, nz), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(zbuf), _mm256_castsi256_si128(packed));
        }
    }
}

template <bool Depth, bool AlphaTest, int Blend, bool PassTexel, int Fixed>
__attribute__((always_inline)) inline void span_loop(const FastSpanState& f, const SpanConstants& c, uint32_t* row,
                                                     uint16_t* zrow, int32_t x, int32_t count, uint32_t z, int32_t dz,
                                                     int32_t u, int32_t du, int32_t v, int32_t dv)
{
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i all = _mm256_set1_epi32(-1);
    // All arithmetic on z, u, v is modulo 2^32: the caller checked that the real values fit.
    auto at = [](uint32_t base, int32_t step, int32_t i) {
        return static_cast<int32_t>(base + static_cast<uint32_t>(i) * static_cast<uint32_t>(step));
    };
    // Upright and unscaled, with no wrap inside the span: the span's texels are one run of a
    // texture row, found once here instead of per group.
    const uint32_t* texRow = nullptr;
    if constexpr ((Fixed & kFixRowCopy) != 0) {
        const uint32_t ix0 = static_cast<uint32_t>(u >> 16) & f.wMask;
        if (ix0 + static_cast<uint32_t>(count) - 1 <= f.wMask)
            texRow = f.texels + static_cast<size_t>(static_cast<uint32_t>(v >> 16) & f.hMask) * f.pitch + ix0;
    }
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        shade8<Depth, AlphaTest, Blend, PassTexel, Fixed>(f, c, row + x + i, Depth ? zrow + x + i : nullptr, all,
                                                   static_cast<uint32_t>(at(z, dz, i)),
                                                   at(static_cast<uint32_t>(u), du, i),
                                                   at(static_cast<uint32_t>(v), dv, i), texRow ? texRow + i : nullptr);
    int32_t rest = count - i;
    if (rest > 0 && count >= 8) {
        // The last group overlaps the one before it; its lanes already shaded are masked off and
        // stored back with the values just written, so each pixel is shaded once.
        const int32_t start = count - 8;
        __m256i cover = _mm256_cmpgt_epi32(lane, _mm256_set1_epi32(7 - rest));
        shade8<Depth, AlphaTest, Blend, PassTexel, Fixed>(f, c, row + x + start, Depth ? zrow + x + start : nullptr, cover,
                                                   static_cast<uint32_t>(at(z, dz, start)),
                                                   at(static_cast<uint32_t>(u), du, start),
                                                   at(static_cast<uint32_t>(v), dv, start),
                                                   texRow ? texRow + start : nullptr);
    } else if (rest > 0) {
        // The last pixels: colour through masked loads and stores, depth through a staging copy,
        // so nothing past the span is read or written.
        __m256i cover = _mm256_cmpgt_epi32(_mm256_set1_epi32(rest), lane);
        alignas(32) uint32_t colour[8];
        alignas(16) uint16_t depth[8] = {};
        _mm256_store_si256(reinterpret_cast<__m256i*>(colour),
                           _mm256_maskload_epi32(reinterpret_cast<const int*>(row + x + i), cover));
        if constexpr (Depth)
            for (int32_t k = 0; k < rest; ++k)
                depth[k] = zrow[x + i + k];
        shade8<Depth, AlphaTest, Blend, PassTexel, Fixed>(f, c, colour, depth, cover, static_cast<uint32_t>(at(z, dz, i)),
                                                   at(static_cast<uint32_t>(u), du, i),
                                                   at(static_cast<uint32_t>(v), dv, i));
        _mm256_maskstore_epi32(reinterpret_cast<int*>(row + x + i), cover,
                               _mm256_load_si256(reinterpret_cast<const __m256i*>(colour)));
        if constexpr (Depth)
            for (int32_t k = 0; k < rest; ++k)
                zrow[x + i + k] = depth[k];
    }
}

// One call shades the rows of an axis-aligned rectangle (or one row of any triangle: rows = 1):
// row r starts at the 16.16 values (acc + r * step) >> 8 of the 24-bit-fraction accumulators.
using RowsLoop = void (*)(const FastSpanState&, const SpanConstants&, uint8_t*, size_t, uint16_t*, size_t, int32_t,
                          int32_t, int32_t, const int64_t*, const int64_t*, int32_t, int32_t, int32_t);

template <bool Depth, bool AlphaTest, int Blend, bool PassTexel, int Fixed>
void rows_loop(const FastSpanState& fs, const SpanConstants& cs, uint8_t* colour, size_t colourPitch, uint16_t* depth,
               size_t depthPitch, int32_t rows, int32_t x, int32_t count, const int64_t* acc, const int64_t* step,
               int32_t dz, int32_t du, int32_t dv)
{
    // Local copies: the compiler can keep them in registers, since no store to the target can
    // change them (the caller's objects could, as far as it knows).
    if (rows == 1) { // one row (any triangle's): not worth the copies
        span_loop<Depth, AlphaTest, Blend, PassTexel, Fixed>(
            fs, cs, reinterpret_cast<uint32_t*>(colour), depth, x, count, static_cast<uint32_t>(acc[0] >> 8), dz,
            static_cast<int32_t>(acc[1] >> 8), du, static_cast<int32_t>(acc[2] >> 8), dv);
        return;
    }
    const FastSpanState f = fs;
    const SpanConstants c = cs;
    int64_t za = acc[0], ua = acc[1], va = acc[2];
    for (int32_t r = 0; r < rows; ++r) {
        if (r + 1 < rows) {
            // The next row's colour and depth are on their way from L2 while this row shades.
            const char* next = reinterpret_cast<const char*>(reinterpret_cast<uint32_t*>(colour + colourPitch) + x);
            for (int32_t b = 0; b < count * 4 + 63; b += 64)
                _mm_prefetch(next + b, _MM_HINT_T0);
            if constexpr (Depth) {
                const char* nz = reinterpret_cast<const char*>(depth + depthPitch + x);
                for (int32_t b = 0; b < count * 2 + 63; b += 64)
                    _mm_prefetch(nz + b, _MM_HINT_T0);
            }
        }
        span_loop<Depth, AlphaTest, Blend, PassTexel, Fixed>(
            f, c, reinterpret_cast<uint32_t*>(colour), depth, x, count, static_cast<uint32_t>(za >> 8), dz,
            static_cast<int32_t>(ua >> 8), du, static_cast<int32_t>(va >> 8), dv);
        colour += colourPitch;
        if constexpr (Depth)
            depth += depthPitch;
        za += step[0];
        ua += step[1];
        va += step[2];
    }
}

// `fixed`: 0, kSprite, or kSprite without kFixRowCopy (a turned or scaled sprite).
template <bool Depth, bool AlphaTest, int Blend>
RowsLoop pick_pass(bool pass, int fixed)
{
    constexpr int kTurned = kSprite & ~kFixRowCopy;
    if constexpr (Depth && (Blend == kAlphaOver || Blend == kAlphaAdd)) {
        if (fixed == kSprite)
            return pass ? &rows_loop<Depth, AlphaTest, Blend, true, kSprite>
                        : &rows_loop<Depth, AlphaTest, Blend, false, kSprite>;
        if (fixed == kTurned)
            return pass ? &rows_loop<Depth, AlphaTest, Blend, true, kTurned>
                        : &rows_loop<Depth, AlphaTest, Blend, false, kTurned>;
    }
    return pass ? &rows_loop<Depth, AlphaTest, Blend, true, 0> : &rows_loop<Depth, AlphaTest, Blend, false, 0>;
}

template <bool Depth, bool AlphaTest>
RowsLoop pick_blend(int blend, bool pass, int fixed)
{
    switch (blend) {
    case kNoBlend:
        return pick_pass<Depth, AlphaTest, kNoBlend>(pass, fixed);
    case kAlphaOver:
        return pick_pass<Depth, AlphaTest, kAlphaOver>(pass, fixed);
    case kAlphaAdd:
        return pick_pass<Depth, AlphaTest, kAlphaAdd>(pass, fixed);
    default:
        return pick_pass<Depth, AlphaTest, kAnyBlend>(pass, fixed);
    }
}

// Whether stage 0 hands the texel through unchanged for this diffuse colour.
bool passes_texel(const FastSpanState& f, uint32_t diffuse)
{
    bool rgb = (f.colourOp == D3DTOP_SELECTARG1 && f.colourArg1Tex) ||
               (f.colourOp == D3DTOP_SELECTARG2 && f.colourArg2Tex) ||
               (f.colourOp == D3DTOP_MODULATE && (f.colourArg1Tex != f.colourArg2Tex) && (diffuse & 0xFFFFFFu) == 0xFFFFFFu) ||
               (f.colourOp == D3DTOP_ADD && (f.colourArg1Tex != f.colourArg2Tex) && (diffuse & 0xFFFFFFu) == 0);
    bool alpha = (f.alphaOp == D3DTOP_SELECTARG1 && f.alphaArg1Tex) || (f.alphaOp == D3DTOP_SELECTARG2 && f.alphaArg2Tex) ||
                 (f.alphaOp == D3DTOP_MODULATE && (f.alphaArg1Tex != f.alphaArg2Tex) && (diffuse >> 24) == 0xFFu) ||
                 (f.alphaOp == D3DTOP_ADD && (f.alphaArg1Tex != f.alphaArg2Tex) && (diffuse >> 24) == 0);
    return rgb && alpha;
}

} // namespace

struct Prepared {
    SpanConstants c;
    const FastSpanState* f;
    RowsLoop loop;
    int32_t dz, du, dv;
};
static_assert(sizeof(Prepared) <= sizeof(FastTriangle::storage), "FastTriangle storage too small");

void prepare_fast(const FastSpanState& f, uint32_t diffuse, int32_t dz, int32_t du, int32_t dv, FastTriangle* out)
{
    auto* p = new (out->storage) Prepared;
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i zero = _mm256_setzero_si256();
    SpanConstants& c = p->c;
    c.dzLane = _mm256_mullo_epi32(lane, _mm256_set1_epi32(dz));
    c.duLane = _mm256_mullo_epi32(lane, _mm256_set1_epi32(du));
    c.dvLane = _mm256_mullo_epi32(lane, _mm256_set1_epi32(dv));
    const __m256i diffuse32 = _mm256_set1_epi32(static_cast<int>(diffuse));
    c.dLo = _mm256_unpacklo_epi8(diffuse32, zero);
    c.dHi = _mm256_unpackhi_epi8(diffuse32, zero);
    c.wMask = _mm256_set1_epi32(static_cast<int>(f.wMask));
    c.hMask = _mm256_set1_epi32(static_cast<int>(f.hMask));
    c.pitch = _mm256_set1_epi32(static_cast<int>(f.pitch));
    c.alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    c.alphaMin = _mm256_set1_epi32(static_cast<int>(f.alphaMin) - 1);
    c.rowCopy = dv == 0 && du == 65536; // upright, unscaled: texels lie side by side

    int blend = kNoBlend;
    if (f.blend) {
        blend = kAnyBlend;
        if (f.srcBlend == D3DBLEND_SRCALPHA && f.dstBlend == D3DBLEND_INVSRCALPHA)
            blend = kAlphaOver;
        else if (f.srcBlend == D3DBLEND_SRCALPHA && f.dstBlend == D3DBLEND_ONE)
            blend = kAlphaAdd;
    }
    bool pass = passes_texel(f, diffuse);
    int fixed = 0;
    if (f.depth && f.depthFunc == D3DCMP_LESSEQUAL && f.depthWrite && f.forceAlpha)
        fixed = c.rowCopy ? kSprite : kSprite & ~kFixRowCopy;
    if (f.depth)
        p->loop = f.alphaTest ? pick_blend<true, true>(blend, pass, fixed)
                              : pick_blend<true, false>(blend, pass, fixed);
    else
        p->loop = f.alphaTest ? pick_blend<false, true>(blend, pass, fixed)
                              : pick_blend<false, false>(blend, pass, fixed);
    p->f = &f;
    p->dz = dz;
    p->du = du;
    p->dv = dv;
}

void run_fast(const FastTriangle& t, uint32_t* row, uint16_t* zrow, int32_t x, int32_t count, uint32_t z, int32_t u,
              int32_t v)
{
    const auto* p = reinterpret_cast<const Prepared*>(t.storage);
    // One row: accumulators holding the values shifted up by 8, steps unused.
    const int64_t acc[3] = {int64_t{z} << 8, int64_t{u} * 256, int64_t{v} * 256};
    const int64_t step[3] = {0, 0, 0};
    p->loop(*p->f, p->c, reinterpret_cast<uint8_t*>(row), 0, zrow, 0, 1, x, count, acc, step, p->dz, p->du, p->dv);
}

void run_fast_rows(const FastTriangle& t, uint8_t* colour, size_t colourPitch, uint16_t* depth, size_t depthPitch,
                   int32_t rows, int32_t x, int32_t count, const int64_t acc[3], const int64_t step[3])
{
    const auto* p = reinterpret_cast<const Prepared*>(t.storage);
    p->loop(*p->f, p->c, colour, colourPitch, depth, depthPitch, rows, x, count, acc, step, p->dz, p->du, p->dv);
}

} // namespace plat::d3d9
