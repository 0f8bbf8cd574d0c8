// The standard root: reference counting, the factory, and sub-objects that outlive it.
#include "StdFixture.h"

#include <cstring>

using namespace VEL;

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
