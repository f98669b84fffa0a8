#pragma once
// Winsock names over BSD sockets, as far as the suite uses them.

#include <platform/WinTypes.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
constexpr int SD_RECEIVE = SHUT_RD;
constexpr int SD_SEND = SHUT_WR;
constexpr int SD_BOTH = SHUT_RDWR;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};
using LPWSADATA = WSADATA*;

// No library to initialise on Linux: both succeed (the version asked for is echoed).
int WSAStartup(WORD version, LPWSADATA data) noexcept;
int WSACleanup() noexcept;
int WSAGetLastError() noexcept;
int closesocket(SOCKET s) noexcept;
// FIONREAD (the bytes waiting to be received) is the one command the suite uses.
int ioctlsocket(SOCKET s, long command, ULONG* argument) noexcept;
