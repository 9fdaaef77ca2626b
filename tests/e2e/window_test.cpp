#include <gtest/gtest.h>

#include "harness.h"

namespace {

const int kExitButton = 1001, kCollapse = 1000;

TEST(Position, SavedPositionMovesAndTabs)
{
    SetRegText(kSettingsKey, L"PosX", L"-20");
    SetRegText(kSettingsKey, L"PosY", L"40");
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    RECT rc = RectOf(main);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 40);
    // The start-up move wrote nothing back.
    EXPECT_EQ(RegText(kSettingsKey, L"PosX"), L"-20");

    SetWindowPos(main, nullptr, 120, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sync(main);
    EXPECT_EQ(RegText(kSettingsKey, L"PosX"), L"120");
    EXPECT_EQ(RegText(kSettingsKey, L"PosY"), L"130");
    RECT tab = RectOf(run.FindTab(L"本"));
    EXPECT_EQ(tab.left, 120 + 363 + 10);
    EXPECT_EQ(tab.top, 130 + 278 - 18);
    // The calendar's tab, made at the first collapse, goes beside the window where it is now.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(kCollapse, BN_CLICKED), (LPARAM)GetDlgItem(main, kCollapse));
    HWND calTabWnd = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (calTabWnd = run.FindTab(L"历")) != nullptr && IsWindowVisible(calTabWnd); }));
    RECT calTab = RectOf(calTabWnd);
    EXPECT_EQ(calTab.left, 120 + 363 + 10);
    EXPECT_EQ(calTab.top, 130 + 278 - 54);
}

TEST(Position, EnterEscAndAltF4KeepTheWindow)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    SendMessageW(main, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Sync(main));
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(IsWindowVisible(main));
}

TEST(Position, CollapseToTabAndBack)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(kCollapse, BN_CLICKED), (LPARAM)GetDlgItem(main, kCollapse));
    HWND calTab = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (calTab = run.FindTab(L"历")) && !IsWindowVisible(main) && IsWindowVisible(calTab); }));
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"0");  // the notebook's flag is untouched
    SendMessageW(GetDlgItem(calTab, 1000), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsWindowVisible(calTab); }));
}

// Opens the exit prompt and returns it, or null.
HWND OpenExitPrompt(AlmanixRun& run)
{
    HWND main = run.Main();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(kExitButton, BN_CLICKED), (LPARAM)GetDlgItem(main, kExitButton));
    HWND prompt = nullptr;
    WaitUntil([&] { return (prompt = run.FindWindowOf(L"#32770", L"提示")) != nullptr && IsWindowVisible(prompt); });
    return prompt;
}

TEST(Exit, ClosingThePromptKeepsTheProgram)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    const UINT ways[][2] = {{WM_COMMAND, IDCANCEL}, {WM_CLOSE, 0}, {WM_COMMAND, IDOK}};
    for (const auto& way : ways) {
        HWND prompt = OpenExitPrompt(run);
        ASSERT_NE(prompt, nullptr);
        PostMessageW(prompt, way[0], way[1], 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(prompt); }));
        EXPECT_TRUE(Sync(run.Main()));
        EXPECT_TRUE(run.Running());
    }
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), ProgramPath());
}

TEST(Exit, EndProgramKeepsAutostart)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND prompt = OpenExitPrompt(run);
    ASSERT_NE(prompt, nullptr);
    PostMessageW(GetDlgItem(prompt, 1000), BM_CLICK, 0, 0);
    ASSERT_TRUE(run.WaitForExit(15000));
    EXPECT_EQ(run.ExitCode(), 0u);  // a clean end, no crash on the way out
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), ProgramPath());
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"0");
}

TEST(Exit, UninstallRemovesOnlyAutostart)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    std::wstring memo = MemoFolder() + L"\\日历\\101";
    WriteBytes(memo, std::string("\x64\x00\x01\x00\x01\x00\x00\x00\x00\x00x", 11));
    HWND prompt = OpenExitPrompt(run);
    ASSERT_NE(prompt, nullptr);
    PostMessageW(GetDlgItem(prompt, 1025), BM_CLICK, 0, 0);
    ASSERT_TRUE(run.WaitForExit(15000));
    EXPECT_EQ(run.ExitCode(), 0u);  // a clean end, no crash on the way out
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), L"<none>");
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"0");
    EXPECT_TRUE(FileExists(memo));

    // A later start by hand registers it again.
    AlmanixRun again;
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), ProgramPath());
}

TEST(Exit, UninstallCommandFromAnotherProgram)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    PostMessageW(run.Main(), WM_COMMAND, 32778, 0);
    ASSERT_TRUE(run.WaitForExit(15000));
    EXPECT_EQ(run.ExitCode(), 0u);  // a clean end, no crash on the way out
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), L"<none>");
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"0");
}

}  // namespace
