// The real modules' pages in the host: the main window shows each in its proxy-settings
// group, the settings dialog shows them as tabs, a click on a page enables Apply, and
// what Apply (or the dialog's OK) saves changes the next response through the proxy and
// the refresh the next start sets up.

#include "OriginServer.h"
#include "UiTestSupport.h"
#include "UserAgents.h"
#include "core/ModuleTable.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"
#include "ui/BitmapButton.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/Skin.h"
#include "ui/TrayIcon.h"

#include <common/HostMessages.h>
#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <QAbstractButton>
#include <QTabBar>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using host::ui::MainWindow;
using Page = MainWindow::ModulePage;

constexpr const char* IEAgent = testsupport::agents::InternetExplorer6;

void writeDword(const char* key, const char* name, DWORD value)
{
    ASSERT_EQ(settings::Key::create(HKEY_LOCAL_MACHINE, key).writeDword(name, value),
              ERROR_SUCCESS);
}

QAbstractButton* control(QWidget* page, UINT id)
{
    return page->findChild<QAbstractButton*>(QString::number(id));
}

class ModulePagesTest : public testsupport::PrefixTest {
protected:
    ModulePagesTest()
    {
        host::ui::TrayIcon::setTrayAvailableForTests(true);
        m_port = testsupport::freePort();
        writeDword(settings::MainKey, "PROXYPORT", static_cast<DWORD>(m_port));
        writeDword(settings::MainKey, "ACTIVE", 0);
        writeDword(settings::MainKey, "ISREGISTERED", 1);
        writeDword(settings::MainKey, "ANONYMITYLEVEL", 0xFFFFFFFF);
        writeDword(settings::MainKey, "PRIVACYLEVEL", 0xFFFFFFFF);
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::BannersKey);
        // Chain.dll finds the proxy-list module through the system folder.
        const fs::path system = m_prefix.driveC() / "WINDOWS" / "system32";
        fs::create_directories(system);
        fs::copy_file(testsupport::binDir() / "Listfetch.dll", system / "Listfetch.dll");
        for (const char* file : {"Chain.dll", "Local.dll", "Filters.dll", "IEExt.dll"}) {
            const std::string path = platform::toDosPath(testsupport::binDir() / file).str();
            HMODULE module = LoadLibrary(path.c_str());
            EXPECT_NE(module, nullptr) << file << platform::lastModuleError();
            if (module != nullptr) {
                EXPECT_EQ(
                    platform::proc<RegisterDLLFn>(module, contract::RegisterDLL)(path.c_str()), 1);
                FreeLibrary(module);
            }
        }
    }
    ~ModulePagesTest() override
    {
        close();
        host::ui::TrayIcon::setTrayAvailableForTests(std::nullopt);
    }

    MainWindow& create()
    {
        close();
        m_modules = std::make_unique<host::ModuleTable>();
        EXPECT_EQ(m_modules->load(), host::ModuleTable::LoadOutcome::Loaded);
        m_state = std::make_unique<host::ProxyState>(*m_modules);
        m_server = std::make_unique<host::ProxyServer>(*m_state);
        m_window = std::make_unique<MainWindow>(*m_server, *m_state, false);
        return *m_window;
    }
    void close()
    {
        m_window.reset();
        if (m_server) {
            m_server->Stop();
            m_server->join();
        }
        m_server.reset();
        m_state.reset();
        if (m_modules) {
            m_modules->exitAndUnload();
        }
        m_modules.reset();
    }
    void command(UINT id) { SendMessage(m_window->hwnd(), WM_COMMAND, id, 0); }

    int m_port = 0;
    platform::ScopedScriptedPresenter m_boxes;
    std::unique_ptr<host::ModuleTable> m_modules;
    std::unique_ptr<host::ProxyState> m_state;
    std::unique_ptr<host::ProxyServer> m_server;
    std::unique_ptr<MainWindow> m_window;
};

TEST_F(ModulePagesTest, ProxyGroupShowsEveryModulePage)
{
    MainWindow& window = create();
    const std::pair<UINT, const char*> entries[] = {{cmd::ShowChainPage, "Proxy chain"},
                                                    {cmd::ShowResponsePage, "Filter response"},
                                                    {cmd::ShowRequestPage, "Filter request"},
                                                    {cmd::ShowLocalPage, "Local settings"},
                                                    {cmd::ShowIEExtPage, "Browser settings"}};
    command(cmd::ToggleProxyGroup);
    for (const auto& [id, title] : entries) {
        command(id);
        ASSERT_NE(window.currentPage(), nullptr) << title;
        EXPECT_EQ(window.currentPage()->windowTitle().toStdString(), title);
        EXPECT_EQ(window.currentPage()->geometry(), host::ui::skin::PageArea);
        EXPECT_FALSE(window.currentPage()->isHidden());
    }
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();
}

TEST_F(ModulePagesTest, SettingsDialogShowsThemAsTabsAndItsOkSaves)
{
    MainWindow& window = create();
    host::ui::SettingsDialog dialog(*m_modules, &window);
    std::vector<std::string> tabs;
    for (int i = 0; i < dialog.tabBar()->count(); ++i) {
        tabs.push_back(dialog.tabBar()->tabText(i).toStdString());
    }
    EXPECT_EQ(tabs, (std::vector<std::string>{"Proxy chain", "Local settings", "Filter request",
                                              "Filter response", "Browser settings"}));
    EXPECT_EQ(FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle), window.hwnd());
    QWidget* response = dialog.page(3);
    ASSERT_NE(response, nullptr);
    control(response, 1002)->click();
    control(response, 1037)->click();
    ASSERT_TRUE(uitest::pumpUntil([&] { return window.settingsModified(); }));
    EXPECT_TRUE(window.applyButton()->isEnabled());
    dialog.accept();
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, "BLOCKSCRIPTS"), 1u);
}

TEST_F(ModulePagesTest, ClickAndApplyChangeTheNextResponseThroughTheProxy)
{
    testsupport::OriginServer origin(testsupport::OriginServer::Mode::Http,
                                     testsupport::uniqueLoopbackAddress());
    origin.setBody([](const std::string&) {
        return std::string("<html><script>steal()</script><p>kept</p></html>");
    });
    MainWindow& window = create();
    SendMessage(window.hwnd(), msg::StartProxy, 0, 0);
    ASSERT_TRUE(m_server->IsRunning());
    // The filters tell the main window synchronously: its thread keeps pumping while
    // curl runs.
    const auto fetch = [&] {
        testsupport::ChildProcess curl({"curl", "-sS", "-x", "127.0.0.1:" + std::to_string(m_port),
                                        "-A", IEAgent, "http://" + origin.address() + "/"});
        EXPECT_TRUE(uitest::pumpUntil([&] { return !curl.running(); }, std::chrono::seconds(20)));
        const std::optional<testsupport::ProcessResult> result = curl.wait(std::chrono::seconds(1));
        EXPECT_TRUE(result && result->exitCode == 0) << curl.err();
        return curl.out();
    };
    EXPECT_NE(fetch().find("<script>steal()</script>"), std::string::npos);

    QWidget* response = window.modulePage(Page::Response);
    ASSERT_NE(response, nullptr);
    control(response, 1002)->click(); // "Enable response filtration."
    control(response, 1037)->click(); // "Block scripts."
    ASSERT_TRUE(uitest::pumpUntil([&] { return window.applyButton()->isEnabled(); }));
    // Still as before: nothing is saved until Apply.
    EXPECT_NE(fetch().find("<script"), std::string::npos);
    command(cmd::Apply);
    const std::string filtered = fetch();
    EXPECT_EQ(filtered.find("<script"), std::string::npos) << filtered;
    EXPECT_NE(filtered.find("<p>kept</p>"), std::string::npos) << filtered;
    EXPECT_FALSE(window.applyButton()->isEnabled());
}

TEST_F(ModulePagesTest, NoPeriodTickedMeansNoPeriodicRefreshAtTheNextStart)
{
    writeDword(settings::ChainKey, "CONNECTCHAIN", 1);
    writeDword(settings::ChainKey, "UPDATEEVERY", 1);
    MainWindow& first = create();
    EXPECT_EQ(first.refreshPeriod(), 30u * 60u * 1000u);
    QWidget* chain = first.modulePage(Page::Chain);
    ASSERT_NE(chain, nullptr);
    ASSERT_TRUE(control(chain, 3005)->isChecked());
    control(chain, 3005)->click();
    command(cmd::Apply);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "UPDATEEVERY"),
              0xFFFFFFFFu);
    MainWindow& second = create();
    EXPECT_EQ(second.refreshPeriod(), std::nullopt);
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
