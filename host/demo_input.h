// demo_input.h - the keyboard and the first game controller, read through the input library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct DemoInputState {
    int moveX = 0, moveY = 0;    // -1000 ... 1000 from the arrow keys or the controller's stick
    bool fire = false;           // space or the controller's first button
    std::string keys;            // the keys held down, as DirectInput key codes ("1E 39")
    bool controller = false;     // a controller is attached and readable
    int32_t axisX = 0, axisY = 0;
    uint32_t pov = 0xFFFFFFFFu;
    int buttonsDown = 0;
};

// Loads libVELDI6 and opens the system keyboard and controller 0 (when one is attached).
// Key state comes from the keyboard events of the process's SDL windows.
class DemoInput {
public:
    explicit DemoInput(const std::string& libDir);
    ~DemoInput();
    DemoInput(const DemoInput&) = delete;
    DemoInput& operator=(const DemoInput&) = delete;

    bool Opened() const;
    // Polls both devices; call once per frame.
    DemoInputState Read();
    // One line describing the state, for the console.
    static std::string Describe(const DemoInputState& state);

private:
    struct Devices;
    std::unique_ptr<Devices> devices_;
};
