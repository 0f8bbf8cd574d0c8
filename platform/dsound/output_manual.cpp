// output_manual.cpp - time advances only when the caller renders; the mix is kept for read-back.
//
// Render runs the mixer on the calling thread (a test's), so play cursors, notifications and the
// end of sounds happen exactly at the frames rendered. At most kKeepFrames frames are kept;
// rendering more drops the oldest.
#include "mixer.h"
#include "output.h"

#include "control_dsound.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace plat::dsound {

namespace {

constexpr size_t kKeepFrames = 60 * size_t{kMixRate};

class ManualOutput final : public Output {
public:
    ManualOutput() : Output(PLATCTL_DSOUND_MANUAL) {}

    bool Start(Mixer& mixer) override
    {
        std::lock_guard<std::mutex> hold(lock_);
        mixer_ = &mixer;
        return true;
    }

    void Stop() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        mixer_ = nullptr;
    }

    uint32_t Render(uint32_t frames) override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!mixer_)
            return 0;
        try {
            const size_t old = store_.size();
            store_.resize(old + 2 * static_cast<size_t>(frames));
            mixer_->Mix(store_.data() + old, frames);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        const size_t kept = store_.size() / 2 - head_;
        if (kept > kKeepFrames)
            head_ += kept - kKeepFrames;
        Compact();
        return frames;
    }

    uint32_t RenderMs(uint32_t ms) override
    {
        uint64_t frames;
        {
            std::lock_guard<std::mutex> hold(lock_);
            // 44.1 frames per millisecond: render up to the frame that the total time reaches.
            const uint64_t before = renderedMs_ * kMixRate / 1000;
            renderedMs_ += ms;
            frames = renderedMs_ * kMixRate / 1000 - before;
        }
        uint32_t total = 0;
        while (frames > 0) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(frames, kMixRate));
            const uint32_t done = Render(n);
            total += done;
            if (done != n)
                break;
            frames -= n;
        }
        return total;
    }

    uint32_t Available() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        return static_cast<uint32_t>(store_.size() / 2 - head_);
    }

    uint32_t Read(int16_t* samples, uint32_t maxFrames) override
    {
        std::lock_guard<std::mutex> hold(lock_);
        const size_t n = std::min<size_t>(maxFrames, store_.size() / 2 - head_);
        if (samples && n > 0)
            std::memcpy(samples, store_.data() + 2 * head_, n * 2 * sizeof(int16_t));
        head_ += n;
        Compact();
        return static_cast<uint32_t>(n);
    }

private:
    // Lock held. Moves the kept frames to the front once the consumed ones dominate.
    void Compact()
    {
        if (head_ == 0)
            return;
        const size_t kept = store_.size() / 2 - head_;
        if (head_ < kept && head_ < kMixRate)
            return;
        std::memmove(store_.data(), store_.data() + 2 * head_, kept * 2 * sizeof(int16_t));
        store_.resize(2 * kept);
        head_ = 0;
    }

    std::mutex lock_;
    Mixer* mixer_ = nullptr;       // guarded by lock_
    std::vector<int16_t> store_;   // guarded by lock_; frames before head_ were read
    size_t head_ = 0;              // guarded by lock_
    uint64_t renderedMs_ = 0;      // guarded by lock_
};

} // namespace

std::unique_ptr<Output> CreateManualOutput()
{
    return std::make_unique<ManualOutput>();
}

} // namespace plat::dsound
