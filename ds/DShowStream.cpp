// DShowStream.cpp - the media-graph stream: its closed state and the first steps of Open.
#include "DShowStream.h"

namespace VEL {

namespace {

// Published identifiers of the media graph.
constexpr CLSID kCLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID kIID_IFilterGraph = {0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID kMEDIATYPE_Stream = {0xE436EB83, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID kMEDIASUBTYPE_WAVE = {0xE436EB8B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID kMEDIATYPE_Midi = {0x7364696D, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

} // namespace

std::string LowerFormatName(const char* name)
{
    std::string lower = name ? name : "";
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

CDShowStream::CDShowStream(const char* format) : format_(format ? format : "") {}

CDShowStream::~CDShowStream()
{
    Close();
    ReleaseGraph();
}

bool CDShowStream::Open(IDataStream* stream, bool loop, uint32_t loopStart)
{
    if (open_)
        return false;
    const std::string name = LowerFormatName(format_.c_str());
    majorType_ = kMEDIATYPE_Stream;
    if (name == "mid" || name == "midi")
        subType_ = kMEDIATYPE_Midi;
    else if (name == "wav" || name == "wave")
        subType_ = kMEDIASUBTYPE_WAVE;
    else
        subType_ = GUID_NULL;

    ReplaceReference(stream_, stream);
    void* graph = nullptr;
    if (FAILED(CoCreateInstance(kCLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, kIID_IFilterGraph, &graph)) ||
        !graph) {
        length_ = 0;
        ReleaseGraph();
        return false;
    }
    graph_ = static_cast<IUnknown*>(graph);
    // The graph's source, splitter and renderer come with the platform's media graph; until
    // then no graph can be built, and Open ends as it does for a graph that cannot play.
    (void)loop;
    (void)loopStart;
    length_ = 0;
    ReleaseGraph();
    return false;
}

void CDShowStream::ReleaseGraph()
{
    DropReference(stream_);
    DropReference(graph_);
}

void CDShowStream::Play() {}
void CDShowStream::Pause() {}
void CDShowStream::Stop() {}

void CDShowStream::Close()
{
    if (!open_)
        return;
    Stop();
    length_ = 0;
    ReleaseGraph();
    open_ = false;
}

uint32_t CDShowStream::GetLength() { return length_; }
uint32_t CDShowStream::GetPosition() { return 0; }
void CDShowStream::SetPosition(uint32_t) {}
int32_t CDShowStream::GetVolume() { return 0; }
void CDShowStream::SetVolume(int32_t) {}
int32_t CDShowStream::GetPan() { return 0; }
void CDShowStream::SetPan(int32_t) {}
int32_t CDShowStream::GetFrequency() { return 0; }
void CDShowStream::SetFrequency(int32_t) {}
bool CDShowStream::IsLoop() { return loop_; }
uint32_t CDShowStream::GetLoopStart() { return loopStart_; }

int32_t CDShowStream::GetStatus()
{
    if (!open_)
        return STREAM_CLOSED;
    if (ended_)
        return STREAM_ENDED;
    if (paused_)
        return STREAM_PAUSED;
    if (playing_)
        return STREAM_PLAYING;
    return STREAM_STOPPED;
}

} // namespace VEL
