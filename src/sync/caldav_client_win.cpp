#include "sync/caldav_client.h"

#include <windows.h>
#include <winhttp.h>
#include <objbase.h>
#include <shlwapi.h>
#include <wincrypt.h>
#include <xmllite.h>

#include <cstring>

namespace {

// IID_IXmlReader, spelled out: MinGW's header declares it without a definition to link.
const IID kIidXmlReader = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};
const wchar_t kDav[] = L"DAV:";
const wchar_t kCalDav[] = L"urn:ietf:params:xml:ns:caldav";
// A reply larger than this is refused instead of read into memory.
constexpr std::size_t kMaxReply = 64u << 20;

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

std::string Utf8(const wchar_t* w, std::size_t len)
{
    if (len == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(len), &s[0], n, nullptr, nullptr);
    return s;
}

struct InternetHandle {
    HINTERNET h = nullptr;
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET x) : h(x) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle()
    {
        if (h)
            WinHttpCloseHandle(h);
    }
};

template <class T> struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr()
    {
        if (p)
            p->Release();
    }
};

std::string SystemMessage(DWORD code)
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
        return "服务器应答超时";
    default:
        break;
    }
    char buf[64];
    wsprintfA(buf, "网络错误 %lu", code);
    return buf;
}

// "Name: value" headers to one CR LF block.
std::wstring HeaderBlock(const std::string& headers)
{
    return Wide(headers);
}

// The path part of an href that a server may write as a whole URL.
std::string PathOf(const std::string& href)
{
    const std::size_t scheme = href.find("://");
    if (scheme == std::string::npos)
        return href;
    const std::size_t slash = href.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : href.substr(slash);
}

std::string Quoted(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

}  // namespace

const std::string* DavResponse::Prop(const char* name) const
{
    for (const auto& [k, v] : m_props)
        if (k == name)
            return &v;
    return nullptr;
}

bool ParseMultistatus(
    const std::string& xml, std::vector<DavResponse>& responses, std::string& error, std::string* syncToken)
{
    responses.clear();
    ComPtr<IStream> stream;
    stream.p = SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()), static_cast<UINT>(xml.size()));
    ComPtr<IXmlReader> reader;
    if (!stream.p || FAILED(CreateXmlReader(kIidXmlReader, reinterpret_cast<void**>(&reader.p), nullptr)) ||
        FAILED(reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader.p->SetInput(stream.p))) {
        error = "XML 读取器无法启动";
        return false;
    }
    // Where the reader is: the element names from the root down.
    struct Open {
        std::wstring m_ns, m_name;
    };
    std::vector<Open> path;
    DavResponse cur;
    std::vector<std::pair<std::string, std::string>> stat;  // props of the current propstat
    bool statOk = false, calendar = false, collection = false;
    std::string text;
    bool seenMultistatus = false;
    auto in = [&](std::size_t depthFromTop, const wchar_t* name) {
        return path.size() > depthFromTop && path[path.size() - 1 - depthFromTop].m_name == name;
    };
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader.p->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) {
            const wchar_t *ns = nullptr, *name = nullptr;
            UINT nsLen = 0, nameLen = 0;
            reader.p->GetNamespaceUri(&ns, &nsLen);
            reader.p->GetLocalName(&name, &nameLen);
            const bool empty = reader.p->IsEmptyElement();
            path.push_back({std::wstring(ns, nsLen), std::wstring(name, nameLen)});
            const Open& e = path.back();
            if (e.m_ns == kDav && e.m_name == L"multistatus")
                seenMultistatus = true;
            if (e.m_ns == kDav && e.m_name == L"response")
                cur = DavResponse{};
            if (e.m_ns == kDav && e.m_name == L"propstat") {
                stat.clear();
                statOk = false;
                calendar = collection = false;
            }
            if (in(1, L"resourcetype")) {
                if (e.m_ns == kCalDav && e.m_name == L"calendar")
                    calendar = true;
                if (e.m_ns == kDav && e.m_name == L"collection")
                    collection = true;
            }
            text.clear();
            if (empty) {
                if (in(1, L"prop"))
                    stat.push_back({Utf8(e.m_name.data(), e.m_name.size()), ""});
                path.pop_back();
            }
        } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA) {
            const wchar_t* v = nullptr;
            UINT len = 0;
            reader.p->GetValue(&v, &len);
            text += Utf8(v, len);
        } else if (type == XmlNodeType_EndElement) {
            if (path.empty())
                break;
            const Open e = path.back();
            path.pop_back();
            if (e.m_ns == kDav && e.m_name == L"href" && !path.empty()) {
                if (path.back().m_name == L"response")
                    cur.m_href = PathOf(text);
                else if (path.size() >= 2 && path[path.size() - 2].m_name == L"prop")
                    stat.push_back({Utf8(path.back().m_name.data(), path.back().m_name.size()), PathOf(text)});
            } else if (!path.empty() && path.back().m_name == L"prop") {
                bool has = false;
                const std::string key = Utf8(e.m_name.data(), e.m_name.size());
                for (auto& kv : stat)
                    has = has || kv.first == key;
                if (!has)
                    stat.push_back({key, text});
            } else if (e.m_ns == kDav && e.m_name == L"status" && !path.empty() && path.back().m_name == L"propstat") {
                statOk = text.find(" 200") != std::string::npos;
            } else if (e.m_ns == kDav && e.m_name == L"status" && !path.empty() && path.back().m_name == L"response") {
                cur.m_status = text;
            } else if (e.m_ns == kDav && e.m_name == L"sync-token" && path.size() == 1 && syncToken) {
                *syncToken = text;
            } else if (e.m_ns == kDav && e.m_name == L"propstat") {
                if (statOk) {
                    for (auto& kv : stat)
                        cur.m_props.push_back(kv);
                    cur.m_bCalendar = cur.m_bCalendar || calendar;
                    cur.m_bCollection = cur.m_bCollection || collection;
                }
            } else if (e.m_ns == kDav && e.m_name == L"response") {
                responses.push_back(std::move(cur));
            }
            text.clear();
        }
    }
    if (FAILED(hr) || !path.empty() || !seenMultistatus) {
        error = "服务器的回答不是完整的 WebDAV XML";
        responses.clear();
        return false;
    }
    return true;
}

struct CCalDavClient::Impl {
    InternetHandle m_session, m_connect;
    bool m_bSecure = false;
    std::wstring m_host;
    INTERNET_PORT m_port = 0;
    std::wstring m_auth;  // "Authorization: Basic ..." header line
};

CCalDavClient::CCalDavClient() : m_p(new Impl) {}
CCalDavClient::~CCalDavClient() = default;

bool CCalDavClient::Open(const std::string& url, const std::string& user, const std::string& password)
{
    const std::wstring wurl = Wide(url);
    URL_COMPONENTS uc = {};
    uc.dwStructSize = sizeof uc;
    uc.dwSchemeLength = uc.dwHostNameLength = uc.dwUrlPathLength = static_cast<DWORD>(-1);
    if (wurl.empty() || !WinHttpCrackUrl(wurl.c_str(), static_cast<DWORD>(wurl.size()), 0, &uc)) {
        m_error = "服务器地址不是一个网址";
        return false;
    }
    m_p->m_host.assign(uc.lpszHostName, uc.dwHostNameLength);
    m_p->m_port = uc.nPort;
    m_p->m_bSecure = uc.nScheme == INTERNET_SCHEME_HTTPS;
    const bool local =
        m_p->m_host == L"localhost" || m_p->m_host == L"127.0.0.1" || m_p->m_host == L"[::1]" || m_p->m_host == L"::1";
    if (!m_p->m_bSecure && !local) {
        m_error = "只能通过 https 连接服务器（http 只用于本机）";
        return false;
    }
    m_path = uc.dwUrlPathLength ? Utf8(uc.lpszUrlPath, uc.dwUrlPathLength) : "/";
    if (m_path.empty())
        m_path = "/";

    const std::string pair = user + ":" + password;
    DWORD n = 0;
    CryptBinaryToStringW(reinterpret_cast<const BYTE*>(pair.data()), static_cast<DWORD>(pair.size()),
        CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, nullptr, &n);
    std::wstring b64(n, L'\0');
    CryptBinaryToStringW(reinterpret_cast<const BYTE*>(pair.data()), static_cast<DWORD>(pair.size()),
        CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &b64[0], &n);
    b64.resize(n);
    m_p->m_auth = L"Authorization: Basic " + b64 + L"\r\n";

    // The system's proxy settings where Windows offers them to WinHTTP (8.1 on), else WinHTTP's own.
    m_p->m_session.h =
        WinHttpOpen(L"Almanix", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!m_p->m_session.h)
        m_p->m_session.h = WinHttpOpen(
            L"Almanix", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!m_p->m_session.h) {
        m_error = SystemMessage(GetLastError());
        return false;
    }
    WinHttpSetTimeouts(m_p->m_session.h, 10000, 10000, 30000, 60000);
    m_p->m_connect.h = WinHttpConnect(m_p->m_session.h, m_p->m_host.c_str(), m_p->m_port, 0);
    if (!m_p->m_connect.h) {
        m_error = SystemMessage(GetLastError());
        return false;
    }
    return true;
}

std::string CCalDavClient::Origin() const
{
    std::string s = m_p->m_bSecure ? "https://" : "http://";
    s += Utf8(m_p->m_host.data(), m_p->m_host.size());
    s += ":" + std::to_string(m_p->m_port);
    return s;
}

int CCalDavClient::Request(const char* method, const std::string& path, const std::string& headers,
    const std::string& body, std::string& reply, std::string* etag)
{
    reply.clear();
    m_error.clear();
    if (!m_p->m_connect.h) {
        m_error = "没有设置服务器";
        return 0;
    }
    InternetHandle req(WinHttpOpenRequest(m_p->m_connect.h, Wide(method).c_str(), Wide(path).c_str(), nullptr,
        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, m_p->m_bSecure ? WINHTTP_FLAG_SECURE : 0));
    if (!req.h) {
        m_error = SystemMessage(GetLastError());
        return 0;
    }
    // Redirects are reported, not followed: the password would go wherever they point.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(req.h, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    const std::wstring head = m_p->m_auth + HeaderBlock(headers);
    if (!WinHttpSendRequest(req.h, head.c_str(), static_cast<DWORD>(head.size()),
            body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
            static_cast<DWORD>(body.size()), 0) ||
        !WinHttpReceiveResponse(req.h, nullptr)) {
        const DWORD code = GetLastError();
        m_error = SystemMessage(code);
        // A server that refuses a request (401, 403) may close the connection before it has
        // read the body, and the reset can swallow its answer: ask once more without a body.
        if (!body.empty() &&
            (code == ERROR_WINHTTP_CONNECTION_ERROR || code == WSAECONNRESET || code == WSAECONNABORTED)) {
            std::string ignored;
            const int status = Request("PROPFIND", path, "Depth: 0\r\n", "", ignored, nullptr);
            if (status >= 400)
                return status;
            m_error = SystemMessage(code);
        }
        return 0;
    }
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(req.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
        &status, &size, WINHTTP_NO_HEADER_INDEX);
    m_location.clear();
    if (status >= 300 && status < 400) {
        wchar_t buf[2048];
        DWORD len = sizeof buf;
        if (WinHttpQueryHeaders(
                req.h, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, buf, &len, WINHTTP_NO_HEADER_INDEX)) {
            const std::string location = Utf8(buf, len / sizeof(wchar_t));
            // Only a path, or a whole URL of this same server: the password goes nowhere else.
            if (!location.empty() && location[0] == '/')
                m_location = location;
            else if (location.compare(0, Origin().size(), Origin()) == 0)
                m_location = PathOf(location.substr(Origin().size()));
            else {
                const std::string bare =
                    (m_p->m_bSecure ? "https://" : "http://") + Utf8(m_p->m_host.data(), m_p->m_host.size());
                if (location.compare(0, bare.size(), bare) == 0 &&
                    (location.size() == bare.size() || location[bare.size()] == '/'))
                    m_location = location.size() == bare.size() ? "/" : location.substr(bare.size());
            }
        }
    }
    if (etag) {
        wchar_t buf[512];
        DWORD len = sizeof buf;
        etag->clear();
        if (WinHttpQueryHeaders(
                req.h, WINHTTP_QUERY_ETAG, WINHTTP_HEADER_NAME_BY_INDEX, buf, &len, WINHTTP_NO_HEADER_INDEX))
            *etag = Utf8(buf, len / sizeof(wchar_t));
    }
    for (;;) {
        DWORD avail = 0;
        if (!WinHttpQueryDataAvailable(req.h, &avail)) {
            m_error = SystemMessage(GetLastError());
            return 0;
        }
        if (avail == 0)
            break;
        // Read in pieces of a bounded size: the count announced is not always what arrives.
        const DWORD want = avail < 65536 ? avail : 65536;
        const std::size_t at = reply.size();
        reply.resize(at + want);
        DWORD got = 0;
        if (!WinHttpReadData(req.h, &reply[at], want, &got)) {
            m_error = SystemMessage(GetLastError());
            return 0;
        }
        reply.resize(at + got);
        if (got == 0)
            break;
        if (reply.size() > kMaxReply) {
            m_error = "服务器的回答太大";
            return 0;
        }
    }
    return static_cast<int>(status);
}

int CCalDavClient::Discover(std::string& home, std::vector<CalendarInfo>& calendars)
{
    calendars.clear();
    home.clear();
    std::string reply;
    std::vector<DavResponse> rs;
    auto propfind = [&](const std::string& path, const char* depth, const std::string& props) {
        const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
                                 "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>" +
            props + "</d:prop></d:propfind>";
        int s = Request("PROPFIND", path,
            std::string("Depth: ") + depth + "\r\nContent-Type: application/xml; charset=utf-8\r\n", body, reply,
            nullptr);
        if (s == 207 && !ParseMultistatus(reply, rs, m_error))
            return -1;
        return s;
    };
    std::string start = m_path;
    int s = 0;
    for (int hops = 0;; ++hops) {
        s = propfind(start, "0", "<d:current-user-principal/><c:calendar-home-set/>");
        if (s >= 300 && s < 400 && !m_location.empty() && hops < 5) {
            start = m_location;
            continue;
        }
        // A server's root often answers nothing useful; its well-known address leads on.
        if (s != 207 && s != 401 && s != 0 && s != -1 && hops == 0 && start == "/") {
            start = "/.well-known/caldav";
            continue;
        }
        break;
    }
    if (s != 207)
        return s;
    std::string principal;
    for (const DavResponse& r : rs) {
        if (const std::string* p = r.Prop("current-user-principal"))
            principal = *p;
        if (const std::string* h = r.Prop("calendar-home-set"))
            home = *h;
    }
    if (home.empty() && !principal.empty()) {
        s = propfind(principal, "0", "<c:calendar-home-set/>");
        if (s != 207)
            return s;
        for (const DavResponse& r : rs)
            if (const std::string* h = r.Prop("calendar-home-set"))
                home = *h;
    }
    if (home.empty()) {
        m_error = "服务器没有说出日历在哪里";
        return -1;
    }
    s = propfind(home, "1", "<d:resourcetype/><d:displayname/>");
    if (s != 207)
        return s;
    for (const DavResponse& r : rs) {
        if (!r.m_bCalendar)
            continue;
        const std::string* name = r.Prop("displayname");
        calendars.push_back({r.m_href, name && !name->empty() ? *name : r.m_href});
    }
    return 207;
}

int CCalDavClient::MakeCalendar(const std::string& home, const std::string& name, std::string& href)
{
    href = home + (home.empty() || home.back() != '/' ? "/" : "") + name + "/";
    const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:mkcalendar xmlns:d=\"DAV:\" "
                             "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:set><d:prop><d:displayname>" +
        Quoted(name) +
        "</d:displayname><c:supported-calendar-component-set><c:comp name=\"VEVENT\"/>"
        "</c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>";
    std::string reply;
    return Request("MKCALENDAR", href, "Content-Type: application/xml; charset=utf-8\r\n", body, reply, nullptr);
}

int CCalDavClient::List(std::vector<ServerEntry>& events)
{
    events.clear();
    std::string reply;
    const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\"><d:prop>"
                             "<d:resourcetype/><d:getetag/></d:prop></d:propfind>";
    const int s = Request(
        "PROPFIND", m_collection, "Depth: 1\r\nContent-Type: application/xml; charset=utf-8\r\n", body, reply, nullptr);
    if (s != 207)
        return s;
    std::vector<DavResponse> rs;
    if (!ParseMultistatus(reply, rs, m_error))
        return 0;
    for (const DavResponse& r : rs) {
        if (r.m_bCollection || r.m_href == m_collection)
            continue;
        const std::string* etag = r.Prop("getetag");
        events.push_back({r.m_href, etag ? *etag : ""});
    }
    return s;
}

int CCalDavClient::Changes(const std::string& token, std::vector<ServerEntry>& changed,
    std::vector<std::string>& removed, std::string& newToken)
{
    changed.clear();
    removed.clear();
    newToken.clear();
    std::string reply;
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" + Quoted(token) +
        "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/>"
        "</d:prop></d:sync-collection>";
    const int s =
        Request("REPORT", m_collection, "Content-Type: application/xml; charset=utf-8\r\n", body, reply, nullptr);
    if (s != 207)
        return s;
    std::vector<DavResponse> rs;
    if (!ParseMultistatus(reply, rs, m_error, &newToken))
        return 0;
    if (newToken.empty())
        return 400;  // no sync report after all: the caller lists instead
    for (const DavResponse& r : rs) {
        if (r.m_href == m_collection)
            continue;
        if (r.m_status.find(" 404") != std::string::npos) {
            removed.push_back(r.m_href);
        } else if (const std::string* etag = r.Prop("getetag")) {
            changed.push_back({r.m_href, *etag});
        }
    }
    return s;
}

int CCalDavClient::CollectionTag(std::string& ctag)
{
    ctag.clear();
    std::string reply;
    const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
                             "xmlns:cs=\"http://calendarserver.org/ns/\"><d:prop><cs:getctag/></d:prop></d:propfind>";
    const int s = Request(
        "PROPFIND", m_collection, "Depth: 0\r\nContent-Type: application/xml; charset=utf-8\r\n", body, reply, nullptr);
    if (s != 207)
        return s;
    std::vector<DavResponse> rs;
    if (!ParseMultistatus(reply, rs, m_error))
        return 0;
    for (const DavResponse& r : rs)
        if (const std::string* c = r.Prop("getctag"))
            ctag = *c;
    return s;
}

int CCalDavClient::Get(const std::string& href, std::string& body, std::string& etag)
{
    return Request("GET", href, "", "", body, &etag);
}

int CCalDavClient::Put(const std::string& href, const std::string& body, const std::string& ifMatch, std::string& etag)
{
    std::string headers = "Content-Type: text/calendar; charset=utf-8\r\n";
    headers += ifMatch.empty() ? "If-None-Match: *\r\n" : "If-Match: " + ifMatch + "\r\n";
    std::string reply;
    return Request("PUT", href, headers, body, reply, &etag);
}

int CCalDavClient::Delete(const std::string& href, const std::string& ifMatch)
{
    std::string reply;
    return Request("DELETE", href, ifMatch.empty() ? "" : "If-Match: " + ifMatch + "\r\n", "", reply, nullptr);
}
