// StdGraphicsLoader.h - IStdGraphicsLoader: a stream bound to an image decoder.
#pragma once

#include "IStdGraphicsLoader.h"
#include "VELObject.h"

namespace VEL {

// Holds counted references to the stream and the decoder of the last Open. Without a plug-in
// the built-in BMP decoder is used. No lock: one thread at a time.
class CStdGraphicsLoader final : public TVELObject<IStdGraphicsLoader> {
public:
    int32_t GetWidth() override;
    int32_t GetHeight() override;
    int32_t GetBitCount() override;
    bool Open(IDataStream* stream, IGraphicsPlugin* plugin) override;
    void Decode(void* destination, int32_t pitch, uint32_t format) override;
    void Close() override;
    ~CStdGraphicsLoader() override;

private:
    bool open_ = false;
    IDataStream* stream_ = nullptr;      // kept after Close until the next Open
    IGraphicsPlugin* decoder_ = nullptr; // released by Close
};

} // namespace VEL
