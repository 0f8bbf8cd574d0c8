// dinput.h - keyboard and game controllers as DirectInput 8 devices. Implemented by
// libplat_dinput.so.
//
// Devices: the system keyboard (GUID_SysKeyboard) and every attached game controller (one
// instance id each, handed out by EnumDevices). A device reports its state through a data
// format, a table that places each of its objects (axes, POVs, buttons, keys) at a byte offset in
// the caller's state buffer; c_dfDIKeyboard and c_dfDIJoystick2 are the two standard ones.
// Only the calls declared here exist; anything else a caller might expect of such a device is not
// provided. Interface slots are in this header's own order: engine and platform are built
// against it together.
#pragma once

#include "win_com.h"
#include "win_kernel.h"

// --- handles --------------------------------------------------------------------------------------
#ifndef VEL_HWND_DEFINED
#define VEL_HWND_DEFINED
using HWND = void*;
#endif
// The module instance handed to DirectInput8Create; opaque and unused here.
using HINSTANCE = void*;

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

// --- results --------------------------------------------------------------------------------------
// The published values. Success codes other than DI_OK are S_FALSE-like "nothing to do" answers.
inline constexpr HRESULT DI_OK = S_OK;
inline constexpr HRESULT DI_NOTATTACHED = S_FALSE;
inline constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;
inline constexpr HRESULT DI_PROPNOEFFECT = S_FALSE;
inline constexpr HRESULT DI_NOEFFECT = S_FALSE;
inline constexpr HRESULT DI_POLLEDDEVICE = 2;

inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
inline constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);
inline constexpr HRESULT DIERR_BADDRIVERVER = static_cast<HRESULT>(0x80070077u);
inline constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DIERR_NOTFOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
inline constexpr HRESULT DIERR_GENERIC = E_FAIL;
inline constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
// The system's "not ready" error as a result code.
inline constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
inline constexpr HRESULT DIERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x800704DFu);
inline constexpr HRESULT DIERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
inline constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
inline constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
inline constexpr HRESULT DIERR_READONLY = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT DIERR_HANDLEEXISTS = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT DIERR_UNPLUGGED = static_cast<HRESULT>(0x80040209u);
inline constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);

// --- device classes, types and enumeration ----------------------------------------------------------
inline constexpr DWORD DI8DEVCLASS_ALL = 0;
inline constexpr DWORD DI8DEVCLASS_DEVICE = 1;
inline constexpr DWORD DI8DEVCLASS_POINTER = 2;
inline constexpr DWORD DI8DEVCLASS_KEYBOARD = 3;
inline constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;

// DIDEVICEINSTANCEA::dwDevType: the type in the low byte, the subtype in the next.
inline constexpr DWORD DI8DEVTYPE_DEVICE = 0x11;
inline constexpr DWORD DI8DEVTYPE_MOUSE = 0x12;
inline constexpr DWORD DI8DEVTYPE_KEYBOARD = 0x13;
inline constexpr DWORD DI8DEVTYPE_JOYSTICK = 0x14;
inline constexpr DWORD DI8DEVTYPE_GAMEPAD = 0x15;
inline constexpr DWORD DI8DEVTYPEKEYBOARD_PCENH = 4;
inline constexpr DWORD DI8DEVTYPEJOYSTICK_STANDARD = 2;
inline constexpr DWORD DI8DEVTYPEGAMEPAD_STANDARD = 2;

inline constexpr DWORD DIEDFL_ALLDEVICES = 0x00000000;
inline constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;
inline constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x00000100;
inline constexpr DWORD DIEDFL_INCLUDEALIASES = 0x00010000;
inline constexpr DWORD DIEDFL_INCLUDEPHANTOMS = 0x00020000;
inline constexpr DWORD DIEDFL_INCLUDEHIDDEN = 0x00040000;

inline constexpr BOOL DIENUM_STOP = 0;
inline constexpr BOOL DIENUM_CONTINUE = 1;

// --- cooperative levels -----------------------------------------------------------------------------
inline constexpr DWORD DISCL_EXCLUSIVE = 0x01;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x02;
inline constexpr DWORD DISCL_FOREGROUND = 0x04;
inline constexpr DWORD DISCL_BACKGROUND = 0x08;
inline constexpr DWORD DISCL_NOWINKEY = 0x10;

// --- object types (DIOBJECTDATAFORMAT::dwType, DIDEVICEOBJECTINSTANCEA::dwType, EnumObjects) -------
inline constexpr DWORD DIDFT_ALL = 0x00000000;
inline constexpr DWORD DIDFT_RELAXIS = 0x00000001;
inline constexpr DWORD DIDFT_ABSAXIS = 0x00000002;
inline constexpr DWORD DIDFT_AXIS = 0x00000003;
inline constexpr DWORD DIDFT_PSHBUTTON = 0x00000004;
inline constexpr DWORD DIDFT_TGLBUTTON = 0x00000008;
inline constexpr DWORD DIDFT_BUTTON = 0x0000000C;
inline constexpr DWORD DIDFT_POV = 0x00000010;
inline constexpr DWORD DIDFT_COLLECTION = 0x00000040;
inline constexpr DWORD DIDFT_NODATA = 0x00000080;
inline constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
inline constexpr DWORD DIDFT_INSTANCEMASK = DIDFT_ANYINSTANCE;
inline constexpr DWORD DIDFT_FFACTUATOR = 0x01000000;
inline constexpr DWORD DIDFT_FFEFFECTTRIGGER = 0x02000000;
inline constexpr DWORD DIDFT_VENDORDEFINED = 0x04000000;
inline constexpr DWORD DIDFT_ALIAS = 0x08000000;
inline constexpr DWORD DIDFT_OUTPUT = 0x10000000;
inline constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
inline constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFFu) << 8; }
inline constexpr DWORD DIDFT_GETTYPE(DWORD t) { return t & 0xFFu; }
inline constexpr DWORD DIDFT_GETINSTANCE(DWORD t) { return (t >> 8) & 0xFFFFu; }

// Aspects (DIOBJECTDATAFORMAT::dwFlags): which quantity of an axis an entry receives.
inline constexpr DWORD DIDOI_ASPECTPOSITION = 0x00000100;
inline constexpr DWORD DIDOI_ASPECTVELOCITY = 0x00000200;
inline constexpr DWORD DIDOI_ASPECTACCEL = 0x00000300;
inline constexpr DWORD DIDOI_ASPECTFORCE = 0x00000400;
inline constexpr DWORD DIDOI_ASPECTMASK = 0x00000F00;

// --- object kinds -----------------------------------------------------------------------------------
inline constexpr GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Button = {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Unknown = {0xA36D02F3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The system keyboard (all keyboards of the process together).
inline constexpr GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
inline constexpr GUID IID_IDirectInputDevice8A = {0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};

// --- data formats -----------------------------------------------------------------------------------
// One entry places one device object in the state buffer. An entry takes the first object not yet
// placed whose kind is `pguid` (null: any kind), whose type matches the type bits of `dwType`
// (none: any type) and whose instance is the one in `dwType` (DIDFT_ANYINSTANCE: any), with the
// aspect of `dwFlags` (none: any). Axes and POVs take 4 bytes at a 4-byte aligned offset, buttons
// and keys 1 byte. An entry that finds no object reads 0 (a POV entry 0xFFFFFFFF, centred);
// without DIDFT_OPTIONAL such an entry makes SetDataFormat fail.
struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};
using LPCDIOBJECTDATAFORMAT = const DIOBJECTDATAFORMAT*;

inline constexpr DWORD DIDF_ABSAXIS = 0x00000001;
inline constexpr DWORD DIDF_RELAXIS = 0x00000002;

struct DIDATAFORMAT {
    DWORD dwSize;    // sizeof(DIDATAFORMAT)
    DWORD dwObjSize; // sizeof(DIOBJECTDATAFORMAT)
    DWORD dwFlags;   // DIDF_ABSAXIS or DIDF_RELAXIS
    DWORD dwDataSize; // bytes of the state buffer, a multiple of 4
    DWORD dwNumObjs;
    const DIOBJECTDATAFORMAT* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

// The standard keyboard format: 256 bytes, byte n for the key with code n (DIK_*), 0x80 when down.
PLAT_API const DIDATAFORMAT c_dfDIKeyboard;
// The standard extended joystick format: 272 bytes laid out as DIJOYSTATE2.
PLAT_API const DIDATAFORMAT c_dfDIJoystick2;

// The state c_dfDIJoystick2 reports. Axes read within their DIPROP_RANGE (default 0..65535);
// a POV reads hundredths of a degree clockwise from north, 0xFFFFFFFF when centred; a button byte
// is 0x80 while pressed. Controllers here report positions only: the velocity, acceleration and
// force members read 0.
struct DIJOYSTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[128];
    LONG lVX, lVY, lVZ, lVRx, lVRy, lVRz;
    LONG rglVSlider[2];
    LONG lAX, lAY, lAZ, lARx, lARy, lARz;
    LONG rglASlider[2];
    LONG lFX, lFY, lFZ, lFRx, lFRy, lFRz;
    LONG rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272, "DIJOYSTATE2 is 272 bytes");

// --- properties -------------------------------------------------------------------------------------
// Property ids are small numbers passed where a GUID pointer goes.
inline const GUID* const DIPROP_RANGE = reinterpret_cast<const GUID*>(static_cast<uintptr_t>(4));

inline constexpr DWORD DIPH_DEVICE = 0;   // dwObj 0: every object the property applies to
inline constexpr DWORD DIPH_BYOFFSET = 1; // dwObj: the object's offset in the current data format
inline constexpr DWORD DIPH_BYID = 2;     // dwObj: the object's type id (DIDEVICEOBJECTINSTANCEA::dwType)

struct DIPROPHEADER {
    DWORD dwSize;       // size of the whole property record
    DWORD dwHeaderSize; // sizeof(DIPROPHEADER)
    DWORD dwObj;
    DWORD dwHow;        // DIPH_*
};
using LPCDIPROPHEADER = const DIPROPHEADER*;
using LPDIPROPHEADER = DIPROPHEADER*;

// DIPROP_RANGE: the values an absolute axis reports from full deflection one way to the other
// (lMin < lMax); the centre reads lMin + (lMax - lMin) / 2.
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPRANGE) == 24, "property records");

// --- descriptions -----------------------------------------------------------------------------------
struct DIDEVICEINSTANCEA {
    DWORD dwSize; // sizeof(DIDEVICEINSTANCEA)
    GUID guidInstance; // pass to CreateDevice; valid while the device stays attached
    GUID guidProduct;
    DWORD dwDevType;   // DI8DEVTYPE_* | subtype << 8
    CHAR tszInstanceName[260];
    CHAR tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580, "DIDEVICEINSTANCEA is 580 bytes");
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;
using LPDIDEVICEINSTANCEA = DIDEVICEINSTANCEA*;

struct DIDEVICEOBJECTINSTANCEA {
    DWORD dwSize; // sizeof(DIDEVICEOBJECTINSTANCEA)
    GUID guidType; // GUID_XAxis, GUID_Button, GUID_Key, ...
    DWORD dwOfs;   // offset in the current data format (0 when the format does not place it)
    DWORD dwType;  // DIDFT_* type | DIDFT_MAKEINSTANCE(instance): the object's id for DIPH_BYID
    DWORD dwFlags; // DIDOI_* aspect
    CHAR tszName[260];
    DWORD dwFFMaxForce;
    DWORD dwFFForceResolution;
    WORD wCollectionNumber;
    WORD wDesignatorIndex;
    WORD wUsagePage;
    WORD wUsage;
    DWORD dwDimension;
    WORD wExponent;
    WORD wReportId;
};
static_assert(sizeof(DIDEVICEOBJECTINSTANCEA) == 316, "DIDEVICEOBJECTINSTANCEA is 316 bytes");
using LPCDIDEVICEOBJECTINSTANCEA = const DIDEVICEOBJECTINSTANCEA*;

// Return DIENUM_CONTINUE for the next item, DIENUM_STOP to end the enumeration.
using LPDIENUMDEVICESCALLBACKA = BOOL (*)(LPCDIDEVICEINSTANCEA device, void* context);
using LPDIENUMDEVICEOBJECTSCALLBACKA = BOOL (*)(LPCDIDEVICEOBJECTINSTANCEA object, void* context);

// --- interfaces -------------------------------------------------------------------------------------
// One opened device. Its state is readable while it is acquired, which needs a data format.
// A controller that is unplugged makes the next Poll or GetDeviceState fail with DIERR_INPUTLOST
// and leaves the device unacquired; acquiring it again fails with DIERR_UNPLUGGED.
struct IDirectInputDevice8A : IUnknown {
    // Fills `device` (dwSize set by the caller).
    virtual HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA device) = 0;
    // Calls back once per object whose type matches `flags` (DIDFT_ALL, DIDFT_AXIS, DIDFT_BUTTON,
    // DIDFT_POV, ...). The callback may call SetProperty on this device.
    virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, void* context, DWORD flags) = 0;
    // DIPROP_RANGE only (axes): DIERR_UNSUPPORTED for any other property.
    virtual HRESULT GetProperty(const GUID* property, LPDIPROPHEADER header) = 0;
    virtual HRESULT SetProperty(const GUID* property, LPCDIPROPHEADER header) = 0;
    // DI_OK, or DI_NOEFFECT when already acquired.
    virtual HRESULT Acquire() = 0;
    // DI_OK, or DI_NOEFFECT when not acquired.
    virtual HRESULT Unacquire() = 0;
    // Copies the state in the current data format; `size` must be the format's dwDataSize.
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    // Not while acquired (DIERR_ACQUIRED).
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    // One of DISCL_EXCLUSIVE/DISCL_NONEXCLUSIVE with one of DISCL_FOREGROUND/DISCL_BACKGROUND.
    // A foreground device reads only while `window` (an SDL_Window*) has the keyboard focus;
    // a background one needs no window. Not while acquired (DIERR_ACQUIRED).
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // Brings a controller's state up to date: DI_OK; DI_NOEFFECT for the keyboard, whose state
    // follows its events by itself.
    virtual HRESULT Poll() = 0;
};
using LPDIRECTINPUTDEVICE8A = IDirectInputDevice8A*;

struct IDirectInput8A : IUnknown {
    // `guid`: GUID_SysKeyboard or a controller's guidInstance. `outer` must be null.
    virtual HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device, IUnknown* outer) = 0;
    // `deviceType`: a DI8DEVCLASS_* class or a DI8DEVTYPE_* type. Controllers come in the order
    // they were attached, which stays the same while they stay attached.
    virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) = 0;
    // DI_OK for an attached device, DI_NOTATTACHED for one that is gone, DIERR_DEVICENOTREG for
    // a guid that never named a device.
    virtual HRESULT GetDeviceStatus(REFGUID guid) = 0;
};
using LPDIRECTINPUT8A = IDirectInput8A*;

// Creates a DirectInput object. `version` must be DIRECTINPUT_VERSION, `iid` IID_IDirectInput8A,
// `outer` null.
PLAT_API HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** object, IUnknown* outer);

// --- key codes (positions in the keyboard state) ----------------------------------------------------
inline constexpr BYTE DIK_ESCAPE = 0x01;
inline constexpr BYTE DIK_1 = 0x02;
inline constexpr BYTE DIK_2 = 0x03;
inline constexpr BYTE DIK_3 = 0x04;
inline constexpr BYTE DIK_4 = 0x05;
inline constexpr BYTE DIK_5 = 0x06;
inline constexpr BYTE DIK_6 = 0x07;
inline constexpr BYTE DIK_7 = 0x08;
inline constexpr BYTE DIK_8 = 0x09;
inline constexpr BYTE DIK_9 = 0x0A;
inline constexpr BYTE DIK_0 = 0x0B;
inline constexpr BYTE DIK_MINUS = 0x0C;
inline constexpr BYTE DIK_EQUALS = 0x0D;
inline constexpr BYTE DIK_BACK = 0x0E;
inline constexpr BYTE DIK_TAB = 0x0F;
inline constexpr BYTE DIK_Q = 0x10;
inline constexpr BYTE DIK_W = 0x11;
inline constexpr BYTE DIK_E = 0x12;
inline constexpr BYTE DIK_R = 0x13;
inline constexpr BYTE DIK_T = 0x14;
inline constexpr BYTE DIK_Y = 0x15;
inline constexpr BYTE DIK_U = 0x16;
inline constexpr BYTE DIK_I = 0x17;
inline constexpr BYTE DIK_O = 0x18;
inline constexpr BYTE DIK_P = 0x19;
inline constexpr BYTE DIK_LBRACKET = 0x1A;
inline constexpr BYTE DIK_RBRACKET = 0x1B;
inline constexpr BYTE DIK_RETURN = 0x1C;
inline constexpr BYTE DIK_LCONTROL = 0x1D;
inline constexpr BYTE DIK_A = 0x1E;
inline constexpr BYTE DIK_S = 0x1F;
inline constexpr BYTE DIK_D = 0x20;
inline constexpr BYTE DIK_F = 0x21;
inline constexpr BYTE DIK_G = 0x22;
inline constexpr BYTE DIK_H = 0x23;
inline constexpr BYTE DIK_J = 0x24;
inline constexpr BYTE DIK_K = 0x25;
inline constexpr BYTE DIK_L = 0x26;
inline constexpr BYTE DIK_SEMICOLON = 0x27;
inline constexpr BYTE DIK_APOSTROPHE = 0x28;
inline constexpr BYTE DIK_GRAVE = 0x29;
inline constexpr BYTE DIK_LSHIFT = 0x2A;
inline constexpr BYTE DIK_BACKSLASH = 0x2B;
inline constexpr BYTE DIK_Z = 0x2C;
inline constexpr BYTE DIK_X = 0x2D;
inline constexpr BYTE DIK_C = 0x2E;
inline constexpr BYTE DIK_V = 0x2F;
inline constexpr BYTE DIK_B = 0x30;
inline constexpr BYTE DIK_N = 0x31;
inline constexpr BYTE DIK_M = 0x32;
inline constexpr BYTE DIK_COMMA = 0x33;
inline constexpr BYTE DIK_PERIOD = 0x34;
inline constexpr BYTE DIK_SLASH = 0x35;
inline constexpr BYTE DIK_RSHIFT = 0x36;
inline constexpr BYTE DIK_MULTIPLY = 0x37;
inline constexpr BYTE DIK_LMENU = 0x38;
inline constexpr BYTE DIK_SPACE = 0x39;
inline constexpr BYTE DIK_CAPITAL = 0x3A;
inline constexpr BYTE DIK_F1 = 0x3B;
inline constexpr BYTE DIK_F2 = 0x3C;
inline constexpr BYTE DIK_F3 = 0x3D;
inline constexpr BYTE DIK_F4 = 0x3E;
inline constexpr BYTE DIK_F5 = 0x3F;
inline constexpr BYTE DIK_F6 = 0x40;
inline constexpr BYTE DIK_F7 = 0x41;
inline constexpr BYTE DIK_F8 = 0x42;
inline constexpr BYTE DIK_F9 = 0x43;
inline constexpr BYTE DIK_F10 = 0x44;
inline constexpr BYTE DIK_NUMLOCK = 0x45;
inline constexpr BYTE DIK_SCROLL = 0x46;
inline constexpr BYTE DIK_NUMPAD7 = 0x47;
inline constexpr BYTE DIK_NUMPAD8 = 0x48;
inline constexpr BYTE DIK_NUMPAD9 = 0x49;
inline constexpr BYTE DIK_SUBTRACT = 0x4A;
inline constexpr BYTE DIK_NUMPAD4 = 0x4B;
inline constexpr BYTE DIK_NUMPAD5 = 0x4C;
inline constexpr BYTE DIK_NUMPAD6 = 0x4D;
inline constexpr BYTE DIK_ADD = 0x4E;
inline constexpr BYTE DIK_NUMPAD1 = 0x4F;
inline constexpr BYTE DIK_NUMPAD2 = 0x50;
inline constexpr BYTE DIK_NUMPAD3 = 0x51;
inline constexpr BYTE DIK_NUMPAD0 = 0x52;
inline constexpr BYTE DIK_DECIMAL = 0x53;
inline constexpr BYTE DIK_OEM_102 = 0x56;
inline constexpr BYTE DIK_F11 = 0x57;
inline constexpr BYTE DIK_F12 = 0x58;
inline constexpr BYTE DIK_F13 = 0x64;
inline constexpr BYTE DIK_F14 = 0x65;
inline constexpr BYTE DIK_F15 = 0x66;
inline constexpr BYTE DIK_KANA = 0x70;
inline constexpr BYTE DIK_ABNT_C1 = 0x73;
inline constexpr BYTE DIK_CONVERT = 0x79;
inline constexpr BYTE DIK_NOCONVERT = 0x7B;
inline constexpr BYTE DIK_YEN = 0x7D;
inline constexpr BYTE DIK_ABNT_C2 = 0x7E;
inline constexpr BYTE DIK_NUMPADEQUALS = 0x8D;
inline constexpr BYTE DIK_PREVTRACK = 0x90;
inline constexpr BYTE DIK_AT = 0x91;
inline constexpr BYTE DIK_COLON = 0x92;
inline constexpr BYTE DIK_UNDERLINE = 0x93;
inline constexpr BYTE DIK_KANJI = 0x94;
inline constexpr BYTE DIK_STOP = 0x95;
inline constexpr BYTE DIK_AX = 0x96;
inline constexpr BYTE DIK_UNLABELED = 0x97;
inline constexpr BYTE DIK_NEXTTRACK = 0x99;
inline constexpr BYTE DIK_NUMPADENTER = 0x9C;
inline constexpr BYTE DIK_RCONTROL = 0x9D;
inline constexpr BYTE DIK_MUTE = 0xA0;
inline constexpr BYTE DIK_CALCULATOR = 0xA1;
inline constexpr BYTE DIK_PLAYPAUSE = 0xA2;
inline constexpr BYTE DIK_MEDIASTOP = 0xA4;
inline constexpr BYTE DIK_VOLUMEDOWN = 0xAE;
inline constexpr BYTE DIK_VOLUMEUP = 0xB0;
inline constexpr BYTE DIK_WEBHOME = 0xB2;
inline constexpr BYTE DIK_NUMPADCOMMA = 0xB3;
inline constexpr BYTE DIK_DIVIDE = 0xB5;
inline constexpr BYTE DIK_SYSRQ = 0xB7;
inline constexpr BYTE DIK_RMENU = 0xB8;
inline constexpr BYTE DIK_PAUSE = 0xC5;
inline constexpr BYTE DIK_HOME = 0xC7;
inline constexpr BYTE DIK_UP = 0xC8;
inline constexpr BYTE DIK_PRIOR = 0xC9;
inline constexpr BYTE DIK_LEFT = 0xCB;
inline constexpr BYTE DIK_RIGHT = 0xCD;
inline constexpr BYTE DIK_END = 0xCF;
inline constexpr BYTE DIK_DOWN = 0xD0;
inline constexpr BYTE DIK_NEXT = 0xD1;
inline constexpr BYTE DIK_INSERT = 0xD2;
inline constexpr BYTE DIK_DELETE = 0xD3;
inline constexpr BYTE DIK_LWIN = 0xDB;
inline constexpr BYTE DIK_RWIN = 0xDC;
inline constexpr BYTE DIK_APPS = 0xDD;
inline constexpr BYTE DIK_POWER = 0xDE;
inline constexpr BYTE DIK_SLEEP = 0xDF;
inline constexpr BYTE DIK_WAKE = 0xE3;
inline constexpr BYTE DIK_WEBSEARCH = 0xE5;
inline constexpr BYTE DIK_WEBFAVORITES = 0xE6;
inline constexpr BYTE DIK_WEBREFRESH = 0xE7;
inline constexpr BYTE DIK_WEBSTOP = 0xE8;
inline constexpr BYTE DIK_WEBFORWARD = 0xE9;
inline constexpr BYTE DIK_WEBBACK = 0xEA;
inline constexpr BYTE DIK_MYCOMPUTER = 0xEB;
inline constexpr BYTE DIK_MAIL = 0xEC;
inline constexpr BYTE DIK_MEDIASELECT = 0xED;

// Other names of the same keys.
inline constexpr BYTE DIK_BACKSPACE = DIK_BACK;
inline constexpr BYTE DIK_NUMPADSTAR = DIK_MULTIPLY;
inline constexpr BYTE DIK_LALT = DIK_LMENU;
inline constexpr BYTE DIK_CAPSLOCK = DIK_CAPITAL;
inline constexpr BYTE DIK_NUMPADMINUS = DIK_SUBTRACT;
inline constexpr BYTE DIK_NUMPADPLUS = DIK_ADD;
inline constexpr BYTE DIK_NUMPADPERIOD = DIK_DECIMAL;
inline constexpr BYTE DIK_NUMPADSLASH = DIK_DIVIDE;
inline constexpr BYTE DIK_RALT = DIK_RMENU;
inline constexpr BYTE DIK_UPARROW = DIK_UP;
inline constexpr BYTE DIK_PGUP = DIK_PRIOR;
inline constexpr BYTE DIK_LEFTARROW = DIK_LEFT;
inline constexpr BYTE DIK_RIGHTARROW = DIK_RIGHT;
inline constexpr BYTE DIK_DOWNARROW = DIK_DOWN;
inline constexpr BYTE DIK_PGDN = DIK_NEXT;
inline constexpr BYTE DIK_CIRCUMFLEX = DIK_PREVTRACK;
