#pragma once
// Several chunks taken from a socket with one receive and handed on with one send: the
// first 16,384 bytes received make the first chunk, the next 16,384 the second, and so
// on, each followed by its zero byte. These are the chunks that one receive per chunk
// would give when the bytes are already waiting, at two system calls per batch instead of
// two per chunk. Used for responses, which are the bulk of what a proxy carries. The
// chunks live in a mapping of their own, so their pages go back to the system as soon as
// the connection ends, whatever the allocator keeps, and only pages a receive has used
// take memory.

#include "ChunkBuffer.h"

#include <platform/Sockets.h>

#include <cstddef>

namespace host {

class ChunkBatch {
public:
    static constexpr int ChunkCapacity = ChunkBuffer::Capacity;
    static constexpr int Chunks = 4;
    static constexpr int Capacity = Chunks * ChunkCapacity;

    // Throws std::bad_alloc when the system has no room for the mapping.
    ChunkBatch();
    ~ChunkBatch();
    ChunkBatch(const ChunkBatch&) = delete;
    ChunkBatch& operator=(const ChunkBatch&) = delete;

    // Receives at most Capacity bytes in place of the current ones; the recv result.
    int receive(SOCKET socket);
    // The chunks that hold bytes, and each chunk's bytes (zero-terminated).
    int chunkCount() const { return (m_length + ChunkCapacity - 1) / ChunkCapacity; }
    char* chunk(int index) { return m_bytes + Lead + static_cast<std::size_t>(index) * ChunkSpan; }
    int chunkLength(int index) const;
    bool full() const { return m_length == Capacity; }
    // The bytes the last receive left in its socket; -1 when the socket did not say.
    int waiting() const { return m_waiting; }
    // Sends the first chunks (count of them) in one go; false after a send error. With
    // more, the socket may hold them back until the bytes that follow at once.
    bool sendTo(SOCKET socket, int count, bool more = false);

private:
    static constexpr std::size_t ChunkSpan = ChunkCapacity + 1; // a chunk and its zero
    // The first chunk starts this far into the mapping, not at a page's beginning: chunks
    // that start where a page starts made downloads a third slower (672 against 1,063 MB/s),
    // most likely because the kernel's copies then meet their source at the same place
    // within a page.
    static constexpr std::size_t Lead = 2112;
    static constexpr std::size_t MappingSize = Lead + Chunks * ChunkSpan;

    char* m_bytes = nullptr;
    int m_length = 0;
    int m_waiting = -1;
};

} // namespace host
