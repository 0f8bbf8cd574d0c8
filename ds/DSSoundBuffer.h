// DSSoundBuffer.h - CDSSoundBuffer, a whole sound decoded into one platform buffer.
#pragma once

#include "IDSSoundBuffer.h"
#include "VELObject.h"
#include "dsound.h"

namespace VEL {

class IVELDS;

// One-shot playback of a sound loaded once. No lock: used from the host's thread; the device's
// mixer signals the end event from its own thread and GetStatus only polls it.
class CDSSoundBuffer : public TVELObject<IDSSoundBuffer> {
public:
    explicit CDSSoundBuffer(IVELDS* root);
    void Play() override;
    void Pause() override;
    void Stop() override;
    void Unload() override;
    uint32_t GetLength() override;
    int32_t GetVolume() override;
    int32_t GetPan() override;
    int32_t GetFrequency() override;
    bool Load(IDataStream* stream, ISoundReader* reader) override;
    int32_t GetStatus() override;
    void SetVolume(int32_t percent) override;
    void SetPan(int32_t pan) override;
    void SetFrequency(int32_t percent) override;
    ~CDSSoundBuffer() override;

private:
    bool LoadWith(ISoundReader* reader);

    bool loaded_ = false;
    IVELDS* root_;                          // counted reference
    uint32_t bufferSize_ = 0;               // bytes
    uint32_t length_ = 0;                   // ms
    IDirectSoundBuffer8* buffer_ = nullptr; // counted reference
    IDirectSoundNotify* notify_ = nullptr;  // counted reference
    WaveFormat format_{};
    HANDLE endEvent_;                       // manual reset; signalled when the last byte is played
};

} // namespace VEL
