// ID3DLineRender.h - the line renderer: one thick polyline of constant screen width.
#pragma once

#include "ID3DTexture.h"

namespace VEL {

// A point of the polyline. Two points are equal when x and y are; the list never holds two
// equal points in a row.
struct LinePoint {
    int32_t x;          // screen x in pixels
    int32_t y;          // screen y in pixels
    int32_t depth;      // 0-65535
    uint32_t colour1;   // A8R8G8B8 colour of the strip's first side
    uint32_t colour2;   // A8R8G8B8 colour of the second side
};

// Keeps a persistent point list and draws it as a triangle strip at each Flush (the list is
// kept). The strip lives in video memory: Initialize needs a device, and the renderer rebuilds
// it by itself after ResetDevice. A bound texture contributes the colour of its first texel.
//
// Binary layout note: the implementation has one further slot after its destructor, a reserved
// operation taking five 32-bit arguments that does nothing.
class ID3DLineRender : public IVELInterface {
public:
    virtual ID3DTexture* GetTexture() = 0;
    virtual bool SetTexture(ID3DTexture* texture) = 0;
    // Points the strip buffer holds; Flush draws at most this many points.
    virtual uint32_t GetCapacity() = 0;
    // Makes the strip buffer for `points` points (2 or more, within the device's limits).
    virtual bool Initialize(uint32_t points) = 0;
    virtual void GetDrawMode(int32_t* colourMode, bool* blend, int32_t* blendType) = 0;
    virtual void SetDrawMode(int32_t colourMode, bool blend, int32_t blendType) = 0;
    virtual void Flush() = 0;
    // Editing. None of these takes a lock: do not overlap them with a Flush on another thread.
    virtual void PushFront(const LinePoint* point) = 0;
    virtual void PushBack(const LinePoint* point) = 0;
    // Inserts before index (appends for an index past the end).
    virtual void Insert(uint32_t index, const LinePoint* point) = 0;
    virtual void PopFront() = 0;
    virtual void PopBack() = 0;
    // Removes the point and then any point equal to its new neighbour.
    virtual void Erase(uint32_t index) = 0;
    // The point (valid until the list changes); the first point for an index past the end;
    // null for an empty list.
    virtual LinePoint* GetPoint(uint32_t index) = 0;
    virtual uint32_t GetPointCount() = 0;
    // Reserved; does nothing.
    virtual void Reserved1(uint32_t a, uint32_t b, uint32_t c) = 0;
    virtual void ClearPoints() = 0;
    // Full width of the strip in pixels (initially 0: nothing visible).
    virtual void SetLineWidth(float width) = 0;
    virtual float GetLineWidth() = 0;
};

// IVELD3D::CreateInterface id of a new line renderer.
inline constexpr GUID IID_ID3DLineRender = {0xD781D424, 0x76DE, 0x4C04, {0x94, 0xE7, 0x82, 0xDE, 0xC1, 0xE0, 0x5D, 0x74}};

} // namespace VEL
