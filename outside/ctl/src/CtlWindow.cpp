#include "CtlWindow.h"

#include <common/HostMessages.h>

namespace ctl {

namespace {

// Levels travel as DWORDs; 0xFFFFFFFF is the "no level chosen" of the settings.
long long levelOf(WPARAM wParam)
{
    return static_cast<std::int32_t>(static_cast<DWORD>(wParam));
}

} // namespace

CtlWindow::CtlWindow()
{
    createWindow(ClassName, "umbravia-ctl");
}

std::optional<std::string> CtlWindow::notificationLine(UINT message, WPARAM wParam)
{
    const std::string number = std::to_string(message) + " ";
    switch (message) {
    case msg::ResponseFiltered:
        return number + "response filtered";
    case msg::RequestFiltered:
        return number + "request filtered";
    case msg::ConnectionActivity:
        return number + "connection";
    case msg::ProxyStateChanged:
        return number + "proxy state changed";
    case msg::SetPrivacyLevel:
        return number + "privacy level " + std::to_string(levelOf(wParam));
    case msg::SetAnonymityLevel:
        return number + "anonymity level " + std::to_string(levelOf(wParam));
    default:
        return std::nullopt;
    }
}

LRESULT CtlWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (std::optional<std::string> line = notificationLine(message, wParam)) {
        if (m_out != nullptr) {
            std::fprintf(m_out, "%s\n", line->c_str());
            if (std::fflush(m_out) != 0) {
                // Nobody reads any more (watch | head): end the watch as an interrupt would.
                m_out = nullptr;
                PostQuitMessage(0);
            }
        }
        return 0;
    }
    return platform::Window::windowProc(message, wParam, lParam);
}

} // namespace ctl
