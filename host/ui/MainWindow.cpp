#include "MainWindow.h"

#include "AboutPage.h"
#include "ActivityPage.h"
#include "BitmapButton.h"
#include "GeneralPage.h"
#include "HtmlHelp.h"
#include "LinkLabel.h"
#include "ModulePages.h"
#include "Navigation.h"
#include "Resources.h"
#include "RestartWindow.h"
#include "SettingsDialog.h"
#include "Skin.h"
#include "TrayIcon.h"
#include "core/ModuleTable.h"
#include "core/ProcessEnd.h"
#include "core/ProxyLevels.h"
#include "core/ProxyListRefresh.h"
#include "engine/ProxyControl.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/KernelObjects.h>
#include <platform/MessageBox.h>
#include <platform/Processes.h>

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstring>
#include <string>

namespace host::ui {

namespace {

constexpr const char* Caption = "Umbravia";
constexpr const char* SaveCaption = "Save Settings";
constexpr const char* SaveQuestion = "Would you like to save settings?";
constexpr const char* RestartBrowser = "Remember to restart your browser or any program that "
                                       "may be using Umbravia before using it again";
constexpr const char* RestartFailed = "Failed to restart proxy server";
constexpr const char* RegisterToolbar = "regsvr32.exe /s UmbraIEPlugin.dll";
constexpr const char* ExecutableName = "\\Umbravia.exe";
constexpr const char* BackgroundFile = "\\res\\back2.bmp";

int index(MainWindow::ModulePage page)
{
    return static_cast<int>(page);
}

// The answer to the integration switch from outside (message 1525).
LRESULT integrationAnswer(const SwitchResult& result)
{
    return (result.programs == IntegrationOutcome::Done ? msg::IntegrationComponentRan : 0) |
           (result.desktopFailed() ? msg::IntegrationDesktopFailed : 0);
}

settings::Key openMainKey()
{
    return settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
}

void writeActive(DWORD value)
{
    if (const settings::Key main = openMainKey()) {
        main.writeDword(settings::ActiveValue, value);
    }
}

} // namespace

MainWindow::MainWindow(ProxyServer& server, ProxyState& state, bool startHidden, QWidget* parent)
    : QDialog(parent), m_server(server), m_state(state), m_startHidden(startHidden),
      m_refresh(std::make_unique<ProxyListRefresh>(state.modules))
{
    attachWidget(this);
    m_newRequestPause.setSingleShot(true);
    m_newRequestPause.setInterval(NewRequestPauseMs);
    connect(&m_newRequestPause, &QTimer::timeout, this, [this] { m_state.releaseNewRequests(); });
    setUpFrame();
    loadBackground();
    for (Slot slot : SlotOrder) {
        if (auto setMainWindow = m_state.modules.lookup(slot, contract::SetMainWindow)) {
            setMainWindow(hwnd());
        }
    }
    createTrayIcon();
    m_navigation = std::make_unique<Navigation>(this, *this);
    createModulePages();
    createButtons();
    createOwnPages();
    startProxyList();
    setUpRefresh();
    // Outside windows and the proxy learn of the window only once it is complete: a
    // module page may run a nested loop (a message box) while it is being created.
    announce();
}

MainWindow::~MainWindow()
{
    KillTimer(hwnd(), ExitTimer);
    KillTimer(hwnd(), RefreshTimer);
    HWND self = hwnd();
    m_state.mainWindow.compare_exchange_strong(self, 0);
    // A window torn down without its close still takes the programs off the proxy.
    runExitStep();
}

// The frameless 640 x 440 dialog with its icon and title.
void MainWindow::setUpFrame()
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowIcon(Resources::icon(Resources::MainIcon));
    setWindowTitle(Title);
    setFixedSize(skin::WindowSize);
    setObjectName("MainWindow");
}

// The background beside the program recorded in the main key; the artwork of
// the resource set when that file is missing, so that the window is never blank.
void MainWindow::loadBackground()
{
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    std::string path = main.readString("", 260).value_or("");
    const std::size_t tail = path.rfind(ExecutableName);
    if (tail != std::string::npos) {
        path.erase(tail);
        if (auto file = platform::toHostPath(path + BackgroundFile)) {
            m_background.load(QString::fromStdString(file->string()));
        }
    }
    if (m_background.isNull()) {
        m_background = Resources::pixmap("back2");
    }
}

// Outside programs find this window through the named section and the event.
void MainWindow::announce()
{
    if (HANDLE mapping = OpenFileMapping(FILE_MAP_ALL_ACCESS, FALSE, hostlink::MainWindowSection)) {
        if (void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(DWORD))) {
            const DWORD handle = hwnd();
            std::memcpy(view, &handle, sizeof handle);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
    }
    if (HANDLE started = OpenEvent(EVENT_MODIFY_STATE, FALSE, hostlink::StartedEvent)) {
        SetEvent(started);
        CloseHandle(started);
    }
    m_state.mainWindow = hwnd();
}

// The tray icon shows whether the proxy is meant to run.
void MainWindow::createTrayIcon()
{
    m_tray = std::make_unique<TrayIcon>();
    m_tray->setNotificationWindow(hwnd(), msg::TrayNotify);
    m_tray->setMenu(TrayIcon::NormalMenu);
    showTrayIconByActive();
}

void MainWindow::showTrayIconByActive()
{
    const std::optional<DWORD> active =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::ActiveValue);
    const bool running = active ? *active != 0 : m_server.IsRunning();
    m_tray->setIcon(running ? Resources::TrayRunning : Resources::TrayStopped);
}

// Each module creates its pages inside this window (Filters two).
void MainWindow::createModulePages()
{
    for (Slot slot : SlotOrder) {
        const std::optional<PageOffer> offer = offerPages(m_state.modules, slot, this);
        if (!offer) {
            continue;
        }
        const std::vector<PageWindow*> pages = createPages(*offer, this);
        for (const catalogue::HostPage& entry : catalogue::HostPages) {
            if (entry.slot == slot && entry.index < static_cast<int>(pages.size())) {
                m_modulePages[index(entry.page)] = pages[static_cast<std::size_t>(entry.index)];
            }
        }
        // Pages beyond the host's places for this module are not shown.
        for (std::size_t i = static_cast<std::size_t>(catalogue::module(slot).pages);
             i < pages.size(); ++i) {
            if (pages[i] != nullptr) {
                pages[i]->hide();
            }
        }
    }
    for (QWidget* page : m_modulePages) {
        if (page != nullptr) {
            page->hide();
        }
    }
}

// The about page and the buttons of the frame; Apply waits for a change.
void MainWindow::createButtons()
{
    m_about = new AboutPage(this);
    m_about->hide();
    m_apply = new BitmapButton("APPLYU", "APPLYX", this, "APPLYG");
    m_close = new BitmapButton("CLOSEU", "CLOSED", this);
    m_minimise = new BitmapButton("MINIU", "MINID", this);
    const std::array<std::pair<BitmapButton*, QPoint>, 3> placed{
        {{m_apply, skin::ApplyButton},
         {m_close, skin::CloseButton},
         {m_minimise, skin::MinimiseButton}}};
    for (const auto& [button, at] : placed) {
        button->setGeometry(QRect(at, button->sizeHint()));
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_apply->setObjectName("Apply");
    m_close->setObjectName("Close");
    m_minimise->setObjectName("Minimise");
    m_close->setToolTip("Close");
    m_minimise->setToolTip("Minimise to the notification area");
    bindCommand(m_apply, cmd::Apply);
    bindCommand(m_close, cmd::Close);
    bindCommand(m_minimise, cmd::Minimise);
    m_apply->setEnabled(m_settingsModified != 0);
}

// The general page (shown first) and the activity page.
void MainWindow::createOwnPages()
{
    m_general = new GeneralPage(m_server, m_state, this);
    m_general->hide();
    m_general->loadSettings();
    handleNavigation(cmd::ShowGeneral);
    // The desktop's own programs follow only a proxy that runs (ACTIVE 0 starts stopped).
    m_general->switchProgramIntegration(true, m_server.IsRunning() ? DesktopPart::Included
                                                                   : DesktopPart::Left);
    m_activity = new ActivityPage(this);
    m_activity->hide();
}

// Listfetch, the first run's registration of the toolbar, and fresh proxy lists.
void MainWindow::startProxyList()
{
    m_refresh->load();
    const settings::Key main = openMainKey();
    if (main.readDword(settings::IsRegisteredValue).value_or(0) == 0) {
        WinExec(RegisterToolbar, SW_HIDE);
        m_refresh->atStart(true);
        main.writeDword(settings::IsRegisteredValue, 1);
    } else {
        m_refresh->atStart(false);
    }
    m_refresh->updateChainList();
}

// The periodic proxy-list refresh, or a single one now.
void MainWindow::setUpRefresh()
{
    m_refreshPeriod = m_refresh->setUp(hwnd());
    if (m_refreshPeriod && SetTimer(hwnd(), RefreshTimer, *m_refreshPeriod, nullptr) == 0) {
        m_refreshPeriod.reset();
    }
}

int MainWindow::run()
{
    if (!m_startHidden) {
        show();
    } else if (!TrayIcon::available()) {
        // Without a notification area a hidden window could only be reached from the
        // command line: it starts minimised to the task bar instead.
        showMinimized();
    }
    QEventLoop loop;
    m_loop = &loop;
    // Only done() ends the window; a loop left for another reason is entered again.
    while (!m_ended) {
        loop.exec(QEventLoop::DialogExec);
    }
    m_loop = nullptr;
    return result();
}

void MainWindow::done(int result)
{
    m_ended = true;
    QDialog::done(result);
    if (m_loop != nullptr) {
        m_loop->exit(result);
    }
}

GeneralPage* MainWindow::generalPage() const
{
    return m_general;
}

ActivityPage* MainWindow::activityPage() const
{
    return m_activity;
}

AboutPage* MainWindow::aboutPage() const
{
    return m_about;
}

TrayIcon* MainWindow::trayIcon() const
{
    return m_tray.get();
}

QWidget* MainWindow::currentPage() const
{
    return m_current;
}

bool MainWindow::settingsModified() const
{
    return m_settingsModified != 0;
}

QWidget* MainWindow::modulePage(ModulePage page) const
{
    return m_modulePages[index(page)];
}

LRESULT MainWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (handleCommand(LOWORD(wParam))) {
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            requestExit();
            return 0;
        }
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            minimiseToTray();
            return 0;
        }
        break;
    case WM_TIMER:
        onTimer(wParam);
        return 0;
    case msg::TrayNotify:
        return m_tray ? m_tray->handleNotification(wParam, lParam) : 0;
    case msg::GeneralStartStop:
        // Before the general page exists (its creation is under way) there is nothing to
        // start or stop from.
        return m_general != nullptr ? SendMessage(m_general->hwnd(), message, wParam, lParam) : 0;
    case msg::SwitchIntegration:
        return m_general != nullptr
                   ? integrationAnswer(m_general->switchProgramIntegration(wParam != 0))
                   : 0;
    default:
        if (handleHostMessage(message, wParam, lParam)) {
            return 0;
        }
        break;
    }
    return Window::windowProc(message, wParam, lParam);
}

bool MainWindow::handleHostMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case msg::RefreshProxyList:
        m_refresh->onRequest(hwnd());
        return true;
    case msg::RestoreWindow:
        restore();
        return true;
    case msg::ResponseFiltered:
    case msg::RequestFiltered:
        m_state.windows.postToAll(message);
        return true;
    case msg::SetPrivacyLevel:
        setPrivacyLevel(static_cast<int>(wParam));
        return true;
    case msg::SetAnonymityLevel:
        setAnonymityLevel(static_cast<int>(wParam));
        return true;
    case msg::CancelExit:
        cancelExit();
        return true;
    case msg::UnregisterWindow:
        m_state.windows.remove(static_cast<HWND>(wParam));
        return true;
    case msg::RegisterWindow:
        m_state.windows.add(static_cast<HWND>(wParam));
        return true;
    case msg::StartProxy:
        startProxy();
        return true;
    case msg::StopProxy:
        stopProxy();
        return true;
    case msg::RestartProxy:
        restartProxy();
        return true;
    case msg::SettingsModified:
        // A page may report a change while the window is still being built; Apply picks
        // it up when it is created.
        m_settingsModified = 1;
        if (m_apply != nullptr) {
            m_apply->setEnabled(true);
        }
        return true;
    case msg::NewRequest:
        newRequest(wParam);
        return true;
    case msg::Reserved1226:
        return true;
    case msg::UpdateProxyListViaChain:
        m_refresh->onChainRequest(hwnd());
        return true;
    case msg::UpdateProxyListNow:
        m_refresh->updateChainList();
        return true;
    default:
        return false;
    }
}

bool MainWindow::handleCommand(UINT id)
{
    switch (id) {
    case cmd::Apply:
        apply();
        return true;
    case cmd::Close:
        closeWindow();
        return true;
    case cmd::Minimise:
        minimiseToTray();
        return true;
    case cmd::OpenHelp:
    case cmd::HelpFromTray:
        openHelp(hwnd());
        return true;
    case cmd::OpenWebSite:
        LinkLabel::open(LinkLabel::WebSite);
        return true;
    case cmd::Exit:
        requestExit();
        return true;
    case cmd::Settings: {
        SettingsDialog dialog(m_state.modules, this);
        dialog.exec();
        return true;
    }
    case cmd::Restore:
        restore();
        return true;
    case cmd::AboutFromTray:
        restore();
        return handleNavigation(cmd::ShowAbout);
    default:
        break;
    }
    for (const catalogue::HostPage& entry : catalogue::HostPages) {
        if (entry.actionCommand != 0 && entry.actionCommand == id) {
            sendToPage(entry.page, msg::PageAction, 0);
            return true;
        }
    }
    return handleNavigation(id);
}

bool MainWindow::handleNavigation(UINT id)
{
    switch (id) {
    case cmd::ShowGeneral:
        m_navigation->collapse();
        showPage(m_general);
        m_navigation->select({cmd::ShowGeneral});
        m_lastNavigation = 0;
        return true;
    case cmd::ToggleProxyGroup:
        m_navigation->toggle(Navigation::Group::Proxy);
        showModulePage(ModulePage::Chain, cmd::ShowChainPage);
        m_lastNavigation = 1;
        return true;
    case cmd::ShowRequestPage:
        showModulePage(ModulePage::Request, id);
        m_lastNavigation = 2;
        return true;
    case cmd::ShowActivity:
        showPage(m_activity);
        m_navigation->select({cmd::ShowActivity});
        m_lastNavigation = 6;
        return true;
    case cmd::ToggleAboutGroup:
        m_navigation->toggle(Navigation::Group::About);
        [[fallthrough]];
    case cmd::ShowAbout:
        showPage(m_about);
        m_navigation->select({cmd::ToggleAboutGroup, cmd::ShowAbout});
        m_lastNavigation = 7;
        return true;
    default:
        break;
    }
    for (const catalogue::HostPage& entry : catalogue::HostPages) {
        if (entry.showCommand == id) {
            showModulePage(entry.page, id);
            return true;
        }
    }
    return false;
}

void MainWindow::showModulePage(ModulePage page, UINT entry)
{
    // An entry whose module supplied no page leaves the page area as it is.
    QWidget* shown = m_modulePages[index(page)];
    if (shown == nullptr) {
        return;
    }
    showPage(shown);
    m_navigation->select({cmd::ToggleProxyGroup, entry});
}

void MainWindow::showPage(QWidget* page)
{
    if (page == nullptr) {
        return;
    }
    if (m_current != nullptr && m_current != page) {
        m_current->hide();
    }
    // Every page fits the card, whatever size its module gave it.
    page->setFixedSize(skin::PageArea.size());
    page->move(skin::PageArea.topLeft());
    page->show();
    page->raise();
    m_current = page;
}

void MainWindow::sendToPage(ModulePage page, UINT message, WPARAM wParam)
{
    if (QWidget* shown = m_modulePages[index(page)]) {
        if (HWND handle = platform::hwndOf(shown)) {
            SendMessage(handle, message, wParam, 0);
        }
    }
}

void MainWindow::onTimer(UINT_PTR id)
{
    if (id == RefreshTimer) {
        m_refresh->onTimer();
        return;
    }
    if (id != ExitTimer || m_state.windows.firstIsLive()) {
        return;
    }
    KillTimer(hwnd(), ExitTimer);
    m_exitTimerRunning = false;
    closeWindow();
}

void MainWindow::startProxy()
{
    // A server that already runs has nothing to start (and is no failure).
    if (!m_server.IsRunning() && host::startProxy(m_server) != 1) {
        MessageBox(hwnd(), RestartFailed, Caption, MB_OK | MB_ICONERROR);
        endProcessNow(0);
    }
    writeActive(1);
    m_state.windows.sendToAll(msg::ProxyStateChanged);
    m_tray->setIcon(Resources::TrayRunning);
}

void MainWindow::stopProxy()
{
    host::stopProxy(m_server);
    writeActive(0);
    m_state.windows.sendToAll(msg::ProxyStateChanged);
    m_tray->setIcon(Resources::TrayStopped);
}

void MainWindow::restartProxy()
{
    RestartWindow window(this);
    window.showNow();
    if (ProxyControl(m_server).restart() != 1) {
        MessageBox(hwnd(), RestartFailed, Caption, MB_OK | MB_ICONERROR);
        endProcessNow(0);
    }
    // A restart may have moved the proxy to another port: the desktop follows it.
    host::followProxyPort();
    m_tray->setIcon(Resources::TrayRunning);
    window.hide();
}

void MainWindow::setPrivacyLevel(int level)
{
    m_state.windows.sendToAll(msg::SetPrivacyLevel, static_cast<WPARAM>(level));
    writePrivacyLevel(hwnd(), level);
}

void MainWindow::setAnonymityLevel(int level)
{
    m_state.windows.sendToAll(msg::SetAnonymityLevel, static_cast<WPARAM>(level));
    writeAnonymityLevel(hwnd(), level);
}

void MainWindow::newRequest(WPARAM origin)
{
    if (m_activity == nullptr) {
        return; // still being built: the counted requests wait for the next notification
    }
    // The engine's notifications stand for every request it counted since the last one
    // was handled; a notification from anywhere else is one request.
    const bool counted = origin == ProxyState::NewRequestCounted;
    const unsigned requests = counted ? m_state.takeNewRequests() : 1;
    const LastRequest::Texts texts = m_state.lastRequest.texts();
    m_activity->onNewRequest(texts.userAgent, texts.clientPort, texts.destination, requests);
    if (counted && !m_newRequestPause.isActive()) {
        // The next notification may come after a short pause: a busy browser then wakes
        // this window a few dozen times a second, not once per request.
        m_newRequestPause.start();
    }
}

void MainWindow::apply()
{
    if (m_apply == nullptr) {
        return;
    }
    for (const catalogue::HostPage& entry : catalogue::HostPages) {
        sendToPage(entry.page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
    }
    m_settingsModified = 0;
    m_apply->setEnabled(false);
}

// The close button: the unsaved settings are saved, dropped or kept (Cancel keeps the
// window running, its refresh timer too), then the programs are taken off the proxy.
void MainWindow::closeWindow()
{
    if (m_ended) {
        return; // a close that was queued behind the end
    }
    if (m_settingsModified != 0) {
        const int answer =
            MessageBox(hwnd(), SaveQuestion, SaveCaption, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) {
            m_tray->setMenu(TrayIcon::NormalMenu);
            return;
        }
        if (answer == IDYES) {
            apply();
            runExitStep();
        } else {
            runExitStep();
            MessageBox(hwnd(), RestartBrowser, Caption, MB_OK | MB_ICONINFORMATION);
        }
    } else {
        runExitStep();
    }
    endWindow();
}

void MainWindow::runExitStep()
{
    if (m_exitStepDone || m_general == nullptr) {
        return;
    }
    m_exitStepDone = true;
    m_general->exitStep();
}

void MainWindow::endWindow()
{
    KillTimer(hwnd(), ExitTimer);
    KillTimer(hwnd(), RefreshTimer);
    m_exitTimerRunning = false;
    m_refreshPeriod.reset();
    done(QDialog::Accepted);
}

// Close from the tray menu or the system: the window waits, hidden, until the outside
// windows that registered for notifications have gone.
void MainWindow::requestExit()
{
    if (m_exitTimerRunning || m_ended) {
        return;
    }
    if (m_state.windows.prune().empty()) {
        closeWindow();
        return;
    }
    if (SetTimer(hwnd(), ExitTimer, ExitTimerPeriodMs, nullptr) == 0) {
        closeWindow();
        return;
    }
    m_exitTimerRunning = true;
    hide();
    m_tray->setMenu(TrayIcon::ClosingMenu);
}

void MainWindow::cancelExit()
{
    KillTimer(hwnd(), ExitTimer);
    m_exitTimerRunning = false;
    m_tray->setMenu(TrayIcon::NormalMenu);
    showTrayIconByActive();
}

void MainWindow::restore()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    update();
}

void MainWindow::minimiseToTray()
{
    setWindowState(windowState() | Qt::WindowMinimized);
    update();
    // Hidden, the window is reached again through the tray icon; without a notification
    // area it stays minimised on the task bar.
    if (TrayIcon::available()) {
        hide();
    }
}

void MainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isNull()) {
        painter.fillRect(rect(), QColor("#0c1119"));
        return;
    }
    painter.drawPixmap(rect(), m_background);
}

// The frameless window moves with the mouse from any point that is not a control.
void MainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}

// The system's close is the exit request; once the window has ended it may close.
void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    event->ignore();
    requestExit();
}

// Escape in a page must not end the program.
void MainWindow::reject() {}

} // namespace host::ui
