#include <gtest/gtest.h>

#include "harness.h"

namespace {

const int kNoteHide = 1048;

TEST(Notebook, TypingSavesEveryChangeAndHidingRemembers)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND tab = run.FindTab(L"本");
    ASSERT_NE(tab, nullptr);
    EXPECT_TRUE(IsWindowVisible(tab));
    HWND notebook = OpenNotebook(run);
    ASSERT_NE(notebook, nullptr);
    EXPECT_FALSE(IsWindowVisible(tab));
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"1");

    // First run: below the calendar's left edge.
    RECT main = RectOf(run.Main()), nb = RectOf(notebook);
    EXPECT_EQ(nb.left, main.left);
    EXPECT_EQ(nb.top, main.bottom + 10);

    HWND edit = GetDlgItem(notebook, kNoteEdit);
    std::wstring note = MemoFolder() + L"\\备忘\\default";
    Type(edit, L"a\rb");
    EXPECT_EQ(ReadBytes(note), "a\r\nb");
    Type(edit, L"中");
    EXPECT_EQ(ReadBytes(note), "a\r\nb\xd6\xd0");

    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    EXPECT_FALSE(FileExists(note));
    Type(edit, L"x");
    EXPECT_EQ(ReadBytes(note), "x");

    // Esc and Enter never close it.
    SendMessageW(notebook, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(notebook, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindowVisible(notebook));

    SendMessageW(GetDlgItem(notebook, kNoteHide), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(notebook) && IsWindowVisible(tab); }));
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"0");
    SendMessageW(GetDlgItem(tab, 1000), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(notebook); }));
    EXPECT_EQ(TextOf(edit), L"x");
}

TEST(Notebook, ComesBackWithItsTextPositionAndVisibility)
{
    std::wstring note = MemoFolder() + L"\\备忘\\default";
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\备忘").c_str(), nullptr);
    WriteBytes(note, std::string("line1\r\n\xc5\xa9\xc0\xfa\0rest", 16));  // 农历, then a NUL
    SetRegText(kSettingsKey, L"MemoShow", L" 01");
    SetRegText(kSettingsKey, L"MemoX", L"40");
    SetRegText(kSettingsKey, L"MemoY", L"50");
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND notebook = FindNotebook(run);
    ASSERT_NE(notebook, nullptr);
    EXPECT_TRUE(IsWindowVisible(notebook));
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"1");
    RECT nb = RectOf(notebook);
    EXPECT_EQ(nb.left, 40);
    EXPECT_EQ(nb.top, 50);
    EXPECT_EQ(TextOf(GetDlgItem(notebook, kNoteEdit)), L"line1\r\n农历");
}

TEST(Notebook, PositionNoMonitorShowsFallsBackToTheDefault)
{
    SetRegText(kSettingsKey, L"MemoShow", L"1");
    SetRegText(kSettingsKey, L"MemoX", L"-3000");
    SetRegText(kSettingsKey, L"MemoY", L"50");
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND notebook = FindNotebook(run);
    ASSERT_NE(notebook, nullptr);
    RECT main = RectOf(run.Main()), nb = RectOf(notebook);
    EXPECT_EQ(nb.left, main.left);
    EXPECT_EQ(nb.top, main.bottom + 10);
    // A position partly on screen stays as saved.
    run.Kill();
    SetRegText(kSettingsKey, L"MemoX", L"-20");
    AlmanixRun again;
    ASSERT_TRUE(again.Start());
    notebook = FindNotebook(again);
    EXPECT_EQ(RectOf(notebook).left, -20);
    EXPECT_EQ(RectOf(notebook).top, 50);
}

}  // namespace

namespace {

TEST(Notebook, ReadOnlyNoteFileIsKeptAndTheHeadingSaysSo)
{
    std::wstring note = MemoFolder() + L"\\备忘\\default";
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\备忘").c_str(), nullptr);
    WriteBytes(note, "old");
    SetFileAttributesW(note.c_str(), FILE_ATTRIBUTE_READONLY);
    SetRegText(kSettingsKey, L"MemoShow", L"1");
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND notebook = FindNotebook(run);
    ASSERT_NE(notebook, nullptr);
    HWND edit = GetDlgItem(notebook, kNoteEdit);
    HWND heading = ChildWithId(notebook, -1);
    EXPECT_EQ(TextOf(heading), L"记事小本");

    Type(edit, L"x");
    EXPECT_EQ(ReadBytes(note), "old");
    EXPECT_EQ(TextOf(heading), L"记事小本（未保存）");
    EXPECT_EQ(TextOf(edit).size(), 4u);  // the typed text stays on screen

    SetFileAttributesW(note.c_str(), FILE_ATTRIBUTE_NORMAL);
    Type(edit, L"y");
    EXPECT_EQ(ReadBytes(note).size(), 5u);
    EXPECT_EQ(TextOf(heading), L"记事小本");
}

}  // namespace
