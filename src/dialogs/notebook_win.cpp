#include "dialogs/notebook.h"

#include <cstdio>

#include "controls/registry.h"
#include "controls/settings.h"
#include "memo/memo_file.h"
#include "resource.h"

namespace {

const char kNoteName[] = "default";

BOOL CALLBACK IntersectsWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto* probe = reinterpret_cast<std::pair<RECT, bool>*>(data);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    RECT common;
    if (::GetMonitorInfoW(monitor, &mi) && ::IntersectRect(&common, &probe->first, &mi.rcWork)) {
        probe->second = true;
        return FALSE;
    }
    return TRUE;
}

// A window that no monitor's work area shows at all can never be reached by the user.
bool IsOnSomeMonitor(const RECT& rc)
{
    std::pair<RECT, bool> probe(rc, false);
    ::EnumDisplayMonitors(nullptr, nullptr, IntersectsWorkArea, reinterpret_cast<LPARAM>(&probe));
    return probe.second;
}

}  // namespace

CNotebookDlg::CNotebookDlg(INotebookOwner* pOwner) : CDialog(IDD_NOTEBOOK), m_pOwner(pOwner) {}

CNotebookDlg::~CNotebookDlg() = default;

void CNotebookDlg::SetDefaultPos(int x, int y)
{
    m_nDefaultX = x;
    m_nDefaultY = y;
}

std::unique_ptr<char[]> CNotebookDlg::LoadNote(const char* name, std::size_t& length)
{
    char file[32];
    std::snprintf(file, sizeof(file), NOTE_FILE_PATTERN, name);
    return ReadWholeFile(file, length);
}

int CNotebookDlg::SaveNote(const char* name, const char* text, std::size_t length)
{
    char file[32];
    std::snprintf(file, sizeof(file), NOTE_FILE_PATTERN, name);
    if (length != 0)
        return WriteWholeFile(file, text, length);
    return RemoveFile(file);
}

void CNotebookDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_NOTE, m_strNote);
}

BOOL CNotebookDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    int x = m_nDefaultX, y = m_nDefaultY;
    int savedX = 0, savedY = 0;
    if (ReadRegNumber(ALMANIX_SETTINGS_KEY, "MemoX", &savedX)) {
        RECT rc;
        GetWindowRect(&rc);
        int cy = rc.bottom - rc.top;
        bool hasY = ReadRegNumber(ALMANIX_SETTINGS_KEY, "MemoY", &savedY);
        RECT saved = {savedX, hasY ? savedY : y, savedX + (rc.right - rc.left), (hasY ? savedY : y) + cy};
        // A position partly on screen stays as saved; one that no monitor shows falls back.
        if (IsOnSomeMonitor(saved)) {
            x = savedX;
            if (hasY)
                y = savedY;
        }
    }
    SetWindowPos(HWND_TOP, x, y, 0, 0, SWP_NOSIZE);

    std::size_t length = 0;
    std::unique_ptr<char[]> note = LoadNote(kNoteName, length);
    m_strNote = note ? std::string(note.get()) : std::string();  // up to the first NUL byte
    UpdateData(FALSE);
    // Without a memo folder nothing typed here can be kept: the heading says so from the start.
    ShowSaved(IsMemoFolderUsable());
    m_bReady = true;
    return TRUE;
}

void CNotebookDlg::OnLButtonDown(UINT, POINT pt)
{
    almanix::DragWindowFrom(m_hWnd, pt);
    Default();
}

void CNotebookDlg::OnMove(int x, int y)
{
    Default();
    if (!m_bReady)
        return;
    WriteRegNumber(ALMANIX_SETTINGS_KEY, "MemoX", x);
    WriteRegNumber(ALMANIX_SETTINGS_KEY, "MemoY", y);
}

void CNotebookDlg::OnChangeNote()
{
    if (!m_bReady)
        return;
    UpdateData(TRUE);
    // A failed write leaves the file as it was; the next change writes the whole text again.
    // Until one succeeds, the heading says that the text on screen is not on disk.
    ShowSaved(SaveNote(kNoteName, m_strNote.data(), m_strNote.size()) == 0);
}

void CNotebookDlg::ShowSaved(bool saved)
{
    if (saved == m_bSaved)
        return;
    m_bSaved = saved;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(child) == IDC_STATIC || ::GetDlgCtrlID(child) == 0xFFFF) {
            ::SetWindowTextW(child, almanix::Wide(saved ? "记事小本" : "记事小本（未保存）").c_str());
            break;
        }
    }
}

void CNotebookDlg::OnHide()
{
    if (m_pOwner)
        m_pOwner->HideNotebook();
}

void CNotebookTabDlg::OnTab()
{
    if (m_pOwner)
        m_pOwner->ShowNotebook();
}

void CCalendarTabDlg::OnTab()
{
    if (m_pOwner)
        m_pOwner->RestoreFromTab();
}
