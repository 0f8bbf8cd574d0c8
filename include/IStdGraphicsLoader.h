// IStdGraphicsLoader.h - binds a data stream to an image decoder.
#pragma once

#include "IGraphicsPlugin.h"

namespace VEL {

// Opens an image stream with a decoder (a plug-in instance, or the built-in BMP decoder when
// none is given) and forwards the decoder's queries and Decode while open.
class IStdGraphicsLoader : public IVELInterface {
public:
    virtual int32_t GetWidth() = 0;
    virtual int32_t GetHeight() = 0;
    virtual int32_t GetBitCount() = 0;
    // Keeps references to the stream and the decoder; fails when already open or when the
    // decoder rejects the stream.
    virtual bool Open(IDataStream* stream, IGraphicsPlugin* plugin) = 0;
    virtual void Decode(void* destination, int32_t pitch, uint32_t format) = 0;
    // Closes and drops the decoder; the stream stays referenced until the next Open.
    virtual void Close() = 0;
};

// IVELStd::CreateInterface id of a new, closed IStdGraphicsLoader.
inline constexpr GUID IID_IStdGraphicsLoader = {0x6FB7C864, 0x2E18, 0x41C5, {0xBE, 0xA6, 0xAA, 0x43, 0xE4, 0x2D, 0xD1, 0x54}};

} // namespace VEL
