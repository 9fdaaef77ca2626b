// The program's own code for a month switch and a tip, in this process: the month view as the
// calendar window holds it, on a memo folder of its own with memos in every shown month. The
// figures leave out what only a second process adds (Wine's cross-process messages).
#include "figures.h"

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
    for (int i = 0; i < iterations; ++i) {
        int day = i % 2 ? 16 : 8;
        POINT pt = DayPoint(*view, day);
        double t0 = NowMs();
        view->ShowDayTip(day, pt);
        view->m_pTip->Paint(tipDC);
        ::GdiFlush();
        out->m_tip.Add(NowMs() - t0);
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
