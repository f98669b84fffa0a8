#pragma once
// One run of umbravia-ctl against the running host: finds it, registers its own window
// for notifications, sends the command and unregisters again.

#include "CtlArguments.h"
#include "CtlWindow.h"

#include <platform/WinTypes.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace ctl {

inline constexpr int ExitDone = 0;
inline constexpr int ExitNoHost = 1;
inline constexpr int ExitUsage = 2;
inline constexpr int ExitNoAnswer = 3;
inline constexpr int ExitComponentFailed = 4;
inline constexpr int ExitProgramNotConfigured = 5;

class CtlSession {
public:
    // How long a host that runs may take to show its main window.
    static constexpr std::chrono::milliseconds StartWait{5000};
    // How long a command may keep the host busy before ctl gives up waiting.
    static constexpr DWORD CommandWaitMs = 30000;

    CtlSession(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    ~CtlSession();
    CtlSession(const CtlSession&) = delete;
    CtlSession& operator=(const CtlSession&) = delete;

    // Needs the application (platform::Application) to exist. Returns the exit status.
    int run(const CtlRequest& request);

private:
    int status();
    int control(const CtlRequest& request);
    int watch();
    // Backup and restore through the configuration component (no host needed).
    int configuration(const CtlRequest& request);
    // 'integrate off' without a host: the desktop's settings back from the journal.
    int restoreDesktopWithoutHost();
    // Finds the host and registers with it; ExitDone or the status to end with.
    int connect();
    void disconnect();
    // False (with the reason printed) when the host did not take the message.
    // The host's answer goes to *answer when given.
    bool send(UINT message, WPARAM wParam, const std::string& what, LRESULT* answer = nullptr);
    int fail(int code, const std::string& text);

    std::FILE* m_out;
    std::FILE* m_err;
    std::unique_ptr<CtlWindow> m_window;
    HWND m_host = 0;
    bool m_registered = false;
};

} // namespace ctl
