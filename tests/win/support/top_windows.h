// Finding another process's windows: the test programs and the figures driver look at the
// calendar from outside, as the desktop sees it.
#pragma once

#include <windows.h>

// The first top-level window of process pid, from the top of the z-order down, for which
// match(hwnd) holds; null when there is none.
template <typename Match> HWND FindTopWindow(DWORD pid, Match match)
{
    for (HWND h = ::GetTopWindow(nullptr); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == pid && match(h))
            return h;
    }
    return nullptr;
}
