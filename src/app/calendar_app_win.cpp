#include "app/calendar_app.h"

#include "app/calendar_dlg.h"

BOOL CCalendarApp::InitInstance()
{
    // Only the name matters: the handle stays open, and with it the name, until the end.
    HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, almanix::Wide(ALMANIX_INSTANCE_EVENT).c_str());
    if (event && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        AfxMessageBox("同名程序已启动，请先关闭旧程序!\n", MB_OK);
        return TRUE;
    }
    CCalendarDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
