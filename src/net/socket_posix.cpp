// BSD sockets for the bulletin exchange.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include "net/socket_platform.h"

namespace net_platform {
namespace {

const int kShutBoth = SHUT_RDWR;
const int kSendFlags = MSG_NOSIGNAL;  // a peer that has gone must not raise SIGPIPE
// The longest single wait, so that a cancel request is seen soon.
const int kSliceMs = 50;

int Native(SocketHandle s)
{
    return static_cast<int>(s);
}
SocketHandle MakeSocket(const addrinfo* ai)
{
    return socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
}
bool SetNonBlocking(SocketHandle s)
{
    const int flags = fcntl(Native(s), F_GETFL, 0);
    return flags >= 0 && fcntl(Native(s), F_SETFL, flags | O_NONBLOCK) == 0;
}
bool ConnectInProgress()
{
    return errno == EINPROGRESS || errno == EINTR;
}

}  // namespace

bool CloseSocket(SocketHandle s)
{
    return close(Native(s)) == 0;
}

// One wait of at most sliceMs: 1 ready, 0 not yet, -1 failed.
int PollOnce(SocketHandle handle, bool wantWrite, int sliceMs)
{
    pollfd pfd = {Native(handle), static_cast<short>(wantWrite ? POLLOUT : POLLIN), 0};
    const int n = poll(&pfd, 1, sliceMs);
    if (n < 0)
        return errno == EINTR ? 0 : -1;
    return n > 0 ? 1 : 0;  // errors and hang-ups too: the next call reports them
}

#include "net/socket_common.inc"

}  // namespace net_platform
