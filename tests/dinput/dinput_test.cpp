// The DirectInput object: creation arguments, device enumeration and status, device creation.
#include "dinput_fixture.h"

#include <string>

TEST(DInputCreate, ArgumentsAreChecked)
{
    struct Case {
        const char* what;
        DWORD version;
        GUID iid;
        bool outer;
        HRESULT expected;
    } cases[] = {
        {"current version", DIRECTINPUT_VERSION, IID_IDirectInput8A, false, DI_OK},
        {"older version", 0x0700, IID_IDirectInput8A, false, DIERR_OLDDIRECTINPUTVERSION},
        {"newer version", 0x0900, IID_IDirectInput8A, false, DIERR_BETADIRECTINPUTVERSION},
        {"other interface", DIRECTINPUT_VERSION, IID_IDirectInputDevice8A, false, DIERR_NOINTERFACE},
        {"aggregation", DIRECTINPUT_VERSION, IID_IDirectInput8A, true, DIERR_NOAGGREGATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        void* object = reinterpret_cast<void*>(1);
        IUnknown* outer = c.outer ? reinterpret_cast<IUnknown*>(&object) : nullptr;
        EXPECT_EQ(DirectInput8Create(nullptr, c.version, c.iid, &object, outer), c.expected);
        if (c.expected == DI_OK) {
            ASSERT_NE(object, nullptr);
            auto* di = static_cast<IDirectInput8A*>(object);
            IUnknown* same = nullptr;
            EXPECT_EQ(di->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same)), S_OK);
            EXPECT_EQ(same->Release(), 1u);
            EXPECT_EQ(di->Release(), 0u);
        } else {
            EXPECT_EQ(object, nullptr) << "the out pointer is cleared on failure";
        }
    }
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(platctl_dinput_live_objects(), 0u);
}

TEST_F(DInputPadTest, ControllersEnumerateInAttachOrderAfterTheKeyboard)
{
    const int32_t first = Attach(2, 4, 1, "First pad");
    const int32_t second = Attach(2, 4, 1, "Second pad");

    auto pads = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(pads.size(), 2u);
    EXPECT_STREQ(pads[0].tszInstanceName, "First pad");
    EXPECT_STREQ(pads[1].tszInstanceName, "Second pad");
    for (const auto& pad : pads) {
        EXPECT_EQ(pad.dwSize, sizeof(DIDEVICEINSTANCEA));
        EXPECT_EQ(pad.dwDevType & 0xFF, DI8DEVTYPE_GAMEPAD);
    }
    EXPECT_FALSE(pads[0].guidInstance == pads[1].guidInstance);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_GAMECTRL).size(), 2u) << "a second look gives the same list";

    auto all = Enumerate(DI8DEVCLASS_ALL);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(all[0].guidInstance == GUID_SysKeyboard);
    EXPECT_EQ(all[0].dwDevType & 0xFF, DI8DEVTYPE_KEYBOARD);
    EXPECT_TRUE(all[1].guidInstance == pads[0].guidInstance);

    EXPECT_EQ(Enumerate(DI8DEVCLASS_KEYBOARD).size(), 1u);
    EXPECT_EQ(Enumerate(DI8DEVTYPE_GAMEPAD).size(), 2u);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_POINTER).size(), 0u);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_GAMECTRL, DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK).size(), 0u);

    // The callback can stop the enumeration.
    int calls = 0;
    auto stop = [](LPCDIDEVICEINSTANCEA, void* context) -> BOOL {
        ++*static_cast<int*>(context);
        return DIENUM_STOP;
    };
    EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_GAMECTRL, stop, &calls, DIEDFL_ATTACHEDONLY), DI_OK);
    EXPECT_EQ(calls, 1);

    EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_GAMECTRL, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &pads, 0x8), DIERR_INVALIDPARAM);
    EXPECT_EQ(di->EnumDevices(0x40, &Collect, &pads, 0), DIERR_INVALIDPARAM);

    // Unplugging the first leaves the second where the order puts it; the first's id goes stale.
    ASSERT_EQ(platctl_dinput_detach_controller(first), 0);
    auto left = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].guidInstance == pads[1].guidInstance);
    EXPECT_EQ(di->GetDeviceStatus(pads[0].guidInstance), DI_NOTATTACHED);
    EXPECT_EQ(di->GetDeviceStatus(pads[1].guidInstance), DI_OK);
    EXPECT_EQ(di->GetDeviceStatus(GUID_SysKeyboard), DI_OK);
    EXPECT_EQ(di->GetDeviceStatus(GUID_XAxis), DIERR_DEVICENOTREG);

    ComRef<IDirectInputDevice8A> device;
    EXPECT_EQ(di->CreateDevice(pads[0].guidInstance, device.out(), nullptr), DIERR_DEVICENOTREG);
    EXPECT_FALSE(device);
    EXPECT_EQ(di->CreateDevice(GUID_XAxis, device.out(), nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(di->CreateDevice(pads[1].guidInstance, device.out(), reinterpret_cast<IUnknown*>(&calls)),
              DIERR_NOAGGREGATION);
    EXPECT_EQ(di->CreateDevice(pads[1].guidInstance, nullptr, nullptr), DIERR_INVALIDPARAM);
    ASSERT_EQ(di->CreateDevice(pads[1].guidInstance, device.out(), nullptr), DI_OK);
    DIDEVICEINSTANCEA info{};
    info.dwSize = sizeof info;
    ASSERT_EQ(device->GetDeviceInfo(&info), DI_OK);
    EXPECT_STREQ(info.tszProductName, "Second pad");
    info.dwSize = 12;
    EXPECT_EQ(device->GetDeviceInfo(&info), DIERR_INVALIDPARAM);
    (void)second;
}

TEST_F(DInputPadTest, DevicesOutliveTheirDirectInputObject)
{
    Attach(1, 1, 0);
    ComRef<IDirectInputDevice8A> pad, keyboard;
    OpenController(0, pad);
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, keyboard.out(), nullptr), DI_OK);
    di.reset();
    Read(pad.p);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    uint8_t keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
}

TEST_F(DInputTest, CooperativeLevels)
{
    ComRef<IDirectInputDevice8A> keyboard;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, keyboard.out(), nullptr), DI_OK);
    int window = 0; // any non-null handle; no window has the focus here
    struct Case {
        HWND window;
        DWORD flags;
        HRESULT expected;
    } cases[] = {
        {nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, DI_OK},
        {nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND | DISCL_NOWINKEY, DI_OK},
        {nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, E_HANDLE},
        {nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND, E_HANDLE},
        {&window, DISCL_EXCLUSIVE | DISCL_BACKGROUND, DIERR_UNSUPPORTED},
        {nullptr, DISCL_NONEXCLUSIVE, DIERR_INVALIDPARAM},
        {nullptr, DISCL_BACKGROUND, DIERR_INVALIDPARAM},
        {nullptr, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, DIERR_INVALIDPARAM},
        {nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND | 0x100, DIERR_INVALIDPARAM},
        {&window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DI_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyboard->SetCooperativeLevel(c.window, c.flags), c.expected) << std::hex << c.flags;

    // The last level set is foreground for a window without the focus: it cannot be acquired.
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    ASSERT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
}
