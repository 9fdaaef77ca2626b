// The application object: one static instance per program; its InitInstance is the start.
#pragma once

#include "framework/wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // TRUE: go on with the message loop of m_pMainWnd; FALSE: the program ends.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    std::wstring m_strAppTitle;  // the program file's base name: the caption of message boxes
};

CWinApp* AfxGetApp();
// A message box owned by the active window, captioned with the application title; an OK box
// gets the exclamation icon.
int AfxMessageBox(const char* textGb, UINT type = MB_OK);
// The program's entry: call it from wWinMain.
int AfxWinMain(HINSTANCE instance);
