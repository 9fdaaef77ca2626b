// The program's own code for a month switch and a tip, in this process: the month view as the
// calendar window holds it, on a memo folder of its own with memos in every shown month. The
// figures leave out what only a second process adds (Wine's cross-process messages).
#include "figures.h"

#include <cstring>
#include <memory>

#include "memo/memo_file.h"
#include "monthview/month_model.h"
#include "monthview/month_view.h"
#include "resource.h"
#include "scratch_folder.h"

namespace {

const int kViewWidth = 363;
const int kViewHeight = 236;
const int kFirstYear = 2027;  // twelve months with memos, the same on every day this runs

// The calendar window as the view sees it; the "返回" requests are dropped.
class COwnerWnd : public CWnd, public IMonthViewOwner {
public:
    BOOL Create()
    {
        RECT rc = {40, 40, 40 + kViewWidth, 40 + 278};
        return CreateEx(0, L"AlmanixFiguresOwner", "figures", WS_POPUP, rc, nullptr, 0);
    }
    void ShowTodayButton(bool) override {}
    void RunMemoDialog(MemoDialogKind) override {}
};

// What a user who keeps a calendar has: on days 8 and 16 of every month a one-off memo, a
// yearly memo and a lunar-yearly memo, and a weekly memo on Mondays.
bool WriteMemos()
{
    CMonthModel model;
    for (int m = 1; m <= 12; ++m) {
        model.SetMonth(kFirstYear, m, 0);
        for (int day : {8, 16}) {
            model.m_nHotDay = static_cast<std::uint16_t>(day);
            if (model.SaveDayMemos("交房租\r\n带伞", 0, "生日", 0, "祭祖", 0) != 0)
                return false;
        }
    }
    model.m_nWeekdayCol = 1;
    return model.SaveWeeklyMemo("例会", 0) == 0;
}

POINT DayPoint(const CMonthView& view, int day)
{
    MonthPoint origin = {0, 0};
    view.GetCellOrigin(day, origin);
    return POINT{origin.x + 20, origin.y + 16};
}

void Repaint(HWND hwnd)
{
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The time this program's calls spend in the system's SetWindowPos: Wine moving the tip's
// window, timed apart from the tip's own work.
using SetWindowPosFn = BOOL(WINAPI*)(HWND, HWND, int, int, int, int, UINT);
SetWindowPosFn g_realSetWindowPos = nullptr;
double g_setWindowPosMs = 0;

BOOL WINAPI TimedSetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    const double t0 = NowMs();
    const BOOL ok = g_realSetWindowPos(hwnd, after, x, y, cx, cy, flags);
    g_setWindowPosMs += NowMs() - t0;
    return ok;
}

// Points this executable's import of user32's SetWindowPos at TimedSetWindowPos.
bool TimeSetWindowPos()
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        if (_stricmp(reinterpret_cast<const char*>(base + imp->Name), "user32.dll") != 0 || !imp->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "SetWindowPos") != 0)
                continue;
            DWORD old = 0;
            if (!::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old))
                return false;
            g_realSetWindowPos = reinterpret_cast<SetWindowPosFn>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(&TimedSetWindowPos);
            ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

}  // namespace

bool MeasureOwnCode(int iterations, OwnCodeFigures* out)
{
    ScratchFolder folder("almanix-figures");
    if (!folder.PrepareMemos() || !WriteMemos())
        return false;
    COwnerWnd owner;
    auto view = std::make_unique<CMonthView>();
    if (!owner.Create() || !view->Create({0, 22, kViewWidth, 22 + kViewHeight}, &owner, IDC_MONTH_VIEW, &owner))
        return false;
    owner.ShowWindow(SW_SHOWNA);
    view->m_bShowAlmanac = true;  // as the calendar shows tips unless the user turned it off
    view->SetMonth(kFirstYear, 1, 1);
    Repaint(owner.m_hWnd);
    CMemoryDC viewDC(kViewWidth, kViewHeight);
    CMemoryDC tipDC(400, 200);

    // A month switch: the next month of the year, round and round.
    for (int i = 0; i < iterations; ++i) {
        int month = 1 + (i + 1) % 12;
        double t0 = NowMs();
        view->SetMonth(kFirstYear, month, 0);
        double t1 = NowMs();
        view->Paint(viewDC);
        ::GdiFlush();
        double t2 = NowMs();
        out->m_setMonth.Add(t1 - t0);
        out->m_paint.Add(t2 - t1);
        out->m_switch.Add(t2 - t0);
        Repaint(owner.m_hWnd);  // what the switch left to paint, untimed
    }
    for (int i = 0; i < iterations; ++i) {
        int month = 1 + (i + 1) % 12;
        double t0 = NowMs();
        view->SetMonth(kFirstYear, month, 0);
        Repaint(owner.m_hWnd);
        out->m_switchWindow.Add(NowMs() - t0);
    }

    // A tip: the pointer goes from day 8 to day 16 and back, each with four memo texts.
    view->SetMonth(kFirstYear, 1, 0);
    Repaint(owner.m_hWnd);
    if (!TimeSetWindowPos())
        return false;
    for (int i = 0; i < iterations; ++i) {
        int day = i % 2 ? 16 : 8;
        POINT pt = DayPoint(*view, day);
        g_setWindowPosMs = 0;
        double t0 = NowMs();
        view->ShowDayTip(day, pt);
        view->m_pTip->Paint(tipDC);
        ::GdiFlush();
        const double ms = NowMs() - t0;
        out->m_tip.Add(ms);
        out->m_tipMove.Add(g_setWindowPosMs);
        out->m_tipOwn.Add(ms - g_setWindowPosMs);
        Repaint(view->m_pTip->m_hWnd);
    }
    view->m_nHotDay = 0;
    for (int i = 0; i < iterations; ++i) {
        int day = i % 2 ? 16 : 8;
        POINT pt = DayPoint(*view, day);
        double t0 = NowMs();
        ::SendMessageW(view->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        Repaint(view->m_pTip->m_hWnd);
        out->m_tipWindow.Add(NowMs() - t0);
    }
    bool shown = ::IsWindowVisible(view->m_pTip->m_hWnd) != FALSE;
    view.reset();
    owner.DestroyWindow();
    return shown;
}
