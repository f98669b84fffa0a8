#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <platform/KernelObjects.h>
#include <platform/Windows.h>

#include <algorithm>
#include <cstring>

namespace hostlink {

namespace {

using Clock = std::chrono::steady_clock;

// How often the section is looked at again while no started event exists yet.
constexpr DWORD PollMs = 50;

// Waits up to the slice for the started event. The event resets itself when a wait
// ends, so a signal we catch is set again for the other outside programs.
void waitForStart(DWORD sliceMs, bool& caughtBefore)
{
    HANDLE event = OpenEvent(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, StartedEvent);
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

HWND mainWindowFromSection()
{
    HANDLE section = OpenFileMapping(FILE_MAP_READ, FALSE, MainWindowSection);
    if (section == nullptr) {
        return 0;
    }
    HWND window = 0;
    if (const void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof window)) {
        std::memcpy(&window, view, sizeof window);
        UnmapViewOfFile(view);
    }
    CloseHandle(section);
    return window;
}

HWND findMainWindow()
{
    if (HWND window = mainWindowFromSection(); window != 0 && IsWindow(window)) {
        return window;
    }
    return FindWindow(DIALOG_CLASS, MainWindowTitle);
}

bool hostRunning()
{
    return FindWindow(LinkWindowClass, nullptr) != 0;
}

HWND waitForMainWindow(std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    bool caughtBefore = false;
    while (hostRunning()) {
        if (HWND window = findMainWindow()) {
            return window;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return 0;
        }
        waitForStart(static_cast<DWORD>(std::min<long long>(left.count(), PollMs)), caughtBefore);
    }
    return 0;
}

HWND HostWindow::window()
{
    if (const HWND given = m_given.load(); given != 0) {
        return IsWindow(given) ? given : 0;
    }
    if (m_lookup == Lookup::GivenOnly) {
        return 0;
    }
    HWND found = m_found.load();
    if (found == 0 || !IsWindow(found)) {
        found = findMainWindow();
        m_found.store(found);
    }
    return found;
}

bool HostWindow::send(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND target = window();
    if (target == 0) {
        return false;
    }
    SendMessage(target, message, wParam, lParam);
    return true;
}

bool HostWindow::post(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND target = window();
    return target != 0 && PostMessage(target, message, wParam, lParam) != FALSE;
}

} // namespace hostlink
