// DSLevels.cpp - level conversions. Each step is rounded to single precision before the next
// one, so the results (and their one-off read-backs) are the same on every build.
#include "DSLevels.h"

#include "dsound.h"

#include <cmath>

namespace VEL::DSLevels {

namespace {

float Single(double v) { return static_cast<float>(v); }

// 100 ^ log10(x): x squared, through the single-precision steps.
int32_t SquareOf(int32_t x)
{
    const float exponent = Single(std::log10(static_cast<double>(static_cast<float>(x))));
    return static_cast<int32_t>(Single(std::pow(100.0, static_cast<double>(exponent))));
}

// 10 ^ (log10(x) / 2): the square root, through the single-precision steps.
float RootOf(int32_t x)
{
    const float logarithm = Single(std::log10(static_cast<double>(x)));
    const float half = logarithm * 0.5f;
    return Single(std::pow(10.0, static_cast<double>(half)));
}

} // namespace

int32_t VolumeToDevice(int32_t percent)
{
    if (percent < 0)
        return -10000;
    if (percent >= 100)
        return 0;
    return -SquareOf(100 - percent);
}

int32_t VolumeFromDevice(int32_t attenuation)
{
    if (attenuation >= 0)
        return 100;
    const int32_t magnitude = attenuation < -10000 ? 10000 : -attenuation;
    return static_cast<int32_t>(100.0 - static_cast<double>(RootOf(magnitude)));
}

int32_t PanToDevice(int32_t pan)
{
    if (pan < -100)
        return -10000;
    if (pan > 100)
        return 10000;
    if (pan == 0)
        return 0;
    return pan < 0 ? -SquareOf(-pan) : SquareOf(pan);
}

int32_t PanFromDevice(int32_t devicePan)
{
    if (devicePan == 0)
        return 0;
    // The device keeps pans inside -10000...10000; the clamp only guards the arithmetic.
    int32_t magnitude = devicePan < 0 ? (devicePan < -10000 ? 10000 : -devicePan) : devicePan;
    if (magnitude > 10000)
        magnitude = 10000;
    const auto root = static_cast<int32_t>(RootOf(magnitude));
    return devicePan < 0 ? -root : root;
}

uint32_t FrequencyToDevice(int32_t percent, uint32_t rate)
{
    const double value = std::trunc(static_cast<double>(percent) / 100.0 * static_cast<double>(rate));
    // A negative rate wraps as 32-bit hardware truncation does; the device refuses the result.
    if (value < 0.0)
        return static_cast<uint32_t>(static_cast<int64_t>(value));
    return TruncToU32(value);
}

int32_t FrequencyFromDevice(uint32_t frequency, uint32_t rate)
{
    if (rate == 0)
        return 0;
    const uint32_t percent = TruncToU32(static_cast<double>(frequency) / static_cast<double>(rate) * 100.0);
    return static_cast<int32_t>(percent > 0x7FFFFFFFu ? 0x7FFFFFFFu : percent);
}

uint32_t TruncToU32(double value)
{
    if (!(value > 0.0))
        return 0;
    if (value >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

int32_t ReadVolume(IDirectSoundBuffer8* buffer)
{
    LONG volume = 0;
    return SUCCEEDED(buffer->GetVolume(&volume)) ? VolumeFromDevice(volume) : 0;
}

int32_t ReadPan(IDirectSoundBuffer8* buffer)
{
    LONG pan = 0;
    return SUCCEEDED(buffer->GetPan(&pan)) ? PanFromDevice(pan) : 0;
}

int32_t ReadFrequency(IDirectSoundBuffer8* buffer, uint32_t rate)
{
    DWORD frequency = 0;
    return SUCCEEDED(buffer->GetFrequency(&frequency)) ? FrequencyFromDevice(frequency, rate) : 0;
}

void WriteVolume(IDirectSoundBuffer8* buffer, int32_t percent) { buffer->SetVolume(VolumeToDevice(percent)); }
void WritePan(IDirectSoundBuffer8* buffer, int32_t pan) { buffer->SetPan(PanToDevice(pan)); }
void WriteFrequency(IDirectSoundBuffer8* buffer, int32_t percent, uint32_t rate)
{
    buffer->SetFrequency(FrequencyToDevice(percent, rate));
}

} // namespace VEL::DSLevels
