#include "VELStd.h"

#include "ModuleExports.h"
#include "StdFPSWait.h"
#include "StdFileStream.h"
#include "StdGraphicsLoader.h"
#include "Trigonometry.h"

#include <cstring>
#include <vector>

namespace VEL {

CVELStd::CVELStd() { trig::BuildTables(); }

IVELInterface* CVELStd::CreateInterface(const GUID* id)
{
    if (!id)
        return nullptr;
    if (IsSameId(*id, IID_IStdGraphicsLoader))
        return new CStdGraphicsLoader();
    if (IsSameId(*id, IID_IStdFPSWait))
        return new CStdFPSWait();
    if (IsSameId(*id, IID_IStdFileStream))
        return new CStdFileStream();
    return nullptr;
}

void CVELStd::Swap(uint32_t* a, uint32_t* b)
{
    if (!a || !b)
        return;
    const uint32_t t = *a;
    *a = *b;
    *b = t;
}

void CVELStd::MemoryCopy(void* destination, const void* source, uint32_t bytes)
{
    if (!destination || !source)
        return;
    auto* d = static_cast<uint8_t*>(destination);
    const auto* s = static_cast<const uint8_t*>(source);
    const auto from = reinterpret_cast<uintptr_t>(s), to = reinterpret_cast<uintptr_t>(d);
    if (to + bytes <= from || from + bytes <= to) {
        std::memcpy(d, s, bytes);
        return;
    }
    // Overlapping blocks get the strictly forward copy, words first, then the remaining bytes.
    uint32_t i = 0;
    for (; i + 4 <= bytes; i += 4) {
        uint32_t word;
        std::memcpy(&word, s + i, 4);
        std::memcpy(d + i, &word, 4);
    }
    for (; i < bytes; ++i)
        d[i] = s[i];
}

void CVELStd::MemorySwap(void* a, void* b, uint32_t bytes)
{
    if (!a || !b || bytes == 0)
        return;
    std::vector<uint8_t> temporary(bytes); // throws on exhaustion before either block is touched
    MemoryCopy(temporary.data(), a, bytes);
    MemoryCopy(a, b, bytes);
    MemoryCopy(b, temporary.data(), bytes);
}

void CVELStd::MemoryCopyRepeat(void* destination, const void* source, uint32_t blockBytes, uint32_t repeat)
{
    for (uint32_t k = 0; k < repeat; ++k)
        MemoryCopy(destination ? static_cast<uint8_t*>(destination) + static_cast<size_t>(k) * blockBytes : nullptr,
                   source, blockBytes);
}

void CVELStd::MemoryFill16(void* destination, uint32_t value, uint32_t count)
{
    if (!destination || count == 0)
        return;
    const uint16_t v = static_cast<uint16_t>(value);
    auto* d = static_cast<uint8_t*>(destination);
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(d + 2 * static_cast<size_t>(i), &v, 2);
}

void CVELStd::MemoryFill32(void* destination, uint32_t value, uint32_t count)
{
    if (!destination || count == 0)
        return;
    auto* d = static_cast<uint8_t*>(destination);
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(d + 4 * static_cast<size_t>(i), &value, 4);
}


} // namespace VEL

VEL_DEFINE_MODULE_EXPORTS(VEL::CVELStd)
