// The settings page: load, save with renumbering, the folder list's buttons and their
// custom folder dialog, Clear Now (also by message 1124), page OK and Cancel, and
// Organize IE Favorites.

#include "LocalSettingsPage.h"

#include "CustomDirectoryDialog.h"
#include "LocalSettings.h"
#include "LocalTestSupport.h"

#include <common/Settings.h>
#include <common/ui/SortedListBox.h>
#include <platform/Application.h>
#include <platform/Files.h>
#include <platform/MessageBox.h>
#include <platform/Shell.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <TestSupport.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>

namespace fs = std::filesystem;
using namespace localtest;
using local::LocalSettingsPage;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

constexpr const char* ModuleKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Local.dll";
constexpr const char* CustomDirs = "Software\\Kestrani\\Hollowmere\\DLLs\\Local.dll\\CUSTOMDIRS";

using testsupport::whenDialogOpens;

// Answers the custom folder dialog with text (OK), or cancels it.
void answerFolderDialog(std::optional<std::string> text, std::string* initial = nullptr)
{
    whenDialogOpens([text, initial](QDialog* dialog) {
        auto* folder = dynamic_cast<local::CustomDirectoryDialog*>(dialog);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->windowTitle().toStdString(), "Custom directory");
        if (initial != nullptr) {
            *initial = folder->text();
        }
        if (text) {
            folder->edit()->setText(QString::fromStdString(*text));
            folder->accept();
        } else {
            folder->reject();
        }
    });
}

class LocalSettingsPageTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(local::registerModule("C:\\Program Files\\Umbravia\\Local.dll"));
    }
    void TearDown() override
    {
        // Deliver what is still posted while the handles of this prefix are valid.
        m_host.received();
        m_page.reset();
    }

    LocalSettingsPage& page()
    {
        if (!m_page) {
            m_page = std::make_unique<LocalSettingsPage>(&m_parent);
        }
        return *m_page;
    }
    void select(int row) { page().folderList()->setCurrentRow(row); }
    void command(UINT id, WORD code = 0)
    {
        SendMessage(page().hwnd(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code), 0);
    }
    static std::vector<std::pair<std::string, std::string>> savedFolders()
    {
        std::vector<std::pair<std::string, std::string>> out;
        settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, CustomDirs);
        for (DWORD i = 0;; ++i) {
            char name[300];
            DWORD length = sizeof name;
            char data[300] = {};
            DWORD size = sizeof data;
            DWORD type = 0;
            if (RegEnumValue(key.get(), i, name, &length, nullptr, &type,
                             reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
                break;
            }
            if (type == REG_SZ) {
                out.emplace_back(name, data);
            }
        }
        return out;
    }

    testsupport::TempTrash m_dirs; // the trash and scratch folder of this test
    TestHostWindow m_host;
    QWidget m_parent;
    std::unique_ptr<LocalSettingsPage> m_page;
};

TEST_F(LocalSettingsPageTest, ControlsCarryTheirTexts)
{
    const std::vector<std::pair<UINT, std::string>> boxes = {
        {1003, "Empty Recylce Bin."},
        {1004, "Clear Run History."},
        {1005, "Clear Documents History."},
        {1006, "Clear Last Logon User List"},
        {1007, "Clear Find-Files History."},
        {1008, "Clear Find Computer History."},
        {1009, "ClearNetwork Connections History."},
        {1010, "Clear Telnet History."},
        {1011, "Custom Directories."},
        {1017, "Clear Internet History."},
        {1018, "Clear Temprory System Files."},
        {1019, "Clear Temprory Internet Files."},
        {1020, "Clear AutoComplete Forms."},
        {1021, "Clear AutoComplete Passwords."},
        {1022, "Clear Internet Explorer Favorites."},
        {1023, "Clear Cookies."},
        {1024, "Clear Typed URL History."},
        {1026, "Clear Selected Items Each Time at Program Exit."},
    };
    for (const auto& [id, text] : boxes) {
        ASSERT_NE(page().checkBox(id), nullptr) << id;
        EXPECT_EQ(page().checkBox(id)->text().toStdString(), text);
    }
    const std::vector<std::pair<UINT, std::string>> buttons = {{1013, "Clear Now"},
                                                               {1014, "Add"},
                                                               {1015, "Edit"},
                                                               {1016, "Remove"},
                                                               {1025, "Organize IE Favorites"}};
    for (const auto& [id, text] : buttons) {
        EXPECT_EQ(page().button(id)->text().toStdString(), text);
    }
    EXPECT_EQ(page().windowTitle().toStdString(), "Local settings");
    EXPECT_EQ(page().palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(LocalSettingsPageTest, LoadFillsBoxesAndTheSortedList)
{
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "RUNHISTORY", 1);
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "clearatexit", 1);
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\b");
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "1", "c:\\A");
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "2", "C:\\a");
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, "7", 7);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "8", "");
    EXPECT_TRUE(page().checkBox(1004)->isChecked());
    EXPECT_TRUE(page().checkBox(1026)->isChecked());
    EXPECT_TRUE(page().checkBox(1011)->isChecked());
    EXPECT_FALSE(page().checkBox(1003)->isChecked());
    EXPECT_EQ(page().folders(), (std::vector<std::string>{"c:\\A", "C:\\b"}));
    EXPECT_TRUE(page().folderList()->isEnabled());
    EXPECT_TRUE(page().button(1014)->isEnabled());
}

TEST_F(LocalSettingsPageTest, LoadWithoutSettingsComplainsAndLeavesBoxesClear)
{
    ASSERT_TRUE(local::unregisterModule());
    platform::ScopedScriptedPresenter boxes;
    EXPECT_FALSE(page().checkBox(1003)->isChecked());
    ASSERT_EQ(boxes->calls().size(), 1u);
    EXPECT_EQ(boxes->calls()[0].text, "Invalide registry data");
    EXPECT_EQ(boxes->calls()[0].caption, "Local Machine Privacy");
    EXPECT_EQ(boxes->calls()[0].owner, page().hwnd());
}

TEST_F(LocalSettingsPageTest, CustomDirectoriesOffDisablesTheListButKeepsItsFolders)
{
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\keep");
    EXPECT_FALSE(page().folderList()->isEnabled());
    for (UINT id : {1014u, 1015u, 1016u}) {
        EXPECT_FALSE(page().button(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(page().button(1013)->isEnabled());
    command(IDOK);
    EXPECT_EQ(savedFolders(),
              (std::vector<std::pair<std::string, std::string>>{{"0", "C:\\keep"}}));

    page().checkBox(1011)->click();
    EXPECT_TRUE(page().folderList()->isEnabled());
    EXPECT_TRUE(page().button(1016)->isEnabled());
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(LocalSettingsPageTest, SaveRenumbersFromZeroInListOrder)
{
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "5", "C:\\b");
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "9", "C:\\a");
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "x", "C:\\c");
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, "7", 7);
    page().checkBox(1022)->setChecked(true);
    page().checkBox(1026)->setChecked(true);
    command(IDOK);
    EXPECT_EQ(savedFolders(), (std::vector<std::pair<std::string, std::string>>{
                                  {"0", "C:\\a"}, {"1", "C:\\b"}, {"2", "C:\\c"}}));
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr), 1u);
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, CustomDirs, "7"));
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES"), 1u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "CLEARATEXIT"), 1u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "TELENT"), 0u);
    // The terminating zero is part of each entry.
    DWORD size = 0;
    RegQueryValueEx(settings::Key::open(HKEY_LOCAL_MACHINE, CustomDirs).get(), "0", nullptr,
                    nullptr, nullptr, &size);
    EXPECT_EQ(size, 5u);
}

TEST_F(LocalSettingsPageTest, CancelKeepsEditsOnThePageOnly)
{
    page().checkBox(1003)->setChecked(true);
    command(IDCANCEL);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "RECYCLEBIN"), 0u);
    EXPECT_TRUE(page().checkBox(1003)->isChecked());
    command(IDOK);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "RECYCLEBIN"), 1u);
}

TEST_F(LocalSettingsPageTest, AddRefusesCaseInsensitiveDuplicatesAndTakesEmptyText)
{
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\Temp");
    std::string initial = "unset";
    answerFolderDialog("c:\\TEMP", &initial);
    page().button(1014)->click();
    EXPECT_EQ(initial, "");
    EXPECT_EQ(page().folders(), std::vector<std::string>{"C:\\Temp"});
    EXPECT_EQ(m_host.received(), 0);

    answerFolderDialog("C:\\New");
    page().button(1014)->click();
    EXPECT_EQ(page().folders(), (std::vector<std::string>{"C:\\New", "C:\\Temp"}));
    EXPECT_EQ(m_host.received(), 1);

    answerFolderDialog(std::nullopt);
    page().button(1014)->click();
    EXPECT_EQ(page().folders().size(), 2u);

    answerFolderDialog("");
    page().button(1014)->click();
    EXPECT_EQ(page().folders(), (std::vector<std::string>{"", "C:\\New", "C:\\Temp"}));
    command(IDOK);
    EXPECT_EQ(savedFolders().size(), 3u);
    // The cleaner passes over the empty entry.
    auto request = local::readFullRunRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->customFolders, (std::vector<std::string>{"C:\\New", "C:\\Temp"}));
}

TEST_F(LocalSettingsPageTest, EditAllowsDuplicatesAndKeepsThePosition)
{
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    for (const char* folder : {"C:\\a", "C:\\b", "C:\\c"}) {
        setString(HKEY_LOCAL_MACHINE, CustomDirs, folder + 3, folder);
    }
    command(1015); // no selection: nothing
    command(1016);
    EXPECT_EQ(page().folders().size(), 3u);
    EXPECT_EQ(m_host.received(), 0);

    select(1);
    std::string initial;
    answerFolderDialog("C:\\A", &initial);
    page().button(1015)->click();
    EXPECT_EQ(initial, "C:\\b");
    EXPECT_EQ(page().folders(), (std::vector<std::string>{"C:\\a", "C:\\A", "C:\\c"}));
    EXPECT_EQ(m_host.received(), 1);

    select(0);
    answerFolderDialog(std::nullopt);
    page().button(1015)->click();
    EXPECT_EQ(page().folders().size(), 3u);
    EXPECT_EQ(m_host.received(), 1);

    select(2);
    page().button(1016)->click();
    EXPECT_EQ(page().folders(), (std::vector<std::string>{"C:\\a", "C:\\A"}));
    EXPECT_EQ(m_host.received(), 2);
}

TEST_F(LocalSettingsPageTest, DoubleClickEditsThenNotifies)
{
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\a");
    select(0);
    answerFolderDialog("C:\\z");
    command(1012, pageui::SortedListBox::DoubleClick);
    EXPECT_EQ(page().folders(), std::vector<std::string>{"C:\\z"});
    EXPECT_EQ(m_host.received(), 2);
    answerFolderDialog(std::nullopt);
    command(1012, pageui::SortedListBox::DoubleClick);
    EXPECT_EQ(m_host.received(), 3);
}

TEST_F(LocalSettingsPageTest, EveryCheckBoxClickNotifiesTheHost)
{
    int clicks = 0;
    for (UINT id : {1003u, 1004u, 1005u, 1006u, 1007u, 1008u, 1009u, 1010u, 1017u, 1018u, 1019u,
                    1020u, 1021u, 1022u, 1023u, 1024u, 1026u, 1011u}) {
        page().checkBox(id)->click();
        ++clicks;
    }
    EXPECT_TRUE(testsupport::waitFor([&] { return m_host.received() >= clicks; }));
    EXPECT_EQ(m_host.received(), clicks);
    // Nothing reached the registry.
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "RECYCLEBIN"), 0u);
}

TEST_F(LocalSettingsPageTest, ClearNowSavesFirstAndLeavesCustomFolders)
{
    setDword(HKEY_LOCAL_MACHINE, CustomDirs, nullptr, 1);
    setString(HKEY_LOCAL_MACHINE, CustomDirs, "0", "C:\\custom");
    writeFile(m_prefix.driveC() / "custom" / "a.txt", "a");
    writeFile(hostSpecialFolder(CSIDL_FAVORITES) / "f.url", "f");
    writeFile(hostSpecialFolder(CSIDL_RECENT) / "r.lnk", "r");
    const int childrenBefore = page().findChildren<QWidget*>().size();
    page().checkBox(1022)->setChecked(true);

    SendMessage(page().hwnd(), WM_USER + 100, 0, 0);

    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES"), 1u);
    EXPECT_TRUE(tree(hostSpecialFolder(CSIDL_FAVORITES)).empty());
    EXPECT_TRUE(fs::exists(hostSpecialFolder(CSIDL_RECENT) / "r.lnk"));
    EXPECT_TRUE(fs::exists(m_prefix.driveC() / "custom" / "a.txt"));
    EXPECT_EQ(page().findChildren<QWidget*>().size(), childrenBefore); // progress window gone
}

TEST_F(LocalSettingsPageTest, ClearNowWithEveryBoxClearOnlySaves)
{
    setDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES", 1);
    writeFile(hostSpecialFolder(CSIDL_FAVORITES) / "f.url", "f");
    page().checkBox(1022)->setChecked(false);
    page().button(1013)->click();
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ModuleKey, "FAVORITES"), 0u);
    EXPECT_TRUE(fs::exists(hostSpecialFolder(CSIDL_FAVORITES) / "f.url"));
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(LocalSettingsPageTest, OrganizeFavoritesOpensTheFavoritesFolder)
{
    // Without shdocvw.dll nothing happens.
    page().button(1025)->click();

    fs::copy_file(testsupport::binDir() / "shdocvw.dll",
                  m_prefix.driveC() / "WINDOWS" / "system32" / "shdocvw.dll");
    const fs::path opened = m_dirs.path() / "opened.txt";
    const fs::path script = m_dirs.path() / "open.sh";
    writeFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened.string() + ".part'\nmv '" +
                          opened.string() + ".part' '" + opened.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    ::setenv("UMBRAVIA_OPEN_COMMAND", script.c_str(), 1);
    fs::remove_all(hostSpecialFolder(CSIDL_FAVORITES));
    page().button(1025)->click();
    ::unsetenv("UMBRAVIA_OPEN_COMMAND");
    ASSERT_TRUE(testsupport::waitFor([&] { return fs::exists(opened); }));
    EXPECT_EQ(fs::path(readFile(opened)), platform::profileFolder() / "Favorites");
    EXPECT_TRUE(fs::is_directory(platform::profileFolder() / "Favorites")); // created if missing
}

TEST_F(LocalSettingsPageTest, BrowsePutsThePickedFolderIntoTheEditBox)
{
    fs::create_directories(m_prefix.driveC() / "Picked");
    local::CustomDirectoryDialog dialog(nullptr, "C:\\old");
    whenDialogOpens([&](QDialog* picker) {
        auto* files = qobject_cast<QFileDialog*>(picker);
        ASSERT_NE(files, nullptr);
        files->selectFile(QString::fromStdString((m_prefix.driveC() / "Picked").string()));
        static_cast<QDialog*>(files)->accept();
    });
    dialog.browseButton()->click();
    EXPECT_EQ(dialog.text(), "C:\\Picked");

    whenDialogOpens([](QDialog* picker) { picker->reject(); });
    dialog.browseButton()->click();
    EXPECT_EQ(dialog.text(), "C:\\Picked");
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
