// The system keyboard: injected key events land in the 256-byte key array at their DirectInput
// codes. Usages are USB HID keyboard usage ids, written out here as the HID tables give them.
#include "dinput_fixture.h"

#include <set>

namespace {

struct DInputKeyboardTest : DInputTest {
    void SetUp() override
    {
        DInputTest::SetUp();
        ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, keyboard.out(), nullptr), DI_OK);
        ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        ASSERT_EQ(keyboard->Acquire(), DI_OK);
    }
    void TearDown() override
    {
        keyboard.reset();
        DInputTest::TearDown();
    }

    // The codes whose bytes are set, each checked to be exactly 0x80.
    std::vector<int> Down()
    {
        uint8_t keys[256];
        std::memset(keys, 0x33, sizeof keys);
        EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
        std::vector<int> down;
        for (int i = 0; i < 256; ++i) {
            EXPECT_TRUE(keys[i] == 0 || keys[i] == 0x80) << "byte " << i << " = " << int(keys[i]);
            if (keys[i])
                down.push_back(i);
        }
        return down;
    }

    ComRef<IDirectInputDevice8A> keyboard;
};

} // namespace

TEST_F(DInputKeyboardTest, InjectedKeysShowAtTheirDirectInputCodes)
{
    const struct {
        uint32_t usage;
        int dik;
    } keys[] = {
        {0x04, DIK_A},          {0x1D, DIK_Z},          {0x1E, DIK_1},         {0x27, DIK_0},
        {0x28, DIK_RETURN},     {0x29, DIK_ESCAPE},     {0x2A, DIK_BACK},      {0x2C, DIK_SPACE},
        {0x31, DIK_BACKSLASH},  {0x35, DIK_GRAVE},      {0x39, DIK_CAPITAL},   {0x3A, DIK_F1},
        {0x45, DIK_F12},        {0x46, DIK_SYSRQ},      {0x48, DIK_PAUSE},     {0x49, DIK_INSERT},
        {0x4B, DIK_PRIOR},      {0x4E, DIK_NEXT},       {0x4F, DIK_RIGHT},     {0x50, DIK_LEFT},
        {0x51, DIK_DOWN},       {0x52, DIK_UP},         {0x53, DIK_NUMLOCK},   {0x54, DIK_DIVIDE},
        {0x55, DIK_MULTIPLY},   {0x58, DIK_NUMPADENTER}, {0x59, DIK_NUMPAD1},  {0x62, DIK_NUMPAD0},
        {0x63, DIK_DECIMAL},    {0x64, DIK_OEM_102},    {0x65, DIK_APPS},      {0x67, DIK_NUMPADEQUALS},
        {0x68, DIK_F13},        {0x87, DIK_ABNT_C1},    {0x89, DIK_YEN},       {0x8A, DIK_CONVERT},
        {0xE0, DIK_LCONTROL},   {0xE1, DIK_LSHIFT},     {0xE2, DIK_LMENU},     {0xE3, DIK_LWIN},
        {0xE4, DIK_RCONTROL},   {0xE5, DIK_RSHIFT},     {0xE6, DIK_RMENU},     {0xE7, DIK_RWIN},
    };
    for (const auto& k : keys) {
        ASSERT_EQ(platctl_dinput_key(k.usage, 1), 0);
        EXPECT_EQ(Down(), std::vector<int>{k.dik}) << "usage 0x" << std::hex << k.usage;
        ASSERT_EQ(platctl_dinput_key(k.usage, 0), 0);
        EXPECT_TRUE(Down().empty()) << "usage 0x" << std::hex << k.usage << " released";
    }

    // Several keys at once, released in another order.
    for (uint32_t usage : {0x04u, 0xE1u, 0x52u})
        ASSERT_EQ(platctl_dinput_key(usage, 1), 0);
    EXPECT_EQ(Down(), (std::vector<int>{DIK_A, DIK_LSHIFT, DIK_UP}));
    ASSERT_EQ(platctl_dinput_key(0xE1, 0), 0);
    EXPECT_EQ(Down(), (std::vector<int>{DIK_A, DIK_UP}));
    ASSERT_EQ(platctl_dinput_key(0x04, 0), 0);
    ASSERT_EQ(platctl_dinput_key(0x52, 0), 0);
    EXPECT_TRUE(Down().empty());

    EXPECT_EQ(platctl_dinput_key(512, 1), -1);
}

// Every key of a full-size PC keyboard (usages 0x04-0x65 and the eight modifiers) has a code of
// its own; the non-US # key (0x32) shares the backslash position as on a PC keyboard.
TEST_F(DInputKeyboardTest, EveryKeyOfAFullKeyboardHasItsOwnCode)
{
    std::set<int> codes;
    std::vector<uint32_t> usages;
    for (uint32_t u = 0x04; u <= 0x65; ++u)
        if (u != 0x32)
            usages.push_back(u);
    for (uint32_t u = 0xE0; u <= 0xE7; ++u)
        usages.push_back(u);
    for (uint32_t usage : usages) {
        ASSERT_EQ(platctl_dinput_key(usage, 1), 0);
        const auto down = Down();
        ASSERT_EQ(platctl_dinput_key(usage, 0), 0);
        ASSERT_EQ(down.size(), 1u) << "usage 0x" << std::hex << usage;
        EXPECT_TRUE(codes.insert(down[0]).second) << "usage 0x" << std::hex << usage << " shares code " << down[0];
    }
    ASSERT_EQ(platctl_dinput_key(0x32, 1), 0);
    EXPECT_EQ(Down(), std::vector<int>{DIK_BACKSLASH});
    ASSERT_EQ(platctl_dinput_key(0x32, 0), 0);
}

TEST_F(DInputKeyboardTest, KeysHeldBeforeTheDeviceOpenedAreReported)
{
    ASSERT_EQ(platctl_dinput_key(0x16, 1), 0); // S
    ComRef<IDirectInputDevice8A> late;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, late.out(), nullptr), DI_OK);
    ASSERT_EQ(late->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(late->Acquire(), DI_OK);
    uint8_t keys[256] = {};
    ASSERT_EQ(late->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_S], 0x80);
    ASSERT_EQ(platctl_dinput_key(0x16, 0), 0);
}

TEST_F(DInputKeyboardTest, StateSizeAndAcquisitionAreChecked)
{
    uint8_t keys[257];
    EXPECT_EQ(keyboard->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(257, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(DIJOYSTATE2), keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->Poll(), DI_NOEFFECT) << "the keyboard follows its events without polling";
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIJoystick2), DIERR_ACQUIRED);
    ASSERT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Poll(), DIERR_NOTACQUIRED);

    // Keys are buttons numbered by their codes; the keyboard has no axes to range.
    int keysSeen = 0;
    auto count = [](LPCDIDEVICEOBJECTINSTANCEA object, void* context) -> BOOL {
        EXPECT_TRUE(object->guidType == GUID_Key);
        EXPECT_EQ(object->dwOfs, DIDFT_GETINSTANCE(object->dwType)) << "byte n holds key n";
        ++*static_cast<int*>(context);
        return DIENUM_CONTINUE;
    };
    ASSERT_EQ(keyboard->EnumObjects(count, &keysSeen, DIDFT_BUTTON), DI_OK);
    EXPECT_GE(keysSeen, 105);
    int axes = 0;
    ASSERT_EQ(keyboard->EnumObjects(count, &axes, DIDFT_AXIS), DI_OK);
    ASSERT_EQ(keyboard->EnumObjects(count, &axes, DIDFT_COLLECTION), DI_OK);
    ASSERT_EQ(keyboard->EnumObjects(count, &axes, DIDFT_BUTTON | DIDFT_FFACTUATOR), DI_OK);
    EXPECT_EQ(axes, 0) << "no axes, collections or force-feedback keys";
    int all = 0;
    ASSERT_EQ(keyboard->EnumObjects(count, &all, DIDFT_ALL), DI_OK);
    EXPECT_EQ(all, keysSeen);
}
