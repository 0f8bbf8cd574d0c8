// dinput.cpp - DirectInput8Create and the DirectInput object: device creation, enumeration and
// status, over the keyboard and joystick sources.
//
// A DirectInput object keeps SDL's joystick subsystem and the keyboard watch running for its
// life; each device holds its own, so devices outlive the object that made them.
#include "source.h"
#include "com_object.h"

#include "control_dinput.h"

namespace plat::dinput {

std::atomic<uint32_t> g_liveObjects{0};

namespace {

constexpr DWORD kKnownEnumFlags = DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK | DIEDFL_INCLUDEALIASES |
                                  DIEDFL_INCLUDEPHANTOMS | DIEDFL_INCLUDEHIDDEN;

class DirectInput final : public IDirectInput8A {
public:
    DirectInput() : joysticks_(JoystickSubsystemHold())
    {
        KeyboardWatchStart();
        ++g_liveObjects;
    }
    ~DirectInput()
    {
        KeyboardWatchStop();
        if (joysticks_)
            JoystickSubsystemRelease();
        --g_liveObjects;
    }
    DirectInput(const DirectInput&) = delete;
    DirectInput& operator=(const DirectInput&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return plat::com::QueryAs(static_cast<IDirectInput8A*>(this), iid, object, {IID_IDirectInput8A});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device, IUnknown* outer) override
    {
        if (!device)
            return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer)
            return DIERR_NOAGGREGATION;
        std::unique_ptr<Source> source;
        if (guid == GUID_SysKeyboard)
            source = CreateKeyboardSource();
        else if (joysticks_)
            source = CreateJoystickSource(guid);
        if (!source)
            return DIERR_DEVICENOTREG;
        *device = plat::dinput::CreateDevice(std::move(source));
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) override
    {
        if (!callback || (flags & ~kKnownEnumFlags))
            return DIERR_INVALIDPARAM;
        const bool isClass = deviceType <= DI8DEVCLASS_GAMECTRL;
        const bool isType = deviceType >= DI8DEVTYPE_DEVICE && deviceType <= 0x1B;
        if (!isClass && !isType)
            return DIERR_INVALIDPARAM;
        // None of these devices has force feedback.
        if (flags & DIEDFL_FORCEFEEDBACK)
            return DI_OK;

        std::vector<DIDEVICEINSTANCEA> devices;
        if (deviceType == DI8DEVCLASS_ALL || deviceType == DI8DEVCLASS_KEYBOARD || deviceType == DI8DEVTYPE_KEYBOARD) {
            devices.emplace_back();
            DescribeKeyboard(devices.back());
        }
        if (joysticks_ && (deviceType == DI8DEVCLASS_ALL || deviceType == DI8DEVCLASS_GAMECTRL ||
                           deviceType == DI8DEVTYPE_JOYSTICK || deviceType == DI8DEVTYPE_GAMEPAD)) {
            for (const DIDEVICEINSTANCEA& c : ListControllers())
                if (isClass || (c.dwDevType & 0xFF) == deviceType)
                    devices.push_back(c);
        }
        // Unlocked: the callback may create devices.
        for (const DIDEVICEINSTANCEA& d : devices)
            if (callback(&d, context) == DIENUM_STOP)
                break;
        return DI_OK;
    }

    HRESULT GetDeviceStatus(REFGUID guid) override
    {
        if (guid == GUID_SysKeyboard)
            return DI_OK;
        if (!IsControllerGuid(guid))
            return DIERR_DEVICENOTREG;
        return ControllerAttached(guid) ? DI_OK : DI_NOTATTACHED;
    }

private:
    std::atomic<ULONG> refs_{1};
    const bool joysticks_; // SDL's joystick subsystem held (else no controllers exist)
};

} // namespace

} // namespace plat::dinput

PLAT_API HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, void** object, IUnknown* outer)
{
    if (!object)
        return DIERR_INVALIDPARAM;
    *object = nullptr;
    if (outer)
        return DIERR_NOAGGREGATION;
    if (version < DIRECTINPUT_VERSION)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION)
        return DIERR_BETADIRECTINPUTVERSION;
    if (!(iid == IID_IDirectInput8A))
        return DIERR_NOINTERFACE;
    *object = static_cast<IDirectInput8A*>(new plat::dinput::DirectInput());
    return DI_OK;
}

PLATCTL_API uint32_t platctl_dinput_live_objects(void) { return plat::dinput::g_liveObjects.load(); }
