// D3DTriangleRender.h - CD3DTriangleRender: an unbounded triangle list drawn with one call per
// Flush, which always empties it.
#pragma once

#include "DrawRecord.h"
#include "ID3DTriangleRender.h"

#include <vector>

namespace VEL {

class CD3DTriangleRender final : public TVELObject<ID3DTriangleRender> {
public:
    explicit CD3DTriangleRender(CVELD3D* root) : record_(root) {}
    ~CD3DTriangleRender() override = default;

    ID3DTexture* GetTexture() override { return record_.texture; }
    bool SetTexture(ID3DTexture* texture) override { return record_.Bind(texture, &lock_); }
    void GetDrawMode(int32_t* colourMode, bool* blend, int32_t* blendType) override
    {
        record_.GetMode(colourMode, blend, blendType);
    }
    void SetDrawMode(int32_t colourMode, bool blend, int32_t blendType) override
    {
        record_.SetMode(colourMode, blend, blendType);
    }
    void DrawTriangle(const TriangleCorners* triangle, float offsetX, float offsetY, float angleX, float angleY,
                      float angleZ, uint32_t depth) override;
    void Flush() override;

private:
    DrawRecord record_;
    std::vector<ScreenVertex> vertices_; // 3 per queued triangle
    CCriticalSection lock_;
};

} // namespace VEL
