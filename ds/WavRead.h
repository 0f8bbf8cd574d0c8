// WavRead.h - CWavRead, the built-in sound reader for RIFF/WAVE files holding PCM.
#pragma once

#include "ISoundReader.h"
#include "VELObject.h"

namespace VEL {

// Used when the host passes no reader of its own. Holds the stream from Open until the next
// Open or destruction (Close keeps it). Reads the stream where it stands: while open it must be
// the only user of the stream's position. Never reads outside the data chunk.
class CWavRead : public TVELObject<ISoundReader> {
public:
    CWavRead() = default;
    bool Open(IDataStream* stream) override;
    bool Read(uint32_t count, void* destination, uint32_t* received) override;
    void Rewind() override;
    void GetFormat(WaveFormat* format) override;
    uint32_t GetLength() override;
    uint32_t GetPosition() override;
    void SetPosition(uint32_t ms) override;
    void Close() override;
    ~CWavRead() override;

private:
    bool Parse();
    // Size of the first chunk with this id anywhere in the stream (0: not found).
    uint32_t FindChunk(const char id[4]);
    // Little-endian field of `bytes` bytes at the stream's position; 0 where the stream ends.
    uint32_t ReadField(uint32_t bytes);

    WaveFormat format_{};
    bool open_ = false;
    IDataStream* stream_ = nullptr; // counted reference
    uint32_t dataStart_ = 0;        // stream offset of the first sample byte
    uint32_t length_ = 0;           // ms
    uint32_t position_ = 0;         // sample bytes consumed, never above dataSize_
    uint32_t dataSize_ = 0;         // bytes of the data chunk that the stream holds
};

} // namespace VEL
