#include "sync/web_get.h"

#include "base/scoped_handle.h"
#include "sync/dav_url.h"
#include "text/gbcodec_win.h"

namespace {

constexpr int MAX_REDIRECTS = 5;
// A data file is small: a server slower than this is taken as not answering.
constexpr int GET_TIMEOUT_MS = 10000;

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { WinHttpCloseHandle(h); }
};
using CInternetHandle = CScopedHandle<InternetTraits>;

// TLS 1.2 and 1.3 where the system takes them: before Windows 8.1's updates, WinHTTP offers
// TLS 1.0 only unless told. A system that knows neither keeps its own choice.
void EnableModernTls(HINTERNET session)
{
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
}

bool IsAllowedAddress(const DavUrl& url)
{
    return url.m_bSecure || IsLoopbackHost(url.m_host);
}

// A Location header's target: a whole address, or a path on the same server.
std::string RedirectTarget(const DavUrl& from, const std::string& location)
{
    if (location.compare(0, 1, "/") == 0 && location.compare(0, 2, "//") != 0)
        return DavOrigin(from) + location;
    return location;
}

std::string Header(HINTERNET request, DWORD query)
{
    wchar_t buf[2048];
    DWORD len = sizeof buf;
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, buf, &len, WINHTTP_NO_HEADER_INDEX))
        return {};
    return almanix::WideToGb(std::wstring(buf, len / sizeof(wchar_t)));
}

// One request without following redirects: the status, the body up to nMaxBytes and the
// redirect's Location, or false with the reason in r.m_error.
bool GetOnce(HINTERNET session, const DavUrl& url, std::size_t nMaxBytes, WebGetResult& r, std::string& location)
{
    CInternetHandle connect(
        WinHttpConnect(session, almanix::GbToWide(url.m_host).c_str(), static_cast<INTERNET_PORT>(url.m_nPort), 0));
    CInternetHandle request(connect.IsValid() ? WinHttpOpenRequest(connect.Get(), L"GET", almanix::GbToWide(url.m_path).c_str(),
                                            nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            url.m_bSecure ? WINHTTP_FLAG_SECURE : 0)
                                      : nullptr);
    if (!request.IsValid()) {
        r.m_error = WinHttpFailureWords(GetLastError());
        return false;
    }
    // Redirects are looked at here, each against the rule; nothing of this computer goes along.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    DWORD disabled = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    // The wait for the reply's headers has a timeout of its own, which the session's leave be.
    DWORD wait = GET_TIMEOUT_MS;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &wait, sizeof wait);
    if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr)) {
        r.m_error = WinHttpFailureWords(GetLastError());
        return false;
    }
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    r.m_nStatus = static_cast<int>(status);
    r.m_body.clear();
    location = status >= 300 && status < 400 ? Header(request.Get(), WINHTTP_QUERY_LOCATION) : std::string();
    if (status != 200)
        return true;
    char buf[8192];
    for (DWORD got = 0;; r.m_body.append(buf, got)) {
        if (!WinHttpReadData(request.Get(), buf, sizeof buf, &got)) {
            r.m_nStatus = 0;
            r.m_error = WinHttpFailureWords(GetLastError());
            return false;
        }
        if (got == 0)
            return true;
        if (r.m_body.size() + got > nMaxBytes) {
            r.m_bTooLarge = true;
            r.m_body.append(buf, nMaxBytes - r.m_body.size());
            return true;
        }
    }
}

}  // namespace

HINTERNET OpenWebSession(int nResolveMs, int nConnectMs, int nSendMs, int nReceiveMs)
{
    // The system's proxy settings where Windows offers them to WinHTTP (8.1 on), else WinHTTP's own.
    HINTERNET session =
        WinHttpOpen(L"Almanix", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        session =
            WinHttpOpen(L"Almanix", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        return nullptr;
    EnableModernTls(session);
    WinHttpSetTimeouts(session, nResolveMs, nConnectMs, nSendMs, nReceiveMs);
    return session;
}

std::string WinHttpFailureWords(DWORD code)
{
    switch (code) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        return "服务器的证书无法验证，安全连接已中止";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "无法与服务器建立安全连接（TLS），连接已中止";
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "服务器没有应答";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "找不到服务器的地址";
    case ERROR_WINHTTP_TIMEOUT:
    case 10060:  // WSAETIMEDOUT: Wine's WinHTTP passes the socket's own on
        return "服务器应答超时";
    default:
        break;
    }
    char buf[64];
    wsprintfA(buf, "网络错误 %lu", code);
    return buf;
}

WebGetResult WebGet(const std::string& url, std::size_t nMaxBytes)
{
    WebGetResult r;
    DavUrl at;
    if (!ParseDavUrl(url, at) || !IsAllowedAddress(at)) {
        r.m_error = "只能通过 https 下载（http 只用于本机）";
        return r;
    }
    CInternetHandle session(OpenWebSession(GET_TIMEOUT_MS, GET_TIMEOUT_MS, GET_TIMEOUT_MS, GET_TIMEOUT_MS));
    if (!session.IsValid()) {
        r.m_error = WinHttpFailureWords(GetLastError());
        return r;
    }
    for (int nHop = 0;; ++nHop) {
        std::string location;
        if (!GetOnce(session.Get(), at, nMaxBytes, r, location) || location.empty())
            return r;
        DavUrl next;
        if (nHop == MAX_REDIRECTS || !ParseDavUrl(RedirectTarget(at, location), next) || !IsAllowedAddress(next) ||
            (at.m_bSecure && !next.m_bSecure)) {
            r.m_error = "服务器转向了不安全的地址，未跟随";
            r.m_nStatus = 0;
            return r;
        }
        at = next;
    }
}
