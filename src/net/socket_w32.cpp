// Winsock for the bulletin exchange; the program starts Winsock once, at its start.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

#include "net/socket_platform.h"

namespace net_platform {
namespace {

const int kShutBoth = SD_BOTH;
const int kSendFlags = 0;
// The longest single wait, so that a cancel request is seen soon.
const int kSliceMs = 50;

SOCKET Native(SocketHandle s)
{
    return static_cast<SOCKET>(s);
}
SocketHandle MakeSocket(const addrinfo* ai)
{
    const SOCKET s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}
bool SetNonBlocking(SocketHandle s)
{
    u_long on = 1;
    return ioctlsocket(Native(s), FIONBIO, &on) == 0;
}
bool ConnectInProgress()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace

bool CloseSocket(SocketHandle s)
{
    return closesocket(Native(s)) == 0;
}

// One wait of at most sliceMs: 1 ready, 0 not yet, -1 failed.
int PollOnce(SocketHandle handle, bool wantWrite, int sliceMs)
{
    const SOCKET s = Native(handle);
    // A failed non-blocking connect shows in the exception set, not the write set.
    fd_set main, except;
    FD_ZERO(&main);
    FD_ZERO(&except);
    FD_SET(s, &main);
    FD_SET(s, &except);
    timeval tv = {sliceMs / 1000, (sliceMs % 1000) * 1000};
    const int n = select(0, wantWrite ? nullptr : &main, wantWrite ? &main : nullptr, &except, &tv);
    if (n == SOCKET_ERROR)
        return -1;
    return n > 0 ? 1 : 0;  // a failed connect is ready too: SO_ERROR reports it
}

#include "net/socket_common.inc"

}  // namespace net_platform
