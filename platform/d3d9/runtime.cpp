// Process-wide state and the control API of the graphics facility.
#include "runtime.h"

#include "device.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace plat::d3d9 {

void default_profile(platctl_d3d9_profile* out)
{
    std::memset(out, 0, sizeof(*out));
    std::strncpy(out->description, "VEL Software Rasterizer (Direct3D 9 stand-in)", sizeof(out->description) - 1);
    // A HAL device with hardware rasterisation and transform (so level 1 and 2 creation work) but
    // no pure device and no vertex shaders: the honest picture of a software pipeline.
    out->dev_caps = D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                    D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                    D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_CANRENDERAFTERFLIP;
    out->caps2 = D3DCAPS2_DYNAMICTEXTURES;
    out->vertex_shader_version = D3DVS_VERSION(0, 0);
    out->max_texture_width = 4096;
    out->max_texture_height = 4096;
    out->max_primitive_count = 0xFFFFF;
    out->max_vertex_index = 0xFFFFFF;
    out->texture_formats = PLATCTL_D3D9_TEX_A8R8G8B8 | PLATCTL_D3D9_TEX_X8R8G8B8 | PLATCTL_D3D9_TEX_A4R4G4B4 |
                           PLATCTL_D3D9_TEX_R5G6B5;
    out->video_memory_bytes = 256u * 1024u * 1024u;
    out->mode_count = 0;
}

Runtime& Runtime::get()
{
    static Runtime* instance = [] {
        auto* r = new Runtime; // never destroyed: devices may outlive static destruction order
        default_profile(&r->profile);
        return r;
    }();
    return *instance;
}

platctl_d3d9_profile Runtime::profile_copy()
{
    std::lock_guard lock(mutex);
    return profile;
}

bool Runtime::reserve_video_memory(uint64_t bytes)
{
    std::lock_guard lock(mutex);
    if (videoMemoryUsed + bytes > profile.video_memory_bytes)
        return false;
    videoMemoryUsed += bytes;
    return true;
}

void Runtime::free_video_memory(uint64_t bytes)
{
    std::lock_guard lock(mutex);
    videoMemoryUsed = bytes > videoMemoryUsed ? 0 : videoMemoryUsed - bytes;
}

uint32_t Runtime::free_video_memory_figure()
{
    std::lock_guard lock(mutex);
    uint64_t total = profile.video_memory_bytes;
    return static_cast<uint32_t>(videoMemoryUsed >= total ? 0 : total - videoMemoryUsed);
}

uint32_t Runtime::total_video_memory_figure()
{
    std::lock_guard lock(mutex);
    return profile.video_memory_bytes;
}

void Runtime::object_created()
{
    std::lock_guard lock(mutex);
    ++liveObjects;
}

void Runtime::object_destroyed()
{
    std::lock_guard lock(mutex);
    --liveObjects;
}

namespace {

// SDL's video subsystem is started around each query so that a host's own init is left alone.
struct VideoScope {
    bool ok;
    VideoScope() : ok(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {}
    ~VideoScope()
    {
        if (ok)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

} // namespace

std::vector<DisplayModeEntry> adapter_modes()
{
    platctl_d3d9_profile p = Runtime::get().profile_copy();
    std::vector<DisplayModeEntry> modes;
    if (p.mode_count > 0) {
        for (uint32_t i = 0; i < std::min<uint32_t>(p.mode_count, PLATCTL_D3D9_MAX_MODES); ++i)
            modes.push_back({p.modes[i].width, p.modes[i].height, p.modes[i].refresh_hz});
        return modes;
    }
    VideoScope video;
    if (video.ok) {
        int n = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < n; ++i) {
            SDL_DisplayMode m{};
            if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w <= 0 || m.h <= 0)
                continue;
            DisplayModeEntry e{static_cast<uint32_t>(m.w), static_cast<uint32_t>(m.h),
                               static_cast<uint32_t>(m.refresh_rate < 0 ? 0 : m.refresh_rate)};
            bool seen = std::any_of(modes.begin(), modes.end(), [&](const DisplayModeEntry& x) {
                return x.width == e.width && x.height == e.height && x.refresh == e.refresh;
            });
            if (!seen)
                modes.push_back(e);
        }
    }
    if (modes.empty()) // no display at all: the classic desktop sizes
        modes = {{640, 480, 60}, {800, 600, 60}, {1024, 768, 60}};
    // Ascending by size, then refresh: the order adapters list their modes in.
    std::sort(modes.begin(), modes.end(), [](const DisplayModeEntry& a, const DisplayModeEntry& b) {
        if (a.width != b.width)
            return a.width < b.width;
        if (a.height != b.height)
            return a.height < b.height;
        return a.refresh < b.refresh;
    });
    return modes;
}

DisplayModeEntry desktop_mode()
{
    platctl_d3d9_profile p = Runtime::get().profile_copy();
    if (p.mode_count == 0) {
        VideoScope video;
        SDL_DisplayMode m{};
        if (video.ok && SDL_GetDesktopDisplayMode(0, &m) == 0 && m.w > 0 && m.h > 0)
            return {static_cast<uint32_t>(m.w), static_cast<uint32_t>(m.h),
                    static_cast<uint32_t>(m.refresh_rate < 0 ? 0 : m.refresh_rate)};
    }
    std::vector<DisplayModeEntry> modes = adapter_modes();
    return modes.back();
}

} // namespace plat::d3d9

using namespace plat::d3d9;

PLATCTL_API void platctl_d3d9_lose_devices(void)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    for (Device* d : r.devices)
        d->control_lose();
}

PLATCTL_API void platctl_d3d9_make_restorable(void)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    for (Device* d : r.devices)
        d->control_restorable();
}

PLATCTL_API void platctl_d3d9_default_profile(platctl_d3d9_profile* out)
{
    if (out)
        default_profile(out);
}

PLATCTL_API void platctl_d3d9_set_profile(const platctl_d3d9_profile* profile)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    if (profile) {
        r.profile = *profile;
        r.profile.description[sizeof(r.profile.description) - 1] = '\0';
        if (r.profile.mode_count > PLATCTL_D3D9_MAX_MODES)
            r.profile.mode_count = PLATCTL_D3D9_MAX_MODES;
    } else {
        default_profile(&r.profile);
    }
}

PLATCTL_API uint32_t platctl_d3d9_video_memory_used(void)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    return static_cast<uint32_t>(r.videoMemoryUsed);
}

PLATCTL_API uint32_t platctl_d3d9_live_objects(void)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    return r.liveObjects;
}

PLATCTL_API void platctl_d3d9_set_raster_threads(uint32_t threads)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    r.rasterThreads = threads;
}

PLATCTL_API void platctl_d3d9_use_vector_loops(int on)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    r.vectorLoops = on != 0;
}

PLATCTL_API void platctl_d3d9_present_headless(int on)
{
    Runtime& r = Runtime::get();
    std::lock_guard lock(r.mutex);
    r.presentHeadless = on != 0;
}
