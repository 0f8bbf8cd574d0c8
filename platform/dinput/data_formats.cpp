// data_formats.cpp - the two standard data formats, as constant tables.
//
// Every entry is optional, so a device that lacks an object still takes the format and the
// entry's bytes read as "nothing there" (0, or centred for a POV).
#include "dinput.h"

#include <array>
#include <cstddef>

namespace {

constexpr DWORD kAnyAxis = DIDFT_OPTIONAL | DIDFT_AXIS | DIDFT_ANYINSTANCE;
constexpr DWORD kAnyPov = DIDFT_OPTIONAL | DIDFT_POV | DIDFT_ANYINSTANCE;
constexpr DWORD kAnyButton = DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE;

constexpr std::array<DIOBJECTDATAFORMAT, 256> BuildKeyboard()
{
    std::array<DIOBJECTDATAFORMAT, 256> keys{};
    for (DWORD i = 0; i < 256; ++i)
        keys[i] = {&GUID_Key, i, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i), 0};
    return keys;
}

// Eight axes (X, Y, Z, Rx, Ry, Rz, two sliders) of one aspect, from `offset` on.
template <size_t N>
constexpr size_t AddAxes(std::array<DIOBJECTDATAFORMAT, N>& to, size_t at, DWORD offset, DWORD aspect)
{
    const GUID* kinds[8] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_RxAxis,
                            &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
    for (DWORD i = 0; i < 8; ++i)
        to[at++] = {kinds[i], offset + 4 * i, kAnyAxis, aspect};
    return at;
}

constexpr std::array<DIOBJECTDATAFORMAT, 164> BuildJoystick2()
{
    std::array<DIOBJECTDATAFORMAT, 164> f{};
    size_t at = AddAxes(f, 0, offsetof(DIJOYSTATE2, lX), DIDOI_ASPECTPOSITION);
    for (DWORD i = 0; i < 4; ++i)
        f[at++] = {&GUID_POV, static_cast<DWORD>(offsetof(DIJOYSTATE2, rgdwPOV)) + 4 * i, kAnyPov, 0};
    for (DWORD i = 0; i < 128; ++i)
        f[at++] = {nullptr, static_cast<DWORD>(offsetof(DIJOYSTATE2, rgbButtons)) + i, kAnyButton, 0};
    at = AddAxes(f, at, offsetof(DIJOYSTATE2, lVX), DIDOI_ASPECTVELOCITY);
    at = AddAxes(f, at, offsetof(DIJOYSTATE2, lAX), DIDOI_ASPECTACCEL);
    at = AddAxes(f, at, offsetof(DIJOYSTATE2, lFX), DIDOI_ASPECTFORCE);
    return f;
}

static_assert(offsetof(DIJOYSTATE2, rglSlider) == 24 && offsetof(DIJOYSTATE2, rgbButtons) == 48 &&
                  offsetof(DIJOYSTATE2, lVX) == 176 && offsetof(DIJOYSTATE2, lAX) == 208 &&
                  offsetof(DIJOYSTATE2, lFX) == 240,
              "DIJOYSTATE2 layout");

constexpr std::array<DIOBJECTDATAFORMAT, 256> kKeyboardObjects = BuildKeyboard();
constexpr std::array<DIOBJECTDATAFORMAT, 164> kJoystick2Objects = BuildJoystick2();

} // namespace

PLAT_API const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256,
    static_cast<DWORD>(kKeyboardObjects.size()), kKeyboardObjects.data()};

PLAT_API const DIDATAFORMAT c_dfDIJoystick2 = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(DIJOYSTATE2),
    static_cast<DWORD>(kJoystick2Objects.size()), kJoystick2Objects.data()};
