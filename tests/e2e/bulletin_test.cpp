#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bulletin_port.h"
#include "harness.h"

namespace {

const int kItem = 1053, kNext = 1054;
// Where the test build asks for its bulletin (scripts/e2e.sh's web server listens there).
const unsigned short kPort = TestBulletinPort();

// The web server's folder for this case (scripts/e2e.sh starts the server for Bulletin* cases).
std::wstring ServerDir()
{
    return WebServerDir();
}

void ServeBulletin(const std::string& body)
{
    WriteBytes(ServerDir() + L"\\link230\\index.html", body);
}

bool CanConnect()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
    closesocket(s);
    return ok;
}

class Sockets {
public:
    Sockets() { WSAStartup(MAKEWORD(2, 2), &m_wsa); }
    ~Sockets() { WSACleanup(); }

private:
    WSADATA m_wsa;
};

TEST(Bulletin, ItemsFromARealWebServer)
{
    Sockets sockets;
    ServeBulletin("\r\n *http://www.example.com/news/1\t今日新闻");
    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    HWND item = GetDlgItem(main, kItem), next = GetDlgItem(main, kNext);
    ASSERT_NE(item, nullptr);
    // The first fetch comes on the third tick.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(item) && TextOf(item) == L"今日新闻"; }, 15000));
    EXPECT_TRUE(IsWindowVisible(next));
    EXPECT_EQ(TextOf(next), L"下一篇");
    POINT origin = {0, 0};
    ClientToScreen(main, &origin);
    EXPECT_EQ(RectOf(item).left - origin.x, 2);
    EXPECT_EQ(RectOf(item).top - origin.y, 260);

    // "下一篇" asks again: a changed file shows its new item.
    ServeBulletin("*http://www.example.com/news/2\t明日天气\r\n");
    Click(next, 3, 3);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(item) == L"明日天气\r\n"; }, 15000));

    // With the server stopped nothing changes on screen.
    WriteBytes(ServerDir() + L"\\stop", "");
    ASSERT_TRUE(WaitUntil([] { return !CanConnect(); }, 15000));
    Click(next, 3, 3);
    EXPECT_FALSE(WaitUntil([&] { return TextOf(item) != L"明日天气\r\n" || !IsWindowVisible(item); }, 2000));
    EXPECT_TRUE(run.Running());
}

// A server that accepts and never answers: the window must answer all the while.
TEST(Responsiveness, WindowAnswersWhileTheServerIsSilent)
{
    Sockets sockets;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0) << WSAGetLastError();
    ASSERT_EQ(listen(listener, 4), 0);
    std::atomic<int> accepted{0};
    std::thread server([&] {
        SOCKET held[8];
        int n = 0;
        for (;;) {
            SOCKET c = accept(listener, nullptr, nullptr);
            if (c == INVALID_SOCKET)
                break;
            if (n < 8)
                held[n++] = c;  // kept open, never answered
            ++accepted;
        }
        for (int i = 0; i < n; ++i)
            closesocket(held[i]);
    });

    // The program's clock stands seconds before February: the date changes during the wait.
    SetTestClockTo({2024, 1, 0, 31, 23, 59, 53, 0});

    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    ASSERT_TRUE(WaitUntil([&] { return accepted > 0; }, 15000));
    bool movedToFebruary = false;
    // The program waits up to 10 s for a reply; meanwhile every message is answered at once.
    DWORD start = GetTickCount();
    int asked = 0;
    while (GetTickCount() - start < 11000) {
        DWORD_PTR r = 0;
        DWORD t0 = GetTickCount();
        ASSERT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &r), 0)
            << "after " << (t0 - start) << " ms";
        EXPECT_LT(GetTickCount() - t0, 1000u);
        ++asked;
        // A click on "下一篇" while the fetch waits starts nothing new.
        if (asked == 5)
            Click(GetDlgItem(main, kNext), 3, 3);
        // The one-second timer keeps ticking: the new date's month shows.
        if (SendDlgItemMessageW(main, 1035, CB_GETCURSEL, 0, 0) == 1)
            movedToFebruary = true;
        WaitUntil([] { return false; }, 100);
    }
    EXPECT_TRUE(movedToFebruary);
    EXPECT_EQ(accepted, 1);
    EXPECT_TRUE(run.Running());

    // Ending the program while a fetch waits neither crashes nor holds up the end.
    Click(GetDlgItem(main, kNext), 3, 3);
    ASSERT_TRUE(WaitUntil([&] { return accepted == 2; }, 5000));
    PostMessageW(main, WM_COMMAND, 32778, 0);
    EXPECT_TRUE(run.WaitForExit(3000));
    EXPECT_EQ(run.ExitCode(), 0u);
    SetTestClockOffset(0);
    closesocket(listener);
    server.join();
}

}  // namespace
