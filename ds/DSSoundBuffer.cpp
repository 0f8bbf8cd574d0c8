// DSSoundBuffer.cpp - loading a sound into a platform buffer, one-shot playback, levels.
#include "DSSoundBuffer.h"

#include "DSLevels.h"
#include "VELDS.h"
#include "WavRead.h"

#include <cstring>

namespace VEL {

CDSSoundBuffer::CDSSoundBuffer(IVELDS* root) : root_(root)
{
    root_->AddRef();
    endEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CDSSoundBuffer::~CDSSoundBuffer()
{
    // The buffer goes before the event it signals, so the mixer never signals a closed handle.
    DropReference(notify_);
    DropReference(buffer_);
    if (endEvent_)
        CloseHandle(endEvent_);
    root_->Release();
}

void CDSSoundBuffer::Play()
{
    if (!loaded_)
        return;
    ResetEvent(endEvent_);
    buffer_->Play(0, 0, 0);
}

void CDSSoundBuffer::Pause()
{
    if (loaded_)
        buffer_->Stop();
}

void CDSSoundBuffer::Stop()
{
    if (!loaded_)
        return;
    buffer_->Stop();
    buffer_->SetCurrentPosition(0);
}

void CDSSoundBuffer::Unload()
{
    DropReference(buffer_);
    DropReference(notify_);
    loaded_ = false;
}

uint32_t CDSSoundBuffer::GetLength() { return length_; }

int32_t CDSSoundBuffer::GetVolume() { return loaded_ ? DSLevels::ReadVolume(buffer_) : 0; }

int32_t CDSSoundBuffer::GetPan() { return loaded_ ? DSLevels::ReadPan(buffer_) : 0; }

int32_t CDSSoundBuffer::GetFrequency() { return loaded_ ? DSLevels::ReadFrequency(buffer_, format_.samplesPerSec) : 0; }

void CDSSoundBuffer::SetVolume(int32_t percent)
{
    if (loaded_)
        DSLevels::WriteVolume(buffer_, percent);
}

void CDSSoundBuffer::SetPan(int32_t pan)
{
    if (loaded_)
        DSLevels::WritePan(buffer_, pan);
}

void CDSSoundBuffer::SetFrequency(int32_t percent)
{
    if (loaded_)
        DSLevels::WriteFrequency(buffer_, percent, format_.samplesPerSec);
}

int32_t CDSSoundBuffer::GetStatus()
{
    if (!loaded_)
        return 4;
    if (WaitForSingleObject(endEvent_, 0) == WAIT_OBJECT_0)
        return 3;
    DWORD status = 0;
    if (SUCCEEDED(buffer_->GetStatus(&status)) && (status & DSBSTATUS_PLAYING))
        return 1;
    return 0;
}

bool CDSSoundBuffer::Load(IDataStream* stream, ISoundReader* reader)
{
    if (stream)
        stream->AddRef();
    bool ok = false;
    if (stream && endEvent_ && QueryDevice(root_)) {
        if (reader)
            reader->AddRef();
        else
            reader = new CWavRead();
        if (reader->Open(stream)) {
            ok = LoadWith(reader);
            reader->Close();
        }
        reader->Release();
    }
    if (stream)
        stream->Release();
    return ok;
}

// Steps after the reader opened; the caller closes the reader.
bool CDSSoundBuffer::LoadWith(ISoundReader* reader)
{
    reader->Rewind();
    reader->GetFormat(&format_);
    length_ = reader->GetLength();
    // The buffer follows the millisecond length, so it may end up to a millisecond short of the
    // data and need not hold whole frames.
    bufferSize_ = DSLevels::TruncToU32(static_cast<double>(length_) / 1000.0 * static_cast<double>(format_.avgBytesPerSec));

    WAVEFORMATEX format{};
    static_assert(sizeof format == sizeof format_);
    std::memcpy(&format, &format_, sizeof format);
    DSBUFFERDESC desc{};
    desc.dwSize = kBufferDescSize;
    desc.dwFlags = kSecondaryFlags;
    desc.dwBufferBytes = bufferSize_;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* plain = nullptr;
    if (QueryDevice(root_)->CreateSoundBuffer(&desc, &plain, nullptr) != DS_OK || !plain)
        return false;
    IDirectSoundBuffer8* buffer = nullptr;
    IDirectSoundNotify* notify = nullptr;
    const HRESULT hr8 = plain->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer));
    const HRESULT hrNotify = plain->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify));
    plain->Release();
    if (hr8 != S_OK || !buffer || FAILED(hrNotify) || !notify) {
        if (buffer)
            buffer->Release();
        if (notify)
            notify->Release();
        return false;
    }
    // The new buffer replaces any earlier one from here on, as a repeated Load does; it is not
    // playable until it has been filled.
    loaded_ = false;
    DropReference(buffer_);
    DropReference(notify_);
    buffer_ = buffer;
    notify_ = notify;

    void* bytes = nullptr;
    DWORD locked = 0;
    if (buffer_->Lock(0, bufferSize_, &bytes, &locked, nullptr, nullptr, 0) != DS_OK)
        return false;
    std::memset(bytes, SilenceByte(format_.bitsPerSample), locked);
    uint32_t received = 0;
    reader->Read(locked, bytes, &received);
    buffer_->Unlock(bytes, locked, nullptr, 0);

    DSBPOSITIONNOTIFY end{bufferSize_ - 1, endEvent_};
    notify_->SetNotificationPositions(1, &end);

    length_ = reader->GetLength();
    if (length_ == 0)
        return false;
    // A sound just loaded has not played to its end yet.
    ResetEvent(endEvent_);
    loaded_ = true;
    return true;
}

} // namespace VEL
