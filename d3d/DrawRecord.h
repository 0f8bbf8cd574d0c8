// DrawRecord.h - what every batch renderer starts with: its root, its texture, its draw mode,
// and the corner transform that the sprite and triangle renderers share.
#pragma once

#include "D3DTexture.h"
#include "Trigonometry.h"
#include "VELD3D.h"

namespace VEL {

struct DrawRecord {
    explicit DrawRecord(CVELD3D* owner) : root(owner) { root->AddRef(); }
    ~DrawRecord()
    {
        if (texture)
            texture->Release();
        root->Release();
    }
    DrawRecord(const DrawRecord&) = delete;
    DrawRecord& operator=(const DrawRecord&) = delete;

    // The shared binding step: root lock, then the texture's lock, then the renderer's. False
    // for null or an uncreated texture (the previous one stays referenced).
    bool Bind(ID3DTexture* target, CCriticalSection* rendererLock);
    void SetMode(int32_t colourMode, bool blend, int32_t blendType)
    {
        if (colourMode < 3 && blendType < 8)
            mode = DrawMode{colourMode, blend, blendType};
    }
    void GetMode(int32_t* colourMode, bool* blend, int32_t* blendType) const
    {
        if (colourMode)
            *colourMode = mode.colourMode;
        if (blend)
            *blend = mode.blend;
        if (blendType)
            *blendType = mode.blendType;
    }
    // Waits (up to 10 s) until the texture is unlocked; false when the wait timed out.
    bool WaitTextureIdle() const { return WaitForSingleObject(texture->IdleEvent(), 10000) != WAIT_TIMEOUT; }

    CVELD3D* root;                  // counted
    CD3DTexture* texture = nullptr; // counted
    DrawMode mode;
    float inverseWidth = 0.0f;
    float inverseHeight = 0.0f;
    const float depthScale = static_cast<float>(1.0 / 65535.0);
};

// Rotation of a quad's or triangle's corners about a centre with the built-in perspective: the
// viewing distance is the shape's extent times pi, so a corner turned towards the viewer grows.
struct CornerTransform {
    float cx, cy;  // centre
    float d;       // viewing distance
    float m[4][4]; // rotation

    // dx, dy: the corner's offset from the centre.
    ScreenVertex Apply(const DrawRecord& r, float dx, float dy, uint32_t depth, uint32_t cornerDepth, float rhw,
                       uint32_t colour, int32_t u, int32_t v) const
    {
        const float x = m[0][0] * dx + m[1][0] * dy;
        const float y = m[0][1] * dx + m[1][1] * dy;
        const float z = m[0][2] * dx + m[1][2] * dy;
        const float s = z + d;
        ScreenVertex out;
        out.x = cx + x * d / s - 0.5f;
        out.y = y * d / s + cy - 0.5f;
        out.z = (r.depthScale * static_cast<float>(depth) * s / d + r.depthScale * static_cast<float>(cornerDepth)) *
                    0.1f +
                0.4f;
        out.rhw = rhw / (s / d);
        out.colour = colour;
        out.u = static_cast<float>(u) * r.inverseWidth;
        out.v = static_cast<float>(v) * r.inverseHeight;
        return out;
    }
};

// pi as the nearest single-precision value, in double arithmetic.
inline constexpr double kPerspectivePi = 3.1415927410125732;

} // namespace VEL
