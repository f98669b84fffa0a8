#pragma once
// The notification-area icon of the main window: icon 229 while the proxy runs, 230 when
// it is stopped, tip "Umbravia", menu 131 (or 132 while the program waits to close).
// A double click sends the owner WM_COMMAND with the menu's first command; a right click
// shows the menu, whose commands go to the owner as WM_COMMAND. When the desktop has no
// notification area the program runs without the icon, silently.

#include <platform/Windows.h>

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>
#include <optional>

class QMenu;

namespace host::ui {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr UINT IconId = 1;
    static constexpr int NormalMenu = 131;
    static constexpr int ClosingMenu = 132;
    static constexpr const char* DefaultTip = "Umbravia";

    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Where notifications go: message must be 0 or at least WM_USER.
    bool setNotificationWindow(HWND owner, UINT message);
    // Icon and tip of this resource number, then shown.
    bool setIcon(int resourceId);
    // Shows (or changes) the icon; a null icon removes it, and succeeds at once when none
    // is shown. False when the desktop offers no notification area.
    bool setIcon(const QIcon& icon, bool defaultTip);
    bool setMenu(int menuId);
    // The owner's handler of the callback message: wParam the icon id, lParam the mouse
    // message (WM_RBUTTONUP or WM_LBUTTONDBLCLK). 1 when handled.
    LRESULT handleNotification(WPARAM iconId, LPARAM mouseMessage);

    bool isShown() const { return m_shown; }
    int iconResource() const { return m_iconResource; }
    QString tip() const { return m_tip; }
    int menuId() const { return m_menuId; }
    QMenu* menu() const { return m_menu.get(); }
    // The system's tray entry (null until the icon was first shown).
    QSystemTrayIcon* systemTrayIcon() const { return m_tray.get(); }

    // Whether the desktop has a notification area to show the icon in.
    static bool available();
    // Tests: pretend a notification area exists (or not); nothing asks the desktop.
    static void setTrayAvailableForTests(std::optional<bool> available);

private:
    enum class Command { Add, Modify, Delete };
    bool notify(Command command);
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void buildMenu();

    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<QMenu> m_menu;
    QIcon m_icon;
    bool m_hasIcon = false;
    bool m_shown = false;
    int m_iconResource = 0;
    QString m_tip = DefaultTip;
    HWND m_owner = 0;
    UINT m_message = 0;
    int m_menuId = 0;
};

} // namespace host::ui
