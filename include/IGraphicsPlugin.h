// IGraphicsPlugin.h - the image decoder interface and the plug-in library exports.
#pragma once

#include "IDataStream.h"

namespace VEL {

// Destination pixel formats of IGraphicsPlugin::Decode.
enum : uint32_t {
    PIXEL_FORMAT_A8R8G8B8 = 0, // 32-bit 0xAARRGGBB, little-endian (bytes B, G, R, A)
    PIXEL_FORMAT_A4R4G4B4 = 2, // 16-bit 0xARGB, 4 bits per channel
};

// An image decoder: reads the header of an image from a stream, reports its size and depth and
// writes its pixels top row first into a buffer the caller sized from GetWidth and GetHeight.
class IGraphicsPlugin : public IVELInterface {
public:
    virtual int32_t GetWidth() = 0;  // 0 when not open
    virtual int32_t GetHeight() = 0; // 0 when not open
    virtual int32_t GetBitCount() = 0; // bits per pixel of the source; 0 when not open
    // Reads the header at the stream's current position and keeps a reference to the stream.
    virtual bool Open(IDataStream* stream) = 0;
    // Writes width x height pixels; row r starts at destination + r * pitch. Unknown formats
    // write nothing.
    virtual void Decode(void* destination, int32_t pitch, uint32_t format) = 0;
    // Rewinds the stream to 0 and drops it.
    virtual void Close() = 0;
};

// The record GetPluginInfo fills: 272 bytes.
struct GraphicsPluginInfo {
    char extension[16];    // file extension without the dot, zero-terminated
    char description[256]; // zero-terminated
};
static_assert(sizeof(GraphicsPluginInfo) == 272);

// Exports of a decoder plug-in library (for example BmpGraphicsPlugin).
using PFN_CreatePluginInstance = IGraphicsPlugin* (*)(IGraphicsPlugin** instance);
using PFN_GetPluginInfo = void (*)(GraphicsPluginInfo* info);
using PFN_GetPluginVersion = double (*)();
using PFN_GetCopyrightInfo = void (*)(char* buffer); // at least 29 bytes

} // namespace VEL
