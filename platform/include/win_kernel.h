// win_kernel.h - kernel services: critical sections, events, waits, threads, handles, files,
// timing and the calling thread's last error. Implemented by libplat_kernel.so.
//
// Handles are counted: DuplicateHandle adds a handle to the same object, CloseHandle removes
// one, and the object lives while any handle (or a running thread it stands for) remains.
// Calls on an unknown or closed handle fail with ERROR_INVALID_HANDLE; they never crash.
#pragma once

#include "win_types.h"

#define PLAT_API extern "C" __attribute__((visibility("default")))

// --- errors -----------------------------------------------------------------------------------
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;

PLAT_API DWORD GetLastError();
PLAT_API void SetLastError(DWORD error);

// --- critical sections (recursive) ------------------------------------------------------------
// Storage for one recursive lock, embedded in the owner; no allocation.
struct CRITICAL_SECTION {
    alignas(8) unsigned char opaque[48];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

PLAT_API void InitializeCriticalSection(CRITICAL_SECTION* section);
PLAT_API void DeleteCriticalSection(CRITICAL_SECTION* section);
PLAT_API void EnterCriticalSection(CRITICAL_SECTION* section);
PLAT_API BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
PLAT_API void LeaveCriticalSection(CRITICAL_SECTION* section);

// --- handles ----------------------------------------------------------------------------------
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
// The pseudo handle of the calling process (for DuplicateHandle).
// It names no kernel object: closing or waiting on it fails with ERROR_INVALID_HANDLE.
PLAT_API HANDLE GetCurrentProcess();

inline constexpr DWORD DUPLICATE_CLOSE_SOURCE = 0x1;
inline constexpr DWORD DUPLICATE_SAME_ACCESS = 0x2;

PLAT_API BOOL CloseHandle(HANDLE handle);
// Within the current process only (both process handles GetCurrentProcess()); the duplicate has the
// source's access. A null target is allowed only with DUPLICATE_CLOSE_SOURCE (it just closes).
PLAT_API BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                              DWORD access, BOOL inherit, DWORD options);

// --- events -----------------------------------------------------------------------------------
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// A manual-reset event stays signalled until ResetEvent; an auto-reset event is reset by the
// one wait it releases. Names are not supported (a named event is created unnamed).
PLAT_API HANDLE CreateEventA(SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
PLAT_API BOOL SetEvent(HANDLE event);
PLAT_API BOOL ResetEvent(HANDLE event);

// --- waits ------------------------------------------------------------------------------------
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Wake masks of MsgWaitForMultipleObjects.
inline constexpr DWORD QS_KEY = 0x0001;
inline constexpr DWORD QS_MOUSEMOVE = 0x0002;
inline constexpr DWORD QS_MOUSEBUTTON = 0x0004;
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_TIMER = 0x0010;
inline constexpr DWORD QS_PAINT = 0x0020;
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;
inline constexpr DWORD QS_ALLINPUT = 0x04FF;

PLAT_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Wait-any returns WAIT_OBJECT_0 + the lowest signalled index; wait-all returns WAIT_OBJECT_0
// once every object is signalled at the same moment, acquiring them all atomically.
// Bad arguments (count 0 or above 64, a null array, a wait-all naming one object twice) fail with
// ERROR_INVALID_PARAMETER, an unknown handle in the array with ERROR_INVALID_HANDLE.
PLAT_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
// As WaitForMultipleObjects; with a non-zero wake mask it also returns WAIT_OBJECT_0 + count when
// the calling thread's message queue receives new input (in a wait-all too; objects are checked
// first), and a count of 0 then waits for input alone.
PLAT_API DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                         DWORD wakeMask);

// --- threads ----------------------------------------------------------------------------------
using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);
inline constexpr DWORD CREATE_SUSPENDED = 0x4;
inline constexpr DWORD STILL_ACTIVE = 259;

// The returned handle is signalled when the thread ends. Suspended creation is not supported.
PLAT_API HANDLE CreateThread(SECURITY_ATTRIBUTES* attributes, size_t stackSize, LPTHREAD_START_ROUTINE start,
                             void* parameter, DWORD flags, DWORD* threadId);
// The C runtime's thread creation: the same, with the handle as an integer (0 on failure).
PLAT_API uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned (*start)(void*), void* parameter,
                                  unsigned flags, unsigned* threadId);
PLAT_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
PLAT_API DWORD GetCurrentThreadId();
PLAT_API void Sleep(DWORD milliseconds);

// --- time -------------------------------------------------------------------------------------
// Milliseconds on a monotonic clock, wrapping at 2^32. Tests may replace it with a manual clock
// (platform_control.h).
PLAT_API DWORD timeGetTime();

// --- files ------------------------------------------------------------------------------------
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

struct OVERLAPPED;

// Failure returns INVALID_HANDLE_VALUE: a missing file ERROR_FILE_NOT_FOUND, a missing folder
// ERROR_PATH_NOT_FOUND, a directory ERROR_ACCESS_DENIED. Share modes, flags and templates are ignored.
PLAT_API HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* attributes,
                            DWORD disposition, DWORD flags, HANDLE templateFile);
PLAT_API BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, OVERLAPPED* overlapped);
PLAT_API BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                        OVERLAPPED* overlapped);
// Returns the new position's low 32 bits (high part to *distanceHigh); before the start fails with
// ERROR_NEGATIVE_SEEK and moves nothing.
PLAT_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
// The size's low 32 bits (high part to *sizeHigh when given).
PLAT_API DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);

// --- processes --------------------------------------------------------------------------------
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
inline constexpr DWORD ERROR_DIRECTORY = 267;
inline constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// The calling process's startup record: cb set, every other field zero (no flags, no title, no
// standard handles given).
PLAT_API void GetStartupInfoA(STARTUPINFOA* info);
// Starts a program. The command line is split as the C runtime splits it (quotes, backslashes
// before quotes, "" inside quotes); an unbalanced quote or an empty line fails with
// ERROR_INVALID_PARAMETER. The program is the application name when given, otherwise the first
// word of the command line; a name without '/' is looked up on the caller's PATH (a trailing
// ".exe" is tried without it too). Environment: null is the caller's, otherwise a block of
// "NAME=value\0" strings ending with an empty string. Directory: null is the caller's.
// A program that cannot be started fails (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
// ERROR_BAD_EXE_FORMAT, ERROR_DIRECTORY); nothing is left running. Priority flags are accepted
// and ignored; CREATE_SUSPENDED is refused. No handles are inherited: the child gets the caller's
// standard input, output and error only.
// hProcess and hThread name two objects that are both signalled when the process ends (the
// first thread is not tracked on its own); each must be closed. The thread id is the process id.
PLAT_API BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, SECURITY_ATTRIBUTES* processAttributes,
                             SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                             void* environment, LPCSTR currentDirectory, STARTUPINFOA* startupInfo,
                             PROCESS_INFORMATION* processInformation);
// STILL_ACTIVE while running; then the exit status, or 128 + the signal number for a program
// ended by a signal.
PLAT_API BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
