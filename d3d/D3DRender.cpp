#include "D3DRender.h"

#include <algorithm>
#include <cmath>

namespace VEL {

bool CD3DRender::SetTexture(ID3DTexture* texture)
{
    textureBound_ = record_.Bind(texture, &lock_);
    return textureBound_;
}

bool CD3DRender::Initialize(uint32_t quads)
{
    VELAutoLock rootLock(record_.root->RootLock());
    VELAutoLock lock(&lock_);
    const uint32_t limit = std::min(record_.root->MaxPrimitiveCount() / 2, record_.root->MaxVertexIndex() / 6);
    if (quads == 0 || quads > limit)
        return false;
    primitiveCapacity_ = 2 * quads;
    vertexCount_ = primitiveCount_ = 0;
    vertices_.resize(size_t{4} * quads);
    if (record_.root->MaxVertexIndex() > 0xFFFF) {
        indexFormat_ = D3DFMT_INDEX32;
        indices16_ = {};
        indices32_.resize(size_t{6} * quads);
        for (uint32_t q = 0; q < quads; ++q) {
            uint32_t* i = &indices32_[size_t{6} * q];
            const uint32_t b = 4 * q;
            i[0] = b, i[1] = b + 1, i[2] = b + 3, i[3] = b, i[4] = b + 3, i[5] = b + 2;
        }
        indexData_ = indices32_.data();
    } else {
        indexFormat_ = D3DFMT_INDEX16;
        indices32_ = {};
        indices16_.resize(size_t{6} * quads);
        for (uint32_t q = 0; q < quads; ++q) {
            uint16_t* i = &indices16_[size_t{6} * q];
            const auto b = static_cast<uint16_t>(4 * q);
            i[0] = b, i[1] = static_cast<uint16_t>(b + 1), i[2] = static_cast<uint16_t>(b + 3), i[3] = b,
            i[4] = static_cast<uint16_t>(b + 3), i[5] = static_cast<uint16_t>(b + 2);
        }
        indexData_ = indices16_.data();
    }
    initialised_ = true;
    return true;
}

void CD3DRender::DrawQuad(const SpriteQuad* q, float angleX, float angleY, float angleZ, uint32_t depth)
{
    VELAutoLock rootLock(record_.root->RootLock());
    VELAutoLock lock(&lock_);
    if (!q || !textureBound_ || !initialised_ || primitiveCount_ >= primitiveCapacity_)
        return;
    CornerTransform t;
    // The sums wrap as 32-bit integers do.
    const auto sx = static_cast<int32_t>(static_cast<uint32_t>(q->x[0]) + static_cast<uint32_t>(q->x[1]) +
                                         static_cast<uint32_t>(q->x[2]) + static_cast<uint32_t>(q->x[3]));
    const auto sy = static_cast<int32_t>(static_cast<uint32_t>(q->y[0]) + static_cast<uint32_t>(q->y[1]) +
                                         static_cast<uint32_t>(q->y[2]) + static_cast<uint32_t>(q->y[3]));
    t.cx = static_cast<float>(0.25 * sx);
    t.cy = static_cast<float>(0.25 * sy);
    float dx[4], dy[4], extent = 0.0f;
    for (int k = 0; k < 4; ++k) {
        dx[k] = static_cast<float>(q->x[k]) - t.cx;
        dy[k] = static_cast<float>(q->y[k]) - t.cy;
        extent = std::max({extent, std::fabs(dx[k]), std::fabs(dy[k])});
    }
    // A quad of extent 0 gives non-finite positions; the device skips such triangles.
    t.d = static_cast<float>(extent * kPerspectivePi);
    d3d::RotationMatrix(t.m, angleX, angleY, angleZ);
    ScreenVertex* out = &vertices_[vertexCount_];
    for (int k = 0; k < 4; ++k)
        out[k] = t.Apply(record_, dx[k], dy[k], depth, q->depth[k], q->rhw[k], q->colour[k], q->u[k], q->v[k]);
    primitiveCount_ += 2;
    vertexCount_ += 4;
}

void CD3DRender::RemoveLastQuad()
{
    if (primitiveCount_ > 0) {
        primitiveCount_ -= 2;
        vertexCount_ -= 4;
    }
}

void CD3DRender::ClearQuads()
{
    primitiveCount_ = vertexCount_ = 0;
}

void CD3DRender::Flush()
{
    VELAutoLock rootLock(record_.root->RootLock());
    if (!textureBound_ || !record_.texture)
        return;
    const bool idle = record_.WaitTextureIdle();
    CD3DTexture* texture = record_.texture;
    VELAutoLock textureLock(texture->TextureLock());
    VELAutoLock lock(&lock_);
    if (!idle || !texture->IsValid() || !initialised_ || primitiveCount_ == 0)
        return; // kept for a later flush
    record_.root->ApplyDrawMode(record_.mode);
    IDirect3DDevice9* device = record_.root->Device();
    if (!device)
        return;
    device->SetTexture(0, texture->Texture());
    device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, vertexCount_, primitiveCount_, indexData_, indexFormat_,
                                   vertices_.data(), sizeof(ScreenVertex));
    vertexCount_ = primitiveCount_ = 0;
}

} // namespace VEL
