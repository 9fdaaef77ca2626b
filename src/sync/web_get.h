// WinHTTP as the program uses it for any server: one session's setup, a failure in the user's
// words, and a plain GET for the data files the program keeps current (holiday schedules):
// https, or plain http to this computer only; redirects followed only to such addresses; no
// cookies, no credentials, nothing sent but the address; bounded in time and size.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstddef>
#include <string>

// A session with the system's proxy settings, TLS 1.2 or later where the system has it, and
// the given timeouts (milliseconds: name resolution, connect, send, receive). Null on failure.
HINTERNET OpenWebSession(int nResolveMs, int nConnectMs, int nSendMs, int nReceiveMs);
// A WinHTTP or system error in the user's words (GBK).
std::string WinHttpFailureWords(DWORD code);

struct WebGetResult {
    int m_nStatus = 0;          // the last reply's HTTP status; 0 when none came (see m_error)
    std::string m_body;         // at most the limit's bytes
    bool m_bTooLarge = false;   // the body went on past the limit: reading stopped there
    std::string m_error;        // why no reply came, or why a redirect was not followed (GBK)
};

// GETs url, following up to five redirects that stay within the rule above.
WebGetResult WebGet(const std::string& url, std::size_t nMaxBytes);
