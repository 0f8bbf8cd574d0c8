// setup_triangle.h - triangle setup: screen vertices to fixed-point edges and attribute planes.
//
// Positions snap to 1/256 pixel (8 bits of sub-pixel precision, nearest, halves up). Pixel centres
// sit at integer coordinates. Coverage follows the top-left rule: a centre exactly on an edge
// belongs to the triangle only if that edge is a left edge (the inside lies to its right) or a
// top edge (horizontal, the inside below it), so triangles sharing an edge cover each pixel once.
// Triangles with a non-finite coordinate are dropped here; triangles reaching past the guard band
// are clipped to it in floating point first, so the fixed-point edge terms cannot overflow.
#pragma once

#include "rast_state.h"

#include <cstdint>
#include <vector>

namespace plat::d3d9 {

// The pre-transformed vertex as the rasterizer takes it (fetched from any FVF layout).
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};

// Pixel (X, Y) in 1/256 units is inside when a*X + b*Y + c >= bias for all three edges
// (bias 0 on top-left edges, 1 elsewhere).
struct Edge {
    int64_t a, b, c, bias;
};

// value(x, y) = base + dx * (x - x0) + dy * (y - y0), x and y in pixels.
struct Plane {
    double base = 0, dx = 0, dy = 0;
    double at(double x, double y, double x0, double y0) const { return base + dx * (x - x0) + dy * (y - y0); }
};

// A set-up triangle, or a convex quadrilateral merged from two triangles that share an edge and
// one affine interpolation (see setup_quad): its pixels and values are those of the two
// triangles, drawn as one span per row.
struct TriSetup {
    TriSetup() {} // set up field by field: nothing to clear first (the planes start at zero)
    Edge edge[4];
    int32_t edgeCount;  // 3 or 4
    int32_t yMin, yMax; // pixel rows touched, inclusive, within the clip rectangle
    double x0, y0;      // reference point of the planes
    bool perspective;   // rhw differs between vertices: u, v, colour are divided by w per pixel
    bool gouraud;       // colours differ between vertices
    uint32_t flatColour;
    Plane z;            // z * 65535 (depth units)
    Plane w;            // rhw (perspective only)
    Plane u, v;         // texel units; times rhw when perspective
    Plane c[4];         // colour channels b, g, r, a in 0..255; times rhw when perspective
};

// Sets up one triangle (after clipping to the guard band, possibly several) and appends the
// results. Culling and the flat-shade rule of `state` apply. Returns nothing: a dropped triangle
// appends nothing.
void setup_triangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, const PixelState& state,
                    std::vector<TriSetup>& out);

// The triangles (a, b, c) and (a, c, d), which share the edge a-c, as one quadrilateral a-b-c-d
// when that draws exactly what the two triangles draw: all four vertices finite, inside the
// guard band, one rhw, one colour, d's depth and texture coordinates on the plane of (a, b, c),
// the quadrilateral strictly convex. Returns false (appending nothing) otherwise; the caller then
// sets the triangles up one by one.
bool setup_quad(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& d,
                const PixelState& state, std::vector<TriSetup>& out);

} // namespace plat::d3d9
