#include "sync/sync_dlg.h"

#include <memory>
#include <thread>

#include "sync/sync_words.h"
#include "text/gbcodec.h"

namespace {

std::string Field(const CWnd& dlg, int id)
{
    CWnd w;
    w.m_hWnd = dlg.GetDlgItem(id);
    std::string gb = w.GetWindowText();
    w.m_hWnd = nullptr;
    return almanix::GbToUtf8(gb);
}

void SetField(const CWnd& dlg, int id, const std::string& gb)
{
    ::SetDlgItemTextW(dlg.m_hWnd, id, reinterpret_cast<const wchar_t*>(almanix::GbToUtf16(gb).c_str()));
}

// A failed sync never reads like a done one.
std::string ResultLine(const LastSyncResult& last)
{
    if (last.m_words.empty())
        return "还没有同步过";
    if (last.m_time.empty())
        return "上次同步：" + last.m_words;  // kept by an older version, without its outcome
    return (last.m_bOk ? "上次同步（" : "上次同步失败（") + last.m_time + "）：" + last.m_words;
}

}  // namespace

CSyncDlg::CSyncDlg(CWnd* pParent, std::function<bool()> syncNow)
    : CDialog(IDD_SYNC, pParent), m_syncNow(std::move(syncNow))
{
}

BOOL CSyncDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_comboCalendar.Attach(GetDlgItem(IDC_SYNC_CALENDAR));
    LoadSyncSettings(m_settings);
    m_stored = m_settings;
    m_calendarsServer = m_settings.m_server;
    SetField(*this, IDC_SYNC_SERVER, almanix::Utf8ToGb(m_settings.m_server.empty() ? "https://" : m_settings.m_server));
    SetField(*this, IDC_SYNC_USER, almanix::Utf8ToGb(m_settings.m_user));
    // The stored password is never shown; an empty field keeps it.
    m_comboCalendar.AddString("新建日历 Almanix");
    if (!m_settings.m_calendar.empty()) {
        m_calendars.push_back({m_settings.m_calendar, m_settings.m_calendarName});
        m_comboCalendar.AddString(almanix::Utf8ToGb(m_settings.m_calendarName).c_str());
        m_comboCalendar.SetCurSel(1);
    } else {
        m_comboCalendar.SetCurSel(0);
    }
    ShowResult(LoadLastSyncResult());
    return TRUE;
}

void CSyncDlg::ShowResult(const LastSyncResult& result)
{
    ShowStatus(ResultLine(result));
}

void CSyncDlg::ShowStatus(const std::string& words)
{
    if (m_hWnd)
        SetField(*this, IDC_SYNC_STATUS, words);
}

bool CSyncDlg::TakeFields()
{
    const std::string server = Field(*this, IDC_SYNC_SERVER);
    // The password belongs to the address it was given for: never sent to another host.
    if (server != m_settings.m_server) {
        m_settings.m_password.clear();
        m_settings.m_bNoPassword = false;
    }
    m_settings.m_server = server;
    m_settings.m_user = Field(*this, IDC_SYNC_USER);
    const std::string password = Field(*this, IDC_SYNC_PASSWORD);
    if (!password.empty()) {
        m_settings.m_password = password;
        m_settings.m_bNoPassword = false;
    }
    const int sel = m_comboCalendar.GetCurSel();
    if (sel >= 1 && static_cast<std::size_t>(sel) <= m_calendars.size() && m_calendarsServer == server) {
        m_settings.m_calendar = m_calendars[sel - 1].m_href;
        m_settings.m_calendarName = m_calendars[sel - 1].m_name;
    } else {
        m_settings.m_calendar.clear();  // the worker makes "Almanix" (or takes the one there)
        m_settings.m_calendarName.clear();
    }
    if (m_settings.m_server.empty() || m_settings.m_server == "https://" || m_settings.m_user.empty()) {
        ShowStatus("请填写服务器地址和用户名");
        return false;
    }
    // The client's own rule: an address it would refuse is refused here, before it is stored.
    CCalDavClient probe;
    if (!probe.Open(m_settings.m_server, m_settings.m_user, std::string())) {
        ShowStatus(FaultWords(SyncFault::Address, probe.LastError()));
        return false;
    }
    if (m_settings.m_password.empty() && !m_settings.m_bNoPassword) {
        const int answer = ::MessageBoxW(m_hWnd, almanix::Wide("没有填写密码。这个服务器不需要密码吗？").c_str(),
            almanix::Wide("同步").c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer != IDYES) {
            ShowStatus("请填写密码");
            ::SetFocus(GetDlgItem(IDC_SYNC_PASSWORD));
            return false;
        }
        m_settings.m_bNoPassword = true;
    }
    return true;
}

bool CSyncDlg::Store()
{
    if (!TakeFields())
        return false;
    m_bStoredHere = true;
    if (SaveSyncSettings(m_settings) != 0) {
        ShowStatus("设置无法保存");
        return false;
    }
    return true;
}

void CSyncDlg::OnFind()
{
    if (!TakeFields())
        return;
    ShowStatus("正在查找日历…");
    const HWND self = m_hWnd;
    const SyncSettings s = m_settings;
    std::thread([self, s] {
        auto found = std::make_unique<SyncDiscovery>();
        found->m_server = s.m_server;
        CCalDavClient client;
        std::string home;
        if (!client.Open(s.m_server, s.m_user, s.m_password)) {
            found->m_error = "查找日历失败，" + FaultWords(SyncFault::Address, client.LastError());
        } else {
            const int status = client.Discover(home, found->m_calendars);
            if (status != 207)
                found->m_error = "查找日历失败，" + RequestFaultWords(status > 0 ? status : 0, client.LastError());
        }
        if (::PostMessageW(self, WM_SYNC_FOUND, 0, reinterpret_cast<LPARAM>(found.get())))
            found.release();
    }).detach();
}

LRESULT CSyncDlg::OnFound(WPARAM, LPARAM lParam)
{
    std::unique_ptr<SyncDiscovery> found(reinterpret_cast<SyncDiscovery*>(lParam));
    if (!found->m_error.empty()) {
        ShowStatus(found->m_error);
        return 0;
    }
    m_calendars = found->m_calendars;
    m_calendarsServer = found->m_server;
    m_comboCalendar.ResetContent();
    m_comboCalendar.AddString("新建日历 Almanix");
    int sel = 0;
    for (std::size_t i = 0; i < m_calendars.size(); ++i) {
        m_comboCalendar.AddString(almanix::Utf8ToGb(m_calendars[i].m_name).c_str());
        if (m_calendars[i].m_href == m_settings.m_calendar)
            sel = static_cast<int>(i) + 1;
    }
    m_comboCalendar.SetCurSel(sel);
    ShowStatus("找到 " + std::to_string(m_calendars.size()) + " 个日历");
    return 0;
}

void CSyncDlg::OnSyncNow()
{
    if (!Store())
        return;
    ShowStatus(m_syncNow && m_syncNow() ? "正在同步…" : "正在进行的同步结束后再试");
}

void CSyncDlg::OnOK()
{
    if (Store())
        EndDialog(IDOK);
}

void CSyncDlg::OnCancel()
{
    if (m_bStoredHere)
        SaveSyncSettings(m_stored);
    EndDialog(IDCANCEL);
}
