#include <gtest/gtest.h>

#include "harness.h"
#include "window_png.h"

namespace {

TEST(FirstRun, WindowSettingsFoldersAndTabs)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    RECT rc = RectOf(main);
    EXPECT_EQ(rc.right - rc.left, 363);
    EXPECT_EQ(rc.bottom - rc.top, 278);
    // (500, 300) unless the screen is too small for it.
    int cx = ::GetSystemMetrics(SM_CXFULLSCREEN), cy = ::GetSystemMetrics(SM_CYFULLSCREEN);
    EXPECT_EQ(rc.left, 500 + 363 > cx ? cx - 363 : 500);
    EXPECT_EQ(rc.top, 300 + 236 > cy ? cy - 236 : 300);
    EXPECT_EQ(TextOf(main), L"日历2.18");

    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"0");
    EXPECT_EQ(RegText(kRunKey, L"Almanix"), ProgramPath());
    EXPECT_EQ(RegText(kSettingsKey, L"PosX"), L"<none>");  // the start-up move is not saved
    EXPECT_TRUE(FolderExists(MemoFolder() + L"\\日历"));
    EXPECT_TRUE(FolderExists(MemoFolder() + L"\\备忘"));

    HWND notebookTab = run.FindTab(L"本"), calendarTab = run.FindTab(L"历");
    ASSERT_NE(notebookTab, nullptr);
    EXPECT_TRUE(IsWindowVisible(notebookTab));
    EXPECT_FALSE(calendarTab && IsWindowVisible(calendarTab));
    RECT tab = RectOf(notebookTab);
    EXPECT_EQ(tab.left, rc.right + 10);
    EXPECT_EQ(tab.top, rc.bottom - 18);
    EXPECT_EQ(tab.right - tab.left, 26);
    EXPECT_EQ(tab.bottom - tab.top, 18);
    SaveWindowPng(main, L"first-run");
}

TEST(SecondInstance, IsRefusedAndTheFirstRunsOn)
{
    AlmanixRun first;
    ASSERT_TRUE(first.Start());
    AlmanixRun second;
    ASSERT_TRUE(second.StartNoWait());
    HWND box = nullptr;
    // Visible only once its texts are in place: the window exists before its controls do.
    ASSERT_TRUE(WaitUntil(
        [&] { return (box = second.FindWindowOf(L"#32770", nullptr)) != nullptr && IsWindowVisible(box); }, 30000));
    EXPECT_NE(StaticTexts(box).find(L"同名程序已启动，请先关闭旧程序!"), std::wstring::npos);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(second.WaitForExit(30000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(Sync(first.Main()));
    EXPECT_TRUE(IsWindowVisible(first.Main()));
}

}  // namespace
