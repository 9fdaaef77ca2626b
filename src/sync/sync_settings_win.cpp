#include "sync/sync_settings.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>

#include "controls/registry.h"
#include "text/gbcodec.h"

// Below the program's key: Server, User, Password (encrypted), Calendar, CalendarName.
#define ALMANIX_SYNC_KEY ALMANIX_SETTINGS_KEY "\\Sync"

namespace {

// Binds the blob to this program: another program of the same user gets nothing from it.
const char kEntropy[] = "Almanix sync password";

std::string Read(const char* name)
{
    std::string buf(8192, '\0');
    if (ReadRegValue(ALMANIX_SYNC_KEY, name, reinterpret_cast<BYTE*>(&buf[0]), static_cast<DWORD>(buf.size())) != 0)
        return {};
    return almanix::GbToUtf8(buf.c_str());
}

int Write(const char* name, const std::string& utf8)
{
    return WriteRegString(ALMANIX_SYNC_KEY, name, almanix::Utf8ToGb(utf8).c_str());
}

}  // namespace

std::string ProtectPassword(const std::string& password)
{
    DATA_BLOB in{static_cast<DWORD>(password.size()), reinterpret_cast<BYTE*>(const_cast<char*>(password.data()))};
    DATA_BLOB entropy{sizeof kEntropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, L"Almanix", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string s;
    for (DWORD i = 0; i < out.cbData; ++i) {
        s += hex[out.pbData[i] >> 4];
        s += hex[out.pbData[i] & 15];
    }
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return s;
}

std::string UnprotectPassword(const std::string& stored)
{
    if (stored.empty() || stored.size() % 2)
        return {};
    std::string bytes;
    for (std::size_t i = 0; i < stored.size(); i += 2) {
        const std::string pair = stored.substr(i, 2);
        char* end = nullptr;
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (*end)
            return {};
        bytes += static_cast<char>(v);
    }
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(&bytes[0])};
    DATA_BLOB entropy{sizeof kEntropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return {};
    std::string password(reinterpret_cast<char*>(out.pbData), out.cbData);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return password;
}

bool LoadSyncSettings(SyncSettings& s)
{
    s = SyncSettings{};
    s.m_server = Read("Server");
    s.m_user = Read("User");
    s.m_password = UnprotectPassword(Read("Password"));
    s.m_calendar = Read("Calendar");
    s.m_calendarName = Read("CalendarName");
    s.m_bNoPassword = s.m_password.empty() && Read("NoPassword") == "1";
    return !s.m_server.empty();
}

int SaveSyncSettings(const SyncSettings& s)
{
    const std::string protectedPassword = s.m_password.empty() ? "" : ProtectPassword(s.m_password);
    if (!s.m_password.empty() && protectedPassword.empty())
        return -1;
    int rc = 0;
    rc |= Write("Server", s.m_server);
    rc |= Write("User", s.m_user);
    rc |= Write("Password", protectedPassword);
    rc |= Write("Calendar", s.m_calendar);
    rc |= Write("CalendarName", s.m_calendarName);
    rc |= Write("NoPassword", s.m_password.empty() && s.m_bNoPassword ? "1" : "0");
    return rc ? -1 : 0;
}

void SaveLastSyncResult(bool ok, const std::string& words)
{
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[32];
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    WriteRegString(ALMANIX_SYNC_KEY, "LastTime", stamp);
    WriteRegString(ALMANIX_SYNC_KEY, "LastOk", ok ? "1" : "0");
    WriteRegString(ALMANIX_SYNC_KEY, "LastResult", words.c_str());
}

LastSyncResult LoadLastSyncResult()
{
    LastSyncResult last;
    const auto read = [](const char* name) {
        std::string buf(1024, '\0');
        if (ReadRegValue(ALMANIX_SYNC_KEY, name, reinterpret_cast<BYTE*>(&buf[0]), static_cast<DWORD>(buf.size())) != 0)
            return std::string();
        return std::string(buf.c_str());
    };
    last.m_time = read("LastTime");
    last.m_bOk = read("LastOk") == "1";
    last.m_words = read("LastResult");
    return last;
}
