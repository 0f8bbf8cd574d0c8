// Binning and raster threads. The drawing thread shades its share of bands itself; workers
// shade the rest.
#include "rast_scene.h"

#include "runtime.h"

#include <algorithm>

namespace plat::d3d9 {
namespace {

constexpr int32_t kBandShift = 6; // 64-row bands: colour and depth of a 1024-wide band fit in L2
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
    }
    wake_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void Rasterizer::ensure_workers(uint32_t count)
{
    while (workers_.size() < count) {
        uint32_t index = static_cast<uint32_t>(workers_.size()) + 1;
        workers_.emplace_back([this, index] { worker_main(index); });
    }
}

void Rasterizer::run_bands(uint32_t index)
{
    const uint32_t bands = static_cast<uint32_t>(binStart_.size()) - 1;
    for (uint32_t b = index; b < bands; b += threadCount_) {
        int32_t row0 = (firstBand_ + static_cast<int32_t>(b)) << kBandShift;
        int32_t row1 = row0 + (1 << kBandShift) - 1;
        for (uint32_t i = binStart_[b]; i < binStart_[b + 1]; ++i)
            fill_triangle((*triangles_)[binned_[i]], *state_, kernels_, row0, row1);
    }
}

void Rasterizer::worker_main(uint32_t index)
{
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_)
            return;
        seen = generation_;
        if (index >= threadCount_)
            continue;
        lock.unlock();
        run_bands(index);
        lock.lock();
        if (--pending_ == 0)
            done_.notify_one();
    }
}

void Rasterizer::draw(const PixelState& state, const std::vector<TriSetup>& triangles)
{
    if (triangles.empty())
        return;
    // Bin: count per band, prefix sums, then the indices in submission order.
    int32_t firstBand = state.clip.y0 >> kBandShift;
    int32_t lastBand = (state.clip.y1 - 1) >> kBandShift;
    size_t bands = static_cast<size_t>(lastBand - firstBand + 1);
    binStart_.assign(bands + 1, 0);
    uint64_t rows = 0;
    for (const TriSetup& t : triangles) {
        rows += static_cast<uint64_t>(t.yMax - t.yMin + 1);
        for (int32_t b = t.yMin >> kBandShift; b <= t.yMax >> kBandShift; ++b)
            ++binStart_[static_cast<size_t>(b - firstBand) + 1];
    }
    for (size_t b = 0; b < bands; ++b)
        binStart_[b + 1] += binStart_[b];
    binned_.resize(binStart_[bands]);
    {
        std::vector<uint32_t> fill(binStart_.begin(), binStart_.end() - 1);
        for (uint32_t i = 0; i < triangles.size(); ++i) {
            const TriSetup& t = triangles[i];
            for (int32_t b = t.yMin >> kBandShift; b <= t.yMax >> kBandShift; ++b)
                binned_[fill[static_cast<size_t>(b - firstBand)]++] = i;
        }
    }

    state_ = &state;
    triangles_ = &triangles;
    kernels_ = choose_kernels(state);
    firstBand_ = firstBand;
    uint32_t threads = rows >= kThreadedRows ? std::min<uint32_t>(wanted_threads(), static_cast<uint32_t>(bands)) : 1;
    if (threads <= 1) {
        threadCount_ = 1;
        run_bands(0);
        return;
    }

    ensure_workers(threads - 1);
    {
        std::lock_guard lock(mutex_);
        threadCount_ = threads;
        pending_ = threads - 1;
        ++generation_;
    }
    wake_.notify_all();
    run_bands(0);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return pending_ == 0; });
}

} // namespace plat::d3d9
