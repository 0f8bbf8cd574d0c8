// joystick.cpp - game controllers through SDL's joystick subsystem (no window needed), and the
// virtual controllers of the control API.
//
// A controller's instance id carries SDL's joystick instance id, which SDL never reuses while the
// process runs, so a stale id can never open another controller. Enumeration lists controllers
// by that id: the order they were attached, unchanged while they stay attached.
//
// LIMITATIONS: axes take their roles from SDL's axis order (X, Y, Z, Rx, Ry, Rz, then sliders);
// trackballs and force feedback are not reported. SDL calls are made on the caller's thread
// under SDL's joystick lock. SDL_Quit by the host while devices are open unplugs them for good;
// if the host then starts SDL again, devices opened before must not be used.
#include "source.h"

#include "control_dinput.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace plat::dinput {

namespace {

// Instance id form: Data1 is SDL's instance id, the rest this fixed tag.
constexpr GUID kControllerTag = {0, 0x7E11, 0x4D3A, {0x9C, 0x52, 0x56, 0x45, 0x4C, 0x4A, 0x4F, 0x59}};

GUID ControllerGuid(SDL_JoystickID id)
{
    GUID g = kControllerTag;
    g.Data1 = static_cast<uint32_t>(id);
    return g;
}

// Device index of the attached controller with this instance id, or -1. Joysticks locked.
int IndexOf(SDL_JoystickID id)
{
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id)
            return i;
    return -1;
}

void CopyName(char (&to)[260], const char* from)
{
    std::snprintf(to, sizeof to, "%s", from ? from : "Game controller");
}

// Joysticks locked.
DIDEVICEINSTANCEA DescribeIndex(int index)
{
    DIDEVICEINSTANCEA info;
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    info.guidInstance = ControllerGuid(SDL_JoystickGetDeviceInstanceID(index));
    const SDL_JoystickGUID product = SDL_JoystickGetDeviceGUID(index);
    static_assert(sizeof product.data == sizeof(GUID));
    std::memcpy(&info.guidProduct, product.data, sizeof(GUID));
    const bool pad = SDL_JoystickGetDeviceType(index) == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    info.dwDevType = pad ? DI8DEVTYPE_GAMEPAD | (DI8DEVTYPEGAMEPAD_STANDARD << 8)
                         : DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8);
    CopyName(info.tszInstanceName, SDL_JoystickNameForIndex(index));
    CopyName(info.tszProductName, SDL_JoystickNameForIndex(index));
    info.wUsagePage = 0x01;          // generic desktop
    info.wUsage = pad ? 0x05 : 0x04; // game pad : joystick
    return info;
}

// SDL hat bits -> hundredths of a degree clockwise from north; impossible combinations read
// centred.
DWORD PovFromHat(Uint8 hat)
{
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
    }
}

class JoystickSource final : public Source {
public:
    JoystickSource(SDL_Joystick* joystick, const DIDEVICEINSTANCEA& info)
        : joystick_(joystick), info_(info), axes_(SDL_JoystickNumAxes(joystick)),
          hats_(SDL_JoystickNumHats(joystick)), buttons_(SDL_JoystickNumButtons(joystick))
    {
        static const GUID* const kAxisKinds[6] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis,
                                                  &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
        static const char* const kAxisNames[6] = {"X Axis", "Y Axis", "Z Axis",
                                                  "X Rotation", "Y Rotation", "Z Rotation"};
        axes_ = std::max(axes_, 0);
        hats_ = std::max(hats_, 0);
        buttons_ = std::max(buttons_, 0);
        for (int i = 0; i < axes_; ++i) {
            const DWORD type = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i);
            if (i < 6)
                objects_.push_back({*kAxisKinds[i], type, kAxisNames[i]});
            else
                objects_.push_back({GUID_Slider, type, "Slider " + std::to_string(i - 5)});
        }
        for (int i = 0; i < hats_; ++i)
            objects_.push_back({GUID_POV, DIDFT_POV | DIDFT_MAKEINSTANCE(i), "POV " + std::to_string(i + 1)});
        for (int i = 0; i < buttons_; ++i)
            objects_.push_back({GUID_Button, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(i), "Button " + std::to_string(i + 1)});
    }
    ~JoystickSource() override
    {
        if (Alive())
            SDL_JoystickClose(joystick_);
        JoystickSubsystemRelease();
    }

    void Describe(DIDEVICEINSTANCEA& info) const override { info = info_; }
    bool Polled() const override { return true; }
    bool Attached() override { return Alive() && SDL_JoystickGetAttached(joystick_) == SDL_TRUE; }
    bool Refresh() override
    {
        if (!Alive())
            return false;
        SDL_JoystickUpdate();
        return Attached();
    }
    void Sample(std::vector<int32_t>& values) override
    {
        if (!Alive())
            return;
        size_t k = 0;
        for (int i = 0; i < axes_; ++i)
            values[k++] = SDL_JoystickGetAxis(joystick_, i);
        for (int i = 0; i < hats_; ++i)
            values[k++] = static_cast<int32_t>(PovFromHat(SDL_JoystickGetHat(joystick_, i)));
        for (int i = 0; i < buttons_; ++i)
            values[k++] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
    }
    void Acquired(bool background) override
    {
        // SDL drops controller movement while the host's windows lack focus unless told
        // otherwise; a background device must keep reading. A host's own setting wins.
        if (background)
            SDL_SetHintWithPriority(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1", SDL_HINT_DEFAULT);
    }

private:
    // False once the host has shut SDL down (SDL_Quit), which frees every open joystick: the
    // device then reads as unplugged and never touches joystick_ again.
    static bool Alive() { return SDL_WasInit(SDL_INIT_JOYSTICK) != 0; }

    SDL_Joystick* joystick_; // one SDL reference, closed with the source
    DIDEVICEINSTANCEA info_;
    int axes_, hats_, buttons_;
};

} // namespace

bool JoystickSubsystemHold() { return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0; }

void JoystickSubsystemRelease() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }

std::vector<DIDEVICEINSTANCEA> ListControllers()
{
    std::vector<DIDEVICEINSTANCEA> list;
    if (!SDL_WasInit(SDL_INIT_JOYSTICK))
        return list;
    SDL_JoystickUpdate(); // picks up controllers plugged in since the last look
    SDL_LockJoysticks();
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i)
        list.push_back(DescribeIndex(i));
    SDL_UnlockJoysticks();
    std::sort(list.begin(), list.end(), [](const DIDEVICEINSTANCEA& a, const DIDEVICEINSTANCEA& b) {
        return static_cast<int32_t>(a.guidInstance.Data1) < static_cast<int32_t>(b.guidInstance.Data1);
    });
    return list;
}

bool IsControllerGuid(const GUID& guid)
{
    GUID tag = guid;
    tag.Data1 = 0;
    return tag == kControllerTag;
}

bool ControllerAttached(const GUID& guid)
{
    if (!IsControllerGuid(guid) || !SDL_WasInit(SDL_INIT_JOYSTICK))
        return false;
    SDL_LockJoysticks();
    const bool attached = IndexOf(static_cast<SDL_JoystickID>(guid.Data1)) >= 0;
    SDL_UnlockJoysticks();
    return attached;
}

std::unique_ptr<Source> CreateJoystickSource(const GUID& guid)
{
    if (!IsControllerGuid(guid) || !JoystickSubsystemHold())
        return nullptr;
    SDL_LockJoysticks();
    const int index = IndexOf(static_cast<SDL_JoystickID>(guid.Data1));
    SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    DIDEVICEINSTANCEA info{};
    if (joystick)
        info = DescribeIndex(index);
    SDL_UnlockJoysticks();
    if (!joystick) {
        JoystickSubsystemRelease();
        return nullptr;
    }
    return std::make_unique<JoystickSource>(joystick, info); // takes over the hold
}

} // namespace plat::dinput

// --- virtual controllers ----------------------------------------------------------------------------
namespace {

struct VirtualControllers {
    std::mutex lock;
    std::map<int32_t, SDL_Joystick*> open; // guarded by lock: the control API's own SDL reference
};

VirtualControllers& Virtuals()
{
    static VirtualControllers* v = new VirtualControllers;
    return *v;
}

// Lock held. Null for an id not attached here.
SDL_Joystick* Find(VirtualControllers& v, int32_t controller)
{
    if (!SDL_WasInit(SDL_INIT_JOYSTICK))
        return nullptr; // SDL_Quit has freed them
    auto it = v.open.find(controller);
    return it == v.open.end() ? nullptr : it->second;
}

// Lock held.
void Detach(VirtualControllers& v, std::map<int32_t, SDL_Joystick*>::iterator it)
{
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) { // else SDL_Quit has removed and freed it already
        SDL_LockJoysticks();
        const int index = plat::dinput::IndexOf(it->first);
        if (index >= 0)
            SDL_JoystickDetachVirtual(index);
        SDL_UnlockJoysticks();
        SDL_JoystickClose(it->second);
    }
    v.open.erase(it);
    plat::dinput::JoystickSubsystemRelease();
}

} // namespace

static_assert(PLATCTL_HAT_UP == SDL_HAT_UP && PLATCTL_HAT_RIGHT == SDL_HAT_RIGHT &&
                  PLATCTL_HAT_DOWN == SDL_HAT_DOWN && PLATCTL_HAT_LEFT == SDL_HAT_LEFT,
              "the control API's hat bits are SDL's");

PLATCTL_API int32_t platctl_dinput_attach_controller(int axes, int buttons, int hats, const char* name)
{
    if (axes < 0 || axes > 16 || buttons < 0 || buttons > 128 || hats < 0 || hats > 4)
        return -1;
    if (!plat::dinput::JoystickSubsystemHold())
        return -1;
    VirtualControllers& v = Virtuals();
    std::lock_guard<std::mutex> hold(v.lock);
    SDL_VirtualJoystickDesc desc;
    std::memset(&desc, 0, sizeof desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name ? name : "Virtual controller";
    SDL_LockJoysticks();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    if (!joystick && index >= 0)
        SDL_JoystickDetachVirtual(index);
    SDL_UnlockJoysticks();
    if (!joystick) {
        plat::dinput::JoystickSubsystemRelease();
        return -1;
    }
    // At rest: SDL starts a game controller's trigger axes at one end.
    for (int i = 0; i < axes; ++i)
        SDL_JoystickSetVirtualAxis(joystick, i, 0);
    const int32_t id = SDL_JoystickInstanceID(joystick);
    v.open[id] = joystick;
    return id;
}

PLATCTL_API int platctl_dinput_detach_controller(int32_t controller)
{
    VirtualControllers& v = Virtuals();
    std::lock_guard<std::mutex> hold(v.lock);
    auto it = v.open.find(controller);
    if (it == v.open.end())
        return -1;
    Detach(v, it);
    return 0;
}

PLATCTL_API void platctl_dinput_detach_all_controllers(void)
{
    VirtualControllers& v = Virtuals();
    std::lock_guard<std::mutex> hold(v.lock);
    while (!v.open.empty())
        Detach(v, v.open.begin());
}

PLATCTL_API int platctl_dinput_set_axis(int32_t controller, int axis, int16_t value)
{
    VirtualControllers& v = Virtuals();
    std::lock_guard<std::mutex> hold(v.lock);
    SDL_Joystick* joystick = Find(v, controller);
    return joystick && SDL_JoystickSetVirtualAxis(joystick, axis, value) == 0 ? 0 : -1;
}

PLATCTL_API int platctl_dinput_set_button(int32_t controller, int button, int pressed)
{
    VirtualControllers& v = Virtuals();
    std::lock_guard<std::mutex> hold(v.lock);
    SDL_Joystick* joystick = Find(v, controller);
    return joystick && SDL_JoystickSetVirtualButton(joystick, button, pressed ? SDL_PRESSED : SDL_RELEASED) == 0 ? 0
                                                                                                              : -1;
}

PLATCTL_API int platctl_dinput_set_hat(int32_t controller, int hat, uint8_t directions)
{
    if (directions & ~0x0Fu)
        return -1;
    VirtualControllers& v = Virtuals();
    std::lock_guard<std::mutex> hold(v.lock);
    SDL_Joystick* joystick = Find(v, controller);
    return joystick && SDL_JoystickSetVirtualHat(joystick, hat, directions) == 0 ? 0 : -1;
}
