// output_null.cpp - no sound card: a thread keeps real time by mixing into a scratch buffer and
// throwing the result away, so play cursors move and notifications fire as they would with a card.
//
// The thread wakes every 10 ms and mixes the frames that real (monotonic) time says are due, in
// pieces of at most one scratch buffer; it never runs ahead of real time.
#include "mixer.h"
#include "output.h"

#include "control_dsound.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::dsound {

namespace {

class NullOutput final : public Output {
public:
    NullOutput() : Output(PLATCTL_DSOUND_NULL) {}
    ~NullOutput() override { Stop(); }

    bool Start(Mixer& mixer) override
    {
        if (thread_.joinable())
            return true;
        stopping_ = false;
        thread_ = std::thread([this, &mixer] { Run(mixer); });
        return true;
    }

    void Stop() override
    {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Run(Mixer& mixer)
    {
        using Clock = std::chrono::steady_clock;
        constexpr uint32_t kScratchFrames = 1024;
        std::vector<int16_t> scratch(2 * kScratchFrames);
        const Clock::time_point start = Clock::now();
        uint64_t mixed = 0;
        std::unique_lock<std::mutex> hold(lock_);
        while (!stopping_) {
            wake_.wait_for(hold, std::chrono::milliseconds(10));
            if (stopping_)
                break;
            hold.unlock();
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            const uint64_t due = static_cast<uint64_t>(elapsed) * kMixRate / 1000000;
            while (mixed < due) {
                const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(due - mixed, kScratchFrames));
                mixer.Mix(scratch.data(), n);
                mixed += n;
            }
            hold.lock();
        }
    }

    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false; // guarded by lock_
};

} // namespace

std::unique_ptr<Output> CreateNullOutput()
{
    return std::make_unique<NullOutput>();
}

} // namespace plat::dsound
