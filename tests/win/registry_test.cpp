#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controls/registry.h"
#include "framework/wnd.h"

namespace {

// A key of the tests' own, so the program's settings in this prefix stay untouched.
const char kKey[] = "SOFTWARE\\AlmanixTests\\Registry";
const wchar_t kKeyW[] = L"SOFTWARE\\AlmanixTests\\Registry";

std::string Read(const char* name, DWORD size = 255)
{
    BYTE buf[512];
    std::memset(buf, 'Z', sizeof(buf));
    if (ReadRegValue(kKey, name, buf, size) != 0)
        return "<fail>";
    return std::string(reinterpret_cast<char*>(buf));
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\AlmanixTests"); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\AlmanixTests"); }
};

TEST_F(Registry, MissingKeyOrValueFails)
{
    EXPECT_EQ(Read("PosX"), "<fail>");
    ASSERT_EQ(WriteRegString(kKey, "PosX", "500"), 0);
    EXPECT_EQ(Read("PosY"), "<fail>");
}

TEST_F(Registry, TextsReadBackExactly)
{
    struct Case {
        const char* text;
    } cases[] = {{"-20"}, {" 40"}, {"+7x"}, {""}, {"日历2.18"}, {"12345"}, {"7"}};
    for (const Case& c : cases) {
        ASSERT_EQ(WriteRegString(kKey, "Value", c.text), 0) << c.text;
        // "7" after "12345": nothing of the longer text may be left behind.
        EXPECT_EQ(Read("Value"), c.text);
    }
}

TEST_F(Registry, StoredWithTerminatorAsTheApiRequires)
{
    ASSERT_EQ(WriteRegString(kKey, "PosX", "123"), 0);
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kKeyW, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD type = 0, bytes = 0;
    ASSERT_EQ(::RegQueryValueExW(key, L"PosX", nullptr, &type, nullptr, &bytes), ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, 4 * sizeof(wchar_t));
}

TEST_F(Registry, ValueWithoutTerminatorReadsTheSame)
{
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKeyW, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ::RegSetValueExW(key, L"PosY", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"40"), 2 * sizeof(wchar_t));
    DWORD number = 5;
    ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    ::RegCloseKey(key);
    EXPECT_EQ(Read("PosY"), "40");
    // Another type is no text: the caller takes its default.
    EXPECT_EQ(Read("Number"), "<fail>");
}

TEST_F(Registry, ValueFillingTheWholeBufferFails)
{
    std::string fits(254, '1'), fills(255, '1');
    ASSERT_EQ(WriteRegString(kKey, "A", fits.c_str()), 0);
    ASSERT_EQ(WriteRegString(kKey, "B", fills.c_str()), 0);
    EXPECT_EQ(Read("A"), fits);
    EXPECT_EQ(Read("B"), "<fail>");
    // Two-byte characters count as bytes of the program's text.
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "日";
    ASSERT_EQ(WriteRegString(kKey, "C", wide.c_str()), 0);
    EXPECT_EQ(Read("C"), "<fail>");
}

std::wstring RunValue(const wchar_t* name)
{
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_QUERY_VALUE,
            &key) != ERROR_SUCCESS)
        return L"<no key>";
    wchar_t buf[1024] = {};
    DWORD bytes = sizeof(buf) - sizeof(wchar_t);
    LONG rc = ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &bytes);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::wstring(buf) : L"<none>";
}

TEST(AutoStart, WritesThisProgramsPathAndRemovesOnlyItsValue)
{
    HKEY run;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &run, nullptr),
        ERROR_SUCCESS);
    ::RegSetValueExW(run, L"OtherProgram", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"c:\\x.exe"), 18);
    ::RegCloseKey(run);

    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    SetAutoStart(true, "AlmanixTest");
    EXPECT_EQ(RunValue(L"AlmanixTest"), path);
    EXPECT_EQ(GetProgramPath(), almanix::Narrow(path));

    BYTE buf[255];
    ASSERT_EQ(ReadRegValue(ALMANIX_RUN_KEY, "AlmanixTest", buf, sizeof(buf)), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), GetProgramPath());

    SetAutoStart(false, "AlmanixTest");
    EXPECT_EQ(RunValue(L"AlmanixTest"), L"<none>");
    SetAutoStart(false, "AlmanixTest");  // a missing value is no error
    EXPECT_EQ(RunValue(L"OtherProgram"), L"c:\\x.exe");

    ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_WRITE, &run);
    ::RegDeleteValueW(run, L"OtherProgram");
    ::RegCloseKey(run);
}

TEST(AutoStart, NeverCreatesTheRunKey)
{
    const wchar_t* parent = L"Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, parent, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    // Only an empty Run key may be taken away for the test.
    HKEY run;
    DWORD values = 0;
    if (::RegOpenKeyExW(key, L"Run", 0, KEY_READ, &run) == ERROR_SUCCESS) {
        ::RegQueryInfoKeyW(
            run, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(run);
        if (values != 0) {
            ::RegCloseKey(key);
            GTEST_SKIP() << "Run key holds values";
        }
        ASSERT_EQ(::RegDeleteKeyW(key, L"Run"), ERROR_SUCCESS);
    }
    SetAutoStart(true, "AlmanixTest");
    EXPECT_EQ(RunValue(L"AlmanixTest"), L"<no key>");
    ::RegCreateKeyExW(key, L"Run", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
    ::RegCloseKey(run);
    ::RegCloseKey(key);
}

}  // namespace
