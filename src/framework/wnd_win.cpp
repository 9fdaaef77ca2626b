#include "framework/wnd.h"

#include <cassert>

#include <mutex>
#include <unordered_map>

namespace {

// The objects of this process's windows. Looked up for every message, so kept here rather
// than in a window property, which is a trip to the window server each time under Wine.
std::mutex g_objectsLock;
std::unordered_map<HWND, CWnd*>& Objects()
{
    static std::unordered_map<HWND, CWnd*> objects;
    return objects;
}

void Forget(HWND hwnd, const CWnd* object)
{
    std::lock_guard<std::mutex> lock(g_objectsLock);
    auto it = Objects().find(hwnd);
    if (it != Objects().end() && it->second == object)
        Objects().erase(it);
}

}  // namespace

CWnd::~CWnd()
{
    // A window ends before its object: its owner or parent destroys it, and WM_NCDESTROY
    // unbinds it. One still alive here is a fault of the owner; it is unbound before it is
    // destroyed, so that no message of its end reaches an object that is half gone.
    assert(!m_hWnd || !m_bOwned || !::IsWindow(m_hWnd));
    if (!m_hWnd)
        return;
    Forget(m_hWnd, this);
    if (m_bOwned && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_objectsLock);
    auto it = Objects().find(hwnd);
    return it != Objects().end() ? it->second : nullptr;
}

void CWnd::Bind(HWND hwnd)
{
    m_hWnd = hwnd;
    m_bOwned = true;
    std::lock_guard<std::mutex> lock(g_objectsLock);
    Objects()[hwnd] = this;
}

void CWnd::Unbind()
{
    Forget(m_hWnd, this);
    m_hWnd = nullptr;
    OnFinalMessage();
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClass, const char* title, DWORD dwStyle, const RECT& rect,
    HWND hParent, UINT nID, HCURSOR hCursor, HBRUSH hbrBackground)
{
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(inst, lpszClass, &wc)) {
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = inst;
        wc.hCursor = hCursor;
        wc.hbrBackground = hbrBackground;
        wc.lpszClassName = lpszClass;
        if (!::RegisterClassExW(&wc))
            return FALSE;
    }
    std::wstring wtitle = almanix::Wide(title ? title : "");
    // A child's menu handle is its identifier.
    HMENU idOrMenu =
        (dwStyle & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<int>(nID))) : nullptr;
    HWND hwnd = ::CreateWindowExW(dwExStyle, lpszClass, wtitle.c_str(), dwStyle, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, hParent, idOrMenu, inst, this);
    return hwnd != nullptr;
}

BOOL CWnd::CreateControl(LPCWSTR lpszClass, const char* text, DWORD dwStyle, const RECT& rect, HWND hParent, UINT nID)
{
    std::wstring wtext = almanix::Wide(text ? text : "");
    m_hWnd = ::CreateWindowExW(0, lpszClass, wtext.c_str(), dwStyle, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, hParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<int>(nID))),
        ::GetModuleHandleW(nullptr), nullptr);
    m_bOwned = true;
    return m_hWnd != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CWnd::SetWindowText(const char* gb) const
{
    ::SetWindowTextW(m_hWnd, almanix::Wide(gb ? gb : "").c_str());
}

void almanix::DragWindowFrom(HWND hwnd, POINT pt)
{
    ::PostMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

std::wstring almanix::WindowTextWide(HWND hwnd)
{
    int len = ::GetWindowTextLengthW(hwnd);
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    len = ::GetWindowTextW(hwnd, buf.data(), len + 1);
    buf.resize(len > 0 ? static_cast<size_t>(len) : 0);
    return buf;
}

std::string CWnd::GetWindowText() const
{
    return almanix::WindowTextGb(m_hWnd);
}

BOOL CWnd::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&)
{
    return FALSE;
}

LRESULT CWnd::Default()
{
    if (!m_pCurrent)
        return 0;
    if (m_bDialog) {
        m_bDefaultLater = true;
        return 0;
    }
    return ::DefWindowProcW(m_hWnd, m_pCurrent->msg, m_pCurrent->wp, m_pCurrent->lp);
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wp, LPARAM lp, bool* pHandled)
{
    // Handlers may send messages to their own window: keep the outer message's state.
    CurrentMsg cur = {msg, wp, lp};
    const CurrentMsg* outer = m_pCurrent;
    bool outerLater = m_bDefaultLater;
    m_pCurrent = &cur;
    m_bDefaultLater = false;
    LRESULT result = 0;
    BOOL handled = ProcessWindowMessage(m_hWnd, msg, wp, lp, result);
    *pHandled = handled && !m_bDefaultLater;
    m_pCurrent = outer;
    m_bDefaultLater = outerLater;
    return result;
}

LRESULT CALLBACK CWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CWnd* self = FromHandle(hwnd);
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self)
            self->Bind(hwnd);
    }
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    bool handled = false;
    LRESULT result = self->Dispatch(msg, wp, lp, &handled);
    if (!handled)
        result = ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY)
        self->Unbind();
    return result;
}
