// DSLevels.h - the engine's level units to and from the sound device's, shared by every sound
// object: volume in percent, pan -100...100 and frequency in percent on the host's side;
// hundredths of a decibel and samples per second on the device's.
#pragma once

#include <cstdint>

struct IDirectSoundBuffer8;

namespace VEL::DSLevels {

// Volume percent to attenuation: -(100 - v)^2 through single-precision steps; v < 0 is -10000,
// v > 100 is 0.
int32_t VolumeToDevice(int32_t percent);
// Attenuation back to percent: 100 - sqrt(-a) through single-precision steps (may read one
// below the percent that was set).
int32_t VolumeFromDevice(int32_t attenuation);
// Pan to device pan: sign(p) * p^2, clamped to -10000...10000.
int32_t PanToDevice(int32_t pan);
int32_t PanFromDevice(int32_t devicePan);
// Percent of `rate` in samples per second (0 gives 0: the buffer's own rate). Values that do not
// fit 32 bits come out as a rate the device refuses, never as undefined arithmetic.
uint32_t FrequencyToDevice(int32_t percent, uint32_t rate);
// Samples per second back to percent of `rate` (0 for a rate of 0).
int32_t FrequencyFromDevice(uint32_t frequency, uint32_t rate);

// A platform buffer's levels in the host's units, shared by the sound buffer and the stream:
// the getters give 0 when the device refuses; `rate` is the buffer's own sample rate.
int32_t ReadVolume(IDirectSoundBuffer8* buffer);
int32_t ReadPan(IDirectSoundBuffer8* buffer);
int32_t ReadFrequency(IDirectSoundBuffer8* buffer, uint32_t rate);
void WriteVolume(IDirectSoundBuffer8* buffer, int32_t percent);
void WritePan(IDirectSoundBuffer8* buffer, int32_t pan);
void WriteFrequency(IDirectSoundBuffer8* buffer, int32_t percent, uint32_t rate);

// Truncates toward zero into 32 unsigned bits, saturating (NaN and negatives give 0).
uint32_t TruncToU32(double value);

} // namespace VEL::DSLevels
