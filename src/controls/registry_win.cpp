#include "controls/registry.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/scoped_handle.h"
#include "controls/settings.h"
#include "framework/wnd.h"

namespace {

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle key) { return ::RegCloseKey(key) == ERROR_SUCCESS; }
};
using RegKey = CScopedHandle<RegKeyTraits>;

std::wstring ProgramPathW()
{
    // Long paths exceed MAX_PATH; grow until the whole path fits.
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return std::wstring();
        if (n < buf.size())
            return std::wstring(buf.data(), n);
        if (buf.size() >= 32768)
            return std::wstring();
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

int ReadRegValue(LPCSTR subKey, LPCSTR valueName, BYTE* buffer, DWORD bufferSize)
{
    if (!buffer || bufferSize == 0)
        return -1;
    RegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, almanix::Wide(subKey).c_str(), 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS)
        return -1;
    std::wstring name = almanix::Wide(valueName);
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
        return -1;
    // A number or binary blob is no text: the caller takes its default.
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return -1;
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = bytes;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
        ERROR_SUCCESS)
        return -1;
    size_t len = got / sizeof(wchar_t);
    while (len > 0 && data[len - 1] == L'\0')
        --len;
    std::string text = almanix::Narrow(std::wstring_view(data.data(), len));
    if (text.size() + 1 > bufferSize)
        return -1;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = 0;
    return 0;
}

int WriteRegString(LPCSTR subKey, LPCSTR valueName, LPCSTR text)
{
    RegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, almanix::Wide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
            KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return -1;
    std::wstring value = almanix::Wide(text ? text : "");
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));  // with its terminator
    LONG rc = ::RegSetValueExW(
        key.Get(), almanix::Wide(valueName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    return rc == ERROR_SUCCESS ? 0 : -1;
}

void SetAutoStart(bool enable, LPCSTR valueName)
{
    RegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, almanix::Wide(ALMANIX_RUN_KEY).c_str(), 0, KEY_WRITE, key.Out()) !=
        ERROR_SUCCESS)
        return;
    std::wstring name = almanix::Wide(valueName);
    if (enable) {
        std::wstring path = ProgramPathW();
        if (path.empty())
            return;
        ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    } else {
        ::RegDeleteValueW(key.Get(), name.c_str());
    }
}

std::string GetProgramPath()
{
    return almanix::Narrow(ProgramPathW());
}

bool ReadRegSwitch(LPCSTR subKey, LPCSTR valueName)
{
    BYTE value[8];
    return ReadRegValue(subKey, valueName, value, sizeof value) != 0 || value[0] != '0';
}

int WriteRegSwitch(LPCSTR subKey, LPCSTR valueName, bool on)
{
    return WriteRegString(subKey, valueName, on ? "1" : "0");
}

bool ReadRegNumber(LPCSTR subKey, LPCSTR valueName, int* out)
{
    BYTE buf[255];
    if (ReadRegValue(subKey, valueName, buf, sizeof(buf)) != 0)
        return false;
    *out = almanix::ParseDecimal(reinterpret_cast<const char*>(buf));
    return true;
}

int WriteRegNumber(LPCSTR subKey, LPCSTR valueName, int number)
{
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%d", number);
    return WriteRegString(subKey, valueName, buf);
}
