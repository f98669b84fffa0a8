// The activity page: program recognition, numbering, the 1000-entry question, Clear and
// the export file.

#include "ui/ActivityPage.h"

#include "UiTestSupport.h"
#include "ui/ActivityEntry.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Text.h>

#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QTreeWidget>

#include <UserAgents.h>

using host::ui::ActivityEntry;
using host::ui::activityEntryFor;
using host::ui::ActivityPage;

namespace {

constexpr const char* Ie = "mozilla/4.0 (compatible; msie 6.0; windows nt 5.1)";
constexpr const char* OperaAsIe = "mozilla/4.0 (compatible; msie 6.0; windows nt 5.1) opera 7.11";

class ActivityPageTest : public testsupport::PrefixTest {
protected:
    ~ActivityPageTest() override { ActivityPage::setSaveFileChooser({}); }

    std::vector<std::string> column(int index) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < m_page.list()->topLevelItemCount(); ++row) {
            texts.push_back(m_page.list()->topLevelItem(row)->text(index).toStdString());
        }
        return texts;
    }
    void addMany(int count)
    {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(m_page.addEntry({0, 0, "Internet Explorer", "1025", "example.org"}), 1);
        }
    }
    void exportTo(const std::filesystem::path& file)
    {
        ActivityPage::setSaveFileChooser(
            [file](QWidget*) { return std::optional(platform::toDosPath(file)); });
        SendMessage(m_page.hwnd(), WM_COMMAND, MAKEWPARAM(ActivityPage::ExportId, BN_CLICKED), 0);
    }

    platform::ScopedScriptedPresenter m_boxes;
    ActivityPage m_page;
};

bool modernOn()
{
    return true;
}
bool modernOff()
{
    return false;
}

TEST(ActivityEntryTest, RecognisesTheFourProgramsAndTheLastMatchWins)
{
    EXPECT_EQ(activityEntryFor(Ie, "1", "d", modernOn).programName, "Internet Explorer");
    EXPECT_EQ(activityEntryFor("Mozilla/5.0 Netscape/7.1", "1", "d", modernOn).type,
              host::ui::Netscape);
    const ActivityEntry opera = activityEntryFor(OperaAsIe, "1042", "www.example.com", modernOn);
    EXPECT_EQ(opera.programName, "Opera");
    EXPECT_EQ(opera.type, 2);
    EXPECT_EQ(opera.port, "1042");
    EXPECT_EQ(opera.destination, "www.example.com");
    const ActivityEntry msn = activityEntryFor("msie 6.0; msmsgs 6.2", "1", "d", modernOn);
    EXPECT_EQ(msn.programName, "MSN Messenger");
    EXPECT_EQ(msn.type, 3);
    EXPECT_EQ(activityEntryFor("curl/7.88.1", "1", "d", modernOn).programName, "");
    EXPECT_EQ(activityEntryFor("", "1", "d", modernOn).programName, "");
}

TEST(ActivityEntryTest, TodaysBrowsersHaveTheirOwnEntriesWhileModernBrowsersIsOn)
{
    namespace a = testsupport::agents;
    struct Case {
        const char* agent;
        const char* name;
        int type;
    };
    const Case cases[] = {
        {a::FirefoxLinux, "Firefox", host::ui::Firefox},
        {a::FirefoxIos, "Firefox", host::ui::Firefox},
        {a::ChromiumDebian, "Chrome", host::ui::Chrome},
        {a::ChromiumUbuntu, "Chromium", host::ui::Chromium},
        {a::ChromeWindows, "Chrome", host::ui::Chrome},
        {a::ChromeIos, "Chrome", host::ui::Chrome},
        {a::Edge, "Edge", host::ui::Edge},
        {a::SafariMac, "Safari", host::ui::Safari},
        {a::SafariIos, "Safari", host::ui::Safari},
        {a::OperaChromium, "Opera", host::ui::Opera},
        {a::InternetExplorer11, "Internet Explorer", host::ui::InternetExplorer},
    };
    for (const Case& c : cases) {
        // The last-request texts are stored lowercased, with blank and carriage return.
        const std::string stored = " " + text::lower(c.agent) + "\r";
        const ActivityEntry entry = activityEntryFor(stored, "1", "d", modernOn);
        EXPECT_EQ(entry.programName, c.name) << c.agent;
        EXPECT_EQ(entry.type, c.type) << c.agent;
        EXPECT_EQ(activityEntryFor(stored, "1", "d", modernOff).programName, "") << c.agent;
    }
    // The three words keep their entries with the switch off.
    EXPECT_EQ(activityEntryFor(a::InternetExplorer6, "1", "d", modernOff).programName,
              "Internet Explorer");
    EXPECT_EQ(activityEntryFor(a::Netscape7, "1", "d", modernOff).programName, "Netscape");
    EXPECT_EQ(activityEntryFor(a::Opera7, "1", "d", modernOff).programName, "Opera");
}

TEST_F(ActivityPageTest, HasTheTitledColumnsAndTheGroupBox)
{
    QTreeWidgetItem* header = m_page.list()->headerItem();
    ASSERT_EQ(m_page.list()->columnCount(), 4);
    EXPECT_EQ(header->text(0), "Request Number");
    EXPECT_EQ(header->text(1), "Program Name");
    EXPECT_EQ(header->text(2), "Port");
    EXPECT_EQ(header->text(3), "Destination");
    EXPECT_EQ(m_page.list()->columnWidth(2), 40);
    const QGroupBox* group = m_page.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "Programs Currently using Umbravia");
    EXPECT_EQ(m_page.palette().color(QPalette::Window), QColor(Qt::white));
    // The program images at their own size, 60 x 40.
    EXPECT_EQ(m_page.list()->iconSize(), QSize(60, 40));
}

TEST_F(ActivityPageTest, ExportDialogPresetsTheLogPatternAndAsksBeforeOverwriting)
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ActivityPage::prepareSaveDialog(dialog);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "log");
    EXPECT_EQ(dialog.nameFilters(), QStringList{"Log Files (*.log)"});
    EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    const QLineEdit* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "*.log");
}

TEST_F(ActivityPageTest, UnknownProgramAddsNothingAndKeepsTheCounter)
{
    m_page.onNewRequest("wget/1.21", "2000", "example.org");
    EXPECT_EQ(m_page.list()->topLevelItemCount(), 0);
    EXPECT_EQ(m_page.counter(), 0);
    m_page.onNewRequest(OperaAsIe, "2001", "example.org");
    EXPECT_EQ(column(0), (std::vector<std::string>{"0000"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"Opera"}));
    EXPECT_EQ(column(2), (std::vector<std::string>{"2001"}));
    EXPECT_EQ(m_page.list()->topLevelItem(0)->icon(0).isNull(), false);
}

TEST_F(ActivityPageTest, TodaysBrowsersAreListedWithImagesOfTheirOwnUnlessSwitchedOff)
{
    namespace a = testsupport::agents;
    const auto image = [&](int row) {
        return m_page.list()->topLevelItem(row)->icon(0).pixmap(ActivityPage::ImageSize).toImage();
    };
    const char* const agents[] = {a::FirefoxLinux, a::ChromeWindows, a::ChromiumUbuntu,
                                  a::Edge,         a::SafariMac,     a::InternetExplorer6};
    for (const char* agent : agents) {
        m_page.onNewRequest(" " + text::lower(agent) + "\r", "3000", "example.org");
    }
    EXPECT_EQ(column(1), (std::vector<std::string>{"Internet Explorer", "Safari", "Edge",
                                                   "Chromium", "Chrome", "Firefox"}));
    // Every program its own picture, none missing.
    const int rows = m_page.list()->topLevelItemCount();
    for (int row = 0; row < rows; ++row) {
        ASSERT_FALSE(image(row).isNull()) << row;
        for (int other = row + 1; other < rows; ++other) {
            EXPECT_NE(image(row), image(other)) << row << " and " << other;
        }
    }

    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword("MODERNBROWSERS", 0);
    m_page.onNewRequest(" " + text::lower(a::FirefoxLinux) + "\r", "3001", "example.org");
    EXPECT_EQ(m_page.counter(), 6);
    m_page.onNewRequest(" " + text::lower(a::InternetExplorer6) + "\r", "3002", "example.org");
    EXPECT_EQ(m_page.counter(), 7);
}

TEST_F(ActivityPageTest, NumbersHaveFourDigitsAndTheNewestIsOnTop)
{
    m_page.onNewRequest(Ie, "1042", "a.example");
    m_page.onNewRequest(Ie, "1043", "b.example");
    m_page.onNewRequest(Ie, "1044", "c.example");
    EXPECT_EQ(column(0), (std::vector<std::string>{"0002", "0001", "0000"}));
    EXPECT_EQ(column(3), (std::vector<std::string>{"c.example", "b.example", "a.example"}));
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ActivityPageTest, ThousandEntriesAskAndNoKeepsThemWithTheNextNumberOnTop)
{
    addMany(1000);
    EXPECT_TRUE(m_boxes->calls().empty());
    m_boxes->queueAnswer(IDNO);
    m_page.onNewRequest(Ie, "3000", "next.example");
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    const platform::MessageBoxCall box = m_boxes->calls()[0];
    EXPECT_EQ(box.text, "Activity list has 1000 items or more, clear it now");
    EXPECT_EQ(box.caption, "Umbravia");
    EXPECT_EQ(box.buttons(), MB_YESNO);
    EXPECT_EQ(box.icon(), MB_ICONQUESTION);
    EXPECT_EQ(m_page.list()->topLevelItemCount(), 1001);
    EXPECT_EQ(m_page.list()->topLevelItem(0)->text(0), "1000");
    EXPECT_EQ(m_page.list()->topLevelItem(0)->text(3), "next.example");
}

TEST_F(ActivityPageTest, ThousandEntriesAnsweredYesStartAgainAtZero)
{
    addMany(1000);
    m_boxes->queueAnswer(IDYES);
    m_page.onNewRequest(Ie, "3000", "next.example");
    EXPECT_EQ(column(0), (std::vector<std::string>{"0000"}));
    EXPECT_EQ(m_page.counter(), 1);
}

TEST_F(ActivityPageTest, NumbersBeyondFourDigitsStillSortNewestFirst)
{
    addMany(1000);
    m_boxes->setAnswerFunction([](const platform::MessageBoxCall&) { return IDNO; });
    addMany(9001);
    EXPECT_EQ(m_page.list()->topLevelItem(0)->text(0), "10000");
    EXPECT_EQ(m_page.list()->topLevelItem(1)->text(0), "9999");
}

TEST_F(ActivityPageTest, ClearAsksAndOnlyYesEmptiesTheList)
{
    addMany(3);
    m_boxes->queueAnswer(IDNO);
    SendMessage(m_page.hwnd(), WM_COMMAND, MAKEWPARAM(ActivityPage::ClearLogId, BN_CLICKED), 0);
    EXPECT_EQ(m_page.list()->topLevelItemCount(), 3);
    m_boxes->queueAnswer(IDYES);
    m_page.clearLog();
    EXPECT_EQ(m_page.list()->topLevelItemCount(), 0);
    const std::vector<std::string> texts = m_boxes->texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Are you sure you want to clear the activity log list");
    EXPECT_EQ(m_boxes->calls()[0].buttons(), MB_YESNO);
    m_page.onNewRequest(Ie, "1", "x.example");
    EXPECT_EQ(m_page.list()->topLevelItem(0)->text(0), "0000");
}

TEST_F(ActivityPageTest, ExportWritesTheLogNewestFirstWithCrLf)
{
    m_page.onNewRequest(Ie, "1042", "www.example.org");
    m_page.onNewRequest(OperaAsIe, "1043", "www.example.com");
    const std::filesystem::path file = m_prefix.driveC() / "activity.log";
    testsupport::writeFile(file, "old contents that must go away entirely\r\n");
    exportTo(file);
    const std::string rule(79, '-');
    EXPECT_EQ(testsupport::readFile(file),
              rule + "\r\nRequest ID\tProgram Name\t\tPort\t\tDestination\r\n" + rule + "\r\n" +
                  "0001\t\tOpera\t1043\t\twww.example.com\r\n" +
                  "0000\t\tInternet Explorer\t1042\t\twww.example.org\r\n");
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ActivityPageTest, ExportOfAnEmptyListHasOnlyTheHeader)
{
    const std::filesystem::path file = m_prefix.driveC() / "empty.log";
    exportTo(file);
    const std::string rule(79, '-');
    EXPECT_EQ(testsupport::readFile(file),
              rule + "\r\nRequest ID\tProgram Name\t\tPort\t\tDestination\r\n" + rule + "\r\n");
}

TEST_F(ActivityPageTest, CancelledExportWritesNothing)
{
    bool asked = false;
    ActivityPage::setSaveFileChooser([&asked](QWidget* owner) {
        asked = owner != nullptr;
        return std::optional<platform::DosPath>();
    });
    m_page.onNewRequest(Ie, "1", "x.example");
    m_page.exportLog();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ActivityPageTest, ExportThatCannotBeWrittenIsReported)
{
    const std::filesystem::path file = m_prefix.driveC() / "no such folder" / "a.log";
    exportTo(file);
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_boxes->calls()[0].text,
              "The activity log could not be written to " + platform::toDosPath(file).str());
    EXPECT_EQ(m_boxes->calls()[0].icon(), MB_ICONERROR);
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}

TEST_F(ActivityPageTest, CountedRequestsBecomeOneEntryEachWithConsecutiveNumbers)
{
    m_page.onNewRequest(Ie, "1025", "a.example", 3);
    m_page.onNewRequest("wget/1.21", "1026", "b.example", 5); // not a known program
    m_page.onNewRequest(Ie, "1027", "c.example", 0);
    EXPECT_EQ(column(0), (std::vector<std::string>{"0002", "0001", "0000"}));
    EXPECT_EQ(m_page.counter(), 3);
}

TEST_F(ActivityPageTest, BatchCrossingAThousandAsksOnceAndKeepsNumbering)
{
    addMany(998);
    m_boxes->queueAnswer(IDNO);
    m_page.onNewRequest(Ie, "1025", "a.example", 4);
    EXPECT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_page.counter(), 1002);
    EXPECT_EQ(m_page.list()->topLevelItem(0)->text(0), "1001");
}

TEST_F(ActivityPageTest, EntriesArrivingWhileTheQuestionIsOpenDoNotAskAgain)
{
    addMany(1000);
    // The box's own loop delivers more entries before the user answers.
    int nested = 0;
    m_boxes->setAnswerFunction([&](const platform::MessageBoxCall&) {
        if (nested++ == 0) {
            m_page.onNewRequest(Ie, "2000", "during.example", 2);
        }
        return IDNO;
    });
    m_page.onNewRequest(Ie, "3000", "next.example");
    EXPECT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_page.counter(), 1003);
    EXPECT_EQ(m_page.list()->topLevelItem(0)->text(0), "1002");
}
