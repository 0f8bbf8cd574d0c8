// ISoundReader.h - the sound decoder interface and the wave format record it reports.
#pragma once

#include "IDataStream.h"

namespace VEL {

#pragma pack(push, 1)
// Raw PCM layout of a sound: 18 bytes, little-endian, no padding (the usual WAVEFORMATEX).
// For PCM, blockAlign = channels * bitsPerSample / 8 and avgBytesPerSec = samplesPerSec * blockAlign.
struct WaveFormat {
    uint16_t formatTag;      // 1: PCM
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;     // bytes per frame
    uint16_t bitsPerSample;  // 8 (unsigned, silence 0x80) or 16 (signed)
    uint16_t extraSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "the wave format record is 18 bytes");

// Turns a data stream into raw PCM bytes. The sound module reads a whole sound through it once
// (IDSSoundBuffer::Load) or piece by piece from its streaming thread (IDSMediaStream::Open), so a
// host may pass its own decoder to either. Lengths and positions are in milliseconds. A reader is
// used by one thread at a time.
class ISoundReader : public IVELInterface {
public:
    // Parses the stream's header and keeps a reference to the stream. False when already open or
    // the stream is not understood.
    virtual bool Open(IDataStream* stream) = 0;
    // Copies up to `count` sample bytes to `destination` and sets *received (when given) to the
    // bytes delivered. False when not open or at the end of the sound (0 received).
    virtual bool Read(uint32_t count, void* destination, uint32_t* received) = 0;
    // Back to the first sample byte.
    virtual void Rewind() = 0;
    // Copies the 18-byte format record.
    virtual void GetFormat(WaveFormat* format) = 0;
    // Length of the sound; 0 when not open.
    virtual uint32_t GetLength() = 0;
    // Milliseconds of sound consumed so far; 0 when not open.
    virtual uint32_t GetPosition() = 0;
    // Moves to the frame at `ms` (never beyond the end of the sound).
    virtual void SetPosition(uint32_t ms) = 0;
    // Stops reading; Open may follow.
    virtual void Close() = 0;
};

} // namespace VEL
