#pragma once

// The BSD socket API under each system's own headers; the calls are the same on both but the
// one that closes a socket.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
inline void closeSocket(SOCKET socket)
{
    closesocket(socket);
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
inline void closeSocket(int socket)
{
    ::close(socket);
}
#endif
