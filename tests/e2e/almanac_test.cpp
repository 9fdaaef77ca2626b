// The day's almanac in the tip: shown by default, turned off and on again by the menu's
// "显示黄历", remembered in the registry, and the tip kept on the screen.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "window_png.h"

namespace {

const int kShowAlmanac = 32795;

std::wstring TipText(AlmanixRun& run, HWND view, int day)
{
    return TipOfMay2024Day(run, view, day, L"(none)");
}

// No tip shows once the pointer has come to day.
bool NoTip(AlmanixRun& run, HWND view, int day)
{
    POINT pt = DayOfMay2024(day);
    MoveMouse(view, pt.x, pt.y);
    return WaitUntil([&] { return VisibleTip(run) == nullptr; }, 2000);
}

TEST(Almanac, TipOfADayWithAMemoWithTheSwitchOnAndOff)
{
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\日历").c_str(), nullptr);
    WriteBytes(CalendarFile(L"202405"), MemoFile(MemoRecord(1, "劳动节聚餐") + MemoRecord(8, "看牙医")));
    const std::wstring kMay8Almanac = L"农历四月初一  甲辰年 己巳月 壬申日\r\n"
                                      L"宜：沐浴 平治道涂 扫舍 入殓 移柩 破土\r\n"
                                      L"　　启钻 安葬 馀事勿取\r\n"
                                      L"忌：诸事不宜\r\n"
                                      L"冲虎(丙寅) 煞南\r\n";
    AlmanixRun run;
    HWND view = StartOnMay2024(run);
    ASSERT_NE(view, nullptr);
    HWND main = run.Main();
    EXPECT_EQ(RegText(kSettingsKey, L"ShowAlmanac"), L"<none>");
    EXPECT_EQ(TipText(run, view, 8), kMay8Almanac + L"看牙医");
    // A day without holiday or memo has its tip too; a holiday's tip holds the almanac, the
    // holiday and the memos. Their pictures are for people to look at.
    EXPECT_EQ(MemoLinesOf(TipText(run, view, 9)), L"");
    SaveWindowPng(VisibleTip(run), L"e2e-almanac-tip-long");
    EXPECT_EQ(MemoLinesOf(TipText(run, view, 1)), L"劳动节 放假\r\n劳动节聚餐");
    SaveWindowPng(VisibleTip(run), L"e2e-almanac-tip-holiday");

    ::SendMessageW(main, WM_COMMAND, kShowAlmanac, 0);
    EXPECT_EQ(RegText(kSettingsKey, L"ShowAlmanac"), L"0");
    EXPECT_EQ(TipText(run, view, 8), L"看牙医");
    EXPECT_TRUE(NoTip(run, view, 9));

    // At the screen's bottom-right corner the tip of the grid's last day stays on the screen.
    RECT wa;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0));
    const RECT rcMain = RectOf(main);
    ::SetWindowPos(main, nullptr, wa.right - (rcMain.right - rcMain.left), wa.bottom - (rcMain.bottom - rcMain.top), 0,
        0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(main, WM_COMMAND, kShowAlmanac, 0);
    EXPECT_EQ(RegText(kSettingsKey, L"ShowAlmanac"), L"1");
    EXPECT_NE(MemoLinesOf(TipText(run, view, 31)), L"(none)");
    HWND tip = VisibleTip(run);
    ASSERT_NE(tip, nullptr);
    const RECT rcTip = RectOf(tip);
    EXPECT_GE(rcTip.left, wa.left);
    EXPECT_GE(rcTip.top, wa.top);
    EXPECT_LE(rcTip.right, wa.right);
    EXPECT_LE(rcTip.bottom, wa.bottom);
    SaveWindowPng(::GetDesktopWindow(), L"e2e-almanac-tip-corner");
}

}  // namespace
