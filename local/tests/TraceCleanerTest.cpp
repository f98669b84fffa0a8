// The cleaning engine: order and texts of the steps, what each kind removes and what it
// leaves, the AutoComplete rights dance, and the refusal of dangerous custom folders.

#include "TraceCleaner.h"

#include "LocalTestSupport.h"
#include "ProgressWindow.h"

#include <platform/MessageBox.h>
#include <platform/Security.h>
#include <platform/Shell.h>
#include <platform/WinInet.h>

#include <TestSupport.h>
#include <UrlCacheListing.h>
#include <unistd.h>

#include <cstdlib>

namespace fs = std::filesystem;
using namespace localtest;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

constexpr const char* Telnet = "Software\\Microsoft\\Telnet";
constexpr const char* UserWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* MachineWinlogon = "Software\\Microsoft\\Windows\\CurrentVersion\\Winlogon";
constexpr const char* SearchBar = "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
                                  "{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\";

// Registry keys removed by kinds 3, 5, 9, 10, 12 and 13, under HKEY_CURRENT_USER.
const std::vector<std::pair<int, std::string>> KindKeys = {
    {3, "Software\\Microsoft\\Internet Explorer\\TypedURLs"},
    {5, "Software\\Microsoft\\Internet Explorer\\IntelliForms"},
    {9, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU"},
    {10, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs"},
    {12, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Doc Find Spec MRU"},
    {12, std::string(SearchBar) + "ContainingTextMRU"},
    {12, std::string(SearchBar) + "FilesNamedMRU"},
    {13, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindComputerMRU"},
    {13, std::string(SearchBar) + "ComputerNameMRU"},
};

// Folders emptied by kinds 1, 2, 6, 10, 14 and 16 (special folders by CSIDL).
const std::vector<std::pair<int, int>> KindFolders = {
    {1, CSIDL_INTERNET_CACHE}, {2, CSIDL_COOKIES},  {6, CSIDL_FAVORITES},
    {10, CSIDL_RECENT},        {14, CSIDL_NETHOOD}, {16, CSIDL_HISTORY},
};

class TraceCleanerTest : public testsupport::PrefixTest {
protected:
    void SetUp() override { platform::setVersionPlatformForTests(false); }
    void TearDown() override { platform::setVersionPlatformForTests(false); }

    void run(const local::CleanRequest& request)
    {
        local::TraceCleaner cleaner(m_progress, m_notifier);
        cleaner.run(request);
    }
    static local::CleanRequest only(std::initializer_list<int> kinds)
    {
        local::CleanRequest request;
        for (int kind : kinds) {
            request.kinds[kind - 1] = true;
        }
        return request;
    }

    // Traces of every kind, to see what a run removes and what it leaves.
    void plantTraces()
    {
        for (const auto& [kind, key] : KindKeys) {
            setString(HKEY_CURRENT_USER, key, "a", "trace");
            createKey(HKEY_CURRENT_USER, key + "\\sub");
        }
        for (const auto& [kind, csidl] : KindFolders) {
            writeFile(hostSpecialFolder(csidl) / "trace.txt", "t");
        }
        writeFile(hostTempFolder() / "trace.tmp", "t");
        writeFile(m_prefix.driveC() / "WINDOWS" / "History" / "trace.txt", "t");
        writeFile(m_dirs.path() / "data" / "Trash" / "files" / "old.txt", "o");
        setString(HKEY_CURRENT_USER, Telnet, "Machine1", "host");
        setString(HKEY_CURRENT_USER, UserWinlogon, "DefaultUserName", "bob");
        setString(HKEY_LOCAL_MACHINE, MachineWinlogon, "DefaultUserName", "bob");
        writeFile(m_prefix.driveC() / "custom" / "trace.txt", "t");
    }

    testsupport::TempTrash m_dirs; // the trash and scratch folder of this test
    RecordingProgress m_progress;
    CountingNotifier m_notifier;
};

TEST_F(TraceCleanerTest, EverySwitchOffOnlyShowsAndRemovesTheProgress)
{
    plantTraces();
    local::CleanRequest request;
    request.customFolders = {"C:\\custom"};
    run(request);
    EXPECT_EQ(m_progress.events, (std::vector<std::string>{"open", "close"}));
    EXPECT_EQ(m_notifier.count, 0);
    for (const auto& [kind, key] : KindKeys) {
        EXPECT_TRUE(valueExists(HKEY_CURRENT_USER, key, "a")) << key;
    }
    for (const auto& [kind, csidl] : KindFolders) {
        EXPECT_TRUE(fs::exists(hostSpecialFolder(csidl) / "trace.txt")) << csidl;
    }
    EXPECT_TRUE(fs::exists(hostTempFolder() / "trace.tmp"));
    EXPECT_TRUE(fs::exists(m_dirs.path() / "data" / "Trash" / "files" / "old.txt"));
    EXPECT_TRUE(fs::exists(m_prefix.driveC() / "custom" / "trace.txt"));
}

TEST_F(TraceCleanerTest, StepsRunInOrderWithTheirTexts)
{
    local::CleanRequest request;
    request.kinds.fill(true);
    run(request);
    std::vector<std::string> expected{"open"};
    for (int kind = 1; kind <= 17; ++kind) {
        expected.push_back(local::TraceCleaner::progressText(kind));
        expected.push_back(std::string(local::TraceCleaner::progressText(kind)) + "Done");
    }
    expected.push_back("close");
    EXPECT_EQ(m_progress.events, expected);
    EXPECT_EQ(m_progress.events[15], "Clearing recycle bin...");
    EXPECT_EQ(m_progress.events[16], "Clearing recycle bin...Done");
    EXPECT_EQ(m_progress.events[1], "Clearing temporary internet files...");
    EXPECT_EQ(m_progress.events[33], "Clearing custom directories...");
}

TEST_F(TraceCleanerTest, EachKindRemovesItsOwnTracesOnly)
{
    for (const auto& [kind, key] : KindKeys) {
        plantTraces();
        run(only({kind}));
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, key)) << key;
        for (const auto& [otherKind, otherKey] : KindKeys) {
            if (otherKind != kind) {
                EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, otherKey)) << kind << " " << otherKey;
            }
        }
    }
    for (const auto& [kind, csidl] : KindFolders) {
        plantTraces();
        run(only({kind}));
        EXPECT_TRUE(tree(hostSpecialFolder(csidl)).empty()) << kind;
        EXPECT_TRUE(fs::is_directory(hostSpecialFolder(csidl)));
        for (const auto& [otherKind, otherCsidl] : KindFolders) {
            if (otherKind != kind) {
                EXPECT_TRUE(fs::exists(hostSpecialFolder(otherCsidl) / "trace.txt")) << kind;
            }
        }
    }
}

TEST_F(TraceCleanerTest, DesktopIniStaysExceptInTheTemporaryFolder)
{
    for (const auto& [kind, csidl] : KindFolders) {
        writeFile(hostSpecialFolder(csidl) / "desktop.ini", "[.ShellClassInfo]");
    }
    writeFile(hostTempFolder() / "desktop.ini", "[.ShellClassInfo]");
    writeFile(hostTempFolder() / "nested" / "Desktop.ini", "[.ShellClassInfo]");
    local::CleanRequest request;
    request.kinds.fill(true);
    run(request);
    for (const auto& [kind, csidl] : KindFolders) {
        EXPECT_EQ(tree(hostSpecialFolder(csidl)), std::vector<std::string>{"desktop.ini"}) << csidl;
    }
    EXPECT_TRUE(tree(hostTempFolder()).empty());
}

TEST_F(TraceCleanerTest, HistoryFoldersHaveIndexDatWipedFirst)
{
    testsupport::TempDir keep;
    const fs::path windowsHistory = m_prefix.driveC() / "WINDOWS" / "History";
    writeFile(windowsHistory / "index.dat", std::string(100, 'h'));
    fs::create_hard_link(windowsHistory / "index.dat", keep.path() / "windows");
    writeFile(hostSpecialFolder(CSIDL_HISTORY) / "History.IE5" / "index.dat",
              std::string(100, 'u'));
    fs::create_hard_link(hostSpecialFolder(CSIDL_HISTORY) / "History.IE5" / "index.dat",
                         keep.path() / "user");
    // Cache folders are swept without the wipe.
    writeFile(hostSpecialFolder(CSIDL_INTERNET_CACHE) / "index.dat", std::string(100, 'c'));
    fs::create_hard_link(hostSpecialFolder(CSIDL_INTERNET_CACHE) / "index.dat",
                         keep.path() / "cache");

    run(only({1, 16}));
    EXPECT_EQ(readFile(keep.path() / "windows"), std::string(64, 'h') + std::string(36, '\0'));
    EXPECT_EQ(readFile(keep.path() / "user"), std::string(64, 'u') + std::string(36, '\0'));
    EXPECT_EQ(readFile(keep.path() / "cache"), std::string(100, 'c'));
    EXPECT_TRUE(tree(windowsHistory).empty());
    EXPECT_TRUE(tree(hostSpecialFolder(CSIDL_HISTORY)).empty());
}

TEST_F(TraceCleanerTest, InternetHistoryStepClearsTheBrowserHistoryStore)
{
    const std::string visited = "Visited: " + platform::loginName() + "@";
    for (const char* url : {"http://www.example.com/", "http://example.org/page?q=1"}) {
        platform::UrlCacheEntry entry;
        entry.url = visited + url;
        entry.type = URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY;
        ASSERT_TRUE(platform::addUrlCacheEntry(entry));
    }
    platform::UrlCacheEntry page;
    page.url = "http://www.example.com/index.html";
    page.content = "<html></html>";
    ASSERT_TRUE(platform::addUrlCacheEntry(page));
    ASSERT_EQ(testsupport::urlCacheListing("visited:").size(), 2u);

    run(only({16}));
    EXPECT_EQ(testsupport::urlCacheListing("visited:"), std::vector<std::string>{});
    // Only the history goes: the page stays in the cache for kind 1 to remove.
    EXPECT_EQ(testsupport::urlCacheListing("http://www.example.com/"),
              std::vector<std::string>{page.url});
}

TEST_F(TraceCleanerTest, TelnetHistoryTouchesExactly27Values)
{
    std::vector<std::string> planted;
    for (int n = 0; n <= 9; ++n) {
        for (const char* stem : {"Machine", "Service", "TermType"}) {
            planted.push_back(stem + std::to_string(n));
        }
    }
    for (const char* name :
         {"LastMachine", "LastService", "LastTermType", "LastMachine1", "Machine", "Other"}) {
        planted.push_back(name);
    }
    for (const std::string& name : planted) {
        setString(HKEY_CURRENT_USER, Telnet, name.c_str(), "v");
    }
    run(only({15}));
    int removed = 0;
    std::vector<std::string> kept;
    for (const std::string& name : planted) {
        if (valueExists(HKEY_CURRENT_USER, Telnet, name.c_str())) {
            kept.push_back(name);
        } else {
            ++removed;
        }
    }
    EXPECT_EQ(removed, 27);
    EXPECT_EQ(kept,
              (std::vector<std::string>{"Machine0", "Service0", "TermType0", "Machine9", "Service9",
                                        "TermType9", "LastMachine1", "Machine", "Other"}));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, Telnet));
}

TEST_F(TraceCleanerTest, LastLogonUserValuesGoAndTheirKeysStay)
{
    setString(HKEY_CURRENT_USER, UserWinlogon, "DefaultUserName", "bob");
    setString(HKEY_CURRENT_USER, UserWinlogon, "AltDefaultUserName", "bob");
    setString(HKEY_CURRENT_USER, UserWinlogon, "Shell", "explorer.exe");
    setString(HKEY_LOCAL_MACHINE, MachineWinlogon, "DefaultUserName", "bob");
    setString(HKEY_LOCAL_MACHINE, MachineWinlogon, "AltDefaultUserName", "bob");
    run(only({11}));
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, UserWinlogon, "DefaultUserName"));
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, UserWinlogon, "AltDefaultUserName"));
    EXPECT_TRUE(valueExists(HKEY_CURRENT_USER, UserWinlogon, "Shell"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, MachineWinlogon, "DefaultUserName"));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, MachineWinlogon, "AltDefaultUserName"));
}

TEST_F(TraceCleanerTest, UrlCacheSweepsSplitCookiesFromTheRest)
{
    auto add = [](const char* url, DWORD type) {
        platform::UrlCacheEntry entry;
        entry.url = url;
        entry.content = "x";
        entry.type = type;
        ASSERT_TRUE(platform::addUrlCacheEntry(entry).ok());
    };
    add("http://www.example.com/", NORMAL_CACHE_ENTRY);
    add("http://www.example.com/logo.gif", NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY);
    add("Cookie:bob@example.com/", COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY);
    auto urls = [] {
        std::vector<std::string> out;
        std::vector<char> buffer(8192);
        auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
        DWORD size = 8192;
        HANDLE find = FindFirstUrlCacheEntry(nullptr, info, &size);
        for (bool more = find != nullptr; more; more = FindNextUrlCacheEntry(find, info, &size)) {
            out.push_back(info->lpszSourceUrlName);
            size = 8192;
        }
        if (find != nullptr) {
            FindCloseUrlCache(find);
        }
        return out;
    };

    run(only({1}));
    EXPECT_EQ(urls(), std::vector<std::string>{"Cookie:bob@example.com/"});
    // The URL-cache sweep and the folder sweep both notify.
    EXPECT_GE(m_notifier.count, 2);
    run(only({2}));
    EXPECT_TRUE(urls().empty());
    EXPECT_TRUE(tree(hostSpecialFolder(CSIDL_COOKIES)).empty());
}

TEST_F(TraceCleanerTest, EmptyCacheStillNotifies)
{
    run(only({1}));
    // The URL-cache sweep and the (empty) folder.
    EXPECT_EQ(m_notifier.count, 2);
}

TEST_F(TraceCleanerTest, RecycleBinIsEmptied)
{
    writeFile(m_dirs.path() / "data" / "Trash" / "files" / "old" / "doc.txt", "o");
    writeFile(m_dirs.path() / "data" / "Trash" / "info" / "old.trashinfo", "[Trash Info]\n");
    run(only({8}));
    EXPECT_TRUE(tree(m_dirs.path() / "data" / "Trash" / "files").empty());
    EXPECT_TRUE(tree(m_dirs.path() / "data" / "Trash" / "info").empty());
}

TEST_F(TraceCleanerTest, CustomFoldersAreSweptInListOrder)
{
    writeFile(m_prefix.driveC() / "one" / "a.txt", "a");
    writeFile(m_prefix.driveC() / "one" / "desktop.ini", "d");
    writeFile(m_prefix.driveC() / "two" / "sub" / "b.txt", "b");
    local::CleanRequest request = only({17});
    request.customFolders = {"C:\\one", "c:\\TWO", "C:\\missing"};
    run(request);
    EXPECT_EQ(tree(m_prefix.driveC() / "one"), std::vector<std::string>{"desktop.ini"});
    EXPECT_TRUE(tree(m_prefix.driveC() / "two").empty());
}

TEST_F(TraceCleanerTest, DangerousCustomFoldersAreRefused)
{
    platform::ScopedScriptedPresenter boxes;
    writeFile(m_prefix.driveC() / "keep.txt", "k");
    writeFile(m_prefix.driveC() / "ok" / "gone.txt", "g");
    const std::string profile = platform::toDosPath(platform::profileFolder()).str();
    // Folders outside the temporary prefix (the real root, the home folder) only get the
    // guard's verdict: a sweep of them would rest on the code under test to spare them.
    EXPECT_TRUE(local::TraceCleaner::isProtectedFolder("Z:\\"));
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        EXPECT_TRUE(local::TraceCleaner::isProtectedFolder(platform::toDosPath(home).str()));
    }
    local::CleanRequest request = only({17});
    request.customFolders = {"C:\\", "c:", profile, profile + "\\..", "C:\\ok"};
    // The sweep itself may only ever reach into the temporary prefix.
    const fs::path prefix = fs::weakly_canonical(m_prefix.path());
    for (const std::string& folder : request.customFolders) {
        const auto host = platform::toHostPath(folder);
        ASSERT_TRUE(host.ok()) << folder;
        const fs::path inside = fs::weakly_canonical(*host).lexically_relative(prefix);
        ASSERT_FALSE(inside.empty() || *inside.begin() == "..") << folder << " leaves the prefix";
    }
    run(request);

    EXPECT_EQ(readFile(m_prefix.driveC() / "keep.txt"), "k");
    EXPECT_TRUE(fs::exists(platform::profileFolder() / "Favorites"));
    EXPECT_TRUE(tree(m_prefix.driveC() / "ok").empty());
    const auto calls = boxes->calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].text, "The custom directory \"C:\\\" was not cleaned: it holds the system "
                             "drive or the user profile.");
    for (const auto& call : calls) {
        EXPECT_EQ(call.caption, "Local Machine Privacy");
        EXPECT_EQ(call.icon(), MB_ICONERROR);
    }
    EXPECT_FALSE(local::TraceCleaner::isProtectedFolder(profile + "\\Favorites"));
}

TEST_F(TraceCleanerTest, WithoutAQtApplicationTheRunShowsNoWindow)
{
    // A program without windows (no QApplication here) may still call TakeAction.
    local::ProgressWindow progress(nullptr);
    local::TraceCleaner cleaner(progress, m_notifier);
    writeFile(hostSpecialFolder(CSIDL_FAVORITES) / "f.url", "f");
    cleaner.run(only({6}));
    EXPECT_EQ(progress.widget(), nullptr);
    EXPECT_TRUE(tree(hostSpecialFolder(CSIDL_FAVORITES)).empty());
}

// AutoComplete: the Protected Storage keys of the user, guarded so that only Local
// System may open them.
class AutoCompleteTest : public TraceCleanerTest {
protected:
    static std::string userSidText()
    {
        HANDLE token = nullptr;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
        DWORD needed = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
        std::vector<BYTE> info(needed);
        EXPECT_TRUE(GetTokenInformation(token, TokenUser, info.data(), needed, &needed));
        CloseHandle(token);
        return local::AutoCompleteCleaner::sidText(
            reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid);
    }

    // A descriptor whose DACL allows only Local System.
    static std::vector<BYTE> systemOnlyDescriptor()
    {
        PSID system = nullptr;
        EXPECT_TRUE(AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID,
                                             0, 0, 0, 0, 0, 0, 0, &system));
        std::vector<BYTE> acl(256);
        EXPECT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), 256, ACL_REVISION));
        EXPECT_TRUE(AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION,
                                        KEY_ALL_ACCESS, system));
        SECURITY_DESCRIPTOR sd{};
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE);
        DWORD size = 0;
        MakeSelfRelativeSD(&sd, nullptr, &size);
        std::vector<BYTE> relative(size);
        EXPECT_TRUE(MakeSelfRelativeSD(&sd, relative.data(), &size));
        FreeSid(system);
        return relative;
    }

    static void guard(const std::string& path, std::vector<BYTE>& descriptor)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS)
            << path;
        ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data()),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static std::vector<BYTE> daclOf(const std::string& path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, READ_CONTROL, &key) != ERROR_SUCCESS) {
            return {};
        }
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        std::vector<BYTE> sd(size);
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, sd.data(), &size);
        RegCloseKey(key);
        return sd;
    }

    std::string userKey() const { return std::string(local::ProtectedStorageKey) + userSidText(); }
    std::string machineBranch() const
    {
        return std::string(local::ProtectedStorageKey) + platform::loginName() +
               local::AutoCompleteDataKey;
    }
};

TEST_F(AutoCompleteTest, SidTextFollowsTheTokenUser)
{
    EXPECT_EQ(userSidText(), "S-1-5-21-0-0-0-" + std::to_string(::getuid() + 1000));
}

TEST_F(AutoCompleteTest, NtWidensDeletesAndRestoresTheUserKey)
{
    const std::string key = userKey();
    const std::string data = key + "\\Data";
    const std::string branch = key + local::AutoCompleteDataKey;
    createKey(HKEY_CURRENT_USER, branch + "\\e161255a-37c3-11d2-bcaa-00c04fd929db\\deep");
    createKey(HKEY_CURRENT_USER, data + "\\other");
    createKey(HKEY_LOCAL_MACHINE, machineBranch() + "\\x");
    std::vector<BYTE> guarded = systemOnlyDescriptor();
    for (const std::string& path :
         {branch + "\\e161255a-37c3-11d2-bcaa-00c04fd929db\\deep",
          branch + "\\e161255a-37c3-11d2-bcaa-00c04fd929db", branch, data, key}) {
        guard(path, guarded);
    }
    const std::vector<BYTE> before = daclOf(key);
    ASSERT_FALSE(before.empty());
    HKEY probe = nullptr;
    ASSERT_NE(RegOpenKeyEx(HKEY_CURRENT_USER, data.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);

    run(only({4}));

    EXPECT_EQ(daclOf(key), before); // the user's key has its old rights again
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, data.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS)
        << "Data keeps the widened rights";
    RegCloseKey(probe);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, branch));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, data + "\\other"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, machineBranch()));
}

TEST_F(AutoCompleteTest, NineXOnlyDeletesTheUserNameBranch)
{
    platform::setVersionPlatformForTests(true);
    const std::string branch = userKey() + local::AutoCompleteDataKey;
    createKey(HKEY_CURRENT_USER, branch + "\\sub");
    createKey(HKEY_LOCAL_MACHINE, machineBranch() + "\\sub");
    setString(HKEY_LOCAL_MACHINE, std::string(local::ProtectedStorageKey) + platform::loginName(),
              "keep", "k");
    run(only({4}));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, branch + "\\sub"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, machineBranch()));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE,
                            std::string(local::ProtectedStorageKey) + platform::loginName(),
                            "keep"));
}

TEST_F(AutoCompleteTest, MissingKeysAreSkipped)
{
    run(only({4}));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, userKey()));
    EXPECT_EQ(m_progress.events.size(), 4u);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
