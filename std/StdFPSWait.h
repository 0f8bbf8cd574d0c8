// StdFPSWait.h - IStdFPSWait: a fixed-rate frame schedule on the millisecond clock.
#pragma once

#include "IStdFPSWait.h"
#include "VELObject.h"

namespace VEL {

// Frame lengths are kept in 16.16 fixed point so that rates that do not divide 1000 ms keep
// their exact average (60 fps: frames of 16 and 17 ms). All clock arithmetic is unsigned 32-bit
// and survives the clock's wrap. No lock: one pacer belongs to one loop.
class CStdFPSWait final : public TVELObject<IStdFPSWait> {
public:
    bool IsFrameLate() override;
    void Start(uint32_t framesPerSecond) override;
    void Stop() override;
    uint32_t Wait() override;
    ~CStdFPSWait() override = default;

private:
    bool started_ = false;
    uint32_t frameLength_ = 0; // 16.16 milliseconds per frame
    uint32_t accumulator_ = 0; // 16.16: fraction carried over plus the current frame's length
    uint32_t dueTime_ = 0;     // clock time at which the current frame started by the schedule
    uint32_t rate_ = 0;
    bool late_ = false;
};

} // namespace VEL
