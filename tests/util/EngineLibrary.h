// EngineLibrary.h - loads a built engine library the way a game does (dlopen + exports).
#pragma once

#include "VEL.h"

#include <string>

namespace veltest {

// Path of a built library file, e.g. LibraryPath("VELStd6") -> <build>/lib/libVELStd6.so.
std::string LibraryPath(const std::string& name);

// A dlopen'ed library; the handle is closed on destruction.
class EngineLibrary {
public:
    explicit EngineLibrary(const std::string& name);
    ~EngineLibrary();
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }
    void* Symbol(const char* name) const;
    template <class F>
    F Export(const char* name) const { return reinterpret_cast<F>(Symbol(name)); }

    // CreateObject with the framework id, cast to the root interface.
    template <class Root>
    Root* CreateRoot() const
    {
        auto create = Export<VEL::PFN_CreateObject>("CreateObject");
        return create ? static_cast<Root*>(create(&VEL::ID_VELFramework)) : nullptr;
    }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// Releases an engine object when it leaves scope (for tests that may fail midway).
template <class T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    explicit Ref(T* object) : p(object) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { reset(); }
    void reset(T* object = nullptr)
    {
        if (p)
            p->Release();
        p = object;
    }
    T* release() { T* r = p; p = nullptr; return r; }
    T* operator->() const { return p; }
    T* get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace veltest
