// Raster threads. The drawing thread shades band 0 itself; workers shade the others.
#include "rast_scene.h"

#include "runtime.h"

#include <algorithm>

namespace plat::d3d9 {
namespace {

constexpr uint32_t kBandShift = 4; // 16-row bands
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

void Rasterizer::run_band(uint32_t index)
{
    RowBands bands;
    bands.shift = kBandShift;
    bands.count = bandCount_;
    bands.index = index;
    for (const TriSetup& t : *triangles_)
        fill_triangle(t, *state_, kernels_, bands);
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
        if (index >= bandCount_)
            continue;
        lock.unlock();
        run_band(index);
        lock.lock();
        if (--pending_ == 0)
            done_.notify_one();
    }
}

void Rasterizer::draw(const PixelState& state, const std::vector<TriSetup>& triangles)
{
    if (triangles.empty())
        return;
    DrawKernels kernels = choose_kernels(state);
    uint64_t rows = 0;
    for (const TriSetup& t : triangles)
        rows += static_cast<uint64_t>(t.yMax - t.yMin + 1);
    uint32_t threads = rows >= kThreadedRows ? wanted_threads() : 1;

    if (threads <= 1) {
        RowBands single;
        for (const TriSetup& t : triangles)
            fill_triangle(t, state, kernels, single);
        return;
    }

    ensure_workers(threads - 1);
    {
        std::lock_guard lock(mutex_);
        state_ = &state;
        triangles_ = &triangles;
        kernels_ = kernels;
        bandCount_ = threads;
        pending_ = threads - 1;
        ++generation_;
    }
    wake_.notify_all();
    run_band(0);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return pending_ == 0; });
}

} // namespace plat::d3d9
