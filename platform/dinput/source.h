// source.h - the seam between the device core (device.cpp) and the input sources
// (keyboard.cpp, joystick.cpp), plus the process-wide pieces the DirectInput object uses.
//
// A source describes one physical device as a fixed list of objects and reports their raw values;
// the core owns everything DirectInput adds on top (data formats, axis ranges, acquisition, the
// lost state) so the sources stay small.
#pragma once

#include "dinput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat::dinput {

// DirectInput objects and devices alive in the process (platctl_dinput_live_objects).
extern std::atomic<uint32_t> g_liveObjects;

// One object of a device. `type` is DIDFT_ABSAXIS, DIDFT_POV or DIDFT_PSHBUTTON combined with
// DIDFT_MAKEINSTANCE(instance); instances are numbered per kind from 0 (keys: their DIK code).
struct Object {
    GUID guidType;
    DWORD type;
    std::string name;
};

inline bool IsAxis(const Object& o) { return (DIDFT_GETTYPE(o.type) & DIDFT_AXIS) != 0; }
inline bool IsPov(const Object& o) { return (DIDFT_GETTYPE(o.type) & DIDFT_POV) != 0; }

// Raw value of one object as Sample reports it: an axis -32768 (full deflection one way) ..
// 0 (centre) .. 32767 (the other way), which the core scales into the axis's range; a POV in
// hundredths of a degree or 0xFFFFFFFF for centred; a button or key 0 or 0x80.
class Source {
public:
    virtual ~Source() = default;

    const std::vector<Object>& Objects() const { return objects_; }
    virtual void Describe(DIDEVICEINSTANCEA& info) const = 0;
    virtual bool IsKeyboard() const { return false; }
    // Whether Poll has anything to do (controllers: read the hardware).
    virtual bool Polled() const { return false; }

    // Whether the device is still plugged in.
    virtual bool Attached() = 0;
    // Brings the values up to date; false once the device is gone.
    virtual bool Refresh() { return Attached(); }
    // One raw value per object, in Objects() order.
    virtual void Sample(std::vector<int32_t>& values) = 0;
    // The device was acquired, with DISCL_BACKGROUND or not.
    virtual void Acquired(bool background) { (void)background; }

protected:
    std::vector<Object> objects_; // fixed once constructed
};

// keyboard.cpp -------------------------------------------------------------------------------------
std::unique_ptr<Source> CreateKeyboardSource();
void DescribeKeyboard(DIDEVICEINSTANCEA& info);
// The keyboard state follows SDL's key events from the first Start to the last Stop (counted):
// the DirectInput object and every keyboard device keep it running.
void KeyboardWatchStart();
void KeyboardWatchStop();

// joystick.cpp -------------------------------------------------------------------------------------
// Counted hold on SDL's joystick subsystem; false if it cannot start (then no controllers exist).
bool JoystickSubsystemHold();
void JoystickSubsystemRelease();
// Controllers attached now, in enumeration order (the order they were attached).
std::vector<DIDEVICEINSTANCEA> ListControllers();
// Whether `guid` has the form of a controller's instance id, and whether that controller is
// still attached.
bool IsControllerGuid(const GUID& guid);
bool ControllerAttached(const GUID& guid);
// Null unless `guid` names an attached controller.
std::unique_ptr<Source> CreateJoystickSource(const GUID& guid);

// device.cpp ---------------------------------------------------------------------------------------
// A new device (one reference) over `source`.
IDirectInputDevice8A* CreateDevice(std::unique_ptr<Source> source);

} // namespace plat::dinput
