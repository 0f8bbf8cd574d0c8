// VELInterface.h - the contract every engine library shares with its host.
//
// A host loads an engine library (dlopen), looks up its `CreateObject` export, calls it with a
// pointer to VEL::ID_VELFramework and receives the library's root object with one reference.
// Every engine object derives from IVELInterface; the last Release destroys it inside the
// library that created it. Reference counting is not atomic: one object's AddRef/Release must
// not run on two threads at once.
#pragma once

#include <cstdint>

#ifndef GUID_DEFINED
#define GUID_DEFINED
// A 16-byte interface id in the usual GUID layout. Ids are compared byte for byte.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
#endif

namespace VEL {

// Base of every engine object.
class IVELInterface {
public:
    // Adds one reference; returns the new count.
    virtual int32_t AddRef() = 0;
    // Drops one reference; at zero the object destroys itself and 0 is returned.
    virtual int32_t Release() = 0;
    // The current count, unchanged.
    virtual int32_t GetRefCount() = 0;
};

// Opens every core library: pass its address to CreateObject.
inline constexpr GUID ID_VELFramework = {0x704A0130, 0xC399, 0x4662, {0x96, 0x26, 0xC1, 0xBB, 0x39, 0x95, 0x52, 0x48}};

// Exports of the core libraries (VELStd6, VELD3D6, VELDS6, VELDI6, VELWin6).
// CreateObject: returns the module's new root (count 1), or null for any other id.
using PFN_CreateObject = IVELInterface* (*)(const GUID* id);
// GetDLLVersion: writes the 8 bytes "6.8.0.0\0" into the buffer.
using PFN_GetDLLVersion = void (*)(char* buffer);

} // namespace VEL
