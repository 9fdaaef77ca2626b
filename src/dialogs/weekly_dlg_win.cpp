#include "dialogs/weekly_dlg.h"

#include <cstdio>

#include "engine/names.h"
#include "memo/memo_store.h"

namespace {

const char kSwatchText[] = "■";

const char kTooLong[] = "这条提示太长，存不下：一条提示最多 65535 字节。请删减后再按“确定”。";
const char kNotWritten[] = "提示没能写入文件，请确认“我的记事”文件夹可以写入，再按“确定”。";

}  // namespace

CWeeklyDlg::CWeeklyDlg(CMonthModel* pModel, CWnd* pParent) : CMemoDialogBase(IDD_WEEKLY, pModel, pParent)
{
    if (!pModel)
        return;
    m_nWeekday = pModel->m_nWeekdayCol;
    if (const CMemoEntry* pEntry = pModel->GetWeeklyEntry(m_nWeekday)) {
        m_dwWeeklyFlags = pEntry->m_dwFlags;
        if (pEntry->m_pszText)
            m_strWeekly.assign(pEntry->m_pszText, pEntry->m_nLength);
    }
    m_read = {m_strWeekly, m_dwWeeklyFlags};
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
    CreateCaption(m_staticDay, FormatCaption(), RECT{20, 10, 80, 30}, static_cast<UINT>(IDC_STATIC));
    CreateSwatch(m_btnColor, RECT{80, 10, 105, 30}, IDC_WEEKLY_COLOR, m_dwWeeklyFlags, MEMO_KIND_WEEKLY, 100);
}

LRESULT CWeeklyDlg::OnCtrlNotify(WPARAM nID, LPARAM)
{
    if (nID != IDC_WEEKLY_COLOR)
        return 0;
    PickColor(&m_dwWeeklyFlags, MEMO_KIND_WEEKLY, m_btnColor, {GetMemoColor(m_dwWeeklyFlags, MEMO_KIND_WEEKLY)});
    return 0;
}

void CWeeklyDlg::OnOK()
{
    UpdateData(TRUE);
    if (!CheckLength(m_strWeekly, IDC_MEMO_WEEKLY, kTooLong))
        return;
    if (m_pModel)
        m_pModel->m_nWeekdayCol = m_nWeekday;
    if (!m_pModel || m_pModel->SaveWeeklyMemo(m_strWeekly, m_dwWeeklyFlags, &m_read) != 0) {
        // The dialog stays open with the text, so that nothing typed is lost unnoticed.
        ShowMemoWarning(m_hWnd, kNotWritten);
        return;
    }
    CDialog::OnOK();
}
