// The library's exports, reference counting and the root factory.
#include "StdFixture.h"

#include <cstring>

using namespace VEL;

TEST(StdModule, CreateObjectAcceptsOnlyTheFrameworkId)
{
    veltest::EngineLibrary lib("VELStd6");
    ASSERT_TRUE(lib.Loaded()) << lib.Error();
    auto create = lib.Export<PFN_CreateObject>("CreateObject");
    ASSERT_NE(create, nullptr);

    GUID wrong = ID_VELFramework;
    wrong.Data4[7] ^= 1;
    EXPECT_EQ(create(&wrong), nullptr);
    EXPECT_EQ(create(nullptr), nullptr);

    IVELInterface* a = create(&ID_VELFramework);
    IVELInterface* b = create(&ID_VELFramework);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b) << "every call makes a new root";
    EXPECT_EQ(a->Release(), 0);
    EXPECT_EQ(b->Release(), 0);
}

TEST(StdModule, GetDLLVersionWritesExactlyEightBytes)
{
    veltest::EngineLibrary lib("VELStd6");
    auto version = lib.Export<PFN_GetDLLVersion>("GetDLLVersion");
    ASSERT_NE(version, nullptr);
    char buffer[16];
    std::memset(buffer, 0x5A, sizeof buffer);
    version(buffer);
    EXPECT_EQ(std::memcmp(buffer, "6.8.0.0", 8), 0);
    for (size_t i = 8; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 0x5A) << "byte " << i;
}

TEST_F(StdTest, ReferenceCounting)
{
    EXPECT_EQ(root->GetRefCount(), 1);
    EXPECT_EQ(root->AddRef(), 2);
    EXPECT_EQ(root->GetRefCount(), 2);
    EXPECT_EQ(root->Release(), 1);
    EXPECT_EQ(root->GetRefCount(), 1);
}

TEST_F(StdTest, FactoryMakesANewObjectPerKnownId)
{
    const GUID ids[] = {IID_IStdGraphicsLoader, IID_IStdFPSWait, IID_IStdFileStream};
    for (const GUID& id : ids) {
        IVELInterface* first = root->CreateInterface(&id);
        IVELInterface* second = root->CreateInterface(&id);
        ASSERT_NE(first, nullptr);
        EXPECT_NE(first, second);
        EXPECT_EQ(first->GetRefCount(), 1);
        EXPECT_EQ(first->Release(), 0);
        EXPECT_EQ(second->Release(), 0);
    }
    EXPECT_EQ(root->GetRefCount(), 1) << "sub-objects hold no reference to the root";

    GUID unknown = IID_IStdFileStream;
    unknown.Data1 ^= 0x100;
    EXPECT_EQ(root->CreateInterface(&unknown), nullptr);
    EXPECT_EQ(root->CreateInterface(&ID_VELFramework), nullptr);
    EXPECT_EQ(root->CreateInterface(nullptr), nullptr);
}

TEST_F(StdTest, SubObjectsOutliveTheRoot)
{
    auto* stream = Create<IStdFileStream>(IID_IStdFileStream);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(root->Release(), 0);
    root = nullptr;

    const char bytes[] = "0123456789";
    ASSERT_TRUE(stream->OpenMemory(bytes, 10));
    char out[4] = {};
    EXPECT_EQ(stream->Read(out, 4, 1), 1u);
    EXPECT_EQ(std::memcmp(out, "0123", 4), 0);
    EXPECT_EQ(stream->Release(), 0);
}
