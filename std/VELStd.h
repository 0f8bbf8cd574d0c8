// VELStd.h - CVELStd, the standard library's root object.
#pragma once

#include "IVELStd.h"
#include "VELObject.h"

namespace VEL {

// Stateless apart from its count: the helpers use only their arguments and the process-wide
// trigonometry tables, which the first root builds.
class CVELStd : public TVELObject<IVELStd> {
public:
    CVELStd();
    IVELInterface* CreateInterface(const GUID* id) override;
    void Swap(uint32_t* a, uint32_t* b) override;
    void MemoryCopy(void* destination, const void* source, uint32_t bytes) override;
    void MemorySwap(void* a, void* b, uint32_t bytes) override;
    void MemoryCopyRepeat(void* destination, const void* source, uint32_t blockBytes, uint32_t repeat) override;
    void MemoryFill16(void* destination, uint32_t value, uint32_t count) override;
    void MemoryFill32(void* destination, uint32_t value, uint32_t count) override;
    float Sin(float degrees) override;
    float Cos(float degrees) override;
    float ATan2(int32_t y, int32_t x) override;
    float Pow(float x, int32_t n) override;
    ~CVELStd() override = default;
};

} // namespace VEL
