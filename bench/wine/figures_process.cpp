// Whole programs from outside: each is started as a process of its own in this Wine prefix and
// watched through the system, as a user's desktop would see it.
//
// "First full paint": the process has gone idle for the first time (WaitForInputIdle: it waits
// for input with nothing queued, so every window it created has handled its first WM_PAINT)
// and the screen shows the paint mark, pixels that only the end of that paint leaves. The
// moment counted is the later of the two; the mark is looked at again every millisecond.
#include "figures.h"

#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "engine/lunar.h"
#include "framework/wnd.h"
#include "memo/memo_file.h"
#include "monthview/month_model.h"
#include "resource.h"
#include "top_windows.h"

namespace {

const UINT kCtrlNotify = WM_USER + 101;  // what the calendar's hover buttons post to it
const DWORD kSettleMs = 300;

struct Child {
    PROCESS_INFORMATION m_pi = {};
    HWND m_main = nullptr;
    double m_readyMs = 0;  // from CreateProcess to the first full paint
    std::string m_token;   // in its command line only: finds its Linux process under Wine
    int m_unixPid = 0;     // that process, once looked for; -1: none

    ~Child() { Kill(); }
    void Kill()
    {
        if (!m_pi.hProcess)
            return;
        ::TerminateProcess(m_pi.hProcess, 1);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
        m_pi = {};
        m_main = nullptr;
        // The window server and the display clean up after the process for a while; the next
        // start is not to share the machine with that.
        ::Sleep(kSettleMs);
    }
};

HWND FindMain(DWORD pid, const std::wstring& title)
{
    return FindTopWindow(pid, [&](HWND h) {
        wchar_t text[64] = {};
        return ::IsWindowVisible(h) && ::GetWindowTextW(h, text, 64) && title == text;
    });
}

bool Painted(HWND hwnd, const ProgramSpec& program)
{
    HDC screen = ::GetDC(nullptr);
    bool all = true;
    for (size_t i = 0; i < program.m_markPoints.size() && all; ++i) {
        POINT pt = program.m_markPoints[i];
        ::ClientToScreen(hwnd, &pt);
        all = ::GetPixel(screen, pt.x, pt.y) == program.m_markColors[i];
    }
    ::ReleaseDC(nullptr, screen);
    return all;
}

bool Start(const ProgramSpec& program, Child* child)
{
    // Both programs ignore their command line; the token names this start among processes.
    static int s_nStarts = 0;
    child->m_token = Format("figures-run-%lu-%d", ::GetCurrentProcessId(), ++s_nStarts);
    std::wstring cmd = L"\"" + program.m_path + L"\" " + almanix::Wide(child->m_token);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    double t0 = NowMs();
    if (!::CreateProcessW(
            program.m_path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child->m_pi)) {
        std::fprintf(stderr, "cannot start %ls (error %lu)\n", program.m_path.c_str(), ::GetLastError());
        return false;
    }
    ::WaitForInputIdle(child->m_pi.hProcess, 30000);
    double idle = NowMs();
    bool first = true;
    for (;;) {
        if (!child->m_main)
            child->m_main = FindMain(child->m_pi.dwProcessId, program.m_title);
        if (child->m_main && Painted(child->m_main, program))
            break;
        first = false;
        if (NowMs() - t0 > 30000 || ::WaitForSingleObject(child->m_pi.hProcess, 1) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "%ls: no painted window \"%ls\"\n", program.m_path.c_str(), program.m_title.c_str());
            return false;
        }
    }
    child->m_readyMs = (first ? idle : NowMs()) - t0;
    return true;
}

std::string ReadAll(const std::wstring& path)
{
    std::string out;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

// Under Wine every Windows process is a Linux process whose command line is the Windows one.
int UnixPid(Child& child)
{
    if (child.m_unixPid != 0)
        return child.m_unixPid;
    child.m_unixPid = -1;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(L"Z:\\proc\\*", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    do {
        if (fd.cFileName[0] < L'0' || fd.cFileName[0] > L'9')
            continue;
        std::string cmdline = ReadAll(std::wstring(L"Z:\\proc\\") + fd.cFileName + L"\\cmdline");
        if (cmdline.find(child.m_token) != std::string::npos) {
            child.m_unixPid = _wtoi(fd.cFileName);
            break;
        }
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    return child.m_unixPid;
}

double TimesMs(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& ft) {
        return static_cast<double>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns units
}

// User and kernel time of the process, all its threads, the ended ones included. Wine 8
// answers GetProcessTimes for another process with the caller's own times; then the Linux
// process's counters (/proc/PID/stat, in 10 ms ticks) say it instead.
double CpuMs(Child& child)
{
    double own = TimesMs(::GetCurrentProcess());
    double theirs = TimesMs(child.m_pi.hProcess);
    if (theirs >= 0 && theirs != own)
        return theirs;
    int pid = UnixPid(child);
    if (pid <= 0)
        return -1;
    std::string stat = ReadAll(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
    size_t paren = stat.rfind(')');
    if (paren == std::string::npos)
        return -1;
    // After the name: state (field 3) ... utime (14), stime (15).
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(
            stat.c_str() + paren + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) * 10.0;
}

// Working set and private memory. Wine 8 leaves PrivateUsage at 0; then the private pages the
// Linux process has resident (/proc/PID/smaps_rollup) stand in for it.
bool Memory(Child& child, double* workingSetKb, double* privateKb)
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    if (!::K32GetProcessMemoryInfo(child.m_pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc)))
        return false;
    *workingSetKb = static_cast<double>(pmc.WorkingSetSize) / 1024.0;
    *privateKb = static_cast<double>(pmc.PrivateUsage) / 1024.0;
    if (pmc.PrivateUsage == 0 && UnixPid(child) > 0) {
        std::string rollup = ReadAll(L"Z:\\proc\\" + std::to_wstring(UnixPid(child)) + L"\\smaps_rollup");
        double kb = 0;
        for (const char* key : {"Private_Clean:", "Private_Dirty:"}) {
            size_t at = rollup.find(key);
            if (at != std::string::npos)
                kb += std::atof(rollup.c_str() + at + std::strlen(key));
        }
        *privateKb = kb;
    }
    return true;
}

LRESULT SendTo(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok = nullptr)
{
    DWORD_PTR result = 0;
    bool sent = ::SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_NORMAL, 5000, &result) != 0;
    if (ok)
        *ok = sent;
    return static_cast<LRESULT>(result);
}

// The memo folder of this prefix's documents, as the calendar finds it: memos on days 8 and
// 16 of this month, so that a hover there shows a tip and the start loads real memo files.
bool WriteTodayMemos(SYSTEMTIME* today)
{
    ::GetLocalTime(today);
    wchar_t docs[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, docs)))
        return false;
    wchar_t old[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, old);
    bool ok = PrepareMemoFolder(almanix::Narrow(docs).c_str()) == 0;
    if (ok) {
        CMonthModel model;
        model.SetMonth(today->wYear, today->wMonth, 0);
        for (int day : {8, 16}) {
            model.m_nHotDay = static_cast<std::uint16_t>(day);
            ok = ok && model.SaveDayMemos("交房租\r\n带伞", 0, "生日", 0, "祭祖", 0) == 0;
        }
    }
    ::SetCurrentDirectoryW(old);
    return ok;
}

POINT DayPoint(const SYSTEMTIME& today, int day)
{
    int first = DayOfWeek(today.wYear, today.wMonth, 1);
    int col = DayOfWeek(today.wYear, today.wMonth, day);
    int row = (first + day - 1) / 7;
    return POINT{MONTH_CELL_PITCH_X * col + 20, MONTH_HEADER_HEIGHT + MONTH_CELL_PITCH_Y * row + 16};
}

BOOL CALLBACK ChildNeedsPaint(HWND hwnd, LPARAM found)
{
    RECT rc;
    if (::GetUpdateRect(hwnd, &rc, FALSE)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// The end of a repaint in another process. RedrawWindow with RDW_UPDATENOW sends WM_PAINT to
// every window of the tree that still has something to paint and returns when they have
// painted; a paint that the program had already begun by itself ends before the program
// handles the WM_NULL sent after it (one thread does both). Repeated while a paint left
// something new to paint (a label that resizes itself invalidates its parent).
void FinishPaint(HWND hwnd)
{
    for (int i = 0; i < 10; ++i) {
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendTo(hwnd, WM_NULL, 0, 0);
        RECT rc;
        bool found = ::GetUpdateRect(hwnd, &rc, FALSE) != FALSE;
        if (!found)
            ::EnumChildWindows(hwnd, ChildNeedsPaint, reinterpret_cast<LPARAM>(&found));
        if (!found)
            return;
    }
}

// The tip: a visible pop-up of the calendar whose top edge is 12 pixels below the pointer.
HWND FindTip(DWORD pid, HWND main, int top)
{
    return FindTopWindow(pid, [&](HWND h) {
        RECT rc;
        return h != main && ::IsWindowVisible(h) && ::GetWindowRect(h, &rc) && rc.top == top;
    });
}

}  // namespace

bool WarmUp(const ProgramSpec& program)
{
    Child child;
    return Start(program, &child);
}

bool MeasureStart(const ProgramSpec& program, int runs, StartFigures* out)
{
    for (int i = 0; i < runs; ++i) {
        Child child;
        if (!Start(program, &child))
            return false;
        out->m_startMs.Add(child.m_readyMs);
        out->m_startCpuMs.Add(CpuMs(child));
        double ws = 0, priv = 0;
        if (Memory(child, &ws, &priv)) {
            out->m_workingSetKb.Add(ws);
            out->m_privateKb.Add(priv);
        }
    }
    return true;
}

// What start-up leaves for after the first paint is done by then.
const DWORD kAfterStartMs = 3000;

bool MeasureIdle(
    const ProgramSpec& almanix, const ProgramSpec& bare, int seconds, IdleFigures* almanixOut, IdleFigures* bareOut)
{
    Child a, b;
    if (!Start(almanix, &a) || !Start(bare, &b))
        return false;
    // What start-up leaves for later (the notebook's tab, the first tick's checks) is done
    // within a few seconds; the idle time begins after it.
    const double settleA = CpuMs(a), settleB = CpuMs(b);
    ::Sleep(kAfterStartMs);
    double wall0 = NowMs();
    double cpuA0 = CpuMs(a), cpuB0 = CpuMs(b);
    almanixOut->m_settleCpuMs = cpuA0 - settleA;
    bareOut->m_settleCpuMs = cpuB0 - settleB;
    // The benchmark is the wait: both programs run their idle loops meanwhile.
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    double cpuA1 = CpuMs(a), cpuB1 = CpuMs(b);
    double wall = (NowMs() - wall0) / 1000.0;
    for (auto [child, out, c0, c1] :
        {std::make_tuple(&a, almanixOut, cpuA0, cpuA1), std::make_tuple(&b, bareOut, cpuB0, cpuB1)}) {
        out->m_seconds = wall;
        out->m_cpuMs = c1 - c0;
        out->m_ok = c0 >= 0 && c1 >= 0 && Memory(*child, &out->m_workingSetKb, &out->m_privateKb) &&
            ::WaitForSingleObject(child->m_pi.hProcess, 0) == WAIT_TIMEOUT;
    }
    return almanixOut->m_ok && bareOut->m_ok;
}

bool MeasureInteraction(const ProgramSpec& almanix, int switches, InteractionFigures* out)
{
    SYSTEMTIME today;
    if (!WriteTodayMemos(&today))
        return false;
    Child child;
    if (!Start(almanix, &child))
        return false;
    HWND main = child.m_main;
    HWND view = ::GetDlgItem(main, IDC_MONTH_VIEW);
    HWND combo = ::GetDlgItem(main, IDC_COMBO_MONTH);
    if (!view || !combo)
        return false;

    // "下月": its button posts WM_CTRLNOTIFY(IDC_NEXT_MONTH) to the calendar window, whose
    // handler sets the month at once. Sent here, the call returns when the handler has; the
    // repaint is then forced through every child that the switch invalidated.
    for (int i = 0; i < switches; ++i) {
        int before = static_cast<int>(SendTo(combo, CB_GETCURSEL, 0, 0));
        double t0 = NowMs();
        bool ok = false;
        SendTo(main, kCtrlNotify, IDC_NEXT_MONTH, 0, &ok);
        FinishPaint(main);
        double ms = NowMs() - t0;
        if (ok && static_cast<int>(SendTo(combo, CB_GETCURSEL, 0, 0)) != before)
            out->m_switchMs.Add(ms);
        else
            ++out->m_switchFailures;
    }
    SendTo(main, kCtrlNotify, IDC_TODAY, 0);
    FinishPaint(main);

    // The pointer moves between days 8 and 16; each move shows that day's tip. The first move,
    // untimed, finds the tip window.
    POINT first = DayPoint(today, 16), firstScreen = first;
    ::ClientToScreen(view, &firstScreen);
    SendTo(view, WM_MOUSEMOVE, 0, MAKELPARAM(first.x, first.y));
    HWND tip = FindTip(child.m_pi.dwProcessId, main, firstScreen.y + 12);
    if (!tip)
        return false;
    FinishPaint(tip);
    for (int i = 0; i < switches; ++i) {
        int day = i % 2 ? 16 : 8;
        POINT pt = DayPoint(today, day);
        POINT screen = pt;
        ::ClientToScreen(view, &screen);
        double t0 = NowMs();
        SendTo(view, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        FinishPaint(tip);
        double ms = NowMs() - t0;
        RECT rc = {};
        if (::IsWindowVisible(tip) && ::GetWindowRect(tip, &rc) && rc.top == screen.y + 12)
            out->m_tipMs.Add(ms);
        else
            ++out->m_tipFailures;
    }
    return !out->m_switchMs.Empty() && !out->m_tipMs.Empty();
}
