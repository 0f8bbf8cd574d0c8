// output_registry.cpp - the one place that chooses the output, and the control API over it.
//
// The device output (or the null output when it cannot open) runs while at least one sound
// device is open. The manual output exists from the moment it is chosen until another one is,
// so a test can render before, during and after the life of its devices and read everything back.
#include "mixer.h"
#include "output.h"

#include "control_dsound.h"

#include <mutex>

namespace plat::dsound {

namespace {

struct Registry {
    std::mutex lock;
    int chosen = PLATCTL_DSOUND_DEVICE;  // guarded by lock
    uint32_t devices = 0;                // guarded by lock
    std::unique_ptr<Output> active;      // guarded by lock
};

// Lives for the whole process (never destroyed), like the mixer it drives: an output thread may
// still be running while static objects are torn down at exit.
Registry& TheRegistry()
{
    static Registry* registry = [] {
        Mixer::Instance();
        return new Registry;
    }();
    return *registry;
}

std::unique_ptr<Output> Create(int kind)
{
    switch (kind) {
    case PLATCTL_DSOUND_NULL:
        return CreateNullOutput();
    case PLATCTL_DSOUND_MANUAL:
        return CreateManualOutput();
    default:
        return CreateSdlOutput();
    }
}

// Lock held.
void StopActive(Registry& r)
{
    if (r.active) {
        r.active->Stop();
        r.active.reset();
    }
}

// Lock held. The chosen output, or the null output when the chosen one cannot start.
void StartChosen(Registry& r)
{
    StopActive(r);
    std::unique_ptr<Output> output = Create(r.chosen);
    if (!output->Start(Mixer::Instance())) {
        output = CreateNullOutput();
        output->Start(Mixer::Instance());
    }
    r.active = std::move(output);
}

} // namespace

void AttachDevice()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    if (r.devices++ == 0 && !r.active)
        StartChosen(r);
}

void DetachDevice()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    if (r.devices == 0 || --r.devices > 0)
        return;
    // The master level (the primary buffer's) belongs to the open devices.
    Mixer::Instance().SetMasterGain(1.0f, 1.0f);
    if (r.active && r.active->kind != PLATCTL_DSOUND_MANUAL)
        StopActive(r);
}

} // namespace plat::dsound

using plat::dsound::TheRegistry;

PLATCTL_API int platctl_dsound_use_output(int output)
{
    if (output != PLATCTL_DSOUND_DEVICE && output != PLATCTL_DSOUND_NULL && output != PLATCTL_DSOUND_MANUAL)
        return -1;
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.chosen = output;
    plat::dsound::StopActive(r);
    if (r.devices > 0 || output == PLATCTL_DSOUND_MANUAL)
        plat::dsound::StartChosen(r);
    return r.active ? r.active->kind : output;
}

PLATCTL_API int platctl_dsound_output(void)
{
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.active ? r.active->kind : r.chosen;
}

PLATCTL_API uint32_t platctl_dsound_render_frames(uint32_t frames)
{
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.active ? r.active->Render(frames) : 0;
}

PLATCTL_API uint32_t platctl_dsound_render_ms(uint32_t ms)
{
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.active ? r.active->RenderMs(ms) : 0;
}

PLATCTL_API uint32_t platctl_dsound_available(void)
{
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.active ? r.active->Available() : 0;
}

PLATCTL_API uint32_t platctl_dsound_read(int16_t* samples, uint32_t max_frames)
{
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.active ? r.active->Read(samples, max_frames) : 0;
}
