// runtime.h - process-wide state of the graphics facility: the adapter profile, video-memory
// accounting, the live devices (for the control API's loss switch) and object counts.
//
// Every field is guarded by Runtime::mutex. Devices register in their constructor and leave in
// their destructor.
#pragma once

#include "control_d3d9.h"
#include "d3d9.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

namespace plat::d3d9 {

class Device;

struct DisplayModeEntry {
    uint32_t width;
    uint32_t height;
    uint32_t refresh;
};

struct Runtime {
    std::mutex mutex;
    platctl_d3d9_profile profile;      // guarded by mutex
    uint64_t videoMemoryUsed = 0;      // bytes held by default-pool resources; guarded by mutex
    uint32_t liveObjects = 0;          // devices, surfaces, textures, vertex buffers; guarded
    uint32_t rasterThreads = 0;        // 0: every core; guarded
    bool vectorLoops = true;           // guarded
    bool presentHeadless = false;      // SDL presenter under the offscreen/dummy drivers; guarded
    std::set<Device*> devices;         // guarded by mutex

    static Runtime& get();

    platctl_d3d9_profile profile_copy();
    // Reserves bytes of video memory; false if the profile's total would be exceeded.
    bool reserve_video_memory(uint64_t bytes);
    void free_video_memory(uint64_t bytes);
    uint32_t free_video_memory_figure();
    uint32_t total_video_memory_figure();
    void object_created();
    void object_destroyed();
};

void default_profile(platctl_d3d9_profile* out);

// The display modes the adapter lists (the same list for every format it offers), from the
// profile or, when the profile has none, from SDL's display modes of display 0.
std::vector<DisplayModeEntry> adapter_modes();
// The desktop mode (width, height, refresh) from SDL, or the first listed mode.
DisplayModeEntry desktop_mode();

} // namespace plat::d3d9
