#include "LastRequest.h"

#include "RequestText.h"

namespace host {

LastRequest::Texts LastRequest::texts() const
{
    std::lock_guard lock(m_mutex);
    return m_texts;
}

void LastRequest::setClientPort(unsigned short port)
{
    std::string text = std::to_string(port);
    std::lock_guard lock(m_mutex);
    m_texts.clientPort = std::move(text);
}

void LastRequest::setDestination(std::string destination)
{
    std::lock_guard lock(m_mutex);
    m_texts.destination = std::move(destination);
}

std::string LastRequest::captureUserAgent(std::string_view request)
{
    auto agent = request::captureUserAgent(request);
    std::lock_guard lock(m_mutex);
    if (agent) {
        m_texts.userAgent = *agent;
        return std::move(*agent);
    }
    return m_texts.userAgent;
}

void LastRequest::captureRequest(std::string_view request)
{
    auto agent = request::captureUserAgent(request);
    auto destination = request::captureDestination(request);
    std::lock_guard lock(m_mutex);
    if (agent) {
        m_texts.userAgent = std::move(*agent);
    }
    if (destination) {
        m_texts.destination = std::move(*destination);
    }
}

std::string LastRequest::localAddress() const
{
    std::lock_guard lock(m_mutex);
    return m_localAddress;
}

void LastRequest::setLocalAddressOnce(const std::string& address)
{
    std::lock_guard lock(m_mutex);
    if (m_localAddress.empty()) {
        m_localAddress = address;
    }
}

bool LastRequest::hasLocalAddress() const
{
    std::lock_guard lock(m_mutex);
    return !m_localAddress.empty();
}

} // namespace host
