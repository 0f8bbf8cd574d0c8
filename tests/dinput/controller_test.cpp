// Game controllers: axes scaled into their range, hats and buttons in the extended joystick
// state, data formats, properties, and the results for misuse and unplugging.
#include "dinput_fixture.h"

#include <SDL.h>

#include <cmath>
#include <cstddef>

namespace {

// The eight position axes of DIJOYSTATE2 in SDL axis order.
LONG AxisValue(const DIJOYSTATE2& s, int axis)
{
    const LONG values[8] = {s.lX, s.lY, s.lZ, s.lRx, s.lRy, s.lRz, s.rglSlider[0], s.rglSlider[1]};
    return values[axis];
}

// Expected reading for a raw SDL value on an axis ranged [lo, hi], in double: each half of the
// raw range scaled on its own about the centre lo + (hi - lo) / 2 (rounded down), the offset from
// the centre rounded to nearest with halves away from the centre.
LONG Reference(int raw, LONG lo, LONG hi)
{
    const double c = std::floor(lo + static_cast<double>(static_cast<int64_t>(hi) - lo) / 2);
    const double offset = raw < 0 ? raw * (c - lo) / 32768.0 : raw * (hi - c) / 32767.0;
    const double rounded = offset < 0 ? -std::floor(-offset + 0.5) : std::floor(offset + 0.5);
    return static_cast<LONG>(c + rounded);
}

} // namespace

TEST_F(DInputPadTest, AxesReadExactlyWithinTheirRange)
{
    const int32_t pad = Attach(8, 0, 0);
    ComRef<IDirectInputDevice8A> device;
    OpenController(0, device);

    int axes = 0;
    auto count = [](LPCDIDEVICEOBJECTINSTANCEA object, void* context) -> BOOL {
        EXPECT_EQ(object->dwFlags, DIDOI_ASPECTPOSITION);
        ++*static_cast<int*>(context);
        return DIENUM_CONTINUE;
    };
    ASSERT_EQ(device->EnumObjects(count, &axes, DIDFT_AXIS), DI_OK);
    EXPECT_EQ(axes, 8);

    const struct {
        int16_t raw;
        LONG expected;
    } rows[] = {{-32768, -1000}, {32767, 1000}, {0, 0}, {16384, 500}, {-16384, -500}, {1, 0}, {-1, 0}, {-33, -1}};
    for (const auto& row : rows) {
        for (int axis = 0; axis < 8; ++axis) {
            for (int a = 0; a < 8; ++a)
                ASSERT_EQ(platctl_dinput_set_axis(pad, a, a == axis ? row.raw : 0), 0);
            const DIJOYSTATE2 s = Read(device.p);
            for (int a = 0; a < 8; ++a)
                EXPECT_EQ(AxisValue(s, a), a == axis ? row.expected : 0) << "raw " << row.raw << " on axis " << axis
                                                                         << ", member " << a;
            EXPECT_EQ(s.lVX, 0);
            EXPECT_EQ(s.rglFSlider[1], 0);
        }
    }
}

TEST_F(DInputPadTest, RangesDefaultToDirectInputsAndFollowTheProperty)
{
    const int32_t pad = Attach(2, 0, 0);
    ComRef<IDirectInputDevice8A> device;
    OpenController(0, device, /*setRange=*/false);

    DIPROPRANGE range{};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = offsetof(DIJOYSTATE2, lY);
    range.diph.dwHow = DIPH_BYOFFSET;
    ASSERT_EQ(device->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, 0);
    EXPECT_EQ(range.lMax, 65535);

    // Ranges of every shape, against the double-precision reference over a sweep of raw values.
    const struct {
        LONG lo, hi;
    } ranges[] = {{0, 65535}, {-1000, 1000}, {0, 100}, {-7, 3}, {1, 2}, {INT32_MIN, INT32_MAX}};
    for (const auto& r : ranges) {
        range.diph.dwObj = 0;
        range.diph.dwHow = DIPH_DEVICE;
        range.lMin = r.lo;
        range.lMax = r.hi;
        ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        for (int raw = -32768; raw <= 32767; raw += 4093) {
            for (int value : {raw, -32768, 32767, 0}) {
                ASSERT_EQ(platctl_dinput_set_axis(pad, 1, static_cast<int16_t>(value)), 0);
                const DIJOYSTATE2 s = Read(device.p);
                ASSERT_EQ(s.lY, Reference(value, r.lo, r.hi)) << "raw " << value << " in " << r.lo << ".." << r.hi;
            }
        }
    }
}

TEST_F(DInputPadTest, RangePropertyErrors)
{
    Attach(2, 2, 0);
    ComRef<IDirectInputDevice8A> device;
    OpenController(0, device);

    auto set = [&](DWORD size, DWORD header, DWORD obj, DWORD how, LONG lo, LONG hi, const GUID* property = DIPROP_RANGE) {
        DIPROPRANGE range{};
        range.diph = {size, header, obj, how};
        range.lMin = lo;
        range.lMax = hi;
        return device->SetProperty(property, &range.diph);
    };
    const DWORD x = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0);
    EXPECT_EQ(set(24, 16, x, DIPH_BYID, -5, 5), DI_OK);
    EXPECT_EQ(set(20, 16, x, DIPH_BYID, -5, 5), DIERR_INVALIDPARAM) << "record size";
    EXPECT_EQ(set(24, 12, x, DIPH_BYID, -5, 5), DIERR_INVALIDPARAM) << "header size";
    EXPECT_EQ(set(24, 16, x, DIPH_BYID, 5, 5), DIERR_INVALIDPARAM) << "empty range";
    EXPECT_EQ(set(24, 16, x, DIPH_BYID, 5, -5), DIERR_INVALIDPARAM) << "reversed range";
    EXPECT_EQ(set(24, 16, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(7), DIPH_BYID, -5, 5), DIERR_OBJECTNOTFOUND);
    EXPECT_EQ(set(24, 16, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(0), DIPH_BYID, -5, 5), DIERR_UNSUPPORTED);
    EXPECT_EQ(set(24, 16, 3, DIPH_BYOFFSET, -5, 5), DIERR_OBJECTNOTFOUND);
    EXPECT_EQ(set(24, 16, 1, DIPH_DEVICE, -5, 5), DIERR_INVALIDPARAM);
    EXPECT_EQ(set(24, 16, x, 9, -5, 5), DIERR_INVALIDPARAM);
    EXPECT_EQ(set(24, 16, x, DIPH_BYID, -5, 5, reinterpret_cast<const GUID*>(static_cast<uintptr_t>(5))), DIERR_UNSUPPORTED);
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, nullptr), DIERR_INVALIDPARAM);
}

TEST_F(DInputPadTest, HatsAndButtonsLandInTheirMembers)
{
    const int32_t pad = Attach(2, 20, 2);
    ComRef<IDirectInputDevice8A> device;
    OpenController(0, device);

    DIJOYSTATE2 s = Read(device.p);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.rgdwPOV[i], 0xFFFFFFFFu) << "POV " << i << " centred at rest, or absent";
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(s.rgbButtons[i], 0) << "button " << i;

    const struct {
        uint8_t directions;
        DWORD pov;
    } hats[] = {
        {PLATCTL_HAT_UP, 0},
        {PLATCTL_HAT_UP | PLATCTL_HAT_RIGHT, 4500},
        {PLATCTL_HAT_RIGHT, 9000},
        {PLATCTL_HAT_DOWN | PLATCTL_HAT_RIGHT, 13500},
        {PLATCTL_HAT_DOWN, 18000},
        {PLATCTL_HAT_DOWN | PLATCTL_HAT_LEFT, 22500},
        {PLATCTL_HAT_LEFT, 27000},
        {PLATCTL_HAT_UP | PLATCTL_HAT_LEFT, 31500},
        {PLATCTL_HAT_CENTERED, 0xFFFFFFFFu},
    };
    for (const auto& h : hats) {
        ASSERT_EQ(platctl_dinput_set_hat(pad, 1, h.directions), 0);
        s = Read(device.p);
        EXPECT_EQ(s.rgdwPOV[1], h.pov) << "directions " << int(h.directions);
        EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
        EXPECT_EQ(s.rgdwPOV[2], 0xFFFFFFFFu);
    }

    for (int button : {0, 7, 19}) {
        ASSERT_EQ(platctl_dinput_set_button(pad, button, 1), 0);
        s = Read(device.p);
        for (int i = 0; i < 128; ++i)
            EXPECT_EQ(s.rgbButtons[i], i == button ? 0x80 : 0) << "button " << i << " with " << button << " down";
        ASSERT_EQ(platctl_dinput_set_button(pad, button, 0), 0);
    }
    EXPECT_EQ(Read(device.p).rgbButtons[19], 0);
    EXPECT_EQ(platctl_dinput_set_button(pad, 20, 1), -1) << "no such button";
}

TEST_F(DInputPadTest, StateReadsRefuseWrongSizesAndUnacquiredDevices)
{
    Attach(2, 2, 1);
    auto pads = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(pads.size(), 1u);
    ComRef<IDirectInputDevice8A> device;
    ASSERT_EQ(di->CreateDevice(pads[0].guidInstance, device.out(), nullptr), DI_OK);

    alignas(8) uint8_t buffer[300];
    EXPECT_EQ(device->GetDeviceState(sizeof(DIJOYSTATE2), buffer), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DIERR_ACQUIRED);

    std::memset(buffer, 0xA5, sizeof buffer);
    for (DWORD size : {0u, 80u, 256u, 271u, 273u, 300u})
        EXPECT_EQ(device->GetDeviceState(size, buffer), DIERR_INVALIDPARAM) << size << " bytes";
    EXPECT_EQ(device->GetDeviceState(sizeof(DIJOYSTATE2), nullptr), DIERR_INVALIDPARAM);
    for (uint8_t b : buffer)
        ASSERT_EQ(b, 0xA5) << "a refused read writes nothing";
    EXPECT_EQ(device->GetDeviceState(sizeof(DIJOYSTATE2), buffer), DI_OK);
    for (size_t i = sizeof(DIJOYSTATE2); i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 0xA5) << "nothing written past the state";
}

TEST_F(DInputPadTest, MalformedDataFormatsAreRefused)
{
    const int32_t pad = Attach(2, 2, 1);
    ComRef<IDirectInputDevice8A> device;
    ASSERT_EQ(di->CreateDevice(Enumerate(DI8DEVCLASS_GAMECTRL).at(0).guidInstance, device.out(), nullptr), DI_OK);

    const DWORD anyAxis = DIDFT_AXIS | DIDFT_ANYINSTANCE;
    struct Case {
        const char* what;
        DIOBJECTDATAFORMAT entry;
        DWORD dataSize;
        DWORD flags;
        HRESULT expected;
    } cases[] = {
        {"well formed", {&GUID_XAxis, 4, anyAxis, 0}, 8, DIDF_ABSAXIS, DI_OK},
        {"button at the last byte", {&GUID_Button, 7, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0}, 8, DIDF_ABSAXIS, DI_OK},
        {"axis past the end", {&GUID_XAxis, 8, anyAxis, 0}, 8, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"axis straddling the end", {&GUID_XAxis, 6, anyAxis, 0}, 8, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"unaligned axis", {&GUID_XAxis, 1, anyAxis, 0}, 8, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"button past the end", {&GUID_Button, 8, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0}, 8, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"huge offset", {nullptr, 0xFFFFFFFFu, DIDFT_OPTIONAL, 0}, 8, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"size not a multiple of 4", {&GUID_XAxis, 0, anyAxis, 0}, 6, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"empty state", {&GUID_XAxis, 0, anyAxis, 0}, 0, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"required object missing", {&GUID_Slider, 0, anyAxis, 0}, 8, DIDF_ABSAXIS, DIERR_INVALIDPARAM},
        {"missing but optional", {&GUID_Slider, 0, anyAxis | DIDFT_OPTIONAL, 0}, 8, DIDF_ABSAXIS, DI_OK},
        {"both axis modes", {&GUID_XAxis, 0, anyAxis, 0}, 8, DIDF_ABSAXIS | DIDF_RELAXIS, DIERR_INVALIDPARAM},
        {"relative axes", {&GUID_XAxis, 0, anyAxis, 0}, 8, DIDF_RELAXIS, DIERR_UNSUPPORTED},
    };
    for (const Case& c : cases) {
        const DIDATAFORMAT format = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), c.flags, c.dataSize, 1, &c.entry};
        EXPECT_EQ(device->SetDataFormat(&format), c.expected) << c.what;
    }
    DIDATAFORMAT format = c_dfDIJoystick2;
    format.dwSize = 20;
    EXPECT_EQ(device->SetDataFormat(&format), DIERR_INVALIDPARAM);
    format = c_dfDIJoystick2;
    format.dwObjSize = 12;
    EXPECT_EQ(device->SetDataFormat(&format), DIERR_INVALIDPARAM);
    format = c_dfDIJoystick2;
    format.rgodf = nullptr;
    EXPECT_EQ(device->SetDataFormat(&format), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetDataFormat(nullptr), DIERR_INVALIDPARAM);

    // A custom format places objects where it says: Y then the first button.
    const DIOBJECTDATAFORMAT entries[] = {{&GUID_YAxis, 0, anyAxis, 0}, {nullptr, 4, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0}};
    const DIDATAFORMAT custom = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, 8, 2, entries};
    ASSERT_EQ(device->SetDataFormat(&custom), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    ASSERT_EQ(platctl_dinput_set_axis(pad, 1, 32767), 0);
    ASSERT_EQ(platctl_dinput_set_button(pad, 0, 1), 0);
    struct {
        LONG y;
        uint8_t button, pad[3];
    } state;
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.y, 65535);
    EXPECT_EQ(state.button, 0x80);
}

TEST_F(DInputPadTest, UnpluggedControllerReportsInputLostThenNotAcquired)
{
    const int32_t pad = Attach(2, 2, 1);
    ComRef<IDirectInputDevice8A> device;
    OpenController(0, device);
    Read(device.p);

    ASSERT_EQ(platctl_dinput_detach_controller(pad), 0);
    EXPECT_EQ(platctl_dinput_set_axis(pad, 0, 1), -1) << "gone from the control API too";
    DIJOYSTATE2 s;
    EXPECT_EQ(device->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->GetDeviceState(sizeof s, &s), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->Acquire(), DIERR_UNPLUGGED);
    EXPECT_EQ(device->GetDeviceState(sizeof s, &s), DIERR_NOTACQUIRED);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_GAMECTRL).size(), 0u);
}

TEST_F(DInputPadTest, UnpluggingIsSeenByAStateReadWithoutPoll)
{
    const int32_t pad = Attach(2, 2, 1);
    ComRef<IDirectInputDevice8A> device;
    OpenController(0, device);
    ASSERT_EQ(platctl_dinput_detach_controller(pad), 0);
    DIJOYSTATE2 s;
    EXPECT_EQ(device->GetDeviceState(sizeof s, &s), DIERR_INPUTLOST);
    EXPECT_EQ(device->GetDeviceState(sizeof s, &s), DIERR_NOTACQUIRED);
}

TEST(DInputControl, VirtualControllerArgumentsAreChecked)
{
    EXPECT_EQ(platctl_dinput_attach_controller(-1, 0, 0, nullptr), -1);
    EXPECT_EQ(platctl_dinput_attach_controller(17, 0, 0, nullptr), -1);
    EXPECT_EQ(platctl_dinput_attach_controller(0, 129, 0, nullptr), -1);
    EXPECT_EQ(platctl_dinput_attach_controller(0, 0, 5, nullptr), -1);
    EXPECT_EQ(platctl_dinput_detach_controller(12345), -1);
    const int32_t pad = platctl_dinput_attach_controller(1, 1, 1, nullptr);
    ASSERT_GE(pad, 0);
    EXPECT_EQ(platctl_dinput_set_axis(pad, 1, 0), -1);
    EXPECT_EQ(platctl_dinput_set_hat(pad, 0, 0x10), -1);
    EXPECT_EQ(platctl_dinput_set_hat(pad, 1, PLATCTL_HAT_UP), -1);
    EXPECT_EQ(platctl_dinput_detach_controller(pad), 0);
    EXPECT_EQ(platctl_dinput_detach_controller(pad), -1);
}

// A host that shuts SDL down before releasing its devices: the devices report their input lost
// and release cleanly, touching nothing SDL has freed.
TEST_F(DInputPadTest, DevicesSurviveTheHostShuttingSdlDown)
{
    Attach(2, 2, 1);
    ComRef<IDirectInputDevice8A> pad, keyboard;
    OpenController(0, pad);
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, keyboard.out(), nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);

    SDL_Quit();
    DIJOYSTATE2 s;
    EXPECT_EQ(pad->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(pad->GetDeviceState(sizeof s, &s), DIERR_NOTACQUIRED);
    EXPECT_EQ(pad->Acquire(), DIERR_UNPLUGGED);
    uint8_t keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_TRUE(Enumerate(DI8DEVCLASS_GAMECTRL).empty());
    pad.reset();
    keyboard.reset();
}
