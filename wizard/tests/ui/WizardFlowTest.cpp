// The wizard's routes through its pages, run as the user runs them: the default and the
// custom route to Finish (the registry after Finish, the model holding what was clicked),
// Back from every page at the place the page stood, and Cancel ending every page with
// nothing saved.

#include "WizardTestSupport.h"
#include "core/Finish.h"
#include "core/SettingsModel.h"
#include "ui/ChoicePage.h"
#include "ui/CustomListsPage.h"
#include "ui/FinishPage.h"
#include "ui/ProxyChainPage.h"
#include "ui/RequestFilterPage.h"
#include "ui/WelcomePage.h"

#include <common/ui/EntryDialog.h>
#include <common/ui/IpAddressEdit.h>
#include <platform/Application.h>
#include <platform/Registry.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPoint>

#include <RegistryTree.h>

namespace {

using namespace wizard::ui;
using namespace wizardtest;

constexpr const char* CustomDirs = "Software\\Kestrani\\Hollowmere\\DLLs\\Local.dll\\CUSTOMDIRS";
constexpr const char* CustomFilters =
    "Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Req\\CUSTOMFILTERS";
constexpr const char* StopServers =
    "Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Req\\STOPSERVERS";

class WizardFlowTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        // A suite that has run before: the user's clean-up choices and lists, a chain of
        // five proxies.
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword("PROXYPORT", 8080);
        settings::Key local = settings::Key::create(HKEY_LOCAL_MACHINE, settings::LocalKey);
        local.writeDword("RECYCLEBIN", 1);
        local.writeDword("TELENT", 1);
        local.writeDword("CLEARATEXIT", 0);
        ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, CustomDirs, {1, {"C:\\Scratch"}}),
                  ERROR_SUCCESS);
        settings::Key chain = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey);
        chain.writeDword("CONNECTCHAIN", 1);
        chain.writeDword("PATHLENGTH", 5);
        chain.writeDword("USEONEPROXY", 0);
        chain.writeDword("UPDATEATSTARTUP", 1);
        chain.writeDword("UPDATEEVERY", 0);
        chain.writeDword("CONNTIMEOUT", 700);
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::ResponseKey)
            .writeDword("BLOCKIMAGES", 1);
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::RequestKey).writeDword("OSSHIELD", 0);
        ASSERT_EQ(
            settings::saveList(HKEY_LOCAL_MACHINE, CustomFilters, {1, {"Accept-Language: en"}}),
            ERROR_SUCCESS);
        ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, StopServers, {0, {"ads.example.com"}}),
                  ERROR_SUCCESS);
        wizard::loadSettings(m_session.model);
    }

    int runWizard(Script& script)
    {
        const int outcome = script.run([this] {
            WelcomePage welcome(m_session);
            return welcome.run();
        });
        EXPECT_EQ(script.done(), script.size()) << "steps left undone";
        return outcome;
    }
};

TEST_F(WizardFlowTest, DefaultRouteSavesTheDefaultsAndKeepsTheUsersCleanUpChoices)
{
    Script script;
    script.then([] { click(NextButton); })
        .then([] { click(NextButton); })
        .then([] {
            ASSERT_NE(top<ChoicePage>(), nullptr);
            click(ChoicePage::DefaultBox);
            click(NextButton);
        })
        .then([] {
            ASSERT_NE(top<FinishPage>(), nullptr); // Default goes straight to the end
            click(FinishButton);
        });
    EXPECT_EQ(runWizard(script), WizardPage::Finished);
    EXPECT_EQ(count(wizard::FinishInformation), 1);

    EXPECT_EQ(dword(settings::ChainKey, "CONNECTCHAIN"), 1u);
    EXPECT_EQ(dword(settings::ChainKey, "PATHLENGTH"), 1u);
    EXPECT_EQ(dword(settings::ChainKey, "USEONEPROXY"), 1u);
    EXPECT_EQ(dword(settings::ChainKey, "UPDATEEVERY"), 2u);
    EXPECT_EQ(dword(settings::ChainKey, "UPDATEATSTARTUP"), 0u);
    EXPECT_EQ(dword(settings::ChainKey, "CONNTIMEOUT"), 0u);
    EXPECT_EQ(dword(settings::MainKey, "PROXYPORT"), 8080u);
    EXPECT_EQ(dword(settings::ResponseKey, "BLOCKIMAGES"), 0u);
    EXPECT_EQ(dword(settings::ResponseKey, "BLOCKPOPUPS"), 1u);
    EXPECT_EQ(dword(settings::RequestKey, "OSSHIELD"), 1u);
    EXPECT_EQ(dword(settings::RequestKey, "FAKEIP"), 0xFFFFFFFFu);
    EXPECT_EQ(dword(settings::LocalKey, "INTERNETCOOKIES"), 1u);
    // Kept: the Windows clean-up choices, the lists and the exit switch.
    EXPECT_EQ(dword(settings::LocalKey, "RECYCLEBIN"), 1u);
    EXPECT_EQ(dword(settings::LocalKey, "TELENT"), 1u);
    EXPECT_EQ(dword(settings::LocalKey, "RUNHISTORY").value_or(0), 0u);
    EXPECT_EQ(dword(settings::LocalKey, "CLEARATEXIT"), 0u);
    const auto dirs = settings::readList(HKEY_LOCAL_MACHINE, CustomDirs);
    ASSERT_TRUE(dirs);
    EXPECT_EQ(dirs->entries, std::vector<std::string>{"C:\\Scratch"});
    const auto filters = settings::readList(HKEY_LOCAL_MACHINE, CustomFilters);
    ASSERT_TRUE(filters);
    EXPECT_EQ(filters->entries, std::vector<std::string>{"Accept-Language: en"});
}

TEST_F(WizardFlowTest, CustomRouteTakesWhatTheUserClickedOnEveryPage)
{
    Script script;
    script.then([] { click(NextButton); })
        .then([] { click(NextButton); })
        .then([] {
            click(ChoicePage::CustomBox);
            click(NextButton);
        })
        .then([] {
            auto* chain = top<ProxyChainPage>();
            ASSERT_NE(chain, nullptr);
            click(ProxyChainPage::OneProxyButton);
            click(ProxyChainPage::UpdateEveryBox); // clears "at application startup"
            chain->periodList()->setCurrentIndex(1);
            chain->portEdit()->setText("9090");
            click(NextButton);
        })
        .then([] {
            click(1024); // Empty Recycle Bin. (was on)
            click(1025); // Clear Run History.
            click(NextButton);
        })
        .then([] {
            click(1030); // Clear Cookies.
            click(NextButton);
        })
        .then([] {
            click(1026); // Images. (was on)
            click(1032); // Hide Page Title.
            click(NextButton);
        })
        .then([] {
            auto* request = top<RequestFilterPage>();
            ASSERT_NE(request, nullptr);
            click(RequestFilterPage::IpMaskingBox);
            request->fakeIp()->setAddress(0x0A010203);
            click(NextButton);
        })
        .then([] {
            ASSERT_NE(top<CustomListsPage>(), nullptr);
            click(CustomListsPage::ServersBox);
            click(CustomListsPage::AddServerButton); // opens dialog 172
        })
        .then([] {
            auto* dialog = top<pageui::EntryDialog>();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle().toStdString(), CustomListsPage::ServerDialogTitle);
            dialog->setText(0, "tracker.example.net");
            dialog->accept();
        })
        .then([] { click(NextButton); })
        .then([] {
            click(FinishPage::ClearAtExitBox);
            click(FinishButton);
        });
    EXPECT_EQ(runWizard(script), WizardPage::Finished);

    const wizard::SettingsModel& model = m_session.model;
    EXPECT_EQ(model.chain.useOneProxy, 1u);
    EXPECT_EQ(model.chain.pathLength, 1u);
    EXPECT_EQ(model.chain.connectChain, 1u);
    EXPECT_EQ(model.chain.updateAtStartup, 0u);
    EXPECT_EQ(model.chain.updateEvery, 1u);
    EXPECT_EQ(model.chain.proxyPort, 9090u);
    EXPECT_EQ(model.windowsCleanup.recycleBin, 0u);
    EXPECT_EQ(model.windowsCleanup.runHistory, 1u);
    EXPECT_EQ(model.windowsCleanup.telnet, 1u);
    EXPECT_EQ(model.browserCleanup.cookies, 1u);
    EXPECT_EQ(model.response.blockImages, 0u);
    EXPECT_EQ(model.response.hidePageTitle, 1u);
    EXPECT_EQ(model.request.ipMasking, 1u);
    EXPECT_EQ(model.request.fakeIp, 0x0A010203u);
    EXPECT_EQ(model.request.customLists, 1u);
    EXPECT_EQ(model.lists.stopServers, 1u);
    EXPECT_EQ(model.lists.servers,
              (std::vector<std::string>{"ads.example.com", "tracker.example.net"}));
    EXPECT_EQ(model.exitCleanup.clearAtExit, 1u);

    // And saved so.
    EXPECT_EQ(dword(settings::MainKey, "PROXYPORT"), 9090u);
    EXPECT_EQ(dword(settings::ChainKey, "UPDATEEVERY"), 1u);
    EXPECT_EQ(dword(settings::LocalKey, "RUNHISTORY"), 1u);
    EXPECT_EQ(dword(settings::LocalKey, "RECYCLEBIN"), 0u);
    EXPECT_EQ(dword(settings::LocalKey, "CLEARATEXIT"), 1u);
    EXPECT_EQ(dword(settings::RequestKey, "FAKEIP"), 0x0A010203u);
    const auto servers = settings::readList(HKEY_LOCAL_MACHINE, StopServers);
    ASSERT_TRUE(servers);
    EXPECT_EQ(servers->enabled, 1u);
    EXPECT_EQ(servers->entries,
              (std::vector<std::string>{"ads.example.com", "tracker.example.net"}));
}

TEST_F(WizardFlowTest, BackShowsThePreviousPageWhereTheCurrentOneStood)
{
    constexpr int Pages = 10; // welcome ... finish on the custom route
    Script script;
    // Forward: each page opens where the one before it stood; each is then moved on.
    for (int i = 0; i < Pages; ++i) {
        script.then([i] {
            WizardPage* current = page();
            ASSERT_NE(current, nullptr);
            if (i > 0) {
                EXPECT_EQ(current->pos(), QPoint(20 * i, 10 * i)) << current->resourceId();
            }
            current->move(20 * (i + 1), 10 * (i + 1));
            if (current->resourceId() == ChoicePage::ResourceId) {
                click(ChoicePage::CustomBox);
            }
            if (i + 1 < Pages) {
                click(NextButton);
            }
        });
    }
    // Back from the finish page keeps its box in the model.
    script.then([] { click(FinishPage::ClearAtExitBox); });
    // Backward: each page moved somewhere new, then Back.
    for (int i = Pages - 1; i > 0; --i) {
        script.then([i] {
            WizardPage* current = page();
            ASSERT_NE(current, nullptr);
            if (i < Pages - 1) {
                EXPECT_EQ(current->pos(), QPoint(300 - 7 * (i + 1), 200 - 5 * (i + 1)))
                    << current->resourceId();
            }
            current->move(300 - 7 * i, 200 - 5 * i);
            click(BackButton);
        });
    }
    script.then([this] {
        WizardPage* welcome = page();
        ASSERT_NE(welcome, nullptr);
        EXPECT_EQ(welcome->resourceId(), WelcomePage::ResourceId);
        EXPECT_EQ(welcome->pos(), QPoint(300 - 7, 200 - 5));
        EXPECT_EQ(m_session.model.exitCleanup.clearAtExit, 1u);
        answer(LeaveQuestion, IDYES);
        click(CancelButton);
    });
    EXPECT_EQ(runWizard(script), WizardPage::Left);
}

TEST_F(WizardFlowTest, CancelAnsweredYesEndsEveryPageWithNothingSaved)
{
    // What the Finish step would write, as it stood before the wizard.
    const auto before = testsupport::registryTree(HKEY_LOCAL_MACHINE, settings::DllsKey);
    const auto portBefore = dword(settings::MainKey, "PROXYPORT");
    Script script;
    script.then([] { click(NextButton); })
        .then([] { click(NextButton); })
        .then([] {
            click(ChoicePage::CustomBox);
            click(NextButton);
        })
        .then([] {
            top<ProxyChainPage>()->portEdit()->setText("9999");
            click(NextButton);
        })
        .then([] {
            click(1025);
            click(NextButton);
        })
        .then([] {
            click(CancelButton); // answered No: the page stays
        })
        .then([this] {
            ASSERT_NE(page(), nullptr);
            EXPECT_EQ(page()->resourceId(), 151);
            answer(LeaveQuestion, IDYES);
            click(CancelButton);
        });
    EXPECT_EQ(runWizard(script), WizardPage::Left);
    EXPECT_EQ(count(LeaveQuestion), 2);
    EXPECT_EQ(count(wizard::FinishInformation), 0);
    for (const platform::MessageBoxCall& call : m_boxes->calls()) {
        if (call.text == LeaveQuestion) {
            EXPECT_EQ(call.caption, WizardTitle);
            EXPECT_EQ(call.buttons(), static_cast<UINT>(MB_YESNOCANCEL));
            EXPECT_EQ(call.icon(), static_cast<UINT>(MB_ICONQUESTION));
        }
    }
    EXPECT_EQ(testsupport::registryTree(HKEY_LOCAL_MACHINE, settings::DllsKey), before);
    EXPECT_EQ(dword(settings::MainKey, "PROXYPORT"), portBefore);
    // No page is left open.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(dynamic_cast<WizardPage*>(window) != nullptr && window->isVisible());
    }
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
