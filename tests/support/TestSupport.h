#pragma once
// Test support shared by every suite: a temporary prefix per test, child processes with
// captured output, and free loopback ports.

#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class TempHome;

// A fresh UMBRAVIA_PREFIX for one test, removed afterwards. The platform layer is
// pointed at it (platform::setPrefix), and so are the child processes the test starts.
// The user's desktop is a decoy as well (a TempHome): code that reaches the desktop's
// settings (the desktop integration, autostart) never touches the real ones.
class TempPrefix {
public:
    TempPrefix();
    ~TempPrefix();
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path driveC() const { return m_path / "drive_c"; }
    // The decoy home folder and its XDG folders.
    const std::filesystem::path& home() const;
    std::filesystem::path configHome() const;
    std::filesystem::path dataHome() const;

private:
    std::filesystem::path m_path;
    std::unique_ptr<TempHome> m_home;
};

// A fixture that gives every test its own prefix.
class PrefixTest : public ::testing::Test {
protected:
    TempPrefix m_prefix;
};

// A scratch folder removed at the end of its scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A freedesktop trash of the test's own: XDG_DATA_HOME points at path()/data (the home
// trash is path()/data/Trash) and the mount table is an empty file, so no real trash or
// volume is ever touched. path() is also free for other scratch files.
class TempTrash {
public:
    TempTrash();
    ~TempTrash();
    TempTrash(const TempTrash&) = delete;
    TempTrash& operator=(const TempTrash&) = delete;
    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::optional<std::string> m_oldDataHome;
};

// A home folder of the test's own, for everything that reads the user's desktop settings:
// HOME, XDG_CONFIG_HOME (path()/.config), XDG_DATA_HOME (path()/.local/share) and
// XDG_CACHE_HOME (path()/.cache) point into it while it lives, GSETTINGS_BACKEND is
// keyfile (GSettings in path()/.config/glib-2.0/settings/keyfile, never the session's
// dconf), and env() hands the same to child processes. The constructor throws unless the
// new HOME lies in the system's temporary folder and differs from the old one, so a test
// never runs against a real home.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::filesystem::path& path() const { return m_dir.path(); }
    std::filesystem::path config() const { return path() / ".config"; }
    std::filesystem::path data() const { return path() / ".local" / "share"; }
    std::map<std::string, std::string> env() const;

private:
    TempDir m_dir;
    std::map<std::string, std::optional<std::string>> m_saved;
};

// Whether path lies inside the system's temporary folder (symbolic links resolved).
bool insideTemporaryFolder(const std::filesystem::path& path);

struct ProcessResult {
    int exitCode = -1; // exit status, or -signal when killed by a signal
    std::string out;
    std::string err;
    bool timedOut = false;
};

struct ProcessOptions {
    std::map<std::string, std::string> env; // added to (or replacing in) the environment
    std::filesystem::path workingDir;       // empty: the current one
    std::string input;                      // written to standard input, then closed
    std::chrono::milliseconds timeout{30000};
};

// Runs a program to its end (killed after the time-out) and captures its output.
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// A program left running in the background; killed (SIGKILL) on destruction unless
// waited for.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    int pid() const { return m_pid; }
    bool running();
    void signal(int sig);
    // Waits for the end: the exit result, or nothing on time-out.
    std::optional<ProcessResult> wait(std::chrono::milliseconds timeout);
    // Output read so far (the process's standard error and output go to files).
    std::string err() const;
    std::string out() const;

private:
    int m_pid = -1;
    std::filesystem::path m_outFile;
    std::filesystem::path m_errFile;
    std::optional<ProcessResult> m_result;
};

// Folder of the product files (build/bin) and of the test-only modules.
std::filesystem::path binDir();
std::filesystem::path testModulesDir();
// This test executable's own path (for tests that re-run themselves as a child process).
std::filesystem::path selfPath();

// A loopback address of its own for a test that must listen on a fixed port such as 80:
// 127.x.y.z chosen from the process id and a counter.
std::string uniqueLoopbackAddress();

// Polls until pred() holds or the time runs out; returns whether it held.
template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace testsupport
