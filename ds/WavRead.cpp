// WavRead.cpp - RIFF/WAVE parsing and reading.
//
// Chunks are found by scanning from the start of the stream one byte at a time, so the first
// occurrence of an id is taken wherever it lies (also inside an earlier chunk). Hostile headers
// end in a failed Open, never in arithmetic on zero or overflowing values: a format without
// whole bytes per frame or without a rate is refused, and a data chunk that claims more than the
// stream holds is cut to what is there.
#include "WavRead.h"

#include "DSLevels.h"

#include <cstring>

namespace VEL {

namespace {

constexpr uint32_t kFourCC(const char id[4])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) | static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}

// Stream offsets are unsigned 32-bit; Seek takes them as the same bits.
int32_t AsOffset(uint32_t offset) { return static_cast<int32_t>(offset); }

} // namespace

bool CWavRead::Open(IDataStream* stream)
{
    if (open_ || !stream)
        return false;
    ReplaceReference(stream_, stream);
    if (!Parse())
        return false;
    position_ = 0;
    open_ = true;
    return true;
}

uint32_t CWavRead::ReadField(uint32_t bytes)
{
    uint8_t raw[4] = {};
    stream_->Read(raw, 1, bytes);
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i)
        value |= static_cast<uint32_t>(raw[i]) << (8 * i);
    return value;
}

uint32_t CWavRead::FindChunk(const char id[4])
{
    const uint32_t wanted = kFourCC(id);
    stream_->Seek(0, STREAM_SEEK_BEGIN);
    uint32_t window = ReadField(4);
    if (stream_->IsEOF())
        return 0;
    for (;;) {
        if (window == wanted)
            return ReadField(4);
        uint8_t next = 0;
        stream_->Read(&next, 1, 1);
        window = (window >> 8) | static_cast<uint32_t>(next) << 24;
        if (stream_->IsEOF())
            return 0;
    }
}

bool CWavRead::Parse()
{
    char tag[4] = {};
    stream_->Seek(0, STREAM_SEEK_BEGIN);
    if (stream_->Read(tag, 1, 4) != 4 || std::memcmp(tag, "RIFF", 4) != 0)
        return false;
    stream_->Seek(8, STREAM_SEEK_BEGIN);
    std::memset(tag, 0, sizeof tag);
    if (stream_->Read(tag, 1, 4) != 4 || std::memcmp(tag, "WAVE", 4) != 0)
        return false;

    if (FindChunk("fmt ") == 0)
        return false;
    format_ = WaveFormat{};
    format_.extraSize = 18;
    format_.formatTag = static_cast<uint16_t>(ReadField(2));
    format_.channels = static_cast<uint16_t>(ReadField(2));
    format_.samplesPerSec = ReadField(4);
    ReadField(4); // average bytes per second: recomputed below
    ReadField(2); // block alignment: recomputed below
    format_.bitsPerSample = static_cast<uint16_t>(ReadField(2));
    // The frame size and byte rate follow from channels, bits and rate, whatever the file says.
    format_.blockAlign = static_cast<uint16_t>(static_cast<uint32_t>(format_.channels) * format_.bitsPerSample / 8);
    const uint64_t byteRate = static_cast<uint64_t>(format_.blockAlign) * format_.samplesPerSec;
    format_.avgBytesPerSec = static_cast<uint32_t>(byteRate);
    if (format_.formatTag != 1)
        return false;
    // No whole byte per frame, no rate, or a byte rate beyond 32 bits: nothing to play.
    if (format_.blockAlign == 0 || format_.samplesPerSec == 0 || byteRate > 0xFFFFFFFFu)
        return false;

    uint32_t dataSize = FindChunk("data");
    if (dataSize == 0)
        return false;
    dataStart_ = stream_->GetPosition();
    const uint32_t streamSize = stream_->GetSize();
    const uint32_t present = streamSize > dataStart_ ? streamSize - dataStart_ : 0;
    if (dataSize > present)
        dataSize = present;
    if (dataSize == 0)
        return false;
    dataSize_ = dataSize;
    length_ = DSLevels::TruncToU32(static_cast<double>(dataSize_) / static_cast<double>(format_.avgBytesPerSec) * 1000.0);
    return true;
}

bool CWavRead::Read(uint32_t count, void* destination, uint32_t* received)
{
    if (!open_ || !destination)
        return false;
    if (position_ >= dataSize_) {
        if (received)
            *received = 0;
        return false;
    }
    if (count > dataSize_ - position_)
        count = dataSize_ - position_;
    position_ += count;
    if (count > 0)
        stream_->Read(destination, count, 1);
    if (received)
        *received = count;
    return true;
}

void CWavRead::Rewind()
{
    if (!open_)
        return;
    stream_->Seek(AsOffset(dataStart_), STREAM_SEEK_BEGIN);
    position_ = 0;
}

void CWavRead::GetFormat(WaveFormat* format)
{
    if (format)
        std::memcpy(format, &format_, sizeof format_);
}

uint32_t CWavRead::GetLength() { return length_; }

uint32_t CWavRead::GetPosition()
{
    if (!open_)
        return 0;
    return DSLevels::TruncToU32(static_cast<double>(position_) / static_cast<double>(format_.avgBytesPerSec) * 1000.0);
}

void CWavRead::SetPosition(uint32_t ms)
{
    if (!open_)
        return;
    const uint64_t frames =
        DSLevels::TruncToU32(static_cast<double>(ms) / 1000.0 * static_cast<double>(format_.samplesPerSec));
    uint64_t position = frames * format_.blockAlign;
    // Beyond the data the reader stands at its end: the next Read reports the end.
    if (position > dataSize_)
        position = dataSize_;
    position_ = static_cast<uint32_t>(position);
    stream_->Seek(AsOffset(dataStart_ + position_), STREAM_SEEK_BEGIN);
}

void CWavRead::Close()
{
    if (!open_)
        return;
    length_ = 0;
    stream_->Seek(0, STREAM_SEEK_BEGIN);
    open_ = false;
}

CWavRead::~CWavRead()
{
    Close();
    DropReference(stream_);
}

} // namespace VEL
