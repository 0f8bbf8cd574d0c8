// rast_state.h - the state object a draw is rasterized with, captured from the device's render,
// texture-stage and sampler states when the draw is issued, and the 8-bit arithmetic every stage
// shares.
//
// Rounding rules (one per operation, used by every path):
//   * modulate (texture stage and blend factors): round(a * b / 255), exact for 8-bit a, b;
//   * blending: round((src * Fsrc +/- dst * Fdst) / 255), one rounding for the whole sum, then
//     clamped to [0, 255] (saturating add);
//   * stage ADD: min(255, a + b);
//   * interpolated colour: nearest integer of the interpolated value, clamped to [0, 255].
#pragma once

#include "d3d9.h"

#include <cstdint>

namespace plat::d3d9 {

struct ClipRect {
    int32_t x0, y0, x1, y1; // half-open pixel rectangle
};

// A texture as the sampler sees it: A8R8G8B8 texels.
struct TextureView {
    const uint32_t* texels = nullptr;
    uint32_t pitch = 0; // in texels
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t addressU = D3DTADDRESS_WRAP;
    uint32_t addressV = D3DTADDRESS_WRAP;
};

struct PixelState {
    // Colour target.
    uint8_t* colour = nullptr;
    uint32_t colourPitch = 0; // bytes
    D3DFORMAT colourFormat = D3DFMT_X8R8G8B8;
    // Depth target (D16), or null.
    uint16_t* depth = nullptr;
    uint32_t depthPitch = 0; // in uint16 elements
    ClipRect clip{0, 0, 0, 0};

    bool zTest = false;
    bool zWrite = false;
    uint32_t zFunc = D3DCMP_LESSEQUAL;
    bool alphaTest = false;
    uint32_t alphaFunc = D3DCMP_ALWAYS;
    uint32_t alphaRef = 0;
    bool blend = false;
    uint32_t srcBlend = D3DBLEND_ONE;
    uint32_t dstBlend = D3DBLEND_ZERO;
    uint32_t blendOp = D3DBLENDOP_ADD;
    uint32_t writeMask = 0xF; // D3DRS_COLORWRITEENABLE bits: 1 red, 2 green, 4 blue, 8 alpha

    uint32_t colourOp = D3DTOP_MODULATE;
    uint32_t colourArg1 = D3DTA_TEXTURE;
    uint32_t colourArg2 = D3DTA_CURRENT;
    uint32_t alphaOp = D3DTOP_SELECTARG1;
    uint32_t alphaArg1 = D3DTA_TEXTURE;
    uint32_t alphaArg2 = D3DTA_CURRENT;
    uint32_t textureFactor = 0xFFFFFFFFu;

    bool textured = false; // false: the texture argument reads opaque white
    TextureView texture;

    uint32_t cull = D3DCULL_CCW;
    bool flatShade = false;
};

inline uint32_t mul8(uint32_t a, uint32_t b)
{
    uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// round(x / 255) for 0 <= x; anything at or above 255 * 255 gives 255.
inline uint32_t div255_sat(uint32_t x)
{
    if (x >= 255u * 255u)
        return 255;
    uint32_t t = x + 128;
    return (t + (t >> 8)) >> 8;
}

inline bool compare(uint32_t func, uint32_t value, uint32_t reference)
{
    switch (func) {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return value < reference;
    case D3DCMP_EQUAL:
        return value == reference;
    case D3DCMP_LESSEQUAL:
        return value <= reference;
    case D3DCMP_GREATER:
        return value > reference;
    case D3DCMP_NOTEQUAL:
        return value != reference;
    case D3DCMP_GREATEREQUAL:
        return value >= reference;
    default:
        return true; // D3DCMP_ALWAYS and unknown values
    }
}

} // namespace plat::d3d9
