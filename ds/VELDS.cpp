// VELDS.cpp - the root: factory by id, device set-up, module exports.
#include "VELDS.h"

#include "DSMediaStream.h"
#include "DSSoundBuffer.h"
#include "ModuleExports.h"

namespace VEL {

IVELInterface* CVELDS::CreateInterface(const GUID* id)
{
    if (!id)
        return nullptr;
    if (IsSameId(*id, IID_IDSMediaStream))
        return new CDSMediaStream(this);
    if (IsSameId(*id, IID_IDSSoundBuffer))
        return new CDSSoundBuffer(this);
    if (IsSameId(*id, IID_VELDSDevice))
        return reinterpret_cast<IVELInterface*>(device_);
    return nullptr;
}

bool CVELDS::Initialize(void* window)
{
    if (!window || device_)
        return false;
    if (FAILED(DirectSoundCreate8(nullptr, &device_, nullptr))) {
        device_ = nullptr;
        return false;
    }
    // From here on the device stays bound, even when a later step fails.
    if (FAILED(device_->SetCooperativeLevel(window, DSSCL_PRIORITY)))
        return false;

    DSBUFFERDESC desc{};
    desc.dwSize = kBufferDescSize;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | kSecondaryFlags;
    IDirectSoundBuffer* primary = nullptr;
    if (FAILED(device_->CreateSoundBuffer(&desc, &primary, nullptr)) || !primary)
        return false;
    WAVEFORMATEX mix{};
    mix.wFormatTag = WAVE_FORMAT_PCM;
    mix.nChannels = 2;
    mix.nSamplesPerSec = 44100;
    mix.nAvgBytesPerSec = 176400;
    mix.nBlockAlign = 4;
    mix.wBitsPerSample = 16;
    mix.cbSize = 18;
    primary->SetFormat(&mix); // the device keeps its mix format whatever this reports
    primary->Release();
    return true;
}

void CVELDS::Uninitialize()
{
    if (!device_)
        return;
    device_->SetCooperativeLevel(nullptr, DSSCL_NORMAL);
    device_->Release();
    device_ = nullptr;
}

CVELDS::~CVELDS() { Uninitialize(); }

} // namespace VEL

VEL_DEFINE_MODULE_EXPORTS(VEL::CVELDS)
