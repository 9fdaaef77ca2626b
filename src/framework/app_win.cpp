#include "framework/app.h"

#include <commctrl.h>

namespace {
CWinApp* g_pApp = nullptr;
}  // namespace

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

int CWinApp::Run()
{
    if (!m_pMainWnd || !m_pMainWnd->m_hWnd)
        return 0;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int AfxMessageBox(const char* textGb, UINT type)
{
    if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) == MB_OK)
        type |= MB_ICONEXCLAMATION;
    std::wstring caption = g_pApp ? g_pApp->m_strAppTitle : std::wstring();
    return ::MessageBoxW(::GetActiveWindow(), almanix::Wide(textGb ? textGb : "").c_str(), caption.c_str(), type);
}

int AfxWinMain(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    CWinApp* app = g_pApp;
    if (!app)
        return 1;
    app->m_hInstance = instance;
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring title = path;
    size_t slash = title.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        title.erase(0, slash + 1);
    size_t dot = title.rfind(L'.');
    if (dot != std::wstring::npos)
        title.erase(dot);
    app->m_strAppTitle = title;
    if (!app->InitInstance())
        return 0;
    return app->Run();
}
