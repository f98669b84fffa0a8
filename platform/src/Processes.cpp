// Starting programs: ShellExecute, WinExec, CreateProcess, and the handles of the
// processes they start.

#include "Handles.h"
#include "KernelObjectsShared.h"

#include <platform/KernelObjects.h>
#include <platform/Processes.h>
#include <platform/Text.h>
#include <platform/Windows.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

extern char** environ;

namespace platform {
namespace fs = std::filesystem;

namespace {

// What the reaper thread of a started program learns: whether and how it ended.
struct ProcessState {
    std::mutex mutex; // guards ended and exitCode
    std::condition_variable endedSignal;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD terminateCode = 0;
    bool terminated = false;
};

class ProcessObject : public detail::WaitableObject {
public:
    ProcessObject(detail::HandleKind kind, pid_t pid, std::shared_ptr<ProcessState> state)
        : WaitableObject(kind), m_pid(pid), m_state(std::move(state))
    {}
    bool wait(std::uint32_t timeoutMs) override
    {
        std::unique_lock lock(m_state->mutex);
        if (timeoutMs == INFINITE) {
            m_state->endedSignal.wait(lock, [&] { return m_state->ended; });
            return true;
        }
        return m_state->endedSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                             [&] { return m_state->ended; });
    }
    pid_t pid() const { return m_pid; }
    const std::shared_ptr<ProcessState>& state() const { return m_state; }

private:
    pid_t m_pid;
    std::shared_ptr<ProcessState> m_state;
};

struct Started {
    pid_t pid = 0;
    std::shared_ptr<ProcessState> state;
};

// A file of that name in the folder: the exact name first, then without regard to case.
std::optional<HostPath> findInFolder(const HostPath& folder, const std::string& name)
{
    std::error_code ec;
    HostPath exact = folder / name;
    if (fs::is_regular_file(exact, ec)) {
        return exact;
    }
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (text::equalsNoCase(entry.path().filename().string(), name) &&
            entry.is_regular_file(ec)) {
            return entry.path();
        }
    }
    return std::nullopt;
}

bool hasFolderPart(std::string_view name)
{
    return name.find_first_of("\\/:") != std::string_view::npos;
}

bool hasExtension(std::string_view name)
{
    auto slash = name.find_last_of("\\/:");
    std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return last.find('.') != std::string_view::npos;
}

// The exit code as Windows programs see it: the status, or 128 + the signal.
DWORD exitCodeOf(int status)
{
    if (WIFEXITED(status)) {
        return static_cast<DWORD>(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return static_cast<DWORD>(128 + WTERMSIG(status));
    }
    return 1;
}

// Starts the program in its own session; a reaper thread collects it when it ends, so no
// zombie is left whether or not anybody waits for it. errno-style code on failure.
Result<Started> spawnProgram(const HostPath& program, const std::vector<std::string>& arguments,
                             const HostPath& workingFolder, int showCommand)
{
    std::vector<std::string> args;
    args.push_back(program.string());
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "UMBRAVIA_SHOWCMD=", 17) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("UMBRAVIA_SHOWCMD=" + std::to_string(showCommand));
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attr, &defaults);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        LONG code = rc == ENOENT    ? ERROR_FILE_NOT_FOUND
                    : rc == EACCES  ? ERROR_ACCESS_DENIED
                    : rc == ENOEXEC ? ERROR_BAD_FORMAT
                    : rc == ENOMEM  ? ERROR_NOT_ENOUGH_MEMORY
                                    : ERROR_PATH_NOT_FOUND;
        return makeError(code, program.string() + ": " + std::strerror(rc));
    }
    auto state = std::make_shared<ProcessState>();
    std::thread([pid, state] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(state->mutex);
        state->exitCode = state->terminated ? state->terminateCode : exitCodeOf(status);
        state->ended = true;
        state->endedSignal.notify_all();
    }).detach();
    return Started{pid, state};
}

// A program file must be something the system can run.
Result<HostPath> checkProgram(const HostPath& path)
{
    if (::access(path.c_str(), X_OK) != 0) {
        return makeError(ERROR_BAD_FORMAT, path.string() + " is not a program");
    }
    return path;
}

// Windows' own tools that the suite runs by their Windows path (C:\WINDOWS\RegEdit.exe,
// C:\WINDOWS\system32\regsvr32.exe) ship with the suite, in its program folder or in
// the folder UMBRAVIA_BIN names (where tests find the built programs). A program
// that is missing from the prefix's Windows or system folder is taken from there.
std::optional<HostPath> findShippedTool(const HostPath& wanted)
{
    std::error_code ec;
    bool inWindowsFolder = false;
    for (const char* folder : {"C:\\WINDOWS", "C:\\WINDOWS\\system32"}) {
        Result<HostPath> host = toHostPath(folder);
        inWindowsFolder =
            inWindowsFolder || (host && fs::equivalent(*host, wanted.parent_path(), ec));
    }
    if (!inWindowsFolder) {
        return std::nullopt;
    }
    std::vector<HostPath> folders{programFolder()};
    if (const char* bin = std::getenv("UMBRAVIA_BIN"); bin != nullptr && *bin != '\0') {
        folders.emplace_back(bin);
    }
    for (const HostPath& folder : folders) {
        if (std::optional<HostPath> found = findInFolder(folder, wanted.filename().string())) {
            return found;
        }
    }
    return std::nullopt;
}

Result<HostPath> findDosProgram(std::string_view name)
{
    Result<HostPath> host = toHostPath(name);
    if (!host) {
        return makeError(ERROR_PATH_NOT_FOUND, host.error().message);
    }
    std::error_code ec;
    if (fs::is_regular_file(*host, ec)) {
        return checkProgram(*host);
    }
    if (!hasExtension(name)) {
        Result<HostPath> withExe = toHostPath(std::string(name) + ".exe");
        if (withExe && fs::is_regular_file(*withExe, ec)) {
            return checkProgram(*withExe);
        }
    }
    if (hasExtension(name)) {
        if (std::optional<HostPath> shipped = findShippedTool(*host)) {
            return checkProgram(*shipped);
        }
    }
    if (!fs::is_directory(host->parent_path(), ec)) {
        return makeError(ERROR_PATH_NOT_FOUND, "no folder " + host->parent_path().string());
    }
    return makeError(ERROR_FILE_NOT_FOUND, "no program " + std::string(name));
}

std::string searchedFolders()
{
    return "program folder, current folder, system folder";
}

// The program words at the head of a command line: quoted, or the shortest run of
// unquoted words that names a program. The rest are its arguments.
Result<std::pair<HostPath, std::string>> splitProgram(std::string_view commandLine)
{
    std::size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return makeError(ERROR_FILE_NOT_FOUND, "empty command line");
    }
    commandLine.remove_prefix(start);
    if (commandLine.front() == '"') {
        std::size_t close = commandLine.find('"', 1);
        std::string_view name = commandLine.substr(
            1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        std::string rest(close == std::string_view::npos ? std::string_view()
                                                         : commandLine.substr(close + 1));
        Result<HostPath> program = findProgram(name);
        if (!program) {
            return program.error();
        }
        return std::make_pair(*program, rest);
    }
    Error firstError = makeError(ERROR_FILE_NOT_FOUND, "no program in " + std::string(commandLine));
    std::size_t pos = 0;
    bool first = true;
    while (true) {
        std::size_t blank = commandLine.find_first_of(" \t", pos);
        std::string_view name = commandLine.substr(0, blank);
        Result<HostPath> program = findProgram(name);
        if (program) {
            std::string rest(blank == std::string_view::npos ? std::string_view()
                                                             : commandLine.substr(blank));
            return std::make_pair(*program, rest);
        }
        if (first) {
            firstError = program.error();
            first = false;
        }
        if (blank == std::string_view::npos) {
            return firstError;
        }
        pos = blank + 1;
    }
}

bool isWebAddress(std::string_view target)
{
    std::size_t colon = target.find(':');
    if (colon != std::string_view::npos && colon >= 2) {
        std::string_view scheme = target.substr(0, colon);
        return std::all_of(scheme.begin(), scheme.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        });
    }
    return target.size() > 4 && text::equalsNoCase(target.substr(0, 4), "www.");
}

// The desktop's opener for documents, folders and web addresses.
std::optional<HostPath> opener()
{
    const char* configured = std::getenv("UMBRAVIA_OPEN_COMMAND");
    std::string name = configured != nullptr && *configured != '\0' ? configured : "xdg-open";
    if (name.find('/') != std::string::npos) {
        return ::access(name.c_str(), X_OK) == 0 ? std::optional<HostPath>(name) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        std::size_t colon = dirs.find(':');
        HostPath candidate = HostPath(std::string(dirs.substr(0, colon))) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return std::nullopt;
}

HINSTANCE shellResult(int code)
{
    return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(code));
}

int shellError(LONG code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
        return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
        return SE_ERR_ACCESSDENIED;
    case ERROR_NOT_ENOUGH_MEMORY:
        return SE_ERR_OOM;
    default:
        return static_cast<int>(ERROR_BAD_FORMAT);
    }
}

HINSTANCE openWithDesktop(const std::string& target, int showCommand)
{
    std::optional<HostPath> program = opener();
    if (!program) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return shellResult(SE_ERR_NOASSOC);
    }
    auto started = spawnProgram(*program, {target}, {}, showCommand);
    if (!started) {
        SetLastError(started.error().code);
        return shellResult(SE_ERR_NOASSOC);
    }
    return shellResult(42);
}

HINSTANCE shellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                       std::string_view directory, int showCommand)
{
    if (!verb.empty() && !text::equalsNoCase(verb, "open") &&
        !text::equalsNoCase(verb, "explore")) {
        return shellResult(SE_ERR_NOASSOC);
    }
    if (file.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return shellResult(SE_ERR_FNF);
    }
    if (isWebAddress(file)) {
        std::string address(file);
        if (text::equalsNoCase(file.substr(0, 4), "www.")) {
            address = "http://" + address;
        }
        return openWithDesktop(address, showCommand);
    }
    HostPath folder;
    if (!directory.empty()) {
        Result<HostPath> host = toHostPath(directory);
        std::error_code ec;
        if (!host || !fs::is_directory(*host, ec)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return shellResult(SE_ERR_PNF);
        }
        folder = *host;
    }
    // Documents and folders go to the desktop's opener; programs are started.
    std::error_code ec;
    Result<HostPath> target = hasFolderPart(file) ? toHostPath(file) : HostPath(folder / file);
    if (target && (fs::is_directory(*target, ec) ||
                   (fs::is_regular_file(*target, ec) && !text::endsWithNoCase(file, ".exe")))) {
        return openWithDesktop(target->string(), showCommand);
    }
    // A bare name is looked for in the folder given first, as ShellExecute does.
    Result<HostPath> program = makeError(ERROR_FILE_NOT_FOUND, "");
    if (!folder.empty() && !hasFolderPart(file)) {
        for (const std::string& name : {std::string(file), std::string(file) + ".exe"}) {
            if (std::optional<HostPath> found = findInFolder(folder, name); found && !program) {
                program = checkProgram(*found);
            }
        }
    }
    if (!program) {
        program = findProgram(file);
    }
    if (!program) {
        SetLastError(program.error().code);
        return shellResult(shellError(program.error().code));
    }
    auto started = spawnProgram(*program, splitCommandLine(parameters), folder, showCommand);
    if (!started) {
        SetLastError(started.error().code);
        return shellResult(shellError(started.error().code));
    }
    return shellResult(42);
}

std::string_view orEmpty(LPCSTR text)
{
    return text != nullptr ? std::string_view(text) : std::string_view();
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i >= line.size()) {
            return words;
        }
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '\\') {
                std::size_t n = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++n;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    word.append(n / 2, '\\');
                    if (n % 2 == 1) {
                        word += '"';
                        ++i;
                    }
                } else {
                    word.append(n, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    word += '"'; // "" inside quotes is one quote
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                word += line[i++];
            }
        }
        words.push_back(std::move(word));
    }
}

Result<HostPath> findProgram(std::string_view name)
{
    if (name.empty()) {
        return makeError(ERROR_FILE_NOT_FOUND, "no program named");
    }
    if (hasFolderPart(name)) {
        return findDosProgram(name);
    }
    std::vector<std::string> names{std::string(name)};
    if (!hasExtension(name)) {
        names.insert(names.begin(), std::string(name) + ".exe");
    }
    std::vector<HostPath> folders{programFolder(), fs::current_path()};
    if (Result<HostPath> system = toHostPath("C:\\WINDOWS\\system32")) {
        folders.push_back(*system);
    }
    for (const HostPath& folder : folders) {
        for (const std::string& candidate : names) {
            if (std::optional<HostPath> found = findInFolder(folder, candidate)) {
                return checkProgram(*found);
            }
        }
    }
    return makeError(ERROR_FILE_NOT_FOUND,
                     "no program " + std::string(name) + " in the " + searchedFolders());
}

int startupShowCommand()
{
    const char* show = std::getenv("UMBRAVIA_SHOWCMD");
    if (show == nullptr || *show == '\0') {
        return SW_SHOWNORMAL;
    }
    return std::atoi(show);
}

} // namespace platform

HINSTANCE ShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                       int showCommand) noexcept
{
    try {
        return platform::shellExecute(platform::orEmpty(verb), platform::orEmpty(file),
                                      platform::orEmpty(parameters), platform::orEmpty(directory),
                                      showCommand);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

UINT WinExec(LPCSTR commandLine, UINT showCommand) noexcept
{
    try {
        auto split = platform::splitProgram(platform::orEmpty(commandLine));
        if (!split) {
            SetLastError(split.error().code);
            return static_cast<UINT>(split.error().code);
        }
        auto started =
            platform::spawnProgram(split->first, platform::splitCommandLine(split->second), {},
                                   static_cast<int>(showCommand));
        if (!started) {
            SetLastError(started.error().code);
            return static_cast<UINT>(started.error().code);
        }
        return 33;
    } catch (...) {
        return 0;
    }
}

BOOL CreateProcess(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES,
                   LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID environment, LPCSTR currentDirectory,
                   LPSTARTUPINFO startupInfo, LPPROCESS_INFORMATION processInformation) noexcept
{
    using namespace platform;
    try {
        if (environment != nullptr || (applicationName == nullptr && commandLine == nullptr)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        HostPath program;
        std::vector<std::string> arguments;
        if (applicationName != nullptr) {
            Result<HostPath> found = findProgram(applicationName);
            if (!found) {
                SetLastError(found.error().code);
                return FALSE;
            }
            program = *found;
            arguments = splitCommandLine(orEmpty(commandLine));
            if (!arguments.empty()) {
                arguments.erase(arguments.begin()); // the program's own name
            }
        } else {
            auto split = splitProgram(commandLine);
            if (!split) {
                SetLastError(split.error().code);
                return FALSE;
            }
            program = split->first;
            arguments = splitCommandLine(split->second);
        }
        HostPath folder;
        if (currentDirectory != nullptr) {
            Result<HostPath> host = toHostPath(currentDirectory);
            std::error_code ec;
            if (!host || !fs::is_directory(*host, ec)) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return FALSE;
            }
            folder = *host;
        }
        int show = SW_SHOWNORMAL;
        if (startupInfo != nullptr && (startupInfo->dwFlags & STARTF_USESHOWWINDOW) != 0) {
            show = startupInfo->wShowWindow;
        }
        auto started = spawnProgram(program, arguments, folder, show);
        if (!started) {
            SetLastError(started.error().code);
            return FALSE;
        }
        if (processInformation != nullptr) {
            using detail::HandleKind;
            processInformation->hProcess = detail::registerHandle(
                std::make_shared<ProcessObject>(HandleKind::Process, started->pid, started->state));
            processInformation->hThread = detail::registerHandle(
                std::make_shared<ProcessObject>(HandleKind::Thread, started->pid, started->state));
            processInformation->dwProcessId = static_cast<DWORD>(started->pid);
            processInformation->dwThreadId = static_cast<DWORD>(started->pid);
        }
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) noexcept
{
    auto object = platform::detail::lookupHandleAs<platform::ProcessObject>(
        process, platform::detail::HandleKind::Process);
    if (!object || exitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(object->state()->mutex);
    *exitCode = object->state()->exitCode;
    return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) noexcept
{
    auto object = platform::detail::lookupHandleAs<platform::ProcessObject>(
        process, platform::detail::HandleKind::Process);
    if (!object) {
        return FALSE;
    }
    {
        std::lock_guard lock(object->state()->mutex);
        if (object->state()->ended) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        object->state()->terminated = true;
        object->state()->terminateCode = exitCode;
        // Still ours to signal: the reaper has not collected the pid yet.
        ::kill(object->pid(), SIGKILL);
    }
    return TRUE;
}
