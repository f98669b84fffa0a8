#include "TrayIcon.h"

#include "Resources.h"

#include <QCursor>
#include <QMenu>

#include <atomic>
#include <vector>

namespace host::ui {

namespace {

// Tips of the icons (the string resources of the same numbers).
constexpr const char* RunningTip = "Umbravia - proxy running";
constexpr const char* StoppedTip = "Umbravia - proxy stopped";

struct MenuItem {
    UINT id; // 0: separator
    const char* text;
};

const std::vector<MenuItem> NormalMenuItems{
    {32773, "Restore Umbravia"}, {0, nullptr}, {32777, "Help"},
    {32776, "About Umbravia"},   {0, nullptr}, {32771, "Close Umbravia"},
};
const std::vector<MenuItem> ClosingMenuItems{{32775, "Closing ..."}};

std::atomic<int> g_trayForTests{-1}; // -1: ask the desktop

bool trayAvailable()
{
    const int forced = g_trayForTests.load();
    return forced >= 0 ? forced == 1 : QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

TrayIcon::~TrayIcon()
{
    if (m_tray) {
        m_tray->hide();
    }
}

bool TrayIcon::available()
{
    return trayAvailable();
}

void TrayIcon::setTrayAvailableForTests(std::optional<bool> available)
{
    g_trayForTests = available ? (*available ? 1 : 0) : -1;
}

bool TrayIcon::setNotificationWindow(HWND owner, UINT message)
{
    if (message != 0 && message < WM_USER) {
        return false;
    }
    m_owner = owner;
    m_message = message;
    return true;
}

bool TrayIcon::setIcon(int resourceId)
{
    m_tip = resourceId == Resources::TrayRunning   ? RunningTip
            : resourceId == Resources::TrayStopped ? StoppedTip
                                                   : QString();
    const QIcon icon = Resources::icon(resourceId);
    // Missing artwork must not hide the entry: the program icon stands in.
    const bool ok =
        setIcon(icon.isNull() ? QIcon(Resources::icon(Resources::MainIcon)) : icon, false);
    if (ok) {
        m_iconResource = resourceId;
    }
    return ok;
}

bool TrayIcon::setIcon(const QIcon& icon, bool defaultTip)
{
    Command command = Command::Delete;
    if (!icon.isNull()) {
        command = m_hasIcon ? Command::Modify : Command::Add;
        m_icon = icon;
        m_hasIcon = true;
    } else if (!m_hasIcon) {
        return true; // nothing shown, nothing to remove
    }
    if (defaultTip) {
        m_tip = DefaultTip;
    }
    const bool ok = notify(command);
    if (command == Command::Delete || !ok) {
        m_hasIcon = false;
        m_icon = QIcon();
        m_iconResource = 0;
    }
    return ok;
}

bool TrayIcon::notify(Command command)
{
    if (command == Command::Delete) {
        if (m_tray) {
            m_tray->hide();
        }
        m_shown = false;
        return true;
    }
    if (!trayAvailable()) {
        m_shown = false;
        return false;
    }
    if (!m_tray) {
        m_tray = std::make_unique<QSystemTrayIcon>();
        connect(m_tray.get(), &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
        if (m_menu) {
            m_tray->setContextMenu(m_menu.get());
        }
    }
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(m_tip);
    m_tray->show();
    m_shown = true;
    return true;
}

bool TrayIcon::setMenu(int menuId)
{
    if (menuId != NormalMenu && menuId != ClosingMenu) {
        return false;
    }
    m_menuId = menuId;
    buildMenu();
    return true;
}

void TrayIcon::buildMenu()
{
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QString("TrayMenu%1").arg(m_menuId));
    for (const MenuItem& item : m_menuId == ClosingMenu ? ClosingMenuItems : NormalMenuItems) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.text);
        action->setData(item.id);
        const UINT id = item.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (m_owner != 0 && id != 32775) { // "Closing ..." does nothing
                PostMessage(m_owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
            }
        });
    }
    // The first item is the default one, shown in bold (what a double click does).
    QAction* first = menu->actions().value(0);
    QFont bold = first->font();
    bold.setBold(true);
    first->setFont(bold);
    if (m_tray) {
        m_tray->setContextMenu(menu.get());
    }
    m_menu = std::move(menu);
}

LRESULT TrayIcon::handleNotification(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != IconId || !m_menu ||
        (mouseMessage != WM_RBUTTONUP && mouseMessage != WM_LBUTTONDBLCLK)) {
        return 0;
    }
    if (mouseMessage == WM_RBUTTONUP) {
        if (m_owner != 0) {
            SetForegroundWindow(m_owner);
        }
        m_menu->popup(QCursor::pos());
        return 1;
    }
    const UINT first = m_menu->actions().value(0)->data().toUInt();
    if (m_owner != 0) {
        SendMessage(m_owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(first), 0), 0);
    }
    return 1;
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // The desktop shows the context menu itself; a double click goes the owner's way.
    if (reason != QSystemTrayIcon::DoubleClick) {
        return;
    }
    if (m_owner != 0 && m_message != 0) {
        PostMessage(m_owner, m_message, IconId, WM_LBUTTONDBLCLK);
    } else {
        handleNotification(IconId, WM_LBUTTONDBLCLK);
    }
}

} // namespace host::ui
