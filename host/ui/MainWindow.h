#pragma once
// The main window: a borderless, skinned dialog (class "#32770", title "Umbravia") with
// the navigation column, the page area (own pages and the module pages), Apply, close
// and minimise, the tray icon, and the receiver of every message the modules and
// outside windows send to the host.

#include <common/ModuleCatalogue.h>
#include <platform/Window.h>

#include <QDialog>
#include <QEventLoop>
#include <QPixmap>
#include <QPoint>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

namespace host {
class ProxyServer;
class ProxyListRefresh;
struct ProxyState;
} // namespace host

namespace pageui {
class BitmapButton;
}

namespace host::ui {

class GeneralPage;
class ActivityPage;
class AboutPage;
class TrayIcon;
using pageui::BitmapButton;
class Navigation;

class MainWindow : public QDialog, public platform::Window {
    Q_OBJECT
public:
    static constexpr const char* Title = "Umbravia";
    // Timer 1 waits for the registered windows before the window ends; timer 2 is the
    // proxy-list refresh.
    static constexpr UINT_PTR ExitTimer = 1;
    static constexpr UINT ExitTimerPeriodMs = 100;
    static constexpr UINT_PTR RefreshTimer = 2;

    // The module pages, in the order Apply visits them.
    using ModulePage = catalogue::Page;

    // startHidden: the "+Tray" start, the window is built but only the tray icon shows.
    MainWindow(ProxyServer& server, ProxyState& state, bool startHidden, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the window (unless it starts hidden) and runs it modally until the exit
    // request or the close button ends it.
    int run();

    GeneralPage* generalPage() const;
    ActivityPage* activityPage() const;
    AboutPage* aboutPage() const;
    TrayIcon* trayIcon() const;
    // The page shown in the page area (null before the first one).
    QWidget* currentPage() const;
    bool settingsModified() const;

    // What tests and the screenshots look at.
    QWidget* modulePage(ModulePage page) const;
    Navigation* navigation() const { return m_navigation.get(); }
    BitmapButton* applyButton() const { return m_apply; }
    const ProxyListRefresh& proxyListRefresh() const { return *m_refresh; }
    // The period of the running refresh timer (nothing when none runs).
    std::optional<UINT> refreshPeriod() const { return m_refreshPeriod; }
    bool waitingToExit() const { return m_exitTimerRunning; }
    // True once the window has ended (done() ran).
    bool ended() const { return m_ended; }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The dialog's end: the modal loop of run() returns.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // The shortest time between two activity notifications from the proxy.
    static constexpr int NewRequestPauseMs = 20;
    QTimer m_newRequestPause;

    // Creation, in order.
    void setUpFrame();
    void loadBackground();
    void announce();
    void createTrayIcon();
    void createModulePages();
    void createOwnPages();
    void createButtons();
    void startProxyList();
    void setUpRefresh();

    // Messages.
    bool handleHostMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool handleCommand(UINT id);
    bool handleNavigation(UINT id);
    void onTimer(UINT_PTR id);
    void startProxy();
    void stopProxy();
    void restartProxy();
    void setPrivacyLevel(int level);
    void setAnonymityLevel(int level);
    void newRequest(WPARAM origin);
    void sendToPage(ModulePage page, UINT message, WPARAM wParam);

    // Window.
    void showPage(QWidget* page);
    void showModulePage(ModulePage page, UINT entry);
    void apply();
    void closeWindow();
    void runExitStep();
    void requestExit();
    void cancelExit();
    void restore();
    void minimiseToTray();
    void showTrayIconByActive();
    void endWindow();

    ProxyServer& m_server;
    ProxyState& m_state;
    bool m_startHidden;
    QPixmap m_background;
    std::array<QWidget*, 5> m_modulePages{};
    QWidget* m_current = nullptr;
    GeneralPage* m_general = nullptr;
    ActivityPage* m_activity = nullptr;
    AboutPage* m_about = nullptr;
    BitmapButton* m_apply = nullptr;
    BitmapButton* m_close = nullptr;
    BitmapButton* m_minimise = nullptr;
    std::unique_ptr<Navigation> m_navigation;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<ProxyListRefresh> m_refresh;
    int m_lastNavigation = 0; // 0 general, 1 proxy group, 2 filter request, 6 activity, 7 about
    int m_settingsModified = 0;
    std::optional<UINT> m_refreshPeriod;
    bool m_exitTimerRunning = false;
    bool m_exitStepDone = false;
    bool m_ended = false;
    QEventLoop* m_loop = nullptr;
    std::optional<QPoint> m_dragOffset;
};

} // namespace host::ui
