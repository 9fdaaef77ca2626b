// The port on this machine where the end-to-end test build asks for its bulletin: the one
// scripts/e2e.sh gives the case (cases run side by side, each with its own), else the build's.
#pragma once

#include <windows.h>

#include <cwchar>

inline unsigned short TestBulletinPort()
{
    wchar_t text[16];
    const DWORD n = ::GetEnvironmentVariableW(L"ALMANIX_E2E_BULLETIN_PORT", text, 16);
    if (n > 0 && n < 16) {
        const long port = std::wcstol(text, nullptr, 10);
        if (port > 0 && port < 65536)
            return static_cast<unsigned short>(port);
    }
    return ALMANIX_E2E_BULLETIN_PORT;
}
