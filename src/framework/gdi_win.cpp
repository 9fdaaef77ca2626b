#include "framework/gdi.h"

#include <string>

#include "framework/wnd.h"

namespace {

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceExists(const std::wstring& face)
{
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    bool found = false;
    HDC dc = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(dc, &lf, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

std::wstring ResolveFaceName(const char* faceGb)
{
    std::wstring face = almanix::Wide(faceGb ? faceGb : "");
    if (face.empty() || FaceExists(face))
        return face;
    static const wchar_t* const kKai[] = {L"楷体", L"KaiTi", L"宋体", L"SimSun"};
    static const wchar_t* const kSong[] = {L"宋体", L"SimSun", L"NSimSun"};
    bool kai = face.find(L"楷") != std::wstring::npos || _wcsnicmp(face.c_str(), L"KaiTi", 5) == 0;
    bool song = face == L"宋体" || _wcsicmp(face.c_str(), L"SimSun") == 0;
    if (kai) {
        for (const wchar_t* f : kKai)
            if (FaceExists(f))
                return f;
    } else if (song) {
        for (const wchar_t* f : kSong)
            if (FaceExists(f))
                return f;
    }
    return face;
}

BOOL CFont::CreatePointFont(int nPointSize, const char* faceGb)
{
    HDC screen = ::GetDC(nullptr);
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    LOGFONTW lf = {};
    lf.lfHeight = -(dpi * nPointSize / 720);
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, ResolveFaceName(faceGb).c_str(), LF_FACESIZE);
    Reset(::CreateFontIndirectW(&lf));
    return Get() != nullptr;
}

BOOL CFont::CreateFont(int height, int weight, const char* faceGb, BYTE charset)
{
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    lstrcpynW(lf.lfFaceName, ResolveFaceName(faceGb).c_str(), LF_FACESIZE);
    Reset(::CreateFontIndirectW(&lf));
    return Get() != nullptr;
}

CMemoryDC::CMemoryDC(int cx, int cy) : m_cx(cx), m_cy(cy)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    m_hDC = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    m_bitmap = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    m_bits = static_cast<DWORD*>(bits);
    m_old = ::SelectObject(m_hDC, m_bitmap);
}

CMemoryDC::~CMemoryDC()
{
    ::SelectObject(m_hDC, m_old);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_hDC);
}

COLORREF CMemoryDC::Pixel(int x, int y) const
{
    if (!m_bits || x < 0 || y < 0 || x >= m_cx || y >= m_cy)
        return CLR_INVALID;
    ::GdiFlush();
    DWORD p = m_bits[static_cast<size_t>(y) * m_cx + x];  // 0x00RRGGBB
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int DrawTextGb(HDC dc, std::string_view text, RECT* rc, UINT format)
{
    std::wstring w = almanix::Wide(text);
    return ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), rc, format);
}

BOOL TextOutGb(HDC dc, int x, int y, std::string_view text)
{
    std::wstring w = almanix::Wide(text);
    return ::TextOutW(dc, x, y, w.c_str(), static_cast<int>(w.size()));
}

SIZE GetTextExtentGb(HDC dc, std::string_view text)
{
    std::wstring w = almanix::Wide(text);
    SIZE size = {0, 0};
    ::GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    return size;
}
