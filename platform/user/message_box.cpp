// MessageBoxA on an SDL message box, or recorded through the control API.
//
// Called on any thread; SDL message boxes do not need SDL_Init. Recording is process-wide and
// guarded by one mutex.
#include "win_user.h"
#include "control_user.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace plat::user {
namespace {

struct RecordedBox {
    std::string caption;
    std::string text;
    uint32_t type;
};

struct Recorder {
    std::mutex mutex;
    bool recording = false;            // guarded by mutex
    std::vector<RecordedBox> boxes;    // guarded by mutex
};

Recorder& recorder()
{
    static Recorder instance;
    return instance;
}

void copy_out(const std::string& from, char* to, uint32_t size)
{
    if (!to || size == 0)
        return;
    size_t n = std::min<size_t>(from.size(), size - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

} // namespace
} // namespace plat::user

using namespace plat::user;

PLAT_API INT MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    std::string textString = text ? text : "";
    std::string captionString = caption ? caption : "";
    {
        Recorder& r = recorder();
        std::lock_guard lock(r.mutex);
        if (r.recording) {
            r.boxes.push_back({captionString, textString, type});
            return IDOK;
        }
    }
    // Only the MB_OK layout is offered; other layouts show the same single button.
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0u) == MB_ICONERROR)
        flags = SDL_MESSAGEBOX_ERROR;
    else if ((type & 0xF0u) == MB_ICONWARNING)
        flags = SDL_MESSAGEBOX_WARNING;
    if (SDL_ShowSimpleMessageBox(flags, captionString.c_str(), textString.c_str(),
                                 static_cast<SDL_Window*>(owner)) != 0)
        return 0;
    return IDOK;
}

PLATCTL_API void platctl_user_record_message_boxes(int on)
{
    Recorder& r = recorder();
    std::lock_guard lock(r.mutex);
    r.recording = on != 0;
}

PLATCTL_API uint32_t platctl_user_message_box_count(void)
{
    Recorder& r = recorder();
    std::lock_guard lock(r.mutex);
    return static_cast<uint32_t>(r.boxes.size());
}

PLATCTL_API int platctl_user_message_box(uint32_t index, char* caption, uint32_t captionSize, char* text,
                                         uint32_t textSize, uint32_t* type)
{
    Recorder& r = recorder();
    std::lock_guard lock(r.mutex);
    if (index >= r.boxes.size())
        return 0;
    const RecordedBox& box = r.boxes[index];
    copy_out(box.caption, caption, captionSize);
    copy_out(box.text, text, textSize);
    if (type)
        *type = box.type;
    return 1;
}

PLATCTL_API void platctl_user_clear_message_boxes(void)
{
    Recorder& r = recorder();
    std::lock_guard lock(r.mutex);
    r.boxes.clear();
}
