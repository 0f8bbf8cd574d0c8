// mixer.cpp - resampling and summing of the playing voices.
//
// Each voice is read at its own rate with linear interpolation between neighbouring frames
// (32.32 fixed-point position, so a voice at 44100 Hz steps exactly one frame and comes out
// bit for bit), scaled by its left and right gains, and summed in single precision. The sum is
// saturated to 16 bits once per output sample, so loud mixes clip instead of wrapping around.
//
// LIMITATIONS: no low-pass filter when a voice is read faster than 44100 Hz (high rates alias, as
// plain linear interpolation does); level and rate changes take effect at the next slice
// (at most kSliceFrames frames) without a ramp; notifications are signalled when the slice in
// which the cursor reached them has been mixed.
#include "mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat::dsound {

namespace {

constexpr uint64_t kUnitStep = uint64_t{1} << 32;
constexpr float kFraction = 1.0f / 4294967296.0f;

template <int Bits>
struct Sample;
template <>
struct Sample<8> {
    using Type = uint8_t;
    static float Get(Type v) { return (static_cast<float>(v) - 128.0f) * 256.0f; }
};
template <>
struct Sample<16> {
    using Type = int16_t;
    static float Get(Type v) { return static_cast<float>(v); }
};

// The inner loops. Preconditions (checked by MixVoice): every frame index read, including the
// right-hand neighbour of the last position, lies inside the buffer.
template <int Bits, int Channels>
void Resample(const uint8_t* data, uint64_t position, uint64_t step, uint32_t count, float gainLeft,
              float gainRight, float* __restrict acc)
{
    using S = Sample<Bits>;
    const auto* src = reinterpret_cast<const typename S::Type*>(data);
    for (uint32_t k = 0; k < count; ++k, position += step) {
        const size_t i = static_cast<size_t>(position >> 32) * Channels;
        const float f = static_cast<float>(static_cast<uint32_t>(position)) * kFraction;
        if constexpr (Channels == 1) {
            const float a = S::Get(src[i]);
            const float s = a + (S::Get(src[i + 1]) - a) * f;
            acc[2 * k] += s * gainLeft;
            acc[2 * k + 1] += s * gainRight;
        } else {
            const float l = S::Get(src[i]);
            const float r = S::Get(src[i + 1]);
            acc[2 * k] += (l + (S::Get(src[i + 2]) - l) * f) * gainLeft;
            acc[2 * k + 1] += (r + (S::Get(src[i + 3]) - r) * f) * gainRight;
        }
    }
}

// A voice at exactly the output rate on a whole frame needs no interpolation.
template <int Bits, int Channels>
void Copy(const uint8_t* data, uint32_t first, uint32_t count, float gainLeft, float gainRight,
          float* __restrict acc)
{
    using S = Sample<Bits>;
    const auto* src = reinterpret_cast<const typename S::Type*>(data) + static_cast<size_t>(first) * Channels;
    for (uint32_t k = 0; k < count; ++k) {
        if constexpr (Channels == 1) {
            const float s = S::Get(src[k]);
            acc[2 * k] += s * gainLeft;
            acc[2 * k + 1] += s * gainRight;
        } else {
            acc[2 * k] += S::Get(src[2 * k]) * gainLeft;
            acc[2 * k + 1] += S::Get(src[2 * k + 1]) * gainRight;
        }
    }
}

// One output frame between two arbitrary frames (the wrap from the last frame to the first).
template <int Bits, int Channels>
void Between(const uint8_t* data, uint32_t i0, uint32_t i1, float f, float gainLeft, float gainRight, float* acc)
{
    using S = Sample<Bits>;
    const auto* src = reinterpret_cast<const typename S::Type*>(data);
    for (int c = 0; c < 2; ++c) {
        const int ch = Channels == 1 ? 0 : c;
        const float a = S::Get(src[static_cast<size_t>(i0) * Channels + ch]);
        const float b = S::Get(src[static_cast<size_t>(i1) * Channels + ch]);
        acc[c] += (a + (b - a) * f) * (c == 0 ? gainLeft : gainRight);
    }
}

using ResampleFn = void (*)(const uint8_t*, uint64_t, uint64_t, uint32_t, float, float, float*);
using CopyFn = void (*)(const uint8_t*, uint32_t, uint32_t, float, float, float*);
using BetweenFn = void (*)(const uint8_t*, uint32_t, uint32_t, float, float, float, float*);

struct Kernels {
    ResampleFn resample;
    CopyFn copy;
    BetweenFn between;
};
template <int Bits, int Channels>
constexpr Kernels KernelsFor()
{
    return {&Resample<Bits, Channels>, &Copy<Bits, Channels>, &Between<Bits, Channels>};
}
// Indexed by (bits == 16) * 2 + (channels - 1).
constexpr Kernels kKernels[4] = {KernelsFor<8, 1>(), KernelsFor<8, 2>(), KernelsFor<16, 1>(), KernelsFor<16, 2>()};

void Signal(HANDLE event)
{
    SetEvent(event);
}

// Signals the notifications whose offsets the play cursor reached while it moved from byte
// `from` (inside the buffer) forward to `to` (unwrapped: passes through the end of the buffer
// count as `bytes` each). An offset is reached when from < offset <= to.
void SignalPassed(const Voice& voice, uint64_t from, uint64_t to)
{
    if (to <= from)
        return;
    const bool all = to - from >= voice.bytes;
    for (const DSBPOSITIONNOTIFY& n : voice.notifications) {
        if (n.dwOffset == DSBPN_OFFSETSTOP)
            continue;
        const uint64_t o = n.dwOffset;
        if (all || (o > from && o <= to) || o + voice.bytes <= to)
            Signal(n.hEventNotify);
    }
}

void SignalStop(const Voice& voice)
{
    for (const DSBPOSITIONNOTIFY& n : voice.notifications)
        if (n.dwOffset == DSBPN_OFFSETSTOP)
            Signal(n.hEventNotify);
}

// Adds `count` frames of a playing voice to `acc`, advances its cursor, wraps or ends it, and
// signals the notifications it passed. Lock held.
void MixVoice(Voice& v, float* acc, uint32_t count)
{
    const Kernels& k = kKernels[(v.bits == 16 ? 2 : 0) + (v.channels - 1)];
    const uint64_t span = static_cast<uint64_t>(v.frames) << 32;
    // Below `safe` a position and its right-hand neighbour both lie inside the buffer.
    const uint64_t safe = static_cast<uint64_t>(v.frames - 1) << 32;
    const uint64_t startByte = v.PlayCursor();
    const bool audible = v.gainLeft != 0.0f || v.gainRight != 0.0f;
    uint64_t wraps = 0;
    bool ended = false;
    uint32_t done = 0;
    while (done < count) {
        const uint64_t p = v.position;
        uint32_t n;
        if (p < safe) {
            const uint64_t room = (safe - p + v.step - 1) / v.step;
            n = static_cast<uint32_t>(std::min<uint64_t>(count - done, room));
            if (audible) {
                if (v.step == kUnitStep && static_cast<uint32_t>(p) == 0)
                    k.copy(v.data, static_cast<uint32_t>(p >> 32), n, v.gainLeft, v.gainRight, acc + 2 * done);
                else
                    k.resample(v.data, p, v.step, n, v.gainLeft, v.gainRight, acc + 2 * done);
            }
            v.position = p + static_cast<uint64_t>(n) * v.step;
        } else {
            // The last frame: its neighbour is the first frame when looping; a sound played once
            // holds its last value.
            n = 1;
            if (audible) {
                const uint32_t last = v.frames - 1;
                k.between(v.data, last, v.looping ? 0 : last, static_cast<float>(static_cast<uint32_t>(p)) * kFraction,
                          v.gainLeft, v.gainRight, acc + 2 * done);
            }
            v.position = p + v.step;
        }
        done += n;
        if (v.position >= span) {
            if (v.looping) {
                wraps += v.position / span;
                v.position %= span;
            } else {
                ended = true;
                break;
            }
        }
    }
    if (!v.notifications.empty()) {
        const uint64_t endByte = wraps * v.bytes + (ended ? v.bytes : v.PlayCursor());
        SignalPassed(v, startByte, endByte);
    }
    if (ended) {
        v.position = 0;
        Mixer::StopVoice(v);
    }
}

} // namespace

float GainForAttenuation(int32_t hundredthsDb)
{
    if (hundredthsDb <= 0)
        return 1.0f;
    if (hundredthsDb >= 10000)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, -static_cast<double>(hundredthsDb) / 2000.0));
}

void GainsFor(int32_t volume, int32_t pan, float& left, float& right)
{
    left = GainForAttenuation(-volume + std::max(pan, 0));
    right = GainForAttenuation(-volume + std::max(-pan, 0));
}

Mixer& Mixer::Instance()
{
    // Never destroyed: output threads may still mix while static objects are torn down at exit.
    static Mixer* mixer = new Mixer;
    return *mixer;
}

void Mixer::Add(Voice* voice)
{
    std::lock_guard<std::mutex> hold(lock_);
    voice->prev = nullptr;
    voice->next = first_;
    if (first_)
        first_->prev = voice;
    first_ = voice;
}

void Mixer::Remove(Voice* voice)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (voice->prev)
        voice->prev->next = voice->next;
    else if (first_ == voice)
        first_ = voice->next;
    if (voice->next)
        voice->next->prev = voice->prev;
    voice->prev = voice->next = nullptr;
}

void Mixer::StopVoice(Voice& voice)
{
    if (!voice.playing)
        return;
    voice.playing = false;
    SignalStop(voice);
}

void Mixer::SetMasterGain(float left, float right)
{
    std::lock_guard<std::mutex> hold(lock_);
    masterLeft_ = left;
    masterRight_ = right;
}

void Mixer::Mix(int16_t* out, uint32_t frames)
{
    while (frames > 0) {
        const uint32_t n = std::min(frames, kSliceFrames);
        MixSlice(out, n);
        out += 2 * static_cast<size_t>(n);
        frames -= n;
    }
}

void Mixer::MixSlice(int16_t* out, uint32_t frames)
{
    std::lock_guard<std::mutex> hold(lock_);
    std::fill(accum_, accum_ + 2 * frames, 0.0f);
    for (Voice* v = first_; v; v = v->next)
        if (v->playing)
            MixVoice(*v, accum_, frames);
    const float gains[2] = {masterLeft_, masterRight_};
    for (uint32_t i = 0; i < 2 * frames; ++i) {
        float s = accum_[i] * gains[i & 1];
        s = std::clamp(s, -32768.0f, 32767.0f);
        // Round half away from zero; the clamp keeps the result inside int16_t.
        out[i] = static_cast<int16_t>(static_cast<int32_t>(s + (s >= 0.0f ? 0.5f : -0.5f)));
    }
}

} // namespace plat::dsound
