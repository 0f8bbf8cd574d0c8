// last_error.cpp - the calling thread's last error code.

#include "win_kernel.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

PLAT_API DWORD GetLastError() { return t_lastError; }

PLAT_API void SetLastError(DWORD error) { t_lastError = error; }
