// Dialogs from the program's resource templates, modal and modeless, and the thin wrappers
// of the system controls they hold.
#pragma once

#include "framework/wnd.h"

class CDialog;

struct CDataExchange {
    CDialog* m_pDlg;
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr);

    // Runs the dialog's own modal loop, which also dispatches every other window's messages
    // (timers included) of the thread; returns the EndDialog value, or -1 when it cannot start.
    INT_PTR DoModal();
    // Modeless creation from a template, owned by pParent (or the constructor's parent).
    BOOL Create(UINT nIDTemplate, CWnd* pParent = nullptr);
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange*) {}

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bModal = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
};

// Data exchange of an edit's text with a byte string of the program.
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
// Ties a control of the template to a wrapper object (once; the template owns the window).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);

class CComboBox : public CWnd {
public:
    int AddString(const char* gb) const;
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(CB_SETCURSEL, index)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    void ResetContent() const { SendMessage(CB_RESETCONTENT); }
};

class CStatic : public CWnd {
public:
    BOOL Create(const char* text, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
    {
        return CreateControl(L"STATIC", text, dwStyle, rect, pParent ? pParent->m_hWnd : nullptr, nID);
    }
};
