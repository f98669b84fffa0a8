#pragma once
// The engine tests' fixture: a prefix whose registry names the fake Chain (and, when
// asked, the fake Filters) module, the module table, the shared state and one proxy
// server on a free port, plus a small blocking client.

#include "core/ModuleTable.h"
#include "engine/ProxyControl.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <OriginServer.h>
#include <TestSupport.h>
#include <UserAgents.h>
#include <poll.h>

#include <chrono>
#include <memory>
#include <string>

namespace enginetest {

// A blocking loopback client with a receive time-out.
class Client {
public:
    explicit Client(int port, const char* address = "127.0.0.1")
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<unsigned short>(port));
        inet_pton(AF_INET, address, &to.sin_addr);
        m_connected = ::connect(m_socket, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    ~Client() { ::close(m_socket); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return m_connected; }
    int socket() const { return m_socket; }
    unsigned short localPort() const
    {
        sockaddr_in local{};
        socklen_t size = sizeof local;
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &size);
        return ntohs(local.sin_port);
    }
    bool send(const std::string& bytes)
    {
        return ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // Reads until count bytes have arrived, the peer closed or the time ran out.
    std::string receive(std::size_t count, int timeoutMs = 5000)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_pending.size() < count && !m_closed) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            end - std::chrono::steady_clock::now())
                                            .count());
            pollfd p{m_socket, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, left) <= 0) {
                break;
            }
            char buffer[65536];
            ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
            if (got <= 0) {
                m_closed = true;
                break;
            }
            m_pending.append(buffer, static_cast<std::size_t>(got));
        }
        std::size_t n = std::min(count, m_pending.size());
        std::string out = m_pending.substr(0, n);
        m_pending.erase(0, n);
        return out;
    }
    // One HTTP response with a Content-Length; its body, or "" on failure.
    std::string responseBody(int timeoutMs = 5000)
    {
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos) {
            std::string byte = receive(1, timeoutMs);
            if (byte.empty()) {
                return {};
            }
            head += byte;
        }
        std::size_t at = head.find("Content-Length: ");
        std::size_t length = at == std::string::npos ? 0 : std::stoul(head.substr(at + 16));
        return receive(length, timeoutMs);
    }
    // Whether the proxy closed the connection (within the time).
    bool closedByPeer(int timeoutMs = 5000)
    {
        receive(std::string::npos, timeoutMs);
        return m_closed;
    }

private:
    int m_socket = -1;
    bool m_connected = false;
    bool m_closed = false;
    std::string m_pending;
};

inline const char* InternetExplorer = testsupport::agents::InternetExplorer6;

// "GET http://<host><path> HTTP/1.1" with the Host line and the user agent.
inline std::string proxyRequest(const std::string& host, const std::string& path,
                                const std::string& userAgent = InternetExplorer,
                                const std::string& extraHeaders = {})
{
    return "GET http://" + host + path + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: " + userAgent + "\r\n" + extraHeaders + "\r\n";
}

inline std::string originRequest(const std::string& host, const std::string& path,
                                 const std::string& userAgent = InternetExplorer,
                                 const std::string& extraHeaders = {})
{
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + userAgent + "\r\n" +
           extraHeaders + "\r\n";
}

class EngineTest : public testsupport::PrefixTest {
protected:
    using SetTargetFn = void (*)(const char*, int);
    using CallsFn = int (*)(char*, int);
    using SetModeFn = void (*)(int, unsigned);
    using CountFn = int (*)(int);
    using LocalAddressFn = int (*)(char*, int);
    enum FilterMode { Copy = 0, Mark = 1, Long = 2, Null = 3, ZeroLength = 4 };

    void SetUp() override
    {
        m_port = testsupport::freePort();
        settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
        main.writeDword("PROXYPORT", static_cast<DWORD>(m_port));
        main.writeDword("ANONYMITYLEVEL", 0xFFFFFFFF);
        registerModule(settings::ChainKey, "FakeChain");
    }

    void TearDown() override
    {
        m_server.reset();
        m_state.reset();
        m_modules.reset();
    }

    static void registerModule(const char* key, const char* name)
    {
        auto file = testsupport::testModulesDir() / ("host_testmodule_" + std::string(name)) /
                    (std::string(name) + ".dll");
        settings::Key::create(HKEY_LOCAL_MACHINE, key)
            .writeString("PathName", platform::toDosPath(file).str());
    }

    // The fake Filters with request and response filtering switched as asked.
    void useFilters(bool request, bool response)
    {
        registerModule(settings::FiltersKey, "FakeFilters");
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::RequestKey)
            .writeDword(nullptr, request ? 1 : 0);
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::ResponseKey)
            .writeDword(nullptr, response ? 1 : 0);
    }

    // Loads the modules and starts the server; false when either failed.
    bool start()
    {
        m_modules = std::make_unique<host::ModuleTable>();
        if (m_modules->load() != host::ModuleTable::LoadOutcome::Loaded) {
            return false;
        }
        m_state = std::make_unique<host::ProxyState>(*m_modules);
        m_server = std::make_unique<host::ProxyServer>(*m_state);
        return host::startProxy(*m_server) == 1;
    }

    template <typename Fn> Fn chainExport(const char* name) const
    {
        return m_modules->lookup<Fn>(host::Slot::Chain, name);
    }
    template <typename Fn> Fn filtersExport(const char* name) const
    {
        return m_modules->lookup<Fn>(host::Slot::Filters, name);
    }
    void setUpstream(const std::string& address, int port)
    {
        chainExport<SetTargetFn>("TestChainSetTarget")(address.c_str(), port);
    }
    std::string chainCalls() const
    {
        char text[4096];
        chainExport<CallsFn>("TestChainCalls")(text, sizeof text);
        return text;
    }
    void setFilterMode(FilterMode mode, unsigned longLength = 20000)
    {
        filtersExport<SetModeFn>("TestFiltersSetMode")(mode, longLength);
    }
    int filterRequests() const { return filtersExport<CountFn>("TestFiltersCount")(0); }
    int filterResponses() const { return filtersExport<CountFn>("TestFiltersCount")(1); }
    int outstandingFilterBuffers() const { return filtersExport<CountFn>("TestFiltersCount")(2); }
    int filteredResponseBytes() const { return filtersExport<CountFn>("TestFiltersCount")(3); }
    // Response chunks handed to the filter over 16,384 bytes long or without their zero.
    int badResponseChunks() const { return filtersExport<CountFn>("TestFiltersCount")(4); }
    std::string filterLocalAddress() const
    {
        char text[64];
        filtersExport<LocalAddressFn>("TestFiltersLocalAddress")(text, sizeof text);
        return text;
    }
    // Waits until every connection thread has ended.
    bool connectionsEnded(int timeoutMs = 5000)
    {
        return m_state->connections.waitIdle(std::chrono::milliseconds(timeoutMs));
    }

    platform::ScopedScriptedPresenter m_boxes;
    int m_port = 0;
    std::unique_ptr<host::ModuleTable> m_modules;
    std::unique_ptr<host::ProxyState> m_state;
    std::unique_ptr<host::ProxyServer> m_server;
};

} // namespace enginetest
