#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/wnd.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"

namespace {

// A memo folder of the test's own under the temporary folder, entered for the test's life.
class MemoFolderOnWindows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.PrepareMemos()); }
    void TearDown() override { SetFileFaultHook(nullptr); }
    std::wstring Path(const wchar_t* rel) const { return m_docs + L"\\我的记事\\" + rel; }
    std::string Bytes(const wchar_t* rel) const
    {
        std::string out;
        HANDLE f = ::CreateFileW(Path(rel).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return "<none>";
        char buf[256];
        DWORD n = 0;
        while (::ReadFile(f, buf, sizeof(buf), &n, nullptr) && n)
            out.append(buf, n);
        ::CloseHandle(f);
        return out;
    }
    bool OnlyExpectedFilesIn(const wchar_t* folder, std::wstring* found) const
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((Path(folder) + L"\\*").c_str(), &fd);
        bool ok = true;
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name != L"." && name != L"..") {
                    *found += name + L" ";
                    if (name.find(L"tmp") != std::wstring::npos)
                        ok = false;
                }
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        return ok;
    }
    // The documents folder, under a name that is not ASCII.
    ScratchFolder m_folder{L"almanix-文档"};
    const std::wstring m_docs = m_folder.Path().wstring();
};

TEST_F(MemoFolderOnWindows, FoldersAndFilesCarryTheirChineseNames)
{
    EXPECT_NE(::GetFileAttributesW((m_docs + L"\\我的记事\\日历").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW((m_docs + L"\\我的记事\\备忘").c_str()), INVALID_FILE_ATTRIBUTES);
    CMemoStore store;
    store.Open(2024, 5);
    ASSERT_EQ(store.SetEntry(5, "ab", 2, 0), 0);
    EXPECT_EQ(Bytes(L"日历\\202405"),
        std::string("\x64\x00\x05\x00\x02\x00\x00\x00\x00\x00"
                    "ab",
            12));
    // Replacing an existing file.
    ASSERT_EQ(store.SetEntry(5, "农历", 4, 0), 0);
    EXPECT_EQ(Bytes(L"日历\\202405").substr(10), "农历");
    ASSERT_EQ(store.SetEntry(5, "", 0, 0), 0);
    EXPECT_EQ(Bytes(L"日历\\202405"), "<none>");
}

TEST_F(MemoFolderOnWindows, FileHeldWithoutSharingKeepsItsContent)
{
    ASSERT_EQ(WriteWholeFile("备忘\\default", "old", 3), 0);
    HANDLE lock = ::CreateFileW(Path(L"备忘\\default").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteWholeFile("备忘\\default", "new", 3), -1);
    ::CloseHandle(lock);
    EXPECT_EQ(Bytes(L"备忘\\default"), "old");
    std::wstring names;
    EXPECT_TRUE(OnlyExpectedFilesIn(L"备忘", &names)) << std::string(names.begin(), names.end());
    EXPECT_EQ(WriteWholeFile("备忘\\default", "new", 3), 0);
    EXPECT_EQ(Bytes(L"备忘\\default"), "new");
}

TEST_F(MemoFolderOnWindows, EveryFailedStepLeavesTheOldFile)
{
    static FileStep failing;
    for (FileStep step : {FileStep::Open, FileStep::Write, FileStep::Flush, FileStep::Replace}) {
        ASSERT_EQ(WriteWholeFile("日历\\week", "before", 6), 0);
        failing = step;
        SetFileFaultHook([](FileStep s) { return s == failing; });
        EXPECT_EQ(WriteWholeFile("日历\\week", "after!", 6), -1);
        SetFileFaultHook(nullptr);
        EXPECT_EQ(Bytes(L"日历\\week"), "before");
        std::wstring names;
        EXPECT_TRUE(OnlyExpectedFilesIn(L"日历", &names)) << std::string(names.begin(), names.end());
    }
}

}  // namespace
