// DShowStream.h - CDShowStream, MP3 and MIDI played by the platform's media graph.
#pragma once

#include "StreamControl.h"
#include "VELObject.h"
#include "win_com.h"

#include <string>

namespace VEL {

// LIMITATIONS: the platform has no filter graph yet, so Open fails where it asks the component
// system for one (as it does on a system without that class) and the stream stays closed: every
// getter returns 0, GetStatus 4, and Close and the controls do nothing. Open needs the component
// system initialised on the calling thread; the module never initialises it itself.
class CDShowStream : public TVELObject<IStreamControl> {
public:
    // Keeps the format name as given (null counts as empty); Open chooses the graph by it.
    explicit CDShowStream(const char* format);
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
    ~CDShowStream() override;

private:
    void ReleaseGraph();

    bool open_ = false;
    bool playing_ = false;
    bool paused_ = false;
    uint32_t length_ = 0;           // ms
    uint32_t loopStart_ = 0;        // ms
    bool loop_ = false;
    bool ended_ = false;
    IUnknown* graph_ = nullptr;     // counted reference: the filter graph manager
    IDataStream* stream_ = nullptr; // counted reference
    std::string format_;
    // What the source filter announces for the format: major type and subtype.
    GUID majorType_ = GUID_NULL;
    GUID subType_ = GUID_NULL;
};

// The media stream's rule for format names: ASCII A-Z to a-z, every other byte unchanged (the
// platform's multibyte code page has no double-byte lead bytes). Null counts as empty.
std::string LowerFormatName(const char* name);

} // namespace VEL
