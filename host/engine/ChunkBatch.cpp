#include "ChunkBatch.h"

#include "ChunkIo.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <new>

namespace host {

ChunkBatch::ChunkBatch()
{
    void* bytes =
        mmap(nullptr, MappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (bytes == MAP_FAILED) {
        throw std::bad_alloc();
    }
    m_bytes = static_cast<char*>(bytes);
}

ChunkBatch::~ChunkBatch()
{
    munmap(m_bytes, MappingSize);
}

int ChunkBatch::receive(SOCKET socket)
{
    std::array<iovec, Chunks> spans{};
    for (int i = 0; i < Chunks; ++i) {
        spans[static_cast<std::size_t>(i)] = {chunk(i), ChunkCapacity};
    }
    const int received = chunkio::receive(socket, spans.data(), Chunks, m_waiting);
    m_length = std::max(received, 0);
    for (int i = 0; i < chunkCount(); ++i) {
        chunk(i)[chunkLength(i)] = '\0';
    }
    return received;
}

int ChunkBatch::chunkLength(int index) const
{
    return std::clamp(m_length - index * ChunkCapacity, 0, ChunkCapacity);
}

bool ChunkBatch::sendTo(SOCKET socket, int count, bool more)
{
    std::array<iovec, Chunks> spans{};
    count = std::clamp(count, 0, chunkCount());
    for (int i = 0; i < count; ++i) {
        spans[static_cast<std::size_t>(i)] = {chunk(i), static_cast<std::size_t>(chunkLength(i))};
    }
    return chunkio::sendAll(socket, spans.data(), count, more);
}

} // namespace host
