// Keyboard and controllers through the engine's devices: which controller an index opens, the
// state layouts with the -1000 ... +1000 axes, and the results passed through for misuse.
#include "DIFixture.h"

#include <vector>

using namespace VEL;
using veltest::Ref;

TEST_F(DIPadTest, ControllerIndexFollowsTheEnumerationOrder)
{
    const int32_t first = Attach(2, 2, 0, "First");
    const int32_t second = Attach(2, 2, 0, "Second");
    ASSERT_EQ(platctl_dinput_set_axis(first, 0, -32768), 0);
    ASSERT_EQ(platctl_dinput_set_axis(second, 0, 32767), 0);

    Ref<IDIInput> one(root->CreateJoystick(1));
    ASSERT_TRUE(one);
    EXPECT_EQ(Read(one.get()).lX, 1000) << "index 1 opens the second controller";
    Ref<IDIInput> zero(root->CreateJoystick(0));
    ASSERT_TRUE(zero);
    EXPECT_EQ(Read(zero.get()).lX, -1000);
    EXPECT_EQ(root->CreateJoystick(2), nullptr) << "only two are attached";
    EXPECT_EQ(root->GetRefCount(), 3) << "each device holds the root";
}

TEST_F(DIPadTest, IndicesPastFifteenAreRefusedEvenWithMoreControllers)
{
    std::vector<int32_t> pads;
    for (int i = 0; i < 17; ++i)
        pads.push_back(Attach(1, 0, 0));
    ASSERT_EQ(platctl_dinput_set_axis(pads[15], 0, 32767), 0);

    const uint32_t before = platctl_dinput_live_objects();
    EXPECT_EQ(root->CreateJoystick(16), nullptr);
    EXPECT_EQ(root->CreateJoystick(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(platctl_dinput_live_objects(), before) << "nothing was opened";

    Ref<IDIInput> last(root->CreateJoystick(15));
    ASSERT_TRUE(last);
    EXPECT_EQ(Read(last.get()).lX, 1000) << "index 15 is the sixteenth controller";
}

TEST_F(DIPadTest, ControllerStateHasAxesHatsAndButtonsInPlace)
{
    const int32_t pad = Attach(8, 12, 2);
    Ref<IDIInput> joystick(root->CreateJoystick(0));
    ASSERT_TRUE(joystick);

    const struct {
        int16_t raw;
        LONG expected;
    } positions[] = {{-32768, -1000}, {0, 0}, {32767, 1000}};
    for (const auto& p : positions) {
        for (int axis = 0; axis < 8; ++axis)
            ASSERT_EQ(platctl_dinput_set_axis(pad, axis, p.raw), 0);
        const DIJOYSTATE2 s = Read(joystick.get());
        const LONG axes[8] = {s.lX, s.lY, s.lZ, s.lRx, s.lRy, s.lRz, s.rglSlider[0], s.rglSlider[1]};
        for (int axis = 0; axis < 8; ++axis)
            EXPECT_EQ(axes[axis], p.expected) << "raw " << p.raw << ", axis " << axis;
    }

    ASSERT_EQ(platctl_dinput_set_hat(pad, 1, PLATCTL_HAT_DOWN | PLATCTL_HAT_LEFT), 0);
    ASSERT_EQ(platctl_dinput_set_button(pad, 0, 1), 0);
    ASSERT_EQ(platctl_dinput_set_button(pad, 11, 1), 0);
    const DIJOYSTATE2 s = Read(joystick.get());
    EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
    EXPECT_EQ(s.rgdwPOV[1], 22500u);
    EXPECT_EQ(s.rgdwPOV[2], 0xFFFFFFFFu);
    EXPECT_EQ(s.rgdwPOV[3], 0xFFFFFFFFu);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(s.rgbButtons[i], (i == 0 || i == 11) ? 0x80 : 0) << "button " << i;
    EXPECT_EQ(s.lVX, 0);
    EXPECT_EQ(s.lARz, 0);
    EXPECT_EQ(s.rglFSlider[1], 0);

    // The host-side declaration of the layout reads the same state.
    DIInputJoystickState host;
    ASSERT_EQ(joystick->GetState(sizeof host, &host), DI_OK);
    EXPECT_EQ(host.axes[0], 1000);
    EXPECT_EQ(host.axes[7], 1000);
    EXPECT_EQ(host.pov[1], 22500u);
    EXPECT_EQ(host.buttons[11], 0x80);
}

TEST_F(DITest, InjectedKeysShowInTheKeyArray)
{
    Ref<IDIInput> keyboard(root->CreateKeyboard());
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(keyboard->Poll(), DI_NOEFFECT);

    const struct {
        uint32_t usage;
        int dik;
    } keys[] = {{0x04, DIK_A}, {0x29, DIK_ESCAPE}, {0x52, DIK_UP}, {0xE4, DIK_RCONTROL}, {0x2C, DIK_SPACE}};
    for (const auto& k : keys)
        ASSERT_EQ(platctl_dinput_key(k.usage, 1), 0);
    uint8_t state[256];
    ASSERT_EQ(keyboard->GetState(sizeof state, state), DI_OK);
    int down = 0;
    for (int i = 0; i < 256; ++i)
        down += state[i] != 0;
    EXPECT_EQ(down, 5);
    for (const auto& k : keys)
        EXPECT_EQ(state[k.dik], 0x80) << "code " << k.dik;

    for (const auto& k : keys)
        ASSERT_EQ(platctl_dinput_key(k.usage, 0), 0);
    ASSERT_EQ(keyboard->GetState(sizeof state, state), DI_OK);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(state[i], 0) << "code " << i;
}

TEST_F(DIPadTest, WrongStateSizesFailAndWriteNothing)
{
    Attach(2, 2, 1);
    Ref<IDIInput> keyboard(root->CreateKeyboard());
    Ref<IDIInput> joystick(root->CreateJoystick(0));
    ASSERT_TRUE(keyboard);
    ASSERT_TRUE(joystick);

    uint8_t buffer[512];
    std::memset(buffer, 0xC3, sizeof buffer);
    const struct {
        IDIInput* device;
        uint32_t size;
    } cases[] = {{keyboard.get(), 0},   {keyboard.get(), 255}, {keyboard.get(), 257}, {keyboard.get(), 272},
                 {joystick.get(), 80},  {joystick.get(), 256}, {joystick.get(), 271}, {joystick.get(), 512}};
    for (const auto& c : cases)
        EXPECT_EQ(c.device->GetState(c.size, buffer), DIERR_INVALIDPARAM) << c.size << " bytes";
    EXPECT_EQ(keyboard->GetState(256, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(joystick->GetState(272, nullptr), DIERR_INVALIDPARAM);
    for (uint8_t b : buffer)
        ASSERT_EQ(b, 0xC3);
}

TEST_F(DIPadTest, AnUnpluggedControllerReportsThePlatformsCodes)
{
    const int32_t pad = Attach(2, 2, 1);
    Ref<IDIInput> joystick(root->CreateJoystick(0));
    ASSERT_TRUE(joystick);
    Read(joystick.get());
    ASSERT_EQ(platctl_dinput_detach_controller(pad), 0);
    DIJOYSTATE2 s;
    EXPECT_EQ(joystick->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(joystick->GetState(sizeof s, &s), DIERR_NOTACQUIRED);
    EXPECT_EQ(root->CreateJoystick(0), nullptr);
}
