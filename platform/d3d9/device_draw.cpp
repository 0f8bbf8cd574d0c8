// Drawing: vertex fetch from FVF layouts, primitive assembly, state capture, and the hand-off
// to triangle setup and the rasterizer. Runs on the calling thread with the device mutex held.
//
// LIMITATIONS: only pre-transformed vertices (D3DFVF_XYZRHW) are drawn (no transform and
// lighting, no vertex shaders); point and line primitives are accepted and draw nothing; one
// texture stage and one vertex stream; texture filtering is always point sampling.
#include "device.h"

#include "runtime.h"

#include <algorithm>
#include <cstring>

namespace plat::d3d9 {
namespace {

// How a vertex of an FVF layout is read.
struct FvfLayout {
    uint32_t size = 0;
    int32_t diffuse = -1;
    int32_t tex0 = -1;
    bool pretransformed = false;
};

FvfLayout fvf_layout(DWORD fvf)
{
    FvfLayout l;
    uint32_t offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZRHW:
        offset = 16;
        l.pretransformed = true;
        break;
    case D3DFVF_XYZ:
        offset = 12;
        break;
    default:
        return l; // blended positions and others: not readable here
    }
    if (fvf & D3DFVF_NORMAL)
        offset += 12;
    if (fvf & D3DFVF_PSIZE)
        offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = static_cast<int32_t>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR)
        offset += 4;
    uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8)
        return FvfLayout{};
    for (uint32_t i = 0; i < sets; ++i) {
        // Coordinate size code in bits 16 + 2i: 0 two floats, 1 three, 2 four, 3 one.
        uint32_t code = (fvf >> (16 + 2 * i)) & 3u;
        static const uint32_t floats[4] = {2, 3, 4, 1};
        if (i == 0)
            l.tex0 = static_cast<int32_t>(offset);
        offset += 4 * floats[code];
    }
    l.size = offset;
    return l;
}

ScreenVertex read_vertex(const uint8_t* p, const FvfLayout& l)
{
    ScreenVertex v;
    std::memcpy(&v.x, p, 16);
    v.diffuse = 0xFFFFFFFFu;
    if (l.diffuse >= 0)
        std::memcpy(&v.diffuse, p + l.diffuse, 4);
    v.u = v.v = 0.0f;
    if (l.tex0 >= 0) {
        std::memcpy(&v.u, p + l.tex0, 4);
        std::memcpy(&v.v, p + l.tex0 + 4, 4);
    }
    return v;
}

uint32_t vertex_count(D3DPRIMITIVETYPE type, UINT primitives)
{
    switch (type) {
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
    case D3DPT_LINESTRIP:
        return primitives + (type == D3DPT_LINESTRIP ? 1 : 2);
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_POINTLIST:
        return primitives;
    default:
        return 0;
    }
}


} // namespace

bool Device::capture_state(PixelState& s)
{
    if (!renderTarget_)
        return false;
    PixelStore& rt = renderTarget_->store();
    s.colour = rt.bytes.get();
    s.colourPitch = rt.pitch;
    s.colourFormat = rt.format;
    int64_t x1 = std::min<int64_t>(int64_t{viewport_.X} + viewport_.Width, rt.width);
    int64_t y1 = std::min<int64_t>(int64_t{viewport_.Y} + viewport_.Height, rt.height);
    s.depth = nullptr;
    const DWORD* rs = renderStates_;
    if (depthStencil_ && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        PixelStore& ds = depthStencil_->store();
        s.depth = reinterpret_cast<uint16_t*>(ds.bytes.get());
        s.depthPitch = ds.pitch / 2;
        // A depth buffer smaller than the target limits drawing to its area.
        x1 = std::min<int64_t>(x1, ds.width);
        y1 = std::min<int64_t>(y1, ds.height);
    }
    s.clip = {static_cast<int32_t>(viewport_.X), static_cast<int32_t>(viewport_.Y), static_cast<int32_t>(x1),
              static_cast<int32_t>(y1)};
    if (s.clip.x0 >= s.clip.x1 || s.clip.y0 >= s.clip.y1)
        return false;
    s.zTest = s.depth != nullptr;
    s.zWrite = rs[D3DRS_ZWRITEENABLE] != 0;
    s.zFunc = rs[D3DRS_ZFUNC];
    s.alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
    s.alphaFunc = rs[D3DRS_ALPHAFUNC];
    s.alphaRef = rs[D3DRS_ALPHAREF] & 0xFFu;
    s.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    s.srcBlend = rs[D3DRS_SRCBLEND];
    s.dstBlend = rs[D3DRS_DESTBLEND];
    s.blendOp = rs[D3DRS_BLENDOP];
    s.writeMask = rs[D3DRS_COLORWRITEENABLE] & 0xFu;
    s.textureFactor = rs[D3DRS_TEXTUREFACTOR];
    s.cull = rs[D3DRS_CULLMODE];
    s.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    const DWORD* ts = stageStates_[0];
    s.colourOp = ts[D3DTSS_COLOROP];
    s.colourArg1 = ts[D3DTSS_COLORARG1];
    s.colourArg2 = ts[D3DTSS_COLORARG2];
    s.alphaOp = ts[D3DTSS_ALPHAOP];
    s.alphaArg1 = ts[D3DTSS_ALPHAARG1];
    s.alphaArg2 = ts[D3DTSS_ALPHAARG2];
    s.textured = false;
    if (Texture* t = textures_[0]) {
        Surface* level = t->level(0);
        if (level && !level->locked()) {
            s.texture.texels = level->sample_view(&s.texture.pitch);
            s.texture.width = level->store().width;
            s.texture.height = level->store().height;
            s.texture.addressU = samplerStates_[0][D3DSAMP_ADDRESSU];
            s.texture.addressV = samplerStates_[0][D3DSAMP_ADDRESSV];
            s.textured = true;
        }
    }
    return true;
}

HRESULT Device::draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, size_t vertexBytes,
                     UINT stride, const void* indices, D3DFORMAT indexFormat, UINT minIndex, UINT numVertices)
{
    FvfLayout layout = fvf_layout(fvf_);
    if (!layout.pretransformed || stride < layout.size || layout.size == 0)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0 || primitiveCount > maxPrimitiveCount_)
        return D3DERR_INVALIDCALL;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN)
        return D3DERR_INVALIDCALL;
    if (loss_.load() != Operational)
        return D3D_OK; // a lost device throws drawing away
    if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN)
        return D3D_OK;
    PixelState state;
    if (!capture_state(state))
        return D3D_OK;

    // Vertices readable from `vertices`: indices outside [0, available) make their triangle
    // disappear instead of reading past the caller's memory.
    const size_t available = vertexBytes / stride;
    fetched_.resize(std::min<size_t>(available, indices ? size_t{minIndex} + numVertices : available));
    // Only the range a draw may touch is fetched.
    size_t first = indices ? minIndex : 0;
    for (size_t i = first; i < fetched_.size(); ++i)
        fetched_[i] = read_vertex(vertices + i * stride, layout);

    auto index_at = [&](uint32_t i) -> uint32_t {
        if (!indices)
            return i;
        return indexFormat == D3DFMT_INDEX16 ? static_cast<const uint16_t*>(indices)[i]
                                             : static_cast<const uint32_t*>(indices)[i];
    };
    auto valid = [&](uint32_t v) { return v >= first && v < fetched_.size() && v <= maxVertexIndex_; };

    auto corners = [&](uint32_t p, uint32_t v[3]) {
        if (type == D3DPT_TRIANGLELIST) {
            v[0] = index_at(3 * p);
            v[1] = index_at(3 * p + 1);
            v[2] = index_at(3 * p + 2);
        } else if (type == D3DPT_TRIANGLESTRIP) {
            // Odd triangles swap their first two vertices to keep the strip's winding.
            v[0] = index_at(p + (p & 1));
            v[1] = index_at(p + 1 - (p & 1));
            v[2] = index_at(p + 2);
        } else {
            v[0] = index_at(0);
            v[1] = index_at(p + 1);
            v[2] = index_at(p + 2);
        }
        return valid(v[0]) && valid(v[1]) && valid(v[2]);
    };

    // Primitives are set up in fixed blocks (in parallel when there are many), a quad never
    // straddles two blocks, and the blocks' triangles are shaded in primitive order: the same
    // triangles in the same order whatever the thread count.
    auto setup_block = [&](uint32_t begin, uint32_t end, std::vector<TriSetup>& out) {
        out.clear();
        for (uint32_t p = begin; p < end; ++p) {
            uint32_t t1[3];
            if (!corners(p, t1))
                continue;
            // Two consecutive triangles sharing an edge (a sprite's quad) are set up as one
            // quadrilateral when that draws the same pixels with the same values.
            uint32_t t2[3];
            if (p + 1 < end && corners(p + 1, t2)) {
                int shared = 0, own1 = -1, own2 = -1;
                for (int i = 0; i < 3; ++i) {
                    bool in2 = t1[i] == t2[0] || t1[i] == t2[1] || t1[i] == t2[2];
                    shared += in2;
                    if (!in2)
                        own1 = i;
                    if (t2[i] != t1[0] && t2[i] != t1[1] && t2[i] != t1[2])
                        own2 = i;
                }
                if (shared == 2 && own1 >= 0 && own2 >= 0) {
                    uint32_t o1 = t1[own1], s1 = t1[(own1 + 1) % 3], s2 = t1[(own1 + 2) % 3], o2 = t2[own2];
                    if (setup_quad(fetched_[s1], fetched_[o2], fetched_[s2], fetched_[o1], state, out)) {
                        ++p;
                        continue;
                    }
                }
            }
            setup_triangle(fetched_[t1[0]], fetched_[t1[1]], fetched_[t1[2]], state, out);
        }
    };
    constexpr uint32_t kBlock = 512;      // primitives per set-up block (even: quads stay whole)
    constexpr uint32_t kBlocksPerPass = 32; // blocks set up, then shaded, together
    blocks_.resize(kBlocksPerPass);
    for (uint32_t base = 0; base < primitiveCount; base += kBlock * kBlocksPerPass) {
        uint32_t passEnd = static_cast<uint32_t>(std::min<uint64_t>(primitiveCount, uint64_t{base} + kBlock * kBlocksPerPass));
        uint32_t blocks = (passEnd - base + kBlock - 1) / kBlock;
        uint32_t threads = std::min(rasterizer_.threads_for(passEnd - base, 2 * kBlock), blocks);
        rasterizer_.parallel_items(threads, blocks, [&](uint32_t b) {
            setup_block(base + b * kBlock, std::min(passEnd, base + (b + 1) * kBlock), blocks_[b].triangles);
        });
        order_.clear();
        for (uint32_t b = 0; b < blocks; ++b)
            for (const TriSetup& t : blocks_[b].triangles)
                order_.push_back(&t);
        rasterizer_.draw(state, order_);
    }
    renderTarget_->contents_changed();
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    std::lock_guard lock(mutex_);
    if (!stream_ || streamStride_ == 0)
        return D3DERR_INVALIDCALL;
    uint64_t count = vertex_count(type, primitiveCount);
    uint64_t begin = uint64_t{streamOffset_} + uint64_t{startVertex} * streamStride_;
    uint64_t end = begin + count * streamStride_;
    if (count == 0 || end > stream_->length())
        return D3DERR_INVALIDCALL;
    return draw(type, primitiveCount, stream_->data() + begin, static_cast<size_t>(end - begin), streamStride_, nullptr,
                D3DFMT_INDEX16, 0, 0);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride)
{
    std::lock_guard lock(mutex_);
    if (!vertexData || stride == 0)
        return D3DERR_INVALIDCALL;
    uint64_t count = vertex_count(type, primitiveCount);
    if (count == 0)
        return D3DERR_INVALIDCALL;
    HRESULT hr = draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), static_cast<size_t>(count * stride),
                      stride, nullptr, D3DFMT_INDEX16, 0, 0);
    // A user-pointer draw leaves stream 0 unset, as Direct3D 9 does.
    SetStreamSource(0, nullptr, 0, 0);
    return hr;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                       UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertexData, UINT stride)
{
    std::lock_guard lock(mutex_);
    if (!vertexData || !indexData || stride == 0 || numVertices == 0 ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    if (vertex_count(type, primitiveCount) == 0)
        return D3DERR_INVALIDCALL;
    uint64_t end = uint64_t{minVertexIndex} + numVertices;
    HRESULT hr = draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), static_cast<size_t>(end * stride),
                      stride, indexData, indexFormat, minVertexIndex, numVertices);
    SetStreamSource(0, nullptr, 0, 0);
    return hr;
}

} // namespace plat::d3d9
