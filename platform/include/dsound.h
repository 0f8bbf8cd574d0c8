// dsound.h - the sound device: a software mixer that plays PCM buffers through the platform's
// audio output. Implemented by libplat_dsound.so.
//
// The device mixes every playing secondary buffer into one 44100 Hz, 16-bit stereo stream.
// Secondary buffers hold 8- or 16-bit PCM, mono or stereo, at any rate from DSBFREQUENCY_MIN to
// DSBFREQUENCY_MAX; volume and pan are attenuations in hundredths of a decibel. Only the calls
// declared here exist; anything else a caller might expect of such a device is not provided.
#pragma once

#include "win_com.h"
#include "win_kernel.h"

// --- window handle ------------------------------------------------------------------------------
#ifndef VEL_HWND_DEFINED
#define VEL_HWND_DEFINED
// The game window (an SDL_Window* on this platform); the sound device only checks it is set.
using HWND = void*;
#endif

// --- results ------------------------------------------------------------------------------------
// Facility 0x878; the codes are the published values.
inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
inline constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
inline constexpr HRESULT DSERR_GENERIC = E_FAIL;
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
inline constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
inline constexpr HRESULT DSERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
inline constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082u);
inline constexpr HRESULT DSERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
inline constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);
inline constexpr HRESULT DSERR_NOINTERFACE = E_NOINTERFACE;

// --- wave format --------------------------------------------------------------------------------
inline constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// 18 bytes, little-endian, no padding. For PCM, nBlockAlign = nChannels * wBitsPerSample / 8 and
// nAvgBytesPerSec = nSamplesPerSec * nBlockAlign; cbSize is ignored.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

// --- cooperative levels -------------------------------------------------------------------------
inline constexpr DWORD DSSCL_NORMAL = 1;
inline constexpr DWORD DSSCL_PRIORITY = 2;
inline constexpr DWORD DSSCL_EXCLUSIVE = 3;
inline constexpr DWORD DSSCL_WRITEPRIMARY = 4;

// --- buffer capabilities (DSBUFFERDESC::dwFlags, DSBCAPS::dwFlags) ---------------------------------
inline constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001;
inline constexpr DWORD DSBCAPS_STATIC = 0x00000002;
inline constexpr DWORD DSBCAPS_LOCHARDWARE = 0x00000004;
inline constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008;
inline constexpr DWORD DSBCAPS_CTRL3D = 0x00000010;
inline constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x00000020;
inline constexpr DWORD DSBCAPS_CTRLPAN = 0x00000040;
inline constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080;
inline constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100;
inline constexpr DWORD DSBCAPS_CTRLFX = 0x00000200;
inline constexpr DWORD DSBCAPS_STICKYFOCUS = 0x00004000;
inline constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;
inline constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;
inline constexpr DWORD DSBCAPS_MUTE3DATMAXDISTANCE = 0x00020000;
inline constexpr DWORD DSBCAPS_LOCDEFER = 0x00040000;

// --- Play, Lock, GetStatus ----------------------------------------------------------------------
inline constexpr DWORD DSBPLAY_LOOPING = 0x00000001;

inline constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;
inline constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002;

inline constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
inline constexpr DWORD DSBSTATUS_BUFFERLOST = 0x00000002;
inline constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;
inline constexpr DWORD DSBSTATUS_LOCHARDWARE = 0x00000008;
inline constexpr DWORD DSBSTATUS_LOCSOFTWARE = 0x00000010;
inline constexpr DWORD DSBSTATUS_TERMINATED = 0x00000020;

// --- levels and sizes ---------------------------------------------------------------------------
// Volume: attenuation in 1/100 dB, DSBVOLUME_MIN (silence) to DSBVOLUME_MAX (the sound as it is).
inline constexpr LONG DSBVOLUME_MIN = -10000;
inline constexpr LONG DSBVOLUME_MAX = 0;
// Pan: a positive value attenuates the left channel by that many 1/100 dB, a negative one the
// right channel; the extremes silence the other side.
inline constexpr LONG DSBPAN_LEFT = -10000;
inline constexpr LONG DSBPAN_CENTER = 0;
inline constexpr LONG DSBPAN_RIGHT = 10000;
// Frequency in samples per second; DSBFREQUENCY_ORIGINAL restores the buffer's own rate.
inline constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
inline constexpr DWORD DSBFREQUENCY_MIN = 100;
inline constexpr DWORD DSBFREQUENCY_MAX = 200000;
inline constexpr DWORD DSBSIZE_MIN = 4;
inline constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

// --- descriptions -------------------------------------------------------------------------------
struct DSBUFFERDESC {
    DWORD dwSize;        // sizeof(DSBUFFERDESC), or DSBUFFERDESC_SIZE32 (the same fields packed for
                         // 32-bit pointers, as callers that give the size as a number do)
    DWORD dwFlags;       // DSBCAPS_*
    DWORD dwBufferBytes; // secondary: DSBSIZE_MIN..DSBSIZE_MAX; primary: 0
    DWORD dwReserved;    // 0
    LPWAVEFORMATEX lpwfxFormat; // secondary: the PCM format; primary: null
    GUID guid3DAlgorithm;       // unused (no 3D processing)
};
using LPDSBUFFERDESC = DSBUFFERDESC*;
using LPCDSBUFFERDESC = const DSBUFFERDESC*;
inline constexpr DWORD DSBUFFERDESC_SIZE32 = 36;

struct DSBCAPS {
    DWORD dwSize; // sizeof(DSBCAPS)
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwUnlockTransferRate;
    DWORD dwPlayCpuOverhead;
};
using LPDSBCAPS = DSBCAPS*;

// Position notification: the event is signalled when the play cursor reaches dwOffset, or, for
// DSBPN_OFFSETSTOP, when the buffer stops (Stop, or the end of a buffer played once).
inline constexpr DWORD DSBPN_OFFSETSTOP = 0xFFFFFFFFu;
struct DSBPOSITIONNOTIFY {
    DWORD dwOffset;
    HANDLE hEventNotify;
};
using LPDSBPOSITIONNOTIFY = DSBPOSITIONNOTIFY*;
using LPCDSBPOSITIONNOTIFY = const DSBPOSITIONNOTIFY*;

// --- interface ids ------------------------------------------------------------------------------
inline constexpr GUID IID_IDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectSound8 = {0xC50A7E93, 0xF395, 0x4834, {0x9E, 0xF6, 0x7F, 0xA9, 0x9D, 0xE5, 0x09, 0x66}};
inline constexpr GUID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectSoundBuffer8 = {0x6825A449, 0x7524, 0x4D82, {0x92, 0x0F, 0x50, 0xE3, 0x6A, 0xB3, 0xAB, 0x1E}};
inline constexpr GUID IID_IDirectSoundNotify = {0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
// The default playback device (DirectSoundCreate8 accepts it or null).
inline constexpr GUID DSDEVID_DefaultPlayback = {0xDEF00000, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};

// --- interfaces ---------------------------------------------------------------------------------
// A sound buffer. The primary buffer stands for the device's mix (format and master level only);
// secondary buffers hold the sounds. Calls a buffer kind does not support return
// DSERR_INVALIDCALL (or DSERR_CONTROLUNAVAIL for a level the buffer was not created with).
struct IDirectSoundBuffer : IUnknown {
    virtual HRESULT GetCaps(LPDSBCAPS caps) = 0;
    // Byte offsets of the play cursor (the next byte the mixer reads) and the write cursor (the
    // first byte that is safe to write; equal to the play cursor here). Either pointer may be null.
    virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
    // Copies the format (at most `size` bytes) and/or reports the bytes it needs.
    virtual HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetPan(LONG* pan) = 0;
    virtual HRESULT GetFrequency(DWORD* frequency) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // Hands out the `bytes` bytes from `offset`: the part up to the end of the buffer in
    // (part1, bytes1) and the wrapped rest from the start in (part2, bytes2). With part2 null
    // the lock stops at the end of the buffer.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    // Plays from the play cursor: once to the end of the buffer, or looping (DSBPLAY_LOOPING).
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetFormat(LPCWAVEFORMATEX format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    // Stops, keeping the play cursor.
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
    // Buffers are never lost here; returns DS_OK.
    virtual HRESULT Restore() = 0;
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

// The interface of a secondary buffer made by an IDirectSound8 device (QueryInterface).
struct IDirectSoundBuffer8 : IDirectSoundBuffer {
};
using LPDIRECTSOUNDBUFFER8 = IDirectSoundBuffer8*;

// Position notifications of a secondary buffer created with DSBCAPS_CTRLPOSITIONNOTIFY
// (QueryInterface). Replaces the buffer's whole list; the buffer must be stopped.
struct IDirectSoundNotify : IUnknown {
    virtual HRESULT SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) = 0;
};
using LPDIRECTSOUNDNOTIFY = IDirectSoundNotify*;

struct IDirectSound : IUnknown {
    // desc->dwFlags with DSBCAPS_PRIMARYBUFFER: the device's primary buffer (one per device);
    // otherwise a new secondary buffer. `outer` must be null.
    virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, IUnknown* outer) = 0;
    // DSSCL_PRIORITY or DSSCL_EXCLUSIVE is needed to set the primary format; any level to play.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
};
using LPDIRECTSOUND = IDirectSound*;

struct IDirectSound8 : IDirectSound {
};
using LPDIRECTSOUND8 = IDirectSound8*;

// Creates a device on the default playback output (device null or DSDEVID_DefaultPlayback).
// When the sound card cannot be opened the device still works and keeps real time silently.
PLAT_API HRESULT DirectSoundCreate8(const GUID* device, LPDIRECTSOUND8* sound, IUnknown* outer);
