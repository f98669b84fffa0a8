// Winsock on BSD sockets: nothing to initialise.

#include <platform/Sockets.h>

#include <cerrno>
#include <cstring>

int WSAStartup(WORD version, LPWSADATA data) noexcept
{
    if (data != nullptr) {
        std::memset(data, 0, sizeof *data);
        data->wVersion = version;
        data->wHighVersion = MAKEWORD(2, 2);
        std::strcpy(data->szDescription, "BSD sockets");
        std::strcpy(data->szSystemStatus, "Running");
    }
    return 0;
}

int WSACleanup() noexcept
{
    return 0;
}

int WSAGetLastError() noexcept
{
    return errno;
}

int closesocket(SOCKET s) noexcept
{
    return ::close(s);
}

int ioctlsocket(SOCKET s, long command, ULONG* argument) noexcept
{
    int value = 0;
    if (argument == nullptr || ::ioctl(s, static_cast<unsigned long>(command), &value) != 0) {
        return SOCKET_ERROR;
    }
    *argument = static_cast<ULONG>(value);
    return 0;
}
