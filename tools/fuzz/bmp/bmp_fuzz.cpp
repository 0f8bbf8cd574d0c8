// libFuzzer target: arbitrary bytes through Open and Decode of both decoder builds, into both
// destination formats, with the destination allocated exactly from GetWidth x GetHeight so that
// the address sanitizer sees any write outside it.
#include "BMPDecoder.h"
#include "MemoryStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// Larger images only repeat the same row loop; decoding them would cut the fuzzer's speed from
// thousands to about a hundred inputs a second. 2^20 pixels still allow the widest rows (65536).
constexpr uint64_t kMaxPixels = uint64_t(1) << 20;

template <class Decoder>
void DecodeAll(const uint8_t* data, size_t size)
{
    for (uint32_t format : {0u, 2u}) {
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
                const std::unique_ptr<uint8_t[]> destination(new uint8_t[pixels * bytesPerPixel]);
                const int32_t pitch = width * int32_t(bytesPerPixel);
                decoder->Decode(destination.get(), pitch, format);
                // 24- and 32-bit images may be decoded again (palette images would read on).
                if (decoder->GetBitCount() > 8)
                    decoder->Decode(destination.get(), pitch, format);
            }
            decoder->Close();
        }
        decoder->Release();
        stream->Release();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodeAll<VEL::CBMPLoader>(data, size);
    DecodeAll<VEL::CBMPPlugin>(data, size);
    return 0;
}
