// demo_library.h - how the demo host loads an engine or platform library: dlopen by file name
// from the library folder, exports by name, roots through CreateObject with the framework id.
#pragma once

#include "VELInterface.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

class DemoLibrary {
public:
    // name: the library's name without "lib" and ".so", e.g. "VELStd6".
    DemoLibrary(const std::string& dir, const char* name)
    {
        const std::string path = dir + "/lib" + name + ".so";
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_)
            std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
    }
    ~DemoLibrary()
    {
        if (handle_)
            dlclose(handle_);
    }
    DemoLibrary(const DemoLibrary&) = delete;
    DemoLibrary& operator=(const DemoLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }

    template <class F>
    F Get(const char* name) const
    {
        return handle_ ? reinterpret_cast<F>(dlsym(handle_, name)) : nullptr;
    }

    // A new root (one reference, the caller's) or null.
    template <class Root>
    Root* CreateRoot() const
    {
        auto create = Get<VEL::PFN_CreateObject>("CreateObject");
        return create ? static_cast<Root*>(create(&VEL::ID_VELFramework)) : nullptr;
    }

private:
    void* handle_ = nullptr;
};

// Releases an engine object and forgets it.
template <class T>
void DemoRelease(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}
