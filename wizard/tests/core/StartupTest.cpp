// The wizard's start: where it finds the main program, the argument "10", the first-run
// registration with the real modules of the bin folder (the host's own procedure), the
// main program's path in the main key, and the model filled at the end.

#include "core/Startup.h"

#include "core/SettingsModel.h"

#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>
#include <platform/Text.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string dosFolder(const fs::path& folder)
{
    return platform::toDosPath(fs::canonical(folder)).str() + "\\";
}

// Runs the start as the wizard in folder would, with the given first argument.
wizard::StartContext startIn(const fs::path& folder, wizard::SettingsModel& model,
                             const char* argument = nullptr)
{
    std::string self = (fs::canonical(folder) / "Umbravia Settings Wizard.exe").string();
    std::vector<char*> argv{self.data()};
    std::string first = argument != nullptr ? argument : "";
    if (argument != nullptr) {
        argv.push_back(first.data());
    }
    return wizard::startUp(static_cast<int>(argv.size()), argv.data(), model);
}

// The main key's unnamed value as stored: its data with the stored length.
std::string storedMainProgram()
{
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    char data[MAX_PATH + 1] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueEx(main.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data),
                        &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "(none)";
    }
    return std::string(data, size);
}

class StartupTest : public testsupport::PrefixTest {
protected:
    platform::ScopedScriptedPresenter m_boxes;
};

TEST(StartContextTest, TheFolderComesFromTheWizardsOwnPathAndTenMeansTheHostStartedIt)
{
    char self[] = "/opt/umbravia/Umbravia Settings Wizard.exe";
    char ten[] = "10";
    char other[] = "100";
    char* withTen[] = {self, ten};
    const wizard::StartContext started = wizard::startContext(2, withTen);
    EXPECT_EQ(started.folder, "Z:\\opt\\umbravia\\");
    EXPECT_EQ(started.mainProgramPath, "Z:\\opt\\umbravia\\Umbravia.exe");
    EXPECT_TRUE(started.startedByHost);

    char* withOther[] = {self, other};
    EXPECT_FALSE(wizard::startContext(2, withOther).startedByHost);
    EXPECT_FALSE(wizard::startContext(1, withOther).startedByHost);

    // A renamed wizard still finds the main program beside itself.
    char renamed[] = "/opt/umbravia/wizard";
    char* alone[] = {renamed};
    EXPECT_EQ(wizard::startContext(1, alone).mainProgramPath, "Z:\\opt\\umbravia\\Umbravia.exe");
}

TEST_F(StartupTest, FirstRunRegistersTheModulesAsTheHostDoesAndFillsTheModel)
{
    // Chain.dll loads Listfetch.dll by its bare name, which the wizard finds in its own
    // folder; this test program lies elsewhere, so the bin folder is made the current one.
    const fs::path here = fs::current_path();
    fs::current_path(testsupport::binDir());
    wizard::SettingsModel model;
    const wizard::StartContext context = startIn(testsupport::binDir(), model, "10");
    fs::current_path(here);
    const std::string bin = dosFolder(testsupport::binDir());
    EXPECT_EQ(context.folder, bin);
    EXPECT_TRUE(context.startedByHost);
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();

    // Registered: every module key points into the wizard's folder, the browser keys are
    // there, and the marker is back at 0 for the host's main window to complete.
    for (const char* module : {"Chain.dll", "Filters.dll", "Local.dll", "IEExt.dll"}) {
        const std::string key = std::string(settings::DllsKey) + "\\" + module;
        const std::optional<std::string> path =
            settings::Key::open(HKEY_LOCAL_MACHINE, key.c_str()).readString("PATHNAME");
        ASSERT_TRUE(path) << module;
        EXPECT_TRUE(text::equalsNoCase(*path, bin + module)) << *path;
    }
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::BannersKey));
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "ISREGISTERED"), 0u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "ShowIEToolbar"), 1u);
    EXPECT_EQ(settings::Key::open(HKEY_LOCAL_MACHINE,
                                  "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\"
                                  "{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}")
                  .readString("Icon"),
              bin + "UmbraIEPlugin.dll,213");
    // The main program's path without its terminating zero.
    EXPECT_EQ(storedMainProgram(), bin + "Umbravia.exe");
    // The model holds what the modules registered, and the port's default.
    EXPECT_EQ(model.chain.proxyPort, 8080u);
    EXPECT_EQ(model.chain.connectionTimeout,
              settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "CONNTIMEOUT"));
}

TEST_F(StartupTest, ARegisteredMachineIsNotRegisteredAgain)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword("ISREGISTERED", 1);
    wizard::SettingsModel model;
    startIn(testsupport::binDir(), model);
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::DllsKey));
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "ISREGISTERED"), 1u);
    EXPECT_EQ(storedMainProgram(), dosFolder(testsupport::binDir()) + "Umbravia.exe");
    // The module keys are missing, so their groups say so; the main key is there.
    EXPECT_EQ(m_boxes->texts(),
              (std::vector<std::string>{"Invalide Registry data", "Invalide Registry Data",
                                        "Invalide Registry Data", "Invalide registry data"}));
}

TEST_F(StartupTest, AFolderWithoutTheModulesStopsTheRegistrationWithTheSetupMessage)
{
    testsupport::TempDir empty;
    wizard::SettingsModel model;
    startIn(empty.path(), model);
    ASSERT_FALSE(m_boxes->calls().empty());
    const platform::MessageBoxCall box = m_boxes->calls().front();
    EXPECT_EQ(box.text, "Failed to load the requested module");
    EXPECT_EQ(box.caption, "Umbravia Setup");
    EXPECT_EQ(box.icon(), MB_ICONERROR);
    // Nothing after the failure; the start goes on and records the main program.
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::BannersKey));
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "ISREGISTERED"), 1u);
    EXPECT_EQ(storedMainProgram(), dosFolder(empty.path()) + "Umbravia.exe");
}

TEST_F(StartupTest, OleThatCannotBeInitialisedIsReportedAndTheStartGoesOn)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword("ISREGISTERED", 1);
    // A thread already in the multithreaded apartment cannot enter OLE's.
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        wizard::SettingsModel model;
        startIn(testsupport::binDir(), model);
        CoUninitialize();
    }).join();
    ASSERT_FALSE(m_boxes->calls().empty());
    const platform::MessageBoxCall box = m_boxes->calls().front();
    EXPECT_EQ(box.text, "Failed To Initalize OLE Library");
    EXPECT_EQ(box.caption, "Umbravia Settings Wizard");
    EXPECT_EQ(box.icon(), MB_ICONERROR);
    EXPECT_EQ(storedMainProgram(), dosFolder(testsupport::binDir()) + "Umbravia.exe");
}

} // namespace
