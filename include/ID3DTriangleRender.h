// ID3DTriangleRender.h - the triangle renderer: textured triangles from one texture.
#pragma once

#include "ID3DTexture.h"

namespace VEL {

// A triangle for ID3DTriangleRender::DrawTriangle; each member holds the three corners.
struct TriangleCorners {
    int32_t u[3];        // texel column
    int32_t v[3];        // texel row
    int32_t x[3];        // screen x in pixels
    int32_t y[3];        // screen y in pixels
    uint32_t depth[3];   // per-corner depth, 0-65535
    float rhw[3];        // reciprocal homogeneous w
    uint32_t colour[3];  // A8R8G8B8
};

// Queues any number of triangles and submits them in one draw call at Flush, which always
// empties the queue (triangles queued while the texture stays locked or lost are dropped).
class ID3DTriangleRender : public IVELInterface {
public:
    virtual ID3DTexture* GetTexture() = 0;
    virtual bool SetTexture(ID3DTexture* texture) = 0;
    virtual void GetDrawMode(int32_t* colourMode, bool* blend, int32_t* blendType) = 0;
    virtual void SetDrawMode(int32_t colourMode, bool blend, int32_t blendType) = 0;
    // Rotates the triangle by the angles (degrees) about its centroid moved by (offsetX,
    // offsetY), with the sprite renderer's perspective; triangles sharing a centre turn as one.
    virtual void DrawTriangle(const TriangleCorners* triangle, float offsetX, float offsetY, float angleX,
                              float angleY, float angleZ, uint32_t depth) = 0;
    virtual void Flush() = 0;
};

// IVELD3D::CreateInterface id of a new triangle renderer.
inline constexpr GUID IID_ID3DTriangleRender = {0x363DD090, 0x8D77, 0x4B44, {0xA9, 0x40, 0x5E, 0x0F, 0xA9, 0x9F, 0xCA, 0x4B}};

} // namespace VEL
