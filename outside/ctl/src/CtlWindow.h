#pragma once
// umbravia-ctl's own window: the handle it registers with the host, and the receiver of
// the host's notifications (printed one per line while watching).

#include <platform/Window.h>

#include <cstdio>
#include <optional>
#include <string>

namespace ctl {

class CtlWindow : public platform::Window {
public:
    static constexpr const char* ClassName = "UmbraviaCtlWnd";

    CtlWindow();
    // Notifications are printed to out from now on (null: not at all).
    void printTo(std::FILE* out) { m_out = out; }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The line printed for a host notification, nothing for other messages.
    static std::optional<std::string> notificationLine(UINT message, WPARAM wParam);

private:
    std::FILE* m_out = nullptr;
};

} // namespace ctl
