#include "framework/dialog.h"

namespace {
// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT msg)
{
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}
}  // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent)
{
    m_bDialog = true;
}

INT_PTR CDialog::DoModal()
{
    m_bModal = true;
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), owner, DialogProc,
        reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParent)
{
    m_bModal = false;
    m_nIDTemplate = nIDTemplate;
    if (pParent)
        m_pParentWnd = pParent;
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    HWND hwnd = ::CreateDialogParamW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDTemplate), owner, DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

void CDialog::EndDialog(int nResult)
{
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, nResult);
    else
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx = {this, bSaveAndValidate};
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lp);
        self->Bind(hwnd);
        return self->OnInitDialog();
    }
    auto* self = static_cast<CDialog*>(FromHandle(hwnd));
    if (!self)
        return FALSE;
    bool handled = false;
    LRESULT result = self->Dispatch(msg, wp, lp, &handled);
    if (!handled && msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        if (LOWORD(wp) == IDOK) {
            self->OnOK();
            handled = true;
        } else if (LOWORD(wp) == IDCANCEL) {
            self->OnCancel();
            handled = true;
        }
        result = 0;
    }
    if (msg == WM_NCDESTROY) {
        self->Unbind();
        return FALSE;
    }
    if (!handled)
        return FALSE;
    if (ReturnsResultDirectly(msg))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    HWND ctl = ::GetDlgItem(pDX->m_pDlg->m_hWnd, nIDC);
    if (!ctl)
        return;
    if (pDX->m_bSaveAndValidate) {
        value = almanix::WindowTextGb(ctl);
    } else {
        ::SetWindowTextW(ctl, almanix::Wide(value).c_str());
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control)
{
    if (!control.m_hWnd)
        control.Attach(::GetDlgItem(pDX->m_pDlg->m_hWnd, nIDC));
}

int CComboBox::AddString(const char* gb) const
{
    std::wstring w = almanix::Wide(gb ? gb : "");
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str())));
}
