// StreamControl.h - IStreamControl, the player behind a media stream (internal to the module).
#pragma once

#include "IDataStream.h"

namespace VEL {

// Implemented by CDSoundStream (PCM through a sound reader) and CDShowStream (the media graph).
// IDSMediaStream forwards its operations from Play to GetStatus here unchanged; see
// IDSMediaStream.h for their meaning.
class IStreamControl : public IVELInterface {
public:
    virtual bool Open(IDataStream* stream, bool loop, uint32_t loopStart) = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void Close() = 0;
    virtual uint32_t GetLength() = 0;
    virtual uint32_t GetPosition() = 0;
    virtual void SetPosition(uint32_t ms) = 0;
    virtual int32_t GetVolume() = 0;
    virtual void SetVolume(int32_t percent) = 0;
    virtual int32_t GetPan() = 0;
    virtual void SetPan(int32_t pan) = 0;
    virtual int32_t GetFrequency() = 0;
    virtual void SetFrequency(int32_t percent) = 0;
    virtual bool IsLoop() = 0;
    virtual uint32_t GetLoopStart() = 0;
    virtual int32_t GetStatus() = 0;
};

// GetStatus values.
enum : int32_t {
    STREAM_STOPPED = 0,
    STREAM_PLAYING = 1,
    STREAM_PAUSED = 2,
    STREAM_ENDED = 3,
    STREAM_CLOSED = 4,
};

} // namespace VEL
