#include "window_png.h"

#include <cstdio>
#include <cstdlib>

namespace {

unsigned long Crc32(const unsigned char* data, size_t n, unsigned long crc = 0)
{
    static unsigned long table[256];
    static bool ready = false;
    if (!ready) {
        for (unsigned long i = 0; i < 256; ++i) {
            unsigned long c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc & 0xFFFFFFFFUL;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc & 0xFFFFFFFFUL;
}

void Put32(std::vector<unsigned char>& out, unsigned long v)
{
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

void Chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    Put32(out, static_cast<unsigned long>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

bool WritePng(const std::wstring& path, int width, int height, const std::vector<DWORD>& pixels)
{
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height)
        return false;
    // Raw scanlines (filter byte 0, then RGB), wrapped in stored (uncompressed) deflate blocks.
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            DWORD p = pixels[static_cast<size_t>(y) * width + x];
            raw.push_back(static_cast<unsigned char>(p >> 16));
            raw.push_back(static_cast<unsigned char>(p >> 8));
            raw.push_back(static_cast<unsigned char>(p));
        }
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> ihdr;
    Put32(ihdr, static_cast<unsigned long>(width));
    Put32(ihdr, static_cast<unsigned long>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});

    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    return fclose(f) == 0 && ok;
}

bool CaptureWindow(HWND hwnd, int* width, int* height, std::vector<DWORD>* pixels)
{
    RECT rc;
    if (!::GetWindowRect(hwnd, &rc))
        return false;
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return false;
    ::UpdateWindow(hwnd);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    BOOL ok = ::BitBlt(mem, 0, 0, cx, cy, screen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    if (ok) {
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels->assign(p, p + static_cast<size_t>(cx) * cy);
        for (DWORD& px : *pixels)
            px &= 0x00FFFFFF;
        *width = cx;
        *height = cy;
    }
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return ok != FALSE;
}

std::wstring SaveWindowPng(HWND hwnd, const std::wstring& name)
{
    int w = 0, h = 0;
    std::vector<DWORD> pixels;
    if (!CaptureWindow(hwnd, &w, &h, &pixels))
        return std::wstring();
    return SavePng(name, w, h, pixels);
}

std::wstring SavePng(const std::wstring& name, int width, int height, const std::vector<DWORD>& pixels)
{
    std::wstring dir = L".";
    if (const wchar_t* env = _wgetenv(L"ALMANIX_ARTIFACTS")) {
        // A Unix path from the build reaches Windows through Wine's drive Z:.
        dir = env[0] == L'/' ? std::wstring(L"Z:") + env : std::wstring(env);
        ::CreateDirectoryW(dir.c_str(), nullptr);
    }
    std::wstring path = dir + L"\\" + name + L".png";
    return WritePng(path, width, height, pixels) ? path : std::wstring();
}
