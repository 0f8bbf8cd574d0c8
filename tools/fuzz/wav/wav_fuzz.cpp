// libFuzzer target: arbitrary bytes through the WAVE reader. When Open succeeds the format must
// be usable (whole bytes per frame, a byte rate), every Read must deliver exactly the stream's
// bytes from inside the data chunk, and no SetPosition, however large, may move reading past it.
#include "MemoryStream.h"
#include "WavRead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// Reads up to `count` bytes and checks them against the source at the stream's position; returns
// the bytes received.
uint32_t CheckedRead(VEL::CWavRead& reader, veltest::MemoryStream& stream, uint32_t count, uint32_t dataEnd)
{
    std::vector<uint8_t> buffer(count + 1, 0xA5);
    const uint32_t at = stream.GetPosition();
    uint32_t received = 0xFFFFFFFFu;
    const bool ok = reader.Read(count, buffer.data(), &received);
    Require(received <= count);
    Require(ok == (received > 0) || count == 0);
    Require(buffer[count] == 0xA5);
    Require(static_cast<uint64_t>(at) + received <= dataEnd);
    Require(std::memcmp(buffer.data(), stream.Bytes().data() + at, received) == 0);
    return received;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    auto* stream = veltest::MemoryStream::Create(std::vector<uint8_t>(data, data + size));
    auto* reader = new VEL::CWavRead();
    if (reader->Open(stream)) {
        VEL::WaveFormat format{};
        reader->GetFormat(&format);
        Require(format.formatTag == 1 && format.blockAlign > 0 && format.samplesPerSec > 0);
        Require(format.avgBytesPerSec == static_cast<uint32_t>(format.blockAlign) * format.samplesPerSec);
        const uint32_t length = reader->GetLength();

        // The whole data chunk in uneven pieces: it lies inside the stream.
        reader->Rewind();
        const uint32_t dataStart = stream->GetPosition();
        uint32_t total = 0;
        uint32_t piece = 1 + (size % 97);
        for (;;) {
            const uint32_t got = CheckedRead(*reader, *stream, piece, static_cast<uint32_t>(size));
            if (got == 0)
                break;
            total += got;
            piece = piece * 3 % 4099 + 1;
        }
        const uint32_t dataEnd = dataStart + total;
        Require(dataEnd <= size);
        Require(reader->GetPosition() <= length);

        // Seeks anywhere, including far beyond the end, keep reads inside the data.
        const uint32_t targets[] = {0, length / 2, length, length + 1, 0x7FFFFFFFu, 0xFFFFFFFFu,
                                    static_cast<uint32_t>(size * 2654435761u)};
        for (uint32_t ms : targets) {
            reader->SetPosition(ms);
            Require(stream->GetPosition() >= dataStart && stream->GetPosition() <= dataEnd);
            CheckedRead(*reader, *stream, 4096, dataEnd);
            reader->Rewind();
            reader->SetPosition(ms);
            CheckedRead(*reader, *stream, 1, dataEnd);
        }
        reader->Close();
        Require(reader->GetLength() == 0 && reader->GetPosition() == 0);
        uint32_t untouched = 7;
        uint8_t byte = 0;
        Require(!reader->Read(1, &byte, &untouched) && untouched == 7);
    }
    reader->Release();
    stream->Release();
    return 0;
}
