// com.cpp - per-thread initialisation, CoCreateInstance over the class table, task memory.
//
// Threads: every call works on the calling thread's own state (thread_local); the class table is
// constant, so nothing here is shared between threads.
#include "class_table.h"

#include <cstdlib>

namespace {

// The calling thread's initialisations not yet undone, and the model of the first one.
thread_local uint32_t t_initCount = 0;
thread_local DWORD t_model = COINIT_APARTMENTTHREADED;

} // namespace

PLAT_API HRESULT CoInitializeEx(void* reserved, DWORD model)
{
    if (reserved)
        return E_INVALIDARG;
    // Only the model bit matters here; the other flags (speed hints) change nothing.
    model &= COINIT_APARTMENTTHREADED;
    if (t_initCount > 0) {
        if (model != t_model)
            return RPC_E_CHANGED_MODE;
        ++t_initCount;
        return S_FALSE;
    }
    t_model = model;
    t_initCount = 1;
    return S_OK;
}

PLAT_API HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

PLAT_API void CoUninitialize()
{
    if (t_initCount > 0)
        --t_initCount;
}

PLAT_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (t_initCount == 0)
        return CO_E_NOTINITIALIZED;
    if (!(context & CLSCTX_INPROC))
        return REGDB_E_CLASSNOTREG;
    for (const plat::com::ClassEntry& entry : plat::com::Classes()) {
        if (!(entry.clsid == clsid))
            continue;
        // An aggregating caller must ask for IUnknown, as COM requires.
        if (outer && (!entry.aggregatable || !(iid == IID_IUnknown)))
            return CLASS_E_NOAGGREGATION;
        const HRESULT hr = entry.create(outer, iid, object);
        if (FAILED(hr))
            *object = nullptr;
        return hr;
    }
    return REGDB_E_CLASSNOTREG;
}

PLAT_API void* CoTaskMemAlloc(size_t bytes) { return std::malloc(bytes ? bytes : 1); }

PLAT_API void CoTaskMemFree(void* block) { std::free(block); }
