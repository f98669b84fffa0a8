#pragma once
// A real upstream proxy for the chain tests and the benchmark: one tinyproxy process of
// our own (no daemon mode, its own configuration and log in a scratch folder) on a
// loopback port, allowed to CONNECT to the ports given.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TinyProxy {
public:
    // Whether the tinyproxy program is installed (scripts/install-deps.sh --tests).
    static bool available();

    TinyProxy(const std::filesystem::path& folder, int port, const std::vector<int>& connectPorts);
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    // Starts the process and waits until it accepts connections; false when it did not
    // come up within a few seconds.
    bool start();
    int port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // CONNECT requests logged so far.
    int connectRequests() const;
    // Requests of any method logged so far.
    int requests() const;
    std::string log() const;

private:
    std::filesystem::path m_folder;
    int m_port;
    int m_pid = -1;
};

} // namespace testsupport
