// keyboard.cpp - the system keyboard: a 256-byte key array indexed by DirectInput key codes, kept
// from the key events SDL delivers to the process, and the key injection of the control API.
//
// Threads: SDL calls the event watch on whichever thread queues the event (the host's thread in
// SDL_PumpEvents, or any thread that pushes one), with SDL's watcher lock held. The watch takes
// only keysLock, a leaf lock, so it cannot deadlock against Start/Stop, which call into SDL
// holding usersLock and never keysLock across an SDL call.
//
// LIMITATIONS: keys pressed while nothing watched (before the first DirectInput object) are
// known only as far as SDL's own keyboard state knows them when the watch starts. Keys with no
// DirectInput code (F16-F24, the Korean language keys, ...) are not reported. A host that calls
// SDL_Quit while input devices are open ends their events until a keyboard is acquired again.
#include "source.h"

#include "control_dinput.h"

#include <SDL.h>

#include <array>
#include <cstring>
#include <mutex>

namespace plat::dinput {

namespace {

// SDL scancode (USB HID keyboard usage) -> DirectInput key code (the PC scan code, 0x80 set for
// the E0-prefixed keys). Keys sharing one PC scan code share one code here.
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> BuildKeyMap()
{
    std::array<uint8_t, SDL_NUM_SCANCODES> m{};
    const uint8_t letters[26] = {DIK_A, DIK_B, DIK_C, DIK_D, DIK_E, DIK_F, DIK_G, DIK_H, DIK_I,
                                 DIK_J, DIK_K, DIK_L, DIK_M, DIK_N, DIK_O, DIK_P, DIK_Q, DIK_R,
                                 DIK_S, DIK_T, DIK_U, DIK_V, DIK_W, DIK_X, DIK_Y, DIK_Z};
    for (int i = 0; i < 26; ++i)
        m[SDL_SCANCODE_A + i] = letters[i];
    for (int i = 0; i < 10; ++i) // SDL: 1..9 then 0; DirectInput: DIK_1 (2) .. DIK_0 (11)
        m[SDL_SCANCODE_1 + i] = static_cast<uint8_t>(DIK_1 + i);
    const uint8_t fkeys[12] = {DIK_F1, DIK_F2, DIK_F3, DIK_F4, DIK_F5, DIK_F6,
                               DIK_F7, DIK_F8, DIK_F9, DIK_F10, DIK_F11, DIK_F12};
    for (int i = 0; i < 12; ++i)
        m[SDL_SCANCODE_F1 + i] = fkeys[i];
    const uint8_t pad[10] = {DIK_NUMPAD1, DIK_NUMPAD2, DIK_NUMPAD3, DIK_NUMPAD4, DIK_NUMPAD5,
                             DIK_NUMPAD6, DIK_NUMPAD7, DIK_NUMPAD8, DIK_NUMPAD9, DIK_NUMPAD0};
    for (int i = 0; i < 10; ++i) // SDL: KP_1..KP_9 then KP_0
        m[SDL_SCANCODE_KP_1 + i] = pad[i];

    struct Pair {
        SDL_Scancode scancode;
        uint8_t dik;
    };
    const Pair pairs[] = {
        {SDL_SCANCODE_RETURN, DIK_RETURN},
        {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_BACKSPACE, DIK_BACK},
        {SDL_SCANCODE_TAB, DIK_TAB},
        {SDL_SCANCODE_SPACE, DIK_SPACE},
        {SDL_SCANCODE_MINUS, DIK_MINUS},
        {SDL_SCANCODE_EQUALS, DIK_EQUALS},
        {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
        {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
        {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
        {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH}, // same PC scan code as backslash
        {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
        {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
        {SDL_SCANCODE_GRAVE, DIK_GRAVE},
        {SDL_SCANCODE_COMMA, DIK_COMMA},
        {SDL_SCANCODE_PERIOD, DIK_PERIOD},
        {SDL_SCANCODE_SLASH, DIK_SLASH},
        {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
        {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
        {SDL_SCANCODE_SYSREQ, DIK_SYSRQ},
        {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
        {SDL_SCANCODE_PAUSE, DIK_PAUSE},
        {SDL_SCANCODE_INSERT, DIK_INSERT},
        {SDL_SCANCODE_HOME, DIK_HOME},
        {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
        {SDL_SCANCODE_DELETE, DIK_DELETE},
        {SDL_SCANCODE_END, DIK_END},
        {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
        {SDL_SCANCODE_RIGHT, DIK_RIGHT},
        {SDL_SCANCODE_LEFT, DIK_LEFT},
        {SDL_SCANCODE_DOWN, DIK_DOWN},
        {SDL_SCANCODE_UP, DIK_UP},
        {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
        {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
        {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
        {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
        {SDL_SCANCODE_KP_PLUS, DIK_ADD},
        {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
        {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
        {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
        {SDL_SCANCODE_KP_EQUALSAS400, DIK_NUMPADEQUALS},
        {SDL_SCANCODE_KP_COMMA, DIK_ABNT_C2}, // the Brazilian keypad key: same PC scan code
        {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
        {SDL_SCANCODE_APPLICATION, DIK_APPS},
        {SDL_SCANCODE_MENU, DIK_APPS},
        {SDL_SCANCODE_POWER, DIK_POWER},
        {SDL_SCANCODE_SLEEP, DIK_SLEEP},
        {SDL_SCANCODE_F13, DIK_F13},
        {SDL_SCANCODE_F14, DIK_F14},
        {SDL_SCANCODE_F15, DIK_F15},
        {SDL_SCANCODE_STOP, DIK_STOP},
        {SDL_SCANCODE_MUTE, DIK_MUTE},
        {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
        {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
        {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1}, // Ro / Brazilian slash
        {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},    // Katakana/Hiragana
        {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
        {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},   // Henkan
        {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT}, // Muhenkan
        {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
        {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
        {SDL_SCANCODE_LALT, DIK_LMENU},
        {SDL_SCANCODE_LGUI, DIK_LWIN},
        {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
        {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
        {SDL_SCANCODE_RALT, DIK_RMENU},
        {SDL_SCANCODE_RGUI, DIK_RWIN},
        {SDL_SCANCODE_MODE, DIK_RMENU}, // AltGr reported as its own key by some layouts
        {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
        {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK},
        {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
        {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
        {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE},
        {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
        {SDL_SCANCODE_MAIL, DIK_MAIL},
        {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR},
        {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
        {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
        {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
        {SDL_SCANCODE_AC_BACK, DIK_WEBBACK},
        {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
        {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP},
        {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
        {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES},
    };
    for (const Pair& p : pairs)
        m[p.scancode] = p.dik;
    return m;
}

constexpr std::array<uint8_t, SDL_NUM_SCANCODES> kKeyMap = BuildKeyMap();

uint8_t DikFromScancode(int scancode)
{
    return scancode >= 0 && scancode < SDL_NUM_SCANCODES ? kKeyMap[scancode] : 0;
}

struct KeyboardState {
    std::mutex usersLock;
    uint32_t users = 0; // guarded by usersLock
    // The watch is registered with one of two tokens as its userdata (guarded by usersLock), so
    // it can be registered afresh before the old registration is removed.
    char tokens[2] = {};
    int token = 0;

    std::mutex keysLock;
    uint8_t keys[256] = {}; // guarded by keysLock: 0x80 while down
};

// Lives for the whole process: SDL may call the watch until SDL_Quit, after static destruction
// has begun.
KeyboardState& State()
{
    static KeyboardState* state = new KeyboardState;
    return *state;
}

int SDLCALL OnEvent(void*, SDL_Event* event)
{
    if (event->type != SDL_KEYDOWN && event->type != SDL_KEYUP)
        return 1;
    const uint8_t dik = DikFromScancode(event->key.keysym.scancode);
    if (dik != 0) {
        KeyboardState& s = State();
        std::lock_guard<std::mutex> hold(s.keysLock);
        s.keys[dik] = event->type == SDL_KEYDOWN ? 0x80 : 0;
    }
    return 1;
}

// usersLock held. Makes sure the watch is registered exactly once, whether or not SDL still has
// it (SDL_Quit drops every watch): the new registration goes in before the old one comes out,
// so no event is missed in between (the watch is idempotent while both run).
void Rewatch(KeyboardState& s)
{
    const int next = 1 - s.token;
    SDL_AddEventWatch(OnEvent, &s.tokens[next]);
    SDL_DelEventWatch(OnEvent, &s.tokens[s.token]);
    s.token = next;
}

class KeyboardSource final : public Source {
public:
    KeyboardSource()
    {
        KeyboardWatchStart();
        // One object per key code the keyboard can report, named after its first SDL key.
        bool seen[256] = {};
        for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
            const uint8_t dik = kKeyMap[sc];
            if (dik == 0 || seen[dik])
                continue;
            seen[dik] = true;
            const char* name = SDL_GetScancodeName(static_cast<SDL_Scancode>(sc));
            objects_.push_back({GUID_Key, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(dik), name ? name : ""});
        }
    }
    ~KeyboardSource() override { KeyboardWatchStop(); }

    void Describe(DIDEVICEINSTANCEA& info) const override { DescribeKeyboard(info); }
    bool IsKeyboard() const override { return true; }
    bool Attached() override { return true; }
    void Sample(std::vector<int32_t>& values) override
    {
        KeyboardState& s = State();
        std::lock_guard<std::mutex> hold(s.keysLock);
        for (size_t i = 0; i < objects_.size(); ++i)
            values[i] = s.keys[DIDFT_GETINSTANCE(objects_[i].type)];
    }
    void Acquired(bool) override
    {
        KeyboardState& s = State();
        std::lock_guard<std::mutex> hold(s.usersLock);
        Rewatch(s);
    }
};

} // namespace

void KeyboardWatchStart()
{
    KeyboardState& s = State();
    std::lock_guard<std::mutex> hold(s.usersLock);
    if (s.users++ != 0)
        return;
    SDL_InitSubSystem(SDL_INIT_EVENTS);
    // Start from what SDL knows of the keys held now (real keyboards only).
    uint8_t seed[256] = {};
    int count = 0;
    const Uint8* sdlKeys = SDL_GetKeyboardState(&count);
    for (int sc = 0; sdlKeys && sc < count && sc < SDL_NUM_SCANCODES; ++sc)
        if (sdlKeys[sc] && kKeyMap[sc])
            seed[kKeyMap[sc]] = 0x80;
    {
        std::lock_guard<std::mutex> keys(s.keysLock);
        std::memcpy(s.keys, seed, sizeof seed);
    }
    Rewatch(s);
}

void KeyboardWatchStop()
{
    KeyboardState& s = State();
    std::lock_guard<std::mutex> hold(s.usersLock);
    if (s.users == 0 || --s.users != 0)
        return;
    SDL_DelEventWatch(OnEvent, &s.tokens[s.token]);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

void DescribeKeyboard(DIDEVICEINSTANCEA& info)
{
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    info.guidInstance = GUID_SysKeyboard;
    info.guidProduct = GUID_SysKeyboard;
    info.dwDevType = DI8DEVTYPE_KEYBOARD | (DI8DEVTYPEKEYBOARD_PCENH << 8);
    std::strcpy(info.tszInstanceName, "Keyboard");
    std::strcpy(info.tszProductName, "Keyboard");
    info.wUsagePage = 0x01; // generic desktop
    info.wUsage = 0x06;     // keyboard
}

std::unique_ptr<Source> CreateKeyboardSource() { return std::make_unique<KeyboardSource>(); }

} // namespace plat::dinput

PLATCTL_API int platctl_dinput_key(uint32_t usage, int pressed)
{
    if (usage >= SDL_NUM_SCANCODES)
        return -1;
    // The event queue must run for SDL_PushEvent; this hold lasts for the process.
    static const bool eventsUp = SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
    if (!eventsUp)
        return -1;
    const auto scancode = static_cast<SDL_Scancode>(usage);
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = pressed ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = pressed ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    SDL_Keycode key = SDL_GetKeyFromScancode(scancode);
    event.key.keysym.sym = key != SDLK_UNKNOWN ? key : SDL_SCANCODE_TO_KEYCODE(scancode);
    event.key.keysym.mod = SDL_GetModState();
    if (SDL_Window* focus = SDL_GetKeyboardFocus())
        event.key.windowID = SDL_GetWindowID(focus);
    return SDL_PushEvent(&event) > 0 ? 0 : -1;
}
