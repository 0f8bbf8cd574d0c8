// rast_scene.h - bins a draw's set-up triangles into row bands and shades the bands over the
// raster threads.
//
// The target's rows are cut into bands of 64 rows. Each band keeps the list of triangles that
// touch it, in submission order, and is shaded in one go by one thread (its colour and depth
// rows stay in cache while every triangle crosses it). Bands go to the raster threads as they
// come free; each pixel sees the same sequence of writes whichever thread shades its band, so the
// picture is identical for any thread count. A draw returns when every band is done: nothing is
// left pending, so locks, copies, Present and render-target switches need no flush.
#pragma once

#include "rast_fill.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::d3d9 {

class Rasterizer {
public:
    Rasterizer();
    ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    // Called by the device with its mutex held (one draw at a time). The triangles are shaded
    // in the order given.
    void draw(const PixelState& state, const std::vector<const TriSetup*>& triangles);

    // Runs job(index, count) for index 0 .. count - 1, one call per thread (index 0 on the
    // calling thread), and returns when all are done. count comes from threads_for.
    void parallel(uint32_t count, const std::function<void(uint32_t, uint32_t)>& job);
    // How many threads a piece of work of `units` (rows, primitives...) is worth, given that
    // below `threshold` one thread is best.
    uint32_t threads_for(uint64_t units, uint64_t threshold);

    // Runs item(i) for i = 0 .. items - 1 over up to `threads` threads (as parallel), each item
    // on one thread, handed out in order as threads come free: the cores need not be equally
    // fast (a virtual machine's seldom are), so no thread waits for another's fixed share.
    void parallel_items(uint32_t threads, uint32_t items, const std::function<void(uint32_t)>& item);

    // Rows are drawn, and large clears made, in bands of 1 << kBandShift rows (64: colour and
    // depth of a 1024-wide band fit in L2).
    static constexpr int32_t kBandShift = 6;

private:
    void worker_main(uint32_t index);
    void ensure_workers(uint32_t count);
    void run_band(uint32_t band);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> workers_; // touched only by the drawing thread and the destructor
    // The job, written by the drawing thread before it publishes the job in posted_ and read-only
    // while it runs:
    const std::function<void(uint32_t, uint32_t)>* job_ = nullptr;
    // The job's generation (bits 8 and up) and thread count (bits 0-7) in one word, so a worker
    // reads both at once: a worker that takes no part in one job cannot mistake the next for it.
    alignas(64) std::atomic<uint64_t> posted_{0};
    alignas(64) std::atomic<uint32_t> pending_{0}; // workers still running the current job
    alignas(64) std::atomic<uint32_t> nextItem_{0}; // parallel_items: the next item to hand out
    uint32_t sleepers_ = 0;                        // workers blocked on wake_; guarded by mutex_
    bool stopping_ = false;                        // guarded by mutex_
    std::atomic<bool> stop_{false};                // stopping_ for spinning workers
    // The draw being shaded (read-only while the bands run):
    const PixelState* state_ = nullptr;
    const std::vector<const TriSetup*>* triangles_ = nullptr;
    DrawKernels kernels_;
    int32_t firstBand_ = 0;
    std::vector<uint32_t> binStart_; // per band, into binned_ (one past the end at [band + 1])
    std::vector<uint32_t> binned_;   // triangle indices grouped by band, in submission order
};

} // namespace plat::d3d9
