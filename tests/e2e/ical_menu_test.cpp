// The calendar's right-click menu: export through the Save dialog in both of its file types,
// import through the Open dialog with the month repainted, and the autostart switch.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "top_windows.h"
#include "window_png.h"

namespace {

const int kExport = 32779, kImport = 32780, kAutoStart = 32781;
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kExportPath[] = L"C:\\almanix-e2e-export.ics";
const wchar_t kImportPath[] = L"C:\\almanix-e2e-import.ics";

// The system's file dialog, once the program shows it.
HWND WaitForFileDialog(AlmanixRun& run)
{
    HWND dlg = nullptr;
    WaitUntil([&] {
        dlg = FindTopWindow(run.Pid(), [&](HWND h) {
            wchar_t cls[32] = {};
            ::GetClassNameW(h, cls, 32);
            // cmb1, the file type box, is in every file dialog and in no window of ours.
            return wcscmp(cls, L"#32770") == 0 && ::IsWindowVisible(h) && ::GetDlgItem(h, 1136) != nullptr;
        });
        return dlg != nullptr;
    });
    return dlg;
}

// Types a path into the file dialog and confirms it.
void ChooseFile(HWND dlg, const wchar_t* path)
{
    // The file name box: the one visible edit field of the dialog (inside a combo box on some
    // systems).
    HWND name = nullptr;
    ::EnumChildWindows(
        dlg,
        [](HWND h, LPARAM found) -> BOOL {
            wchar_t cls[16] = {};
            ::GetClassNameW(h, cls, 16);
            if (_wcsicmp(cls, L"Edit") != 0 || !::IsWindowVisible(h))
                return TRUE;
            *reinterpret_cast<HWND*>(found) = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&name));
    ASSERT_NE(name, nullptr);
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
}

// Picks the file type at index (0 the first) as a click in the type box would.
void ChooseFileType(HWND dlg, int index)
{
    HWND types = ::GetDlgItem(dlg, 1136);
    ASSERT_NE(types, nullptr);
    ::SendMessageW(types, CB_SETCURSEL, index, 0);
    for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK})  // systems differ in which one they act on
        ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(1136, code), reinterpret_cast<LPARAM>(types));
}

// The report box's text; the box is closed.
std::wstring TakeReport(AlmanixRun& run)
{
    HWND box = WaitForDialog(run, L"Almanix");
    if (!box)
        return L"<no report>";
    const std::wstring text = StaticTexts(box);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !::IsWindow(box); });
    return text;
}

TEST(CalendarMenu, ExportImportAndAutostart)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    WriteBytes(CalendarFile(L"202405"), MemoFile(MemoRecord(1, "劳动节聚餐")));
    WriteBytes(CalendarFile(L"008"), MemoFile(MemoRecord(15, "中秋")));
    Choose(main, 2024, 5);

    // A right-click anywhere on the calendar opens the menu.
    RECT rc = RectOf(main);
    ::PostMessageW(main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(main), MAKELPARAM(rc.left + 60, rc.top + 80));
    HWND menu = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (menu = run.FindWindowOf(L"#32768", nullptr)) && ::IsWindowVisible(menu); }));
    if (menu)
        SaveWindowPng(main, L"e2e-calendar-menu");
    ::PostMessageW(main, WM_CANCELMODE, 0, 0);
    ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    WaitUntil([&] { return !menu || !::IsWindowVisible(menu); });

    ::DeleteFileW(kExportPath);
    ::PostMessageW(main, WM_COMMAND, kExport, 0);
    HWND save = WaitForFileDialog(run);
    ASSERT_NE(save, nullptr);
    SaveWindowPng(save, L"e2e-export-dialog");
    ChooseFile(save, kExportPath);
    EXPECT_NE(TakeReport(run).find(L"一次性 1 条，阳历每年 0 条，农历每年 1 条"), std::wstring::npos);
    const std::string ics = ReadBytes(kExportPath);
    EXPECT_NE(ics.find("UID:once-20240501@almanix.memo"), std::string::npos) << ics;
    EXPECT_NE(ics.find("RRULE:RSCALE=CHINESE;FREQ=YEARLY;BYMONTH=8;BYMONTHDAY=15"), std::string::npos);
    EXPECT_NE(ics.find("\r\nX-WR-CALNAME:Almanix \xe8\xae\xb0\xe4\xba\x8b\r\n"), std::string::npos);  // 记事

    // The second file type writes lunar memos as dated events, one a year, for calendars
    // without lunar rules.
    ::DeleteFileW(kExportPath);
    ::PostMessageW(main, WM_COMMAND, kExport, 0);
    save = WaitForFileDialog(run);
    ASSERT_NE(save, nullptr);
    ChooseFileType(save, 1);
    ChooseFile(save, kExportPath);
    EXPECT_NE(TakeReport(run).find(L"农历记事写为"), std::wstring::npos);
    const std::string dated = ReadBytes(kExportPath);
    EXPECT_EQ(dated.find("RSCALE"), std::string::npos);
    int nMidAutumn = 0;
    for (std::size_t at = 0; (at = dated.find("X-ALMANIX-LUNAR:08-15", at)) != std::string::npos; ++at)
        ++nMidAutumn;
    EXPECT_GE(nMidAutumn, 22);  // this year -1 .. +20, and a leap eighth month if one falls in it

    WriteBytes(kImportPath,
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//e2e//EN\r\nBEGIN:VEVENT\r\nUID:x@e2e\r\n"
        "DTSTART;VALUE=DATE:20240502\r\nSUMMARY:\xe8\xa1\xa5\xe7\x8f\xad\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:y@e2e\r\nDTSTART;VALUE=DATE:20240501\r\nSUMMARY:Lunch\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n");
    ::PostMessageW(main, WM_COMMAND, kImport, 0);
    HWND open = WaitForFileDialog(run);
    ASSERT_NE(open, nullptr);
    ChooseFile(open, kImportPath);
    EXPECT_NE(TakeReport(run).find(L"一次性记事：2 条"), std::wstring::npos);
    EXPECT_EQ(
        ReadBytes(CalendarFile(L"202405")), MemoFile(MemoRecord(1, "劳动节聚餐\r\nLunch") + MemoRecord(2, "补班")));

    // The month was read again: day 2 now carries the one-off mark.
    HWND view = ChildWithId(main, kMonthView);
    EXPECT_TRUE(WaitForOneOffMark(main, view, CellOfMay2024(2)));
    SaveWindowPng(main, L"e2e-after-import");

    // The autostart entry goes and comes back with the menu's switch.
    ASSERT_NE(RegText(kRunKey, L"Almanix"), L"<none>");
    ::SendMessageW(main, WM_COMMAND, kAutoStart, 0);
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), L"<none>");
    ::SendMessageW(main, WM_COMMAND, kAutoStart, 0);
    EXPECT_NE(RegText(kRunKey, L"Almanix"), L"<none>");

    // Turned off, it stays off when the calendar starts again.
    ::SendMessageW(main, WM_COMMAND, kAutoStart, 0);
    run.Kill();
    AlmanixRun again;
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), L"<none>");
}

}  // namespace
