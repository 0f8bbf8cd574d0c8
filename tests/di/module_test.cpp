// The library's exports, the root's life and the DirectInput object it holds.
#include "DIFixture.h"

using namespace VEL;
using veltest::Ref;

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
