// The notebook: one free text saved on every change, and the two tab windows that bring
// back the hidden notebook and the collapsed calendar.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "framework/dialog.h"
#include "resource.h"

// What the notebook and the tabs ask of the window that owns them.
class INotebookOwner {
public:
    virtual void ShowNotebook() = 0;
    virtual void HideNotebook() = 0;
    virtual void RestoreFromTab() = 0;

protected:
    ~INotebookOwner() = default;
};

// The notebook and the tabs are pop-ups made with the calendar as hWndParent. Once the
// calendar is a child of the desktop, the system makes the desktop's top-level window their
// owner instead, so they keep the calendar they serve in a pointer of their own.
class CNotebookDlg : public CDialog {
public:
    explicit CNotebookDlg(INotebookOwner* pOwner = nullptr);
    ~CNotebookDlg() override;

    std::string m_strNote;
    bool m_bReady = false;
    int m_nDefaultX = 500;
    int m_nDefaultY = 500;
    bool m_bSaved = true;  // the last change reached the note file

    void SetDefaultPos(int x, int y);
    // "备忘\<name>" of the memo folder: its bytes, or null when there is no file.
    static std::unique_ptr<char[]> LoadNote(const char* name, std::size_t& length);
    // Writes the whole note, or removes the file when length is 0. 0, or -1 when the file
    // could not be written (it is then as it was).
    static int SaveNote(const char* name, const char* text, std::size_t length);

    BEGIN_MSG_MAP(CNotebookDlg)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_MOVE(OnMove)
        COMMAND_HANDLER_EX(IDC_NOTE, EN_CHANGE, OnChangeNote)
        COMMAND_HANDLER_EX(IDC_HIDE_NOTEBOOK, BN_CLICKED, OnHide)
    END_MSG_MAP()

    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnLButtonDown(UINT flags, POINT pt);
    void OnMove(int x, int y);
    void OnChangeNote();
    void OnHide();
    // The heading tells whether the text on screen is in the note file.
    void ShowSaved(bool saved);

private:
    INotebookOwner* m_pOwner;
};

// What both tab windows are: a one-button pop-up beside the calendar that asks its calendar
// for one thing. Enter, Esc and Alt+F4 do nothing.
class CTabDlg : public CDialog {
public:
    CTabDlg(UINT nIDTemplate, INotebookOwner* pOwner) : CDialog(nIDTemplate), m_pOwner(pOwner) {}
    void OnOK() override {}
    void OnCancel() override {}

protected:
    INotebookOwner* m_pOwner;
};

// "本": brings the hidden notebook back.
class CNotebookTabDlg : public CTabDlg {
public:
    explicit CNotebookTabDlg(INotebookOwner* pOwner = nullptr) : CTabDlg(IDD_NOTEBOOK_TAB, pOwner) {}

    BEGIN_MSG_MAP(CNotebookTabDlg)
        COMMAND_ID_HANDLER_EX(IDC_SHOW_NOTEBOOK, OnTab)
    END_MSG_MAP()

private:
    void OnTab();
};

// "历": brings the collapsed calendar back.
class CCalendarTabDlg : public CTabDlg {
public:
    explicit CCalendarTabDlg(INotebookOwner* pOwner = nullptr) : CTabDlg(IDD_CALENDAR_TAB, pOwner) {}

    BEGIN_MSG_MAP(CCalendarTabDlg)
        COMMAND_ID_HANDLER_EX(IDC_RESTORE_CALENDAR, OnTab)
    END_MSG_MAP()

private:
    void OnTab();
};
