#include "ChunkBuffer.h"

#include "ChunkIo.h"
#include "RequestText.h"
#include "core/ModuleTable.h"

#include <algorithm>
#include <cstring>

namespace host {

void ChunkBuffer::setLength(int length)
{
    m_length = length;
    data()[length] = '\0';
}

int ChunkBuffer::receive(SOCKET socket)
{
    m_large.clear();
    iovec bytes{m_bytes.data(), Capacity};
    const int received = chunkio::receive(socket, &bytes, 1, m_waiting);
    setLength(std::max(received, 0));
    return received;
}

void ChunkBuffer::reportWaiting(SOCKET socket)
{
    chunkio::reportWaiting(socket);
}

int ChunkBuffer::receiveMore(SOCKET socket)
{
    int room = Capacity - m_length;
    int received = static_cast<int>(recv(socket, m_bytes.data() + m_length, room, 0));
    if (received > 0) {
        setLength(m_length + received);
    }
    return received;
}

void ChunkBuffer::filterRequest(const ModuleTable& modules, const std::string& localAddress)
{
    if (modules.filterRequest == nullptr) {
        return;
    }
    unsigned int newLength = 0;
    char* filtered = modules.filterRequest(data(), m_length, &newLength, localAddress.c_str());
    if (filtered == nullptr) {
        return;
    }
    if (newLength > static_cast<unsigned int>(Capacity)) {
        m_large.assign(filtered, filtered + newLength);
        m_large.push_back('\0');
        m_length = static_cast<int>(newLength);
    } else if (newLength > 0) {
        std::memcpy(m_bytes.data(), filtered, newLength);
        m_large.clear();
        setLength(static_cast<int>(newLength));
    }
    if (modules.freeFilteredDataBuf != nullptr) {
        modules.freeFilteredDataBuf(filtered);
    }
}

void ChunkBuffer::rewriteToOriginForm(std::string_view host)
{
    m_length = static_cast<int>(
        request::rewriteToOriginForm(data(), static_cast<std::size_t>(m_length), host));
}

bool ChunkBuffer::sendTo(SOCKET socket, bool more) const
{
    iovec bytes{const_cast<char*>(data()), static_cast<std::size_t>(m_length)};
    return chunkio::sendAll(socket, &bytes, 1, more);
}

} // namespace host
