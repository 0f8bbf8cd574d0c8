// DSMediaStream.h - CDSMediaStream, the host's music object: picks a player by format name.
#pragma once

#include "IDSMediaStream.h"
#include "StreamControl.h"
#include "VELObject.h"

namespace VEL {

class IVELDS;

// Forwards every operation to its inner stream: a closed placeholder until the first Open, then
// a CDSoundStream (PCM) or a CDShowStream (media graph). No lock: used from the host's thread.
class CDSMediaStream : public TVELObject<IDSMediaStream> {
public:
    explicit CDSMediaStream(IVELDS* root);
    bool Open(IDataStream* stream, const char* format, bool loop, uint32_t loopStart, ISoundReader* reader) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void Close() override;
    uint32_t GetLength() override;
    uint32_t GetPosition() override;
    void SetPosition(uint32_t ms) override;
    int32_t GetVolume() override;
    void SetVolume(int32_t percent) override;
    int32_t GetPan() override;
    void SetPan(int32_t pan) override;
    int32_t GetFrequency() override;
    void SetFrequency(int32_t percent) override;
    bool IsLoop() override;
    uint32_t GetLoopStart() override;
    int32_t GetStatus() override;
    ~CDSMediaStream() override;

private:
    bool opened_ = false;
    IVELDS* root_;          // counted reference
    IStreamControl* inner_; // counted reference, never null
};

} // namespace VEL
