// "同步…": the server, user and password, the calendar (found on the server or made), "立即同步"
// and the last sync's time and result. Discovery runs on a thread of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "sync/caldav_client.h"
#include "sync/sync_settings.h"
#include "resource.h"

// The calendars found, posted to the dialog: lParam owns a SyncDiscovery.
#define WM_SYNC_FOUND (WM_APP + 31)

struct SyncDiscovery {
    std::string m_server;  // the address asked
    std::string m_error;   // program bytes; empty when found
    std::vector<CalendarInfo> m_calendars;
};

class CSyncDlg : public CDialog {
public:
    // syncNow: asks the owner for a sync with the stored settings (false: one is running).
    CSyncDlg(CWnd* pParent, std::function<bool()> syncNow);

    BEGIN_MSG_MAP(CSyncDlg)
        COMMAND_ID_HANDLER_EX(IDC_SYNC_FIND, OnFind)
        COMMAND_ID_HANDLER_EX(IDC_SYNC_NOW, OnSyncNow)
        MESSAGE_HANDLER_EX(WM_SYNC_FOUND, OnFound)
    END_MSG_MAP()

    BOOL OnInitDialog() override;
    void OnOK() override;
    // Puts back the settings stored before the dialog opened, when "立即同步" stored others.
    void OnCancel() override;
    // The owner tells the open dialog a sync's result.
    void ShowResult(const LastSyncResult& result);

private:
    void OnFind();
    void OnSyncNow();
    LRESULT OnFound(WPARAM, LPARAM found);
    void ShowStatus(const std::string& words);
    // The fields into m_settings; false, with the reason in the status line, when the address
    // or user is missing, the address is one the sync refuses, or the password is empty and
    // the user did not confirm that the server needs none.
    bool TakeFields();
    bool Store();

    std::function<bool()> m_syncNow;
    SyncSettings m_settings;
    SyncSettings m_stored;                  // as stored when the dialog opened
    bool m_bStoredHere = false;             // settings were stored since
    std::vector<CalendarInfo> m_calendars;  // the combo's items after the first, "新建日历 Almanix"
    std::string m_calendarsServer;          // the address they were found at
    CComboBox m_comboCalendar;
};
