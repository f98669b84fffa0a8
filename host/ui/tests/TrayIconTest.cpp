// The tray icon (icons 229/230, menus 131/132, double click, no notification area) and
// the LED indicator button.

#include "ui/TrayIcon.h"

#include "UiTestSupport.h"
#include "ui/LedButton.h"

#include <QAction>
#include <QMenu>

using host::ui::TrayIcon;

namespace {

class TrayIconTest : public testsupport::PrefixTest {
protected:
    TrayIconTest() { TrayIcon::setTrayAvailableForTests(true); }
    ~TrayIconTest() override { TrayIcon::setTrayAvailableForTests(std::nullopt); }
};

std::vector<std::string> menuTexts(const QMenu* menu)
{
    std::vector<std::string> texts;
    for (const QAction* action : menu->actions()) {
        texts.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    }
    return texts;
}

TEST_F(TrayIconTest, NullIconWhenNoneIsShownSucceedsAndDoesNothing)
{
    TrayIcon tray;
    EXPECT_TRUE(tray.setIcon(QIcon(), true));
    EXPECT_FALSE(tray.isShown());
    EXPECT_EQ(tray.systemTrayIcon(), nullptr);
}

TEST_F(TrayIconTest, RunningAndStoppedAlternateInOneEntry)
{
    TrayIcon tray;
    ASSERT_TRUE(tray.setIcon(host::ui::Resources::TrayRunning));
    QSystemTrayIcon* entry = tray.systemTrayIcon();
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isVisible());
    EXPECT_FALSE(entry->icon().isNull());
    const QImage running = entry->icon().pixmap(32).toImage();
    ASSERT_TRUE(tray.setIcon(host::ui::Resources::TrayStopped));
    ASSERT_TRUE(tray.setIcon(host::ui::Resources::TrayRunning));
    ASSERT_TRUE(tray.setIcon(host::ui::Resources::TrayStopped));
    EXPECT_EQ(tray.systemTrayIcon(), entry);
    EXPECT_EQ(tray.iconResource(), host::ui::Resources::TrayStopped);
    EXPECT_NE(entry->icon().pixmap(32).toImage(), running);
    EXPECT_TRUE(tray.setIcon(QIcon(), false));
    EXPECT_FALSE(entry->isVisible());
    EXPECT_FALSE(tray.isShown());
}

TEST_F(TrayIconTest, DefaultTipIsTheProgramName)
{
    TrayIcon tray;
    EXPECT_EQ(tray.tip(), "Umbravia");
    ASSERT_TRUE(tray.setIcon(host::ui::Resources::icon(host::ui::Resources::MainIcon), true));
    EXPECT_EQ(tray.systemTrayIcon()->toolTip(), "Umbravia");
}

TEST_F(TrayIconTest, WithoutANotificationAreaTheProgramGoesOnSilently)
{
    TrayIcon::setTrayAvailableForTests(false);
    TrayIcon tray;
    EXPECT_FALSE(tray.setIcon(host::ui::Resources::TrayRunning));
    EXPECT_FALSE(tray.isShown());
    EXPECT_TRUE(tray.setIcon(QIcon(), false)); // nothing shown: nothing to remove
    EXPECT_TRUE(tray.setMenu(TrayIcon::NormalMenu));
}

TEST_F(TrayIconTest, MenusHoldTheirEntriesWithRestoreInBold)
{
    TrayIcon tray;
    ASSERT_TRUE(tray.setMenu(TrayIcon::NormalMenu));
    EXPECT_EQ(menuTexts(tray.menu()),
              (std::vector<std::string>{"Restore Umbravia", "-", "Help", "About Umbravia", "-",
                                        "Close Umbravia"}));
    EXPECT_TRUE(tray.menu()->actions()[0]->font().bold());
    EXPECT_FALSE(tray.menu()->actions()[2]->font().bold());
    ASSERT_TRUE(tray.setMenu(TrayIcon::ClosingMenu));
    EXPECT_EQ(menuTexts(tray.menu()), (std::vector<std::string>{"Closing ..."}));
    EXPECT_FALSE(tray.setMenu(129));
}

TEST_F(TrayIconTest, NotificationWindowNeedsAUserMessage)
{
    TrayIcon tray;
    EXPECT_FALSE(tray.setNotificationWindow(1, WM_LBUTTONDOWN));
    EXPECT_TRUE(tray.setNotificationWindow(1, 0));
    EXPECT_TRUE(tray.setNotificationWindow(1, WM_USER + 3));
}

TEST_F(TrayIconTest, DoubleClickSendsTheFirstCommandToTheOwner)
{
    uitest::RecordingWindow owner;
    TrayIcon tray;
    ASSERT_TRUE(tray.setNotificationWindow(owner.hwnd(), WM_USER + 3));
    ASSERT_TRUE(tray.setMenu(TrayIcon::NormalMenu));
    EXPECT_EQ(tray.handleNotification(TrayIcon::IconId, WM_LBUTTONDBLCLK), 1);
    const auto commands = owner.received(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 32773);
    // Other icons and other mouse messages are not ours.
    EXPECT_EQ(tray.handleNotification(TrayIcon::IconId + 1, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(tray.handleNotification(TrayIcon::IconId, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(owner.received(WM_COMMAND).size(), 1u);
}

TEST_F(TrayIconTest, DesktopDoubleClickReachesTheOwnerThroughItsCallbackMessage)
{
    uitest::RecordingWindow owner;
    TrayIcon tray;
    ASSERT_TRUE(tray.setNotificationWindow(owner.hwnd(), WM_USER + 3));
    ASSERT_TRUE(tray.setMenu(TrayIcon::NormalMenu));
    ASSERT_TRUE(tray.setIcon(host::ui::Resources::TrayRunning));
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    ASSERT_TRUE(uitest::pumpUntil([&] { return !owner.received(WM_USER + 3).empty(); }));
    const auto notes = owner.received(WM_USER + 3);
    EXPECT_EQ(notes[0].wParam, TrayIcon::IconId);
    EXPECT_EQ(notes[0].lParam, static_cast<LPARAM>(WM_LBUTTONDBLCLK));
}

TEST_F(TrayIconTest, RightClickShowsTheMenuAndItsCommandsGoToTheOwner)
{
    uitest::RecordingWindow owner;
    TrayIcon tray;
    ASSERT_TRUE(tray.setNotificationWindow(owner.hwnd(), WM_USER + 3));
    ASSERT_TRUE(tray.setMenu(TrayIcon::NormalMenu));
    EXPECT_EQ(tray.handleNotification(TrayIcon::IconId, WM_RBUTTONUP), 1);
    EXPECT_TRUE(tray.menu()->isVisible());
    tray.menu()->actions()[3]->trigger(); // "About Umbravia"
    tray.menu()->hide();
    ASSERT_TRUE(uitest::pumpUntil([&] { return !owner.received(WM_COMMAND).empty(); }));
    EXPECT_EQ(LOWORD(owner.received(WM_COMMAND)[0].wParam), 32776);
}

TEST(LedButtonTest, PaintsTheFrameOfItsStateAndRepaintsOnlyOnChange)
{
    host::ui::LedButton led;
    led.setText("Proxy server is running");
    led.resize(200, 20);
    led.show();
    // Lets the window system's own repaints (showing, exposing) run out first.
    const auto settle = [&led] {
        int last = -1;
        while (last != led.paintCount()) {
            last = led.paintCount();
            uitest::pumpUntil([] { return false; }, std::chrono::milliseconds(50));
        }
    };
    ASSERT_TRUE(uitest::pumpUntil([&] { return led.paintCount() > 0; }));
    const QImage dark = led.grab().toImage();
    settle();
    const int painted = led.paintCount();
    led.setState(0);
    uitest::pumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(led.paintCount(), painted);
    led.setState(1);
    ASSERT_TRUE(uitest::pumpUntil([&] { return led.paintCount() > painted; }));
    const QImage lit = led.grab().toImage();
    EXPECT_EQ(led.state(), 1);
    // The lamp (left 15 pixels) changes; the background stays white.
    EXPECT_NE(dark.pixel(7, 10), lit.pixel(7, 10));
    EXPECT_EQ(QColor(lit.pixel(199, 0)), QColor(Qt::white));
    EXPECT_GT(qGreen(lit.pixel(7, 10)), qRed(lit.pixel(7, 10)));
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
