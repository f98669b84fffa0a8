#include "HtmlHelp.h"

#include "HelpWindow.h"

#include <platform/Environment.h>

HWND HtmlHelp(HWND owner, LPCSTR file, UINT command, DWORD_PTR data) noexcept
{
    try {
        if (file == nullptr || (command != HH_DISPLAY_TOC && command != HH_DISPLAY_TOPIC)) {
            return 0;
        }
        const auto document = platform::toHostPath(file);
        if (!document || host::ui::HelpWindow::contentsPage(*document).empty()) {
            return 0; // no document: no viewer either
        }
        host::ui::HelpWindow& viewer = host::ui::HelpWindow::instance();
        if (!viewer.showDocument(*document)) {
            return 0;
        }
        viewer.show();
        viewer.raise();
        return viewer.hwnd();
    } catch (...) {
        return 0;
    }
}

namespace host::ui {

namespace {
constexpr std::string_view ProgramFileName = "Umbravia.exe";
}

platform::DosPath helpFilePath(std::string_view commandLine)
{
    if (commandLine.empty()) {
        return {};
    }
    const std::string_view rest = commandLine.substr(1);
    const std::size_t at = rest.find(ProgramFileName);
    if (at == std::string_view::npos) {
        return {};
    }
    return platform::DosPath(std::string(rest.substr(0, at)) + HelpFileName);
}

void openHelp(HWND owner)
{
    const platform::DosPath path = helpFilePath(GetCommandLine());
    if (path.empty() || HtmlHelp(owner, path.c_str(), HH_DISPLAY_TOC, 0) == 0) {
        return;
    }
    const HWND viewer = FindWindow(HelpWindow::ClassName, HelpWindow::Title);
    if (viewer != 0) {
        ShowWindow(viewer, SW_SHOWMAXIMIZED);
    }
}

} // namespace host::ui
