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

int Native(SocketHandle s) { return static_cast<int>(s); }
SocketHandle MakeSocket(const addrinfo* ai) { return socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol); }
bool SetNonBlocking(SocketHandle s) {
    const int flags = fcntl(Native(s), F_GETFL, 0);
    return flags >= 0 && fcntl(Native(s), F_SETFL, flags | O_NONBLOCK) == 0;
}
bool ConnectInProgress() { return errno == EINPROGRESS || errno == EINTR; }

}  // namespace

bool CloseSocket(SocketHandle s) { return close(Native(s)) == 0; }

Wait WaitForSocket(SocketHandle handle, bool wantWrite, Clock::time_point deadline,
                   const std::atomic<bool>* pCancel) {
    const int s = static_cast<int>(handle);
    for (;;) {
        if (pCancel && pCancel->load())
            return Wait::TimedOut;
        // Rounded up, so that the wait never ends before the deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Wait::TimedOut;
        const int slice = left < kSliceMs ? static_cast<int>(left) : kSliceMs;
        pollfd pfd = {s, static_cast<short>(wantWrite ? POLLOUT : POLLIN), 0};
        const int n = poll(&pfd, 1, slice);
        if (n < 0 && errno != EINTR)
            return Wait::Failed;
        if (n > 0)
            return Wait::Ready;  // errors and hang-ups too: the next call reports them
    }
}

#include "net/socket_common.inc"

}  // namespace net_platform
