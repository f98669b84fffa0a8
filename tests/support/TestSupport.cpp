#include "TestSupport.h"

#include <platform/Environment.h>
#include <platform/Shell.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace testsupport {
namespace fs = std::filesystem;

namespace {

fs::path makeTempDir(const char* stem)
{
    std::string pattern = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& extra)
{
    std::map<std::string, std::string> all;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq != std::string::npos) {
            all[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    for (const auto& [k, v] : extra) {
        all[k] = v;
    }
    std::vector<std::string> out;
    for (const auto& [k, v] : all) {
        out.push_back(k + "=" + v);
    }
    return out;
}

int spawn(const std::vector<std::string>& argv, const ProcessOptions& options, int inFd, int outFd,
          int errFd)
{
    std::vector<std::string> env = mergedEnvironment(options.env);
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
        if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) {
            _exit(126);
        }
        execve(argp[0], argp.data(), envp.data());
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    return pid;
}

ProcessResult resultFromStatus(int status)
{
    ProcessResult r;
    if (WIFEXITED(status)) {
        r.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        r.exitCode = -WTERMSIG(status);
    }
    return r;
}

} // namespace

TempPrefix::TempPrefix()
    : m_path(makeTempDir("umbravia-prefix")), m_home(std::make_unique<TempHome>())
{
    platform::setPrefix(m_path);
}

TempPrefix::~TempPrefix()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

const fs::path& TempPrefix::home() const
{
    return m_home->path();
}

fs::path TempPrefix::configHome() const
{
    return m_home->config();
}

fs::path TempPrefix::dataHome() const
{
    return m_home->data();
}

TempDir::TempDir() : m_path(makeTempDir("umbravia-tmp")) {}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

bool insideTemporaryFolder(const std::filesystem::path& path)
{
    std::error_code ec;
    const fs::path temp = fs::weakly_canonical(fs::temp_directory_path(), ec);
    const fs::path real = fs::weakly_canonical(path, ec);
    if (ec || temp.empty() || temp == temp.root_path()) {
        return false;
    }
    const auto [end, at] = std::mismatch(temp.begin(), temp.end(), real.begin(), real.end());
    return end == temp.end() && at != real.end();
}

TempHome::TempHome()
{
    const std::map<std::string, std::string> values = env();
    const char* oldHome = std::getenv("HOME");
    if (!insideTemporaryFolder(path()) || (oldHome != nullptr && fs::path(oldHome) == path())) {
        throw std::runtime_error("refusing a home folder outside the temporary folder: " +
                                 path().string());
    }
    for (const auto& [name, value] : values) {
        const char* old = std::getenv(name.c_str());
        m_saved[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    fs::create_directories(config());
    fs::create_directories(data());
}

TempHome::~TempHome()
{
    for (const auto& [name, value] : m_saved) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

std::map<std::string, std::string> TempHome::env() const
{
    return {{"HOME", path().string()},
            {"XDG_CONFIG_HOME", config().string()},
            {"XDG_DATA_HOME", data().string()},
            {"XDG_CACHE_HOME", (path() / ".cache").string()},
            // GSettings in a file of this home, never the session's dconf.
            {"GSETTINGS_BACKEND", "keyfile"}};
}

TempTrash::TempTrash()
{
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        m_oldDataHome = old;
    }
    ::setenv("XDG_DATA_HOME", (m_dir.path() / "data").c_str(), 1);
    writeFile(m_dir.path() / "mounts", "");
    platform::setMountTableForTests(m_dir.path() / "mounts");
}

TempTrash::~TempTrash()
{
    platform::setMountTableForTests({});
    if (m_oldDataHome) {
        ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options)
{
    ChildProcess child(argv, options);
    auto result = child.wait(options.timeout);
    if (!result) {
        child.signal(SIGKILL);
        result = child.wait(std::chrono::milliseconds(5000));
        if (result) {
            result->timedOut = true;
        }
        return result.value_or(ProcessResult{-1, child.out(), child.err(), true});
    }
    return *result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options)
{
    static std::atomic<int> counter{0};
    fs::path dir = fs::temp_directory_path();
    std::string stem =
        "umbravia-child-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    m_outFile = dir / (stem + ".out");
    m_errFile = dir / (stem + ".err");
    int outFd = open(m_outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int errFd = open(m_errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    m_pid = spawn(argv, options, pipeFds[0], outFd, errFd);
    close(pipeFds[0]);
    if (!options.input.empty()) {
        ssize_t ignored = write(pipeFds[1], options.input.data(), options.input.size());
        (void)ignored;
    }
    close(pipeFds[1]);
    close(outFd);
    close(errFd);
}

ChildProcess::~ChildProcess()
{
    if (!m_result && m_pid > 0) {
        kill(-m_pid, SIGKILL);
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    std::error_code ec;
    fs::remove(m_outFile, ec);
    fs::remove(m_errFile, ec);
}

bool ChildProcess::running()
{
    if (m_result) {
        return false;
    }
    int status = 0;
    pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
        m_result = resultFromStatus(status);
        m_result->out = out();
        m_result->err = err();
        return false;
    }
    return true;
}

void ChildProcess::signal(int sig)
{
    if (!m_result && m_pid > 0) {
        kill(m_pid, sig);
    }
}

std::optional<ProcessResult> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= end) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return m_result;
}

std::string ChildProcess::err() const
{
    return readFile(m_errFile);
}
std::string ChildProcess::out() const
{
    return readFile(m_outFile);
}

fs::path binDir()
{
    if (const char* bin = std::getenv("UMBRAVIA_BIN")) {
        return bin;
    }
    return selfPath().parent_path().parent_path() / "bin";
}

fs::path testModulesDir()
{
    if (const char* dir = std::getenv("UMBRAVIA_TESTMODULES")) {
        return dir;
    }
    return selfPath().parent_path().parent_path() / "testmodules";
}

fs::path selfPath()
{
    return fs::read_symlink("/proc/self/exe");
}

std::string uniqueLoopbackAddress()
{
    static std::atomic<unsigned> counter{0};
    unsigned pid = static_cast<unsigned>(getpid());
    unsigned n = counter++;
    unsigned b = 2 + (pid % 250);
    unsigned c = (pid / 250 + n / 250) % 256;
    unsigned d = 2 + (n % 250);
    return "127." + std::to_string(b) + "." + std::to_string(c) + "." + std::to_string(d);
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace testsupport
