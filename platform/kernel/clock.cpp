// clock.cpp - timeGetTime on CLOCK_MONOTONIC, the manual clock of the control API, and Sleep.
//
// The manual clock only replaces what timeGetTime reads; Sleep and wait time-outs stay on real
// time. Both clocks are plain 32-bit millisecond counters that wrap at 2^32.

#include "win_kernel.h"
#include "control_kernel.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <sched.h>
#include <unistd.h>

namespace {
std::atomic<bool> g_manual{false};
std::atomic<uint32_t> g_manualMs{0};

DWORD RealMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms); // truncation is the wrap at 2^32
}
} // namespace

PLAT_API DWORD timeGetTime()
{
    if (g_manual.load(std::memory_order_acquire))
        return g_manualMs.load(std::memory_order_acquire);
    return RealMilliseconds();
}

// Sleep(0) gives the rest of the time slice to another ready thread; INFINITE never returns.
PLAT_API void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;)
            pause();
    }
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

PLATCTL_API void platctl_clock_use_manual(uint32_t start_ms)
{
    g_manualMs.store(start_ms, std::memory_order_release);
    g_manual.store(true, std::memory_order_release);
}

PLATCTL_API void platctl_clock_set(uint32_t ms) { g_manualMs.store(ms, std::memory_order_release); }

PLATCTL_API void platctl_clock_advance(uint32_t ms) { g_manualMs.fetch_add(ms, std::memory_order_acq_rel); }

PLATCTL_API void platctl_clock_use_real(void) { g_manual.store(false, std::memory_order_release); }
