#include "HostLocator.h"

#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <platform/KernelObjects.h>
#include <platform/Windows.h>

#include <algorithm>

namespace ctl {

namespace {

using Clock = std::chrono::steady_clock;

// How often the section is looked at again while no started event exists yet.
constexpr DWORD kPollMs = 50;

// Waits up to the slice for the started event. The event resets itself when a wait
// ends, so a signal we catch is set again for the other outside programs.
void waitForStart(DWORD sliceMs, bool& caughtBefore)
{
    HANDLE event = OpenEvent(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, hostlink::StartedEvent);
    if (event == nullptr || caughtBefore) {
        // No event yet, or it was signalled without the handle showing up: plain polling.
        Sleep(sliceMs);
    } else if (WaitForSingleObject(event, sliceMs) == WAIT_OBJECT_0) {
        SetEvent(event);
        caughtBefore = true;
    }
    if (event != nullptr) {
        CloseHandle(event);
    }
}

} // namespace

bool HostLocator::hostRunning()
{
    return FindWindow(hostlink::LinkWindowClass, nullptr) != 0;
}

HWND HostLocator::currentMainWindow()
{
    return hostlink::findMainWindow();
}

HWND HostLocator::waitForMainWindow(std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    bool caughtBefore = false;
    while (hostRunning()) {
        if (HWND window = currentMainWindow()) {
            return window;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return 0;
        }
        waitForStart(static_cast<DWORD>(std::min<long long>(left.count(), kPollMs)), caughtBefore);
    }
    return 0;
}

} // namespace ctl
