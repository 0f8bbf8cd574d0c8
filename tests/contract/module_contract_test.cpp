// The exports every core library shares: CreateObject with the framework id only, a new root on
// every call, plain reference counting, and GetDLLVersion writing exactly "6.8.0.0\0".
#include "EngineLibrary.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace VEL;

class CoreModule : public ::testing::TestWithParam<const char*> {};

TEST_P(CoreModule, CreateObjectAcceptsOnlyTheFrameworkId)
{
    veltest::EngineLibrary lib(GetParam());
    ASSERT_TRUE(lib.Loaded()) << lib.Error();
    auto create = lib.Export<PFN_CreateObject>("CreateObject");
    ASSERT_NE(create, nullptr);

    GUID wrong = ID_VELFramework;
    wrong.Data4[7] ^= 1;
    EXPECT_EQ(create(&wrong), nullptr);
    wrong = ID_VELFramework;
    wrong.Data1 ^= 0x80000000u;
    EXPECT_EQ(create(&wrong), nullptr);
    EXPECT_EQ(create(nullptr), nullptr);

    IVELInterface* a = create(&ID_VELFramework);
    IVELInterface* b = create(&ID_VELFramework);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b) << "every call makes a new root";
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(a->AddRef(), 2);
    EXPECT_EQ(a->GetRefCount(), 2);
    EXPECT_EQ(a->Release(), 1);
    EXPECT_EQ(a->Release(), 0);
    EXPECT_EQ(b->Release(), 0);
}

TEST_P(CoreModule, GetDLLVersionWritesExactlyEightBytes)
{
    veltest::EngineLibrary lib(GetParam());
    ASSERT_TRUE(lib.Loaded()) << lib.Error();
    auto version = lib.Export<PFN_GetDLLVersion>("GetDLLVersion");
    ASSERT_NE(version, nullptr);
    char buffer[16];
    std::memset(buffer, 0x5A, sizeof buffer);
    version(buffer);
    EXPECT_EQ(std::memcmp(buffer, "6.8.0.0", 8), 0);
    for (size_t i = 8; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 0x5A) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Libraries, CoreModule, ::testing::Values("VELStd6", "VELD3D6", "VELDS6", "VELDI6", "VELWin6"),
                         [](const auto& info) { return std::string(info.param); });
