#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resource.h"

namespace {

std::wstring TextOf(HWND hwnd)
{
    wchar_t buf[256] = {};
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

INT_PTR CALLBACK NoProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace

// The .rc is UTF-8; a wrong code page would turn every Chinese caption into mojibake.
TEST(Resources, DialogTemplateTextsKeepTheirCharacters)
{
    HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_EXIT), nullptr, NoProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(dlg), L"提示");
    EXPECT_EQ(TextOf(GetDlgItem(dlg, 1000)), L"结束程序");
    EXPECT_EQ(TextOf(GetDlgItem(dlg, 1025)), L"卸载");
    DestroyWindow(dlg);
}

TEST(Resources, MainTemplateHasItsControls)
{
    HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, NoProc, 0);
    ASSERT_NE(dlg, nullptr);
    for (int id : {IDC_COMBO_YEAR, IDC_COMBO_MONTH, IDC_COLLAPSE, IDC_EXIT})
        EXPECT_NE(GetDlgItem(dlg, id), nullptr) << id;
    EXPECT_EQ(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
    DestroyWindow(dlg);
}
