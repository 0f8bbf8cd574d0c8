// The library's exports, the root's life and the DirectInput object it holds.
#include "DIFixture.h"

using namespace VEL;
using veltest::Ref;

TEST(DIModule, ExportsFollowTheModuleContract)
{
    veltest::EngineLibrary lib("VELDI6");
    ASSERT_TRUE(lib.Loaded()) << lib.Error();
    auto create = lib.Export<PFN_CreateObject>("CreateObject");
    auto version = lib.Export<PFN_GetDLLVersion>("GetDLLVersion");
    ASSERT_NE(create, nullptr);
    ASSERT_NE(version, nullptr);

    GUID wrong = ID_VELFramework;
    wrong.Data4[7] ^= 1;
    EXPECT_EQ(create(&wrong), nullptr);
    IVELInterface* a = create(&ID_VELFramework);
    IVELInterface* b = create(&ID_VELFramework);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->AddRef(), 2);
    EXPECT_EQ(a->Release(), 1);
    EXPECT_EQ(a->Release(), 0);
    EXPECT_EQ(b->Release(), 0);

    char buffer[12];
    std::memset(buffer, 0x5A, sizeof buffer);
    version(buffer);
    EXPECT_EQ(std::memcmp(buffer, "6.8.0.0", 8), 0);
    EXPECT_EQ(buffer[8], 0x5A);
}

TEST_F(DITest, InitializeReplacesAndUninitializeDropsTheDirectInputObject)
{
    IDirectInput8A* first = root->GetDirectInput();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platctl_dinput_live_objects(), 1u);
    first->AddRef();
    EXPECT_EQ(first->Release(), 1u) << "GetDirectInput adds no reference";

    ASSERT_TRUE(root->Initialize(nullptr));
    EXPECT_NE(root->GetDirectInput(), nullptr);
    EXPECT_EQ(platctl_dinput_live_objects(), 1u) << "the previous object was released";

    root->Uninitialize();
    EXPECT_EQ(root->GetDirectInput(), nullptr);
    EXPECT_EQ(platctl_dinput_live_objects(), 0u);
    EXPECT_EQ(root->CreateKeyboard(), nullptr);
    EXPECT_EQ(root->CreateJoystick(0), nullptr);
    root->Uninitialize(); // again: nothing to drop
}

TEST(DIModule, DevicesNeedInitialize)
{
    veltest::EngineLibrary lib("VELDI6");
    Ref<IVELDI> root(lib.CreateRoot<IVELDI>());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetDirectInput(), nullptr);
    EXPECT_EQ(root->CreateKeyboard(), nullptr);
    EXPECT_EQ(root->CreateJoystick(0), nullptr);
}

TEST_F(DITest, DevicesKeepTheRootAlive)
{
    IDIInput* keyboard = root->CreateKeyboard();
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->GetRefCount(), 1);
    EXPECT_EQ(root->GetRefCount(), 2);

    // The host lets go of the root first; the keyboard still works and keeps it.
    EXPECT_EQ(root->Release(), 1);
    root = nullptr;
    EXPECT_EQ(platctl_dinput_live_objects(), 2u) << "the root still holds its DirectInput object";
    uint8_t keys[256];
    EXPECT_EQ(keyboard->GetState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keyboard->Release(), 0);
    EXPECT_EQ(platctl_dinput_live_objects(), 0u) << "root, DirectInput object and device all gone";
}

TEST_F(DIPadTest, DevicesOutliveUninitialize)
{
    const int32_t pad = Attach(2, 1, 0);
    Ref<IDIInput> joystick(root->CreateJoystick(0));
    ASSERT_TRUE(joystick);
    root->Uninitialize();
    ASSERT_EQ(platctl_dinput_set_axis(pad, 0, 32767), 0);
    EXPECT_EQ(Read(joystick.get()).lX, 1000);
}
