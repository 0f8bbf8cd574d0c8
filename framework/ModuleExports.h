// ModuleExports.h - the exported entry points of a core engine library.
#pragma once

#include "VELObject.h"

#include <new>

#define VEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace VEL {

// Writes the module version "6.8.0.0" and its terminator: exactly 8 bytes.
void WriteDLLVersion(char* buffer);

} // namespace VEL

// Defines CreateObject (a new RootClass for the framework id, null otherwise) and GetDLLVersion.
#define VEL_DEFINE_MODULE_EXPORTS(RootClass)                                                         \
    VEL_EXPORT VEL::IVELInterface* CreateObject(const GUID* id)                                      \
    {                                                                                                \
        if (!id || !VEL::IsSameId(*id, VEL::ID_VELFramework))                                        \
            return nullptr;                                                                          \
        return new RootClass();                                                                      \
    }                                                                                                \
    VEL_EXPORT void GetDLLVersion(char* buffer) { VEL::WriteDLLVersion(buffer); }
