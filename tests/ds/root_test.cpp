// The sound root: exports, binding to a window, the device query, lifetime of the root.
#include "DSFixture.h"

#include "dsound.h"

#include <cstring>

namespace dstest {
namespace {

TEST(DSModule, RootFactoryRejectsUnknownIds)
{
    veltest::EngineLibrary ds("VELDS6");
    ASSERT_TRUE(ds.Loaded()) << ds.Error();
    GUID wrong = VEL::ID_VELFramework;
    wrong.Data4[7] ^= 1;
    auto* root = ds.CreateRoot<VEL::IVELDS>();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->CreateInterface(&wrong), nullptr);
    EXPECT_EQ(root->Release(), 0);
}

class DSRootTest : public DSTest {};

TEST_F(DSRootTest, InitializeBindsOnceAndTheDeviceQueryBorrows)
{
    Ref<VEL::IVELDS> fresh(ds.CreateRoot<VEL::IVELDS>());
    EXPECT_EQ(fresh->CreateInterface(&VEL::IID_VELDSDevice), nullptr);
    EXPECT_FALSE(fresh->Initialize(nullptr));
    EXPECT_EQ(fresh->CreateInterface(&VEL::IID_VELDSDevice), nullptr);

    ASSERT_TRUE(fresh->Initialize(Window()));
    VEL::IVELInterface* device = fresh->CreateInterface(&VEL::IID_VELDSDevice);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(fresh->CreateInterface(&VEL::IID_VELDSDevice), device);
    EXPECT_EQ(fresh->GetRefCount(), 1);
    EXPECT_FALSE(fresh->Initialize(Window()));
    EXPECT_EQ(fresh->CreateInterface(&VEL::IID_VELDSDevice), device);

    // The borrowed pointer is the platform device, usable for as long as the root is bound.
    auto* direct = reinterpret_cast<IDirectSound8*>(device);
    IDirectSound8* asked = nullptr;
    EXPECT_EQ(direct->QueryInterface(IID_IDirectSound8, reinterpret_cast<void**>(&asked)), S_OK);
    EXPECT_EQ(asked, direct);
    asked->Release();

    fresh->Uninitialize();
    EXPECT_EQ(fresh->CreateInterface(&VEL::IID_VELDSDevice), nullptr);
    EXPECT_TRUE(fresh->Initialize(Window()));
}

TEST_F(DSRootTest, ObjectsKeepTheirRootAliveAndLoadOnlyWhileBound)
{
    Ref<VEL::IVELDS> other(ds.CreateRoot<VEL::IVELDS>());
    auto* buffer = static_cast<VEL::IDSSoundBuffer*>(other->CreateInterface(&VEL::IID_IDSSoundBuffer));
    auto* media = static_cast<VEL::IDSMediaStream*>(other->CreateInterface(&VEL::IID_IDSMediaStream));
    ASSERT_TRUE(buffer && media);
    EXPECT_EQ(other->GetRefCount(), 3);

    fixtures::WavLayout layout;
    layout.data = fixtures::Pcm16Bytes(fixtures::Tone(4410, 2, 44100, 440, 8000));
    // Created before Initialize: loading needs the device and fails until the root is bound.
    EXPECT_FALSE(buffer->Load(Wav(layout), nullptr));
    EXPECT_FALSE(media->Open(Wav(layout), "wav", false, 0, nullptr));
    EXPECT_EQ(media->GetStatus(), 4);
    ASSERT_TRUE(other->Initialize(Window()));
    EXPECT_TRUE(buffer->Load(Wav(layout), nullptr));
    EXPECT_EQ(buffer->GetLength(), 100u);
    EXPECT_TRUE(media->Open(Wav(layout), "wav", false, 0, nullptr));

    // The host lets go of the root first; its objects (and the media stream's player) still
    // work and hold it.
    VEL::IVELDS* raw = other.release();
    EXPECT_EQ(raw->Release(), 3);
    buffer->Play();
    EXPECT_EQ(buffer->GetStatus(), 1);
    media->Play();
    EXPECT_EQ(media->GetStatus(), 1);
    EXPECT_EQ(buffer->Release(), 0);
    EXPECT_EQ(raw->GetRefCount(), 2);
    EXPECT_EQ(media->Release(), 0);
}

} // namespace
} // namespace dstest
