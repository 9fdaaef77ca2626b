// The prompt behind the main window's "x": end the program, or end it and leave autostart.
#pragma once

#include "framework/dialog.h"
#include "resource.h"

enum { EXIT_CHOICE_NONE = 0, EXIT_CHOICE_END = 1, EXIT_CHOICE_UNINSTALL = 2 };

class CExitDlg : public CDialog {
public:
    explicit CExitDlg(CWnd* pParent);

    int m_nChoice = EXIT_CHOICE_NONE;

    BEGIN_MSG_MAP(CExitDlg)
        COMMAND_ID_HANDLER_EX(IDC_END_PROGRAM, OnEndProgram)
        COMMAND_ID_HANDLER_EX(IDC_UNINSTALL, OnUninstall)
    END_MSG_MAP()

    BOOL OnInitDialog() override;
    void OnCancel() override;

private:
    void OnEndProgram();
    void OnUninstall();
};
