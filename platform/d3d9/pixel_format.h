// pixel_format.h - the formats the device stores and the conversions between them.
//
// The rasterizer works on 8-bit channels (A8R8G8B8 values). These are the rounding rules, in one
// place, that every path (draws, Clear, sampling, copies) follows:
//   * widening 5 or 6 bits to 8 replicates the top bits (x << 3 | x >> 2, x << 2 | x >> 4), and
//     4 bits to 8 multiplies by 17: 0 stays 0 and full stays 255;
//   * narrowing 8 bits to n bits rounds to the nearest level: (x * (2^n - 1) + 127) / 255;
//   * a missing alpha channel (X8R8G8B8, R5G6B5) reads as 255; X8R8G8B8 stores 0xFF in the
//     unused byte.
#pragma once

#include "d3d9.h"

#include <cstdint>

namespace plat::d3d9 {

// Bytes per pixel of a format this device stores, 0 for any other.
inline uint32_t format_bytes(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
        return 2;
    default:
        return 0;
    }
}

inline bool is_colour_format(D3DFORMAT f)
{
    return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_A4R4G4B4;
}

inline bool has_alpha(D3DFORMAT f)
{
    return f == D3DFMT_A8R8G8B8 || f == D3DFMT_A4R4G4B4;
}

// round(x * levels / 255) for 8-bit x.
constexpr uint32_t narrow8(uint32_t x, uint32_t levels)
{
    return (x * levels + 127) / 255;
}

constexpr uint32_t rgb565_to_argb(uint32_t p)
{
    uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

constexpr uint32_t argb4444_to_argb(uint32_t p)
{
    return ((p >> 12 & 15) * 17) << 24 | ((p >> 8 & 15) * 17) << 16 | ((p >> 4 & 15) * 17) << 8 | (p & 15) * 17;
}

constexpr uint16_t argb_to_rgb565(uint32_t c)
{
    return static_cast<uint16_t>(narrow8(c >> 16 & 255, 31) << 11 | narrow8(c >> 8 & 255, 63) << 5 |
                                 narrow8(c & 255, 31));
}

constexpr uint16_t argb_to_argb4444(uint32_t c)
{
    return static_cast<uint16_t>(narrow8(c >> 24, 15) << 12 | narrow8(c >> 16 & 255, 15) << 8 |
                                 narrow8(c >> 8 & 255, 15) << 4 | narrow8(c & 255, 15));
}

// A stored pixel as A8R8G8B8.
inline uint32_t load_argb(D3DFORMAT f, const uint8_t* p)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
        return *reinterpret_cast<const uint32_t*>(p);
    case D3DFMT_X8R8G8B8:
        return *reinterpret_cast<const uint32_t*>(p) | 0xFF000000u;
    case D3DFMT_R5G6B5:
        return rgb565_to_argb(*reinterpret_cast<const uint16_t*>(p));
    case D3DFMT_A4R4G4B4:
        return argb4444_to_argb(*reinterpret_cast<const uint16_t*>(p));
    default:
        return 0;
    }
}

// An A8R8G8B8 colour stored in format f.
inline void store_argb(D3DFORMAT f, uint8_t* p, uint32_t c)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
        *reinterpret_cast<uint32_t*>(p) = c;
        break;
    case D3DFMT_X8R8G8B8:
        *reinterpret_cast<uint32_t*>(p) = c | 0xFF000000u;
        break;
    case D3DFMT_R5G6B5:
        *reinterpret_cast<uint16_t*>(p) = argb_to_rgb565(c);
        break;
    case D3DFMT_A4R4G4B4:
        *reinterpret_cast<uint16_t*>(p) = argb_to_argb4444(c);
        break;
    default:
        break;
    }
}

// The rounding of every float-to-fixed conversion (positions, depth, texel coordinates,
// colours): nearest integer, halves up, i.e. floor(v + 0.5). |v| must stay below 2^62.
inline int64_t round_half_up(double v)
{
    double h = v + 0.5;
    int64_t t = static_cast<int64_t>(h); // truncates toward zero
    return t - (static_cast<double>(t) > h ? 1 : 0);
}

// Depth quantisation of the D16 buffer. Depth is carried as z * 65535 in 16.16 fixed point
// (computed in double); the stored value rounds that to the nearest integer, halves up, and
// clamps to [0, 65535]. Clear and the rasterizer share this rule.
inline int64_t depth_fixed(double z)
{
    double v = z * (65535.0 * 65536.0);
    if (!(v > -1e15))
        v = -1e15;
    if (v > 1e15)
        v = 1e15;
    return round_half_up(v);
}

inline uint16_t depth_from_fixed(int64_t zf)
{
    int64_t q = (zf + 32768) >> 16;
    return static_cast<uint16_t>(q < 0 ? 0 : q > 65535 ? 65535 : q);
}

inline uint16_t quantize_depth(float z)
{
    return depth_from_fixed(depth_fixed(z));
}

} // namespace plat::d3d9
