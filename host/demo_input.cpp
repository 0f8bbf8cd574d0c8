#include "demo_input.h"

#include "VEL.h"
#include "demo_library.h"

#include <cstdio>

namespace {

// DirectInput key codes the demo looks at.
constexpr int kKeySpace = 0x39, kKeyUp = 0xC8, kKeyLeft = 0xCB, kKeyRight = 0xCD, kKeyDown = 0xD0;

} // namespace

struct DemoInput::Devices {
    explicit Devices(const std::string& dir) : library(dir, "VELDI6") {}
    DemoLibrary library;
    VEL::IVELDI* root = nullptr;
    VEL::IDIInput* keyboard = nullptr;
    VEL::IDIInput* joystick = nullptr;
};

DemoInput::DemoInput(const std::string& libDir) : devices_(std::make_unique<Devices>(libDir))
{
    Devices& d = *devices_;
    d.root = d.library.CreateRoot<VEL::IVELDI>();
    static int instance; // the platform does not use the instance handle
    if (!d.root || !d.root->Initialize(&instance))
        return;
    d.keyboard = d.root->CreateKeyboard();
    d.joystick = d.root->CreateJoystick(0);
}

DemoInput::~DemoInput()
{
    DemoRelease(devices_->joystick);
    DemoRelease(devices_->keyboard);
    DemoRelease(devices_->root);
}

bool DemoInput::Opened() const { return devices_->keyboard != nullptr; }

DemoInputState DemoInput::Read()
{
    DemoInputState s;
    Devices& d = *devices_;
    uint8_t keys[VEL::DIInputKeyboardStateSize] = {};
    if (d.keyboard && d.keyboard->GetState(sizeof keys, keys) >= 0) {
        for (int code = 0; code < 256; ++code) {
            if (keys[code] & 0x80) {
                char text[4];
                std::snprintf(text, sizeof text, "%02X", code);
                s.keys += (s.keys.empty() ? "" : " ") + std::string(text);
            }
        }
        s.moveX = ((keys[kKeyRight] & 0x80) ? 1000 : 0) - ((keys[kKeyLeft] & 0x80) ? 1000 : 0);
        s.moveY = ((keys[kKeyDown] & 0x80) ? 1000 : 0) - ((keys[kKeyUp] & 0x80) ? 1000 : 0);
        s.fire = keys[kKeySpace] & 0x80;
    }
    VEL::DIInputJoystickState pad{};
    if (d.joystick && d.joystick->Poll() >= 0 && d.joystick->GetState(sizeof pad, &pad) >= 0) {
        s.controller = true;
        s.axisX = pad.axes[0];
        s.axisY = pad.axes[1];
        s.pov = pad.pov[0];
        for (uint8_t b : pad.buttons)
            s.buttonsDown += (b & 0x80) != 0;
        if (s.moveX == 0 && s.moveY == 0) {
            s.moveX = s.axisX;
            s.moveY = s.axisY;
        }
        s.fire = s.fire || (pad.buttons[0] & 0x80);
    }
    return s;
}

std::string DemoInput::Describe(const DemoInputState& s)
{
    char line[160];
    std::snprintf(line, sizeof line, "keys [%s]", s.keys.c_str());
    std::string text = line;
    if (s.controller) {
        std::snprintf(line, sizeof line, ", controller x %d y %d hat %d buttons %d", s.axisX, s.axisY,
                      s.pov == 0xFFFFFFFFu ? -1 : static_cast<int>(s.pov / 100), s.buttonsDown);
        text += line;
    } else {
        text += ", no controller";
    }
    return text;
}
