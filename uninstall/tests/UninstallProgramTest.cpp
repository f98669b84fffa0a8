// The real Umbravia Uninstall.exe, run from a copy of the program folder installed into a
// temporary folder (the bin folder itself is never uninstalled), in a temporary prefix
// set up by the real host's first run: the "running" box while a real Umbravia.exe is
// open, and the whole uninstall end to end.

#include "UninstallFixture.h"

#include <common/BrowserKeys.h>
#include <common/HostMessages.h>
#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Windows.h>

#include <chrono>
#include <memory>

namespace {

using namespace rigtest;
using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::ProcessResult;

constexpr const char* kMainKey = "Software\\Kestrani\\Hollowmere";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMainRunningLine =
    "MessageBox [Umbravia Setup] Setup found that Umbravia is already running, please close it "
    "and press ok to continue";

std::size_t count(const std::string& text, const std::string& needle)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size())) {
        ++n;
    }
    return n;
}

class UninstallProgramTest : public UninstallTest {
protected:
    void SetUp() override
    {
        // The program folder's files, copied: the helper deletes them.
        for (const auto& entry : fs::directory_iterator(testsupport::binDir())) {
            if (entry.is_regular_file()) {
                fs::copy_file(entry.path(), m_install.path() / entry.path().filename());
            }
        }
        setDword(HKEY_LOCAL_MACHINE, kMainKey, "PROXYPORT",
                 static_cast<DWORD>(testsupport::freePort()));
    }

    testsupport::ProcessOptions options() const
    {
        testsupport::ProcessOptions options;
        options.workingDir = m_install.path();
        // The host's first-run question about the wizard: No.
        options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "no";
        options.timeout = 60s;
        return options;
    }

    std::unique_ptr<ChildProcess> startHost()
    {
        auto host = std::make_unique<ChildProcess>(
            std::vector<std::string>{(m_install.path() / "Umbravia.exe").string()}, options());
        EXPECT_TRUE(testsupport::waitFor(
            [&] {
                return FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle) != 0 || !host->running();
            },
            30s));
        EXPECT_NE(FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle), 0u) << host->err();
        return host;
    }

    static void exitHost(ChildProcess& host)
    {
        testsupport::ProcessOptions options;
        options.timeout = 20s;
        EXPECT_EQ(testsupport::runProcess(
                      {(testsupport::binDir() / "umbravia-ctl").string(), "exit"}, options)
                      .exitCode,
                  0);
        const std::optional<ProcessResult> result = host.wait(20s);
        ASSERT_TRUE(result.has_value()) << host.err();
        EXPECT_EQ(result->exitCode, 0);
    }

    std::vector<std::string> installedFiles() const
    {
        std::vector<std::string> names;
        if (fs::exists(m_install.path())) {
            for (const auto& entry : fs::directory_iterator(m_install.path())) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    // Rigwright's class, registered by the host's first run with the module of the
    // install folder.
    bool classRegistered() const
    {
        const std::optional<Value> server =
            value(HKEY_CLASSES_ROOT,
                  "CLSID\\{675DCB32-8482-452F-8BDD-5E98C19ED609}\\InprocServer32", nullptr);
        return server && server->data.find(platform::toDosPath(m_install.path()).str()) == 0;
    }

    std::vector<std::string> uninstallCommand() const
    {
        return {(m_install.path() / "Umbravia Uninstall.exe").string()};
    }

    testsupport::TempDir m_install;
};

TEST_F(UninstallProgramTest, TheRunningBoxComesBackAfterEveryOkWhileTheHostIsOpen)
{
    std::unique_ptr<ChildProcess> host = startHost();
    ASSERT_TRUE(host->running());

    ChildProcess uninstall(uninstallCommand(), options());
    // Answered headless with OK: the box comes back as long as the window is there.
    ASSERT_TRUE(
        testsupport::waitFor([&] { return count(uninstall.err(), kMainRunningLine) >= 3; }, 30s))
        << uninstall.err();
    EXPECT_TRUE(uninstall.running());
    exitHost(*host);

    const std::optional<ProcessResult> result = uninstall.wait(30s);
    ASSERT_TRUE(result.has_value()) << uninstall.err();
    EXPECT_EQ(result->exitCode, 0);
    // Only the main window's box; every line of it is the box.
    EXPECT_EQ(result->err.find("Settings Wizard"), std::string::npos) << result->err;
    EXPECT_EQ(count(result->err, "MessageBox ["), count(result->err, kMainRunningLine));
    // The host that ended afterwards did not bring the tree back.
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::MakerKey).valid());
    // The files went while the host still ran.
    EXPECT_TRUE(installedFiles().empty()) << testing::PrintToString(installedFiles());
}

TEST_F(UninstallProgramTest, EndToEndEveryProgramComesOffTheProxyAndTheSuiteIsGone)
{
    // The host's first run registers the modules and the browser keys.
    {
        std::unique_ptr<ChildProcess> host = startHost();
        exitHost(*host);
    }
    ASSERT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey).valid());
    ASSERT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, browserkeys::ExtensionKey).valid());
    ASSERT_TRUE(value(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, browserkeys::ToolbarBandClsid));
    EXPECT_EQ(settings::Key::open(HKEY_LOCAL_MACHINE, kMainKey).readString(nullptr),
              platform::toDosPath(m_install.path()).str() + "\\Umbravia.exe");
    setString(HKEY_CURRENT_USER, kRunKey, "Umbravia",
              platform::toDosPath(m_install.path()).str() + "\\Umbravia.exe +Tray");

    // The programs, pointed at the proxy by the real Rigwright.dll of the install folder,
    // created by class identifier as the integration switch creates it.
    ASSERT_TRUE(testsupport::waitFor([this] { return classRegistered(); }, 20s));
    installPrograms();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    rigwright::IConfiguration* object = nullptr;
    ASSERT_EQ(CoCreateInstance(rigwright::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER,
                               rigwright::IID_IConfiguration, reinterpret_cast<void**>(&object)),
              S_OK);
    char local[] = "127.0.0.1";
    EXPECT_EQ(object->SetIEProxySettings(1, local, 8080), S_OK);
    EXPECT_EQ(object->SetNetscapeProxySettings(local, 8080, 1), S_OK);
    EXPECT_EQ(object->SetOperaProxySettings(1, local, 8080), S_OK);
    EXPECT_EQ(object->SetMSNProxySettings(1, 4, local, 8080), S_OK);
    EXPECT_EQ(object->SetYahooMessangerProxySettings(1, local, 8080, 1, local, 80, 4), S_OK);
    object->Release();
    CoUninitialize();
    EXPECT_TRUE(m_boxes->calls().empty());
    integrateAll();
    ASSERT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable")->data, dword(1));
    ASSERT_NE(readDos(prefsJs()).find("user_pref(\"network.proxy.type\", 1);"), std::string::npos);
    ASSERT_TRUE(value(HKEY_CURRENT_USER, kMsn, "ProxyState"));

    // As a host that did not end in order leaves it.
    createKey(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey);

    const ProcessResult result = testsupport::runProcess(uninstallCommand(), options());
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err.find("MessageBox"), std::string::npos) << result.err;

    // Every program is off the proxy.
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable"));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kIESettings, "ProxyServer"));
    for (auto [root, key, name] :
         {std::tuple{HKEY_CURRENT_USER, kIEConnections, "Dial-up"},
          std::tuple{HKEY_USERS, kDefaultConnections, "DefaultConnectionSettings"}}) {
        const std::optional<Value> connection = value(root, key, name);
        ASSERT_TRUE(connection);
        ASSERT_EQ(connection->data.size(), 52u);
        EXPECT_EQ(connection->data.substr(8, 4), dword(1)) << "direct connection";
    }
    EXPECT_NE(readDos(prefsJs()).find("user_pref(\"network.proxy.type\", 0);"), std::string::npos);
    EXPECT_EQ(readDos(prefsJs()).find("user_pref(\"network.proxy.type\", 1);"), std::string::npos);
    EXPECT_NE(readDos(kOperaIni).find("Use HTTP=0"), std::string::npos);
    EXPECT_EQ(readDos(kOperaIni).find("Use HTTP=1"), std::string::npos);
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kMsn, "ProxyState"));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kYahoo, "Proxy Enabled"));

    // The suite's keys, registrations and files are gone.
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::MakerKey).valid());
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kRunKey, "Umbravia"));
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey).valid());
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, browserkeys::ExtensionKey).valid());
    EXPECT_FALSE(value(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, browserkeys::ToolbarBandClsid));
    EXPECT_FALSE(classRegistered());
    EXPECT_TRUE(installedFiles().empty()) << testing::PrintToString(installedFiles());
    EXPECT_FALSE(fs::exists(m_install.path()));
    // The bin folder is untouched.
    EXPECT_TRUE(fs::exists(testsupport::binDir() / "Umbravia Uninstall.exe"));
}

TEST_F(UninstallProgramTest, TheComModulesAreUnregisteredBeforeTheirFilesGo)
{
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr,
              platform::toDosPath(m_install.path()).str() + "\\Umbravia.exe");
    const std::vector<std::string> modules = {"UmbraIEExt.dll", "Rigwright.dll",
                                              "UmbraIEPlugin.dll"};
    for (const std::string& module : modules) {
        const fs::path probe = testsupport::testModulesDir() /
                               ("uninstall_probe_" + module.substr(0, module.size() - 4)) / module;
        fs::copy_file(probe, m_install.path() / module, fs::copy_options::overwrite_existing);
        const ProcessResult registered = testsupport::runProcess(
            {(m_install.path() / "regsvr32.exe").string(), "/s", module}, options());
        ASSERT_EQ(registered.exitCode, 0) << module << registered.err;
        const std::string key = "Software\\Umbravia Tests\\Registered\\" + module;
        ASSERT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, key.c_str()).valid()) << module;
    }

    const ProcessResult result = testsupport::runProcess(uninstallCommand(), options());
    EXPECT_EQ(result.exitCode, 0);
    for (const std::string& module : modules) {
        const std::string key = "Software\\Umbravia Tests\\Registered\\" + module;
        EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, key.c_str()).valid()) << module;
    }
    EXPECT_TRUE(installedFiles().empty()) << testing::PrintToString(installedFiles());
}

} // namespace
