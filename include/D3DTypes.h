// D3DTypes.h - records and values shared by the graphics module's interfaces (libVELD3D6).
#pragma once

#include <cstdint>

namespace VEL {

// A locked texture: row r of the pixels starts at pBits + r * Pitch bytes. The layout matches
// the platform's locked-rectangle record, so a host may pass its own D3DLOCKED_RECT instead.
struct D3DLockedRect {
    int32_t Pitch;
    void* pBits;
};

// The pre-transformed vertex every renderer submits (28 bytes): screen position, depth,
// reciprocal w, A8R8G8B8 colour, texture coordinates.
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28, "a screen vertex is 28 bytes");

// Colour modes of a draw mode: how the texture and the vertex colour combine.
inline constexpr int32_t COLOUR_MODULATE = 0; // texture x vertex colour
inline constexpr int32_t COLOUR_ADD = 1;      // texture + vertex colour
inline constexpr int32_t COLOUR_DIFFUSE = 2;  // vertex colour only

// Blend types of a draw mode (used while the blend flag is set).
inline constexpr int32_t BLEND_ALPHA = 0;          // source alpha over destination
inline constexpr int32_t BLEND_ADDITIVE = 1;       // destination + source x source alpha
inline constexpr int32_t BLEND_SUBTRACT = 2;       // destination darkened by the source colour
inline constexpr int32_t BLEND_MULTIPLY = 3;       // destination x source
inline constexpr int32_t BLEND_INVMULTIPLY = 4;    // source x (1 - destination)
inline constexpr int32_t BLEND_MULTIPLYADD = 5;    // destination + source x destination
inline constexpr int32_t BLEND_PREMULTIPLIED = 6;  // source + destination x (1 - source alpha)
inline constexpr int32_t BLEND_SCREEN = 7;         // destination + source x (1 - destination)

// Capabilities of the default adapter (IVELD3D::GetAdapterInfo).
struct AdapterInfo {
    char description[512];         // the adapter's description text
    int32_t vertexProcessing;      // best level: 0 hardware (pure device), 1 mixed, 2 software
    uint32_t videoMemory;          // total video memory in bytes
    uint32_t maxTextureWidth;
    uint32_t maxTextureHeight;
    bool a8r8g8b8Textures;         // 32-bit textures with alpha are supported
    bool a4r4g4b4Textures;         // 16-bit textures with alpha are supported
    bool fullScreenAvailable;      // the asked size exists at the current refresh rate
};

} // namespace VEL
