// The bulletin exchange against a scripted server on the loopback interface, and the
// background fetcher. Nothing here talks to any address but 127.0.0.1, ::1 and a name
// under the reserved .invalid domain.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/bulletin.h"
#include "net/bulletin_fetcher.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Long enough never to be reached by a working test; it only keeps a broken one from hanging.
constexpr auto kGiveUp = 20s;

const char kExpectedRequest[] = "GET /link230/ HTTP/1.1\r\nHost:127.0.0.1\r\nVer:1.2\r\n\r\n";

// What the server does with each connection, after it has read the request.
enum class Mode {
    Answer,   // sends the reply and closes
    Hold,     // sends the reply, then keeps the connection until the client closes
    Pieces,   // sends the reply, pauses, sends the second piece and closes
    Trickle,  // sends the reply a byte at a time, then closes
    Close,    // closes at once
    Silent,   // sends nothing and waits for the client to close
    Gated     // like Answer, but only once Release() has been called
};

// A TCP server on an ephemeral loopback port that answers every connection the same way.
class CLoopbackServer {
public:
    CLoopbackServer(Mode mode, std::string reply, std::string secondPiece = std::string(), bool ipv6 = false)
        : m_mode(mode), m_reply(std::move(reply)), m_secondPiece(std::move(secondPiece))
    {
        if (pipe(m_wake) != 0)
            return;
        m_listen = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        sockaddr_storage address{};
        socklen_t size;
        if (ipv6) {
            auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
            a6->sin6_family = AF_INET6;
            a6->sin6_addr = in6addr_loopback;
            size = sizeof *a6;
        } else {
            auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
            a4->sin_family = AF_INET;
            a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            size = sizeof *a4;
        }
        if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(m_listen, 8) != 0 || getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_nPort = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                             : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        m_thread = std::thread([this] { Serve(); });
    }

    ~CLoopbackServer()
    {
        Release();
        if (m_wake[1] >= 0)
            (void)!write(m_wake[1], "x", 1);
        if (m_thread.joinable())
            m_thread.join();
        for (int fd : {m_listen, m_wake[0], m_wake[1]})
            if (fd >= 0)
                close(fd);
    }

    unsigned short Port() const { return m_nPort; }

    // Waits until count requests have arrived; the requests so far.
    std::vector<std::string> WaitForRequests(size_t count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, kGiveUp, [&] { return m_requests.size() >= count; });
        return m_requests;
    }

    // Waits until count connections have been closed by the server.
    bool WaitForClosed(int count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kGiveUp, [&] { return m_nClosed >= count; });
    }

    void Release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bReleased = true;
        m_changed.notify_all();
    }

private:
    // Waits until fd is readable; false when the server is being stopped.
    bool WaitReadable(int fd)
    {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        for (;;) {
            if (poll(fds, 2, -1) < 0)
                return false;
            if (fds[1].revents)
                return false;
            if (fds[0].revents)
                return true;
        }
    }

    // Reads until the client has closed (or reset) the connection.
    void DrainUntilClosed(int fd)
    {
        char buffer[4096];
        while (WaitReadable(fd) && recv(fd, buffer, sizeof buffer, 0) > 0) {}
    }

    bool SendAll(int fd, const std::string& data)
    {
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    void Serve()
    {
        while (WaitReadable(m_listen)) {
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd)) {
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
                m_changed.notify_all();
            }
            if (m_mode == Mode::Gated) {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] { return m_bReleased; });
            }
            const int noDelay = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            switch (m_mode) {
            case Mode::Answer:
            case Mode::Gated:
                SendAll(fd, m_reply);
                break;
            case Mode::Hold:
                SendAll(fd, m_reply);
                DrainUntilClosed(fd);
                break;
            case Mode::Pieces:
                // A server that writes its headers and its body separately, on a slow link.
                SendAll(fd, m_reply);
                std::this_thread::sleep_for(200ms);
                SendAll(fd, m_secondPiece);
                break;
            case Mode::Trickle:
                for (char c : m_reply) {
                    SendAll(fd, std::string(1, c));
                    std::this_thread::sleep_for(1ms);
                }
                break;
            case Mode::Close:
                break;
            case Mode::Silent:
                DrainUntilClosed(fd);
                break;
            }
            close(fd);
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_nClosed;
            m_changed.notify_all();
        }
    }

    Mode m_mode;
    std::string m_reply;
    std::string m_secondPiece;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    unsigned short m_nPort = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    int m_nClosed = 0;
    bool m_bReleased = false;
};

BulletinTimeouts ShortTimeouts()
{
    BulletinTimeouts t;
    t.m_nConnectMs = 300;
    t.m_nReceiveMs = 300;
    return t;
}

struct CExchange {
    int nCode;
    std::string strBody;
    int nLength;
};

CExchange Fetch(unsigned short port, int limit = BULLETIN_BODY_SIZE - 1,
    const BulletinTimeouts& timeouts = BulletinTimeouts(), const char* host = "127.0.0.1")
{
    std::vector<char> body(static_cast<size_t>(limit) + 1, '\x7f');
    int length = limit;
    const int code = GetPageBodyFrom(body.data(), &length, host, port, BULLETIN_PATH, BULLETIN_VERSION, timeouts);
    CExchange result{code, std::string(), length};
    if (code == BULLETIN_OK)
        result.strBody.assign(body.data(), std::strlen(body.data()));
    return result;
}

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
// 今天 (GBK), so the tests see double-byte text pass through untouched.
const std::string kToday = "\xbd\xf1\xcc\xec";

TEST(BulletinExchange, RepliesGiveTheBodyAfterTheEmptyLine)
{
    const std::string longHeaders = "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(2100, 'h') + "\r\n\r\n*x\ty";
    const std::string ascii1500 = std::string(1500, 'a');
    // A double-byte character straddles the 1023rd byte: its lead byte must not survive.
    const std::string straddling = std::string(1022, 'a') + [] {
        std::string s;
        for (int i = 0; i < 239; ++i)
            s += "\xc4\xea";  // 年
        return s;
    }();
    struct Case {
        const char* name;
        std::string reply;
        std::string secondPiece;
        int limit;
        int code;
        std::string body;
        Mode mode = Mode::Answer;
    } cases[] = {
        {"item", kOk + "*http://www.example.com/n/1\t" + kToday, "", 1023, 0, "*http://www.example.com/n/1\t" + kToday},
        {"leading white space", kOk + "\r\n \t *http://e.com/\tt", "", 1023, 0, "\r\n \t *http://e.com/\tt"},
        {"headers only", kOk, "", 1023, 0, ""},
        {"body in a later piece", kOk, "*http://e.com/\tlate", 1023, 0, "*http://e.com/\tlate", Mode::Pieces},
        {"a byte at a time", kOk + "*http://e.com/n/1\t" + kToday, "", 1023, 0, "*http://e.com/n/1\t" + kToday,
            Mode::Trickle},
        // A server that keeps the connection: the length it announced ends the reply.
        {"content length reached", "HTTP/1.1 200 OK\r\ncontent-LENGTH:  9\r\n\r\n*h://x\tyz", "", 1023, 0, "*h://x\tyz",
            Mode::Hold},
        {"headers beyond one receive", longHeaders, "", 1023, BULLETIN_ERR_NO_HEADER_END, ""},
        // Only the first 2047 bytes are ever looked at, whatever the caller would take.
        {"reply beyond one receive", kOk + std::string(3000, 'b'), "", 4000, 0, std::string(2047 - kOk.size(), 'b')},
        {"body of 1500 bytes", kOk + ascii1500, "", 1023, 0, std::string(1023, 'a')},
        {"cut inside a character", kOk + straddling, "", 1023, 0, std::string(1022, 'a')},
        {"text ending in CR LF", kOk + "*http://e.com/\tline\r\n", "", 1023, 0, "*http://e.com/\tline\r\n"},
        {"no TAB", kOk + "*http://e.com/ no tab", "", 1023, 0, "*http://e.com/ no tab"},
        {"no star", kOk + "hello", "", 1023, 0, "hello"},
        {"NUL in the body", kOk + std::string("*http://e.com/\tab\0cd", 21), "", 1023, 0, "*http://e.com/\tab"},
        {"error status", "HTTP/1.1 404 Not Found\r\nContent-Length: 20\r\n\r\n*http://e.com/\tgone", "", 1023, 0,
            "*http://e.com/\tgone"},
        {"caller takes little", kOk + "*http://e.com/\tt", "", 5, 0, "*http"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLoopbackServer server(c.mode, c.reply, c.secondPiece);
        ASSERT_NE(server.Port(), 0);
        const auto start = Clock::now();
        const CExchange got = Fetch(server.Port(), c.limit);
        EXPECT_LT(Clock::now() - start, 5s) << "waited for the receive limit although the reply was whole";
        EXPECT_EQ(got.nCode, c.code);
        if (c.code == BULLETIN_OK) {
            EXPECT_EQ(got.strBody, c.body);
            EXPECT_EQ(got.nLength, static_cast<int>(c.body.size()));
        } else {
            EXPECT_EQ(got.nLength, c.limit) << "a failure leaves the length alone";
        }
        const std::vector<std::string> requests = server.WaitForRequests(1);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], kExpectedRequest);
    }
}

TEST(BulletinExchange, FailuresGiveTheirCodes)
{
    // Bound but not listening: the connection is refused.
    const int bound = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(getsockname(bound, reinterpret_cast<sockaddr*>(&address), &size), 0);
    EXPECT_EQ(Fetch(ntohs(address.sin_port), 1023, ShortTimeouts()).nCode, BULLETIN_ERR_CONNECT);
    close(bound);

    {
        CLoopbackServer server(Mode::Close, "");
        EXPECT_EQ(Fetch(server.Port(), 1023, ShortTimeouts()).nCode, BULLETIN_ERR_RECEIVE);
    }
    {
        CLoopbackServer server(Mode::Silent, "");
        const auto start = Clock::now();
        EXPECT_EQ(Fetch(server.Port(), 1023, ShortTimeouts()).nCode, BULLETIN_ERR_RECEIVE);
        EXPECT_GE(Clock::now() - start, 300ms) << "gave up before the receive limit";
        EXPECT_EQ(server.WaitForRequests(1).at(0), kExpectedRequest);
    }
    EXPECT_EQ(Fetch(80, 1023, ShortTimeouts(), "no-such-host.invalid").nCode, BULLETIN_ERR_RESOLVE);

    char body[BULLETIN_BODY_SIZE];
    int length = BULLETIN_BODY_SIZE - 1;
    EXPECT_EQ(GetPageBody(body, &length, "bulletin.invalid", BULLETIN_PATH, BULLETIN_VERSION), BULLETIN_ERR_RESOLVE);
    EXPECT_EQ(length, BULLETIN_BODY_SIZE - 1);
}

TEST(BulletinExchange, ConnectGivesUpAtItsLimit)
{
    // A listener whose accept queue is full drops further handshakes, so a connect hangs.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    std::vector<int> fillers;
    bool full = false;
    while (!full && fillers.size() < 16) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fillers.push_back(fd);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0)
            continue;
        pollfd p = {fd, POLLOUT, 0};
        full = poll(&p, 1, 200) == 0;
    }
    if (!full)
        GTEST_SKIP() << "this system completes every handshake on loopback";
    const auto start = Clock::now();
    EXPECT_EQ(Fetch(ntohs(address.sin_port), 1023, ShortTimeouts()).nCode, BULLETIN_ERR_CONNECT);
    EXPECT_GE(Clock::now() - start, 300ms);
    for (int fd : fillers)
        close(fd);
    close(listener);
}

TEST(BulletinExchange, ReachesAnIpv6Server)
{
    CLoopbackServer server(Mode::Answer, kOk + "*https://[::1]:8080/\tsix", "", true);
    if (server.Port() == 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    const CExchange got = Fetch(server.Port(), 1023, BulletinTimeouts(), "::1");
    EXPECT_EQ(got.nCode, 0);
    EXPECT_EQ(got.strBody, "*https://[::1]:8080/\tsix");
    EXPECT_EQ(server.WaitForRequests(1).at(0), "GET /link230/ HTTP/1.1\r\nHost:::1\r\nVer:1.2\r\n\r\n");
}

TEST(BulletinExchange, FetchTakesTheItemAndOnlySafeLinks)
{
    struct Case {
        std::string body;
        bool hasItem;
        std::string link;
        std::string text;
    } cases[] = {
        {"\r\n *http://www.example.com/a?b=1\t" + kToday + "\r\n", true, "http://www.example.com/a?b=1",
            kToday + "\r\n"},
        {"*file:///C:/Windows/system32/calc.exe\tclick me", true, "", "click me"},
        {"*\tno link", true, "", "no link"},
        {"*http://e.com/ but no tab", false, "", ""},
        {"<html>404</html>", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        CLoopbackServer server(Mode::Answer, kOk + c.body);
        const BulletinResult r = FetchBulletinItem("127.0.0.1", server.Port(), BulletinTimeouts());
        EXPECT_EQ(r.m_nCode, 0);
        EXPECT_EQ(r.m_bHasItem, c.hasItem);
        EXPECT_EQ(r.m_strLink, c.link);
        EXPECT_EQ(r.m_strText, c.text);
    }
}

// Collects completions and lets a test wait for them.
struct CCompletions {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<BulletinResult> results;

    CBulletinFetcher::Completion Callback()
    {
        return [this](const BulletinResult& r) {
            std::lock_guard<std::mutex> lock(mutex);
            results.push_back(r);
            changed.notify_all();
        };
    }
    bool WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kGiveUp, [&] { return results.size() >= count; });
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return results.size();
    }
};

TEST(BulletinFetcher, OneFetchAtATimeAndEachOneIsDelivered)
{
    CLoopbackServer server(Mode::Gated, kOk + "*http://e.com/x\t" + kToday);
    CCompletions done;
    BulletinFetchOptions options;
    options.m_nPort = server.Port();
    CBulletinFetcher fetcher(done.Callback(), options);

    EXPECT_FALSE(fetcher.IsBusy());
    ASSERT_TRUE(fetcher.Start("127.0.0.1"));
    ASSERT_EQ(server.WaitForRequests(1).size(), 1u);
    EXPECT_TRUE(fetcher.IsBusy());
    EXPECT_FALSE(fetcher.Start("127.0.0.1")) << "a second fetch while one runs";
    server.Release();
    ASSERT_TRUE(done.WaitFor(1));
    EXPECT_EQ(done.results[0].m_nCode, 0);
    EXPECT_TRUE(done.results[0].m_bHasItem);
    EXPECT_EQ(done.results[0].m_strLink, "http://e.com/x");
    EXPECT_EQ(done.results[0].m_strText, kToday);

    // Free again by the time the callback runs: the window may fetch again at once.
    EXPECT_FALSE(fetcher.IsBusy());
    ASSERT_TRUE(fetcher.Start("127.0.0.1"));
    ASSERT_TRUE(done.WaitFor(2));
    EXPECT_EQ(done.results[1].m_strText, kToday);
    EXPECT_EQ(server.WaitForRequests(2).size(), 2u);
}

TEST(BulletinFetcher, FailuresAreDeliveredToo)
{
    CCompletions done;
    CBulletinFetcher fetcher(done.Callback());
    ASSERT_TRUE(fetcher.Start("no-such-host.invalid"));
    ASSERT_TRUE(done.WaitFor(1));
    EXPECT_EQ(done.results[0].m_nCode, BULLETIN_ERR_RESOLVE);
    EXPECT_FALSE(done.results[0].m_bHasItem);
}

TEST(BulletinFetcher, ShutdownWhileWaitingIsQuickAndSilent)
{
    CLoopbackServer server(Mode::Silent, "");
    CCompletions done;
    std::promise<void> workerEnded;
    BulletinFetchOptions options;
    options.m_nPort = server.Port();
    options.m_timeouts.m_nReceiveMs = 60000;
    options.m_onWorkerExit = [&workerEnded] { workerEnded.set_value(); };
    auto fetcher = std::make_unique<CBulletinFetcher>(done.Callback(), options);

    ASSERT_TRUE(fetcher->Start("127.0.0.1"));
    ASSERT_EQ(server.WaitForRequests(1).size(), 1u);  // the worker now waits for a reply
    const auto start = Clock::now();
    fetcher.reset();
    EXPECT_LT(Clock::now() - start, 5s) << "the destructor waited for the network";

    // The worker notices and ends long before its receive limit, without a callback.
    ASSERT_EQ(workerEnded.get_future().wait_for(kGiveUp), std::future_status::ready);
    EXPECT_TRUE(server.WaitForClosed(1));
    EXPECT_EQ(done.Count(), 0u);
}

TEST(BulletinFetcher, NothingStartsAfterShutdown)
{
    CCompletions done;
    CBulletinFetcher fetcher(done.Callback());
    fetcher.Shutdown();
    EXPECT_FALSE(fetcher.Start("no-such-host.invalid"));
    EXPECT_FALSE(fetcher.IsBusy());
    fetcher.Shutdown();  // twice is harmless
}

}  // namespace
