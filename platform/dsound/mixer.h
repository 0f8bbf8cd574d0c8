// mixer.h - the core of the sound device: every playing secondary buffer mixed into one 44100 Hz
// 16-bit stereo stream.
//
// Threads: buffers are created, changed and destroyed on the callers' threads; Mix runs on the
// output's thread (SDL's audio callback, the null output's clock thread, or the test thread that
// renders the manual output). Everything a voice shares with Mix is guarded by Mixer::Lock(); Mix
// takes it per slice of at most kSliceFrames frames, so a caller waits at most one slice.
#pragma once

#include "dsound.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace plat::dsound {

inline constexpr uint32_t kMixRate = 44100;
inline constexpr uint32_t kSliceFrames = 256;

// Linear gain for an attenuation in 1/100 dB (0 = unity); 10000 and more is silence.
float GainForAttenuation(int32_t hundredthsDb);
// Left and right gains for a volume (DSBVOLUME_MIN..MAX) and pan (DSBPAN_LEFT..RIGHT): the volume
// attenuates both channels, a positive pan the left one and a negative pan the right one.
void GainsFor(int32_t volume, int32_t pan, float& left, float& right);

// One secondary buffer as the mixer sees it. The format fields and `data` are fixed at creation;
// the rest is guarded by Mixer::Lock().
struct Voice {
    uint8_t* data = nullptr; // the buffer's bytes, owned by the buffer object
    uint32_t bytes = 0;      // buffer size; may end in a partial frame, which is never played
    uint32_t frames = 0;     // whole frames, at least 1
    uint32_t align = 1;      // bytes per frame
    uint32_t channels = 1;   // 1 or 2
    uint32_t bits = 8;       // 8 (unsigned, silence 0x80) or 16 (signed)
    uint32_t rate = 0;       // the buffer's own rate

    // --- guarded by Mixer::Lock() ---
    bool playing = false;
    bool looping = false;
    uint64_t position = 0;   // play cursor in frames, 32.32 fixed point, always < frames << 32
    uint64_t step = 0;       // frames per output frame, 32.32 fixed point
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    std::vector<DSBPOSITIONNOTIFY> notifications;

    Voice* prev = nullptr;   // the mixer's list of voices
    Voice* next = nullptr;

    // Frames-per-output-frame for a rate in samples per second.
    static uint64_t StepFor(uint32_t frequency) { return (static_cast<uint64_t>(frequency) << 32) / kMixRate; }
    uint32_t PlayCursor() const { return static_cast<uint32_t>(position >> 32) * align; }
};

class Mixer {
public:
    static Mixer& Instance();

    // Guards every voice's shared fields and the voice list.
    std::mutex& Lock() { return lock_; }

    // Any thread, lock not held: enter / leave the list of voices.
    void Add(Voice* voice);
    void Remove(Voice* voice);

    // Any thread, lock held: stop a playing voice and signal its stop notifications.
    static void StopVoice(Voice& voice);

    // Master level (the primary buffer's volume and pan); any thread, lock not held.
    void SetMasterGain(float left, float right);

    // Output thread: mixes the next `frames` frames into `out` (interleaved left, right).
    void Mix(int16_t* out, uint32_t frames);

private:
    Mixer() = default;
    void MixSlice(int16_t* out, uint32_t frames);

    std::mutex lock_;
    Voice* first_ = nullptr;          // guarded by lock_
    float masterLeft_ = 1.0f;         // guarded by lock_
    float masterRight_ = 1.0f;        // guarded by lock_
    float accum_[kSliceFrames * 2] = {}; // used only inside MixSlice, under lock_
};

} // namespace plat::dsound
