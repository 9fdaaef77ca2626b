// The sync in the real program against the Radicale of tests/sync/radicale.sh (ctest's
// sync_e2e): a memo typed in the calendar reaches the server, an event put there with curl
// reaches the memo files and the settings dialog, and a program killed in the middle of a
// sync leaves whole files and a next sync without duplicates; a calendar emptied elsewhere
// is a question.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "sync/sync_settings.h"
#include "sync/sync_worker.h"
#include "sync_support.h"
#include "text/gbcodec_win.h"

namespace {

constexpr int kOnce = 1029;
constexpr UINT kSyncSettings = 32790;  // ID_SYNC_SETTINGS
constexpr int kSyncNow = 1105, kSyncStatus = 1106, kEmptyBoth = 1108, kRefill = 1109;
const wchar_t kSyncKey[] = L"SOFTWARE\\Kestrin\\Almanix\\Sync";

std::string Curl(const std::string& args)
{
    int rc = 0;
    return Shell("curl -s -u \"$ALMANIX_DAV_USER:$ALMANIX_DAV_PASS\" -w '|%{http_code}' " + args, rc);
}

}  // namespace

// Disabled among the plain end-to-end cases: ctest's sync_e2e runs it beside its server.
TEST(Sync, DISABLED_TypedMemoAndPhoneEventBothWays)
{
    ASSERT_FALSE(DavEnv("ALMANIX_DAV_URL").empty()) << "run by ctest's sync_e2e, with a server";
    SyncSettings s;
    s.m_server = DavEnv("ALMANIX_DAV_URL");
    s.m_user = DavEnv("ALMANIX_DAV_USER");
    s.m_password = DavEnv("ALMANIX_DAV_PASS");
    ASSERT_EQ(SaveSyncSettings(s), 0);

    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    // The sync at start, which makes the calendar, is over.
    ASSERT_TRUE(WaitUntil([] { return RegText(kSyncKey, L"LastTime") != L"<none>"; }, 30000));
    Choose(main, 2024, 5);
    HWND view = ChildWithId(main, kMonthView);
    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(8));
    ASSERT_NE(dlg, nullptr);
    Type(GetDlgItem(dlg, kOnce), L"取快递");
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    const ULONGLONG saved = GetTickCount64();

    // The sync that the change makes due waits while another memo dialog is open.
    const std::string href = "/almanix/Almanix/once-20240508-almanix.memo.ics";
    const auto memoOnServer = [&] {
        return Curl("\"${ALMANIX_DAV_URL%/}" + href + "\"").find("|200") != std::string::npos;
    };
    HWND other = OpenDayMemo(run, view, DayOfMay2024(10));
    ASSERT_NE(other, nullptr);
    // As embedded on the desktop, where the calendar stays enabled under its dialogs.
    EnableWindow(main, TRUE);
    const ULONGLONG opened = GetTickCount64() - saved;
    if (opened < 4000) {
        // Nothing to wait for but the time: the sync is due 5 s after the change.
        WaitUntil([] { return false; }, 8000);
        EXPECT_FALSE(memoOnServer()) << "a sync ran while a memo dialog was open";
    } else {
        std::printf("the memo dialog opened %llu ms after the change, too late to show the wait\n", opened);
    }
    SendMessageW(other, WM_COMMAND, IDCANCEL, 0);

    // Once it is closed, the calendar syncs by itself, into "Almanix" made for it.
    std::string got;
    EXPECT_TRUE(WaitUntil(
        [&] { return (got = Curl("\"${ALMANIX_DAV_URL%/}" + href + "\"")).find("|200") != std::string::npos; }, 30000));
    EXPECT_NE(got.find("SUMMARY:\xe5\x8f\x96\xe5\xbf\xab\xe9\x80\x92"), std::string::npos) << got;  // 取快递

    // An event from a phone arrives with "立即同步" in the settings dialog.
    const std::string ics =
        "BEGIN:VCALENDAR\\r\\nVERSION:2.0\\r\\nPRODID:-//phone//EN\\r\\nBEGIN:VEVENT\\r\\nUID:p1\\r\\n"
        "DTSTAMP:20240101T000000Z\\r\\nDTSTART;VALUE=DATE:20240509\\r\\nSUMMARY:phone\\r\\n"
        "END:VEVENT\\r\\nEND:VCALENDAR\\r\\n";
    EXPECT_NE(Curl("-X PUT -H 'Content-Type: text/calendar' --data-binary \"$(printf '" + ics +
                  "')\" \"${ALMANIX_DAV_URL%/}/almanix/Almanix/p1.ics\"")
                  .find("|201"),
        std::string::npos);
    PostMessageW(main, WM_COMMAND, kSyncSettings, 0);
    HWND settings = WaitForDialog(run, L"同步");
    ASSERT_NE(settings, nullptr);
    SendMessageW(settings, WM_COMMAND, MAKEWPARAM(kSyncNow, BN_CLICKED),
        reinterpret_cast<LPARAM>(GetDlgItem(settings, kSyncNow)));
    EXPECT_TRUE(WaitUntil(
        [&] { return TextOf(GetDlgItem(settings, kSyncStatus)).find(L"同步完成") != std::wstring::npos; }, 30000))
        << TextOf(GetDlgItem(settings, kSyncStatus)).size();
    EXPECT_EQ(ReadBytes(CalendarFile(L"202405")), MemoFile(MemoRecord(8, "取快递") + MemoRecord(9, "phone")));
    SendMessageW(settings, WM_COMMAND, IDCANCEL, 0);
    // The shown month read its memos anew: the phone's day has the one-off memo's colour.
    EXPECT_TRUE(WaitForOneOffMark(main, view, CellOfMay2024(9)));

    run.Kill();

    // Killed in the middle of a first sync of many memos: every memo file stays whole, and
    // the next sync ends without a duplicate on the server.
    std::string records;
    for (int d = 1; d <= 28; ++d)
        records += MemoRecord(d, "memo " + std::to_string(d));
    for (const wchar_t* f : {L"202406", L"202407", L"202408", L"202409", L"202410", L"202411", L"202412"})
        WriteBytes(CalendarFile(f), MemoFile(records));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kSyncKey, L"Calendar");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kSyncKey, L"CalendarName");
    std::string col = "\"${ALMANIX_DAV_URL%/}/almanix/Almanix/\"";
    Curl("-X DELETE " + col);  // a fresh calendar: the program makes it again
    auto onServer = [&] {
        int rc = 0;
        const std::string n = Shell("curl -s -u \"$ALMANIX_DAV_USER:$ALMANIX_DAV_PASS\" -X PROPFIND -H 'Depth: 1' " +
                col + " | grep -o '[.]ics</href>' | wc -l",
            rc);
        return std::atoi(n.c_str());
    };
    AlmanixRun second;
    ASSERT_TRUE(second.Start());
    EXPECT_TRUE(WaitUntil([&] { return onServer() > 5; }, 60000));
    second.Kill();
    const int before = onServer();
    EXPECT_LT(before, 7 * 28 + 2) << "the sync ended before the kill";
    for (const wchar_t* f : {L"202406", L"202407", L"202408", L"202409", L"202410", L"202411", L"202412"})
        EXPECT_EQ(ReadBytes(CalendarFile(f)), MemoFile(records));
    const std::string memoFolder = almanix::WideToGb(MemoFolder()) + "\\";
    const SyncReport r = SyncWithSettings(memoFolder);
    EXPECT_TRUE(r.m_bOk) << r.m_status.size();
    EXPECT_EQ(onServer(), 7 * 28 + 2);
    const SyncReport again = SyncWithSettings(memoFolder);
    EXPECT_EQ(again.m_nUploaded + again.m_nDownloaded, 0);
}

// A calendar emptied elsewhere is a question, and "重新上传本机记事" fills it again.
TEST(Sync, DISABLED_EmptiedCalendarIsAQuestion)
{
    ASSERT_FALSE(DavEnv("ALMANIX_DAV_URL").empty()) << "run by ctest's sync_e2e, with a server";
    const std::string col = "\"${ALMANIX_DAV_URL%/}/almanix/emptied/\"";
    Curl("-X DELETE " + col);
    ASSERT_NE(Curl("-X MKCALENDAR " + col).find("|201"), std::string::npos);
    SyncSettings s;
    s.m_server = DavEnv("ALMANIX_DAV_URL");
    s.m_user = DavEnv("ALMANIX_DAV_USER");
    s.m_password = DavEnv("ALMANIX_DAV_PASS");
    s.m_calendar = "/almanix/emptied/";
    s.m_calendarName = "emptied";
    ASSERT_EQ(SaveSyncSettings(s), 0);
    const std::string memos = MemoFile(MemoRecord(3, "本机记事"));
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\日历").c_str(), nullptr);
    WriteBytes(CalendarFile(L"202405"), memos);
    const auto events = [&] {
        int rc = 0;
        return std::atoi(Shell("curl -s -u \"$ALMANIX_DAV_USER:$ALMANIX_DAV_PASS\" -X PROPFIND -H 'Depth: 1' " + col +
                " | grep -o '[.]ics</href>' | wc -l",
            rc)
                             .c_str());
    };

    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(WaitUntil([&] { return events() == 1; }, 30000));
    ASSERT_TRUE(WaitUntil([] { return RegText(kSyncKey, L"LastTime") != L"<none>"; }, 30000));
    // The phone deletes every event of the calendar.
    int rc = 0;
    Shell("for h in $(curl -s -u \"$ALMANIX_DAV_USER:$ALMANIX_DAV_PASS\" -X PROPFIND -H 'Depth: 1' " + col +
            " | grep -o '/almanix/emptied/[^<]*[.]ics'); do curl -s -u \"$ALMANIX_DAV_USER:$ALMANIX_DAV_PASS\" "
            "-X DELETE \"${ALMANIX_DAV_URL%/}$h\"; done",
        rc);
    ASSERT_EQ(events(), 0);

    PostMessageW(run.Main(), WM_COMMAND, kSyncSettings, 0);
    HWND settings = WaitForDialog(run, L"同步");
    ASSERT_NE(settings, nullptr);
    PostMessageW(settings, WM_COMMAND, MAKEWPARAM(kSyncNow, BN_CLICKED), 0);
    HWND question = WaitForDialog(run, L"同步：请选择");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(question, kEmptyBoth)), L"清空本机记事");
    EXPECT_EQ(TextOf(GetDlgItem(question, kRefill)), L"重新上传本机记事");
    EXPECT_EQ(events(), 0);  // nothing changes until the user chose
    PostMessageW(question, WM_COMMAND, MAKEWPARAM(kRefill, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return events() == 1; }, 30000));
    EXPECT_EQ(ReadBytes(CalendarFile(L"202405")), memos);
}
