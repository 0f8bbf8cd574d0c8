// rast_span_fast.h - the vector inner loop (AVX2, eight pixels a step) for the common case:
// 32-bit target, affine flat-coloured triangles, a power-of-two wrapped A8R8G8B8 texture, stage-0
// ops MODULATE/ADD/SELECTARG1/SELECTARG2 on TEXTURE and DIFFUSE, any blend factor pair with the
// add operation, the usual depth and alpha tests.
//
// It computes exactly what the scalar loop in rast_fill.cpp computes (same fixed-point depth and
// texel coordinates, same rounding of modulate and blend), so which loop shades a pixel never
// changes it; the scalar loop shades every span the vector one cannot.
#pragma once

#include "rast_state.h"

#include <cstddef>
#include <cstdint>

namespace plat::d3d9 {

struct FastSpanState {
    bool usable = false;
    const uint32_t* texels = nullptr;
    uint32_t pitch = 0, wMask = 0, hMask = 0;
    uint32_t colourOp = 0, alphaOp = 0;
    bool colourArg1Tex = false, colourArg2Tex = false, alphaArg1Tex = false, alphaArg2Tex = false;
    bool alphaTest = false;
    uint32_t alphaMin = 0; // passes when alpha >= alphaMin
    bool depth = false;
    uint32_t depthFunc = D3DCMP_LESSEQUAL; // LESSEQUAL, LESS or ALWAYS
    bool depthWrite = false;
    bool blend = false;
    uint32_t srcBlend = 0, dstBlend = 0;
    bool forceAlpha = false; // X8R8G8B8: store 0xFF in the unused byte
};

// Whether the state can use the vector loop. Call only on a processor with AVX2 (this file's
// functions are compiled for it).
FastSpanState make_fast_state(const PixelState& state);

// What the vector loop needs per triangle (its steps and colour, the loop chosen for them),
// prepared once and used for every row.
struct FastTriangle {
    alignas(32) unsigned char storage[416];
};
void prepare_fast(const FastSpanState& f, uint32_t diffuse, int32_t dz, int32_t du, int32_t dv, FastTriangle* out);

// Shades pixels [x, x + count) of one row. z, u, v are the first pixel's fixed-point values
// and the caller has checked that every pixel's values fit the 32-bit forms used here:
// z in [0, 65535 << 16], u and v within int32.
void run_fast(const FastTriangle& t, uint32_t* row, uint16_t* zrow, int32_t x, int32_t count, uint32_t z, int32_t u,
              int32_t v);

// Shades pixels [x, x + count) of `rows` rows, the first at `colour` and `depth` (row pitches in
// bytes and in depth elements): an axis-aligned rectangle, whose every row has the same span. Row
// r starts at the 16.16 values (acc[i] + r * step[i]) >> 8 for z, u, v, with the same bounds as
// run_fast on every row.
void run_fast_rows(const FastTriangle& t, uint8_t* colour, size_t colourPitch, uint16_t* depth, size_t depthPitch,
                   int32_t rows, int32_t x, int32_t count, const int64_t acc[3], const int64_t step[3]);

} // namespace plat::d3d9
