// IStdFPSWait.h - fixed-rate frame pacing for the host's main loop.
#pragma once

#include "VELInterface.h"

namespace VEL {

// Keeps a schedule of frames at a fixed rate on the millisecond clock. It never sleeps itself:
// each frame the host asks Wait how long to wait until the next frame is due.
class IStdFPSWait : public IVELInterface {
public:
    // True when the last Wait found the loop three or more frames behind.
    virtual bool IsFrameLate() = 0;
    // Starts pacing at the given frames per second (ignored when started or for 0).
    virtual void Start(uint32_t framesPerSecond) = 0;
    virtual void Stop() = 0;
    // Milliseconds to wait before the next frame; 0 when late or not started.
    virtual uint32_t Wait() = 0;
};

// IVELStd::CreateInterface id of a new, stopped IStdFPSWait.
inline constexpr GUID IID_IStdFPSWait = {0x78ACD76B, 0x685C, 0x420B, {0x95, 0x41, 0x99, 0x33, 0x73, 0x89, 0x3D, 0xEA}};

} // namespace VEL
