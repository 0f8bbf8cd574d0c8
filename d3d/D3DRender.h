// D3DRender.h - CD3DRender, the sprite renderer: a fixed-capacity quad queue drawn with one
// indexed call per Flush. Vertices and indices stay in ordinary memory (nothing to lose).
#pragma once

#include "DrawRecord.h"
#include "ID3DRender.h"

#include <vector>

namespace VEL {

class CD3DRender final : public TVELObject<ID3DRender> {
public:
    explicit CD3DRender(CVELD3D* root) : record_(root) {}
    ~CD3DRender() override = default;

    ID3DTexture* GetTexture() override { return record_.texture; }
    bool SetTexture(ID3DTexture* texture) override;
    uint32_t GetCapacity() override { return primitiveCapacity_ / 2; }
    bool Initialize(uint32_t quads) override;
    void GetDrawMode(int32_t* colourMode, bool* blend, int32_t* blendType) override
    {
        record_.GetMode(colourMode, blend, blendType);
    }
    void SetDrawMode(int32_t colourMode, bool blend, int32_t blendType) override
    {
        record_.SetMode(colourMode, blend, blendType);
    }
    void DrawQuad(const SpriteQuad* quad, float angleX, float angleY, float angleZ, uint32_t depth) override;
    void RemoveLastQuad() override;
    void ClearQuads() override;
    void Flush() override;

private:
    DrawRecord record_;
    bool textureBound_ = false;
    bool initialised_ = false;
    std::vector<ScreenVertex> vertices_; // 4 per quad of capacity
    std::vector<uint16_t> indices16_;
    std::vector<uint32_t> indices32_;
    const void* indexData_ = nullptr;
    D3DFORMAT indexFormat_ = D3DFMT_INDEX16;
    uint32_t vertexCount_ = 0;
    uint32_t primitiveCount_ = 0;
    uint32_t primitiveCapacity_ = 0;
    CCriticalSection lock_; // the queue, against a rebind
};

} // namespace VEL
