// IDSMediaStream.h - music and long sounds, streamed while they play.
#pragma once

#include "ISoundReader.h"

namespace VEL {

// Made by IVELDS::CreateInterface(&IID_IDSMediaStream); keeps its root alive until released.
// Open picks the player by format name: "mid", "midi" and "mp3" (any case, no reader given) go
// to the platform's media graph; everything else, and any stream with a host reader, is PCM
// streamed through `reader` or the built-in RIFF/WAVE reader. Times are in milliseconds; levels
// as in IDSSoundBuffer. Before Open and after Close every call does nothing, getters return 0
// and GetStatus 4.
class IDSMediaStream : public IVELInterface {
public:
    // Prepares the sound, stopped at its start. With `loop`, playback continues from `loopStart`
    // (clamped to the length) each time it reaches the end. False when the root is not
    // initialised, the stream is already open, or the data cannot be played.
    virtual bool Open(IDataStream* stream, const char* format, bool loop, uint32_t loopStart,
                      ISoundReader* reader) = 0;
    // Starts or resumes; refused at the end of a sound that does not loop.
    virtual void Play() = 0;
    // Stops, keeping the position.
    virtual void Pause() = 0;
    // Stops and returns to the start (done when the call returns).
    virtual void Stop() = 0;
    // Releases the sound; Open may follow, with any format.
    virtual void Close() = 0;
    virtual uint32_t GetLength() = 0;
    // Position in the sound; a looping sound wraps back into its loop region.
    virtual uint32_t GetPosition() = 0;
    // Jumps to `ms`; ignored at or beyond the length.
    virtual void SetPosition(uint32_t ms) = 0;
    virtual int32_t GetVolume() = 0;
    virtual void SetVolume(int32_t percent) = 0;
    virtual int32_t GetPan() = 0;
    virtual void SetPan(int32_t pan) = 0;
    virtual int32_t GetFrequency() = 0;
    virtual void SetFrequency(int32_t percent) = 0;
    virtual bool IsLoop() = 0;
    virtual uint32_t GetLoopStart() = 0;
    // 0 stopped, 1 playing, 2 paused, 3 ended (a sound without loop played through), 4 not open.
    virtual int32_t GetStatus() = 0;
};

} // namespace VEL
