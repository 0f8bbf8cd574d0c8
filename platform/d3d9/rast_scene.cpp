// Binning and raster threads. The drawing thread shades its share of bands itself; workers
// shade the rest.
#include "rast_scene.h"

#include "runtime.h"

#include <algorithm>
#include <chrono>

#include <immintrin.h>

namespace plat::d3d9 {
namespace {

// Below this many rows in a draw, waking a worker costs more than it saves.
constexpr uint64_t kThreadedRows = 512;

uint32_t wanted_threads()
{
    uint32_t setting;
    {
        Runtime& r = Runtime::get();
        std::lock_guard lock(r.mutex);
        setting = r.rasterThreads;
    }
    if (setting == 0)
        setting = std::max(1u, std::thread::hardware_concurrency());
    return std::min(setting, 16u);
}

} // namespace

Rasterizer::Rasterizer() = default;

Rasterizer::~Rasterizer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        stop_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void Rasterizer::ensure_workers(uint32_t count)
{
    while (workers_.size() < count) {
        uint32_t index = static_cast<uint32_t>(workers_.size()) + 1;
        try {
            workers_.emplace_back([this, index] { worker_main(index); });
        } catch (...) { // no thread to be had: draw with the ones there are
            return;
        }
    }
}

void Rasterizer::run_band(uint32_t b)
{
    int32_t row0 = (firstBand_ + static_cast<int32_t>(b)) << kBandShift;
    int32_t row1 = row0 + (1 << kBandShift) - 1;
    const uint32_t end = binStart_[b + 1];
    for (uint32_t i = binStart_[b]; i < end; ++i) {
        if (i + 2 < end) { // the set-up data of a later triangle is on its way while this one shades
            const char* next = reinterpret_cast<const char*>((*triangles_)[binned_[i + 2]]);
            for (size_t line = 0; line < sizeof(TriSetup); line += 64)
                __builtin_prefetch(next + line);
        }
        fill_triangle(*(*triangles_)[binned_[i]], *state_, kernels_, row0, row1);
    }
}

// Jobs of one frame follow each other within microseconds (clear, set-up, shading, in passes),
// so a thread that has finished one spins this long for the next before it sleeps: waking a
// sleeping thread costs more than a short job on a virtual machine.
constexpr auto kSpin = std::chrono::microseconds(150);

template <typename Ready>
bool spin_until(Ready ready)
{
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (ready())
                return true;
            _mm_pause();
        }
        if (std::chrono::steady_clock::now() >= until)
            return ready();
    }
}

void Rasterizer::worker_main(uint32_t index)
{
    uint64_t seen = 0;
    for (;;) {
        uint64_t posted = 0;
        auto fresh = [&] {
            posted = posted_.load(std::memory_order_acquire);
            return (posted >> 8) != seen || stop_.load(std::memory_order_relaxed);
        };
        if (!spin_until(fresh)) {
            std::unique_lock lock(mutex_);
            ++sleepers_;
            wake_.wait(lock, [&] { return stopping_ || fresh(); });
            --sleepers_;
        }
        if (stop_.load(std::memory_order_acquire))
            return;
        seen = posted >> 8;
        const uint32_t count = static_cast<uint32_t>(posted & 0xFF);
        if (index >= count)
            continue;
        // A part in this job: the drawing thread waits for this thread before it changes job_.
        (*job_)(index, count);
        if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard lock(mutex_);
            done_.notify_one();
        }
    }
}

uint32_t Rasterizer::threads_for(uint64_t units, uint64_t threshold)
{
    return units >= threshold ? wanted_threads() : 1;
}

void Rasterizer::parallel(uint32_t count, const std::function<void(uint32_t, uint32_t)>& job)
{
    if (count <= 1) {
        job(0, 1);
        return;
    }
    ensure_workers(count - 1);
    count = std::min<uint32_t>(count, static_cast<uint32_t>(workers_.size()) + 1);
    if (count <= 1) {
        job(0, 1);
        return;
    }
    bool wake;
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        pending_.store(count - 1, std::memory_order_relaxed);
        const uint64_t generation = (posted_.load(std::memory_order_relaxed) >> 8) + 1;
        posted_.store(generation << 8 | count, std::memory_order_release);
        wake = sleepers_ > 0;
    }
    if (wake)
        wake_.notify_all();
    job(0, count);
    auto finished = [&] { return pending_.load(std::memory_order_acquire) == 0; };
    if (!spin_until(finished)) {
        std::unique_lock lock(mutex_);
        done_.wait(lock, finished);
    }
}

void Rasterizer::parallel_items(uint32_t threads, uint32_t items, const std::function<void(uint32_t)>& item)
{
    threads = std::min(threads, items);
    if (threads <= 1) {
        for (uint32_t i = 0; i < items; ++i)
            item(i);
        return;
    }
    nextItem_.store(0, std::memory_order_relaxed); // published to the workers by parallel()
    parallel(threads, [&](uint32_t, uint32_t) {
        for (uint32_t i; (i = nextItem_.fetch_add(1, std::memory_order_relaxed)) < items;)
            item(i);
    });
}

void Rasterizer::draw(const PixelState& state, const std::vector<const TriSetup*>& triangles)
{
    if (triangles.empty())
        return;
    // Bin: count per band, prefix sums, then the indices in submission order.
    int32_t firstBand = state.clip.y0 >> kBandShift;
    int32_t lastBand = (state.clip.y1 - 1) >> kBandShift;
    size_t bands = static_cast<size_t>(lastBand - firstBand + 1);
    binStart_.assign(bands + 1, 0);
    uint64_t rows = 0;
    for (const TriSetup* t : triangles) {
        rows += static_cast<uint64_t>(t->yMax - t->yMin + 1);
        for (int32_t b = t->yMin >> kBandShift; b <= t->yMax >> kBandShift; ++b)
            ++binStart_[static_cast<size_t>(b - firstBand) + 1];
    }
    for (size_t b = 0; b < bands; ++b)
        binStart_[b + 1] += binStart_[b];
    binned_.resize(binStart_[bands]);
    {
        std::vector<uint32_t> fill(binStart_.begin(), binStart_.end() - 1);
        for (uint32_t i = 0; i < triangles.size(); ++i) {
            const TriSetup* t = triangles[i];
            for (int32_t b = t->yMin >> kBandShift; b <= t->yMax >> kBandShift; ++b)
                binned_[fill[static_cast<size_t>(b - firstBand)]++] = i;
        }
    }

    state_ = &state;
    triangles_ = &triangles;
    kernels_ = choose_kernels(state);
    firstBand_ = firstBand;
    uint32_t threads = std::min<uint32_t>(threads_for(rows, kThreadedRows), static_cast<uint32_t>(bands));
    parallel_items(threads, static_cast<uint32_t>(bands), [this](uint32_t b) { run_band(b); });
}

} // namespace plat::d3d9
