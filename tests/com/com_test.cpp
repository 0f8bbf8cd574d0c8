// The component system as the engine and the media graph use it.
#include "win_com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

constexpr CLSID kFilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

HRESULT Create(void** out) { return CoCreateInstance(kFilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, out); }

TEST(Com, CreationNeedsTheCallingThreadInitialised)
{
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(Create(&object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(kFilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    object = reinterpret_cast<void*>(0x1);
    // No class is provided yet: every class id is unknown.
    EXPECT_EQ(Create(&object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(GUID_NULL, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);

    // Initialisation belongs to a thread.
    std::thread other([] {
        void* o = nullptr;
        EXPECT_EQ(Create(&o), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(Create(&o), REGDB_E_CLASSNOTREG);
        CoUninitialize();
    });
    other.join();
    CoUninitialize();
    EXPECT_EQ(Create(&object), CO_E_NOTINITIALIZED);
}

TEST(Com, InitialisationIsCountedPerThreadAndKeepsItsModel)
{
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoInitialize(reinterpret_cast<void*>(0x10)), E_INVALIDARG);
    CoUninitialize();
    void* object = nullptr;
    EXPECT_EQ(Create(&object), REGDB_E_CLASSNOTREG); // one initialisation left
    CoUninitialize();
    EXPECT_EQ(Create(&object), CO_E_NOTINITIALIZED);
    CoUninitialize(); // one too many: nothing
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); // a new model after the last
    CoUninitialize();
}

TEST(Com, TaskMemory)
{
    auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(64));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, 64);
    void* empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    EXPECT_NE(empty, block);
    CoTaskMemFree(block);
    CoTaskMemFree(empty);
    CoTaskMemFree(nullptr);
}

} // namespace
