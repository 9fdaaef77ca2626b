#include "app/ical_menu.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/holiday_update.h"
#include "base/scoped_handle.h"
#include "controls/registry.h"
#include "framework/wnd.h"
#include "ical/memo_ical.h"
#include "memo/memo_store.h"
#include "monthview/navigation.h"
#include "resource.h"
#include "text/gbcodec.h"

namespace {

const wchar_t kFilter[] = L"iCalendar (*.ics)\0*.ics\0所有文件 (*.*)\0*.*\0";
// The save dialog's file types, in the order of ExportForm.
const wchar_t kExportFilter[] = L"iCalendar，农历记事按农历规则 (RFC 7529)\0*.ics\0"
                                L"iCalendar，农历记事按日期（适用于 Google、Outlook 等）\0*.ics\0";
enum class ExportForm { LunarRules = 1, LunarDates = 2 };
// Dated lunar memos cover last year and twenty ahead: 22 events, 4.6 KB a memo, 1.7 MB for
// all 360 lunar days. 1900-2049 would write 150 events a memo, 11 MB for all of them.
constexpr int kDatedYearsBefore = 1, kDatedYearsAfter = 20;
const char kAutoStartSetting[] = "AutoStart";      // "0": the user turned autostart off
const char kShowAlmanacSetting[] = "ShowAlmanac";  // "0": the user turned the almanac off
constexpr LONGLONG kMaxFileBytes = 64LL << 20;

void Report(HWND owner, const std::string& gbText, UINT icon)
{
    ::MessageBoxW(owner, almanix::Wide(gbText).c_str(), L"Almanix", MB_OK | icon);
}

// The file dialogs may move the current directory, which must stay the memo folder.
class CKeepCurrentDirectory {
public:
    CKeepCurrentDirectory() { ::GetCurrentDirectoryW(MAX_PATH, m_szPath); }
    ~CKeepCurrentDirectory() { ::SetCurrentDirectoryW(m_szPath); }
    CKeepCurrentDirectory(const CKeepCurrentDirectory&) = delete;
    CKeepCurrentDirectory& operator=(const CKeepCurrentDirectory&) = delete;

private:
    wchar_t m_szPath[MAX_PATH] = {};
};

// nType: the file type chosen (1 the first), for the save dialog's.
bool AskFile(HWND owner, bool bSave, std::wstring& path, DWORD* pnType = nullptr)
{
    wchar_t buffer[MAX_PATH] = L"almanix.ics";
    if (!bSave)
        buffer[0] = L'\0';
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = bSave ? kExportFilter : kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"ics";
    ofn.Flags =
        OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | (bSave ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    CKeepCurrentDirectory keep;
    if (!(bSave ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn)))
        return false;
    path = buffer;
    if (pnType)
        *pnType = ofn.nFilterIndex;
    return true;
}

struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return ::CloseHandle(h) != 0; }
};
using CFileHandle = CScopedHandle<FileTraits>;

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    CFileHandle file(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (file.Get() == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxFileBytes)
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD done = 0;
    return bytes.empty() ||
        (::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
            done == bytes.size());
}

// Written beside the target and moved over it once whole: a file the user exports over keeps
// its old content if the write fails or the program is ended halfway.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    const std::wstring temp = path + L".tmp";
    bool ok;
    {
        CFileHandle file(
            ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        ok = file.IsValid() &&
            ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
            done == bytes.size() && ::FlushFileBuffers(file.Get()) && file.Close();
    }
    ok = ok && ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        ::DeleteFileW(temp.c_str());
    return ok;
}

// Offset of the local clock from UTC at an instant, by the system's rules for that date.
int LocalOffset(std::int64_t utcSeconds)
{
    const ULONGLONG ticks = static_cast<ULONGLONG>(utcSeconds + 11644473600LL) * 10000000ULL;
    FILETIME ft = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc, local;
    FILETIME localFt;
    if (!::FileTimeToSystemTime(&ft, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !::SystemTimeToFileTime(&local, &localFt))
        return 0;
    const ULONGLONG localTicks = (static_cast<ULONGLONG>(localFt.dwHighDateTime) << 32) | localFt.dwLowDateTime;
    return static_cast<int>((static_cast<LONGLONG>(localTicks) - static_cast<LONGLONG>(ticks)) / 10000000LL);
}

std::string Counts(const int counts[5])
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "一次性 %d 条，阳历每年 %d 条，农历每年 %d 条，每周 %d 条", counts[MEMO_KIND_ONCE],
        counts[MEMO_KIND_SOLAR_YEARLY], counts[MEMO_KIND_LUNAR_YEARLY], counts[MEMO_KIND_WEEKLY]);
    return buf;
}

const char* Reason(ExchangeWhy why)
{
    switch (why) {
    case ExchangeWhy::DamagedFileRead:
        return "记事文件已损坏，损坏处之后的记事未能读出";
    case ExchangeWhy::NeverShown:
        return "日历中没有这一天，未导出";
    case ExchangeWhy::NotAnEvent:
        return "不是日程，已跳过";
    case ExchangeWhy::NoStart:
        return "没有开始日期，已跳过";
    case ExchangeWhy::NoText:
        return "没有内容，已跳过";
    case ExchangeWhy::OutsideYears:
        return "日期不在 1900-2049 年之间，已跳过";
    case ExchangeWhy::Simplified:
        return "重复方式无法对应，只取第一次";
    case ExchangeWhy::FurtherDates:
        return "有多个日期，只取第一个";
    case ExchangeWhy::ChangedOccurrence:
        return "重复日程中改动过的一次，作为一次性记事";
    case ExchangeWhy::SeveralDays:
        return "跨越多天，只记在第一天";
    case ExchangeWhy::Cut:
        return "内容过长，已截短";
    case ExchangeWhy::MemoFull:
        return "记事已满，未添加";
    case ExchangeWhy::DamagedFileKept:
        return "记事文件已损坏，未改动";
    case ExchangeWhy::NotWritten:
        return "记事文件无法保存";
    case ExchangeWhy::Unreadable:
        return "无法读出，已跳过";
    case ExchangeWhy::BadDate:
        return "日期无法读出，已跳过";
    case ExchangeWhy::Cancelled:
        return "已取消，已跳过";
    case ExchangeWhy::Spread:
        return "无限重复，按一次性记事记在前后几年";
    case ExchangeWhy::UnknownZone:
        return "时区不明，按本机时间读";
    case ExchangeWhy::TooManyDates:
        return "日期太多，只取前面的";
    }
    return "";
}

std::string Notes(const std::vector<ExchangeNote>& notes)
{
    std::string s;
    const std::size_t kShown = 12;
    for (std::size_t i = 0; i < notes.size() && i < kShown; ++i) {
        const ExchangeNote& n = notes[i];
        char line[32] = "";
        if (n.m_nLine)
            std::snprintf(line, sizeof line, "第 %d 行 ", n.m_nLine);
        const std::string what = n.m_what.empty() ? n.m_detail : n.m_what;
        s += std::string("\r\n") + line + almanix::Utf8ToGb(what.substr(0, 60)) + (what.empty() ? "" : "：") +
            Reason(n.m_why);
    }
    if (notes.size() > kShown)
        s += "\r\n……";
    return s;
}

}  // namespace

void ShowCalendarMenu(HWND owner, POINT pt)
{
    HMENU menu = ::CreatePopupMenu();
    if (!menu)
        return;
    ::AppendMenuW(menu, MF_STRING, ID_EXPORT_ICAL, L"导出为 iCalendar…");
    ::AppendMenuW(menu, MF_STRING, ID_IMPORT_ICAL, L"从 iCalendar 导入…");
    ::AppendMenuW(menu, MF_STRING, ID_SYNC_SETTINGS, L"同步…");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING | (IsAutoStartSet() ? MF_CHECKED : MF_UNCHECKED), ID_AUTOSTART, L"开机启动");
    ::AppendMenuW(
        menu, MF_STRING | (HolidayUpdateWanted() ? MF_CHECKED : MF_UNCHECKED), ID_HOLIDAY_UPDATE, L"自动更新节假日");
    ::AppendMenuW(menu, MF_STRING | (AlmanacWanted() ? MF_CHECKED : MF_UNCHECKED), ID_SHOW_ALMANAC, L"显示黄历");
    ::AppendMenuW(menu, MF_STRING, ID_ABOUT, L"关于 Almanix");
    if (pt.x == -1 && pt.y == -1) {
        RECT rc;
        ::GetWindowRect(owner, &rc);
        pt = {rc.left + 8, rc.top + 8};
    }
    // The owner must be foreground, or the menu stays open after a click elsewhere.
    ::SetForegroundWindow(owner);
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    ::PostMessageW(owner, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
}

void ExportMemosWithDialog(HWND owner)
{
    std::wstring path;
    DWORD nType = 0;
    if (!AskFile(owner, true, path, &nType))
        return;
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02dZ", now.wYear, now.wMonth, now.wDay, now.wHour,
        now.wMinute, now.wSecond);
    ExportOptions options;
    options.m_stamp = stamp;
    options.m_calendarName = kExportCalendarName;
    std::string span;
    if (nType == static_cast<DWORD>(ExportForm::LunarDates)) {
        SYSTEMTIME today;
        GetClockTime(&today);
        options.m_nExpandFrom = std::max<int>(FIRST_SHOWN_MONTH.m_nYear, today.wYear - kDatedYearsBefore);
        options.m_nExpandTo = std::min<int>(LAST_SHOWN_MONTH.m_nYear, today.wYear + kDatedYearsAfter);
        char buf[96];
        std::snprintf(buf, sizeof buf, "\r\n农历记事写为 %d-%d 年的日期。", options.m_nExpandFrom, options.m_nExpandTo);
        span = buf;
    }
    std::vector<ExchangeNote> notes;
    const std::vector<MemoItem> memos = ReadMemoFolder(DefaultCalendarFolder(), notes);
    ExportReport report;
    const std::string ics = ExportIcal(memos, options, report);
    report.m_notes.insert(report.m_notes.begin(), notes.begin(), notes.end());
    if (!WriteFileBytes(path, ics)) {
        Report(owner, "无法写入文件：" + almanix::Narrow(path), MB_ICONERROR);
        return;
    }
    Report(owner,
        "已导出到 " + almanix::Narrow(path) + "\r\n" + Counts(report.m_nEvents) + "。" + span + Notes(report.m_notes),
        MB_ICONINFORMATION);
}

bool ImportMemosWithDialog(HWND owner)
{
    std::wstring path;
    if (!AskFile(owner, false, path))
        return false;
    std::string ics;
    if (!ReadFileBytes(path, ics)) {
        Report(owner, "无法读取文件：" + almanix::Narrow(path), MB_ICONERROR);
        return false;
    }
    ImportOptions options;
    options.m_pfnLocalOffset = LocalOffset;
    options.m_bLocationLine = true;
    ImportReport report;
    std::vector<MemoItem> memos;
    if (!ReadIcalMemos(ics, options, memos, report)) {
        Report(owner, "文件中没有日历，没有导入任何记事。\r\n" + almanix::Utf8ToGb(report.m_error), MB_ICONERROR);
        return false;
    }
    AddMemosToFolder(memos, DefaultCalendarFolder(), report);
    std::string summary;  // GB18030 has no 0x0A inside a character
    for (char c : almanix::Utf8ToGb(FormatImportSummaryZh(report)))
        summary += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Report(owner, "已导入：\r\n" + summary + Notes(report.m_notes),
        report.m_nFailedFiles ? MB_ICONWARNING : MB_ICONINFORMATION);
    int taken = 0;
    for (int n : report.m_nTaken)
        taken += n;
    return taken > 0;
}

bool IsAutoStartSet()
{
    BYTE run[MAX_PATH * 4];
    return ReadRegValue(ALMANIX_RUN_KEY, ALMANIX_RUN_VALUE, run, sizeof run) == 0;
}

bool AutoStartWanted()
{
    return ReadRegSwitch(ALMANIX_SETTINGS_KEY, kAutoStartSetting);
}

void ToggleAutoStart()
{
    const bool enable = !IsAutoStartSet();
    SetAutoStart(enable, ALMANIX_RUN_VALUE);
    WriteRegSwitch(ALMANIX_SETTINGS_KEY, kAutoStartSetting, enable);
}

bool AlmanacWanted()
{
    return ReadRegSwitch(ALMANIX_SETTINGS_KEY, kShowAlmanacSetting);
}

void SetAlmanacWanted(bool bShow)
{
    WriteRegSwitch(ALMANIX_SETTINGS_KEY, kShowAlmanacSetting, bShow);
}

void ShowAboutBox(HWND owner)
{
    const std::string holidays = LoadHolidayUpdateWords();
    Report(owner,
        "Almanix 日历 2.18\r\n\r\n农历、节气、节日与记事。\r\n记事可导出为 iCalendar（RFC 5545，农历记事按 RFC "
        "7529 规则或逐年的日期），也可从 iCalendar 导入。" +
            (holidays.empty() ? std::string() : "\r\n\r\n" + holidays),
        MB_ICONINFORMATION);
}
