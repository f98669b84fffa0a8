// The "Proxy chain" page: controls and texts, loading with the enable rules, the
// exclusive update boxes, the advanced dialog (stored values shown, bad input refused),
// saving (PATHLENGTH 1 for one proxy and 0 without chaining, UPDATEEVERY -1 without a
// period, the restart request only for a changed port), the offline warning, the
// messages to the main window (1224, 1324, 1210, 1223) and CreateTabDlg of Chain.dll.

#include "ChainPage.h"

#include "ChainRegistration.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <platform/Application.h>
#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <TestHostWindow.h>
#include <TestSupport.h>
#include <dlfcn.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using chain::ChainPage;
using testsupport::whenDialogOpens;

std::optional<DWORD> chainValue(const char* name)
{
    return settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, name);
}

void setChain(const char* name, DWORD value)
{
    ASSERT_EQ(settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS)
                  .writeDword(name, value),
              ERROR_SUCCESS);
}

std::optional<DWORD> port()
{
    return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "PROXYPORT");
}

// A window standing for the one given by SetMainWindow: counts restart requests.
class RestartTarget : public platform::Window {
public:
    RestartTarget() { EXPECT_TRUE(createWindow("UmbraviaTestRestart", "Restart")); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        restarts += message == msg::RestartProxy ? 1 : 0;
        return Window::windowProc(message, wParam, lParam);
    }
    int restarts = 0;
};

class ChainPageTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ::setenv("UMBRAVIA_CONNECTED_STATE", "online", 1);
        ASSERT_EQ(
            chain::ChainRegistration::registerModule("C:\\Program Files\\Umbravia\\Chain.dll"), 1);
        ASSERT_EQ(settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
                      .writeDword("PROXYPORT", 8080),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        m_host.received();
        ::unsetenv("UMBRAVIA_CONNECTED_STATE");
    }
    ChainPage& page()
    {
        if (!m_page) {
            m_page = std::make_unique<ChainPage>(&m_parent, [this] { return m_restart.hwnd(); });
        }
        return *m_page;
    }
    void ok() { SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0); }
    int restarts()
    {
        m_host.received();
        return m_restart.restarts;
    }
    // Answers the advanced dialog with these three texts, recording what it showed.
    static void answerAdvanced(std::vector<std::string> texts,
                               std::vector<std::string>* shown = nullptr)
    {
        whenDialogOpens([texts, shown](QDialog* open) {
            auto* dialog = dynamic_cast<pageui::EntryDialog*>(open);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle().toStdString(), "Proxy Chain Advanced Setting");
            for (std::size_t i = 0; shown != nullptr && i < 3; ++i) {
                shown->push_back(dialog->text(i));
            }
            for (std::size_t i = 0; i < texts.size(); ++i) {
                dialog->setText(i, texts[i]);
            }
            dialog->accept();
        });
    }

    testsupport::TestHostWindow m_host;
    RestartTarget m_restart;
    QWidget m_parent;
    std::unique_ptr<ChainPage> m_page;
};

TEST_F(ChainPageTest, ControlsCarryTheirIdsAndTexts)
{
    EXPECT_EQ(page().checkBox(3000)->text().toStdString(), "Connect through proxy chain.");
    EXPECT_EQ(page().radio(3001)->text().toStdString(), "Use one Proxy");
    EXPECT_EQ(page().radio(3002)->text().toStdString(), "Use Multiple Proxy");
    EXPECT_EQ(page().button(3004)->text().toStdString(), "Advaced Settings");
    EXPECT_EQ(page().checkBox(3005)->text().toStdString(), "Update proxy list every :");
    EXPECT_EQ(page().checkBox(3006)->text().toStdString(),
              "Update proxy list at application startup.");
    EXPECT_EQ(page().button(3012)->text().toStdString(), "Update Proxy Chain");
    ASSERT_EQ(page().periodCombo()->count(), 3);
    EXPECT_EQ(page().periodCombo()->itemText(0).toStdString(), "15 minutes");
    EXPECT_EQ(page().periodCombo()->itemText(1).toStdString(), "30 minutes");
    EXPECT_EQ(page().periodCombo()->itemText(2).toStdString(), "Hour");
    EXPECT_FALSE(page().proxyList()->isVisibleTo(&page()));
    std::vector<std::string> texts;
    for (const QGroupBox* group : page().findChildren<QGroupBox*>()) {
        texts.push_back(group->title().toStdString());
    }
    for (const QLabel* label : page().findChildren<QLabel*>()) {
        texts.push_back(label->text().toStdString());
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "(Connect using only one proxy.)", "(Enable proxy chain protection.)",
                         "(To increase the number of proxies of the chain Length)",
                         "(requires server restart)", "Basic", "Current Proxy  List used",
                         "Proxy Chain Setting", "Update"}));
    EXPECT_EQ(page().windowTitle().toStdString(), "Proxy chain");
}

TEST_F(ChainPageTest, OpeningLoadsTheValuesAndAsksForTheList)
{
    setChain("CONNECTCHAIN", 1);
    setChain("USEONEPROXY", 0);
    setChain("UPDATEEVERY", 2);
    setChain("PATHLENGTH", 5);
    setChain("CONNTIMEOUT", 7000);
    EXPECT_TRUE(page().checkBox(3000)->isChecked());
    EXPECT_TRUE(page().radio(3002)->isChecked());
    EXPECT_TRUE(page().checkBox(3005)->isChecked());
    EXPECT_FALSE(page().checkBox(3006)->isChecked());
    EXPECT_EQ(page().periodCombo()->currentIndex(), 2);
    EXPECT_TRUE(page().periodCombo()->isEnabled());
    EXPECT_TRUE(page().button(3004)->isEnabled());
    EXPECT_EQ(page().pathLength(), 5u);
    EXPECT_EQ(page().timeout(), 7000u);
    EXPECT_EQ(page().port(), 8080u);
    EXPECT_EQ(m_host.count(msg::UpdateProxyListViaChain), 1);
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(ChainPageTest, ChainingOffDisablesTheRest)
{
    setChain("UPDATEATSTARTUP", 1);
    EXPECT_TRUE(page().checkBox(3006)->isChecked());
    for (UINT id : {3001u, 3002u, 3004u, 3005u, 3006u, 3008u}) {
        EXPECT_FALSE(page().control(id)->isEnabled()) << id;
    }
    page().checkBox(3000)->click();
    for (UINT id : {3001u, 3002u, 3005u, 3006u}) {
        EXPECT_TRUE(page().control(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(page().periodCombo()->isEnabled()); // the start-up box is ticked
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(ChainPageTest, UseOneProxySavesOneAndLengthOneWhateverTheDialogShowed)
{
    setChain("CONNECTCHAIN", 1);
    setChain("PATHLENGTH", 5);
    page().radio(3001)->click();
    EXPECT_FALSE(page().button(3004)->isEnabled());
    ok();
    EXPECT_EQ(chainValue("USEONEPROXY"), 1u);
    EXPECT_EQ(chainValue("PATHLENGTH"), 1u);
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(ChainPageTest, UntickingChainingSavesZeroAndZero)
{
    setChain("CONNECTCHAIN", 1);
    setChain("PATHLENGTH", 4);
    page().checkBox(3000)->click();
    ok();
    EXPECT_EQ(chainValue("CONNECTCHAIN"), 0u);
    EXPECT_EQ(chainValue("PATHLENGTH"), 0u);
}

TEST_F(ChainPageTest, UpdateBoxesExcludeEachOtherAndNoPeriodSavesMinusOne)
{
    setChain("CONNECTCHAIN", 1);
    setChain("UPDATEEVERY", 1);
    page().checkBox(3006)->click();
    EXPECT_FALSE(page().checkBox(3005)->isChecked());
    EXPECT_FALSE(page().periodCombo()->isEnabled());
    page().checkBox(3005)->click();
    EXPECT_FALSE(page().checkBox(3006)->isChecked());
    EXPECT_TRUE(page().periodCombo()->isEnabled());
    ok();
    EXPECT_EQ(chainValue("UPDATEEVERY"), 1u);
    EXPECT_EQ(chainValue("UPDATEATSTARTUP"), 0u);
    page().checkBox(3005)->click(); // unticked, the other box left alone
    ok();
    EXPECT_EQ(chainValue("UPDATEEVERY"), 0xFFFFFFFFu);
    EXPECT_EQ(chainValue("UPDATEATSTARTUP"), 0u);
}

TEST_F(ChainPageTest, UntickingTheStartUpBoxSwitchesTheStartUpRefreshOff)
{
    setChain("CONNECTCHAIN", 1);
    setChain("UPDATEATSTARTUP", 1);
    page().checkBox(3006)->click();
    ok();
    EXPECT_EQ(chainValue("UPDATEATSTARTUP"), 0u);
    EXPECT_EQ(chainValue("UPDATEEVERY"), 0xFFFFFFFFu);
    // Opened again, neither box is ticked.
    m_page.reset();
    EXPECT_FALSE(page().checkBox(3005)->isChecked());
    EXPECT_FALSE(page().checkBox(3006)->isChecked());
}

TEST_F(ChainPageTest, PeriodChoicePostsTheChangeAndIsSaved)
{
    setChain("CONNECTCHAIN", 1);
    ASSERT_TRUE(page().checkBox(3005)->isChecked()); // UPDATEEVERY 0 as registered
    page().periodCombo()->setCurrentIndex(2);
    emit page().periodCombo()->activated(2);
    EXPECT_EQ(chainValue("UPDATEEVERY"), 0u);
    ok();
    EXPECT_EQ(chainValue("UPDATEEVERY"), 2u);
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(ChainPageTest, OnlyAChangedPortPostsTheRestart)
{
    setChain("CONNECTCHAIN", 1);
    ok();
    EXPECT_EQ(restarts(), 0);
    EXPECT_EQ(port(), 8080u);
    answerAdvanced({"8123", "3", "4000"});
    SendMessage(page().hwnd(), WM_COMMAND, 3004, 0);
    EXPECT_EQ(port(), 8080u); // nothing written before OK
    ok();
    EXPECT_EQ(port(), 8123u);
    EXPECT_EQ(chainValue("PATHLENGTH"), 3u);
    EXPECT_EQ(chainValue("CONNTIMEOUT"), 4000u);
    EXPECT_EQ(restarts(), 1);
    ok();
    EXPECT_EQ(restarts(), 1);
}

TEST_F(ChainPageTest, AdvancedDialogShowsTheStoredPortAndLength)
{
    setChain("CONNECTCHAIN", 1);
    setChain("PATHLENGTH", 2);
    setChain("CONNTIMEOUT", 900);
    answerAdvanced({"9000", "6", "900"});
    SendMessage(page().hwnd(), WM_COMMAND, 3004, 0);
    EXPECT_EQ(page().pathLength(), 6u);
    // A second visit before saving shows the stored values again.
    std::vector<std::string> shown;
    answerAdvanced({"9000", "6", "900"}, &shown);
    SendMessage(page().hwnd(), WM_COMMAND, 3004, 0);
    EXPECT_EQ(shown, (std::vector<std::string>{"8080", "2", "900"}));
    EXPECT_EQ(m_host.received(), 2);
}

TEST_F(ChainPageTest, AdvancedDialogRefusesAPortOutOfRange)
{
    setChain("CONNECTCHAIN", 1);
    platform::ScopedScriptedPresenter boxes;
    answerAdvanced({"70000", "2", "0"});
    // After the refusal the dialog opens again: cancel it.
    boxes->setAnswerFunction([](const platform::MessageBoxCall&) {
        whenDialogOpens([](QDialog* open) { open->reject(); });
        return IDOK;
    });
    SendMessage(page().hwnd(), WM_COMMAND, 3004, 0);
    ASSERT_EQ(boxes->texts(),
              (std::vector<std::string>{"The port must be a number from 1 to 65535."}));
    EXPECT_EQ(page().port(), 8080u);
    ok();
    EXPECT_EQ(port(), 8080u);
}

TEST_F(ChainPageTest, OfflineWarningUnticksTheBox)
{
    ::setenv("UMBRAVIA_CONNECTED_STATE", "offline", 1);
    platform::ScopedScriptedPresenter boxes;
    page().checkBox(3000)->click();
    EXPECT_FALSE(page().checkBox(3000)->isChecked());
    EXPECT_FALSE(page().radio(3001)->isEnabled());
    ASSERT_EQ(boxes->calls().size(), 1u);
    EXPECT_EQ(boxes->calls()[0].text, "You are currently not connected to the internet");
    EXPECT_EQ(boxes->calls()[0].caption, "");
    EXPECT_EQ(boxes->calls()[0].icon(), 0u);
    ok();
    EXPECT_EQ(chainValue("CONNECTCHAIN"), 0u);
}

TEST_F(ChainPageTest, PageActionSwitchesChainingOnAndSavesWithoutNotifying)
{
    SendMessage(page().hwnd(), msg::PageAction, 0, 0);
    EXPECT_TRUE(page().checkBox(3000)->isChecked());
    EXPECT_TRUE(page().radio(3001)->isEnabled());
    EXPECT_EQ(chainValue("CONNECTCHAIN"), 1u);
    EXPECT_EQ(chainValue("PATHLENGTH"), 1u);
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(ChainPageTest, UpdateButtonAsksTheMainWindowForAFreshList)
{
    page().proxyList()->addItem("old.example:3128");
    page().button(3012)->click();
    EXPECT_FALSE(page().button(3012)->isEnabled());
    ASSERT_TRUE(testsupport::waitFor([&] {
        QCoreApplication::processEvents();
        return page().button(3012)->isEnabled();
    }));
    EXPECT_EQ(m_host.count(msg::RefreshProxyList), 1);
    EXPECT_EQ(page().proxyList()->count(), 0);
}

TEST_F(ChainPageTest, RegistryFailuresAreReportedAndNoPortIsInvented)
{
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::ChainKey), ERROR_SUCCESS);
    platform::ScopedScriptedPresenter boxes;
    page();
    ASSERT_EQ(boxes->calls().size(), 1u);
    EXPECT_EQ(boxes->calls()[0].text, "Invalid registry data");
    EXPECT_EQ(boxes->calls()[0].caption, "Chain");
    ok();
    ASSERT_EQ(boxes->calls().size(), 2u);
    EXPECT_EQ(boxes->calls()[1].text, "Invalide registry data");
    EXPECT_EQ(boxes->calls()[1].caption, "Proxy Chain Settings");
    EXPECT_EQ(port(), 8080u);

    // Without PROXYPORT the page never writes one.
    ASSERT_EQ(chain::ChainRegistration::registerModule("C:\\x\\Chain.dll"), 1);
    settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    ASSERT_EQ(RegDeleteValue(main.get(), "PROXYPORT"), ERROR_SUCCESS);
    m_page.reset();
    ok();
    EXPECT_EQ(port(), std::nullopt);
}

TEST_F(ChainPageTest, MissingPathLengthIsReportedAndTheRestLoads)
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    ASSERT_EQ(RegDeleteValue(key.get(), "PATHLENGTH"), ERROR_SUCCESS);
    setChain("CONNECTCHAIN", 1);
    platform::ScopedScriptedPresenter boxes;
    EXPECT_TRUE(page().checkBox(3000)->isChecked());
    EXPECT_EQ(boxes->texts(), (std::vector<std::string>{"Invalid registry data"}));
    EXPECT_EQ(m_host.count(msg::UpdateProxyListViaChain), 1);
}

TEST_F(ChainPageTest, CreateTabDlgOfTheModule)
{
    testsupport::expectModulePages(testsupport::binDir() / "Chain.dll", m_parent, {"Proxy chain"});
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
