// output.h - the seam between the mixer and where its samples go.
//
// An output pulls 44100 Hz 16-bit stereo frames from the mixer at its own pace, on its own
// thread (or, for the manual output, on the thread that renders). Exactly one output is active
// while a sound device is open; output_registry.cpp chooses it, driven by the control API.
#pragma once

#include <cstdint>
#include <memory>

namespace plat::dsound {

class Mixer;

class Output {
public:
    virtual ~Output() = default;

    // Starts pulling from `mixer`. False when this output cannot run here; nothing is left
    // running then.
    virtual bool Start(Mixer& mixer) = 0;
    // Stops pulling; once it returns the mixer is not called by this output any more. Idempotent.
    virtual void Stop() = 0;

    // Only the manual output renders on request and keeps what it rendered; the others ignore
    // these and report 0.
    virtual uint32_t Render(uint32_t frames) { (void)frames; return 0; }
    virtual uint32_t RenderMs(uint32_t ms) { (void)ms; return 0; }
    virtual uint32_t Available() { return 0; }
    virtual uint32_t Read(int16_t* samples, uint32_t maxFrames) { (void)samples; (void)maxFrames; return 0; }

    const int kind; // PLATCTL_DSOUND_*

protected:
    explicit Output(int outputKind) : kind(outputKind) {}
};

std::unique_ptr<Output> CreateSdlOutput();
std::unique_ptr<Output> CreateNullOutput();
std::unique_ptr<Output> CreateManualOutput();

// output_registry.cpp: a sound device opens / closes its share of the active output.
void AttachDevice();
void DetachDevice();

} // namespace plat::dsound
