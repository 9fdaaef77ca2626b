// The bulletin exchange over a TCP socket: Winsock on Windows, BSD sockets elsewhere.
// The socket is non-blocking from the start so that the connect and the receive both wait
// no longer than their limits, in short slices that notice a cancel request.
#include "controls/bulletin.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
const int kShutBoth = SD_BOTH;
void CloseSocket(Socket s) { closesocket(s); }
bool SetNonBlocking(Socket s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
bool ConnectInProgress() { return WSAGetLastError() == WSAEWOULDBLOCK; }
#else
using Socket = int;
const Socket kNoSocket = -1;
const int kShutBoth = SHUT_RDWR;
void CloseSocket(Socket s) { close(s); }
bool SetNonBlocking(Socket s) {
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
bool ConnectInProgress() { return errno == EINPROGRESS || errno == EINTR; }
#endif

#ifdef MSG_NOSIGNAL
const int kSendFlags = MSG_NOSIGNAL;  // a peer that has gone must not raise SIGPIPE
#else
const int kSendFlags = 0;
#endif

using Clock = std::chrono::steady_clock;

// The longest single wait, so that a cancel request is seen soon.
const int kSliceMs = 50;

enum class Wait { Ready, Failed, TimedOut };

// Waits until s is writable (wantWrite) or readable, the deadline passes or *pCancel is set.
Wait WaitForSocket(Socket s, bool wantWrite, Clock::time_point deadline,
                   const std::atomic<bool>* pCancel) {
    for (;;) {
        if (pCancel && pCancel->load())
            return Wait::TimedOut;
        // Rounded up, so that the wait never ends before the deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Wait::TimedOut;
        const int slice = left < kSliceMs ? static_cast<int>(left) : kSliceMs;
#ifdef _WIN32
        // A failed non-blocking connect shows in the exception set, not the write set.
        fd_set main, except;
        FD_ZERO(&main);
        FD_ZERO(&except);
        FD_SET(s, &main);
        FD_SET(s, &except);
        timeval tv = {slice / 1000, (slice % 1000) * 1000};
        const int n = select(0, wantWrite ? nullptr : &main, wantWrite ? &main : nullptr, &except, &tv);
        if (n == SOCKET_ERROR)
            return Wait::Failed;
        if (n > 0)
            return Wait::Ready;  // a failed connect too: SO_ERROR reports it
#else
        pollfd pfd = {s, static_cast<short>(wantWrite ? POLLOUT : POLLIN), 0};
        const int n = poll(&pfd, 1, slice);
        if (n < 0 && errno != EINTR)
            return Wait::Failed;
        if (n > 0)
            return Wait::Ready;  // errors and hang-ups too: the next call reports them
#endif
    }
}

// A connected socket to ai within the limit, or kNoSocket; created tells whether a socket
// could be made at all.
Socket ConnectTo(const addrinfo* ai, int limitMs, const std::atomic<bool>* pCancel, bool* created) {
    Socket s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (s == kNoSocket)
        return kNoSocket;
    *created = true;
    if (!SetNonBlocking(s)) {
        CloseSocket(s);
        return kNoSocket;
    }
    if (connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) != 0) {
        if (!ConnectInProgress() ||
            WaitForSocket(s, true, Clock::now() + std::chrono::milliseconds(limitMs), pCancel) != Wait::Ready) {
            CloseSocket(s);
            return kNoSocket;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0) {
            CloseSocket(s);
            return kNoSocket;
        }
    }
    return s;
}

int Finish(Socket s, int code) {
    shutdown(s, kShutBoth);
    CloseSocket(s);
    return code;
}

} // namespace

int GetPageBody(char* body, int* pLen, const char* host, const char* path, const char* version) {
    return GetPageBodyFrom(body, pLen, host, BULLETIN_PORT, path, version, BulletinTimeouts());
}

int GetPageBodyFrom(char* body, int* pLen, const char* host, unsigned short port, const char* path,
                    const char* version, const BulletinTimeouts& timeouts,
                    const std::atomic<bool>* pCancel) {
    char buffer[BULLETIN_EXCHANGE_SIZE];
    const int requestLength = FormatBulletinRequest(buffer, sizeof buffer, path, host, version);
    if (requestLength < 0)
        return BULLETIN_ERR_SEND;

    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* list = nullptr;
    if (getaddrinfo(host, service, &hints, &list) != 0 || !list)
        return BULLETIN_ERR_RESOLVE;

    bool created = false;
    Socket s = kNoSocket;
    for (const addrinfo* ai = list; ai && s == kNoSocket; ai = ai->ai_next) {
        if (pCancel && pCancel->load())
            break;
        s = ConnectTo(ai, timeouts.m_nConnectMs, pCancel, &created);
    }
    freeaddrinfo(list);
    if (s == kNoSocket)
        return created ? BULLETIN_ERR_CONNECT : BULLETIN_ERR_SOCKET;

    // The socket's send buffer is empty, so one call takes a request this short whole.
    const auto sent = send(s, buffer, requestLength, kSendFlags);
    if (sent != requestLength)
        return Finish(s, BULLETIN_ERR_SEND);

    // Servers, proxies and slow links hand the reply over in pieces: read until it is whole
    // (the server closes, Content-Length is reached, the buffer is full) or the limit passes.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts.m_nReceiveMs);
    int total = 0;
    while (total < static_cast<int>(sizeof buffer) - 1 && !IsReplyComplete(buffer, total)) {
        if (WaitForSocket(s, false, deadline, pCancel) != Wait::Ready)
            break;
        const auto received = recv(s, buffer + total, static_cast<int>(sizeof buffer) - 1 - total, 0);
        if (received <= 0)
            break;
        total += static_cast<int>(received);
    }
    if (total == 0 || (pCancel && pCancel->load()))
        return Finish(s, BULLETIN_ERR_RECEIVE);
    return Finish(s, ExtractBody(buffer, total, body, pLen));
}
