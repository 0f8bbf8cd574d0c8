// rast_scene.h - runs a draw's set-up triangles over the raster threads.
//
// The target's rows are dealt out in bands of 16 rows (band b goes to thread b % threads); every
// thread walks all triangles in submission order but shades only its own rows, so each pixel
// sees the same sequence of writes as on one thread and the picture is identical for any thread
// count. A draw returns when every thread is done: nothing is left pending, so locks, copies,
// Present and render-target switches need no flush.
#pragma once

#include "rast_fill.h"

#include <condition_variable>
#include <cstdint>
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

    // Called by the device with its mutex held (one draw at a time).
    void draw(const PixelState& state, const std::vector<TriSetup>& triangles);

private:
    void worker_main(uint32_t index);
    void ensure_workers(uint32_t count);
    void run_band(uint32_t index);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> workers_; // touched only by the drawing thread and the destructor
    // The job, guarded by mutex_ while published:
    const PixelState* state_ = nullptr;
    const std::vector<TriSetup>* triangles_ = nullptr;
    DrawKernels kernels_;
    uint32_t bandCount_ = 1;
    uint64_t generation_ = 0;
    uint32_t pending_ = 0;
    bool stopping_ = false;
};

} // namespace plat::d3d9
