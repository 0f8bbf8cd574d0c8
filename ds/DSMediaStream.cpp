// DSMediaStream.cpp - player choice and forwarding.
#include "DSMediaStream.h"

#include "DSoundStream.h"
#include "DShowStream.h"
#include "VELDS.h"

namespace VEL {

CDSMediaStream::CDSMediaStream(IVELDS* root) : root_(root), inner_(new CDShowStream("wave"))
{
    root_->AddRef();
}

CDSMediaStream::~CDSMediaStream()
{
    DropReference(inner_);
    root_->Release();
}

bool CDSMediaStream::Open(IDataStream* stream, const char* format, bool loop, uint32_t loopStart, ISoundReader* reader)
{
    if (!QueryDevice(root_) || opened_)
        return false;
    const std::string name = LowerFormatName(format);
    IStreamControl* chosen;
    // A host reader always means PCM streaming; without one only these names go to the graph.
    if (!reader && (name == "mid" || name == "midi" || name == "mp3"))
        chosen = new CDShowStream(format);
    else
        chosen = new CDSoundStream(root_, reader);
    // The new player replaces the old one (a failed Open leaves it in place, unopened).
    IStreamControl* old = inner_;
    inner_ = chosen;
    old->Release();
    opened_ = inner_->Open(stream, loop, loopStart);
    return opened_;
}

void CDSMediaStream::Play() { inner_->Play(); }
void CDSMediaStream::Pause() { inner_->Pause(); }
void CDSMediaStream::Stop() { inner_->Stop(); }

void CDSMediaStream::Close()
{
    inner_->Close();
    opened_ = false;
}

uint32_t CDSMediaStream::GetLength() { return inner_->GetLength(); }
uint32_t CDSMediaStream::GetPosition() { return inner_->GetPosition(); }
void CDSMediaStream::SetPosition(uint32_t ms) { inner_->SetPosition(ms); }
int32_t CDSMediaStream::GetVolume() { return inner_->GetVolume(); }
void CDSMediaStream::SetVolume(int32_t percent) { inner_->SetVolume(percent); }
int32_t CDSMediaStream::GetPan() { return inner_->GetPan(); }
void CDSMediaStream::SetPan(int32_t pan) { inner_->SetPan(pan); }
int32_t CDSMediaStream::GetFrequency() { return inner_->GetFrequency(); }
void CDSMediaStream::SetFrequency(int32_t percent) { inner_->SetFrequency(percent); }
bool CDSMediaStream::IsLoop() { return inner_->IsLoop(); }
uint32_t CDSMediaStream::GetLoopStart() { return inner_->GetLoopStart(); }
int32_t CDSMediaStream::GetStatus() { return inner_->GetStatus(); }

} // namespace VEL
