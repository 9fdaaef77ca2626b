// What the program loads at start: the colour picker's DLL (and the print spooler it brings)
// only once a picker opens.
#include "harness.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <cwctype>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> LoadedModules(HANDLE process)
{
    std::vector<std::wstring> names;
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!::K32EnumProcessModules(process, modules, sizeof(modules), &bytes))
        return names;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t name[MAX_PATH] = {};
        if (::K32GetModuleBaseNameW(process, modules[i], name, MAX_PATH)) {
            std::wstring lower = name;
            for (wchar_t& c : lower)
                c = static_cast<wchar_t>(std::towlower(c));
            names.push_back(lower);
        }
    }
    return names;
}

}  // namespace

TEST(Footprint, StartLoadsNeitherThePickerNorThePrintSpooler)
{
    // The holiday update loads the network library a tick after start, by design: off here.
    SetRegText(kSettingsKey, L"HolidayUpdate", L"0");
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run.Pid());
    ASSERT_NE(process, nullptr);
    std::vector<std::wstring> modules = LoadedModules(process);
    ::CloseHandle(process);
    ASSERT_FALSE(modules.empty());
    bool hasUser32 = false;
    for (const std::wstring& m : modules) {
        hasUser32 = hasUser32 || m == L"user32.dll";
        EXPECT_NE(m, L"comdlg32.dll");
        EXPECT_NE(m, L"winspool.drv");
        // Nor, with no sync set up, the sync's network and XML libraries.
        EXPECT_NE(m, L"winhttp.dll");
        EXPECT_NE(m, L"xmllite.dll");
    }
    EXPECT_TRUE(hasUser32);  // the list is the program's own
}
