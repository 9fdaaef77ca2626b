#include "sync/sync_question_dlg.h"

namespace {

struct QuestionWords {
    const char* m_pszText;
    const char* m_pszEmptyBoth;
    const char* m_pszRefill;
};

const QuestionWords kServerEmptied = {
    "服务器上的日历里，上次同步过的记事都不见了（也许在手机或别的电脑上清空了），这台电脑上还有。\r\n\r\n"
    "要清空这台电脑上的记事，还是把它们重新上传到服务器？选“取消”则什么也不改，下次同步时再问。",
    "清空本机记事", "重新上传本机记事"};
const QuestionWords kLocalEmptied = {
    "这台电脑上，上次同步过的记事都不见了，服务器上的日历里还有。\r\n\r\n"
    "要清空服务器上的记事，还是从服务器取回记事？选“取消”则什么也不改，下次同步时再问。",
    "清空服务器上的记事", "从服务器取回记事"};

}  // namespace

CSyncQuestionDlg::CSyncQuestionDlg(CWnd* pParent, SyncQuestion question)
    : CDialog(IDD_SYNC_QUESTION, pParent), m_question(question)
{
}

BOOL CSyncQuestionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const QuestionWords& w = m_question == SyncQuestion::LocalEmptied ? kLocalEmptied : kServerEmptied;
    ::SetDlgItemTextW(m_hWnd, IDC_SYNC_QUESTION_TEXT, almanix::Wide(w.m_pszText).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_SYNC_EMPTY_BOTH, almanix::Wide(w.m_pszEmptyBoth).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_SYNC_REFILL, almanix::Wide(w.m_pszRefill).c_str());
    // Enter and a hasty click change nothing: the focus starts on "取消".
    ::SetFocus(GetDlgItem(IDCANCEL));
    return FALSE;
}

void CSyncQuestionDlg::OnEmptyBoth()
{
    m_answer = SyncAnswer::EmptyBoth;
    EndDialog(IDOK);
}

void CSyncQuestionDlg::OnRefill()
{
    m_answer = SyncAnswer::Refill;
    EndDialog(IDOK);
}

SyncAnswer AskSyncQuestion(CWnd* pParent, SyncQuestion question)
{
    if (question == SyncQuestion::None)
        return SyncAnswer::None;
    CSyncQuestionDlg dlg(pParent, question);
    dlg.DoModal();
    return dlg.m_answer;
}
