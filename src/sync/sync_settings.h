// The sync's settings under the program's registry key; the password encrypted for the
// Windows user (CryptProtectData), never stored or logged in plain text.
#pragma once

#include <string>

struct SyncSettings {
    std::string m_server;        // UTF-8: the address the user gave (https://...)
    std::string m_user;          // UTF-8
    std::string m_password;      // UTF-8, in memory only
    std::string m_calendar;      // the chosen calendar's path on the server ("" = not chosen yet)
    std::string m_calendarName;  // UTF-8, its display name
    bool m_bNoPassword = false;  // the user said the server needs no password (then it is empty)
    bool IsSet() const { return !m_server.empty() && !m_user.empty(); }
};

// What is stored; a password that cannot be decrypted (another Windows user's, or damaged)
// comes back empty. False when nothing is stored.
bool LoadSyncSettings(SyncSettings& settings);
// 0, or -1 when a value could not be written or the password not encrypted (then nothing
// of the password is stored).
int SaveSyncSettings(const SyncSettings& settings);

// The last sync's time, whether it went, and its result in words (program byte strings), for
// the settings dialog.
struct LastSyncResult {
    std::string m_time;  // "2026-12-07 18:20"; empty: never synced
    bool m_bOk = false;
    std::string m_words;
};
void SaveLastSyncResult(bool ok, const std::string& words);
LastSyncResult LoadLastSyncResult();

// The password's stored form (hex of the encrypted blob) and back; empty on failure.
std::string ProtectPassword(const std::string& password);
std::string UnprotectPassword(const std::string& stored);
