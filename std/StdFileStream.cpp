#include "StdFileStream.h"

#include <algorithm>
#include <cstring>

namespace VEL {

bool CStdFileStream::IsEOF() { return position_ == size_; }
uint32_t CStdFileStream::GetSize() { return size_; }
uint32_t CStdFileStream::GetPosition() { return position_; }

void CStdFileStream::Seek(int32_t offset, int32_t origin)
{
    if (!open_)
        return;
    // Unsigned 32-bit arithmetic: a position below 0 wraps to a large value and ends at the size.
    uint32_t target;
    switch (origin) {
    case 0: target = static_cast<uint32_t>(offset); break;
    case 1: target = position_ + static_cast<uint32_t>(offset); break;
    case 2: target = size_ - static_cast<uint32_t>(offset); break;
    default: return;
    }
    position_ = target > size_ ? size_ : target;
    if (!memoryBacked_) {
        LONG high = 0;
        SetFilePointer(file_, static_cast<LONG>(position_), &high, FILE_BEGIN);
    }
}

uint32_t CStdFileStream::Read(void* destination, uint32_t elementSize, uint32_t count)
{
    if (!open_ || IsEOF() || elementSize == 0 || count == 0)
        return 0;
    // Whole elements first, then at most one partial element that takes the rest of the stream.
    // Sizes are compared in 64 bits: an element size near 4 GB must not wrap past the end.
    const uint64_t remaining = size_ - position_;
    const uint64_t whole = std::min<uint64_t>(count, remaining / elementSize);
    uint64_t bytes = whole * elementSize;
    if (whole < count)
        bytes = remaining; // the partial last element, delivered but not counted
    if (memoryBacked_) {
        std::memcpy(destination, memoryBase_ + position_, bytes);
    } else {
        // Short platform reads are not detected: the position advances by what was asked for.
        DWORD done = 0;
        ReadFile(file_, destination, static_cast<DWORD>(bytes), &done, nullptr);
    }
    position_ += static_cast<uint32_t>(bytes);
    return static_cast<uint32_t>(whole);
}

bool CStdFileStream::OpenMemory(const void* block, uint32_t size)
{
    if (open_ || !block || size == 0)
        return false;
    memoryBase_ = static_cast<const uint8_t*>(block);
    size_ = size;
    position_ = 0;
    memoryBacked_ = true;
    open_ = true;
    return true;
}

bool CStdFileStream::OpenFile(const char* path)
{
    if (open_ || !path)
        return false;
    file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        file_ = nullptr;
        return false;
    }
    size_ = GetFileSize(file_, nullptr);
    position_ = 0;
    memoryBacked_ = false;
    open_ = true;
    return true;
}

void CStdFileStream::Close()
{
    if (!open_)
        return;
    position_ = 0;
    size_ = 0;
    memoryBase_ = nullptr;
    if (!memoryBacked_) {
        CloseHandle(file_);
        file_ = nullptr;
    }
    open_ = false;
}

CStdFileStream::~CStdFileStream() { Close(); }

} // namespace VEL
