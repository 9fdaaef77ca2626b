// What the program does with input it did not write itself: damaged memo files, registry
// values of the wrong shape, a memo folder that cannot be made, files it may not replace.
// Each time it starts, shows its month, keeps running, and loses nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "harness.h"

namespace {

const int kOnce = 1029;

// The tip text shown for a day after the pointer comes to it, after its almanac; "" when no tip shows.
std::wstring TipOf(AlmanixRun& run, HWND view, int day)
{
    return MemoLinesOf(TipOfMay2024Day(run, view, day, L""));
}

void MakeMemoFolders()
{
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\日历").c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\备忘").c_str(), nullptr);
}

TEST(BadInput, DamagedMemoFilesShowTheMonthAndASaveKeepsTheValidRecords)
{
    MakeMemoFolders();
    struct File {
        const wchar_t* name;
        std::string bytes;
    } files[] = {
        // One-off, May 2024: a record for slot 40 between two good ones.
        {L"202405", MemoFile(MemoRecord(1, "first") + MemoRecord(40, "bad") + MemoRecord(2, "lost"))},
        // Every May: the last record's header cut short.
        {L"105", MemoFile(MemoRecord(3, "yearly") + std::string("\x04\x00\x01", 3))},
        // Lunar month 3 (1-7 May): the last record's text runs past the end of the file.
        {L"003", MemoFile(MemoRecord(23, "lunar") + MemoRecord(24, "abc", 500))},
        // Lunar month 4 (from 8 May): an empty file.
        {L"004", ""},
        // Weekly: a negative slot first, so nothing loads.
        {L"week", MemoFile(MemoRecord(-1, "neg") + MemoRecord(3, "weekly"))},
        // A stray byte.
        {L"202406", "d"},
    };
    for (const File& f : files)
        WriteBytes(CalendarFile(f.name), f.bytes);

    AlmanixRun run;
    HWND view = StartOnMay2024(run);
    ASSERT_NE(view, nullptr);
    HWND main = run.Main();
    EXPECT_EQ(SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0), 4);
    // The records before the damage show; what follows it does not. 1-5 May are off for
    // Labour Day: the tip names the holiday first.
    EXPECT_EQ(TipOf(run, view, 1), L"劳动节 放假\r\nfirst\r\nlunar");
    EXPECT_EQ(TipOf(run, view, 2), L"劳动节 放假");
    EXPECT_EQ(TipOf(run, view, 3), L"劳动节 放假\r\nyearly");
    EXPECT_EQ(TipOf(run, view, 8), L"");  // a Wednesday: the weekly file loaded nothing
    // Reading never writes.
    for (const File& f : files)
        EXPECT_EQ(ReadBytes(CalendarFile(f.name)), f.bytes) << f.name;
    EXPECT_TRUE(run.Running());

    // A save of day 5 rewrites its files from what loaded: the valid records stay.
    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(5));
    ASSERT_NE(dlg, nullptr);
    SetWindowTextW(GetDlgItem(dlg, kOnce), L"new");
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    EXPECT_EQ(ReadBytes(CalendarFile(L"202405")), MemoFile(MemoRecord(1, "first") + MemoRecord(5, "new")));
    // The day's other files are either untouched or hold exactly their valid records.
    const std::string yearly = ReadBytes(CalendarFile(L"105")), lunar = ReadBytes(CalendarFile(L"003"));
    EXPECT_TRUE(yearly == files[1].bytes || yearly == MemoFile(MemoRecord(3, "yearly"))) << yearly.size();
    EXPECT_TRUE(lunar == files[2].bytes || lunar == MemoFile(MemoRecord(23, "lunar"))) << lunar.size();
    EXPECT_EQ(ReadBytes(CalendarFile(L"week")), files[4].bytes);
    EXPECT_EQ(TipOf(run, view, 1), L"劳动节 放假\r\nfirst\r\nlunar");
    EXPECT_EQ(TipOf(run, view, 5), L"劳动节 放假\r\nnew");
}

// A value of the settings key of another type, empty, too long or not a number: the
// program starts where the registry's rules put it, and its next writes replace the value.
TEST(BadInput, RegistryValuesOfEveryShape)
{
    HKEY key = nullptr;
    struct Value {
        const wchar_t* name;
        DWORD type;
        std::wstring text;  // REG_SZ, REG_MULTI_SZ; a number for REG_DWORD; bytes for REG_BINARY
    };
    const std::wstring tenKb(10 * 1024, L'7');
    struct Case {
        const char* what;
        Value values[3];
        int x, y;       // where the calendar starts
        bool notebook;  // shown
    } cases[] = {
        {"number, empty", {{L"PosX", REG_DWORD, L"700"}, {L"PosY", REG_SZ, L"50"}, {L"MemoShow", REG_SZ, L""}}, 500,
            300, false},
        {"10 KB, number", {{L"PosX", REG_SZ, tenKb}, {L"PosY", REG_SZ, L"50"}, {L"MemoShow", REG_DWORD, L"1"}}, 500,
            300, false},
        {"letters", {{L"PosX", REG_SZ, L"abc"}, {L"PosY", REG_SZ, L"xyz"}, {L"MemoShow", REG_SZ, L"1abc"}}, 0, 0, true},
        {"binary, list",
            {{L"PosX", REG_BINARY, L"\x0102"}, {L"PosY", REG_SZ, L"60"}, {L"MemoShow", REG_MULTI_SZ, L"1"}}, 500, 300,
            false},
        {"out of reach", {{L"PosX", REG_SZ, L"99999"}, {L"PosY", REG_SZ, L"-99999"}, {L"MemoShow", REG_SZ, L"65537"}},
            -1, 0, false},
        {"beyond int",
            {{L"PosX", REG_SZ, L"99999999999999999999"}, {L"PosY", REG_SZ, L"99999999999999999999"},
                {L"MemoShow", REG_SZ, L"0"}},
            -1, 1 << 30, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        for (const Value& v : c.values) {
            if (v.type == REG_DWORD) {
                DWORD n = static_cast<DWORD>(_wtoi(v.text.c_str()));
                RegSetValueExW(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
            } else if (v.type == REG_BINARY) {
                RegSetValueExW(key, v.name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(v.text.data()),
                    static_cast<DWORD>(v.text.size() * sizeof(wchar_t)));
            } else {
                std::wstring data = v.text + (v.type == REG_MULTI_SZ ? std::wstring(2, L'\0') : std::wstring(1, L'\0'));
                RegSetValueExW(key, v.name, 0, v.type, reinterpret_cast<const BYTE*>(data.data()),
                    static_cast<DWORD>(data.size() * sizeof(wchar_t)));
            }
        }
        RegCloseKey(key);

        AlmanixRun run;
        ASSERT_TRUE(run.Start());
        HWND main = run.Main();
        RECT rc = RectOf(main);
        // Limited to the screen's full-screen client area, as always.
        int cx = GetSystemMetrics(SM_CXFULLSCREEN), cy = GetSystemMetrics(SM_CYFULLSCREEN);
        int x = c.x < 0 ? cx - 363 : (std::min)(c.x, cx - 363), y = (std::min)(c.y, cy - 236);
        EXPECT_EQ(rc.left, x);
        EXPECT_EQ(rc.top, y);
        EXPECT_EQ(TextOf(main), L"日历2.18");
        // The notebook's tab shows exactly when the notebook does not.
        HWND tab = run.FindTab(L"本");
        EXPECT_EQ(tab && IsWindowVisible(tab), !c.notebook);
        EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), c.notebook ? L"1" : L"0");
        // Still works: a move writes text values over the bad ones.
        SetWindowPos(main, nullptr, 120, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Sync(main);
        EXPECT_EQ(RegText(kSettingsKey, L"PosX"), L"120");
        EXPECT_EQ(RegText(kSettingsKey, L"PosY"), L"130");
        run.Kill();
    }
}

// A file where the memo folder belongs: the calendar runs without memos, says so when a
// memo cannot be saved, and writes neither that file nor into the folder it was started in.
// No memo folder, because a file has its name or because there is no Documents folder: the
// calendar runs, says that nothing is saved, and writes nothing anywhere else.
void RunWithoutMemoFolder(bool noDocuments)
{
    const std::wstring documents = DocumentsFolder(), blocker = MemoFolder();
    if (noDocuments)
        ASSERT_TRUE(RemoveDirectoryW(documents.c_str()));
    else
        WriteBytes(blocker, "not a folder");
    wchar_t scratch[MAX_PATH];
    GetTempPathW(MAX_PATH, scratch);
    const std::wstring start = std::wstring(scratch) + L"almanix-start";
    CreateDirectoryW(start.c_str(), nullptr);
    // The start folder happens to hold folders of the memo folder's names: they stay empty.
    CreateDirectoryW((start + L"\\日历").c_str(), nullptr);
    CreateDirectoryW((start + L"\\备忘").c_str(), nullptr);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(start.c_str()));
    SetRegText(kSettingsKey, L"MemoShow", L"1");
    AlmanixRun run;
    bool started = run.Start();
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(started);
    HWND main = run.Main();
    EXPECT_EQ(TextOf(main), L"日历2.18");
    HWND view = ChildWithId(main, kMonthView);
    ASSERT_NE(view, nullptr);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0), now.wMonth - 1);

    // The notebook takes text (and cannot keep it); a day's save fails with a warning and
    // the dialog keeps its text.
    HWND notebook = FindNotebook(run);
    ASSERT_NE(notebook, nullptr);
    EXPECT_NE(StaticTexts(notebook).find(L"记事小本（未保存）"), std::wstring::npos);
    for (wchar_t c : std::wstring(L"note"))
        SendMessageW(GetDlgItem(notebook, kNoteEdit), WM_CHAR, c, 1);
    EXPECT_EQ(TextOf(GetDlgItem(notebook, kNoteEdit)), L"note");
    Choose(main, 2024, 5);
    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(1));
    ASSERT_NE(dlg, nullptr);
    SetWindowTextW(GetDlgItem(dlg, kOnce), L"memo");
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    HWND box = WaitForDialog(run, L"警告");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(StaticTexts(box).find(L"记事没能写入文件"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(IsWindow(dlg));
    EXPECT_EQ(TextOf(GetDlgItem(dlg, kOnce)), L"memo");
    SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));

    EXPECT_TRUE(Sync(main));
    EXPECT_TRUE(run.Running());
    if (noDocuments) {
        EXPECT_FALSE(FolderExists(documents));
    } else {
        EXPECT_TRUE(FileExists(blocker));
        EXPECT_EQ(ReadBytes(blocker), "not a folder");
    }
    auto entriesOf = [](const std::wstring& folder) {
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
        int entries = 0;
        if (find != INVALID_HANDLE_VALUE) {
            do
                entries += wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0;
            while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        return entries;
    };
    EXPECT_EQ(entriesOf(start), 2);
    EXPECT_EQ(entriesOf(start + L"\\日历"), 0);
    EXPECT_EQ(entriesOf(start + L"\\备忘"), 0);
}

TEST(BadInput, MemoFolderThatIsAFile)
{
    RunWithoutMemoFolder(false);
}

TEST(BadInput, NoDocumentsFolder)
{
    RunWithoutMemoFolder(true);
}

// A memo file and the note that another program holds open and will not let go (a backup
// tool, an editor): the saves fail, the files keep their content and no temporary file
// stays; the memo dialog says so and keeps its text, the notebook keeps what was typed; once
// the files are free, the next save writes everything.
TEST(BadInput, FilesHeldByAnotherProgramKeepTheirContent)
{
    MakeMemoFolders();
    const std::wstring month = CalendarFile(L"202405"), note = MemoFolder() + L"\\备忘\\default";
    const std::string old = MemoFile(MemoRecord(1, "old"));
    WriteBytes(month, old);
    WriteBytes(note, "kept");
    // Read sharing only: neither replacing nor deleting is possible while these are open.
    auto hold = [](const std::wstring& path) {
        return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    HANDLE heldMonth = hold(month), heldNote = hold(note);
    ASSERT_NE(heldMonth, INVALID_HANDLE_VALUE);
    ASSERT_NE(heldNote, INVALID_HANDLE_VALUE);
    SetRegText(kSettingsKey, L"MemoShow", L"1");

    AlmanixRun run;
    HWND view = StartOnMay2024(run);
    ASSERT_NE(view, nullptr);
    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(1));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dlg, kOnce)), L"old");
    SetWindowTextW(GetDlgItem(dlg, kOnce), L"new");
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    HWND box = WaitForDialog(run, L"警告");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(StaticTexts(box).find(L"记事没能写入文件"), std::wstring::npos);
    EXPECT_EQ(ReadBytes(month), old);
    EXPECT_FALSE(FileExists(CalendarFile(L"~202405.tmp")));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    ASSERT_TRUE(IsWindow(dlg));
    EXPECT_EQ(TextOf(GetDlgItem(dlg, kOnce)), L"new");
    // Let go: the same OK saves.
    CloseHandle(heldMonth);
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    EXPECT_EQ(ReadBytes(month), MemoFile(MemoRecord(1, "new")));

    HWND notebook = FindNotebook(run);
    ASSERT_NE(notebook, nullptr);
    HWND edit = GetDlgItem(notebook, kNoteEdit);
    EXPECT_EQ(TextOf(edit), L"kept");
    SendMessageW(edit, EM_SETSEL, 4, 4);
    SendMessageW(edit, WM_CHAR, L'!', 1);
    EXPECT_EQ(TextOf(edit), L"kept!");
    EXPECT_EQ(ReadBytes(note), "kept");
    EXPECT_FALSE(FileExists(MemoFolder() + L"\\备忘\\~default.tmp"));
    CloseHandle(heldNote);
    SendMessageW(edit, WM_CHAR, L'?', 1);
    EXPECT_EQ(ReadBytes(note), "kept!?");
    EXPECT_TRUE(run.Running());
}

}  // namespace
