// ID3DRender.h - the sprite renderer: textured quads from one texture, drawn in batches.
#pragma once

#include "ID3DTexture.h"

namespace VEL {

// A quad for ID3DRender::DrawQuad. Each member holds the four corners in order 0-3: corner 0
// top left, 1 top right, 2 bottom left, 3 bottom right for an upright quad (drawn as the
// triangles 0-1-3 and 0-3-2).
struct SpriteQuad {
    int32_t u[4];        // texel column
    int32_t v[4];        // texel row
    int32_t x[4];        // screen x in pixels
    int32_t y[4];        // screen y in pixels
    uint32_t depth[4];   // per-corner depth, 0-65535
    float rhw[4];        // reciprocal homogeneous w (1.0 for flat sprites)
    uint32_t colour[4];  // A8R8G8B8 vertex colour
};

// Queues quads and submits the whole queue in one draw call at Flush. Draw inside
// IVELD3D::BeginScene / EndScene. Holds the texture it draws with and a reference to the root.
class ID3DRender : public IVELInterface {
public:
    // The bound texture (no reference added).
    virtual ID3DTexture* GetTexture() = 0;
    // Binds a created texture; false (and nothing drawn) for null or an uncreated texture.
    virtual bool SetTexture(ID3DTexture* texture) = 0;
    // Quads the queue holds.
    virtual uint32_t GetCapacity() = 0;
    // Sizes the queue (and empties it); fails for 0 or more than the device allows (needs a
    // device for its limits).
    virtual bool Initialize(uint32_t quads) = 0;
    // The draw mode; any pointer may be null.
    virtual void GetDrawMode(int32_t* colourMode, bool* blend, int32_t* blendType) = 0;
    // Colour mode COLOUR_* (0-2), blend flag, blend type BLEND_* (0-7); other values are ignored.
    virtual void SetDrawMode(int32_t colourMode, bool blend, int32_t blendType) = 0;
    // Queues one quad rotated by the angles (degrees) about its centre with a built-in
    // perspective; depth is added to each corner's depth. Ignored when the queue is full, no
    // texture is bound or the renderer is not initialised.
    virtual void DrawQuad(const SpriteQuad* quad, float angleX, float angleY, float angleZ, uint32_t depth) = 0;
    virtual void RemoveLastQuad() = 0;
    virtual void ClearQuads() = 0;
    // Draws the queue and empties it. While the texture is locked (up to 10 s) or lost, the
    // queue is kept for a later Flush.
    virtual void Flush() = 0;
};

// IVELD3D::CreateInterface id of a new sprite renderer.
inline constexpr GUID IID_ID3DRender = {0x9BA3F552, 0x5E67, 0x4E2C, {0xB8, 0x16, 0x32, 0xC3, 0xE8, 0x73, 0x51, 0x6B}};

} // namespace VEL
