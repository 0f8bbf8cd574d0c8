// MemoryStream.h - a host-side IDataStream over a byte vector it owns, with the data-stream
// semantics hosts must offer (clamped seeks, partial last element delivered but not counted).
// Used by the BMP decoder tests, its benchmark and its fuzz target.
#pragma once

#include "IDataStream.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace veltest {

class MemoryStream final : public VEL::IDataStream {
public:
    // Count 1; the last Release deletes it.
    static MemoryStream* Create(std::vector<uint8_t> bytes) { return new MemoryStream(std::move(bytes)); }

    int32_t AddRef() override { return ++refs_; }
    int32_t Release() override
    {
        if (--refs_ == 0) {
            delete this;
            return 0;
        }
        return refs_;
    }
    int32_t GetRefCount() override { return refs_; }

    bool IsEOF() override { return position_ == Size(); }
    uint32_t GetSize() override { return Size(); }
    uint32_t GetPosition() override { return position_; }
    void Seek(int32_t offset, int32_t origin) override
    {
        uint32_t next;
        switch (origin) {
        case 0: next = static_cast<uint32_t>(offset); break;
        case 1: next = position_ + static_cast<uint32_t>(offset); break;
        case 2: next = Size() - static_cast<uint32_t>(offset); break;
        default: return;
        }
        position_ = next > Size() ? Size() : next;
    }
    uint32_t Read(void* destination, uint32_t elementSize, uint32_t count) override
    {
        if (IsEOF() || elementSize == 0 || count == 0)
            return 0;
        auto* out = static_cast<uint8_t*>(destination);
        uint32_t whole = 0;
        for (uint32_t i = 0; i < count && position_ < Size(); ++i) {
            uint32_t chunk = elementSize;
            if (static_cast<uint64_t>(position_) + elementSize > Size())
                chunk = Size() - position_;
            else
                ++whole;
            std::memcpy(out, bytes_.data() + position_, chunk);
            position_ += chunk;
            out += chunk;
        }
        return whole;
    }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    virtual ~MemoryStream() = default;
    uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }

    int32_t refs_ = 1;
    uint32_t position_ = 0;
    std::vector<uint8_t> bytes_;
};

} // namespace veltest
