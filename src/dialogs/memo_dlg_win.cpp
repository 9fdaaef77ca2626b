#include "dialogs/memo_dlg.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "engine/names.h"
#include "memo/memo_store.h"
#include "memo/memo_text_fit.h"
#include "dialogs/weekly_dlg.h"

namespace {

ColorChooser g_pfnChooseColor = ::ChooseColorW;

const char kSwatchText[] = "■";
const char kSwatchFace[] = "楷体_gb2312";
const COLORREF kWhite = RGB(255, 255, 255);

// Pixels between a caption, its swatch and its edit; the height of a caption's row.
const int kGap = 4;
const int kRowHeight = 20;

void CopySlot(const CMemoEntry* pEntry, std::string& text, std::uint32_t& dwFlags)
{
    text.clear();
    if (!pEntry)
        return;
    dwFlags = pEntry->m_dwFlags;
    if (pEntry->m_pszText)
        text.assign(pEntry->m_pszText, pEntry->m_nLength);
}

const char* NameOr(const char* pszName)
{
    return pszName ? pszName : "";
}

// What the month model stores of a text: without its leading blanks.
std::size_t StoredLength(const std::string& text)
{
    std::size_t nStart = text.find_first_not_of(' ');
    return nStart == std::string::npos ? 0 : text.size() - nStart;
}

const char kTooLong[] = "这条记事太长，存不下：一条记事最多 65535 字节。请删减后再按“确定”。";
const char kNotWritten[] = "记事没能写入文件，请确认“我的记事”文件夹可以写入，再按“确定”。";

RECT ChildRect(HWND hDlg, int nID)
{
    RECT rc = {0, 0, 0, 0};
    if (HWND hChild = ::GetDlgItem(hDlg, nID)) {
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    }
    return rc;
}

// The size of a text in a font, as a static control or a label shows it.
SIZE TextSize(HWND hwnd, HFONT font, const char* pszText)
{
    CClientDC dc(hwnd);
    SelectScope scope(dc, font);
    SIZE size = {0, 0};
    int cx = 0, cy = 0;
    MeasureText(dc, pszText, &cx, &cy);
    size.cx = cx;
    size.cy = cy;
    return size;
}

RECT Rect(int left, int top, int width, int height)
{
    return RECT{left, top, left + width, top + height};
}

}  // namespace

// Shared with the weekly reminder dialog.

ColorChooser SetColorChooser(ColorChooser pfnChoose)
{
    ColorChooser previous = g_pfnChooseColor;
    g_pfnChooseColor = pfnChoose ? pfnChoose : ::ChooseColorW;
    return previous;
}

bool ChooseMemoColor(HWND owner, COLORREF current, const COLORREF (&custom)[16], COLORREF* pChosen)
{
    COLORREF table[16];
    std::copy(std::begin(custom), std::end(custom), table);
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof cc;
    // Owned by the dialog, so that the dialog waits for the picker.
    cc.hwndOwner = owner;
    cc.rgbResult = current;
    cc.lpCustColors = table;
    cc.Flags = CC_RGBINIT;
    if (!g_pfnChooseColor(&cc))
        return false;
    *pChosen = cc.rgbResult & 0x00FFFFFF;
    return true;
}

void CMemoEditLimit::Attach(HWND hEdit)
{
    m_hEdit = hEdit;
    if (!hEdit)
        return;
    // Every UTF-16 unit takes at least one byte, so this bound never cuts what fits; the
    // byte limit itself is kept at each change.
    ::SendMessageW(hEdit, EM_SETLIMITTEXT, MEMO_MAX_TEXT_LENGTH, 0);
    std::wstring text = almanix::WindowTextWide(hEdit);
    m_strAccepted.assign(text.begin(), text.end());
}

void CMemoEditLimit::OnChange()
{
    if (!m_hEdit || m_bFitting)
        return;
    std::wstring text = almanix::WindowTextWide(m_hEdit);
    MemoTextFit fit = FitMemoText(m_strAccepted,
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()), MEMO_MAX_TEXT_LENGTH);
    if (fit.m_bCut) {
        m_bFitting = true;
        ::SetWindowTextW(m_hEdit, reinterpret_cast<const wchar_t*>(fit.m_text.c_str()));
        ::SendMessageW(m_hEdit, EM_SETSEL, fit.m_nCaret, fit.m_nCaret);
        ::SendMessageW(m_hEdit, EM_SCROLLCARET, 0, 0);
        m_bFitting = false;
        ::MessageBeep(MB_OK);
    }
    m_strAccepted = std::move(fit.m_text);
}

void ShowMemoWarning(HWND owner, const char* pszText)
{
    ::MessageBoxW(owner, almanix::Wide(pszText).c_str(), almanix::Wide("警告").c_str(), MB_OK | MB_ICONWARNING);
}

// What both memo dialogs share.

CMemoDialogBase::CMemoDialogBase(UINT nIDTemplate, CMonthModel* pModel, CWnd* pParent)
    : CDialog(nIDTemplate, pParent), m_pModel(pModel)
{
    m_font.CreatePointFont(90, "Arial");
}

void CMemoDialogBase::CreateCaption(CStatic& caption, const std::string& text, const RECT& rc, UINT nID)
{
    caption.Create(text.c_str(), WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, rc, this, nID);
    caption.SetFont(m_font, TRUE);
    caption.ShowWindow(SW_SHOW);
    if (m_nCaptions < static_cast<int>(std::size(m_captions)))
        m_captions[m_nCaptions++] = &caption;
}

void CMemoDialogBase::CreateSwatch(
    CHoverButton& swatch, const RECT& rc, UINT nID, std::uint32_t dwFlags, int nKind, int nPointSize)
{
    swatch.Create(rc, this, nID, ::GetSysColor(COLOR_BTNFACE), GetMemoColor(dwFlags, nKind), nPointSize, kSwatchFace);
}

SIZE CMemoDialogBase::SwatchSize(int nPointSize)
{
    CFont font;
    font.CreatePointFont(nPointSize, kSwatchFace);
    return TextSize(m_hWnd, font, kSwatchText);
}

void CMemoDialogBase::PickColor(
    std::uint32_t* pFlags, int nKind, CHoverButton& swatch, std::initializer_list<COLORREF> dialogColors)
{
    COLORREF custom[16];
    std::fill(std::begin(custom), std::end(custom), kWhite);
    std::copy_n(dialogColors.begin(), std::min<std::size_t>(dialogColors.size(), 16), custom);
    COLORREF chosen = 0;
    if (ChooseMemoColor(m_hWnd, GetMemoColor(*pFlags, nKind), custom, &chosen))
        *pFlags = chosen | MEMO_CUSTOM_COLOR;
    // Repainted either way: the click left the swatch in its highlight colour.
    swatch.SetTextColor(GetMemoColor(*pFlags, nKind));
}

bool CMemoDialogBase::CheckLength(const std::string& text, int nEditID, const char* pszWarning)
{
    // Typing and pasting keep within a record; a text put in otherwise may not.
    if (StoredLength(text) <= static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH))
        return true;
    ShowMemoWarning(m_hWnd, pszWarning);
    ::SetFocus(GetDlgItem(nEditID));
    return false;
}

void CMemoDialogBase::OnPaint()
{
    // The controls paint themselves.
    CPaintDC dc(m_hWnd);
}

void CMemoDialogBase::OnDestroy()
{
    // The captions go with the dialog; no handle of theirs outlives it.
    for (int i = 0; i < m_nCaptions; ++i)
        m_captions[i]->Detach();
    m_nCaptions = 0;
    Default();
}

// The day memo dialog.

CMemoDlg::CMemoDlg(CMonthModel* pModel, CWnd* pParent, CWnd* pMain)
    : CMemoDialogBase(IDD_MEMO, pModel, pParent), m_pMain(pMain)
{
    if (pModel) {
        m_nYear = pModel->m_nYear;
        m_nMonth = pModel->m_nMonth;
        m_nDay = pModel->m_nHotDay;
        if (m_nDay >= 1 && m_nDay <= pModel->m_nDays)
            m_cell = pModel->m_cells[m_nDay];
        CopySlot(pModel->GetOnceEntry(m_nDay), m_strOnce, m_dwOnceFlags);
        CopySlot(pModel->GetSolarYearlyEntry(m_nDay), m_strSolarYearly, m_dwSolarFlags);
        CopySlot(pModel->GetLunarEntry(m_nDay), m_strLunarYearly, m_dwLunarFlags);
        m_read[0] = {m_strOnce, m_dwOnceFlags};
        m_read[1] = {m_strSolarYearly, m_dwSolarFlags};
        m_read[2] = {m_strLunarYearly, m_dwLunarFlags};
    }
}

CMemoDlg::~CMemoDlg() = default;

std::string CMemoDlg::FormatDateLine() const
{
    char sz[128];
    std::snprintf(sz, sizeof sz, "%d年%d月%d日星期%s农历%s月%s", m_nYear, m_nMonth, m_nDay,
        NameOr(GetWeekdayName(m_cell.m_nWeekday)), NameOr(GetLunarMonthName(m_cell.m_lunar.m_nMonth, false)),
        NameOr(GetLunarDayName(m_cell.m_lunar.m_nDay)));
    return sz;
}

std::string CMemoDlg::FormatSolarCaption() const
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "阳历每年%d月%d日", m_nMonth, m_nDay);
    return sz;
}

std::string CMemoDlg::FormatLunarCaption() const
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "农历每年%s月%s", NameOr(GetLunarMonthName(m_cell.m_lunar.m_nMonth, false)),
        NameOr(GetLunarDayName(m_cell.m_lunar.m_nDay)));
    return sz;
}

void CMemoDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_MEMO_ONCE, m_strOnce);
    DDX_Text(pDX, IDC_MEMO_SOLAR_YEARLY, m_strSolarYearly);
    DDX_Text(pDX, IDC_MEMO_LUNAR_YEARLY, m_strLunarYearly);
}

BOOL CMemoDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_limits[0].Attach(GetDlgItem(IDC_MEMO_ONCE));
    m_limits[1].Attach(GetDlgItem(IDC_MEMO_SOLAR_YEARLY));
    m_limits[2].Attach(GetDlgItem(IDC_MEMO_LUNAR_YEARLY));
    LayOut();

    const std::string strMain = m_pMain ? m_pMain->GetWindowText() : std::string();
    SetWindowText(("输入记事 - " + strMain).c_str());

    m_btnOnceColor.SetText(kSwatchText, true);
    m_btnSolarColor.SetText(kSwatchText, true);
    m_btnLunarColor.SetText(kSwatchText, true);
    // The first tab stop, "取消", has the focus.
    return TRUE;
}

void CMemoDlg::LayOut()
{
    const RECT rcOnce = ChildRect(m_hWnd, IDC_MEMO_ONCE);
    RECT rcSolar = ChildRect(m_hWnd, IDC_MEMO_SOLAR_YEARLY);
    RECT rcLunar = ChildRect(m_hWnd, IDC_MEMO_LUNAR_YEARLY);
    const SIZE swatch = SwatchSize(120);
    const std::string strDate = FormatDateLine();
    const std::string strSolar = FormatSolarCaption();
    const std::string strLunar = FormatLunarCaption();
    const SIZE solarText = TextSize(m_hWnd, m_font, strSolar.c_str());
    const SIZE lunarText = TextSize(m_hWnd, m_font, strLunar.c_str());
    const int nLeft = rcOnce.left;

    // The date line above the one-off edit, its swatch at the edit's right end.
    const int nRowHeight = std::max<int>({kRowHeight, TextSize(m_hWnd, m_font, strDate.c_str()).cy, swatch.cy});
    const int nDateTop = std::max<int>(0, rcOnce.top - 2 - nRowHeight);
    const int nOnceSwatchLeft = rcOnce.right - swatch.cx;
    CreateCaption(
        m_staticDate, strDate, RECT{nLeft, nDateTop, nOnceSwatchLeft - kGap, nDateTop + nRowHeight}, IDC_MEMO_DATE);
    CreateSwatch(m_btnOnceColor, Rect(nOnceSwatchLeft, nDateTop + (nRowHeight - swatch.cy) / 2, swatch.cx, swatch.cy),
        IDC_ONCE_COLOR, m_dwOnceFlags, MEMO_KIND_ONCE, 120);

    // Each yearly row: caption, swatch, edit. A caption that does not fit before the edit
    // moves the left edges of both yearly edits, which stay aligned, to the right.
    const int nEditLeft = std::max<int>(
        {rcSolar.left, rcLunar.left, nLeft + std::max(solarText.cx, lunarText.cx) + kGap + swatch.cx + kGap});
    for (auto [nID, pRect] :
        {std::pair<int, RECT*>{IDC_MEMO_SOLAR_YEARLY, &rcSolar}, {IDC_MEMO_LUNAR_YEARLY, &rcLunar}}) {
        if (pRect->left != nEditLeft) {
            pRect->left = std::min<int>(nEditLeft, pRect->right - swatch.cx);
            ::MoveWindow(
                GetDlgItem(nID), pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top, TRUE);
        }
    }
    struct Row {
        CStatic& caption;
        CHoverButton& swatch;
        const std::string& text;
        const RECT& edit;
        UINT nCaptionID, nSwatchID;
        std::uint32_t dwFlags;
        int nKind;
    };
    const Row rows[] = {
        {m_staticSolar, m_btnSolarColor, strSolar, rcSolar, IDC_SOLAR_CAPTION, IDC_SOLAR_COLOR, m_dwSolarFlags,
            MEMO_KIND_SOLAR_YEARLY},
        {m_staticLunar, m_btnLunarColor, strLunar, rcLunar, IDC_LUNAR_CAPTION, IDC_LUNAR_COLOR, m_dwLunarFlags,
            MEMO_KIND_LUNAR_YEARLY},
    };
    for (const Row& row : rows) {
        const int nMiddle = (row.edit.top + row.edit.bottom) / 2;
        const int nSwatchLeft = row.edit.left - kGap - swatch.cx;
        CreateCaption(row.caption, row.text,
            RECT{nLeft, nMiddle - nRowHeight / 2, nSwatchLeft - kGap, nMiddle - nRowHeight / 2 + nRowHeight},
            row.nCaptionID);
        CreateSwatch(row.swatch, Rect(nSwatchLeft, nMiddle - swatch.cy / 2, swatch.cx, swatch.cy), row.nSwatchID,
            row.dwFlags, row.nKind, 120);
    }
}

LRESULT CMemoDlg::OnCtrlNotify(WPARAM nID, LPARAM)
{
    std::uint32_t* pFlags = nullptr;
    CHoverButton* pSwatch = nullptr;
    int nKind = 0;
    switch (nID) {
    case IDC_ONCE_COLOR:
        pFlags = &m_dwOnceFlags, pSwatch = &m_btnOnceColor, nKind = MEMO_KIND_ONCE;
        break;
    case IDC_SOLAR_COLOR:
        pFlags = &m_dwSolarFlags, pSwatch = &m_btnSolarColor, nKind = MEMO_KIND_SOLAR_YEARLY;
        break;
    case IDC_LUNAR_COLOR:
        pFlags = &m_dwLunarFlags, pSwatch = &m_btnLunarColor, nKind = MEMO_KIND_LUNAR_YEARLY;
        break;
    default:
        return 0;
    }
    PickColor(pFlags, nKind, *pSwatch,
        {GetMemoColor(m_dwOnceFlags, MEMO_KIND_ONCE), GetMemoColor(m_dwSolarFlags, MEMO_KIND_SOLAR_YEARLY),
            GetMemoColor(m_dwLunarFlags, MEMO_KIND_LUNAR_YEARLY)});
    return 0;
}

void CMemoDlg::OnOK()
{
    UpdateData(TRUE);
    const std::pair<const std::string*, int> texts[] = {{&m_strOnce, IDC_MEMO_ONCE},
        {&m_strSolarYearly, IDC_MEMO_SOLAR_YEARLY}, {&m_strLunarYearly, IDC_MEMO_LUNAR_YEARLY}};
    for (const auto& [pText, nID] : texts)
        if (!CheckLength(*pText, nID, kTooLong))
            return;
    if (SaveToDate() != 0) {
        // The dialog stays open with the texts, so that nothing typed is lost unnoticed.
        ShowMemoWarning(m_hWnd, kNotWritten);
        return;
    }
    CDialog::OnOK();
}

int CMemoDlg::SaveToDate()
{
    if (!m_pModel)
        return SAVE_FAILED_ONCE | SAVE_FAILED_SOLAR_YEARLY | SAVE_FAILED_LUNAR_YEARLY;
    if (m_pModel->m_nYear == m_nYear && m_pModel->m_nMonth == m_nMonth) {
        m_pModel->m_nHotDay = static_cast<std::uint16_t>(m_nDay);
        return m_pModel->SaveDayMemos(
            m_strOnce, m_dwOnceFlags, m_strSolarYearly, m_dwSolarFlags, m_strLunarYearly, m_dwLunarFlags, m_read);
    }
    // The date rolled over while the dialog was open and the view moved on: the memos still
    // belong to the date they were written for.
    CMonthModel model;
    model.SetMonth(m_nYear, m_nMonth, 0);
    model.m_nHotDay = static_cast<std::uint16_t>(m_nDay);
    const int nFailed = model.SaveDayMemos(
        m_strOnce, m_dwOnceFlags, m_strSolarYearly, m_dwSolarFlags, m_strLunarYearly, m_dwLunarFlags, m_read);
    m_pModel->SetMonth(m_pModel->m_nYear, m_pModel->m_nMonth, 0);
    return nFailed;
}

void RunMemoDialogFor(CMonthView* pView, CWnd* pMain, MemoDialogKind kind)
{
    if (kind == MemoDialogKind::Day) {
        CMemoDlg dlg(pView, pView, pMain);
        dlg.DoModal();
    } else {
        CWeeklyDlg dlg(pView, pView);
        dlg.DoModal();
    }
}
