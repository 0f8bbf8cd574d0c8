// DSoundStream.cpp - PCM streaming: the three-second buffer, its streaming thread and the
// millisecond arithmetic of positions.
//
// The buffer loops endlessly. The device signals event 2 when the play cursor passes the middle
// and event 3 when it wraps; the thread then refills the half that has just played, about 1.5 s
// before it plays again, and counts each completed pass as `playedTime_`. Stop and SetPosition
// rewrite the whole buffer themselves and clear the half events still pending from before, so a
// late refill never overwrites the fresh start with data from further on.
//
// With an odd buffer size (8-bit mono at an odd rate, such as 11025 Hz) the halves leave out the
// last byte, and the end-of-buffer event fires when the cursor reaches that byte, before it has
// played. The byte that belongs there is therefore read with the second half and kept back
// (`carry_`) until the first-half event of the next pass, when the old one has surely played;
// otherwise every pass would replay a stale byte.
#include "DSoundStream.h"

#include "DSLevels.h"
#include "VELDS.h"
#include "WavRead.h"

#include <algorithm>
#include <cstring>

namespace VEL {

CEventList::CEventList()
{
    handles.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!event)
            return;
        handles.push_back(event);
    }
    ok = true;
}

CEventList::~CEventList()
{
    for (HANDLE event : handles)
        if (event)
            CloseHandle(event);
}

CDSoundStream::CDSoundStream(IVELDS* root, ISoundReader* reader) : root_(root), reader_(reader)
{
    root_->AddRef();
    if (reader_)
        reader_->AddRef();
    else
        reader_ = new CWavRead();
    events_.reset(new CEventList());
}

CDSoundStream::~CDSoundStream()
{
    if (open_)
        Close();
    events_.reset();
    DropReference(stream_);
    DropReference(reader_);
    DropReference(notify_);
    DropReference(buffer_);
    root_->Release();
}

bool CDSoundStream::Open(IDataStream* stream, bool loop, uint32_t loopStart)
{
    // Without its events the streaming thread could neither refill nor be stopped.
    if (open_ || !events_->ok)
        return false;
    ReplaceReference(stream_, stream);
    if (!reader_->Open(stream)) {
        FailOpen();
        return false;
    }
    reader_->GetFormat(&format_);
    if (!OpenBuffer()) {
        FailOpen();
        return false;
    }
    length_ = reader_->GetLength();
    if (length_ == 0) {
        FailOpen();
        return false;
    }
    loop_ = loop;
    loopStart_ = std::min(loopStart, length_);

    // Events left signalled by an earlier Open/Close (the quit event above all) must not reach
    // the new thread.
    for (HANDLE event : events_->handles)
        ResetEvent(event);
    open_ = true;
    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CDSoundStream::ThreadMain, this, 0, nullptr));
    if (!thread_) {
        open_ = false;
        FailOpen();
        return false;
    }
    VELAutoLock hold(&lock_);
    Restart();
    return true;
}

// Creates, silences and arms the three-second platform buffer for format_.
bool CDSoundStream::OpenBuffer()
{
    bufferSize_ = DSLevels::TruncToU32(static_cast<double>(format_.avgBytesPerSec) * 3.0);
    IDirectSound8* device = QueryDevice(root_);
    if (!device)
        return false;
    WAVEFORMATEX format{};
    static_assert(sizeof format == sizeof format_);
    std::memcpy(&format, &format_, sizeof format);
    DSBUFFERDESC desc{};
    desc.dwSize = kBufferDescSize;
    desc.dwFlags = kSecondaryFlags;
    desc.dwBufferBytes = bufferSize_;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* plain = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &plain, nullptr)) || !plain)
        return false;
    IDirectSoundBuffer8* buffer = nullptr;
    IDirectSoundNotify* notify = nullptr;
    const HRESULT hr8 = plain->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer));
    const HRESULT hrNotify = plain->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify));
    plain->Release();
    if (FAILED(hr8) || FAILED(hrNotify) || !buffer || !notify) {
        if (buffer)
            buffer->Release();
        if (notify)
            notify->Release();
        return false;
    }
    DropReference(buffer_);
    DropReference(notify_);
    buffer_ = buffer;
    notify_ = notify;

    void* bytes = nullptr;
    DWORD locked = 0;
    if (SUCCEEDED(buffer_->Lock(0, bufferSize_, &bytes, &locked, nullptr, nullptr, 0))) {
        std::memset(bytes, SilenceByte(format_.bitsPerSample), locked);
        buffer_->Unlock(bytes, locked, nullptr, 0);
    }
    const DSBPOSITIONNOTIFY marks[2] = {{bufferSize_ / 2, events_->handles[CEventList::kFirstHalf]},
                                        {bufferSize_ - 1, events_->handles[CEventList::kSecondHalf]}};
    notify_->SetNotificationPositions(2, marks);
    return true;
}

void CDSoundStream::FailOpen()
{
    length_ = 0;
    loop_ = false;
    loopStart_ = 0;
    reader_->Close();
}

unsigned CDSoundStream::ThreadMain(void* self)
{
    static_cast<CDSoundStream*>(self)->RunThread();
    return 0;
}

// The streaming thread: sleeps on the four events, lowest index first.
void CDSoundStream::RunThread()
{
    const HANDLE* events = events_->handles.data();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(events_->count, events, FALSE, INFINITE, 0);
        if (woke >= WAIT_OBJECT_0 + events_->count || woke == CEventList::kQuit)
            return;
        const HANDLE event = events[woke];
        VELAutoLock hold(&lock_);
        // A restart or seek since the wake-up may have withdrawn the request.
        if (WaitForSingleObject(event, 0) != WAIT_OBJECT_0)
            continue;
        ResetEvent(event);
        const uint32_t half = bufferSize_ / 2;
        switch (woke) {
        case CEventList::kRestart:
            Restart();
            break;
        case CEventList::kFirstHalf:
            if (carryPending_) {
                Write(bufferSize_ - 1, &carry_, 1);
                carryPending_ = false;
            }
            Refill(0, half);
            break;
        case CEventList::kSecondHalf:
            Refill(half, half);
            if (bufferSize_ & 1) {
                ReadSound(&carry_, 1);
                carryPending_ = true;
            }
            playedTime_ += DSLevels::TruncToU32(static_cast<double>(bufferSize_) /
                                                static_cast<double>(format_.avgBytesPerSec) * 1000.0);
            break;
        default:
            break;
        }
    }
}

void CDSoundStream::Restart()
{
    if (!open_)
        return;
    playing_ = paused_ = endReached_ = false;
    buffer_->Stop();
    buffer_->SetCurrentPosition(0);
    ResetEvent(events_->handles[CEventList::kFirstHalf]);
    ResetEvent(events_->handles[CEventList::kSecondHalf]);
    reader_->Rewind();
    playedTime_ = 0;
    carryPending_ = false;
    Refill(0, bufferSize_);
}

void CDSoundStream::Refill(uint32_t offset, uint32_t length)
{
    void* part = nullptr;
    DWORD locked = 0;
    if (FAILED(buffer_->Lock(offset, length, &part, &locked, nullptr, nullptr, 0)) || !part)
        return;
    ReadSound(static_cast<uint8_t*>(part), locked);
    buffer_->Unlock(part, locked, nullptr, 0);
}

void CDSoundStream::Write(uint32_t offset, const uint8_t* bytes, uint32_t length)
{
    void* part = nullptr;
    DWORD locked = 0;
    if (FAILED(buffer_->Lock(offset, length, &part, &locked, nullptr, nullptr, 0)) || !part)
        return;
    std::memcpy(part, bytes, std::min<uint32_t>(locked, length));
    buffer_->Unlock(part, locked, nullptr, 0);
}

void CDSoundStream::ReadSound(uint8_t* bytes, uint32_t length)
{
    uint32_t filled = 0;
    if (!endReached_) {
        // A reader reports how much it delivered; more than was asked is not believed.
        auto readInto = [&](uint32_t at) {
            uint32_t got = 0;
            reader_->Read(length - at, bytes + at, &got);
            return std::min(got, length - at);
        };
        filled = readInto(0);
        if (filled < length) {
            if (Loops()) {
                while (filled < length) {
                    reader_->Rewind();
                    reader_->SetPosition(loopStart_);
                    const uint32_t got = readInto(filled);
                    if (got == 0)
                        break;
                    filled += got;
                }
            } else {
                endReached_ = true;
            }
        }
    }
    std::memset(bytes + filled, SilenceByte(format_.bitsPerSample), length - filled);
}

void CDSoundStream::Play()
{
    VELAutoLock hold(&lock_);
    if (!open_ || playing_ || GetPosition() >= length_)
        return;
    buffer_->Play(0, 0, DSBPLAY_LOOPING);
    playing_ = true;
    paused_ = false;
}

void CDSoundStream::Pause()
{
    if (!playing_)
        return;
    buffer_->Stop();
    paused_ = true;
    playing_ = false;
}

// Restarts at once (not through the thread), so a Play right after it is not undone.
void CDSoundStream::Stop()
{
    if (!playing_ && !paused_)
        return;
    VELAutoLock hold(&lock_);
    Restart();
}

void CDSoundStream::Close()
{
    if (!open_)
        return;
    Stop();
    SetEvent(events_->handles[CEventList::kQuit]);
    // Not under the lock: the thread may need it to finish a refill.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    length_ = 0;
    reader_->Close();
    open_ = false;
}

uint32_t CDSoundStream::GetLength() { return length_; }
bool CDSoundStream::IsLoop() { return loop_; }
uint32_t CDSoundStream::GetLoopStart() { return loopStart_; }

uint32_t CDSoundStream::GetPosition()
{
    if (!open_)
        return 0;
    VELAutoLock hold(&lock_);
    DWORD cursor = 0;
    buffer_->GetCurrentPosition(&cursor, nullptr);
    const uint64_t position =
        static_cast<uint64_t>(playedTime_) +
        DSLevels::TruncToU32(static_cast<double>(cursor) / static_cast<double>(format_.avgBytesPerSec) * 1000.0);
    if (position < length_)
        return static_cast<uint32_t>(position);
    if (!Loops())
        return length_;
    // Back into the loop region: subtract whole loop lengths until below the length.
    const uint64_t region = length_ - loopStart_;
    const uint64_t passes = (position - length_) / region + 1;
    return static_cast<uint32_t>(position - passes * region);
}

void CDSoundStream::SetPosition(uint32_t ms)
{
    if (!open_ || ms >= length_)
        return;
    VELAutoLock hold(&lock_);
    endReached_ = false;
    buffer_->Stop();
    buffer_->SetCurrentPosition(0);
    ResetEvent(events_->handles[CEventList::kFirstHalf]);
    ResetEvent(events_->handles[CEventList::kSecondHalf]);
    reader_->Rewind();
    reader_->SetPosition(ms);
    playedTime_ = ms;
    carryPending_ = false;
    Refill(0, bufferSize_);
    if (playing_)
        buffer_->Play(0, 0, DSBPLAY_LOOPING);
}

int32_t CDSoundStream::GetVolume() { return open_ ? DSLevels::ReadVolume(buffer_) : 0; }

void CDSoundStream::SetVolume(int32_t percent)
{
    if (open_)
        DSLevels::WriteVolume(buffer_, percent);
}

int32_t CDSoundStream::GetPan() { return open_ ? DSLevels::ReadPan(buffer_) : 0; }

void CDSoundStream::SetPan(int32_t pan)
{
    if (open_)
        DSLevels::WritePan(buffer_, pan);
}

int32_t CDSoundStream::GetFrequency() { return open_ ? DSLevels::ReadFrequency(buffer_, format_.samplesPerSec) : 0; }

void CDSoundStream::SetFrequency(int32_t percent)
{
    if (open_)
        DSLevels::WriteFrequency(buffer_, percent, format_.samplesPerSec);
}

int32_t CDSoundStream::GetStatus()
{
    if (!open_)
        return STREAM_CLOSED;
    if (GetPosition() >= length_)
        return STREAM_ENDED;
    if (paused_)
        return STREAM_PAUSED;
    if (playing_)
        return STREAM_PLAYING;
    return STREAM_STOPPED;
}

} // namespace VEL
