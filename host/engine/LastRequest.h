#pragma once
// The texts of the most recent request that the activity log reads when the main window
// handles 1225 (last user agent, destination, client port) and the local address passed
// to every FilterRequest. Written by connection threads, read by the main thread: all
// behind one lock.

#include <mutex>
#include <string>
#include <string_view>

namespace host {

class LastRequest {
public:
    struct Texts {
        std::string userAgent;
        std::string destination;
        std::string clientPort;
    };

    Texts texts() const;

    void setClientPort(unsigned short port);
    void setDestination(std::string destination);
    // Captures the user agent from a first request and gives back the one that request
    // goes by: its own, or where it names none, the last one captured. Taken in one step,
    // so that a request is never judged by an agent another connection captured
    // meanwhile.
    std::string captureUserAgent(std::string_view request);
    // Captures the user agent and the destination from request text; a header that is
    // absent leaves its text as it was.
    void captureRequest(std::string_view request);

    std::string localAddress() const;
    // Stores the address unless one is already stored (it is set once per process).
    void setLocalAddressOnce(const std::string& address);
    bool hasLocalAddress() const;

private:
    mutable std::mutex m_mutex; // guards every text below
    Texts m_texts;
    std::string m_localAddress;
};

} // namespace host
