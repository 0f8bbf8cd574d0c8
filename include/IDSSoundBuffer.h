// IDSSoundBuffer.h - a short sound decoded once into one platform buffer and played one-shot.
#pragma once

#include "ISoundReader.h"

namespace VEL {

// Made by IVELDS::CreateInterface(&IID_IDSSoundBuffer); keeps its root alive until released.
// Levels are the engine's units: volume 0-100 percent, pan -100 (left) to 100 (right),
// frequency in percent of the sound's own rate. Playback calls do nothing and getters return 0
// while nothing is loaded.
class IDSSoundBuffer : public IVELInterface {
public:
    // Plays once from the current position (from the start after Stop or after the end).
    virtual void Play() = 0;
    // Stops, keeping the position, so Play resumes there.
    virtual void Pause() = 0;
    // Stops and returns to the start.
    virtual void Stop() = 0;
    // Drops the decoded sound.
    virtual void Unload() = 0;
    // Length in milliseconds (kept after Unload).
    virtual uint32_t GetLength() = 0;
    virtual int32_t GetVolume() = 0;
    virtual int32_t GetPan() = 0;
    virtual int32_t GetFrequency() = 0;
    // Decodes the whole stream through `reader`, or through the built-in RIFF/WAVE PCM reader
    // when it is null. Needs an initialised root. False when the data cannot be decoded or is
    // shorter than one millisecond. Neither the stream nor the reader is kept.
    virtual bool Load(IDataStream* stream, ISoundReader* reader) = 0;
    // 0 stopped or paused, 1 playing, 3 played to the end (until the next Play), 4 not loaded.
    virtual int32_t GetStatus() = 0;
    // Percent; below 0 is silence, above 100 full volume. The level follows the square of the
    // distance from 100 in hundredths of a decibel (50 percent is -25 dB).
    virtual void SetVolume(int32_t percent) = 0;
    // -100 silences the right channel, 100 the left one; 0 is centred.
    virtual void SetPan(int32_t pan) = 0;
    // Percent of the sound's own rate (0 restores it); 50 plays at half speed.
    virtual void SetFrequency(int32_t percent) = 0;
};

} // namespace VEL
