#pragma once
// The bytes of one receive (at most 16,384) followed by a zero byte, so that filters and
// searches can treat them as text. A filtered request longer than that is kept whole in
// a buffer of its own, so no request bytes are lost.

#include <common/PluginContract.h>
#include <platform/Sockets.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class ModuleTable;

class ChunkBuffer {
public:
    static constexpr int Capacity = contract::ChunkSize;

    char* data() { return m_large.empty() ? m_bytes.data() : m_large.data(); }
    const char* data() const { return m_large.empty() ? m_bytes.data() : m_large.data(); }
    int length() const { return m_length; }
    std::string_view text() const { return {data(), static_cast<std::size_t>(m_length)}; }
    bool full() const { return m_length >= Capacity; }

    // Receives one chunk in place of the current data; the recv result. Where the socket
    // reports it (reportWaiting), waiting() then tells the bytes left behind.
    int receive(SOCKET socket);
    // Asks a TCP socket to report, with each receive, the bytes still waiting after it.
    static void reportWaiting(SOCKET socket);
    // The bytes the last receive left in its socket; -1 when the socket did not say.
    int waiting() const { return m_waiting; }
    // Receives into the free space after the current data (the first-request
    // accumulation); the recv result. Must not be called when full().
    int receiveMore(SOCKET socket);

    // FilterRequest over the data (the module's buffer goes back through
    // FreeFilteredDataBuf). A null result or a zero length leaves the data as the filter
    // left it.
    void filterRequest(const ModuleTable& modules, const std::string& localAddress);
    // Cuts "http://<host>" down to origin form.
    void rewriteToOriginForm(std::string_view host);
    // Sends all the data; false after a send error. With more, the socket is told that
    // more data follows at once, so that it may hold these bytes and send them with the
    // next ones (one delivery to the peer instead of several).
    bool sendTo(SOCKET socket, bool more = false) const;

private:
    void setLength(int length);

    std::array<char, Capacity + 1> m_bytes{};
    std::vector<char> m_large; // a filtered request over Capacity bytes, zero-terminated
    int m_length = 0;
    int m_waiting = -1;
};

} // namespace host
