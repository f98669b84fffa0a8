// Starting programs (ShellExecute, WinExec, CreateProcess), the desktop opener, and the
// process snapshot.

#include "WindowsTestSupport.h"

#include <platform/KernelObjects.h>
#include <platform/Processes.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A program that writes its arguments, working folder and show mode to $UMB_TEST_OUT.
void writeTool(const fs::path& path, const std::string& mark)
{
    testsupport::writeFile(path, "#!/bin/sh\n"
                                 "{ printf '%s\\n' \"$@\"; echo \"pwd=$(pwd)\"; "
                                 "echo \"show=$UMBRAVIA_SHOWCMD\"; echo \"mark=" +
                                     mark +
                                     "\"; } > \"$UMB_TEST_OUT.tmp\" && "
                                     "mv \"$UMB_TEST_OUT.tmp\" \"$UMB_TEST_OUT\"\n");
    fs::permissions(path, fs::perms::owner_all);
}

class ProcessesTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_out = m_scratch.path() / "out.txt";
        ::setenv("UMB_TEST_OUT", m_out.c_str(), 1);
        m_system32 = m_prefix.driveC() / "WINDOWS" / "system32";
    }
    void TearDown() override
    {
        ::unsetenv("UMB_TEST_OUT");
        ::unsetenv("UMBRAVIA_OPEN_COMMAND");
    }
    // What the tool wrote, once it has run.
    std::string output()
    {
        testsupport::waitFor([&] { return fs::exists(m_out); });
        std::string text = testsupport::readFile(m_out);
        fs::remove(m_out);
        return text;
    }
    std::string dos(const fs::path& host) { return platform::toDosPath(host).str(); }

    testsupport::TempDir m_scratch;
    fs::path m_out;
    fs::path m_system32;
};

bool started(HINSTANCE result)
{
    return reinterpret_cast<std::uintptr_t>(result) > 32;
}

int shellCode(HINSTANCE result)
{
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(result));
}

} // namespace

TEST(CommandLineTest, WordsSplitAsWindowsProgramsSplitThem)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::splitCommandLine(""), V{});
    EXPECT_EQ(platform::splitCommandLine("  /s   UmbraIEPlugin.dll "),
              (V{"/s", "UmbraIEPlugin.dll"}));
    EXPECT_EQ(platform::splitCommandLine("\"C:\\Program Files\\x.reg\" /e"),
              (V{"C:\\Program Files\\x.reg", "/e"}));
    EXPECT_EQ(platform::splitCommandLine("a\\\\\"b c\" d\\\"e f\\g"),
              (V{"a\\b c", "d\"e", "f\\g"}));
    EXPECT_EQ(platform::splitCommandLine("\"say \"\"hi\"\"\""), (V{"say \"hi\""}));
}

TEST_F(ProcessesTest, ShellExecuteStartsAProgramWithParametersFolderAndShowMode)
{
    writeTool(m_system32 / "tool.exe", "system");
    fs::path folder = m_prefix.driveC() / "Program Files";
    HINSTANCE r = ShellExecute(0, "open", "tool.exe", "one \"two three\"", "C:\\Program Files",
                               SW_SHOWMINIMIZED);
    ASSERT_TRUE(started(r)) << shellCode(r);
    EXPECT_EQ(output(),
              "one\ntwo three\npwd=" + fs::canonical(folder).string() + "\nshow=2\nmark=system\n");
}

TEST_F(ProcessesTest, ABareNameIsLookedForInTheFolderGivenFirst)
{
    fs::path install = m_prefix.driveC() / "Program Files" / "Umbravia";
    writeTool(install / "Umbravia Settings Wizard.exe", "wizard");
    HINSTANCE r = ShellExecute(0, "open", "Umbravia Settings Wizard.exe", "10",
                               "C:\\Program Files\\Umbravia", SW_SHOWNORMAL);
    ASSERT_TRUE(started(r)) << shellCode(r);
    EXPECT_EQ(output(), "10\npwd=" + fs::canonical(install).string() + "\nshow=1\nmark=wizard\n");
}

TEST_F(ProcessesTest, BareNamesLookInTheCurrentFolderBeforeTheSystemFolder)
{
    writeTool(m_system32 / "tool.exe", "system");
    testsupport::TempDir current;
    writeTool(current.path() / "Tool.exe", "current");
    fs::path before = fs::current_path();
    fs::current_path(current.path());
    // "TOOL" means "TOOL.exe", matched without regard to case.
    EXPECT_TRUE(started(ShellExecute(0, nullptr, "TOOL", nullptr, nullptr, SW_SHOWNORMAL)));
    EXPECT_NE(output().find("mark=current"), std::string::npos);
    fs::remove(current.path() / "Tool.exe");
    EXPECT_TRUE(started(ShellExecute(0, "open", "tool", nullptr, nullptr, SW_SHOWNORMAL)));
    EXPECT_NE(output().find("mark=system"), std::string::npos);
    fs::current_path(before);
}

TEST_F(ProcessesTest, WinExecFindsAProgramWhosePathHasBlanks)
{
    writeTool(m_prefix.driveC() / "Program Files" / "My Tool" / "run.exe", "blanks");
    UINT r = WinExec("C:\\Program Files\\My Tool\\run.exe /s \"C:\\x y.reg\"", SW_HIDE);
    ASSERT_GT(r, 31u);
    EXPECT_EQ(output().substr(0, 18), "/s\nC:\\x y.reg\npwd=");
    writeTool(m_system32 / "regedit.exe", "quoted");
    EXPECT_GT(WinExec("\"regedit\" /s a.reg", SW_HIDE), 31u);
    std::string text = output();
    EXPECT_NE(text.find("show=0"), std::string::npos);
    EXPECT_NE(text.find("mark=quoted"), std::string::npos);
}

TEST_F(ProcessesTest, WindowsToolsMissingFromTheWindowsFolderComeFromTheSuite)
{
    // The suite ships RegEdit.exe itself; callers name it by its Windows path.
    testsupport::TempDir bin;
    writeTool(bin.path() / "RegEdit.exe", "shipped");
    const char* oldBin = std::getenv("UMBRAVIA_BIN");
    std::string saved = oldBin != nullptr ? oldBin : "";
    ::setenv("UMBRAVIA_BIN", bin.path().c_str(), 1);
    EXPECT_GT(WinExec("C:\\WINDOWS\\RegEdit.exe /s C:\\My Backup\\MSN.reg", SW_HIDE), 31u);
    std::string text = output();
    EXPECT_EQ(text.rfind("/s\nC:\\My\nBackup\\MSN.reg\npwd=", 0), 0u) << text;
    EXPECT_NE(text.find("mark=shipped"), std::string::npos);
    // A copy in the Windows folder itself comes first.
    writeTool(m_prefix.driveC() / "WINDOWS" / "regedit.exe", "windows");
    EXPECT_GT(WinExec("C:\\WINDOWS\\RegEdit.exe /s x.reg", SW_HIDE), 31u);
    EXPECT_NE(output().find("mark=windows"), std::string::npos);
    // Other folders are not redirected.
    EXPECT_EQ(WinExec("C:\\Other\\RegEdit.exe /s x.reg", SW_HIDE),
              static_cast<UINT>(ERROR_PATH_NOT_FOUND));
    if (oldBin != nullptr) {
        ::setenv("UMBRAVIA_BIN", saved.c_str(), 1);
    } else {
        ::unsetenv("UMBRAVIA_BIN");
    }
}

TEST_F(ProcessesTest, MissingProgramsFoldersAndVerbsAreReported)
{
    EXPECT_EQ(shellCode(ShellExecute(0, "open", "nothere.exe", nullptr, nullptr, SW_SHOW)),
              SE_ERR_FNF);
    EXPECT_EQ(
        shellCode(ShellExecute(0, "open", "C:\\no\\such\\tool.exe", nullptr, nullptr, SW_SHOW)),
        SE_ERR_PNF);
    writeTool(m_system32 / "tool.exe", "system");
    EXPECT_EQ(shellCode(ShellExecute(0, "open", "tool.exe", nullptr, "C:\\missing", SW_SHOW)),
              SE_ERR_PNF);
    EXPECT_EQ(shellCode(ShellExecute(0, "print", "tool.exe", nullptr, nullptr, SW_SHOW)),
              SE_ERR_NOASSOC);
    EXPECT_EQ(WinExec("nothere.exe /s", SW_HIDE), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
    testsupport::writeFile(m_system32 / "plain.exe", "not a program");
    EXPECT_EQ(WinExec("plain.exe", SW_HIDE), static_cast<UINT>(ERROR_BAD_FORMAT));
}

TEST_F(ProcessesTest, DocumentsAndWebAddressesGoToTheDesktopOpener)
{
    writeTool(m_scratch.path() / "opener", "opener");
    ::setenv("UMBRAVIA_OPEN_COMMAND", (m_scratch.path() / "opener").c_str(), 1);
    fs::path help = m_prefix.driveC() / "Umbravia Help.chm";
    testsupport::writeFile(help, "help");
    EXPECT_TRUE(
        started(ShellExecute(0, "open", "C:\\Umbravia Help.chm", nullptr, nullptr, SW_SHOWNORMAL)));
    EXPECT_EQ(output().substr(0, help.string().size() + 1), help.string() + "\n");
    EXPECT_TRUE(started(ShellExecute(0, nullptr, "http://www.example.invalid/support", nullptr,
                                     nullptr, SW_SHOWNORMAL)));
    EXPECT_EQ(output().substr(0, 35), "http://www.example.invalid/support\n");
    EXPECT_TRUE(
        started(ShellExecute(0, "open", "www.example.invalid", nullptr, nullptr, SW_SHOWNORMAL)));
    EXPECT_EQ(output().substr(0, 27), "http://www.example.invalid\n");

    ::setenv("UMBRAVIA_OPEN_COMMAND", (m_scratch.path() / "missing").c_str(), 1);
    EXPECT_EQ(shellCode(ShellExecute(0, "open", "http://x.invalid/", nullptr, nullptr, SW_SHOW)),
              SE_ERR_NOASSOC);
}

TEST_F(ProcessesTest, CreateProcessGivesAHandleToWaitForAndTheExitCode)
{
    testsupport::writeFile(m_system32 / "seven.exe", "#!/bin/sh\nexit 7\n");
    fs::permissions(m_system32 / "seven.exe", fs::perms::owner_all);
    char commandLine[] = "seven.exe";
    STARTUPINFO si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcess(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    testsupport::writeFile(m_system32 / "sleeper.exe", "#!/bin/sh\nexec sleep 30\n");
    fs::permissions(m_system32 / "sleeper.exe", fs::perms::owner_all);
    char sleeper[] = "sleeper";
    ASSERT_TRUE(
        CreateProcess(nullptr, sleeper, nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20), WAIT_TIMEOUT);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    // Started detached: a session of its own, so it outlives us and our terminal.
    EXPECT_EQ(::getsid(static_cast<pid_t>(pi.dwProcessId)), static_cast<pid_t>(pi.dwProcessId));
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 9u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    char missing[] = "nothere.exe";
    EXPECT_FALSE(
        CreateProcess(nullptr, missing, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProcessesTest, TheSnapshotListsAProgramStartedByTheTest)
{
    // A real program under the suite's name, as the wizard looks for it.
    fs::path folder = m_scratch.path() / "Umbravia";
    fs::create_directories(folder);
    fs::copy_file("/bin/sleep", folder / "Umbravia.exe");
    std::string path = dos(folder / "Umbravia.exe");
    std::string line = "\"" + path + "\" 30";
    STARTUPINFO si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcess(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, &pi));

    bool seen = false;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        ++count;
        if (entry.th32ProcessID == pi.dwProcessId) {
            seen = true;
            EXPECT_STREQ(entry.szExeFile, "Umbravia.exe");
            EXPECT_EQ(entry.th32ParentProcessID, GetCurrentProcessId());
        }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(seen);
    EXPECT_GT(count, 1);
    CloseHandle(snapshot);

    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST_F(ProcessesTest, TheShowModeReachesTheStartedProgram)
{
    EXPECT_EQ(platform::startupShowCommand(), SW_SHOWNORMAL);
    ::setenv("UMBRAVIA_SHOWCMD", "7", 1);
    EXPECT_EQ(platform::startupShowCommand(), SW_SHOWMINNOACTIVE);
    ::unsetenv("UMBRAVIA_SHOWCMD");
}

UMBRAVIA_WINDOWS_TEST_MAIN()
