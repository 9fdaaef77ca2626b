#include "app/exit_dlg.h"

#include <algorithm>

#include "resource.h"

CExitDlg::CExitDlg(CWnd* pParent) : CDialog(IDD_EXIT, pParent) {}

BOOL CExitDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The template stands at (0, 0); the prompt belongs over the calendar that opened it.
    RECT owner, self;
    HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (parent && ::IsWindowVisible(parent) && ::GetWindowRect(parent, &owner)) {
        GetWindowRect(&self);
        int cx = self.right - self.left, cy = self.bottom - self.top;
        int x = owner.left + ((owner.right - owner.left) - cx) / 2;
        int y = owner.top + ((owner.bottom - owner.top) - cy) / 2;
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        if (::GetMonitorInfoW(::MonitorFromRect(&owner, MONITOR_DEFAULTTONEAREST), &mi)) {
            x = (std::max)(static_cast<int>(mi.rcWork.left), (std::min)(x, static_cast<int>(mi.rcWork.right) - cx));
            y = (std::max)(static_cast<int>(mi.rcWork.top), (std::min)(y, static_cast<int>(mi.rcWork.bottom) - cy));
        }
        SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

void CExitDlg::OnEndProgram()
{
    EndDialog(IDCANCEL);
    m_nChoice = EXIT_CHOICE_END;
}

void CExitDlg::OnUninstall()
{
    m_nChoice = EXIT_CHOICE_UNINSTALL;
    EndDialog(IDCANCEL);
}

void CExitDlg::OnCancel()
{
    m_nChoice = EXIT_CHOICE_NONE;
    EndDialog(IDCANCEL);
}
