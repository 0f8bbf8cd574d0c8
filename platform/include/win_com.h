// win_com.h - the component object base: IUnknown, per-thread initialisation, object creation by
// class id, and the task memory allocator. Implemented by libplat_com.so (IUnknown is header-only).
#pragma once

#include "win_types.h"

#ifndef PLAT_API
#define PLAT_API extern "C" __attribute__((visibility("default")))
#endif

// Every platform object interface derives from IUnknown. Counting follows COM: AddRef and Release
// return the new count; the last Release destroys the object.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
using LPUNKNOWN = IUnknown*;

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// --- results ------------------------------------------------------------------------------------
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);

// --- initialisation -----------------------------------------------------------------------------
// Concurrency models of CoInitializeEx.
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Initialises the component system on the calling thread: S_OK the first time, S_FALSE when the
// thread is already initialised with the same model (each success needs one CoUninitialize),
// RPC_E_CHANGED_MODE when it is initialised with the other model (nothing counted).
// CoInitialize is CoInitializeEx with COINIT_APARTMENTTHREADED. `reserved` must be null.
PLAT_API HRESULT CoInitialize(void* reserved);
PLAT_API HRESULT CoInitializeEx(void* reserved, DWORD model);
// Undoes one successful initialisation of the calling thread; nothing when there is none.
PLAT_API void CoUninitialize();

// --- objects ------------------------------------------------------------------------------------
// Server contexts of CoCreateInstance (every class here is in-process).
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER;

// Creates an object of class `clsid` and returns its interface `iid` in *object (null on every
// failure): E_POINTER for a null `object`, CO_E_NOTINITIALIZED when the calling thread has not
// initialised the component system, REGDB_E_CLASSNOTREG for a class this platform does not
// provide or a context without in-process servers, CLASS_E_NOAGGREGATION for an outer object the
// class does not support, else what the class reports (E_NOINTERFACE, E_OUTOFMEMORY...).
PLAT_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// --- task memory --------------------------------------------------------------------------------
// Memory that crosses component boundaries (format blocks, returned strings). CoTaskMemAlloc
// returns null when out of memory; a size of 0 gives a valid, distinct block. CoTaskMemFree
// accepts null.
PLAT_API void* CoTaskMemAlloc(size_t bytes);
PLAT_API void CoTaskMemFree(void* block);
