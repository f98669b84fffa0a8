#include "CtlSession.h"

#include "StopSignals.h"

#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Windows.h>

#include <QCoreApplication>
#include <QTimer>

#include <desktop/DesktopIntegration.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace ctl {

namespace {

// How often a watching ctl checks that the host is still there.
constexpr int kHostCheckMs = 250;

std::string dwordText(std::optional<DWORD> value)
{
    return value ? std::to_string(*value) : "unset";
}

// Levels are DWORDs whose 0xFFFFFFFF means "no level chosen": shown as -1.
std::string levelText(std::optional<DWORD> value)
{
    return value ? std::to_string(static_cast<std::int32_t>(*value)) : "unset";
}

} // namespace

CtlSession::~CtlSession()
{
    disconnect();
}

int CtlSession::run(const CtlRequest& request)
{
    switch (request.action) {
    case Action::Help:
        std::fputs(usageText(), m_out);
        return ExitDone;
    case Action::Status:
        return status();
    case Action::Watch:
        return watch();
    case Action::Message:
    case Action::Command:
    case Action::Integrate:
        return control(request);
    case Action::Backup:
    case Action::Restore:
        return configuration(request);
    }
    return ExitUsage;
}

int CtlSession::fail(int code, const std::string& text)
{
    std::fprintf(m_err, "umbravia-ctl: %s\n", text.c_str());
    return code;
}

int CtlSession::status()
{
    const bool running = hostlink::hostRunning();
    const HKEY root = HKEY_LOCAL_MACHINE;
    std::fprintf(m_out, "host: %s\n", running ? "running" : "not running");
    std::fprintf(
        m_out, "ACTIVE: %s\n",
        dwordText(settings::readDword(root, settings::MainKey, settings::ActiveValue)).c_str());
    std::fprintf(
        m_out, "privacy level: %s\n",
        levelText(settings::readDword(root, settings::MainKey, settings::PrivacyLevelValue))
            .c_str());
    std::fprintf(
        m_out, "anonymity level: %s\n",
        levelText(settings::readDword(root, settings::MainKey, settings::AnonymityLevelValue))
            .c_str());
    return running ? ExitDone : ExitNoHost;
}

int CtlSession::connect()
{
    if (!hostlink::hostRunning()) {
        return fail(ExitNoHost, "Umbravia is not running");
    }
    m_host = hostlink::waitForMainWindow(StartWait);
    if (m_host == 0) {
        return fail(ExitNoHost, hostlink::hostRunning()
                                    ? "Umbravia runs, but its main window did not appear"
                                    : "Umbravia is not running");
    }
    m_window = std::make_unique<CtlWindow>();
    if (m_window->hwnd() == 0) {
        return fail(ExitNoAnswer,
                    "cannot create a window (error " + std::to_string(GetLastError()) + ")");
    }
    if (!send(msg::RegisterWindow, m_window->hwnd(), "the registration")) {
        return ExitNoAnswer;
    }
    m_registered = true;
    return ExitDone;
}

void CtlSession::disconnect()
{
    if (m_registered) {
        m_registered = false;
        if (IsWindow(m_host)) {
            SendMessage(m_host, msg::UnregisterWindow, m_window->hwnd(), 0);
        }
    }
}

bool CtlSession::send(UINT message, WPARAM wParam, const std::string& what, LRESULT* answer)
{
    SetLastError(ERROR_SUCCESS);
    const LRESULT result = SendMessage(m_host, message, wParam, 0);
    if (answer != nullptr) {
        *answer = result;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SUCCESS) {
        return true;
    }
    if (error == static_cast<DWORD>(ERROR_TIMEOUT)) {
        fail(ExitNoAnswer, "Umbravia did not answer " + what + " within " +
                               std::to_string(platform::sendTimeoutMs()) +
                               " ms; it may still be busy with it");
    } else if (!IsWindow(m_host)) {
        fail(ExitNoAnswer, "Umbravia ended before it took " + what);
    } else {
        fail(ExitNoAnswer,
             "Umbravia did not take " + what + " (error " + std::to_string(error) + ")");
    }
    return false;
}

int CtlSession::control(const CtlRequest& request)
{
    if (request.action == Action::Integrate && request.wParam == 0 && !hostlink::hostRunning()) {
        return restoreDesktopWithoutHost();
    }
    if (const int code = connect(); code != ExitDone) {
        return code;
    }
    const std::string what = "'" + request.name + "'";
    // The host acts inside the handler (a clean-up sweeps folders, a restart waits for
    // the listener): give it longer than a registration, unless the user chose a bound.
    if (std::getenv("UMBRAVIA_SEND_TIMEOUT_MS") == nullptr) {
        platform::setSendTimeoutMs(CommandWaitMs);
    }
    if (request.action == Action::Message) {
        return send(request.message, request.wParam, what) ? ExitDone : ExitNoAnswer;
    }
    if (request.action == Action::Integrate) {
        LRESULT answer = 0;
        if (!send(request.message, request.wParam, what, &answer)) {
            return ExitNoAnswer;
        }
        // The desktop's targets are switched with or without the component.
        if ((answer & msg::IntegrationComponentRan) == 0) {
            return fail(ExitComponentFailed, "the configuration component is not registered "
                                             "(regsvr32.exe /s Rigwright.dll registers it)");
        }
        if ((answer & msg::IntegrationDesktopFailed) != 0) {
            return fail(ExitProgramNotConfigured,
                        "a proxy setting of this desktop could not be switched; Umbravia's "
                        "message says which and why");
        }
        return ExitDone;
    }
    if (request.commandId == cmd::Exit) {
        // The host waits for registered windows before it ends: leave its list first.
        disconnect();
        const HWND host = m_host;
        SetLastError(ERROR_SUCCESS);
        SendMessage(host, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(cmd::Exit), 0), 0);
        if (GetLastError() != ERROR_SUCCESS && IsWindow(host)) {
            return fail(ExitNoAnswer, "Umbravia did not take " + what);
        }
        return ExitDone;
    }
    return send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(request.commandId), 0), what)
               ? ExitDone
               : ExitNoAnswer;
}

int CtlSession::watch()
{
    // A reader that goes away (watch | head) ends the watch instead of killing it.
    ::signal(SIGPIPE, SIG_IGN);
    StopSignals stop([] { PostQuitMessage(ExitDone); });
    if (const int code = connect(); code != ExitDone) {
        return code;
    }
    m_window->printTo(m_out);
    // On standard error, so that standard output carries notification lines only.
    std::fprintf(m_err, "umbravia-ctl: watching Umbravia's notifications (Ctrl+C ends)\n");
    std::fflush(m_err);
    bool hostEnded = false;
    QTimer hostCheck;
    QObject::connect(&hostCheck, &QTimer::timeout, [&] {
        if (!IsWindow(m_host)) {
            hostEnded = true;
            PostQuitMessage(ExitNoHost);
        }
    });
    hostCheck.start(kHostCheckMs);
    QCoreApplication::exec();
    m_window->printTo(nullptr);
    if (hostEnded) {
        m_registered = false;
        return fail(ExitNoHost, "Umbravia has ended");
    }
    disconnect();
    return ExitDone;
}

} // namespace ctl

namespace ctl {

int CtlSession::restoreDesktopWithoutHost()
{
    const std::vector<desktop::Report> reports = desktop::DesktopIntegration::switchOff();
    if (reports.empty()) {
        std::fprintf(m_out, "integrate off: Umbravia is not running and no setting of this "
                            "desktop points at it\n");
        return ExitDone;
    }
    int code = ExitDone;
    for (const desktop::Report& report : reports) {
        if (report.result.outcome == desktop::Outcome::Done) {
            std::fprintf(m_out, "integrate off: %s restored from the journal\n",
                         desktop::targetName(report.target));
        } else if (report.result.outcome == desktop::Outcome::Skipped) {
            std::fprintf(m_out, "integrate off: %s is no longer on this machine\n",
                         desktop::targetName(report.target));
        } else {
            code = fail(ExitProgramNotConfigured, std::string(desktop::targetName(report.target)) +
                                                      ": " + report.result.message);
        }
    }
    return code;
}

int CtlSession::configuration(const CtlRequest& request)
{
    const bool backup = request.action == Action::Backup;
    const bool entered = SUCCEEDED(CoInitialize(nullptr));
    rigwright::IConfiguration* component = nullptr;
    HRESULT hr =
        CoCreateInstance(rigwright::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER,
                         rigwright::IID_IConfiguration, reinterpret_cast<void**>(&component));
    if (SUCCEEDED(hr)) {
        const auto& p = request.programs;
        hr = backup
                 ? component->BackupConfiguration(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7])
                 : component->RestoreConfiguration(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
        component->Release();
    } else if (hr == REGDB_E_CLASSNOTREG) {
        if (entered) {
            CoUninitialize();
        }
        return fail(ExitComponentFailed, "the configuration component is not registered "
                                         "(regsvr32.exe /s Rigwright.dll registers it)");
    }
    if (entered) {
        CoUninitialize();
    }
    if (hr == S_FALSE) {
        // The component has said which program in its own message.
        return fail(ExitProgramNotConfigured, std::string(backup ? "backup" : "restore") +
                                                  ": a program's settings could not be " +
                                                  (backup ? "backed up" : "restored"));
    }
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        return fail(ExitComponentFailed,
                    std::string("the configuration component failed with ") + code);
    }
    std::fprintf(m_out, "%s: done\n", backup ? "backup" : "restore");
    return ExitDone;
}

} // namespace ctl
