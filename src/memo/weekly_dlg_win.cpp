#include "memo/weekly_dlg.h"

#include <cstdio>

#include "engine/names.h"
#include "memo/memo_store.h"
#include "monthview/month_view.h"

namespace {

const char kSwatchText[] = "■";
const char kSwatchFace[] = "楷体_gb2312";
const COLORREF kWhite = RGB(255, 255, 255);

const char kTooLong[] = "这条提示太长，存不下：一条提示最多 65535 字节。请删减后再按“确定”。";
const char kNotWritten[] = "提示没能写入文件，请确认“我的记事”文件夹可以写入，再按“确定”。";

} // namespace

CWeeklyDlg::CWeeklyDlg(CMonthView* pView) : CDialog(IDD_WEEKLY, pView), m_pView(pView)
{
    m_font.CreatePointFont(90, "Arial");
    if (!pView)
        return;
    m_nWeekday = pView->m_nWeekdayCol;
    if (const CMemoEntry* pEntry = pView->GetWeeklyEntry(m_nWeekday)) {
        m_dwWeeklyFlags = pEntry->m_dwFlags;
        if (pEntry->m_pszText)
            m_strWeekly.assign(pEntry->m_pszText, pEntry->m_nLength);
    }
}

CWeeklyDlg::~CWeeklyDlg() = default;

std::string CWeeklyDlg::FormatCaption() const
{
    char sz[32];
    const char* pszName = GetWeekdayName(m_nWeekday);
    std::snprintf(sz, sizeof sz, "每周%s", pszName ? pszName : "");
    return sz;
}

void CWeeklyDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_MEMO_WEEKLY, m_strWeekly);
}

BOOL CWeeklyDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_limit.Attach(GetDlgItem(IDC_MEMO_WEEKLY));
    LayOut();
    m_btnColor.SetText(kSwatchText, true);
    // The first tab stop, "取消", has the focus; the title stays the template's "每周提示".
    return TRUE;
}

void CWeeklyDlg::LayOut()
{
    // Pixels, not dialog units: the row above the edit, whose top lies below 30 pixels with
    // every dialog font the template can get.
    const RECT rcCaption = {20, 10, 80, 30};
    m_staticDay.Create(FormatCaption().c_str(), WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, rcCaption, this,
                       static_cast<UINT>(IDC_STATIC));
    m_staticDay.SetFont(m_font, TRUE);
    m_staticDay.ShowWindow(SW_SHOW);
    m_btnColor.Create(RECT{80, 10, 105, 30}, this, IDC_WEEKLY_COLOR, ::GetSysColor(COLOR_BTNFACE),
                      GetMemoColor(m_dwWeeklyFlags, MEMO_KIND_WEEKLY), 100, kSwatchFace);
}

LRESULT CWeeklyDlg::OnCtrlNotify(WPARAM nID, LPARAM)
{
    if (nID != IDC_WEEKLY_COLOR)
        return 0;
    const COLORREF current = GetMemoColor(m_dwWeeklyFlags, MEMO_KIND_WEEKLY);
    const COLORREF custom[16] = {current, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite,
                                 kWhite,  kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite};
    COLORREF chosen = 0;
    if (ChooseMemoColor(m_hWnd, current, custom, &chosen))
        m_dwWeeklyFlags = chosen | MEMO_CUSTOM_COLOR;
    // Repainted either way: the click left the swatch in its highlight colour.
    m_btnColor.SetTextColor(GetMemoColor(m_dwWeeklyFlags, MEMO_KIND_WEEKLY));
    return 0;
}

void CWeeklyDlg::OnDestroy()
{
    m_staticDay.Detach();
    Default();
}

void CWeeklyDlg::OnOK()
{
    UpdateData(TRUE);
    const std::size_t nStart = m_strWeekly.find_first_not_of(' ');
    if (nStart != std::string::npos && m_strWeekly.size() - nStart > static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH)) {
        ShowMemoWarning(m_hWnd, kTooLong);
        ::SetFocus(GetDlgItem(IDC_MEMO_WEEKLY));
        return;
    }
    if (m_pView)
        m_pView->m_nWeekdayCol = m_nWeekday;
    if (!m_pView || m_pView->SaveWeeklyMemo(m_strWeekly, m_dwWeeklyFlags) != 0) {
        // The dialog stays open with the text, so that nothing typed is lost unnoticed.
        ShowMemoWarning(m_hWnd, kNotWritten);
        return;
    }
    CDialog::OnOK();
}
