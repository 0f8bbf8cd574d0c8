#include "EngineLibrary.h"

#include <dlfcn.h>

namespace veltest {

std::string LibraryPath(const std::string& name) { return std::string(VEL_LIB_DIR) + "/lib" + name + ".so"; }

EngineLibrary::EngineLibrary(const std::string& name)
{
    handle_ = dlopen(LibraryPath(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        error_ = dlerror();
}

EngineLibrary::~EngineLibrary()
{
    if (handle_)
        dlclose(handle_);
}

void* EngineLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

} // namespace veltest
