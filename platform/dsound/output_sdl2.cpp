// output_sdl2.cpp - the sound card through SDL2 audio (the default output device).
//
// SDL calls the mixer from its audio thread for each device period (1024 frames, about 23 ms).
// LIMITATIONS: the play cursor is the mixer's read position, which runs one device period (plus
// whatever the system queues) ahead of what is heard.
#include "mixer.h"
#include "output.h"

#include "control_dsound.h"

#include <SDL2/SDL.h>

namespace plat::dsound {

namespace {

class SdlOutput final : public Output {
public:
    SdlOutput() : Output(PLATCTL_DSOUND_DEVICE) {}
    ~SdlOutput() override { Stop(); }

    bool Start(Mixer& mixer) override
    {
        if (device_ != 0)
            return true;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kMixRate);
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &SdlOutput::Callback;
        want.userdata = &mixer;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the card takes.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void Stop() override
    {
        if (device_ == 0)
            return;
        SDL_CloseAudioDevice(device_); // waits for a running callback
        device_ = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

private:
    // SDL's audio thread.
    static void SDLCALL Callback(void* userdata, Uint8* stream, int len)
    {
        auto* mixer = static_cast<Mixer*>(userdata);
        mixer->Mix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(len) / 4);
    }

    SDL_AudioDeviceID device_ = 0;
};

} // namespace

std::unique_ptr<Output> CreateSdlOutput()
{
    return std::make_unique<SdlOutput>();
}

} // namespace plat::dsound
