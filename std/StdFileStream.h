// StdFileStream.h - IStdFileStream over a read-only file or a borrowed memory block.
#pragma once

#include "IDataStream.h"
#include "VELObject.h"
#include "win_kernel.h"

namespace VEL {

// Not locked: one stream is used from one thread at a time.
class CStdFileStream final : public TVELObject<IStdFileStream> {
public:
    bool IsEOF() override;
    uint32_t GetSize() override;
    uint32_t GetPosition() override;
    void Seek(int32_t offset, int32_t origin) override;
    uint32_t Read(void* destination, uint32_t elementSize, uint32_t count) override;
    bool OpenMemory(const void* block, uint32_t size) override;
    bool OpenFile(const char* path) override;
    void Close() override;
    ~CStdFileStream() override;

private:
    bool open_ = false;
    bool memoryBacked_ = false;
    const uint8_t* memoryBase_ = nullptr; // borrowed, never freed
    HANDLE file_ = nullptr;               // owned in file mode
    uint32_t size_ = 0;
    uint32_t position_ = 0; // invariant while open: position_ <= size_
};

} // namespace VEL
