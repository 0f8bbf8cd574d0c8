// Pixel-exact rasterization: texel mapping, fill rule, alpha and depth tests, 16-bit formats,
// non-finite input, clipping, and identical pictures on one or several raster threads.
#include "D3D9Fixture.h"

#include <iterator>

using namespace d3d9test;

namespace {

std::vector<uint32_t> RandomTexels(size_t n, uint64_t seed)
{
    Rng rng(seed);
    std::vector<uint32_t> t(n);
    for (uint32_t& c : t)
        c = rng.next();
    return t;
}

class RasterTest : public DeviceTest {};

// A quad placed with the -0.5 offset shows its texture one texel per pixel, on one thread and on
// several, and leaves every other pixel alone.
TEST_F(RasterTest, TexturedQuadMapsTexelsOneToOne)
{
    MakeDevice(64, 48);
    Use2DStates();
    std::vector<uint32_t> texels = RandomTexels(32 * 16, 1);
    IDirect3DTexture9* tex = MakeTexture(32, 16, texels);
    ASSERT_NE(tex, nullptr);
    for (uint32_t threads : {1u, 2u}) {
        platctl_d3d9_set_raster_threads(threads);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030u, 1.0f, 0);
        device->SetTexture(0, tex);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        std::vector<Vertex> v;
        Quad(v, 9, 13, 32, 16, 32, 16, 0.5f, 0xFFFFFFFFu);
        ASSERT_EQ(Draw(v), D3D_OK);
        std::vector<uint32_t> px = ReadTarget();
        for (UINT y = 0; y < 48; ++y)
            for (UINT x = 0; x < 64; ++x) {
                bool inside = x >= 9 && x < 41 && y >= 13 && y < 29;
                uint32_t want = inside ? (texels[(y - 13) * 32 + (x - 9)] | 0xFF000000u) : 0xFF102030u;
                ASSERT_EQ(px[y * 64 + x], want) << "pixel " << x << "," << y << " threads " << threads;
            }
    }
    device->SetTexture(0, nullptr);
    tex->Release();
}

// Triangles that tile a region (a grid of jittered points, split both ways) cover every pixel
// of it exactly once: with additive blending any double or missed coverage shows.
TEST_F(RasterTest, SharedEdgesCoverEachPixelOnce)
{
    MakeDevice(96, 80);
    Use2DStates();
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    for (uint64_t seed : {1u, 2u, 3u}) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        Rng rng(seed);
        const int n = 7;
        float gx[n + 1][n + 1], gy[n + 1][n + 1];
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                // Inner points jitter; the border stays on the rectangle (8, 8) - (88, 72).
                float jx = (i > 0 && i < n) ? (rng.unit() - 0.5f) * 8.0f : 0.0f;
                float jy = (j > 0 && j < n) ? (rng.unit() - 0.5f) * 8.0f : 0.0f;
                // Some points land exactly on pixel centres and half-pixels to stress the rule.
                if (rng.next() % 4 == 0) {
                    jx = std::round(jx);
                    jy = std::round(jy);
                }
                gx[j][i] = 8.0f + 80.0f * i / n + jx;
                gy[j][i] = 8.0f + 64.0f * j / n + jy;
            }
        std::vector<Vertex> v;
        auto P = [&](int j, int i) { return Vertex{gx[j][i], gy[j][i], 0.5f, 1.0f, 0x00101010u, 0, 0}; };
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                if ((i + j + static_cast<int>(seed)) % 2) {
                    v.insert(v.end(), {P(j, i), P(j, i + 1), P(j + 1, i + 1), P(j, i), P(j + 1, i + 1), P(j + 1, i)});
                } else {
                    v.insert(v.end(), {P(j, i), P(j, i + 1), P(j + 1, i), P(j, i + 1), P(j + 1, i + 1), P(j + 1, i)});
                }
            }
        ASSERT_EQ(Draw(v), D3D_OK);
        std::vector<uint32_t> px = ReadTarget();
        // The outer rectangle's pixel centres: x in [8, 88) with the left edge owning x = 8.
        for (UINT y = 0; y < 80; ++y)
            for (UINT x = 0; x < 96; ++x) {
                bool inside = x >= 8 && x < 88 && y >= 8 && y < 72;
                ASSERT_EQ(px[y * 96 + x] & 0xFFFFFFu, inside ? 0x101010u : 0u)
                    << "pixel " << x << "," << y << " seed " << seed;
            }
    }
}

// The alpha test with reference 8 and GREATEREQUAL (the graphics module's setting) keeps texels
// of alpha 8 and up and drops the rest; dropped pixels write no depth either.
TEST_F(RasterTest, AlphaTestAtReferenceEight)
{
    MakeDevice(16, 2);
    Use2DStates();
    std::vector<uint32_t> texels(16);
    for (uint32_t a = 0; a < 16; ++a)
        texels[a] = (a == 15 ? 255u : a) << 24 | 0x00FF0000u; // alphas 0..14 and 255
    IDirect3DTexture9* tex = MakeTexture(16, 1, texels);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FFu, 1.0f, 0);
    device->SetTexture(0, tex);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 8);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    std::vector<Vertex> v;
    Quad(v, 0, 0, 16, 1, 16, 1, 0.25f, 0xFFFFFFFFu);
    ASSERT_EQ(Draw(v), D3D_OK);
    // A second, farther quad on both rows: it shows only where the first wrote no depth.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetTexture(0, nullptr);
    v.clear();
    Quad(v, 0, 0, 16, 2, 16, 2, 0.75f, 0xFF00FF00u);
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (uint32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(px[x], x >= 8 ? 0xFFFF0000u : 0xFF00FF00u) << x;
        EXPECT_EQ(px[16 + x], 0xFF00FF00u) << x;
    }
    tex->Release();
}

// Depth LESSEQUAL with writes: a nearer quad hides a farther one drawn later; an equal depth
// passes; a nearer one drawn last covers. Depth is quantised to 16 bits.
TEST_F(RasterTest, DepthLessEqualWithWrites)
{
    MakeDevice(8, 4);
    Use2DStates();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    struct Step {
        float x, w, z;
        uint32_t colour;
    } steps[] = {
        {0, 8, 0.5f, 0xFFFF0000u},  // all: red at 0.5
        {0, 4, 0.7f, 0xFF00FF00u},  // farther: hidden
        {2, 4, 0.5f, 0xFF0000FFu},  // equal: passes
        {6, 2, 0.3f, 0xFFFFFFFFu},  // nearer: passes
        {5, 3, 0.5f + 0.4f / 65535.0f, 0xFF00FFFFu}, // rounds to the same D16 value as 0.5 where 0.3 is not
    };
    for (const Step& s : steps) {
        std::vector<Vertex> v;
        Quad(v, s.x, 0, s.w, 4, 1, 1, s.z, s.colour);
        ASSERT_EQ(Draw(v), D3D_OK);
    }
    std::vector<uint32_t> px = ReadTarget();
    const uint32_t want[8] = {0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu,
                              0xFF0000FFu, 0xFF00FFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 8; ++x)
            EXPECT_EQ(px[y * 8 + x], want[x]) << x << "," << y;
}

// 16-bit targets and textures: Clear and draws narrow with rounding to nearest, textures widen by
// bit replication.
TEST_F(RasterTest, SixteenBitFormats)
{
    MakeDevice(8, 2, D3DFMT_R5G6B5);
    Use2DStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    EXPECT_EQ(ReadTarget()[0], 0xFFFFu);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF847C04u, 1.0f, 0); // r 132, g 124, b 4
    // r: round(132 * 31 / 255) = 16; g: round(124 * 63 / 255) = 31; b: round(4 * 31 / 255) = 0
    EXPECT_EQ(ReadTarget()[0], (16u << 11) | (31u << 5) | 0u);

    // An A4R4G4B4 texture drawn with SELECTARG1 onto R5G6B5: 4 -> 8 bits (x 17) -> nearest 5/6 bits.
    std::vector<uint32_t> texels(8);
    for (uint32_t i = 0; i < 8; ++i)
        texels[i] = 0xF000u | (i * 2) << 8 | (15 - i * 2) << 4 | i;
    IDirect3DTexture9* tex = MakeTexture(8, 1, texels, D3DFMT_A4R4G4B4);
    ASSERT_NE(tex, nullptr);
    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    std::vector<Vertex> v;
    Quad(v, 0, 0, 8, 1, 8, 1, 0.5f, 0xFFFFFFFFu);
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (uint32_t i = 0; i < 8; ++i) {
        uint32_t r8 = (i * 2) * 17, g8 = (15 - i * 2) * 17, b8 = i * 17;
        uint32_t want = ((r8 * 31 + 127) / 255) << 11 | ((g8 * 63 + 127) / 255) << 5 | ((b8 * 31 + 127) / 255);
        EXPECT_EQ(px[i], want) << i;
    }
    device->SetTexture(0, nullptr);
    tex->Release();
}

// Triangles with a NaN or infinite coordinate are skipped; the rest of the batch draws.
TEST_F(RasterTest, NonFiniteTrianglesAreSkipped)
{
    MakeDevice(16, 16);
    Use2DStates();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    const float nan = std::nanf(""), inf = INFINITY;
    std::vector<Vertex> v;
    const float bad[] = {nan, inf, -inf};
    for (float b : bad) {
        v.insert(v.end(), {Vertex{b, 0, 0.5f, 1, 0xFFFF0000u, 0, 0}, Vertex{16, 0, 0.5f, 1, 0xFFFF0000u, 0, 0},
                           Vertex{0, 16, 0.5f, 1, 0xFFFF0000u, 0, 0}});
        v.insert(v.end(), {Vertex{0, 0, b, 1, 0xFFFF0000u, 0, 0}, Vertex{16, 0, 0.5f, 1, 0xFFFF0000u, 0, 0},
                           Vertex{0, 16, 0.5f, 1, 0xFFFF0000u, 0, 0}});
        v.insert(v.end(), {Vertex{0, 0, 0.5f, b, 0xFFFF0000u, 0, 0}, Vertex{16, 0, 0.5f, 1, 0xFFFF0000u, 0, 0},
                           Vertex{0, 16, 0.5f, 1, 0xFFFF0000u, 0, 0}});
        v.insert(v.end(), {Vertex{0, 0, 0.5f, 1, 0xFFFF0000u, b, 0}, Vertex{16, 0, 0.5f, 1, 0xFFFF0000u, 0, 0},
                           Vertex{0, 16, 0.5f, 1, 0xFFFF0000u, 0, 0}});
    }
    // Huge but finite coordinates are clipped, not skipped; this one covers nothing on screen.
    v.insert(v.end(), {Vertex{-1e30f, -1e30f, 0.5f, 1, 0xFFFF0000u, 0, 0}, Vertex{-1e30f, 1e30f, 0.5f, 1, 0xFFFF0000u, 0, 0},
                       Vertex{-1e29f, 0, 0.5f, 1, 0xFFFF0000u, 0, 0}});
    Quad(v, 4, 4, 4, 4, 1, 1, 0.5f, 0xFF00FF00u);
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 16; ++x) {
            bool inside = x >= 4 && x < 8 && y >= 4 && y < 8;
            ASSERT_EQ(px[y * 16 + x], inside ? 0xFF00FF00u : 0xFF000000u) << x << "," << y;
        }
}

// Geometry past the target's edges and past the guard band is clipped: what lands on the target
// keeps its texel mapping, and the viewport limits drawing.
TEST_F(RasterTest, ClippingAtTheEdges)
{
    MakeDevice(32, 24);
    Use2DStates();
    std::vector<uint32_t> texels = RandomTexels(64 * 64, 7);
    IDirect3DTexture9* tex = MakeTexture(64, 64, texels);
    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    std::vector<Vertex> v;
    Quad(v, -20, -30, 64, 64, 64, 64, 0.5f, 0xFFFFFFFFu);
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (UINT y = 0; y < 24; ++y)
        for (UINT x = 0; x < 32; ++x) {
            uint32_t tx = x + 20, ty = y + 30;
            uint32_t want = ty < 64 && tx < 64 ? (texels[ty * 64 + tx] | 0xFF000000u) : 0xFF000000u;
            ASSERT_EQ(px[y * 32 + x], want) << x << "," << y;
        }

    // One triangle far past the guard band on every side covers the whole target exactly once.
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    D3DVIEWPORT9 vp{4, 2, 20, 10, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    v = {Vertex{-1e6f, -1e6f, 0.5f, 1, 0x00202020u, 0, 0}, Vertex{3e6f, -1e6f, 0.5f, 1, 0x00202020u, 0, 0},
         Vertex{-1e6f, 3e6f, 0.5f, 1, 0x00202020u, 0, 0}};
    ASSERT_EQ(Draw(v), D3D_OK);
    px = ReadTarget();
    for (UINT y = 0; y < 24; ++y)
        for (UINT x = 0; x < 32; ++x) {
            bool inside = x >= 4 && x < 24 && y >= 2 && y < 12;
            ASSERT_EQ(px[y * 32 + x] & 0xFFFFFFu, inside ? 0x202020u : 0u) << x << "," << y;
        }
    tex->Release();
}

// Interpolation: u, v and colour are perspective-correct through rhw, colour rounds to nearest.
// The reference evaluates the same barycentric formula in double; a pixel may differ by one
// level where the value sits within float rounding of a half.
TEST_F(RasterTest, PerspectiveCorrectColour)
{
    MakeDevice(64, 64);
    Use2DStates();
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    Vertex a{2.25f, 1.5f, 0.5f, 1.0f, 0xFF0000FFu, 0, 0};
    Vertex b{61.0f, 5.0f, 0.5f, 0.25f, 0xFF00FF00u, 0, 0};
    Vertex c{9.0f, 62.5f, 0.5f, 0.5f, 0xFFFF0000u, 0, 0};
    std::vector<Vertex> v{a, b, c};
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    double det = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y);
    int checked = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            double l1 = ((x - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (y - a.y)) / det;
            double l2 = ((double(b.x) - a.x) * (y - a.y) - (x - a.x) * (double(b.y) - a.y)) / det;
            double l0 = 1 - l1 - l2;
            if (l0 < 0.01 || l1 < 0.01 || l2 < 0.01)
                continue; // stay clear of the edges
            double w = l0 * a.rhw + l1 * b.rhw + l2 * c.rhw;
            for (int k = 0; k < 3; ++k) {
                double val = (l0 * a.rhw * Ch(a.colour, k) + l1 * b.rhw * Ch(b.colour, k) +
                              l2 * c.rhw * Ch(c.colour, k)) / w;
                int got = static_cast<int>(Ch(px[y * 64 + x], k));
                ASSERT_LE(std::abs(got - static_cast<int>(RefRound(val))), 1) << x << "," << y << " ch " << k;
            }
            ++checked;
        }
    EXPECT_GT(checked, 1000);
}

// A scene of rotated, blended, gouraud and perspective sprites gives the same bytes on one
// raster thread as on several, with or without the vector loops and quad merging.
TEST_F(RasterTest, ThreadCountDoesNotChangeThePicture)
{
    MakeDevice(256, 200);
    Use2DStates();
    std::vector<uint32_t> texels = RandomTexels(32 * 32, 3);
    IDirect3DTexture9* tex = MakeTexture(32, 32, texels);
    device->SetTexture(0, tex);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 8);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    Rng rng(11);
    std::vector<Vertex> v, corners;
    std::vector<uint16_t> indices;
    for (int i = 0; i < 400; ++i) {
        float cx = rng.unit() * 300 - 20, cy = rng.unit() * 240 - 20, r = 4 + rng.unit() * 40, ang = rng.unit() * 6.3f;
        float z = rng.unit();
        Vertex q[4];
        // Every other sprite has one colour (merged into a quad when indexed, vector loop), the
        // rest per-corner colours; every third has a perspective rhw.
        uint32_t flat = rng.next() | (i % 4 == 1 ? 0xFF000000u : 0u);
        if (i % 10 == 5)
            flat = 0xFFFFFFFFu; // white: the texel passes through stage 0 unchanged
        for (int k = 0; k < 4; ++k) {
            float a = ang + k * 1.5707963f;
            q[k] = Vertex{cx + r * std::cos(a), cy + r * std::sin(a), z, (i % 3 == 0) ? 0.5f + 0.5f * (k & 1) : 1.0f,
                          i % 2 ? flat : rng.next(), static_cast<float>(k == 1 || k == 2), static_cast<float>(k >= 2)};
        }
        if (i % 5 == 0) // upright and aligned, so the vector loop copies whole rows of texels
            for (int k = 0; k < 4; ++k) {
                q[k].x = std::floor(cx) + (k == 1 || k == 2 ? 32 : 0) - 0.5f;
                q[k].y = std::floor(cy) + (k >= 2 ? 32 : 0) - 0.5f;
            }
        v.insert(v.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        const uint16_t base = static_cast<uint16_t>(corners.size());
        corners.insert(corners.end(), q, q + 4);
        indices.insert(indices.end(), {base, uint16_t(base + 1), uint16_t(base + 2), base, uint16_t(base + 2),
                                       uint16_t(base + 3)});
    }
    // As the sprite renderer submits them: four corners a sprite, indexed, one call (the two
    // triangles of a sprite share an edge and may be drawn as one quadrilateral).
    auto drawIndexed = [&] {
        return device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(corners.size()),
                                              static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                              corners.data(), sizeof(Vertex));
    };
    // Normal and additive alpha blending.
    for (DWORD destBlend : {D3DBLEND_INVSRCALPHA, D3DBLEND_ONE}) {
        SCOPED_TRACE(destBlend);
        device->SetRenderState(D3DRS_DESTBLEND, destBlend);
        // Triangles one by one: in one call and one call each (no vector loop sees a long span).
        std::vector<uint32_t> pictures[2];
        for (uint32_t threads : {1u, 2u}) {
            platctl_d3d9_set_raster_threads(threads);
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 1.0f, 0);
            ASSERT_EQ(Draw(v), D3D_OK);
            pictures[threads - 1] = ReadTarget();
        }
        EXPECT_TRUE(pictures[0] == pictures[1]);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 1.0f, 0);
        for (size_t i = 0; i < v.size(); i += 3)
            ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, &v[i], sizeof(Vertex)), D3D_OK);
        EXPECT_TRUE(ReadTarget() == pictures[0]);
        platctl_d3d9_use_vector_loops(0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 1.0f, 0);
        ASSERT_EQ(Draw(v), D3D_OK);
        EXPECT_TRUE(ReadTarget() == pictures[0]);
        platctl_d3d9_use_vector_loops(1);

        // Indexed, as sprites are drawn (quads, whole upright rectangles in one vector call).
        // Seven threads: more than some jobs have items for, so some threads sit jobs out.
        std::vector<uint32_t> merged[3];
        const uint32_t threadCounts[3] = {1, 2, 7};
        for (int k = 0; k < 3; ++k) {
            platctl_d3d9_set_raster_threads(threadCounts[k]);
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 1.0f, 0);
            ASSERT_EQ(drawIndexed(), D3D_OK);
            merged[k] = ReadTarget();
        }
        EXPECT_TRUE(merged[0] == merged[1]);
        EXPECT_TRUE(merged[0] == merged[2]);
        platctl_d3d9_use_vector_loops(0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 1.0f, 0);
        ASSERT_EQ(drawIndexed(), D3D_OK);
        EXPECT_TRUE(ReadTarget() == merged[0]);
        platctl_d3d9_use_vector_loops(1);
    }
    device->SetTexture(0, nullptr);
    tex->Release();
}

// A sprite's two triangles drawn indexed (as one quadrilateral where that draws the same) cover
// exactly the pixels they cover drawn one by one, at any angle and across every edge of the
// target, also where one of the two triangles lies wholly outside it. A uniform texture and one
// depth per sprite make every covered pixel's value independent of how it was interpolated, so
// the pictures must be identical; additive blending shows double or missed coverage.
TEST_F(RasterTest, MergedQuadsCoverWhatTheirTrianglesCover)
{
    MakeDevice(160, 120);
    Use2DStates();
    IDirect3DTexture9* tex = MakeTexture(16, 16, std::vector<uint32_t>(16 * 16, 0x80FFFFFFu));
    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Rng rng(5);
    std::vector<Vertex> corners, triangles;
    std::vector<uint16_t> indices;
    for (int i = 0; i < 300; ++i) {
        // Centres within a sprite's reach of the edges, so many sprites cross one.
        float cx = rng.unit() * 200 - 20, cy = rng.unit() * 160 - 20, r = 3 + rng.unit() * 25;
        float ang = rng.unit() * 6.2831853f, z = rng.unit();
        uint32_t colour = 0xFF000000u | (rng.next() & 0x3F3F3Fu);
        Vertex q[4];
        for (int k = 0; k < 4; ++k) {
            float a = ang + k * 1.5707963f;
            q[k] = Vertex{cx + r * std::cos(a), cy + r * std::sin(a), z, 1.0f, colour,
                          static_cast<float>(k == 1 || k == 2), static_cast<float>(k >= 2)};
        }
        const uint16_t base = static_cast<uint16_t>(corners.size());
        corners.insert(corners.end(), q, q + 4);
        indices.insert(indices.end(), {base, uint16_t(base + 1), uint16_t(base + 2), base, uint16_t(base + 2),
                                       uint16_t(base + 3)});
        triangles.insert(triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
    }
    for (uint32_t threads : {1u, 2u}) {
        platctl_d3d9_set_raster_threads(threads);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        ASSERT_EQ(Draw(triangles), D3D_OK);
        std::vector<uint32_t> separate = ReadTarget();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(corners.size()),
                                                 static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                                 corners.data(), sizeof(Vertex)),
                  D3D_OK);
        std::vector<uint32_t> merged = ReadTarget();
        size_t differing = 0;
        for (size_t k = 0; k < merged.size(); ++k)
            differing += merged[k] != separate[k];
        EXPECT_EQ(differing, 0u) << "threads " << threads;
    }
    device->SetTexture(0, nullptr);
    tex->Release();
}

// Clear keeps to the viewport and the rectangles given, also when it is big enough to be shared
// by the raster threads.
TEST_F(RasterTest, LargeClearKeepsToViewportAndRectangles)
{
    MakeDevice(640, 480);
    platctl_d3d9_set_raster_threads(2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    D3DVIEWPORT9 vp{10, 20, 600, 440, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00u, 1.0f, 0), D3D_OK);
    D3DRECT rects[2] = {{0, 0, 100, 100}, {300, 200, 700, 500}};
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (UINT y = 0; y < 480; ++y)
        for (UINT x = 0; x < 640; ++x) {
            bool inViewport = x >= 10 && x < 610 && y >= 20 && y < 460;
            bool inRect = (x < 100 && y < 100) || (x >= 300 && y >= 200);
            uint32_t want = !inViewport ? 0xFF000000u : inRect ? 0xFFFF0000u : 0xFF00FF00u;
            ASSERT_EQ(px[y * 640 + x], want) << x << "," << y;
        }
}

// Hostile geometry (huge, tiny, degenerate and non-finite coordinates, extreme texture
// coordinates and rhw) never writes outside the viewport and never misbehaves, on both inner
// loops, textured and not, with per-vertex and flat colours.
TEST_F(RasterTest, HostileGeometryStaysInsideTheViewport)
{
    MakeDevice(48, 40);
    Use2DStates();
    std::vector<uint32_t> texels = RandomTexels(16 * 16, 9);
    IDirect3DTexture9* tex = MakeTexture(16, 16, texels);
    D3DVIEWPORT9 vp{5, 7, 30, 20, 0.0f, 1.0f};
    const float extremes[] = {0.0f, 0.5f, -0.5f, 24.0f, 47.99f, -1e9f, 1e9f, 40000.0f, -40000.0f, 1e-30f,
                              3.4e38f, -3.4e38f, std::nanf(""), INFINITY};
    Rng rng(21);
    auto pick = [&](bool wide) {
        if (rng.next() % 3 == 0)
            return extremes[rng.next() % std::size(extremes)];
        return wide ? rng.unit() * 80.0f - 16.0f : rng.unit() * 4.0f - 2.0f;
    };
    for (int vector = 1; vector >= 0; --vector) {
        platctl_d3d9_use_vector_loops(vector);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF123456u, 1.0f, 0);
        ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
        device->SetTexture(0, (vector ? tex : nullptr));
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        std::vector<Vertex> v;
        for (int i = 0; i < 3000; ++i) {
            uint32_t colour = (i % 2) ? 0x80FF8040u : rng.next();
            for (int k = 0; k < 3; ++k)
                v.push_back(Vertex{pick(true), pick(true), rng.unit(), (i % 4 == 0) ? pick(false) : 1.0f,
                                   (i % 2) ? colour : rng.next(), pick(false) * 1000, pick(false)});
        }
        ASSERT_EQ(Draw(v), D3D_OK);
        std::vector<uint32_t> px = ReadTarget();
        for (UINT y = 0; y < 40; ++y)
            for (UINT x = 0; x < 48; ++x)
                if (x < 5 || x >= 35 || y < 7 || y >= 27) {
                    ASSERT_EQ(px[y * 48 + x], 0xFF123456u) << x << "," << y;
                }
    }
    platctl_d3d9_use_vector_loops(1);
    device->SetTexture(0, nullptr);
    tex->Release();
}

} // namespace
