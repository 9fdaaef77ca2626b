#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/gdi.h"
#include "resource.h"

namespace {

HINSTANCE Module()
{
    return ::GetModuleHandleW(nullptr);
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t buf[256] = {};
    ::GetWindowTextW(hwnd, buf, 256);
    return buf;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[64] = {};
    ::GetClassNameW(hwnd, buf, 64);
    return buf;
}

INT_PTR CALLBACK NoProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

struct ControlSpec {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    RECT dlu;  // x, y, cx, cy in dialog units
    DWORD style;
};

struct DialogSpec {
    int idd;
    const wchar_t* caption;
    const wchar_t* face;
    SIZE dlu;
    int pointSize;
    DWORD style;
    DWORD exStyle;
    std::vector<ControlSpec> controls;  // in template (tab) order
};

const DWORD kButton = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
const DWORD kFlat = kButton | BS_FLAT;
const DWORD kTabButton = kButton | WS_TABSTOP;
const DWORD kCombo = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN;
const DWORD kLineEdit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
const DWORD kCaptioned = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

const std::vector<DialogSpec>& Templates()
{
    static const std::vector<DialogSpec> specs = {
        {IDD_MAIN, L"", L"宋体", {243, 214}, 10, WS_POPUP | WS_VISIBLE, WS_EX_APPWINDOW,
            {{IDC_COMBO_MONTH, L"ComboBox", L"", {53, 0, 32, 79}, kCombo},
                {IDC_COMBO_YEAR, L"ComboBox", L"", {5, 0, 41, 83}, kCombo},
                {IDC_COLLAPSE, L"Button", L"-", {125, 0, 10, 8}, kFlat},
                {IDC_EXIT, L"Button", L"x", {135, 0, 10, 8}, kFlat}}},
        {IDD_EXIT, L"提示", L"System", {150, 80}, 10, kCaptioned, 0,
            {{IDC_END_PROGRAM, L"Button", L"结束程序", {46, 13, 58, 23}, kTabButton | BS_CENTER},
                {IDC_UNINSTALL, L"Button", L"卸载", {54, 67, 42, 11}, kTabButton | BS_CENTER}}},
        {IDD_MEMO, L"输入记事", L"宋体", {258, 141}, 10, kCaptioned, 0,
            {{IDCANCEL, L"Button", L"取消", {208, 24, 43, 14}, kTabButton},
                {IDC_MEMO_ONCE, L"Edit", L"", {7, 20, 194, 62},
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                        ES_WANTRETURN},
                {IDC_MEMO_SOLAR_YEARLY, L"Edit", L"", {78, 91, 162, 12}, kLineEdit},
                {IDC_MEMO_LUNAR_YEARLY, L"Edit", L"", {78, 110, 162, 13}, kLineEdit},
                {IDOK, L"Button", L"确定", {208, 7, 42, 14}, kTabButton}}},
        {IDD_DAYTIP, L"", L"楷体_GB2312", {265, 103}, 9, WS_POPUP, 0, {}},
        {IDD_NOTEBOOK, L"", L"宋体", {111, 91}, 11, WS_POPUP, 0,
            {{IDC_HIDE_NOTEBOOK, L"Button", L"-", {100, 1, 9, 8}, kFlat},
                {IDC_NOTE, L"Edit", L"", {0, 10, 111, 81},
                    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                        ES_WANTRETURN},
                {IDC_STATIC, L"Static", L"记事小本", {1, 1, 34, 9}, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT}}},
        {IDD_NOTEBOOK_TAB, L"", L"宋体", {109, 76}, 10, WS_POPUP, 0,
            {{IDC_SHOW_NOTEBOOK, L"Button", L"本", {0, 0, 16, 12}, kButton}}},
        {IDD_CALENDAR_TAB, L"", L"宋体", {187, 96}, 10, WS_POPUP, 0,
            {{IDC_RESTORE_CALENDAR, L"Button", L"历", {0, 0, 16, 12}, kButton}}},
        {IDD_WEEKLY, L"每周提示", L"宋体", {259, 60}, 10, kCaptioned, 0,
            {{IDCANCEL, L"Button", L"取消", {208, 24, 43, 14}, kTabButton},
                {IDC_MEMO_WEEKLY, L"Edit", L"", {14, 24, 186, 12}, kLineEdit},
                {IDOK, L"Button", L"确定", {208, 7, 42, 14}, kTabButton}}},
    };
    return specs;
}

// Window styles a template decides; the dialog manager may add others (WS_CLIPSIBLINGS, ...).
const DWORD kDialogStyleBits = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

// Every template loads with its caption, font, size and controls: ids, classes, texts and
// positions in template order, and no id twice.
TEST(Resources, EveryDialogTemplateHasItsControls)
{
    for (const DialogSpec& d : Templates()) {
        SCOPED_TRACE(d.idd);
        HWND dlg = ::CreateDialogParamW(Module(), MAKEINTRESOURCEW(d.idd), nullptr, NoProc, 0);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(dlg, GWL_STYLE)) & kDialogStyleBits, d.style & kDialogStyleBits);
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(dlg, GWL_EXSTYLE)) & WS_EX_APPWINDOW, d.exStyle);
        EXPECT_EQ(TextOf(dlg), d.caption);
        RECT size = {0, 0, d.dlu.cx, d.dlu.cy};
        ::MapDialogRect(dlg, &size);
        RECT client;
        ::GetClientRect(dlg, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        std::vector<HWND> children;
        for (HWND c = ::GetWindow(dlg, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            children.push_back(c);
        ASSERT_EQ(children.size(), d.controls.size());
        std::set<int> ids;
        for (size_t i = 0; i < children.size(); ++i) {
            const ControlSpec& c = d.controls[i];
            HWND h = children[i];
            SCOPED_TRACE(c.id);
            int id = static_cast<short>(::GetDlgCtrlID(h));
            EXPECT_EQ(id, c.id);
            if (id != IDC_STATIC) {
                EXPECT_TRUE(ids.insert(id).second);
            }
            EXPECT_EQ(_wcsicmp(ClassOf(h).c_str(), c.cls), 0) << ClassOf(h).c_str();
            EXPECT_EQ(TextOf(h), c.text);
            // The dialog manager maps position and size each on its own.
            RECT want = c.dlu;
            ::MapDialogRect(dlg, &want);
            want.right += want.left;
            want.bottom += want.top;
            RECT got;
            ::GetWindowRect(h, &got);
            ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&got), 2);
            EXPECT_EQ(got.left, want.left);
            EXPECT_EQ(got.top, want.top);
            EXPECT_EQ(got.right, want.right);
            if (_wcsicmp(c.cls, L"ComboBox") != 0) {  // a drop-down combo box is one line high
                EXPECT_EQ(got.bottom, want.bottom);
            }
        }
        ::DestroyWindow(dlg);
    }
}

// What a DIALOGEX template holds, read from the resource itself.
struct TemplateItem {
    DWORD style;
    int id;
};
struct TemplateInfo {
    DWORD style = 0;
    DWORD exStyle = 0;
    int pointSize = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};

class TemplateReader {
public:
    explicit TemplateReader(const BYTE* p) : m_p(p) {}
    WORD Word()
    {
        WORD w;
        std::memcpy(&w, m_p, 2);
        m_p += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD d;
        std::memcpy(&d, m_p, 4);
        m_p += 4;
        return d;
    }
    std::wstring String()
    {
        std::wstring s;
        for (WORD w = Word(); w; w = Word())
            s += static_cast<wchar_t>(w);
        return s;
    }
    void NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            Word();
        else if (first != 0)
            for (WORD w = Word(); w; w = Word()) {}
    }
    void Skip(size_t n) { m_p += n; }
    void AlignDword(const BYTE* base)
    {
        while ((m_p - base) % 4)
            ++m_p;
    }

private:
    const BYTE* m_p;
};

bool ReadTemplate(int idd, TemplateInfo* info)
{
    HRSRC res = ::FindResourceW(Module(), MAKEINTRESOURCEW(idd), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!res)
        return false;
    const BYTE* base = static_cast<const BYTE*>(::LockResource(::LoadResource(Module(), res)));
    TemplateReader r(base);
    if (r.Word() != 1 || r.Word() != 0xFFFF)  // DIALOGEX only
        return false;
    r.Dword();  // help id
    info->exStyle = r.Dword();
    info->style = r.Dword();
    WORD count = r.Word();
    r.Skip(8);          // x, y, cx, cy
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    r.String();         // caption
    if (info->style & DS_SETFONT) {
        info->pointSize = r.Word();
        r.Word();   // weight
        r.Skip(2);  // italic, charset
        info->face = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword(base);
        r.Dword();  // help id
        r.Dword();  // extended style
        TemplateItem item;
        item.style = r.Dword();
        r.Skip(8);
        item.id = static_cast<int>(r.Dword());
        r.NameOrOrdinal();  // class
        r.NameOrOrdinal();  // text
        r.Skip(r.Word());   // creation data
        info->items.push_back(item);
    }
    return true;
}

// The templates hold exactly the styles and fonts the windows are made with; what a control
// does with its style afterwards (a combo box hands WS_VSCROLL to its list) plays no part.
TEST(Resources, TemplatesHoldTheirStylesAndFonts)
{
    for (const DialogSpec& d : Templates()) {
        SCOPED_TRACE(d.idd);
        TemplateInfo info;
        ASSERT_TRUE(ReadTemplate(d.idd, &info));
        EXPECT_EQ(info.style, d.style | DS_SETFONT);
        EXPECT_EQ(info.exStyle, d.exStyle);
        EXPECT_EQ(info.pointSize, d.pointSize);
        EXPECT_EQ(info.face, d.face);
        ASSERT_EQ(info.items.size(), d.controls.size());
        for (size_t i = 0; i < info.items.size(); ++i) {
            SCOPED_TRACE(d.controls[i].id);
            EXPECT_EQ(info.items[i].id, d.controls[i].id);
            EXPECT_EQ(info.items[i].style, d.controls[i].style);
        }
    }
}

TEST(Resources, UninstallMenuHasItsOneItem)
{
    HMENU menu = ::LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_UNINSTALL_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(::GetMenuItemCount(menu), 1);
    HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), 1);
    EXPECT_EQ(::GetMenuItemID(popup, 0), static_cast<UINT>(ID_UNINSTALL));
    EXPECT_EQ(ID_UNINSTALL, 32778);
    wchar_t text[32] = {};
    ::GetMenuStringW(popup, 0, text, 32, MF_BYPOSITION);
    EXPECT_STREQ(text, L"卸载");
    ::DestroyMenu(menu);
}

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconDir {
    WORD reserved, type, count;
    IconDirEntry entries[1];
};
#pragma pack(pop)

// The icon carries its own 16, 32 and 48 pixel pictures: a page with transparent corners.
TEST(Resources, IconHasItsThreeSizes)
{
    HRSRC group = ::FindResourceW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_NE(group, nullptr);
    auto* dir = static_cast<IconDir*>(::LockResource(::LoadResource(Module(), group)));
    ASSERT_NE(dir, nullptr);
    std::set<int> sizes;
    for (int i = 0; i < dir->count; ++i)
        sizes.insert(dir->entries[i].width);
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));

    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        int id = ::LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(dir), TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC res = ::FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3) /* RT_ICON */);
        ASSERT_NE(res, nullptr);
        auto* bits = static_cast<BYTE*>(::LockResource(::LoadResource(Module(), res)));
        auto* header = reinterpret_cast<BITMAPINFOHEADER*>(bits);
        EXPECT_EQ(header->biWidth, size);

        HICON icon = static_cast<HICON>(
            ::LoadImageW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        CMemoryDC dc(size, size);
        RECT all = {0, 0, size, size};
        CBrush blue(::CreateSolidBrush(RGB(0, 0, 255)));
        ::FillRect(dc, &all, blue);
        EXPECT_TRUE(::DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
        EXPECT_EQ(dc.Pixel(size - 1, 0), RGB(0, 0, 255));  // a transparent corner
        COLORREF band = dc.Pixel(size / 2, size * 3 / 10);
        EXPECT_GT(GetRValue(band), 150);  // the red band of the page
        EXPECT_LT(GetGValue(band), 100);
        ::DestroyIcon(icon);
    }
}

// GetFileVersionInfo and VerQueryValue live in version.dll; the tests load it themselves.
TEST(Resources, VersionResourceSaysAlmanix218)
{
    HMODULE version = ::LoadLibraryW(L"version.dll");
    ASSERT_NE(version, nullptr);
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    auto getSize =
        reinterpret_cast<SizeFn>(reinterpret_cast<void*>(::GetProcAddress(version, "GetFileVersionInfoSizeW")));
    auto getInfo = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(::GetProcAddress(version, "GetFileVersionInfoW")));
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(::GetProcAddress(version, "VerQueryValueW")));
    ASSERT_TRUE(getSize && getInfo && query);

    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    DWORD size = getSize(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(getInfo(path, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(query(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(18, 2)));
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(18, 2)));

    std::map<std::wstring, std::wstring> expected = {{L"ProductName", L"Almanix"}, {L"ProductVersion", L"2.18"},
        {L"FileVersion", L"2.18"}, {L"OriginalFilename", L"almanix.exe"}};
    for (const auto& entry : expected) {
        std::wstring key = L"\\StringFileInfo\\080404b0\\" + entry.first;
        wchar_t* value = nullptr;
        ASSERT_TRUE(query(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &len)) << key.c_str();
        EXPECT_EQ(std::wstring(value), entry.second);
    }
    ::FreeLibrary(version);
}

TEST(Resources, ManifestAsksForCommonControls6)
{
    HRSRC res = ::FindResourceW(Module(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    ASSERT_NE(res, nullptr);
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(Module(), res)));
    std::string manifest(text, ::SizeofResource(Module(), res));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);

    // The loader took it: comctl32 comes from the side-by-side store, not from system32.
    HMODULE comctl = ::LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(comctl, path, MAX_PATH);
    std::wstring lower(path);
    for (wchar_t& ch : lower)
        ch = static_cast<wchar_t>(towlower(ch));
    EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << lower.c_str();
    EXPECT_NE(lower.find(L"common-controls"), std::wstring::npos) << lower.c_str();
}

}  // namespace
