// Renders the host's pages, dialogs and artwork offscreen to PNG files for review.
//
// Usage: umbravia_screenshots OUTPUT_FOLDER [BIN_FOLDER]
// BIN_FOLDER (default: ../bin beside this program) holds res/ and "Umbravia Help.chm".

#include "core/ModuleTable.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"
#include "ui/AboutPage.h"
#include "ui/ActivityPage.h"
#include "ui/BitmapButton.h"
#include "ui/FirewallDialog.h"
#include "ui/HelpWindow.h"
#include "ui/HtmlHelp.h"
#include "ui/IpAddressEdit.h"
#include "ui/LedButton.h"
#include "ui/MainWindow.h"
#include "ui/Resources.h"
#include "ui/RestartWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/Skin.h"
#include "ui/TrayIcon.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTextBrowser>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace skin = host::ui::skin;
using host::ui::Resources;

QDir g_output;
int g_failures = 0;
// Boxes would wait for an answer nobody gives here: they are recorded.
const auto g_boxes = std::make_shared<platform::ScriptedPresenter>();

void save(const QPixmap& picture, const char* name)
{
    const QString file = g_output.filePath(QString(name) + ".png");
    if (picture.isNull() || !picture.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(file));
}

QPixmap grabShown(QWidget& widget)
{
    widget.show();
    QCoreApplication::processEvents();
    return widget.grab();
}

void fillActivity(host::ui::ActivityPage& page)
{
    const char* agents[] = {"mozilla/4.0 (compatible; msie 6.0; windows nt 5.1)",
                            "mozilla/5.0 (windows; u; windows nt 5.1) netscape/7.1",
                            "opera/7.11 (windows nt 5.1; u) [en]", "msmsgs 6.2 msie 6.0"};
    const char* hosts[] = {"www.example.com",       "news.example.org",   "mail.example.net",
                           "messenger.example.com", "images.example.com", "www.example.org"};
    for (int i = 0; i < 9; ++i) {
        page.onNewRequest(agents[(i * 3) % 4], std::to_string(1042 + i * 7), hosts[i % 6]);
    }
}

// How the skin's pieces come together in the main window (the window itself is built
// on these pictures; this is a preview of the artwork with the activity page).
QPixmap mainWindowPreview()
{
    QPixmap canvas = Resources::pixmap("back2");
    QPainter painter(&canvas);
    QPoint at = skin::NavigationOrigin;
    const auto put = [&](int id, bool selected, bool sub) {
        painter.drawPixmap(at,
                           Resources::pixmap(QString("NAV%1%2").arg(id).arg(selected ? "D" : "U")));
        at.ry() +=
            (sub ? skin::NavigationSubButton : skin::NavigationButton).height() + (sub ? 2 : 4);
    };
    put(1001, false, false);
    put(1002, false, false);
    for (int id : {1003, 1006, 1004, 1005, 1009}) {
        put(id, false, true);
    }
    put(1007, true, false);
    put(1008, false, false);
    painter.drawPixmap(skin::MinimiseButton, Resources::pixmap("MINIU"));
    painter.drawPixmap(skin::CloseButton, Resources::pixmap("CLOSEU"));
    painter.drawPixmap(skin::ApplyButton, Resources::pixmap("APPLYU"));
    host::ui::ActivityPage page;
    page.resize(skin::PageArea.size());
    fillActivity(page);
    painter.drawPixmap(skin::PageArea.topLeft(), grabShown(page));
    return canvas;
}

// The plug-in modules of the bin folder that are there, so that their pages show in the
// main window and the settings dialog (an empty slot simply has no page).
void registerModules(const std::filesystem::path& bin)
{
    // The modules find Listfetch.dll beside them through the current folder; a start
    // after the first run reads the stored proxy list instead of downloading one.
    std::error_code ignored;
    std::filesystem::current_path(bin, ignored);
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
        .writeDword(settings::IsRegisteredValue, 1);
    const std::pair<const char*, const char*> modules[] = {{settings::ChainKey, "Chain.dll"},
                                                           {settings::LocalKey, "Local.dll"},
                                                           {settings::FiltersKey, "Filters.dll"},
                                                           {settings::IEExtKey, "IEExt.dll"}};
    for (const auto& [key, file] : modules) {
        if (std::filesystem::exists(bin / file)) {
            settings::Key::create(HKEY_LOCAL_MACHINE, key)
                .writeString(settings::PathNameValue, platform::toDosPath(bin / file).str());
        }
    }
}

void sendCommand(const host::ui::MainWindow& window, UINT id)
{
    SendMessage(window.hwnd(), WM_COMMAND, id, 0);
    QCoreApplication::processEvents();
}

// The main window with each of its pages, and the settings dialog over it.
void mainWindowShots(const std::filesystem::path& bin)
{
    registerModules(bin);
    host::ModuleTable modules;
    if (modules.load() != host::ModuleTable::LoadOutcome::Loaded) {
        std::fprintf(stderr, "the modules of %s did not all load\n", bin.string().c_str());
        ++g_failures;
    }
    for (const std::string& text : g_boxes->texts()) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    g_boxes->clear();
    host::ProxyState state(modules);
    host::ProxyServer server(state);
    {
        host::ui::MainWindow window(server, state, false);
        save(grabShown(window), "main-general");
        fillActivity(*window.activityPage());
        sendCommand(window, cmd::ShowActivity);
        save(window.grab(), "main-activity");
        sendCommand(window, cmd::ToggleAboutGroup);
        save(window.grab(), "main-about");
        sendCommand(window, cmd::ToggleProxyGroup);
        // The top-most entry of the group whose module supplied a page (an entry without
        // one leaves the page shown).
        for (UINT id : {cmd::ShowIEExtPage, cmd::ShowLocalPage, cmd::ShowRequestPage,
                        cmd::ShowResponsePage, cmd::ShowChainPage}) {
            sendCommand(window, id);
        }
        save(window.grab(), "main-proxy-group");
        host::ui::SettingsDialog settings(modules, &window);
        save(grabShown(settings), "settings-dialog");
        settings.hide();
        window.hide();
    }
    modules.exitAndUnload();
}

QPixmap artworkSheet()
{
    QPixmap sheet(760, 470);
    sheet.fill(QColor("#0c1018"));
    QPainter painter(&sheet);
    painter.setPen(QColor("#8e9ab0"));
    int x = 16;
    int y = 16;
    for (int id : {1001, 1002, 1007, 1008}) {
        painter.drawPixmap(x, y, Resources::pixmap(QString("NAV%1U").arg(id)));
        painter.drawPixmap(x + 150, y, Resources::pixmap(QString("NAV%1D").arg(id)));
        y += 36;
    }
    for (int id : {1003, 1006, 1004, 1005, 1009, 1021, 1022, 1024}) {
        painter.drawPixmap(x, y, Resources::pixmap(QString("NAV%1U").arg(id)));
        painter.drawPixmap(x + 150, y, Resources::pixmap(QString("NAV%1D").arg(id)));
        y += 28;
    }
    x = 330;
    y = 16;
    for (const char* pair : {"APPLYU APPLYX APPLYG", "CLEARLOGU CLEARLOGD", "EXPORTU EXPORTD",
                             "CLOSEU CLOSED MINIU MINID"}) {
        int cx = x;
        for (const QString& name : QString(pair).split(' ')) {
            const QPixmap picture = Resources::pixmap(name);
            painter.fillRect(QRect(QPoint(cx, y), picture.size()), Qt::white);
            painter.drawPixmap(cx, y, picture);
            cx += picture.width() + 10;
        }
        y += 40;
    }
    y += 6;
    for (int id : {Resources::MainIcon, Resources::TrayRunning, Resources::TrayStopped}) {
        painter.drawPixmap(x + (id == Resources::MainIcon ? 0 : 90 + (id - 229) * 80), y,
                           Resources::icon(id).pixmap(64, 64));
    }
    painter.drawPixmap(x + 260, y + 6, Resources::icon(Resources::TrayRunning).pixmap(16, 16));
    painter.drawPixmap(x + 280, y + 6, Resources::icon(Resources::TrayStopped).pixmap(16, 16));
    y += 80;
    painter.fillRect(QRect(x, y, 410, 100), Qt::white);
    int cx = x + 6;
    for (int id : {220, 223, 224, 222, 226, 221, 225, 219}) {
        painter.drawPixmap(cx, y + (id == 220 || id == 223 || id == 224 || id == 222 ? 6 : 54),
                           Resources::bitmap(id));
        cx = id == 222 ? x + 6 : cx + 66;
    }
    painter.drawPixmap(x + 280, y + 10, Resources::bitmap(Resources::LedStrip).scaled(90, 45));
    painter.drawPixmap(x, y + 110, Resources::bitmap(Resources::AboutPicture));
    return sheet;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [BIN_FOLDER]\n", argv[0]);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // Absolute, as the module registration changes the current folder to it.
    const std::filesystem::path bin =
        std::filesystem::absolute(argc > 2 ? std::filesystem::path(argv[2])
                                           : platform::programFolder().parent_path() / "bin");
    Resources::setFolder(bin / "res");
    // Pictures without their artwork are not finished pictures.
    for (const char* picture : {"back2", "NAV1001U", "APPLYU"}) {
        if (Resources::pixmap(picture).isNull()) {
            std::fprintf(stderr, "no artwork %s in %s\n", picture, (bin / "res").string().c_str());
            ++g_failures;
        }
    }
    platform::setMessageBoxPresenter(g_boxes);
    g_output = QDir(QString::fromLocal8Bit(argv[1]));
    g_output.mkpath(".");

    save(mainWindowPreview(), "main-window-preview");
    mainWindowShots(bin);
    save(artworkSheet(), "artwork");

    host::ui::ActivityPage activity;
    fillActivity(activity);
    save(grabShown(activity), "activity-page");

    host::ui::AboutPage about;
    save(grabShown(about), "about-page");

    host::ui::FirewallDialog firewall;
    firewall.addressEdit()->setAddress(0xC0A80001);
    firewall.portEdit()->setText("3128");
    save(grabShown(firewall), "firewall-dialog");

    host::ui::RestartWindow restart;
    save(grabShown(restart), "restart-window");

    QWidget leds;
    leds.setStyleSheet("background: white;");
    leds.resize(260, 60);
    host::ui::LedButton off(&leds);
    off.setText("Proxy server stopped");
    off.setGeometry(12, 8, 230, 20);
    host::ui::LedButton on(&leds);
    on.setText("Proxy server running");
    on.setState(1);
    on.setGeometry(12, 32, 230, 20);
    save(grabShown(leds), "led-button");

    host::ui::TrayIcon tray;
    tray.setMenu(host::ui::TrayIcon::NormalMenu);
    tray.menu()->popup(QPoint(0, 0));
    QCoreApplication::processEvents();
    save(tray.menu()->grab(), "tray-menu");
    tray.menu()->hide();

    const platform::DosPath guide = platform::toDosPath(bin / host::ui::HelpFileName);
    if (HtmlHelp(0, guide.c_str(), HH_DISPLAY_TOC, 0) != 0) {
        host::ui::HelpWindow* help = host::ui::HelpWindow::existing();
        save(grabShown(*help), "help-contents");
        help->setSource(QUrl("opera.html"));
        save(grabShown(*help), "help-opera");
        delete help;
    } else {
        std::fprintf(stderr, "no help document at %s\n", guide.c_str());
        ++g_failures;
    }
    return g_failures == 0 ? 0 : 1;
}
