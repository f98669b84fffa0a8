#include "TinyProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

namespace {

constexpr const char* Program = "/usr/bin/tinyproxy";

bool accepts(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

int countLines(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

bool TinyProxy::available()
{
    return ::access(Program, X_OK) == 0;
}

TinyProxy::TinyProxy(const std::filesystem::path& folder, int port,
                     const std::vector<int>& connectPorts)
    : m_folder(folder), m_port(port)
{
    std::filesystem::create_directories(m_folder);
    std::ofstream config(m_folder / "tinyproxy.conf");
    config << "Port " << port << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
           << "MaxClients 64\nLogLevel Connect\nLogFile \"" << (m_folder / "tinyproxy.log").string()
           << "\"\n";
    for (int connectPort : connectPorts) {
        config << "ConnectPort " << connectPort << "\n";
    }
}

TinyProxy::~TinyProxy()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

bool TinyProxy::start()
{
    std::string config = (m_folder / "tinyproxy.conf").string();
    std::string output = (m_folder / "tinyproxy.out").string();
    m_pid = ::fork();
    if (m_pid == 0) {
        FILE* out = std::freopen(output.c_str(), "w", stdout);
        (void)out;
        ::dup2(::fileno(stdout), STDERR_FILENO);
        ::execl(Program, Program, "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_pid < 0) {
        return false;
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        if (accepts(m_port)) {
            return true;
        }
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::string TinyProxy::log() const
{
    std::ifstream in(m_folder / "tinyproxy.log");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int TinyProxy::connectRequests() const
{
    return countLines(log(), "): CONNECT ");
}

int TinyProxy::requests() const
{
    return countLines(log(), "]: Request (file descriptor");
}

} // namespace testsupport
