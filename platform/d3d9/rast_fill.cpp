// The row walk and the inner loops. Runs on any raster thread; reads the state and the triangle,
// writes only the rows it owns.
#include "rast_fill.h"

#include "pixel_format.h"

#include <algorithm>
#include <cmath>

namespace plat::d3d9 {
namespace {

int64_t floor_div(int64_t n, int64_t d) // d > 0
{
    int64_t q = n / d;
    if ((n % d) != 0 && n < 0)
        --q;
    return q;
}

// floor((n0 + k * step) / d) for k = 0, 1, 2... without a division per step.
struct FloorWalker {
    int64_t q, r, d, qs, rs;
    void init(int64_t n0, int64_t step, int64_t divisor)
    {
        d = divisor;
        q = floor_div(n0, d);
        r = n0 - q * d;
        qs = floor_div(step, d);
        rs = step - qs * d;
    }
    void next() // branch-free: the carry of a slanted edge is taken about every other row
    {
        r += rs;
        const int64_t carry = r >= d ? 1 : 0;
        q += qs + carry;
        r -= d & -carry;
    }
};

// Start values of one span, in the fixed-point forms the inner loops step.
struct Span {
    int32_t y, x, count;
    int64_t z, dz;   // depth units, 16.16
    int64_t u, du;   // texels, 16.16 (affine)
    int64_t v, dv;
    int64_t c[4], dc[4]; // 8.16 (affine)
    // Perspective: values times rhw, and rhw.
    double pw, pdw, pu, pdu, pv, pdv, pc[4], pdc[4];
};

// v in 16.16. Values are clamped to +/-2^24 first (NaN to the lower bound): far beyond any
// depth, colour or sensible texel coordinate, and small enough that a step times a span length
// stays far inside int64.
inline int64_t fixed16(double v)
{
    constexpr double kLimit = 16777216.0;
    if (!(v > -kLimit))
        v = -kLimit;
    if (v > kLimit)
        v = kLimit;
    return round_half_up(v * 65536.0);
}

inline uint32_t clamp255(int64_t v)
{
    return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

inline uint32_t wrap_coord(int64_t i, uint32_t size, uint32_t mode)
{
    int64_t n = size;
    switch (mode) {
    case D3DTADDRESS_CLAMP:
    case D3DTADDRESS_BORDER:
        return static_cast<uint32_t>(i < 0 ? 0 : i >= n ? n - 1 : i);
    case D3DTADDRESS_MIRROR: {
        int64_t p = ((i % (2 * n)) + 2 * n) % (2 * n);
        return static_cast<uint32_t>(p < n ? p : 2 * n - 1 - p);
    }
    default: // wrap
        if ((size & (size - 1)) == 0)
            return static_cast<uint32_t>(i & (n - 1));
        return static_cast<uint32_t>(((i % n) + n) % n);
    }
}

inline uint32_t channel(uint32_t c, int k)
{
    return (c >> (8 * k)) & 255u;
}

uint32_t stage_arg(uint32_t arg, uint32_t diffuse, uint32_t texel, uint32_t factor)
{
    uint32_t v;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_TEXTURE:
        v = texel;
        break;
    case D3DTA_TFACTOR:
        v = factor;
        break;
    case D3DTA_SPECULAR:
        v = 0;
        break;
    default: // diffuse, and current (which is diffuse at stage 0)
        v = diffuse;
        break;
    }
    if (arg & D3DTA_COMPLEMENT)
        v = ~v;
    if (arg & D3DTA_ALPHAREPLICATE)
        v = (v >> 24) * 0x01010101u;
    return v;
}

uint32_t stage_op(uint32_t op, uint32_t a, uint32_t b)
{
    switch (op) {
    case D3DTOP_SELECTARG1:
        return a;
    case D3DTOP_SELECTARG2:
        return b;
    case D3DTOP_MODULATE:
        return mul8(a, b);
    case D3DTOP_MODULATE2X:
        return std::min<uint32_t>(255, 2 * mul8(a, b));
    case D3DTOP_MODULATE4X:
        return std::min<uint32_t>(255, 4 * mul8(a, b));
    case D3DTOP_ADD:
        return std::min<uint32_t>(255, a + b);
    case D3DTOP_ADDSIGNED:
        return clamp255(static_cast<int64_t>(a) + b - 128);
    default:
        return a;
    }
}

// Texture stage 0: colour and alpha.
uint32_t combine(const PixelState& s, uint32_t diffuse, uint32_t texel)
{
    uint32_t out = 0;
    if (s.colourOp == D3DTOP_DISABLE) {
        out = diffuse & 0x00FFFFFFu;
    } else {
        uint32_t a = stage_arg(s.colourArg1, diffuse, texel, s.textureFactor);
        uint32_t b = stage_arg(s.colourArg2, diffuse, texel, s.textureFactor);
        for (int k = 0; k < 3; ++k)
            out |= stage_op(s.colourOp, channel(a, k), channel(b, k)) << (8 * k);
    }
    uint32_t alpha;
    if (s.alphaOp == D3DTOP_DISABLE || s.colourOp == D3DTOP_DISABLE) {
        alpha = diffuse >> 24;
    } else {
        uint32_t a = stage_arg(s.alphaArg1, diffuse, texel, s.textureFactor);
        uint32_t b = stage_arg(s.alphaArg2, diffuse, texel, s.textureFactor);
        alpha = stage_op(s.alphaOp, a >> 24, b >> 24);
    }
    return out | alpha << 24;
}

uint32_t blend_factor(uint32_t f, uint32_t src, uint32_t dst, int k)
{
    switch (f) {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_ONE:
        return 255;
    case D3DBLEND_SRCCOLOR:
        return channel(src, k);
    case D3DBLEND_INVSRCCOLOR:
        return 255 - channel(src, k);
    case D3DBLEND_SRCALPHA:
        return src >> 24;
    case D3DBLEND_INVSRCALPHA:
        return 255 - (src >> 24);
    case D3DBLEND_DESTALPHA:
        return dst >> 24;
    case D3DBLEND_INVDESTALPHA:
        return 255 - (dst >> 24);
    case D3DBLEND_DESTCOLOR:
        return channel(dst, k);
    case D3DBLEND_INVDESTCOLOR:
        return 255 - channel(dst, k);
    case D3DBLEND_SRCALPHASAT:
        return k == 3 ? 255 : std::min(src >> 24, 255 - (dst >> 24));
    default:
        return 255;
    }
}

uint32_t blend(const PixelState& s, uint32_t src, uint32_t dst)
{
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        uint32_t sc = channel(src, k), dc = channel(dst, k);
        uint32_t fs = blend_factor(s.srcBlend, src, dst, k), fd = blend_factor(s.dstBlend, src, dst, k);
        uint32_t r;
        switch (s.blendOp) {
        case D3DBLENDOP_SUBTRACT: {
            int64_t d = int64_t(sc) * fs - int64_t(dc) * fd;
            r = d <= 0 ? 0 : div255_sat(static_cast<uint32_t>(d));
            break;
        }
        case D3DBLENDOP_REVSUBTRACT: {
            int64_t d = int64_t(dc) * fd - int64_t(sc) * fs;
            r = d <= 0 ? 0 : div255_sat(static_cast<uint32_t>(d));
            break;
        }
        case D3DBLENDOP_MIN:
            r = std::min(sc, dc);
            break;
        case D3DBLENDOP_MAX:
            r = std::max(sc, dc);
            break;
        default:
            r = div255_sat(sc * fs + dc * fd);
            break;
        }
        out |= r << (8 * k);
    }
    return out;
}

} // namespace

// The inner loop, one template per destination format and interpolation kind.
struct SpanKernel {
    void (*run)(const PixelState& s, const TriSetup& t, const Span& sp);
};

namespace {

template <D3DFORMAT Format, bool Perspective>
void span_generic(const PixelState& s, const TriSetup& t, const Span& sp)
{
    constexpr uint32_t bytes = Format == D3DFMT_A8R8G8B8 || Format == D3DFMT_X8R8G8B8 ? 4 : 2;
    uint8_t* row = s.colour + static_cast<size_t>(sp.y) * s.colourPitch;
    uint16_t* zrow = s.depth ? s.depth + static_cast<size_t>(sp.y) * s.depthPitch : nullptr;
    const bool depthOn = zrow && s.zTest;
    const bool depthWrite = zrow && s.zWrite && s.zTest;
    uint32_t keepMask = 0; // destination bits kept by the colour write mask
    if (!(s.writeMask & 1))
        keepMask |= 0x00FF0000u;
    if (!(s.writeMask & 2))
        keepMask |= 0x0000FF00u;
    if (!(s.writeMask & 4))
        keepMask |= 0x000000FFu;
    if (!(s.writeMask & 8))
        keepMask |= 0xFF000000u;

    for (int32_t i = 0; i < sp.count; ++i) {
        int32_t x = sp.x + i;
        uint16_t zq = depth_from_fixed(sp.z + sp.dz * i);
        if (depthOn && !compare(s.zFunc, zq, zrow[x]))
            continue;

        uint32_t diffuse = t.flatColour;
        uint32_t texel = 0xFFFFFFFFu;
        if constexpr (Perspective) {
            double w = sp.pw + sp.pdw * i;
            double inv = 1.0 / w;
            if (t.gouraud) {
                diffuse = 0;
                for (int k = 0; k < 4; ++k)
                    {
                    double c = (sp.pc[k] + sp.pdc[k] * i) * inv;
                    c = !(c > -1.0) ? -1.0 : c > 256.0 ? 256.0 : c;
                    diffuse |= clamp255(round_half_up(c)) << (8 * k);
                }
            }
            if (s.textured) {
                double tu = (sp.pu + sp.pdu * i) * inv, tv = (sp.pv + sp.pdv * i) * inv;
                if (!(std::fabs(tu) < 1e15) || !(std::fabs(tv) < 1e15))
                    tu = tv = 0;
                uint32_t ix = wrap_coord(static_cast<int64_t>(std::floor(tu)), s.texture.width, s.texture.addressU);
                uint32_t iy = wrap_coord(static_cast<int64_t>(std::floor(tv)), s.texture.height, s.texture.addressV);
                texel = s.texture.texels[static_cast<size_t>(iy) * s.texture.pitch + ix];
            }
        } else {
            if (t.gouraud) {
                diffuse = 0;
                for (int k = 0; k < 4; ++k)
                    diffuse |= clamp255((sp.c[k] + sp.dc[k] * i + 0x8000) >> 16) << (8 * k);
            }
            if (s.textured) {
                uint32_t ix = wrap_coord((sp.u + sp.du * i) >> 16, s.texture.width, s.texture.addressU);
                uint32_t iy = wrap_coord((sp.v + sp.dv * i) >> 16, s.texture.height, s.texture.addressV);
                texel = s.texture.texels[static_cast<size_t>(iy) * s.texture.pitch + ix];
            }
        }

        uint32_t colour = combine(s, diffuse, texel);
        if (s.alphaTest && !compare(s.alphaFunc, colour >> 24, s.alphaRef))
            continue;
        uint8_t* p = row + static_cast<size_t>(x) * bytes;
        if (s.blend || keepMask) {
            uint32_t dst = load_argb(Format, p);
            if (s.blend)
                colour = blend(s, colour, dst);
            colour = (colour & ~keepMask) | (dst & keepMask);
        }
        store_argb(Format, p, colour);
        if (depthWrite)
            zrow[x] = zq;
    }
}

template <D3DFORMAT Format>
const SpanKernel* kernels_for(bool perspective)
{
    static const SpanKernel affine{&span_generic<Format, false>};
    static const SpanKernel persp{&span_generic<Format, true>};
    return perspective ? &persp : &affine;
}

} // namespace

DrawKernels choose_kernels(const PixelState& state)
{
    DrawKernels k;
    switch (state.colourFormat) {
    case D3DFMT_A8R8G8B8:
        k.affine = kernels_for<D3DFMT_A8R8G8B8>(false);
        k.perspective = kernels_for<D3DFMT_A8R8G8B8>(true);
        break;
    case D3DFMT_R5G6B5:
        k.affine = kernels_for<D3DFMT_R5G6B5>(false);
        k.perspective = kernels_for<D3DFMT_R5G6B5>(true);
        break;
    case D3DFMT_A4R4G4B4:
        k.affine = kernels_for<D3DFMT_A4R4G4B4>(false);
        k.perspective = kernels_for<D3DFMT_A4R4G4B4>(true);
        break;
    default:
        k.affine = kernels_for<D3DFMT_X8R8G8B8>(false);
        k.perspective = kernels_for<D3DFMT_X8R8G8B8>(true);
        break;
    }
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx2)
        k.fast = make_fast_state(state);
    return k;
}

namespace {

bool fits32(int64_t v)
{
    return v >= INT32_MIN && v <= INT32_MAX;
}

// A plane in fixed point with 24 fraction bits: value(px, py) * 2^24 = c + px * dx + py * dy.
// Row starts are then integer arithmetic, the same for every row whichever thread shades it.
struct FixedPlane {
    int64_t c = 0, dx = 0, dy = 0;
    // The value in 16.16 at a pixel centre.
    int64_t at16(int64_t px, int64_t py) const { return (c + px * dx + py * dy + 128) >> 8; }
};

// False when the plane is too steep or too far out for the fixed form (the caller then
// evaluates in double): gradients below 2^20 per pixel and values below 2^26 keep every term
// under 2^60 for pixel coordinates below 2^14.
bool make_fixed(const Plane& p, double x0, double y0, FixedPlane& out)
{
    const double scale = 16777216.0;
    double c = p.base - p.dx * x0 - p.dy * y0;
    if (!(std::fabs(p.dx) < 1048576.0) || !(std::fabs(p.dy) < 1048576.0) || !(std::fabs(c) < 67108864.0))
        return false;
    out.c = round_half_up(c * scale);
    out.dx = round_half_up(p.dx * scale);
    out.dy = round_half_up(p.dy * scale);
    return true;
}

// An upright sprite: every edge horizontal or vertical, so every row has the same span and the
// vector loop can take all rows in one call. Finds exactly the rows and span the row walk below
// would (the same floor divisions, with the vertical edges' zero steps), and the same row-start
// values (the fixed planes stepped by whole rows). False, having drawn nothing, when the
// triangle is not such a rectangle or some row's values would not fit the vector loop; the row
// walk then draws it.
bool fill_rectangle(const TriSetup& t, const PixelState& s, const DrawKernels& kernels, const FastTriangle& fast,
                    const FixedPlane& fz, const FixedPlane& fu, const FixedPlane& fv, int64_t dz, int64_t du,
                    int64_t dv, int32_t yFirst, int32_t yLast)
{
    int64_t lo = s.clip.x0, hi = s.clip.x1 - 1;
    int64_t y0 = yFirst, y1 = yLast;
    for (int e = 0; e < t.edgeCount; ++e) {
        const Edge& ed = t.edge[e];
        if (ed.a != 0 && ed.b != 0)
            return false;
        if (ed.a > 0) {
            lo = std::max(lo, -floor_div(ed.c - ed.bias, ed.a * 256));
        } else if (ed.a < 0) {
            hi = std::min(hi, floor_div(ed.c - ed.bias, -ed.a * 256));
        } else if (ed.b > 0) { // inside where b * 256 * y + c - bias >= 0
            y0 = std::max(y0, -floor_div(ed.c - ed.bias, ed.b * 256));
        } else if (ed.b < 0) {
            y1 = std::min(y1, floor_div(ed.c - ed.bias, -ed.b * 256));
        } else if (ed.c - ed.bias < 0) {
            return true; // no pixel
        }
    }
    if (lo > hi || y0 > y1)
        return true;
    const int64_t last = hi - lo;
    const int64_t zMax = int64_t{65535} << 16;
    // Row starts and ends are monotonic in y: the first and last rows bound every row.
    for (int64_t yy : {y0, y1}) {
        const int64_t z0 = fz.at16(lo, yy), u0 = fu.at16(lo, yy), v0 = fv.at16(lo, yy);
        const int64_t z1 = z0 + dz * last;
        if (kernels.fast.depth && !(z0 >= 0 && z0 <= zMax && z1 >= 0 && z1 <= zMax))
            return false;
        if (!fits32(u0) || !fits32(v0) || !fits32(u0 + du * last) || !fits32(v0 + dv * last))
            return false;
    }
    const int64_t acc[3] = {fz.c + lo * fz.dx + y0 * fz.dy + 128, fu.c + lo * fu.dx + y0 * fu.dy + 128,
                            fv.c + lo * fv.dx + y0 * fv.dy + 128};
    const int64_t step[3] = {fz.dy, fu.dy, fv.dy};
    uint8_t* colour = s.colour + static_cast<size_t>(y0) * s.colourPitch;
    uint16_t* depth = s.depth ? s.depth + static_cast<size_t>(y0) * s.depthPitch : nullptr;
    run_fast_rows(fast, colour, s.colourPitch, depth, s.depthPitch, static_cast<int32_t>(y1 - y0 + 1),
                  static_cast<int32_t>(lo), static_cast<int32_t>(last + 1), acc, step);
    return true;
}

} // namespace

void fill_triangle(const TriSetup& t, const PixelState& s, const DrawKernels& kernels, int32_t rowBegin, int32_t rowEnd)
{
    const SpanKernel* k = t.perspective ? kernels.perspective : kernels.affine;
    int32_t y = std::max(t.yMin, rowBegin);
    const int32_t yEnd = std::min(t.yMax, rowEnd);
    FloorWalker walk[4];
    bool walking = false;
    const int edges = t.edgeCount;
    const int32_t clipX0 = s.clip.x0, clipX1 = s.clip.x1 - 1;
    // Steps along a row, fixed once per triangle; the vector loop is prepared for them.
    const int64_t dz = fixed16(t.z.dx), du = fixed16(t.u.dx), dv = fixed16(t.v.dx);
    const bool fastOk = kernels.fast.usable && !t.perspective && !t.gouraud && fits32(dz) && fits32(du) && fits32(dv);
    FixedPlane fz, fu, fv;
    const bool fixedPlanes = !t.perspective && make_fixed(t.z, t.x0, t.y0, fz) && make_fixed(t.u, t.x0, t.y0, fu) &&
                             make_fixed(t.v, t.x0, t.y0, fv);
    FastTriangle fast;
    if (fastOk && y <= yEnd)
        prepare_fast(kernels.fast, t.flatColour, static_cast<int32_t>(dz), static_cast<int32_t>(du),
                     static_cast<int32_t>(dv), &fast);
    if (fastOk && fixedPlanes && y <= yEnd && fill_rectangle(t, s, kernels, fast, fz, fu, fv, dz, du, dv, y, yEnd))
        return;

    for (; y <= yEnd; ++y) {
        int64_t Y = static_cast<int64_t>(y) * 256;
        if (!walking) {
            for (int e = 0; e < edges; ++e) {
                const Edge& ed = t.edge[e];
                if (ed.a != 0)
                    walk[e].init(ed.b * Y + ed.c - ed.bias, ed.b * 256, (ed.a > 0 ? ed.a : -ed.a) * 256);
            }
            walking = true;
        }
        int64_t lo = clipX0, hi = clipX1;
        bool empty = false;
        for (int e = 0; e < edges; ++e) {
            const Edge& ed = t.edge[e];
            if (ed.a > 0)
                lo = std::max(lo, -walk[e].q);
            else if (ed.a < 0)
                hi = std::min(hi, walk[e].q);
            else if (ed.b * Y + ed.c - ed.bias < 0)
                empty = true;
        }
        if (!empty && lo <= hi) {
            const double px = static_cast<double>(lo), py = static_cast<double>(y);
            const int32_t count = static_cast<int32_t>(hi - lo + 1);
            const int64_t z0 = fixedPlanes ? fz.at16(lo, y) : fixed16(t.z.at(px, py, t.x0, t.y0));
            const int64_t u0 = fixedPlanes ? fu.at16(lo, y) : t.perspective ? 0 : fixed16(t.u.at(px, py, t.x0, t.y0));
            const int64_t v0 = fixedPlanes ? fv.at16(lo, y) : t.perspective ? 0 : fixed16(t.v.at(px, py, t.x0, t.y0));
            bool done = false;
            if (fastOk) {
                const int64_t last = count - 1;
                const int64_t z1 = z0 + dz * last;
                const int64_t zMax = int64_t{65535} << 16;
                bool zOk = !kernels.fast.depth || (z0 >= 0 && z0 <= zMax && z1 >= 0 && z1 <= zMax);
                if (zOk && fits32(u0) && fits32(v0) && fits32(u0 + du * last) && fits32(v0 + dv * last)) {
                    auto* row = reinterpret_cast<uint32_t*>(s.colour + static_cast<size_t>(y) * s.colourPitch);
                    uint16_t* zrow = s.depth ? s.depth + static_cast<size_t>(y) * s.depthPitch : nullptr;
                    run_fast(fast, row, zrow, static_cast<int32_t>(lo), count, static_cast<uint32_t>(z0),
                             static_cast<int32_t>(u0), static_cast<int32_t>(v0));
                    done = true;
                }
            }
            if (!done) {
                Span sp;
                sp.y = y;
                sp.x = static_cast<int32_t>(lo);
                sp.count = count;
                sp.z = z0;
                sp.dz = dz;
                if (t.perspective) {
                    sp.pw = t.w.at(px, py, t.x0, t.y0);
                    sp.pdw = t.w.dx;
                    sp.pu = t.u.at(px, py, t.x0, t.y0);
                    sp.pdu = t.u.dx;
                    sp.pv = t.v.at(px, py, t.x0, t.y0);
                    sp.pdv = t.v.dx;
                    for (int c = 0; c < 4; ++c) {
                        sp.pc[c] = t.c[c].at(px, py, t.x0, t.y0);
                        sp.pdc[c] = t.c[c].dx;
                    }
                } else {
                    sp.u = u0;
                    sp.du = du;
                    sp.v = v0;
                    sp.dv = dv;
                    if (t.gouraud)
                        for (int c = 0; c < 4; ++c) {
                            sp.c[c] = fixed16(t.c[c].at(px, py, t.x0, t.y0));
                            sp.dc[c] = fixed16(t.c[c].dx);
                        }
                }
                k->run(s, t, sp);
            }
        }
        for (int e = 0; e < edges; ++e)
            if (t.edge[e].a != 0)
                walk[e].next();
    }
}

} // namespace plat::d3d9
