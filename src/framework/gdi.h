// Owners of GDI objects and device contexts, fonts, and text output of the program's byte
// strings. Owners cannot be copied, so nothing is freed twice.
#pragma once

#include <windows.h>

#include <string_view>

template <class T> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T h) : m_h(h) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : m_h(o.m_h) { o.m_h = nullptr; }
    GdiObject& operator=(GdiObject&& o) noexcept
    {
        if (this != &o) {
            Reset();
            m_h = o.m_h;
            o.m_h = nullptr;
        }
        return *this;
    }
    void Reset(T h = nullptr)
    {
        if (m_h)
            ::DeleteObject(m_h);
        m_h = h;
    }
    T Get() const { return m_h; }
    operator T() const { return m_h; }

private:
    T m_h = nullptr;
};

using CBrush = GdiObject<HBRUSH>;
using CPen = GdiObject<HPEN>;
using CBitmap = GdiObject<HBITMAP>;

class CFont : public GdiObject<HFONT> {
public:
    // nPointSize in tenths of a point, as a character height at the screen's resolution.
    BOOL CreatePointFont(int nPointSize, const char* faceGb);
    // height as LOGFONT's lfHeight: positive = cell height, negative = character height.
    BOOL CreateFont(int height, int weight, const char* faceGb, BYTE charset = ANSI_CHARSET);
};

// The face to ask for: a named face that this system lacks falls back to its present-day
// name ("楷体_GB2312" is "楷体" since Windows Vista), then to "宋体".
std::wstring ResolveFaceName(const char* faceGb);

// Selects an object into a DC for the scope's life.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
    ~SelectScope() { ::SelectObject(m_dc, m_old); }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd) { m_hDC = ::BeginPaint(hwnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hwnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_hDC; }
    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hwnd;
};

class CClientDC {
public:
    explicit CClientDC(HWND hwnd) : m_hwnd(hwnd), m_hDC(::GetDC(hwnd)) {}
    ~CClientDC() { ::ReleaseDC(m_hwnd, m_hDC); }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HWND m_hwnd;
    HDC m_hDC;
};

// A memory DC with a 32-bit top-down bitmap of its own: paint into it, then read the pixels.
class CMemoryDC {
public:
    CMemoryDC(int cx, int cy);
    ~CMemoryDC();
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    operator HDC() const { return m_hDC; }
    COLORREF Pixel(int x, int y) const;  // from the bitmap's memory; CLR_INVALID outside
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    const DWORD* Bits() const { return m_bits; }

private:
    HDC m_hDC = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
    int m_cx, m_cy;
};

// Text output of the program's byte strings through the W functions.
int DrawTextGb(HDC dc, std::string_view text, RECT* rc, UINT format);
BOOL TextOutGb(HDC dc, int x, int y, std::string_view text);
SIZE GetTextExtentGb(HDC dc, std::string_view text);
