// The bulletin exchange: one request, the reply read until it is whole, within the limits
// of the caller; the sockets are the system's (socket_platform.h).
#include "net/bulletin.h"

#include <chrono>

#include "net/socket_platform.h"

using namespace net_platform;

namespace {

// Ends the exchange: the socket is shut down in both directions and closed.
int Finish(CSocket& s, int code)
{
    ShutdownBoth(s.Get());
    s.Close();
    return code;
}

}  // namespace

int GetPageBody(char* body, int* pLen, const char* host, const char* path, const char* version)
{
    return GetPageBodyFrom(body, pLen, host, BULLETIN_PORT, path, version, BulletinTimeouts());
}

int GetPageBodyFrom(char* body, int* pLen, const char* host, unsigned short port, const char* path, const char* version,
    const BulletinTimeouts& timeouts, const std::atomic<bool>* pCancel)
{
    char buffer[BULLETIN_EXCHANGE_SIZE];
    const int requestLength = FormatBulletinRequest(buffer, sizeof buffer, path, host, version);
    if (requestLength < 0)
        return BULLETIN_ERR_SEND;

    CSocket s;
    bool created = false;
    {
        const CAddresses list = ResolveTcp(host, port);
        if (!list.IsValid())
            return BULLETIN_ERR_RESOLVE;
        for (const addrinfo* ai = list.Get(); ai && !s.IsValid(); ai = NextAddress(ai)) {
            if (pCancel && pCancel->load())
                break;
            s = ConnectTo(ai, timeouts.m_nConnectMs, pCancel, &created);
        }
    }
    if (!s.IsValid())
        return created ? BULLETIN_ERR_CONNECT : BULLETIN_ERR_SOCKET;

    // The socket's send buffer is empty, so one call takes a request this short whole.
    const long sent = SendBytes(s.Get(), buffer, requestLength);
    if (sent != requestLength)
        return Finish(s, BULLETIN_ERR_SEND);

    // Servers, proxies and slow links hand the reply over in pieces: read until it is whole
    // (the server closes, Content-Length is reached, the buffer is full) or the limit passes.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts.m_nReceiveMs);
    int total = 0;
    while (total < static_cast<int>(sizeof buffer) - 1 && !IsReplyComplete(buffer, total)) {
        if (WaitForSocket(s.Get(), false, deadline, pCancel) != Wait::Ready)
            break;
        const long received = ReceiveBytes(s.Get(), buffer + total, static_cast<int>(sizeof buffer) - 1 - total);
        if (received <= 0)
            break;
        total += static_cast<int>(received);
    }
    if (total == 0 || (pCancel && pCancel->load()))
        return Finish(s, BULLETIN_ERR_RECEIVE);
    return Finish(s, ExtractBody(buffer, total, body, pLen));
}
