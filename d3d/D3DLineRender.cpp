#include "D3DLineRender.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace VEL {

CD3DLineRender::CD3DLineRender(CVELD3D* root) : record_(root)
{
    root->Register(this);
}

CD3DLineRender::~CD3DLineRender()
{
    record_.root->Unregister(this);
    if (vertexBuffer_)
        vertexBuffer_->Release();
}

bool CD3DLineRender::SetTexture(ID3DTexture* texture)
{
    textureBound_ = record_.Bind(texture, &lock_);
    return textureBound_;
}

bool CD3DLineRender::Initialize(uint32_t points)
{
    VELAutoLock rootLock(record_.root->RootLock());
    VELAutoLock lock(&lock_);
    if (points < 2 || points > record_.root->MaxPrimitiveCount() / 2)
        return false;
    vertexCapacity_ = 2 * points;
    return OnResetDevice();
}

bool CD3DLineRender::OnResetDevice()
{
    VELAutoLock lock(&lock_);
    IDirect3DDevice9* device = record_.root->Device();
    if (!device)
        return false;
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (vertexCapacity_ == 0 ||
        FAILED(device->CreateVertexBuffer(vertexCapacity_ * static_cast<UINT>(sizeof(ScreenVertex)),
                                          D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                          D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_DEFAULT, &buffer,
                                          nullptr)))
        buffer = nullptr;
    if (IDirect3DVertexBuffer9* old = std::exchange(vertexBuffer_, buffer))
        old->Release();
    return true;
}

void CD3DLineRender::OnLostDevice()
{
    VELAutoLock lock(&lock_);
    if (IDirect3DVertexBuffer9* old = std::exchange(vertexBuffer_, nullptr))
        old->Release();
}

void CD3DLineRender::PushFront(const LinePoint* p)
{
    if (p && (points_.empty() || !Same(*p, points_.front())))
        points_.push_front(*p);
}

void CD3DLineRender::PushBack(const LinePoint* p)
{
    if (p && (points_.empty() || !Same(*p, points_.back())))
        points_.push_back(*p);
}

void CD3DLineRender::Insert(uint32_t index, const LinePoint* p)
{
    if (!p)
        return;
    if (index >= points_.size()) {
        PushBack(p);
        return;
    }
    if (Same(*p, points_[index]) || (index > 0 && Same(*p, points_[index - 1])))
        return;
    points_.insert(points_.begin() + index, *p);
}

void CD3DLineRender::PopFront()
{
    if (!points_.empty())
        points_.pop_front();
}

void CD3DLineRender::PopBack()
{
    if (!points_.empty())
        points_.pop_back();
}

void CD3DLineRender::Erase(uint32_t index)
{
    if (index >= points_.size())
        return;
    points_.erase(points_.begin() + index);
    // Drop every point equal to the one after it, so no two equal points stay neighbours.
    for (size_t i = 0; i + 1 < points_.size();) {
        if (Same(points_[i], points_[i + 1]))
            points_.erase(points_.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

LinePoint* CD3DLineRender::GetPoint(uint32_t index)
{
    if (points_.empty())
        return nullptr;
    return index < points_.size() ? &points_[index] : &points_.front();
}

void CD3DLineRender::ClearPoints()
{
    std::deque<LinePoint>().swap(points_);
}

void CD3DLineRender::DrawStrip(IDirect3DDevice9* device, uint32_t points)
{
    record_.root->ApplyDrawMode(record_.mode);
    device->SetStreamSource(0, vertexBuffer_, 0, sizeof(ScreenVertex));
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2 * points - 2);
}

void CD3DLineRender::Flush()
{
    VELAutoLock rootLock(record_.root->RootLock());
    if (points_.size() < 2 || !vertexBuffer_)
        return;
    // The buffer holds the first `capacity` points; a longer list is drawn up to there.
    const auto count = static_cast<uint32_t>(std::min<size_t>(points_.size(), vertexCapacity_ / 2));
    {
        VELAutoLock lock(&lock_);
        void* data = nullptr;
        if (SUCCEEDED(vertexBuffer_->Lock(0, 0, &data, 0)) && data) {
            auto* v = static_cast<ScreenVertex*>(data);
            float dx = 0.0f, dy = 0.0f;
            for (uint32_t i = 0; i < count; ++i) {
                const LinePoint& p = points_[i];
                if (i + 1 < count) {
                    dx = static_cast<float>(p.x - points_[i + 1].x);
                    dy = static_cast<float>(p.y - points_[i + 1].y);
                }
                const float len = static_cast<float>(std::sqrt(dx * dx + dy * dy));
                const float hx = dy / len * width_ * 0.5f;
                const float hy = dx / len * width_ * 0.5f;
                const float z = static_cast<float>(p.depth) / 65535.0f * 0.1f + 0.4f;
                const auto x = static_cast<float>(p.x), y = static_cast<float>(p.y);
                v[2 * i] = ScreenVertex{x + hx, y - hy, z, 1.0f, p.colour1, 0.0f, 0.0f};
                v[2 * i + 1] = ScreenVertex{x - hx, y + hy, z, 1.0f, p.colour2, 0.0f, 0.0f};
            }
            vertexBuffer_->Unlock();
        }
    }
    if (CD3DTexture* texture = record_.texture) {
        const bool idle = record_.WaitTextureIdle();
        VELAutoLock textureLock(texture->TextureLock());
        VELAutoLock lock(&lock_);
        if (!idle || !texture->IsValid() || !vertexBuffer_)
            return;
        IDirect3DDevice9* device = record_.root->Device();
        if (!device)
            return;
        device->SetTexture(0, texture->Texture());
        DrawStrip(device, count);
    } else {
        VELAutoLock lock(&lock_);
        IDirect3DDevice9* device = record_.root->Device();
        if (!vertexBuffer_ || !device)
            return;
        device->SetTexture(0, nullptr);
        DrawStrip(device, count);
    }
}

} // namespace VEL
