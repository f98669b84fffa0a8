// The about page and its links, the browser launcher, the help viewer and document, and
// the artwork the program loads.

#include "UiTestSupport.h"
#include "core/BrowserLauncher.h"
#include "ui/AboutPage.h"
#include "ui/HelpWindow.h"
#include "ui/HtmlHelp.h"
#include "ui/LinkLabel.h"

#include <platform/Environment.h>
#include <platform/Processes.h>

#include <QLabel>
#include <QMouseEvent>
#include <QTextBrowser>

#include <sys/stat.h>

using host::ui::LinkLabel;

namespace {

class AboutHelpTest : public testsupport::PrefixTest {};

void click(QWidget* widget)
{
    const QPointF at(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

TEST_F(AboutHelpTest, AboutPageIsWhiteWithGreyTextAndTwoLinks)
{
    host::ui::AboutPage page;
    EXPECT_EQ(page.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(page.palette().color(QPalette::WindowText), QColor(100, 100, 100));
    for (const LinkLabel* link : {page.webSiteLink(), page.supportLink()}) {
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->font().pixelSize(), 15);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0x77, 0x77, 0xFF));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(page.webSiteLink()->mode(), LinkLabel::WebSite);
    EXPECT_EQ(page.supportLink()->mode(), LinkLabel::Support);
    bool hasPicture = false;
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        hasPicture = hasPicture || label->pixmap().size() == QSize(200, 150);
    }
    EXPECT_TRUE(hasPicture);
}

TEST_F(AboutHelpTest, LinkCommandLineStartsTheBrowserOnTheApplicationDataDrive)
{
    EXPECT_EQ(LinkLabel::commandLine(LinkLabel::WebSite),
              "C:\\Program Files\\Internet Explorer\\iexplore.exe https://umbravia.example/");
    EXPECT_EQ(LinkLabel::commandLine(LinkLabel::Support),
              "C:\\Program Files\\Internet Explorer\\iexplore.exe "
              "https://umbravia.example/support");
}

TEST_F(AboutHelpTest, MissingBrowserSimplyDoesNotStart)
{
    EXPECT_FALSE(LinkLabel::open(LinkLabel::WebSite));
}

TEST_F(AboutHelpTest, ClickingALinkOpensItsAddressThroughTheInstalledLauncher)
{
    ASSERT_TRUE(host::installBrowserLauncher(testsupport::binDir()).ok());
    const auto installed = platform::toHostPath(host::BrowserDosPath);
    ASSERT_TRUE(installed.ok());
    struct stat info {};
    ASSERT_EQ(::stat(installed->c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    // Installing again over a copy works as well.
    ASSERT_TRUE(host::installBrowserLauncher(testsupport::binDir()).ok());

    testsupport::TempDir scratch;
    const std::filesystem::path opened = scratch.path() / "opened.txt";
    const std::filesystem::path opener = scratch.path() / "opener.sh";
    testsupport::writeFile(opener, "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened.string() + "'\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    ::setenv("UMBRAVIA_OPEN_COMMAND", opener.c_str(), 1);

    host::ui::AboutPage page;
    click(page.supportLink());
    const bool done = testsupport::waitFor([&] { return std::filesystem::exists(opened); });
    ::unsetenv("UMBRAVIA_OPEN_COMMAND");
    ASSERT_TRUE(done);
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return testsupport::readFile(opened) == "https://umbravia.example/support"; }));
}

TEST_F(AboutHelpTest, LauncherWithoutAnAddressDoesNothing)
{
    const testsupport::ProcessResult result =
        testsupport::runProcess({(testsupport::binDir() / "iexplore.exe").string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
}

TEST_F(AboutHelpTest, LauncherInstallFailsClearlyWithoutItsSource)
{
    testsupport::TempDir empty;
    const platform::Result<void> result = host::installBrowserLauncher(empty.path());
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, ERROR_FILE_NOT_FOUND);
}

TEST(HelpPathTest, HelpFileLiesBesideTheProgram)
{
    EXPECT_EQ(host::ui::helpFilePath("\"Z:\\opt\\umbravia\\Umbravia.exe\" +Tray").str(),
              "Z:\\opt\\umbravia\\Umbravia Help.chm");
    EXPECT_EQ(host::ui::helpFilePath("\"C:\\Umbravia.exe\"").str(), "C:\\Umbravia Help.chm");
    EXPECT_TRUE(host::ui::helpFilePath("\"Z:\\bin\\other.exe\"").empty());
    EXPECT_TRUE(host::ui::helpFilePath("").empty());
}

TEST_F(AboutHelpTest, HtmlHelpShowsTheGuideInTheHelpViewer)
{
    const platform::DosPath guide =
        platform::toDosPath(testsupport::binDir() / "Umbravia Help.chm");
    const HWND viewer = HtmlHelp(0, guide.c_str(), HH_DISPLAY_TOC, 0);
    ASSERT_NE(viewer, 0u);
    EXPECT_EQ(FindWindow("HH Parent", "Umbravia"), viewer);
    host::ui::HelpWindow* window = host::ui::HelpWindow::existing();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->toPlainText().contains("Umbravia Help"));
    EXPECT_TRUE(window->toPlainText().contains("Manual Configuration For Opera"));
    window->setSource(QUrl("netscape.html"));
    EXPECT_TRUE(window->toPlainText().contains("Manual Configuration For Netscape"));
    // Opened again it is the same window, back at the contents.
    EXPECT_EQ(HtmlHelp(0, guide.c_str(), HH_DISPLAY_TOC, 0), viewer);
    EXPECT_TRUE(window->toPlainText().contains("Quick start"));
    window->close();
    delete window;
}

TEST_F(AboutHelpTest, HtmlHelpWithoutADocumentShowsNothing)
{
    EXPECT_EQ(HtmlHelp(0, "C:\\nowhere\\Umbravia Help.chm", HH_DISPLAY_TOC, 0), 0u);
    EXPECT_EQ(HtmlHelp(0, nullptr, HH_DISPLAY_TOC, 0), 0u);
    EXPECT_EQ(FindWindow("HH Parent", "Umbravia"), 0u);
}

TEST(HelpDocumentTest, EveryPageTheContentsNameIsThere)
{
    const std::filesystem::path guide = testsupport::binDir() / "Umbravia Help.chm";
    const std::string index = testsupport::readFile(guide / "index.html");
    for (const char* page : {"quickstart.html", "general.html", "proxy.html", "activity.html",
                             "about.html", "opera.html", "netscape.html"}) {
        EXPECT_NE(index.find(page), std::string::npos) << page;
        EXPECT_TRUE(std::filesystem::is_regular_file(guide / page)) << page;
    }
}

TEST(ArtworkTest, EveryPictureIsThereInItsSize)
{
    using host::ui::Resources;
    EXPECT_EQ(Resources::pixmap("back2").size(), QSize(640, 440));
    EXPECT_EQ(Resources::bitmap(Resources::LedStrip).size(), QSize(30, 15));
    EXPECT_EQ(Resources::bitmap(Resources::AboutPicture).size(), QSize(200, 150));
    for (int id : {220, 223, 224, 222, 226, 221, 225, 219}) {
        EXPECT_EQ(Resources::bitmap(id).size(), QSize(60, 40)) << id;
    }
    for (const char* name : {"APPLYU", "APPLYX", "CLOSEU", "CLOSED", "MINIU", "MINID", "CLEARLOGU",
                             "CLEARLOGD", "EXPORTU", "EXPORTD"}) {
        EXPECT_FALSE(Resources::pixmap(name).isNull()) << name;
    }
    for (int id : {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1021, 1022, 1024}) {
        for (const char* state : {"U", "D"}) {
            const QString name = QString("NAV%1%2").arg(id).arg(state);
            EXPECT_EQ(Resources::pixmap(name).width(), 138) << name.toStdString();
        }
    }
    for (int id : {Resources::MainIcon, Resources::TrayRunning, Resources::TrayStopped}) {
        EXPECT_FALSE(Resources::icon(id).isNull()) << id;
    }
    EXPECT_TRUE(Resources::pixmap("NOSUCHPICTURE").isNull());
    // The LED frames differ: 0 dark, 1 lit (green).
    const QImage strip = Resources::bitmap(Resources::LedStrip).toImage();
    EXPECT_GT(qGreen(strip.pixel(22, 7)), qGreen(strip.pixel(7, 7)) + 60);
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
