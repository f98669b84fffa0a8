// The page base: the host's commands reach the right handler, user clicks reach the
// page and post 1224 only where the page asks for it, the sorted list box keeps order,
// finds prefixes without case and reports the Delete key and double clicks.

#include <common/HostMessages.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/SettingsPage.h>
#include <common/ui/SortedListBox.h>
#include <platform/Application.h>
#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <TestHostWindow.h>
#include <TestSupport.h>

#include <vector>

namespace {

class RecordingPage : public pageui::SettingsPage {
public:
    explicit RecordingPage(QWidget* parent) : SettingsPage(parent, "Recording page")
    {
        addCheckBox(10, "Box", QRect(4, 4, 60, 10));
        addButton(11, "Button", QRect(4, 20, 40, 14));
        list = addControl(12, new pageui::SortedListBox(12, this), QRect(4, 40, 100, 60));
    }
    void save() override { events.push_back("save"); }
    void discard() override { events.push_back("discard"); }
    void onPageAction() override { events.push_back("action"); }
    void onCommand(UINT id, WORD code) override
    {
        events.push_back(std::to_string(id) + "/" + std::to_string(code));
        if (id == 10) {
            notifyHost();
        }
    }
    std::vector<std::string> events;
    pageui::SortedListBox* list = nullptr;
};

class SettingsPageTest : public testsupport::PrefixTest {
protected:
    testsupport::TestHostWindow m_host;
    QWidget m_parent;
};

TEST_F(SettingsPageTest, HostCommandsReachTheirHandlers)
{
    RecordingPage page(&m_parent);
    EXPECT_EQ(page.windowTitle().toStdString(), "Recording page");
    EXPECT_EQ(page.size(), pageui::PageSize);
    EXPECT_EQ(page.palette().color(QPalette::Window), QColor(Qt::white));
    SendMessage(page.hwnd(), WM_COMMAND, IDOK, 0);
    SendMessage(page.hwnd(), WM_COMMAND, IDCANCEL, 0);
    SendMessage(page.hwnd(), msg::PageAction, 0, 0);
    EXPECT_EQ(page.events, (std::vector<std::string>{"save", "discard", "action"}));
    // None of these is a user change.
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(SettingsPageTest, ClicksReachThePageAndItsNotificationReachesTheHost)
{
    RecordingPage page(&m_parent);
    page.checkBox(10)->click();
    page.button(11)->click();
    EXPECT_EQ(page.events, (std::vector<std::string>{"10/0", "11/0"}));
    EXPECT_EQ(m_host.received(), 1);
    // A programmatic change is no click.
    page.checkBox(10)->setChecked(false);
    EXPECT_EQ(page.events.size(), 2u);
    EXPECT_EQ(page.control(99), nullptr);
    EXPECT_EQ(page.checkBox(11), nullptr);
}

TEST_F(SettingsPageTest, SortedListKeepsOrderWithoutCaseAndFindsPrefixes)
{
    RecordingPage page(&m_parent);
    pageui::SortedListBox& list = *page.list;
    for (const char* text : {"beta", "Alpha", "gamma", "alpha2", "Beta"}) {
        list.addSorted(QString(text));
    }
    EXPECT_EQ(list.entries(),
              (std::vector<std::string>{"Alpha", "alpha2", "beta", "Beta", "gamma"}));
    EXPECT_EQ(list.findPrefix("ALPHA"), 0);
    EXPECT_EQ(list.findPrefix("bet"), 2);
    EXPECT_EQ(list.findPrefix("delta"), -1);
    EXPECT_EQ(list.findExact("ALPHA2"), 1);
    EXPECT_EQ(list.findExact("alp"), -1);
    EXPECT_EQ(list.selectedRow(), -1);
    list.setCurrentRow(3);
    EXPECT_EQ(list.selectedRow(), 3);
    list.replaceAt(3, "zeta");
    EXPECT_EQ(list.entry(3), "zeta"); // kept its place
    list.removeAt(0);
    EXPECT_EQ(list.count(), 4);
}

TEST_F(SettingsPageTest, ListReportsDeleteKeyAndDoubleClickToThePage)
{
    RecordingPage page(&m_parent);
    page.list->addSorted(QString("one"));
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(page.list, &del);
    emit page.list->itemDoubleClicked(page.list->item(0));
    EXPECT_EQ(page.events, (std::vector<std::string>{"12/256", "12/2"}));
}

TEST_F(SettingsPageTest, EntryDialogAnswersOkAndCancelCommands)
{
    pageui::EntryDialog dialog(&m_parent, "Server", {{"Server URL:", 1001}});
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Server");
    EXPECT_EQ(dialog.edit(0)->objectName().toStdString(), "1001");
    testsupport::whenDialogOpens([](QDialog* open) {
        auto* entry = dynamic_cast<pageui::EntryDialog*>(open);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->text(0), "old");
        entry->setText(0, "new");
        SendMessage(entry->hwnd(), WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dialog.run({"old"}), (std::vector<std::string>{"new"}));
    testsupport::whenDialogOpens(
        [](QDialog* open) { SendMessage(platform::hwndOf(open), WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(dialog.run({"x"}), std::nullopt);
}

TEST_F(SettingsPageTest, NumericFieldTakesDigitsOnly)
{
    pageui::EntryDialog dialog(&m_parent, "Numbers", {{"Port:", 3009}});
    dialog.setNumeric(0, 65535);
    dialog.edit(0)->setText("");
    dialog.edit(0)->insert("12");
    dialog.edit(0)->insert("a");
    dialog.edit(0)->insert("-");
    EXPECT_EQ(dialog.text(0), "12");
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
