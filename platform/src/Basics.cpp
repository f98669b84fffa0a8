// The thread's last error, time and process basics.

#include <platform/WinTypes.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() noexcept
{
    return t_lastError;
}

void SetLastError(DWORD code) noexcept
{
    t_lastError = code;
}

void OutputDebugString(LPCSTR text) noexcept
{
    if (text != nullptr && std::getenv("UMBRAVIA_DEBUG") != nullptr) {
        std::fputs(text, stderr);
    }
}

void Sleep(DWORD milliseconds) noexcept
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() noexcept
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

DWORD GetCurrentProcessId() noexcept
{
    return static_cast<DWORD>(getpid());
}

DWORD GetCurrentThreadId() noexcept
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}
