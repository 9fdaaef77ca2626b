// Saves what a window shows as a PNG file, so that people can look at what the tests saw.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// 32-bit pixels 0x00RRGGBB, top row first.
bool WritePng(const std::wstring& path, int width, int height, const std::vector<DWORD>& pixels);
// The window's on-screen picture (it must be visible and not covered), read from the screen.
bool CaptureWindow(HWND hwnd, int* width, int* height, std::vector<DWORD>* pixels);
// Saves pixels into ALMANIX_ARTIFACTS (or the current folder) as name.png; the path or "".
std::wstring SavePng(const std::wstring& name, int width, int height, const std::vector<DWORD>& pixels);
// Captures hwnd into ALMANIX_ARTIFACTS (or the current folder) as name.png; the path or "".
std::wstring SaveWindowPng(HWND hwnd, const std::wstring& name);
