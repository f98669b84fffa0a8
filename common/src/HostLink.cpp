#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <platform/KernelObjects.h>
#include <platform/Windows.h>

#include <cstring>

namespace hostlink {

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

} // namespace hostlink
