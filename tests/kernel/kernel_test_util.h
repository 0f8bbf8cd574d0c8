// kernel_test_util.h - helpers shared by the kernel facility's tests.
#pragma once

#include "control_kernel.h"
#include "win_kernel.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>

namespace kerneltest {

// Closes a kernel handle when it leaves scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(other.release()) {}
    Handle& operator=(Handle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    HANDLE release()
    {
        HANDLE h = handle_;
        handle_ = nullptr;
        return h;
    }
    void reset(HANDLE handle = nullptr)
    {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

inline Handle NewEvent(bool manualReset, bool signalled)
{
    return Handle(CreateEventA(nullptr, manualReset ? TRUE : FALSE, signalled ? TRUE : FALSE, nullptr));
}

// Waits long enough for anything that should happen "now" to happen, without making a test slow
// when all is well: a guard against hangs, never a timing assertion.
inline constexpr DWORD kLongWait = 20000;

inline uint64_t NowMs()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// Fails the test if it leaves kernel handles open (leak gate for every kernel test).
class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { handlesAtStart_ = platctl_kernel_open_handles(); }
    void TearDown() override { EXPECT_EQ(platctl_kernel_open_handles(), handlesAtStart_) << "handles leaked"; }

private:
    uint32_t handlesAtStart_ = 0;
};

} // namespace kerneltest
