// The sync's settings dialog and its emptied-side question, driven inside their modal loops:
// what 确定, 立即同步 and 取消 store, the password that a new address forgets, the status line
// of a failed sync, and the answer each button gives.
#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

#include "framework/wnd.h"
#include "resource.h"
#include "sync/sync_dlg.h"
#include "sync/sync_question_dlg.h"
#include "sync/sync_settings.h"
#include "window_png.h"

namespace {

// Steps run one per tick of a thread timer inside the modal loop; false: tried again.
std::deque<std::function<bool()>> g_steps;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_steps.empty())
        return;
    std::function<bool()> step = std::move(g_steps.front());
    g_steps.pop_front();
    if (!step())
        g_steps.push_front(std::move(step));
}

// The visible window of this thread with the title that holds button id (null: none).
HWND Showing(const wchar_t* title, int id)
{
    struct Ctx {
        const wchar_t* title;
        int id;
        HWND found;
    } ctx = {title, id, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            if (::IsWindowVisible(h) && almanix::WindowTextWide(h) == c->title && ::GetDlgItem(h, c->id))
                c->found = h;
            return c->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND SettingsDlg()
{
    return Showing(L"同步", IDC_SYNC_SERVER);
}

std::function<bool()> Do(std::function<void(HWND)> f)
{
    return [f] {
        HWND dlg = SettingsDlg();
        if (dlg)
            f(dlg);
        return dlg != nullptr;
    };
}
std::function<bool()> Type(int id, const wchar_t* text)
{
    return Do([id, text](HWND dlg) { ::SetDlgItemTextW(dlg, id, text); });
}
std::function<bool()> Press(int id)
{
    return Do([id](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); });
}
// Answers the yes/no question about an empty password.
std::function<bool()> Answer(int id)
{
    return [id] {
        HWND box = Showing(L"同步", IDYES);
        if (box)
            ::PostMessageW(box, WM_COMMAND, id, 0);
        return box != nullptr;
    };
}
std::function<bool()> StatusHas(const wchar_t* words, std::wstring* seen)
{
    return Do([words, seen](HWND dlg) {
        *seen = almanix::WindowTextWide(::GetDlgItem(dlg, IDC_SYNC_STATUS));
        EXPECT_NE(seen->find(words), std::wstring::npos) << almanix::Narrow(*seen);
    });
}

class SyncDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Kestrin\\Almanix\\Sync");
        m_timer = ::SetTimer(nullptr, 0, 10, RunNextStep);
    }
    void TearDown() override
    {
        ::KillTimer(nullptr, m_timer);
        g_steps.clear();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Kestrin\\Almanix\\Sync");
    }
    UINT_PTR m_timer = 0;
};

struct Stored {
    std::string server, password;
    bool noPassword;
};

TEST_F(SyncDlgTest, StoresOnlyWhatTheUserConfirmedAndCancelPutsTheOldBack)
{
    std::wstring seen;
    const struct Case {
        const char* what;
        std::vector<std::function<bool()>> steps;
        Stored stored;
    } cases[] = {
        {"确定 refuses plain http to another host, and stores nothing",
            {Type(IDC_SYNC_SERVER, L"http://other.example/"), Press(IDOK), StatusHas(L"服务器地址有问题", &seen),
                Press(IDCANCEL)},
            {"https://dav.example/", "secret", false}},
        {"the same address keeps its password", {Type(IDC_SYNC_USER, L"bob"), Press(IDOK)},
            {"https://dav.example/", "secret", false}},
        {"a new address forgets the password: not without a yes",
            {Type(IDC_SYNC_SERVER, L"https://new.example/"), Press(IDOK), Answer(IDNO), StatusHas(L"请填写密码", &seen),
                Press(IDCANCEL)},
            {"https://dav.example/", "secret", false}},
        {"a new address without a password, confirmed",
            {Type(IDC_SYNC_SERVER, L"https://new.example/"), Press(IDOK), Answer(IDYES)},
            {"https://new.example/", "", true}},
        {"取消 after 立即同步 puts the old settings back",
            {Type(IDC_SYNC_SERVER, L"https://new.example/"), Type(IDC_SYNC_PASSWORD, L"other"), Press(IDC_SYNC_NOW),
                StatusHas(L"正在同步", &seen), Press(IDCANCEL)},
            {"https://dav.example/", "secret", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SyncSettings before;
        before.m_server = "https://dav.example/";
        before.m_user = "alice";
        before.m_password = "secret";
        ASSERT_EQ(SaveSyncSettings(before), 0);
        int syncs = 0;
        CSyncDlg dlg(nullptr, [&] { return ++syncs > 0; });
        g_steps.assign(c.steps.begin(), c.steps.end());
        dlg.DoModal();
        EXPECT_TRUE(g_steps.empty()) << g_steps.size() << " steps did not run";
        SyncSettings after;
        LoadSyncSettings(after);
        EXPECT_EQ(after.m_server, c.stored.server);
        EXPECT_EQ(after.m_password, c.stored.password);
        EXPECT_EQ(after.m_bNoPassword, c.stored.noPassword);
    }
}

TEST_F(SyncDlgTest, StatusLineTellsAFailedSyncFromADoneOne)
{
    for (const bool ok : {true, false}) {
        SaveLastSyncResult(ok, ok ? "同步完成：没有改动" : "服务器地址有问题：只能通过 https 连接服务器");
        std::wstring seen;
        CSyncDlg dlg(nullptr, [] { return true; });
        g_steps = {StatusHas(ok ? L"上次同步（" : L"上次同步失败（", &seen), Press(IDCANCEL)};
        dlg.DoModal();
        EXPECT_TRUE(g_steps.empty());
    }
}

TEST_F(SyncDlgTest, TheQuestionsButtonsNameWhatTheyDoAndGiveTheirAnswer)
{
    const struct {
        SyncQuestion question;
        int button;
        const wchar_t* text;
        SyncAnswer answer;
    } cases[] = {
        {SyncQuestion::ServerEmptied, IDC_SYNC_EMPTY_BOTH, L"清空本机记事", SyncAnswer::EmptyBoth},
        {SyncQuestion::ServerEmptied, IDC_SYNC_REFILL, L"重新上传本机记事", SyncAnswer::Refill},
        {SyncQuestion::LocalEmptied, IDC_SYNC_EMPTY_BOTH, L"清空服务器上的记事", SyncAnswer::EmptyBoth},
        {SyncQuestion::LocalEmptied, IDC_SYNC_REFILL, L"从服务器取回记事", SyncAnswer::Refill},
        {SyncQuestion::LocalEmptied, IDCANCEL, L"取消", SyncAnswer::None},
    };
    for (const auto& c : cases) {
        g_steps = {[&] {
            HWND dlg = Showing(L"同步：请选择", IDC_SYNC_REFILL);
            if (!dlg)
                return false;
            EXPECT_EQ(almanix::WindowTextWide(::GetDlgItem(dlg, c.button)), c.text);
            if (c.question == SyncQuestion::ServerEmptied && c.button == IDC_SYNC_REFILL) {
                ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                SaveWindowPng(dlg, L"sync_question");  // for people to look at
            }
            ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
            return true;
        }};
        EXPECT_EQ(AskSyncQuestion(nullptr, c.question), c.answer) << almanix::Narrow(c.text);
    }
}

}  // namespace
