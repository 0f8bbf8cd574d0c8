// BMPDecoder.h - the BMP image decoder, in its two builds: CBMPLoader (built into the standard
// library, used by the graphics loader when the host gives no decoder) and CBMPPlugin (the
// decoder the BMP plug-in library hands out). Both share CBMPDecoder; they differ only in the
// alpha of palette images.
//
// Reads uncompressed bitmaps with 1, 2, 4, 8, 24 or 32 bits per pixel from an IDataStream,
// through Seek (origin 0), Read, GetPosition and GetSize only. One thread at a time.
#pragma once

#include "IGraphicsPlugin.h"
#include "VELObject.h"

#include <cstdint>

namespace VEL {

class CBMPDecoder : public TVELObject<IGraphicsPlugin> {
public:
    // Width as read; 0 when not open.
    int32_t GetWidth() override;
    // Number of rows, |height| (a negative height marks a top-down file); 0 when not open.
    int32_t GetHeight() override;
    // Bits per pixel as read, also for depths Decode does not handle; 0 when not open.
    int32_t GetBitCount() override;
    // Reads the 14-byte file header and the first 40 bytes of the information header from the
    // stream's current position. Keeps a reference to the stream, also when it fails.
    bool Open(IDataStream* stream) override;
    // Writes GetWidth() x GetHeight() pixels in format 0 (A8R8G8B8) or 2 (A4R4G4B4); any other
    // format or depth writes nothing. Palette images read on from the end of the headers, so one
    // Open serves one Decode; 24- and 32-bit images seek to their pixel data and may be decoded
    // again.
    void Decode(void* destination, int32_t pitch, uint32_t format) override;
    // Rewinds the stream to 0 and drops it.
    void Close() override;
    ~CBMPDecoder() override;

    // Largest width and row count Open accepts.
    static constexpr int32_t kMaxDimension = 65536;

protected:
    // transparentIndex0: palette entries read from the file carry alpha 0xFF except entry 0,
    // which is fully transparent, as are entries the file did not supply. Otherwise every
    // palette pixel is opaque.
    explicit CBMPDecoder(bool transparentIndex0) : transparentIndex0_(transparentIndex0) {}

private:
    int32_t HeaderWidth() const;
    int32_t HeaderHeight() const;

    bool open_ = false;
    IDataStream* stream_ = nullptr; // counted reference; kept after a failed Open
    uint8_t fileHeader_[14] = {};
    uint8_t infoHeader_[40] = {};
    const bool transparentIndex0_;
};

// The standard library's built-in decoder: palette images are fully opaque.
class CBMPLoader final : public CBMPDecoder {
public:
    CBMPLoader() : CBMPDecoder(false) {}
};

// The plug-in library's decoder: palette index 0 is transparent.
class CBMPPlugin final : public CBMPDecoder {
public:
    CBMPPlugin() : CBMPDecoder(true) {}
};

// Caps the vector kernels the decoders of this library use: 0 scalar only, 1 up to SSSE3, 2 up to
// AVX-512 VBMI (the default; the processor's own level is never exceeded). Lets a harness compare
// the vector paths with the scalar ones. Not exported.
void LimitBMPDecoderSimd(int level);

} // namespace VEL
