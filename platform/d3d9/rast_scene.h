// rast_scene.h - bins a draw's set-up triangles into row bands and shades the bands over the
// raster threads.
//
// The target's rows are cut into bands of 64 rows. Each band keeps the list of triangles that
// touch it, in submission order, and is shaded in one go (its colour and depth rows stay in
// cache while every triangle crosses it). Band b goes to thread b % threads, so each pixel sees
// the same sequence of writes as on one thread and the picture is identical for any thread
// count. A draw returns when every band is done: nothing is left pending, so locks, copies,
// Present and render-target switches need no flush.
#pragma once

#include "rast_fill.h"

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

private:
    void worker_main(uint32_t index);
    void ensure_workers(uint32_t count);
    void run_bands(uint32_t index, uint32_t count);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> workers_; // touched only by the drawing thread and the destructor
    // The job, published under mutex_ and read-only while it runs:
    const std::function<void(uint32_t, uint32_t)>* job_ = nullptr;
    uint32_t jobThreads_ = 1;
    // The draw being shaded (read-only while the bands run):
    const PixelState* state_ = nullptr;
    const std::vector<const TriSetup*>* triangles_ = nullptr;
    DrawKernels kernels_;
    int32_t firstBand_ = 0;
    std::vector<uint32_t> binStart_; // per band, into binned_ (one past the end at [band + 1])
    std::vector<uint32_t> binned_;   // triangle indices grouped by band, in submission order
    uint64_t generation_ = 0;
    uint32_t pending_ = 0;
    bool stopping_ = false;
};

} // namespace plat::d3d9
