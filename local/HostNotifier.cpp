#include "HostNotifier.h"

#include <common/HostMessages.h>
#include <platform/KernelObjects.h>
#include <platform/Windows.h>

#include <cstring>

namespace local {

namespace {

constexpr const char* MainWindowSection = "hKestraniHollowmereMainWnd";
constexpr const char* MainWindowTitle = "Umbravia";

HWND windowFromSection()
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

} // namespace

HWND HostNotifier::findHostMainWindow()
{
    if (HWND window = windowFromSection(); window != 0 && IsWindow(window)) {
        return window;
    }
    return FindWindow(DIALOG_CLASS, MainWindowTitle);
}

void HostNotifier::notify()
{
    if (m_window == 0 || !IsWindow(m_window)) {
        m_window = findHostMainWindow();
    }
    if (m_window != 0) {
        PostMessage(m_window, msg::SettingsModified, 0, 0);
    }
}

} // namespace local
