// Triangle setup. Runs on the thread that issued the draw (or a raster worker, see rast_scene).
#include "setup_triangle.h"

#include "pixel_format.h"

#include <algorithm>
#include <cmath>

namespace plat::d3d9 {
namespace {

// Positions beyond this many pixels from the origin are clipped away before snapping; with
// 8 sub-pixel bits every edge term then stays below 2^48.
constexpr double kGuardBand = 32768.0;
constexpr double kSubpixel = 256.0;

// A vertex in the quantities that are linear in screen space: position, z, rhw, and u, v,
// colour (each multiplied by rhw when the triangle is perspective).
struct ClipVertex {
    double x, y, z, w, u, v, c[4];
};

ClipVertex lerp(const ClipVertex& a, const ClipVertex& b, double t)
{
    ClipVertex r;
    r.x = a.x + (b.x - a.x) * t;
    r.y = a.y + (b.y - a.y) * t;
    r.z = a.z + (b.z - a.z) * t;
    r.w = a.w + (b.w - a.w) * t;
    r.u = a.u + (b.u - a.u) * t;
    r.v = a.v + (b.v - a.v) * t;
    for (int i = 0; i < 4; ++i)
        r.c[i] = a.c[i] + (b.c[i] - a.c[i]) * t;
    return r;
}

// Sutherland-Hodgman against one side of the guard band: keep where sign * coord <= limit.
int clip_side(const ClipVertex* in, int n, ClipVertex* out, bool useX, double sign)
{
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const ClipVertex& a = in[i];
        const ClipVertex& b = in[(i + 1) % n];
        double da = sign * (useX ? a.x : a.y) - kGuardBand;
        double db = sign * (useX ? b.x : b.y) - kGuardBand;
        if (da <= 0)
            out[m++] = a;
        if ((da <= 0) != (db <= 0))
            out[m++] = lerp(a, b, da / (da - db));
    }
    return m;
}

double floor_div_pixels(int64_t v)
{
    return std::floor(static_cast<double>(v) / kSubpixel);
}

Plane make_plane(double f0, double f1, double f2, double ex1, double ey1, double ex2, double ey2, double invDet)
{
    Plane p;
    p.base = f0;
    p.dx = ((f1 - f0) * ey2 - (f2 - f0) * ey1) * invDet;
    p.dy = ((f2 - f0) * ex1 - (f1 - f0) * ex2) * invDet;
    return p;
}

void setup_snapped(const ClipVertex* v[3], bool perspective, bool gouraud, uint32_t flatColour,
                   const PixelState& state, std::vector<TriSetup>& out)
{
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = round_half_up(v[i]->x * kSubpixel);
        Y[i] = round_half_up(v[i]->y * kSubpixel);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0)
        return;
    int64_t sign = area > 0 ? 1 : -1;

    int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    // Rows whose centre lies within [minY, maxY].
    double yMin = -floor_div_pixels(-minY), yMax = floor_div_pixels(maxY);
    yMin = std::max(yMin, static_cast<double>(state.clip.y0));
    yMax = std::min(yMax, static_cast<double>(state.clip.y1 - 1));
    if (yMin > yMax)
        return;

    // Built in place: the set-up is a few hundred bytes.
    TriSetup& t = out.emplace_back();
    t.yMin = static_cast<int32_t>(yMin);
    t.yMax = static_cast<int32_t>(yMax);
    t.edgeCount = 3;
    for (int i = 0; i < 3; ++i) {
        int j = (i + 1) % 3;
        Edge& e = t.edge[i];
        e.a = -(Y[j] - Y[i]) * sign;
        e.b = (X[j] - X[i]) * sign;
        e.c = (-(X[j] - X[i]) * Y[i] + (Y[j] - Y[i]) * X[i]) * sign;
        bool topLeft = e.a > 0 || (e.a == 0 && e.b > 0);
        e.bias = topLeft ? 0 : 1;
    }

    double x0 = X[0] / kSubpixel, y0 = Y[0] / kSubpixel;
    double ex1 = X[1] / kSubpixel - x0, ey1 = Y[1] / kSubpixel - y0;
    double ex2 = X[2] / kSubpixel - x0, ey2 = Y[2] / kSubpixel - y0;
    double invDet = 1.0 / (ex1 * ey2 - ex2 * ey1);
    t.x0 = x0;
    t.y0 = y0;
    t.perspective = perspective;
    t.gouraud = gouraud;
    t.flatColour = flatColour;
    t.z = make_plane(v[0]->z * 65535.0, v[1]->z * 65535.0, v[2]->z * 65535.0, ex1, ey1, ex2, ey2, invDet);
    if (perspective)
        t.w = make_plane(v[0]->w, v[1]->w, v[2]->w, ex1, ey1, ex2, ey2, invDet);
    double tw = state.textured ? state.texture.width : 0.0, th = state.textured ? state.texture.height : 0.0;
    t.u = make_plane(v[0]->u * tw, v[1]->u * tw, v[2]->u * tw, ex1, ey1, ex2, ey2, invDet);
    t.v = make_plane(v[0]->v * th, v[1]->v * th, v[2]->v * th, ex1, ey1, ex2, ey2, invDet);
    if (gouraud)
        for (int i = 0; i < 4; ++i)
            t.c[i] = make_plane(v[0]->c[i], v[1]->c[i], v[2]->c[i], ex1, ey1, ex2, ey2, invDet);
}

bool finite(float f)
{
    return std::isfinite(f);
}

} // namespace

bool setup_quad(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& d,
                const PixelState& state, std::vector<TriSetup>& out)
{
    const ScreenVertex* q[4] = {&a, &b, &c, &d};
    for (const ScreenVertex* p : q) {
        if (!finite(p->x) || !finite(p->y) || !finite(p->z) || !finite(p->rhw) || !finite(p->u) || !finite(p->v))
            return false;
        if (std::fabs(p->x) > kGuardBand || std::fabs(p->y) > kGuardBand)
            return false;
        if (p->rhw != a.rhw || p->diffuse != a.diffuse)
            return false;
    }
    int64_t X[4], Y[4];
    for (int i = 0; i < 4; ++i) {
        X[i] = round_half_up(q[i]->x * kSubpixel);
        Y[i] = round_half_up(q[i]->y * kSubpixel);
    }
    // Strictly convex, every turn the same way: then the union of the two triangles is the
    // quadrilateral and the shared diagonal lies inside it.
    int64_t turn[4];
    for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4, k = (i + 2) % 4;
        turn[i] = (X[j] - X[i]) * (Y[k] - Y[j]) - (Y[j] - Y[i]) * (X[k] - X[j]);
    }
    bool positive = turn[0] > 0 && turn[1] > 0 && turn[2] > 0 && turn[3] > 0;
    bool negative = turn[0] < 0 && turn[1] < 0 && turn[2] < 0 && turn[3] < 0;
    if (!positive && !negative)
        return false;
    // Culling by the screen winding of the original vertices, as setup_triangle does; both
    // triangles of a convex quadrilateral wind the same way.
    double area = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y);
    double area2 = (double(c.x) - a.x) * (double(d.y) - a.y) - (double(d.x) - a.x) * (double(c.y) - a.y);
    if (area == 0.0 || area2 == 0.0 || (area > 0) != (area2 > 0) || (area > 0) != positive)
        return false;
    if ((state.cull == D3DCULL_CW && area > 0) || (state.cull == D3DCULL_CCW && area < 0))
        return true; // culled: nothing to draw, and nothing for the caller to do either

    ClipVertex cv[3];
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& p = *q[i];
        cv[i] = {p.x, p.y, p.z, p.rhw, p.u, p.v, {0, 0, 0, 0}};
        for (int k = 0; k < 4; ++k)
            cv[i].c[k] = static_cast<double>((p.diffuse >> (8 * k)) & 255u);
    }
    const ClipVertex* p3[3] = {&cv[0], &cv[1], &cv[2]};
    size_t before = out.size();
    setup_snapped(p3, false, false, a.diffuse, state, out);
    if (out.size() == before)
        return false; // (a, b, c) has no rows on the target, but (a, c, d) may: set up one by one
    TriSetup& t = out.back();
    // d's values must lie on the triangle's planes, or the two triangles interpolate differently.
    double px = X[3] / kSubpixel, py = Y[3] / kSubpixel;
    double tw = state.textured ? state.texture.width : 0.0, th = state.textured ? state.texture.height : 0.0;
    auto near = [](double want, double got) { return std::fabs(want - got) <= 1e-6 * (1.0 + std::fabs(want)); };
    if (!near(d.z * 65535.0, t.z.at(px, py, t.x0, t.y0)) || !near(d.u * tw, t.u.at(px, py, t.x0, t.y0)) ||
        !near(d.v * th, t.v.at(px, py, t.x0, t.y0))) {
        out.resize(before);
        return false;
    }
    // The four outer edges, inside positive, with the top-left rule.
    int64_t sign = positive ? 1 : -1;
    for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4;
        Edge& e = t.edge[i];
        e.a = -(Y[j] - Y[i]) * sign;
        e.b = (X[j] - X[i]) * sign;
        e.c = (-(X[j] - X[i]) * Y[i] + (Y[j] - Y[i]) * X[i]) * sign;
        e.bias = (e.a > 0 || (e.a == 0 && e.b > 0)) ? 0 : 1;
    }
    t.edgeCount = 4;
    int64_t minY = std::min({Y[0], Y[1], Y[2], Y[3]}), maxY = std::max({Y[0], Y[1], Y[2], Y[3]});
    double yMin = std::max(-floor_div_pixels(-minY), static_cast<double>(state.clip.y0));
    double yMax = std::min(floor_div_pixels(maxY), static_cast<double>(state.clip.y1 - 1));
    if (yMin > yMax) {
        out.resize(before);
        return true;
    }
    t.yMin = static_cast<int32_t>(yMin);
    t.yMax = static_cast<int32_t>(yMax);
    return true;
}

void setup_triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const PixelState& state,
                    std::vector<TriSetup>& out)
{
    const ScreenVertex* sv[3] = {&a, &b, &c};
    for (const ScreenVertex* p : sv)
        if (!finite(p->x) || !finite(p->y) || !finite(p->z) || !finite(p->rhw) || !finite(p->u) || !finite(p->v))
            return;

    // Culling by screen winding: with y pointing down, a positive area is clockwise on screen.
    double area = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y);
    if (area == 0.0)
        return;
    if ((state.cull == D3DCULL_CW && area > 0) || (state.cull == D3DCULL_CCW && area < 0))
        return;

    bool perspective = !(a.rhw == b.rhw && a.rhw == c.rhw);
    if (perspective && (!(a.rhw > 0) || !(b.rhw > 0) || !(c.rhw > 0)))
        return; // a vertex at or behind the eye has no perspective-correct interpolation
    bool gouraud = !state.flatShade && !(a.diffuse == b.diffuse && a.diffuse == c.diffuse);
    uint32_t flat = a.diffuse;

    ClipVertex cv[3];
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& s = *sv[i];
        double w = perspective ? s.rhw : 1.0;
        cv[i].x = s.x;
        cv[i].y = s.y;
        cv[i].z = s.z;
        cv[i].w = s.rhw;
        cv[i].u = s.u * w;
        cv[i].v = s.v * w;
        for (int k = 0; k < 4; ++k)
            cv[i].c[k] = static_cast<double>((s.diffuse >> (8 * k)) & 255u) * w;
    }

    bool inside = true;
    for (const ClipVertex& v : cv)
        if (std::fabs(v.x) > kGuardBand || std::fabs(v.y) > kGuardBand)
            inside = false;
    if (inside) {
        const ClipVertex* p[3] = {&cv[0], &cv[1], &cv[2]};
        setup_snapped(p, perspective, gouraud, flat, state, out);
        return;
    }

    ClipVertex poly[2][16];
    int n = 3;
    for (int i = 0; i < 3; ++i)
        poly[0][i] = cv[i];
    int cur = 0;
    const bool axes[4] = {true, true, false, false};
    const double signs[4] = {1, -1, 1, -1};
    for (int side = 0; side < 4 && n > 0; ++side) {
        n = clip_side(poly[cur], n, poly[cur ^ 1], axes[side], signs[side]);
        cur ^= 1;
    }
    for (int i = 1; i + 1 < n; ++i) {
        const ClipVertex* p[3] = {&poly[cur][0], &poly[cur][i], &poly[cur][i + 1]};
        setup_snapped(p, perspective, gouraud, flat, state, out);
    }
}

} // namespace plat::d3d9
