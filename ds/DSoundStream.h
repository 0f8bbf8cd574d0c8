// DSoundStream.h - CDSoundStream, PCM streamed through a three-second looping platform buffer.
#pragma once

#include "CriticalSection.h"
#include "ISoundReader.h"
#include "StreamControl.h"
#include "VELObject.h"
#include "dsound.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace VEL {

class IVELDS;

// The streaming thread's events: manual reset, created together; ok only when all were made.
class CEventList {
public:
    enum : uint32_t { kQuit = 0, kRestart = 1, kFirstHalf = 2, kSecondHalf = 3 };
    CEventList();
    virtual ~CEventList();
    CEventList(const CEventList&) = delete;
    CEventList& operator=(const CEventList&) = delete;

    uint32_t count = 4;
    bool ok = false;
    std::vector<HANDLE> handles;
};

// Plays a sound of any length: the streaming thread refills the half of the buffer that has just
// played from the reader, wrapping to the loop start when looping. Threads: the host calls every
// operation; the streaming thread (Open to Close) refills. lock_ guards the reader, the platform
// buffer's contents and cursor, and the fields marked below.
class CDSoundStream : public TVELObject<IStreamControl> {
public:
    // Takes references to both; a null reader means the built-in WAVE reader.
    CDSoundStream(IVELDS* root, ISoundReader* reader);
    bool Open(IDataStream* stream, bool loop, uint32_t loopStart) override;
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
    ~CDSoundStream() override;

private:
    bool OpenBuffer();
    void FailOpen();
    static unsigned ThreadMain(void* self);
    void RunThread();
    // Lock held for the next four.
    void Restart();
    // Fills a range of the platform buffer from the reader.
    void Refill(uint32_t offset, uint32_t length);
    void Write(uint32_t offset, const uint8_t* bytes, uint32_t length);
    // The next `length` bytes of sound: from the reader, wrapping to the loop start when
    // looping, silence once a sound without loop has run out.
    void ReadSound(uint8_t* bytes, uint32_t length);
    // True when the sound wraps to its loop start (a loop region of at least 1 ms).
    bool Loops() const { return loop_ && loopStart_ < length_; }

    IVELDS* root_;                          // counted reference
    bool open_ = false;
    bool playing_ = false;
    bool paused_ = false;
    uint32_t bufferSize_ = 0;               // bytes: three seconds
    uint32_t length_ = 0;                   // ms
    uint32_t loopStart_ = 0;                // ms, at most length_
    bool loop_ = false;
    bool endReached_ = false;               // lock_: the reader ran out, silence is fed
    uint32_t playedTime_ = 0;               // lock_: ms before the buffer's current pass
    uint8_t carry_ = 0;                     // lock_: the last byte of an odd-sized buffer, read
    bool carryPending_ = false;             // lock_: ahead and not yet written
    IDirectSoundBuffer8* buffer_ = nullptr; // counted reference
    IDirectSoundNotify* notify_ = nullptr;  // counted reference
    ISoundReader* reader_;                  // counted reference, for the stream's whole life
    IDataStream* stream_ = nullptr;         // counted reference, from Open on
    HANDLE thread_ = nullptr;               // the streaming thread, Open to Close
    boost::shared_ptr<CEventList> events_;
    WaveFormat format_{};
    CCriticalSection lock_;
};

} // namespace VEL
