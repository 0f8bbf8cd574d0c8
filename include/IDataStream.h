// IDataStream.h - the engine's readable, seekable byte source, and the standard file stream.
#pragma once

#include "VELInterface.h"

namespace VEL {

// Seek origins.
enum : int32_t { STREAM_SEEK_BEGIN = 0, STREAM_SEEK_CURRENT = 1, STREAM_SEEK_END = 2 };

// A byte source with unsigned 32-bit sizes and positions. Hosts may implement it themselves and
// pass their object wherever the engine takes a stream.
class IDataStream : public IVELInterface {
public:
    // True when the position equals the size (also for a stream that is not open).
    virtual bool IsEOF() = 0;
    virtual uint32_t GetSize() = 0;
    virtual uint32_t GetPosition() = 0;
    // Moves the position. Origin 0: offset from the start; 1: from the current position;
    // 2: offset bytes before the end. Positions beyond the end (or below 0, which wrap) become
    // the end. Any other origin changes nothing.
    virtual void Seek(int32_t offset, int32_t origin) = 0;
    // Reads up to count elements of elementSize bytes. Returns the number of whole elements
    // read; a partial last element is delivered but not counted.
    virtual uint32_t Read(void* destination, uint32_t elementSize, uint32_t count) = 0;
};

// A data stream over a read-only file or a borrowed memory block.
class IStdFileStream : public IDataStream {
public:
    // Attaches a caller's block (kept valid and unchanged by the caller until Close).
    // Fails when already open, for a null block or a size of 0.
    virtual bool OpenMemory(const void* block, uint32_t size) = 0;
    // Opens an existing file for reading. Fails when already open or the file cannot be opened.
    virtual bool OpenFile(const char* path) = 0;
    // Detaches the source; the stream can be opened again.
    virtual void Close() = 0;
};

// IVELStd::CreateInterface id of a new, closed IStdFileStream.
inline constexpr GUID IID_IStdFileStream = {0x47827C51, 0xF63F, 0x4163, {0x91, 0x66, 0xF5, 0x63, 0x41, 0x3A, 0x2F, 0x7D}};

} // namespace VEL
