#include "harness.h"

#include "top_windows.h"
#include "window_png.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

const wchar_t kSettingsKey[] = L"SOFTWARE\\Kestrin\\Almanix";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kMemoTitle[] = L"输入记事 - 日历2.18";

namespace {

std::wstring FromBuild(const wchar_t* var)
{
    const wchar_t* v = _wgetenv(var);
    if (!v)
        return std::wstring();
    std::wstring path = v;
    if (!path.empty() && path[0] == L'/') {  // a Unix path: Wine shows / as drive Z:
        for (wchar_t& c : path)
            if (c == L'/')
                c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}

}  // namespace

std::wstring ProgramPath(bool testClock)
{
    return FromBuild(testClock ? L"ALMANIX_E2E_EXE" : L"ALMANIX_EXE");
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        // Wakes for this thread's messages, else after a short while to look again.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void SetTestClockOffset(LONGLONG seconds)
{
    static HANDLE map =
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONGLONG), L"AlmanixTestClock");
    if (auto* view = static_cast<volatile LONGLONG*>(::MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, sizeof(LONGLONG)))) {
        *view = seconds;
        ::UnmapViewOfFile(const_cast<LONGLONG*>(view));
    }
}

void SetTestClockTo(const SYSTEMTIME& local)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME target, current;
    ::SystemTimeToFileTime(&local, &target);
    ::SystemTimeToFileTime(&now, &current);
    ULARGE_INTEGER t, c;
    t.LowPart = target.dwLowDateTime;
    t.HighPart = target.dwHighDateTime;
    c.LowPart = current.dwLowDateTime;
    c.HighPart = current.dwHighDateTime;
    SetTestClockOffset((static_cast<LONGLONG>(t.QuadPart) - static_cast<LONGLONG>(c.QuadPart)) / 10000000LL);
}

AlmanixRun::~AlmanixRun()
{
    Kill();
}

bool AlmanixRun::Launch(bool testClock)
{
    std::wstring exe = ProgramPath(testClock);
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    // Wine on a busy machine now and then refuses a start (error 1359) that works when asked again.
    for (int attempt = 1;; ++attempt) {
        if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            return true;
        const DWORD error = ::GetLastError();
        if (attempt == 2) {
            std::fprintf(stderr, "cannot start %ls (error %lu)\n", exe.c_str(), error);
            return false;
        }
        std::fprintf(stderr, "%ls did not start (error %lu), trying once more\n", exe.c_str(), error);
    }
}

bool AlmanixRun::Start(bool testClock)
{
    if (!Launch(testClock))
        return false;
    ::WaitForInputIdle(m_pi.hProcess, 30000);
    WaitUntil([&] { return (m_main = FindWindowOf(L"#32770", L"日历2.18")) != nullptr; }, 30000);
    return m_main != nullptr && Sync(m_main) && WaitForStartsLaterPart();
}

bool AlmanixRun::WaitForStartsLaterPart() const
{
    return WaitUntil(
        [&] {
            return FindTab(L"本") != nullptr || FindNotebookNow() != nullptr;
        },
        30000);
}

bool AlmanixRun::StartEmbedded(HWND view)
{
    if (!Launch(false))
        return false;
    // The dialog manager shows the calendar when its queue first goes empty: a "-" before
    // that would be undone. The desktop's window is this thread's, so it pumps meanwhile.
    WaitUntil([&] { return ::WaitForInputIdle(m_pi.hProcess, 0) == 0; }, 30000);
    WaitUntil([&] { return (m_main = ::FindWindowExW(view, nullptr, L"#32770", L"日历2.18")) != nullptr; }, 30000);
    return m_main != nullptr && Sync(m_main) && WaitForStartsLaterPart();
}

DWORD AlmanixRun::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_pi.hProcess)
        ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

bool AlmanixRun::Running() const
{
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool AlmanixRun::WaitForExit(DWORD timeoutMs)
{
    if (!m_pi.hProcess)
        return true;
    return WaitUntil([&] { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

void AlmanixRun::Kill()
{
    if (!m_pi.hProcess)
        return;
    if (Running()) {
        ::TerminateProcess(m_pi.hProcess, 1);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
    m_pi = {};
    m_main = nullptr;
}

HWND AlmanixRun::FindWindowOf(const wchar_t* cls, const wchar_t* title) const
{
    return FindTopWindow(m_pi.dwProcessId, [&](HWND h) {
        wchar_t buf[256];
        if (cls && (!::GetClassNameW(h, buf, 256) || wcscmp(buf, cls) != 0))
            return false;
        return !title || (::GetWindowTextW(h, buf, 256), wcscmp(buf, title) == 0);
    });
}

HWND AlmanixRun::FindNotebookNow() const
{
    return FindTopWindow(m_pi.dwProcessId, [](HWND h) { return ::GetDlgItem(h, kNoteEdit) != nullptr; });
}

HWND AlmanixRun::FindTab(const wchar_t* text) const
{
    return FindTopWindow(m_pi.dwProcessId, [&](HWND h) {
        wchar_t buf[16] = {};
        HWND button = ::GetDlgItem(h, 1000);
        return button && ::GetWindowTextW(button, buf, 16) && wcscmp(buf, text) == 0;
    });
}

std::wstring DocumentsFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring MemoFolder()
{
    return DocumentsFolder() + L"\\我的记事";
}

bool FileExists(const std::wstring& path)
{
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadBytes(const std::wstring& path)
{
    std::string out;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
            out.append(buf, n);
        fclose(f);
    }
    return out;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
}

std::wstring RegText(const wchar_t* key, const wchar_t* value)
{
    wchar_t buf[1024] = {};
    DWORD bytes = sizeof(buf) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return buf;
}

void SetRegText(const wchar_t* key, const wchar_t* value, const wchar_t* text)
{
    ::RegSetKeyValueW(
        HKEY_CURRENT_USER, key, value, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

void MoveMouse(HWND hwnd, int x, int y)
{
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void Click(HWND hwnd, int x, int y)
{
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

bool Sync(HWND hwnd, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t buf[512] = {};
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000, nullptr);
    return buf;
}

std::wstring StaticTexts(HWND dialog)
{
    std::wstring all;
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        ::GetClassNameW(c, cls, 32);
        if (_wcsicmp(cls, L"Static") == 0)
            all += TextOf(c);
    }
    return all;
}

HWND ChildWithId(HWND parent, int id)
{
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (::GetDlgCtrlID(c) == id)
            return c;
    return nullptr;
}

RECT RectOf(HWND hwnd)
{
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

COLORREF PixelAt(HWND hwnd, int x, int y)
{
    POINT pt = {x, y};
    ::ClientToScreen(hwnd, &pt);
    HDC screen = ::GetDC(nullptr);
    COLORREF c = ::GetPixel(screen, pt.x, pt.y);
    ::ReleaseDC(nullptr, screen);
    return c;
}

void Choose(HWND main, int year, int month)
{
    ::SendDlgItemMessageW(main, kComboYear, CB_SETCURSEL, year - 1900, 0);
    ::SendMessageW(main, WM_COMMAND, MAKEWPARAM(kComboYear, CBN_SELCHANGE), (LPARAM)::GetDlgItem(main, kComboYear));
    ::SendDlgItemMessageW(main, kComboMonth, CB_SETCURSEL, month - 1, 0);
    ::SendMessageW(main, WM_COMMAND, MAKEWPARAM(kComboMonth, CBN_SELCHANGE), (LPARAM)::GetDlgItem(main, kComboMonth));
}

HWND StartOnMay2024(AlmanixRun& run)
{
    if (!run.Start())
        return nullptr;
    Choose(run.Main(), 2024, 5);
    return ChildWithId(run.Main(), kMonthView);
}

void Type(HWND edit, const std::wstring& text)
{
    for (wchar_t c : text)
        ::SendMessageW(edit, WM_CHAR, c, 1);
}

void PostClick(HWND hwnd, int x, int y)
{
    ::PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

HWND WaitForDialog(AlmanixRun& run, const wchar_t* title)
{
    HWND dlg = nullptr;
    WaitUntil([&] { return (dlg = run.FindWindowOf(L"#32770", title)) != nullptr && ::IsWindowVisible(dlg); });
    return dlg;
}

HWND OpenDayMemo(AlmanixRun& run, HWND view, POINT pt)
{
    PostClick(view, pt);
    return WaitForDialog(run, kMemoTitle);
}

HWND FindNotebook(AlmanixRun& run)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = run.FindNotebookNow()) != nullptr; });
    return found;
}

HWND OpenNotebook(AlmanixRun& run)
{
    HWND tab = run.FindTab(L"本");
    if (!tab)
        return nullptr;
    ::SendMessageW(::GetDlgItem(tab, 1000), BM_CLICK, 0, 0);
    HWND notebook = FindNotebook(run);
    return notebook && WaitUntil([&] { return ::IsWindowVisible(notebook) != FALSE; }) ? notebook : nullptr;
}

HWND VisibleTip(AlmanixRun& run)
{
    return FindTopWindow(run.Pid(), [&](HWND h) {
        wchar_t cls[32] = {};
        ::GetClassNameW(h, cls, 32);
        LONG style = ::GetWindowLongW(h, GWL_STYLE);
        return h != run.Main() && wcscmp(cls, L"#32770") == 0 && ::IsWindowVisible(h) && (style & WS_POPUP) &&
            !(style & WS_CAPTION) && !::GetDlgItem(h, 1000) && !::GetDlgItem(h, kNoteEdit);
    });
}

std::wstring WebServerDir()
{
    const wchar_t* dir = _wgetenv(L"ALMANIX_BULLETIN_DIR");
    std::wstring path = dir ? dir : L"";
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + path;
}

std::wstring MemoLinesOf(const std::wstring& tip)
{
    // Wrapped 宜 and 忌 lines go on indented, so the first line after 忌 to begin with 冲 is the clash.
    const std::size_t ji = tip.find(L"\r\n忌：");
    const std::size_t clash = ji == std::wstring::npos ? ji : tip.find(L"\r\n冲", ji);
    if (tip.compare(0, 2, L"农历") != 0 || clash == std::wstring::npos)
        return tip;
    const std::size_t end = tip.find(L"\r\n", clash + 2);
    return end == std::wstring::npos ? std::wstring() : tip.substr(end + 2);
}

std::wstring CalendarFile(const wchar_t* name)
{
    return MemoFolder() + L"\\日历\\" + name;
}

std::string MemoRecord(int slot, const std::string& text, unsigned length)
{
    if (length == ~0u)
        length = static_cast<unsigned>(text.size());
    std::string r;
    r += static_cast<char>(slot & 0xFF);
    r += static_cast<char>((slot >> 8) & 0xFF);
    r += static_cast<char>(length & 0xFF);
    r += static_cast<char>(length >> 8);
    r += std::string(4, '\0');
    return r + text;
}

std::string MemoFile(const std::string& records)
{
    return std::string("\x64\x00", 2) + records;
}

POINT CellOfMay2024(int d)
{
    int index = 3 + d - 1;
    return {52 * (index % 7), 21 + 33 * (index / 7)};
}

bool Picture::Capture(HWND hwnd)
{
    return CaptureWindow(hwnd, &w, &h, &px);
}

COLORREF Picture::At(int x, int y) const
{
    DWORD p = px[static_cast<size_t>(y) * w + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Picture::Count(int l, int t, int r, int b, COLORREF c) const
{
    int n = 0;
    for (int y = (std::max)(t, 0); y < b && y < h; ++y)
        for (int x = (std::max)(l, 0); x < r && x < w; ++x) {
            COLORREF p = At(x, y);
            int dr = GetRValue(p) - GetRValue(c), dg = GetGValue(p) - GetGValue(c), db = GetBValue(p) - GetBValue(c);
            if (dr * dr + dg * dg + db * db <= 60 * 60)
                ++n;
        }
    return n;
}

bool WaitForOneOffMark(HWND main, HWND view, POINT cell)
{
    Picture pic;
    return WaitUntil(
        [&] {
            Sync(main);
            return pic.Capture(view) && pic.At(cell.x + 34, cell.y + 1) == RGB(135, 206, 250);
        },
        5000);
}

std::wstring TipOfMay2024Day(AlmanixRun& run, HWND view, int d, const std::wstring& none)
{
    POINT away = DayOfMay2024(d == 31 ? 30 : 31), pt = DayOfMay2024(d);
    MoveMouse(view, away.x, away.y);
    MoveMouse(view, pt.x, pt.y);
    Sync(view);
    // The tip may reach the screen's list of windows a moment after the move was handled.
    HWND tip = nullptr;
    WaitUntil([&] { return (tip = VisibleTip(run)) != nullptr; }, 2000);
    return tip ? TextOf(tip) : none;
}
