// Local.dll through its exports, as the host and the wizard call them: registration,
// TakeAction from the registry settings, OnProgramExit, CreateTabDlg and the
// notification to the host's main window.

#include "LocalSettingsPage.h"
#include "LocalTestSupport.h"
#include "ProgressWindow.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Application.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>
#include <platform/Shell.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <TestSupport.h>

#include <cstdlib>

namespace fs = std::filesystem;
using namespace localtest;
using testsupport::writeFile;

namespace {

constexpr const char* ModuleKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Local.dll";
constexpr const char* CustomDirs = "Software\\Kestrani\\Hollowmere\\DLLs\\Local.dll\\CUSTOMDIRS";

class LocalModuleTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_module = LoadLibrary((testsupport::binDir() / "Local.dll").c_str());
        ASSERT_NE(m_module, nullptr) << platform::lastModuleError();
        m_register = platform::proc<RegisterDLLFn>(m_module, contract::RegisterDLL);
        m_unregister = platform::proc<UnRegisterDLLFn>(m_module, contract::UnRegisterDLL);
        m_createTabDlg = platform::proc<CreateTabDlgFn>(m_module, contract::CreateTabDlg);
        m_takeAction = platform::proc<TakeActionFn>(m_module, contract::TakeAction);
        m_onProgramExit = platform::proc<OnProgramExitFn>(m_module, contract::OnProgramExit);
        ASSERT_TRUE(m_register && m_unregister && m_createTabDlg && m_takeAction &&
                    m_onProgramExit);
    }
    void TearDown() override
    {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
    }

    void registerModule() { ASSERT_EQ(m_register("C:\\Program Files\\Umbravia\\Local.dll"), 1); }
    fs::path favorite() const { return hostSpecialFolder(CSIDL_FAVORITES) / "link.url"; }

    // Every value name of a key, in enumeration order.
    static std::vector<std::string> valueNames(const char* path)
    {
        std::vector<std::string> names;
        settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path);
        for (DWORD i = 0;; ++i) {
            char name[300];
            DWORD length = sizeof name;
            if (RegEnumValue(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name);
        }
        return names;
    }

    testsupport::TempTrash m_dirs; // the trash and scratch folder of this test
    HMODULE m_module = nullptr;
    RegisterDLLFn m_register = nullptr;
    UnRegisterDLLFn m_unregister = nullptr;
    CreateTabDlgFn m_createTabDlg = nullptr;
    TakeActionFn m_takeAction = nullptr;
    OnProgramExitFn m_onProgramExit = nullptr;
};

TEST_F(LocalModuleTest, RegisterWritesPathAndEverySwitchOff)
{
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\kept");
    registerModule();

    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, ModuleKey);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueEx(key.get(), "PathName", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, std::strlen("C:\\Program Files\\Umbravia\\Local.dll") + 1);
    EXPECT_EQ(valueNames(ModuleKey),
              (std::vector<std::string>{"PathName", "CLEARATEXIT", "INTERNETURLHISTORY",
                                        "TYPEDURLHISTORY", "TEMPINTERNETFILES", "INTERNETCOOKIES",
                                        "AUTOFORMS", "AUTOPASS", "FAVORITES", "TEMPSYSTEMFILES",
                                        "RECYCLEBIN", "RUNHISTORY", "DOCHISTORY", "LASTLOGONUSER",
                                        "FINDFILES", "FINDCOMPUTER", "NETCON", "TELENT"}));
    for (const std::string& name : valueNames(ModuleKey)) {
        if (name != "PathName") {
            EXPECT_EQ(key.readDword(name.c_str()), 0u) << name;
        }
    }
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr), 0u);
    EXPECT_EQ(settings::Key::open(HKEY_LOCAL_MACHINE, CustomDirs).readString("0"), "C:\\kept");

    EXPECT_EQ(m_unregister(), 1);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, ModuleKey));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere\\DLLs"));
    EXPECT_EQ(m_unregister(), 0);
}

TEST_F(LocalModuleTest, UnregisterWithoutDllsKeyFails)
{
    EXPECT_EQ(m_unregister(), 0);
}

TEST_F(LocalModuleTest, TakeActionWithoutSettingsOnlyComplains)
{
    platform::ScopedScriptedPresenter boxes;
    writeFile(favorite(), "f");
    m_takeAction();
    ASSERT_EQ(boxes->calls().size(), 1u);
    EXPECT_EQ(boxes->calls()[0].text, "Invalide registry data");
    EXPECT_EQ(boxes->calls()[0].caption, "Local Machine Privacy");
    EXPECT_EQ(boxes->calls()[0].icon(), MB_ICONERROR);
    EXPECT_TRUE(fs::exists(favorite()));
}

TEST_F(LocalModuleTest, FailedFolderEnumerationStopsTheWholeRun)
{
    registerModule();
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES", 1);
    // A folder longer than a path may be cannot be read into the cleaner's buffer.
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\" + std::string(300, 'x'));
    writeFile(favorite(), "f");
    platform::ScopedScriptedPresenter boxes;
    m_takeAction();
    EXPECT_EQ(boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_TRUE(fs::exists(favorite()));

    // No CUSTOMDIRS at all is the same failure.
    SHDeleteKey(HKEY_LOCAL_MACHINE, CustomDirs);
    boxes->clear();
    m_takeAction();
    EXPECT_EQ(boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_TRUE(fs::exists(favorite()));
}

TEST_F(LocalModuleTest, TakeActionRunsFromTheRegistryWithCustomFolders)
{
    registerModule();
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES", 1);
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "any name", "C:\\custom");
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, "7", 7);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "8", "");
    writeFile(favorite(), "f");
    writeFile(m_prefix.driveC() / "custom" / "a" / "b.txt", "b");
    writeFile(m_prefix.driveC() / "other.txt", "o");
    platform::ScopedScriptedPresenter boxes;

    m_takeAction();

    EXPECT_TRUE(boxes->calls().empty());
    EXPECT_FALSE(fs::exists(favorite()));
    EXPECT_TRUE(tree(m_prefix.driveC() / "custom").empty());
    EXPECT_TRUE(fs::exists(m_prefix.driveC() / "other.txt"));
    // The progress window is gone again.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << widget->metaObject()->className();
    }
}

TEST_F(LocalModuleTest, CustomDirsSwitchOffLeavesTheFolders)
{
    registerModule();
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\custom");
    writeFile(m_prefix.driveC() / "custom" / "a.txt", "a");
    m_takeAction();
    EXPECT_TRUE(fs::exists(m_prefix.driveC() / "custom" / "a.txt"));
}

TEST_F(LocalModuleTest, CreateTabDlgCountsAndCreatesTheLocalPage)
{
    registerModule();
    QWidget host;
    EXPECT_EQ(m_createTabDlg(&host, nullptr), 1);
    EXPECT_TRUE(host.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty());
    PageWindow* pages[1] = {nullptr};
    ASSERT_EQ(m_createTabDlg(&host, pages), 1);
    ASSERT_NE(pages[0], nullptr);
    EXPECT_EQ(pages[0]->parentWidget(), &host);
    EXPECT_EQ(pages[0]->windowTitle().toStdString(), "Local settings");
    char title[64] = {};
    GetWindowText(platform::hwndOf(pages[0]), title, sizeof title);
    EXPECT_STREQ(title, "Local settings");

    // A second page (the settings dialog's) leaves the first one working.
    QWidget dialog;
    PageWindow* second[1] = {nullptr};
    ASSERT_EQ(m_createTabDlg(&dialog, second), 1);
    EXPECT_NE(second[0], pages[0]);
    QPointer<QWidget> first = pages[0];
    m_onProgramExit();
    EXPECT_TRUE(first.isNull());
}

TEST_F(LocalModuleTest, ExitWithClearAtExitOffDestroysThePageAndKeepsEverything)
{
    registerModule();
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES", 1);
    writeFile(favorite(), "f");
    QWidget host;
    PageWindow* pages[1] = {nullptr};
    m_createTabDlg(&host, pages);
    QPointer<QWidget> page = pages[0];
    platform::ScopedScriptedPresenter boxes;
    m_onProgramExit();
    EXPECT_TRUE(page.isNull());
    EXPECT_TRUE(fs::exists(favorite()));
    EXPECT_TRUE(boxes->calls().empty());
}

TEST_F(LocalModuleTest, ExitWithClearAtExitOnCleans)
{
    registerModule();
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "CLEARATEXIT", 1);
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES", 1);
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "RECYCLEBIN", 1);
    writeFile(favorite(), "f");
    writeFile(m_dirs.path() / "data" / "Trash" / "files" / "old.txt", "o");
    QWidget host;
    PageWindow* pages[1] = {nullptr};
    m_createTabDlg(&host, pages);
    QPointer<QWidget> page = pages[0];
    m_onProgramExit();
    EXPECT_TRUE(page.isNull());
    EXPECT_FALSE(fs::exists(favorite()));
    EXPECT_TRUE(tree(m_dirs.path() / "data" / "Trash" / "files").empty());
}

TEST_F(LocalModuleTest, ExitWithUnreadableClearAtExitKeepsThePage)
{
    registerModule();
    RegDeleteValue(settings::Key::open(HKEY_LOCAL_MACHINE, ModuleKey, KEY_ALL_ACCESS).get(),
                   "CLEARATEXIT");
    QWidget host;
    PageWindow* pages[1] = {nullptr};
    m_createTabDlg(&host, pages);
    QPointer<QWidget> page = pages[0];
    platform::ScopedScriptedPresenter boxes;
    m_onProgramExit();
    EXPECT_EQ(boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_FALSE(page.isNull());

    SHDeleteKey(HKEY_LOCAL_MACHINE, ModuleKey);
    boxes->clear();
    m_onProgramExit();
    EXPECT_EQ(boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_FALSE(page.isNull());
}

TEST_F(LocalModuleTest, SweepsNotifyTheHostWindowFoundThroughTheNamedSection)
{
    registerModule();
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES", 1);
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "RUNHISTORY", 1);
    writeFile(hostSpecialFolder(CSIDL_FAVORITES) / "Links" / "a.url", "a");
    TestHostWindow host;
    m_takeAction();
    // Favorites and its folder Links; the registry step does not notify.
    EXPECT_TRUE(testsupport::waitFor([&] { return host.received() >= 2; }));
    EXPECT_EQ(host.received(), 2);
}

TEST_F(LocalModuleTest, WithoutTheSectionTheDialogTitledUmbraviaIsNotified)
{
    registerModule();
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "NETCON", 1);

    class MainDialog : public QWidget, public platform::Window {
    public:
        MainDialog()
        {
            setWindowTitle("Umbravia");
            attachWidget(this);
        }
        LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            count += message == msg::SettingsModified ? 1 : 0;
            return Window::windowProc(message, wParam, lParam);
        }
        int count = 0;
    } mainDialog;

    m_takeAction();
    EXPECT_TRUE(testsupport::waitFor([&] {
        QCoreApplication::processEvents();
        return mainDialog.count == 1;
    }));
}

TEST(ProgressWindowTest, ShowsPleaseWaitAndTheStatusLineThenGoes)
{
    QWidget host;
    host.resize(600, 400);
    local::ProgressWindow progress(&host);
    progress.open();
    ASSERT_NE(progress.widget(), nullptr);
    EXPECT_EQ(progress.widget()->parentWidget(), &host);
    EXPECT_TRUE(progress.widget()->isVisibleTo(&host));
    auto* status = progress.widget()->findChild<QLabel*>("1002");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->text().isEmpty());
    bool pleaseWait = false;
    for (QLabel* label : progress.widget()->findChildren<QLabel*>()) {
        if (label->text() == "Please Wait ...") {
            pleaseWait = true;
            EXPECT_EQ(label->font().pointSize(), 24);
            EXPECT_EQ(label->font().family().toStdString(), "MS Serif");
        }
    }
    EXPECT_TRUE(pleaseWait);
    progress.setStatus("Clearing recycle bin...");
    EXPECT_EQ(status->text().toStdString(), "Clearing recycle bin...");
    progress.close();
    EXPECT_EQ(progress.widget(), nullptr);
    EXPECT_TRUE(host.findChildren<QWidget*>().isEmpty());
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
