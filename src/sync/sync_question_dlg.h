// The question of a sync that found one side emptied: which side is right. Two buttons name
// what each answer does; "取消" changes nothing, and the next sync asks again.
#pragma once

#include "framework/dialog.h"
#include "sync/sync_engine.h"
#include "resource.h"

class CSyncQuestionDlg : public CDialog {
public:
    CSyncQuestionDlg(CWnd* pParent, SyncQuestion question);

    BEGIN_MSG_MAP(CSyncQuestionDlg)
        COMMAND_ID_HANDLER_EX(IDC_SYNC_EMPTY_BOTH, OnEmptyBoth)
        COMMAND_ID_HANDLER_EX(IDC_SYNC_REFILL, OnRefill)
    END_MSG_MAP()

    BOOL OnInitDialog() override;

    SyncQuestion m_question;
    SyncAnswer m_answer = SyncAnswer::None;  // None after "取消"

private:
    void OnEmptyBoth();
    void OnRefill();
};

// Asks modally over pParent; the user's answer, or SyncAnswer::None.
SyncAnswer AskSyncQuestion(CWnd* pParent, SyncQuestion question);
