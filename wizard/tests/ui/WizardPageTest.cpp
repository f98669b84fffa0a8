// The wizard's pages one by one: their look and window, the commands they take from
// other processes, the proxy chain page's rules and its advanced dialog, the custom
// lists' refusals and questions, the choice page's selection, and RunNow cleaning only
// what its page ticks.

#include "WizardTestSupport.h"
#include "ui/AdvancedProxyDialog.h"
#include "ui/BrowserCleanupPage.h"
#include "ui/ChoicePage.h"
#include "ui/CleanupRun.h"
#include "ui/CustomListsPage.h"
#include "ui/FinishPage.h"
#include "ui/ProgramsPage.h"
#include "ui/ProxyChainPage.h"
#include "ui/WelcomePage.h"
#include "ui/WindowsCleanupPage.h"

#include <common/ui/BitmapButton.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/SortedListBox.h>
#include <platform/Application.h>
#include <platform/Registry.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <CustomDirectoryDialog.h>
#include <TestHostWindow.h>

namespace {

namespace fs = std::filesystem;
using namespace wizard::ui;
using namespace wizardtest;
using testsupport::whenDialogOpens;

class WizardPageTest : public WizardTest {};

TEST_F(WizardPageTest, PagesAreWhiteRoundedDialogsTitledForTheHost)
{
    WelcomePage welcome(m_session);
    ProgramsPage programs(&welcome, m_session);
    for (WizardPage* shown :
         {static_cast<WizardPage*>(&welcome), static_cast<WizardPage*>(&programs)}) {
        EXPECT_EQ(shown->windowTitle().toStdString(), "Umbravia Settings Wizard");
        EXPECT_EQ(shown->size(), QSize(607, 411)); // 434 x 274 dialog units
        EXPECT_EQ(shown->palette().color(QPalette::Window), QColor(Qt::white));
        char className[32] = {};
        GetClassName(shown->hwnd(), className, sizeof className);
        EXPECT_STREQ(className, "#32770");
        // The corners lie outside the window's region, its middle inside.
        EXPECT_FALSE(shown->mask().contains(QPoint(0, 0)));
        EXPECT_FALSE(shown->mask().contains(QPoint(606, 410)));
        EXPECT_TRUE(shown->mask().contains(QPoint(303, 205)));
        for (UINT id : {BackButton, NextButton, CancelButton}) {
            ASSERT_NE(shown->pageButton(id), nullptr) << id;
        }
    }
    EXPECT_FALSE(welcome.pageButton(BackButton)->isEnabled());
    EXPECT_TRUE(programs.pageButton(BackButton)->isEnabled());
    const auto line = welcome.findChild<QLabel*>("line0");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text().toStdString(), "- Thanks for choosing our program.");
    EXPECT_EQ(line->font().family().toStdString(), "Times New Roman");
}

TEST_F(WizardPageTest, CommandsPostedToTheFoundWindowDriveThePages)
{
    // As the host and other processes do: the wizard's window by class and title, then
    // WM_COMMAND with a button id posted to it.
    Script script;
    HWND welcomeWindow = 0;
    script
        .then([&] {
            welcomeWindow = FindWindow(DIALOG_CLASS, WizardTitle);
            EXPECT_EQ(welcomeWindow, page()->hwnd());
            PostMessage(welcomeWindow, WM_COMMAND, BackButton, 0); // disabled: nothing
            PostMessage(welcomeWindow, WM_COMMAND, NextButton, 0);
        })
        .then(
            [&] {
                const HWND programs = FindWindow(DIALOG_CLASS, WizardTitle);
                EXPECT_EQ(programs, page()->hwnd());
                PostMessage(programs, WM_COMMAND, BackButton, 0);
            },
            [] { return top<ProgramsPage>() != nullptr; })
        .then(
            [&] {
                EXPECT_EQ(FindWindow(DIALOG_CLASS, WizardTitle), welcomeWindow);
                answer(LeaveQuestion, IDYES);
                PostMessage(welcomeWindow, WM_COMMAND, CancelButton, 0);
            },
            [] { return top<WelcomePage>() != nullptr; });
    const int outcome = script.run([this] { return WelcomePage(m_session).run(); });
    EXPECT_EQ(script.done(), script.size());
    EXPECT_EQ(outcome, WizardPage::Left);
    EXPECT_EQ(FindWindow(DIALOG_CLASS, WizardTitle), 0u);
}

TEST_F(WizardPageTest, ChoiceNeedsASelectionAndItsBoxesExcludeEachOther)
{
    Script script;
    script.then([this] {
        click(NextButton);
        ASSERT_NE(top<ChoicePage>(), nullptr); // nothing chosen: the page stays
        click(ChoicePage::DefaultBox);
        click(ChoicePage::CustomBox);
        EXPECT_FALSE(page()->checkBox(ChoicePage::DefaultBox)->isChecked());
        click(ChoicePage::DefaultBox);
        EXPECT_FALSE(page()->checkBox(ChoicePage::CustomBox)->isChecked());
        click(ChoicePage::DefaultBox); // a chosen box stays chosen
        EXPECT_TRUE(page()->checkBox(ChoicePage::DefaultBox)->isChecked());
        // Posted by another process, the id alone makes the choice.
        SendMessage(page()->hwnd(), WM_COMMAND, ChoicePage::CustomBox, 0);
        EXPECT_TRUE(page()->checkBox(ChoicePage::CustomBox)->isChecked());
        EXPECT_FALSE(page()->checkBox(ChoicePage::DefaultBox)->isChecked());
        answer(LeaveQuestion, IDYES);
        click(CancelButton);
    });
    const int outcome = script.run([this] { return ChoicePage(nullptr, m_session).run(); });
    EXPECT_EQ(outcome, WizardPage::Left);
    ASSERT_FALSE(m_boxes->calls().empty());
    const platform::MessageBoxCall first = m_boxes->calls().front();
    EXPECT_EQ(first.text, "Please make a selection to continue, or cancel to leave the wizard");
    EXPECT_EQ(first.icon(), static_cast<UINT>(MB_ICONINFORMATION));
}

TEST_F(WizardPageTest, ChainPageControlsFollowTheirRules)
{
    m_session.model.chain = {};
    m_session.model.chain.connectChain = 1;
    m_session.model.chain.useOneProxy = 1;
    m_session.model.chain.updateEvery = 2;
    ProxyChainPage chain(nullptr, m_session);
    const auto command = [&](UINT id) {
        if (auto* box = chain.checkBox(id)) {
            box->click();
        } else {
            chain.radio(id)->click();
        }
    };
    EXPECT_TRUE(chain.radio(ProxyChainPage::OneProxyButton)->isChecked());
    EXPECT_FALSE(chain.button(ProxyChainPage::AdvancedButton)->isEnabled());
    EXPECT_TRUE(chain.checkBox(ProxyChainPage::UpdateEveryBox)->isChecked());
    EXPECT_EQ(chain.periodList()->currentText().toStdString(), "Hour");
    EXPECT_TRUE(chain.periodList()->isEnabled());

    command(ProxyChainPage::MultipleProxiesButton);
    EXPECT_TRUE(chain.button(ProxyChainPage::AdvancedButton)->isEnabled());
    EXPECT_EQ(m_session.model.chain.pathLength, 2u);
    EXPECT_EQ(m_session.model.chain.useOneProxy, 0u);

    command(ProxyChainPage::UpdateAtStartupBox);
    EXPECT_FALSE(chain.checkBox(ProxyChainPage::UpdateEveryBox)->isChecked());
    EXPECT_FALSE(chain.periodList()->isEnabled());
    EXPECT_EQ(m_session.model.chain.updateAtStartup, 1u);
    command(ProxyChainPage::UpdateEveryBox);
    EXPECT_FALSE(chain.checkBox(ProxyChainPage::UpdateAtStartupBox)->isChecked());
    EXPECT_TRUE(chain.periodList()->isEnabled());
    EXPECT_EQ(m_session.model.chain.updateAtStartup, 0u);

    command(ProxyChainPage::ConnectBox); // off: the whole page with it
    EXPECT_EQ(m_session.model.chain.connectChain, 0u);
    for (UINT id : {ProxyChainPage::PortEdit, ProxyChainPage::OneProxyButton,
                    ProxyChainPage::MultipleProxiesButton, ProxyChainPage::UpdateEveryBox,
                    ProxyChainPage::UpdateAtStartupBox, ProxyChainPage::PeriodList,
                    ProxyChainPage::HowButton, ProxyChainPage::AdvancedButton}) {
        EXPECT_FALSE(chain.control(id)->isEnabled()) << id;
    }
    command(ProxyChainPage::ConnectBox);
    EXPECT_EQ(m_session.model.chain.connectChain, 1u);
    EXPECT_TRUE(chain.button(ProxyChainPage::AdvancedButton)->isEnabled());
    EXPECT_TRUE(chain.periodList()->isEnabled());

    command(ProxyChainPage::OneProxyButton);
    EXPECT_FALSE(chain.button(ProxyChainPage::AdvancedButton)->isEnabled());
    EXPECT_EQ(m_session.model.chain.pathLength, 1u);
    EXPECT_EQ(m_session.model.chain.useOneProxy, 1u);
}

TEST_F(WizardPageTest, ChainPageOpensWithTheStartUpRefreshAndAWrongPortStaysOnThePage)
{
    m_session.model.chain.updateAtStartup = 1;
    m_session.model.chain.connectChain = 1;
    ProxyChainPage chain(nullptr, m_session);
    EXPECT_TRUE(chain.checkBox(ProxyChainPage::UpdateAtStartupBox)->isChecked());
    EXPECT_FALSE(chain.checkBox(ProxyChainPage::UpdateEveryBox)->isChecked());
    EXPECT_FALSE(chain.periodList()->isEnabled());
    chain.portEdit()->setText("70000");
    SendMessage(chain.hwnd(), WM_COMMAND, NextButton, 0);
    EXPECT_EQ(texts(), std::vector<std::string>{ProxyChainPage::BadPort});
    EXPECT_EQ(m_session.model.chain.proxyPort, 8080u);
}

TEST_F(WizardPageTest, AdvancedDialogValuesAreTakenOnOkAndOnCancel)
{
    m_session.model.chain.connectChain = 1;
    m_session.model.chain.useOneProxy = 0;
    m_session.model.chain.pathLength = 2;
    m_session.model.chain.connectionTimeout = 0;
    ProxyChainPage chain(nullptr, m_session);

    whenDialogOpens([](QDialog* dialog) {
        auto* advanced = dynamic_cast<AdvancedProxyDialog*>(dialog);
        ASSERT_NE(advanced, nullptr);
        EXPECT_EQ(advanced->windowTitle().toStdString(), "Advanced Proxy Settings");
        EXPECT_EQ(advanced->edit(AdvancedProxyDialog::PathLengthEdit)->text(), "2");
        advanced->edit(AdvancedProxyDialog::PathLengthEdit)->setText("5");
        advanced->edit(AdvancedProxyDialog::TimeoutEdit)->setText("2500");
        advanced->accept();
    });
    chain.button(ProxyChainPage::AdvancedButton)->click();
    EXPECT_EQ(m_session.model.chain.pathLength, 5u);
    EXPECT_EQ(m_session.model.chain.connectionTimeout, 2500u);
    EXPECT_EQ(m_session.model.chain.connectChain, 1u);

    // Cancel takes the values too; the edits follow the box.
    whenDialogOpens([](QDialog* dialog) {
        auto* advanced = dynamic_cast<AdvancedProxyDialog*>(dialog);
        ASSERT_NE(advanced, nullptr);
        advanced->edit(AdvancedProxyDialog::PathLengthEdit)->setText("7");
        advanced->connectBox()->click();
        EXPECT_FALSE(advanced->edit(AdvancedProxyDialog::PathLengthEdit)->isEnabled());
        EXPECT_FALSE(advanced->edit(AdvancedProxyDialog::TimeoutEdit)->isEnabled());
        advanced->reject();
    });
    chain.button(ProxyChainPage::AdvancedButton)->click();
    EXPECT_EQ(m_session.model.chain.pathLength, 7u);
    EXPECT_EQ(m_session.model.chain.connectChain, 0u);
    EXPECT_FALSE(chain.checkBox(ProxyChainPage::ConnectBox)->isChecked());
    EXPECT_FALSE(chain.button(ProxyChainPage::AdvancedButton)->isEnabled());

    // OK refuses a chain longer than the builder makes; Cancel then keeps the old length.
    chain.checkBox(ProxyChainPage::ConnectBox)->click();
    whenDialogOpens([this](QDialog* dialog) {
        auto* advanced = dynamic_cast<AdvancedProxyDialog*>(dialog);
        ASSERT_NE(advanced, nullptr);
        advanced->edit(AdvancedProxyDialog::PathLengthEdit)->setText("99");
        advanced->accept();
        EXPECT_TRUE(advanced->isVisible());
        EXPECT_EQ(texts().back(), AdvancedProxyDialog::BadPathLength);
        advanced->reject();
    });
    chain.button(ProxyChainPage::AdvancedButton)->click();
    EXPECT_EQ(m_session.model.chain.pathLength, 7u);
}

TEST_F(WizardPageTest, CustomListsRefuseAPrefixOfAnEntryAndAskBeforeRemoving)
{
    m_session.model.lists.customFilters = 1;
    m_session.model.lists.filters = {"Accept-Language: en"};
    m_session.model.lists.stopServers = 1;
    m_session.model.lists.servers = {"ads.example.com"};
    CustomListsPage lists(nullptr, m_session);
    const auto addWith = [&](UINT button, std::vector<std::string> texts) {
        whenDialogOpens([texts](QDialog* dialog) {
            auto* entry = dynamic_cast<pageui::EntryDialog*>(dialog);
            ASSERT_NE(entry, nullptr);
            for (std::size_t i = 0; i < texts.size(); ++i) {
                entry->setText(i, texts[i]);
            }
            entry->accept();
        });
        lists.button(button)->click();
    };
    addWith(CustomListsPage::AddFilterButton, {"accept", "x"}); // a prefix, without case
    EXPECT_EQ(texts(), std::vector<std::string>{"This Variable Is Already Filtered"});
    addWith(CustomListsPage::AddFilterButton, {"Cookie", "none"});
    EXPECT_EQ(lists.list(CustomListsPage::FilterList)->entries(),
              (std::vector<std::string>{"Accept-Language: en", "Cookie: none"}));
    addWith(CustomListsPage::AddServerButton, {"ADS.example"});
    EXPECT_EQ(lists.list(CustomListsPage::ServerList)->entries(),
              std::vector<std::string>{"ads.example.com"});
    addWith(CustomListsPage::AddServerButton, {"example.org"});
    EXPECT_EQ(lists.list(CustomListsPage::ServerList)->entries(),
              (std::vector<std::string>{"ads.example.com", "example.org"}));

    m_boxes->clear();
    lists.list(CustomListsPage::FilterList)->setCurrentRow(1);
    lists.button(CustomListsPage::RemoveFilterButton)->click(); // answered No
    EXPECT_EQ(lists.list(CustomListsPage::FilterList)->count(), 2);
    answer("Are You Sure You Want To Remove", IDYES);
    lists.button(CustomListsPage::RemoveFilterButton)->click();
    EXPECT_EQ(lists.list(CustomListsPage::FilterList)->entries(),
              std::vector<std::string>{"Accept-Language: en"});
    ASSERT_EQ(m_boxes->calls().size(), 2u);
    EXPECT_EQ(m_boxes->calls()[0].text, "Are You Sure You Want To Remove This Title Cookie: none");
    EXPECT_EQ(m_boxes->calls()[0].buttons(), static_cast<UINT>(MB_YESNOCANCEL));
}

TEST_F(WizardPageTest, ListsPageSwitchesRequestFilteringOnButNeverOff)
{
    answer(LeaveQuestion, IDYES);
    const auto nextThenLeave = [this](std::function<void()> first) {
        Script script;
        script
            .then([first] {
                first();
                click(NextButton);
            })
            .then([] {
                ASSERT_NE(top<FinishPage>(), nullptr);
                click(CancelButton);
            });
        script.run([this] { return CustomListsPage(nullptr, m_session).run(); });
        EXPECT_EQ(script.done(), script.size());
    };
    m_session.model.request.customLists = 1;
    nextThenLeave([] {});
    EXPECT_EQ(m_session.model.request.customLists, 1u); // both lists off: kept

    m_session.model.request.customLists = 0;
    nextThenLeave([] { click(CustomListsPage::ServersBox); });
    EXPECT_EQ(m_session.model.request.customLists, 1u);
    EXPECT_EQ(m_session.model.lists.stopServers, 1u);
}

class RunNowTest : public WizardPageTest {
protected:
    // A file in a special folder of the prefix.
    fs::path decoy(int csidl, const char* name)
    {
        const fs::path file = specialFolder(csidl) / name;
        fs::create_directories(file.parent_path());
        testsupport::writeFile(file, "trace");
        return file;
    }
    static void writeKey(HKEY root, const char* key, const char* value)
    {
        settings::Key::create(root, key).writeString(value, "trace");
    }
    static bool keyExists(HKEY root, const char* key)
    {
        return static_cast<bool>(settings::Key::open(root, key));
    }

    testsupport::TempTrash m_trash; // the recycle bin of this test
    testsupport::TestHostWindow m_host;
};

TEST_F(RunNowTest, WindowsPageCleansOnlyItsTickedItems)
{
    constexpr const char* RunMru = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
    constexpr const char* Telnet = "Software\\Microsoft\\Telnet";
    const fs::path recent = decoy(CSIDL_RECENT, "letter.lnk");
    const fs::path nethood = decoy(CSIDL_NETHOOD, "share.lnk");
    const fs::path cookie = decoy(CSIDL_COOKIES, "user@example.txt");
    const fs::path custom = m_prefix.driveC() / "Scratch" / "old.tmp";
    fs::create_directories(custom.parent_path());
    testsupport::writeFile(custom, "trace");
    writeKey(HKEY_CURRENT_USER, RunMru, "a");
    settings::Key::create(HKEY_CURRENT_USER, Telnet).writeString("LastMachine", "host");
    // Stored choices that RunNow must not follow: only the page's boxes count.
    m_session.model.windowsCleanup.networkConnections = 1;
    m_session.model.windowsCleanup.customDirectories = 1;
    m_session.model.windowsCleanup.directories = {"C:\\Scratch"};
    WindowsCleanupPage windows(nullptr, m_session);
    windows.checkBox(1024 + 7)->setChecked(false); // Telnet stays unticked
    windows.checkBox(1024 + 6)->setChecked(false); // Network connections: untick the stored one
    windows.checkBox(1025)->setChecked(true);      // Run history
    windows.checkBox(1026)->setChecked(true);      // Documents history
    windows.checkBox(WindowsCleanupPage::CustomDirsBox)->setChecked(false);
    windows.button(WindowsCleanupPage::RunNowButton)->click();

    EXPECT_FALSE(fs::exists(recent));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, RunMru));
    EXPECT_TRUE(fs::exists(nethood));
    EXPECT_TRUE(fs::exists(cookie)); // another page's item
    EXPECT_TRUE(fs::exists(custom));
    EXPECT_TRUE(
        settings::Key::open(HKEY_CURRENT_USER, Telnet).readString("LastMachine").has_value());
    EXPECT_TRUE(fs::is_directory(specialFolder(CSIDL_RECENT))); // the folder itself stays

    // Ticked, the custom directories are cleaned too.
    windows.checkBox(WindowsCleanupPage::CustomDirsBox)->setChecked(true);
    windows.button(WindowsCleanupPage::RunNowButton)->click();
    EXPECT_FALSE(fs::exists(custom));
    EXPECT_TRUE(fs::is_directory(custom.parent_path()));
    EXPECT_TRUE(fs::exists(nethood));
}

TEST_F(RunNowTest, BrowserPageCleansOnlyItsTickedItems)
{
    constexpr const char* TypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
    const fs::path cookie = decoy(CSIDL_COOKIES, "user@example.txt");
    const fs::path favorite = decoy(CSIDL_FAVORITES, "Example.url");
    const fs::path recent = decoy(CSIDL_RECENT, "letter.lnk");
    writeKey(HKEY_CURRENT_USER, TypedUrls, "url1");
    m_session.model.browserCleanup = {};
    BrowserCleanupPage browser(nullptr, m_session);
    browser.checkBox(1030)->setChecked(true); // Clear Cookies.
    browser.button(BrowserCleanupPage::RunNowButton)->click();
    EXPECT_FALSE(fs::exists(cookie));
    EXPECT_TRUE(fs::exists(favorite));
    EXPECT_TRUE(fs::exists(recent));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, TypedUrls));
}

TEST(CleaningBoxTest, ShowsTheWizardsProgressTexts)
{
    CleaningBox box(nullptr);
    EXPECT_EQ(box.statusText(8, false), "Please Wait While Hollowmere Clears Your Recycle Bin...");
    EXPECT_EQ(box.statusText(8, true), "Clearing Recycle Bin...Done");
    EXPECT_EQ(box.statusText(10, true), "Clearing Recent Ddocuments History...Done");
    EXPECT_EQ(box.statusText(14, false),
              "Please Wait While Hollowmere Clears Yor Network Connection History...");
    EXPECT_EQ(box.statusText(3, false),
              "Please Wait While Hollowmere Clears Yor Typed Internet URLs...");
    EXPECT_EQ(box.statusText(1, true), "Clearing Temporary Internet Files...Done");
}

TEST_F(WizardPageTest, CustomDirectoriesAreAddedThroughDialog170AndRemovedOnYes)
{
    WindowsCleanupPage windows(nullptr, m_session);
    windows.checkBox(WindowsCleanupPage::CustomDirsBox)->click();
    whenDialogOpens([](QDialog* dialog) {
        auto* directory = dynamic_cast<local::CustomDirectoryDialog*>(dialog);
        ASSERT_NE(directory, nullptr);
        EXPECT_EQ(directory->windowTitle().toStdString(), "Add Custom Directory");
        EXPECT_EQ(directory->edit()->objectName().toStdString(), "1058");
        directory->edit()->setText("C:\\Scratch");
        directory->accept();
    });
    windows.button(WindowsCleanupPage::AddButton)->click();
    EXPECT_EQ(windows.folderList()->entries(), std::vector<std::string>{"C:\\Scratch"});
    windows.folderList()->setCurrentRow(0);
    answer("Are You Sure You Want To Remove This Directory", IDYES);
    windows.button(WindowsCleanupPage::RemoveButton)->click();
    EXPECT_TRUE(windows.folderList()->entries().empty());
    EXPECT_EQ(texts(), std::vector<std::string>{
                           "Are You Sure You Want To Remove This Directory C:\\Scratch"});
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
