// Every blend factor pair of the graphics module's eight blend types, under its three colour
// modes, against a reference computed here in double precision from the documented rules:
// stage modulate round(a * b / 255), stage add min(255, a + b), blend
// min(255, round((src * Fsrc + dst * Fdst) / 255)), alpha test GREATEREQUAL 8.
#include "D3D9Fixture.h"

#include <iterator>

using namespace d3d9test;

namespace {

struct BlendPair {
    DWORD src, dst;
};
// Blend types 0-7 of the graphics module, then pairs that use the remaining factors.
const BlendPair kBlendTypes[] = {
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},     {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},
    {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},    {D3DBLEND_DESTCOLOR, D3DBLEND_ONE},
    {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},      {D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE},
    {D3DBLEND_SRCCOLOR, D3DBLEND_INVDESTALPHA}, {D3DBLEND_DESTALPHA, D3DBLEND_INVSRCCOLOR},
    {D3DBLEND_INVDESTALPHA, D3DBLEND_SRCCOLOR},
};

double Factor(DWORD f, uint32_t src, uint32_t dst, int k)
{
    switch (f) {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_ONE:
        return 255;
    case D3DBLEND_SRCCOLOR:
        return Ch(src, k);
    case D3DBLEND_INVSRCCOLOR:
        return 255 - Ch(src, k);
    case D3DBLEND_SRCALPHA:
        return Ch(src, 3);
    case D3DBLEND_INVSRCALPHA:
        return 255 - Ch(src, 3);
    case D3DBLEND_DESTALPHA:
        return Ch(dst, 3);
    case D3DBLEND_INVDESTALPHA:
        return 255 - Ch(dst, 3);
    case D3DBLEND_DESTCOLOR:
        return Ch(dst, k);
    case D3DBLEND_INVDESTCOLOR:
        return 255 - Ch(dst, k);
    }
    return 0;
}

uint32_t RefStage(int mode, uint32_t texel, uint32_t diffuse)
{
    uint32_t out = RefRound(Ch(texel, 3) * double(Ch(diffuse, 3)) / 255.0) << 24;
    for (int k = 0; k < 3; ++k) {
        uint32_t t = Ch(texel, k), d = Ch(diffuse, k);
        uint32_t c = mode == 0 ? RefRound(t * double(d) / 255.0) : mode == 1 ? std::min(255u, t + d) : d;
        out |= c << (8 * k);
    }
    return out;
}

uint32_t RefBlend(const BlendPair& b, uint32_t src, uint32_t dst)
{
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k)
        out |= RefRound((Ch(src, k) * Factor(b.src, src, dst, k) + Ch(dst, k) * Factor(b.dst, src, dst, k)) / 255.0)
               << (8 * k);
    return out;
}

class BlendTest : public DeviceTest, public ::testing::WithParamInterface<D3DFORMAT> {};

TEST_P(BlendTest, EveryBlendTypeAndColourModeMatchesTheReference)
{
    const D3DFORMAT format = GetParam();
    const UINT n = 32;
    MakeDevice(n, n, format);
    Use2DStates();
    Rng rng(5);
    std::vector<uint32_t> background(n * n), source(n * n);
    for (uint32_t& c : background)
        c = rng.next();
    for (uint32_t& c : source)
        c = rng.next();
    for (uint32_t i = 0; i < n; ++i) // a few exact extremes: alpha 0, 7, 8, 255, colours 0 and 255
        source[i] = (i % 4 == 0 ? 0u : i % 4 == 1 ? 7u : i % 4 == 2 ? 8u : 255u) << 24 | (i % 2 ? 0xFFFFFFu : 0u);
    IDirect3DTexture9* bg = MakeTexture(n, n, background);
    IDirect3DTexture9* src = MakeTexture(n, n, source);

    // Both inner loops (vector and scalar) against the same reference.
    for (int vector = 1; vector >= 0; --vector)
    for (int mode = 0; mode < 3; ++mode)
        for (int type = 0; type < static_cast<int>(std::size(kBlendTypes)); ++type) {
            const uint32_t diffuse = rng.next() | (type % 2 ? 0xFF000000u : 0u);
            platctl_d3d9_use_vector_loops(vector);
            // The background, copied as is (alpha too, where the target keeps it).
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
            device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            device->SetTexture(0, bg);
            std::vector<Vertex> v;
            Quad(v, 0, 0, n, n, n, n, 0.5f, 0xFFFFFFFFu);
            ASSERT_EQ(Draw(v), D3D_OK);
            std::vector<uint32_t> before = ReadTarget();

            // The draw mode as the graphics module applies it.
            device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
            device->SetRenderState(D3DRS_ALPHAREF, 8);
            device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
            device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            device->SetTextureStageState(0, D3DTSS_COLORARG1, mode == 2 ? D3DTA_DIFFUSE : D3DTA_TEXTURE);
            device->SetTextureStageState(0, D3DTSS_COLOROP,
                                         mode == 0 ? D3DTOP_MODULATE : mode == 1 ? D3DTOP_ADD : D3DTOP_SELECTARG1);
            device->SetRenderState(D3DRS_SRCBLEND, kBlendTypes[type].src);
            device->SetRenderState(D3DRS_DESTBLEND, kBlendTypes[type].dst);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            device->SetTexture(0, src);
            v.clear();
            Quad(v, 0, 0, n, n, n, n, 0.5f, diffuse);
            ASSERT_EQ(Draw(v), D3D_OK);
            std::vector<uint32_t> after = ReadTarget();

            for (UINT i = 0; i < n * n; ++i) {
                uint32_t dst = format == D3DFMT_X8R8G8B8 ? before[i] | 0xFF000000u : before[i];
                uint32_t s = RefStage(mode, source[i], diffuse);
                uint32_t want = (s >> 24) >= 8 ? RefBlend(kBlendTypes[type], s, dst) : dst;
                if (format == D3DFMT_X8R8G8B8)
                    want |= 0xFF000000u;
                ASSERT_EQ(after[i], want) << "vector " << vector << " mode " << mode << " type " << type << " pixel " << i << " src "
                                          << std::hex << s << " dst " << dst;
            }
        }
    platctl_d3d9_use_vector_loops(1);
    device->SetTexture(0, nullptr);
    bg->Release();
    src->Release();
}

INSTANTIATE_TEST_SUITE_P(Targets, BlendTest, ::testing::Values(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8));

} // namespace
