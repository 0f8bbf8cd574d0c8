#include "StdFPSWait.h"

#include "win_kernel.h"

namespace VEL {

bool CStdFPSWait::IsFrameLate() { return late_; }

void CStdFPSWait::Start(uint32_t framesPerSecond)
{
    if (started_ || framesPerSecond == 0)
        return;
    rate_ = framesPerSecond;
    frameLength_ = 65536000u / framesPerSecond; // 1000 ms in 16.16
    dueTime_ = timeGetTime();
    started_ = true;
}

void CStdFPSWait::Stop()
{
    if (!started_)
        return;
    frameLength_ = 0;
    dueTime_ = 0;
    accumulator_ = 0;
    started_ = false;
}

uint32_t CStdFPSWait::Wait()
{
    if (!started_)
        return 0;
    const uint32_t now = timeGetTime();
    accumulator_ = (accumulator_ & 0xFFFFu) + frameLength_;
    const uint32_t ms = accumulator_ >> 16;
    const uint32_t elapsed = now - dueTime_;
    if (elapsed < ms) {
        dueTime_ += ms;
        late_ = false;
        return ms - elapsed;
    }
    uint32_t over = elapsed - ms;
    // A backlog of four times the rate in milliseconds or more is dropped: the schedule restarts.
    if (over >= 4 * rate_)
        over = 0;
    late_ = over >= 3 * ms;
    dueTime_ = now - over;
    return 0;
}

} // namespace VEL
