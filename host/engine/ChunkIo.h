#pragma once
// The two socket calls the relay's buffers make: one receive into several spans, which
// also tells the bytes it left behind, and a send that hands on every byte of several
// spans.

#include <platform/Sockets.h>

#include <sys/uio.h>

namespace host::chunkio {

// Receives into the spans in order (the first is filled before the second gets a byte);
// the recv result. waiting gets the bytes still in the socket after the receive where
// the socket reports them (reportWaiting), otherwise -1.
int receive(SOCKET socket, iovec* spans, int count, int& waiting);

// Asks a TCP socket to report, with each receive, the bytes still waiting after it. Not
// every socket can (a test's socket pair cannot); its receives then report -1.
void reportWaiting(SOCKET socket);

// Sends all bytes of the spans, in order; false after a send error. With more, the socket
// is told that more data follows at once, so that it may hold these bytes and send them
// with the next ones. The spans are used up as they go out.
bool sendAll(SOCKET socket, iovec* spans, int count, bool more);

} // namespace host::chunkio
