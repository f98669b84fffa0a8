#pragma once
// Window messages between the host's main window, its module pages and outside windows.

#include <platform/Windows.h>

namespace msg {
constexpr UINT TrayNotify = WM_USER + 3;                // 1027
constexpr UINT PageAction = WM_USER + 100;              // 1124, host -> module page
constexpr UINT RefreshProxyList = WM_USER + 186;        // 1210
constexpr UINT RestoreWindow = WM_USER + 187;           // 1211
constexpr UINT ResponseFiltered = WM_USER + 188;        // 1212 (WM_RESPONSE_FILTERED)
constexpr UINT RequestFiltered = WM_USER + 189;         // 1213 (WM_REQUEST_FILTERED)
constexpr UINT ConnectionActivity = WM_USER + 190;      // 1214
constexpr UINT ProxyStateChanged = WM_USER + 191;       // 1215
constexpr UINT SetPrivacyLevel = WM_USER + 192;         // 1216
constexpr UINT SetAnonymityLevel = WM_USER + 193;       // 1217
constexpr UINT CancelExit = WM_USER + 194;              // 1218
constexpr UINT UnregisterWindow = WM_USER + 195;        // 1219
constexpr UINT RegisterWindow = WM_USER + 196;          // 1220
constexpr UINT StartProxy = WM_USER + 197;              // 1221
constexpr UINT StopProxy = WM_USER + 198;               // 1222
constexpr UINT RestartProxy = WM_USER + 199;            // 1223
constexpr UINT SettingsModified = WM_USER + 200;        // 1224
constexpr UINT NewRequest = WM_USER + 201;              // 1225
constexpr UINT Reserved1226 = WM_USER + 202;            // 1226, accepted and ignored
constexpr UINT UpdateProxyListViaChain = WM_USER + 300; // 1324
constexpr UINT UpdateProxyListNow = WM_USER + 301;      // 1325
constexpr UINT GeneralStartStop = WM_USER + 500;        // 1524
// The program integration switch from outside (umbravia-ctl): wParam 1 on, 0 off. The
// answer holds IntegrationComponentRan when the configuration component ran (it is
// missing otherwise) and IntegrationDesktopFailed when a target of the desktop could not
// be switched (the host has shown why).
constexpr UINT SwitchIntegration = WM_USER + 501; // 1525
constexpr LRESULT IntegrationComponentRan = 1;
constexpr LRESULT IntegrationDesktopFailed = 2;
} // namespace msg

namespace cmd {
constexpr UINT ShowGeneral = 1001;
constexpr UINT ToggleProxyGroup = 1002;
constexpr UINT ShowChainPage = 1003;
constexpr UINT ShowRequestPage = 1004;
constexpr UINT ShowLocalPage = 1005;
constexpr UINT ShowResponsePage = 1006;
constexpr UINT ShowActivity = 1007;
constexpr UINT ToggleAboutGroup = 1008;
constexpr UINT ShowIEExtPage = 1009;
constexpr UINT Apply = 1017;
constexpr UINT Close = 1018;
constexpr UINT Minimise = 1014;
constexpr UINT OpenHelp = 1021;
constexpr UINT ShowAbout = 1022;
constexpr UINT OpenWebSite = 1024;
constexpr UINT Exit = 32771;
constexpr UINT Settings = 32772;
constexpr UINT Restore = 32773;
constexpr UINT Closing = 32775;
constexpr UINT AboutFromTray = 32776;
constexpr UINT HelpFromTray = 32777;
constexpr UINT ChainPageAction = 32778;
constexpr UINT RequestPageAction = 32779;
constexpr UINT ResponsePageAction = 32780;
constexpr UINT LocalPageAction = 32781;
} // namespace cmd

// How other processes find the running host.
namespace hostlink {
// The hidden 1x1 window whose class marks a running host (one per machine).
constexpr const char* LinkWindowClass = "HollowmereAppLinkWnd";
// 4 bytes holding the main window's handle once it exists.
constexpr const char* MainWindowSection = "hKestraniHollowmereMainWnd";
// Signalled when the handle has been written into the section.
constexpr const char* StartedEvent = "KestraniHollowmereStartedEvent";
// The main window: a dialog (class "#32770") with this title.
constexpr const char* MainWindowTitle = "Umbravia";
// The settings wizard's dialog.
constexpr const char* WizardWindowTitle = "Umbravia Settings Wizard";
} // namespace hostlink
