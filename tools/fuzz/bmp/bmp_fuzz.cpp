// libFuzzer target: arbitrary bytes through Open and Decode of both decoder builds, into both
// destination formats, with the destination allocated exactly from GetWidth x GetHeight so that
// the address sanitizer sees any write outside it. Each image is decoded with the vector kernels
// the processor offers and again with each lower level down to the scalar kernels; all results must agree.
#include "BMPDecoder.h"
#include "MemoryStream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Larger images only repeat the same row loop, and each input is decoded twelve times (two
// builds, two formats, three kernel levels): bigger destinations would cut the fuzzer's speed to
// a few dozen inputs a second. 2^16 pixels still allow the widest row (65536 pixels).
constexpr uint64_t kMaxPixels = uint64_t(1) << 16;

// Decodes the bytes once; returns the destination (empty when Open failed or nothing is decoded).
template <class Decoder>
std::vector<uint8_t> DecodeOnce(const uint8_t* data, size_t size, uint32_t format)
{
    std::vector<uint8_t> result;
    auto* stream = veltest::MemoryStream::Create(std::vector<uint8_t>(data, data + size));
    auto* decoder = new Decoder();
    if (decoder->Open(stream)) {
        const int32_t width = decoder->GetWidth();
        const int32_t height = decoder->GetHeight();
        if (width < 0 || height < 0)
            __builtin_trap(); // sizes a host allocates from must never be negative
        const uint64_t pixels = uint64_t(width) * uint64_t(height);
        if (pixels > 0 && pixels <= kMaxPixels) {
            const uint32_t bytesPerPixel = format == 0 ? 4 : 2;
            const size_t bytes = size_t(pixels * bytesPerPixel);
            // Exactly the image's size, so the address sanitizer catches any write beyond it.
            const std::unique_ptr<uint8_t[]> destination(new uint8_t[bytes]);
            std::memset(destination.get(), 0xA5, bytes);
            const int32_t pitch = width * int32_t(bytesPerPixel);
            decoder->Decode(destination.get(), pitch, format);
            // 24- and 32-bit images may be decoded again (palette images would read on).
            if (decoder->GetBitCount() > 8)
                decoder->Decode(destination.get(), pitch, format);
            result.assign(destination.get(), destination.get() + bytes);
        }
        decoder->Close();
    }
    decoder->Release();
    stream->Release();
    return result;
}

template <class Decoder>
void DecodeAll(const uint8_t* data, size_t size)
{
    for (uint32_t format : {0u, 2u}) {
        VEL::LimitBMPDecoderSimd(0);
        const std::vector<uint8_t> scalar = DecodeOnce<Decoder>(data, size, format);
        for (int level : {1, 2}) {
            VEL::LimitBMPDecoderSimd(level);
            if (DecodeOnce<Decoder>(data, size, format) != scalar)
                __builtin_trap(); // a vector kernel disagrees with the scalar ones
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodeAll<VEL::CBMPLoader>(data, size);
    DecodeAll<VEL::CBMPPlugin>(data, size);
    return 0;
}
