#include "D3DTriangleRender.h"

#include <algorithm>
#include <cmath>

namespace VEL {

void CD3DTriangleRender::DrawTriangle(const TriangleCorners* tri, float offsetX, float offsetY, float angleX,
                                      float angleY, float angleZ, uint32_t depth)
{
    VELAutoLock rootLock(record_.root->RootLock());
    VELAutoLock lock(&lock_);
    if (!tri)
        return;
    // The sums wrap as 32-bit integers do; the division is in floating point.
    const auto sx = static_cast<int32_t>(static_cast<uint32_t>(tri->x[0]) + static_cast<uint32_t>(tri->x[1]) +
                                         static_cast<uint32_t>(tri->x[2]));
    const auto sy = static_cast<int32_t>(static_cast<uint32_t>(tri->y[0]) + static_cast<uint32_t>(tri->y[1]) +
                                         static_cast<uint32_t>(tri->y[2]));
    CornerTransform t;
    t.cx = static_cast<float>(sx / 3.0 + offsetX);
    t.cy = static_cast<float>(sy / 3.0 + offsetY);
    float dx[3], dy[3], extent = 0.0f;
    for (int k = 0; k < 3; ++k) {
        dx[k] = static_cast<float>(tri->x[k]) - t.cx;
        dy[k] = static_cast<float>(tri->y[k]) - t.cy;
        extent = std::max({extent, std::fabs(dx[k]), std::fabs(dy[k])});
    }
    // Extent 0 gives non-finite positions, passed on: the device skips such triangles.
    t.d = static_cast<float>(extent * kPerspectivePi);
    d3d::RotationMatrix(t.m, angleX, angleY, angleZ);
    vertices_.reserve(vertices_.size() + 3);
    for (int k = 0; k < 3; ++k)
        vertices_.push_back(t.Apply(record_, dx[k], dy[k], depth, tri->depth[k], tri->rhw[k], tri->colour[k],
                                    tri->u[k], tri->v[k]));
}

void CD3DTriangleRender::Flush()
{
    VELAutoLock rootLock(record_.root->RootLock());
    if (CD3DTexture* texture = record_.texture) {
        const bool idle = record_.WaitTextureIdle();
        VELAutoLock textureLock(texture->TextureLock());
        VELAutoLock lock(&lock_);
        if (idle && texture->IsValid() && !vertices_.empty()) {
            record_.root->ApplyDrawMode(record_.mode);
            IDirect3DDevice9* device = record_.root->Device();
            if (!device)
                return; // the list is kept
            device->SetTexture(0, texture->Texture());
            // The device bounds one call; a longer list goes in several.
            const uint32_t limit = std::max<uint32_t>(record_.root->MaxPrimitiveCount(), 1);
            const size_t triangles = vertices_.size() / 3;
            for (size_t first = 0; first < triangles; first += limit) {
                const auto count = static_cast<UINT>(std::min<size_t>(limit, triangles - first));
                device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count, &vertices_[first * 3], sizeof(ScreenVertex));
            }
        }
    }
    VELAutoLock lock(&lock_);
    vertices_.clear();
}

} // namespace VEL
