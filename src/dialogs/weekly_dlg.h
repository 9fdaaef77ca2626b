// The weekly reminder dialog: the one-line reminder of the weekday whose name was just clicked
// in the month view's header, with a colour swatch that opens the system colour picker. OK
// stores it through the month view; Cancel drops every change.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/memo_dlg.h"

class CWeeklyDlg : public CMemoDialogBase {
public:
    enum { IDD = IDD_WEEKLY };

    // The reminder of weekday m_nWeekdayCol of pModel (0 = Sunday), read from its store now;
    // modal over pParent.
    CWeeklyDlg(CMonthModel* pModel, CWnd* pParent);
    ~CWeeklyDlg() override;

    std::string m_strWeekly;
    std::uint32_t m_dwWeeklyFlags = 0;
    CHoverButton m_btnColor;
    CStatic m_staticDay;
    int m_nWeekday = -1;  // the weekday the dialog edits
    MemoRead m_read;      // the reminder as read at opening: OK keeps a sync's change since

    // "每周三" (GBK) for weekday 3.
    std::string FormatCaption() const;

    BEGIN_MSG_MAP(CWeeklyDlg)
        MESSAGE_HANDLER_EX(WM_CTRLNOTIFY, OnCtrlNotify)
        COMMAND_HANDLER_EX(IDC_MEMO_WEEKLY, EN_CHANGE, OnChangeWeekly)
        CHAIN_MSG_MAP(CMemoDialogBase)
    END_MSG_MAP()

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    LRESULT OnCtrlNotify(WPARAM nID, LPARAM);
    void OnChangeWeekly() { m_limit.OnChange(); }

    // Caption and swatch in a row above the edit.
    void LayOut();

    CMemoEditLimit m_limit;
};
