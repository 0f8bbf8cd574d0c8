// IVELStd.h - the standard library's root: factory and numeric helpers.
#pragma once

#include "IDataStream.h"
#include "IStdFPSWait.h"
#include "IStdGraphicsLoader.h"

namespace VEL {

// Root of libVELStd6. Sub-objects it creates hold no reference to it.
class IVELStd : public IVELInterface {
public:
    // A new object for IID_IStdGraphicsLoader, IID_IStdFPSWait or IID_IStdFileStream (count 1),
    // null for any other id.
    virtual IVELInterface* CreateInterface(const GUID* id) = 0;
    // Exchanges two 32-bit values.
    virtual void Swap(uint32_t* a, uint32_t* b) = 0;
    // Forward copy, words then bytes; nothing for a null pointer. Blocks must not overlap.
    virtual void MemoryCopy(void* destination, const void* source, uint32_t bytes) = 0;
    // Exchanges two blocks through a temporary buffer.
    virtual void MemorySwap(void* a, void* b, uint32_t bytes) = 0;
    // Copies the source block `repeat` times one after another into the destination.
    virtual void MemoryCopyRepeat(void* destination, const void* source, uint32_t blockBytes, uint32_t repeat) = 0;
    // Writes the low 16 bits of value `count` times.
    virtual void MemoryFill16(void* destination, uint32_t value, uint32_t count) = 0;
    virtual void MemoryFill32(void* destination, uint32_t value, uint32_t count) = 0;
    // Table-driven trigonometry in degrees (65536 steps per turn, first-order corrected).
    virtual float Sin(float degrees) = 0;
    virtual float Cos(float degrees) = 0;
    // Angle of (x, y) in degrees, -180 ... 180.
    virtual float ATan2(int32_t y, int32_t x) = 0;
    // x raised to an integer power by repeated single-precision multiplication or division.
    virtual float Pow(float x, int32_t n) = 0;
};

} // namespace VEL
