// D3DLineRender.h - CD3DLineRender: one persistent thick polyline, rebuilt into a dynamic vertex
// buffer (default pool, so it registers with the root) and drawn as a strip at each Flush.
#pragma once

#include "DrawRecord.h"
#include "ID3DLineRender.h"

#include <deque>

namespace VEL {

class CD3DLineRender final : public TVELObject<ID3DLineRender>, public ILostable {
public:
    explicit CD3DLineRender(CVELD3D* root);
    ~CD3DLineRender() override;
    // The slot after the destructor: declared first so that no other addition comes between.
    virtual void Reserved2(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}

    ID3DTexture* GetTexture() override { return record_.texture; }
    bool SetTexture(ID3DTexture* texture) override;
    uint32_t GetCapacity() override { return vertexCapacity_ / 2; }
    bool Initialize(uint32_t points) override;
    void GetDrawMode(int32_t* colourMode, bool* blend, int32_t* blendType) override
    {
        record_.GetMode(colourMode, blend, blendType);
    }
    void SetDrawMode(int32_t colourMode, bool blend, int32_t blendType) override
    {
        record_.SetMode(colourMode, blend, blendType);
    }
    void Flush() override;
    void PushFront(const LinePoint* point) override;
    void PushBack(const LinePoint* point) override;
    void Insert(uint32_t index, const LinePoint* point) override;
    void PopFront() override;
    void PopBack() override;
    void Erase(uint32_t index) override;
    LinePoint* GetPoint(uint32_t index) override;
    uint32_t GetPointCount() override { return static_cast<uint32_t>(points_.size()); }
    void Reserved1(uint32_t, uint32_t, uint32_t) override {}
    void ClearPoints() override;
    void SetLineWidth(float width) override { width_ = width; }
    float GetLineWidth() override { return width_; }

    void OnLostDevice() override;
    bool OnResetDevice() override;
    int32_t GetLostableKind() override { return LOSTABLE_LINE_RENDER; }

private:
    static bool Same(const LinePoint& a, const LinePoint& b) { return a.x == b.x && a.y == b.y; }
    void DrawStrip(IDirect3DDevice9* device, uint32_t points);

    DrawRecord record_;
    bool textureBound_ = false;
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr; // counted
    uint32_t vertexCapacity_ = 0;
    CCriticalSection lock_;
    std::deque<LinePoint> points_;
    float width_ = 0.0f;
};

} // namespace VEL
