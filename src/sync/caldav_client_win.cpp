#include "sync/caldav_client.h"

#include <windows.h>
#include <winhttp.h>
#include <objbase.h>
#include <shlwapi.h>
#include <wincrypt.h>
#include <xmllite.h>

#include <cstring>
#include <optional>

#include "sync/dav_url.h"
#include "sync/web_get.h"

namespace {

// IID_IXmlReader, spelled out: MinGW's header declares it without a definition to link.
const IID kIidXmlReader = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};
const wchar_t kDav[] = L"DAV:";
const wchar_t kCalDav[] = L"urn:ietf:params:xml:ns:caldav";
const char kDavNs[] = "DAV:";
const char kCalDavNs[] = "urn:ietf:params:xml:ns:caldav";
const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
const char kNamespaces[] =
    "xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" xmlns:cs=\"http://calendarserver.org/ns/\"";
const char kXmlType[] = "Content-Type: application/xml; charset=utf-8\r\n";
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

// The path part of an href that a server may write as a whole URL.
std::string PathOf(const std::string& href)
{
    const std::size_t scheme = href.find("://");
    if (scheme == std::string::npos)
        return href;
    const std::size_t slash = href.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : href.substr(slash);
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when the line holds no status code.
int ParseStatusLine(const std::string& line)
{
    const std::size_t space = line.find(' ');
    if (space == std::string::npos || line.size() < space + 4)
        return 0;
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

bool EqualsAscii(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y)
            return false;
    }
    return i == a.size() && !b[i];
}

// iCalendar lines end in CR LF; XML reads every line end as LF (RFC 5545, 3.1; XML 1.0, 2.11):
// a calendar-data text gets its CR LF back, and a CR the server escaped (&#13;) stays single.
std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// A calendar to offer: one that takes events (a missing component set: every component) and
// that the user may write (a missing privilege set: assume so).
bool TakesEventsAndWrites(const DavResponse& r)
{
    bool events = !r.m_components, writes = !r.m_privileges;
    if (r.m_components)
        for (const std::string& c : *r.m_components)
            events = events || EqualsAscii(c, "VEVENT");
    if (r.m_privileges)
        for (const std::string& p : *r.m_privileges)
            writes = writes || p == "write" || p == "write-content" || p == "all";
    return events && writes;
}

// One reply header ("" when absent).
std::string Header(HINTERNET request, DWORD query)
{
    wchar_t buf[2048];
    DWORD len = sizeof buf;
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, buf, &len, WINHTTP_NO_HEADER_INDEX))
        return {};
    return Utf8(buf, len / sizeof(wchar_t));
}

// The reply's body, up to kMaxReply bytes.
bool ReadReply(HINTERNET request, std::string& reply, std::string& error)
{
    for (;;) {
        DWORD avail = 0;
        if (!WinHttpQueryDataAvailable(request, &avail)) {
            error = WinHttpFailureWords(GetLastError());
            return false;
        }
        if (avail == 0)
            return true;
        // Read in pieces of a bounded size: the count announced is not always what arrives.
        const DWORD want = avail < 65536 ? avail : 65536;
        const std::size_t at = reply.size();
        reply.resize(at + want);
        DWORD got = 0;
        if (!WinHttpReadData(request, &reply[at], want, &got)) {
            error = WinHttpFailureWords(GetLastError());
            return false;
        }
        reply.resize(at + got);
        if (got == 0)
            return true;
        if (reply.size() > kMaxReply) {
            error = "服务器的回答太大";
            return false;
        }
    }
}

// The details of a refused certificate, as WinHTTP reports them to a request's callback.
struct TlsFailure {
    DWORD m_flags = 0;
    bool OnlyRevocationUnknown(DWORD error) const
    {
        return error == ERROR_WINHTTP_SECURE_CERT_REV_FAILED ||
            (error == ERROR_WINHTTP_SECURE_FAILURE && m_flags == WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED);
    }
};

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length)
{
    if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && context && info && length >= sizeof(DWORD))
        reinterpret_cast<TlsFailure*>(context)->m_flags |= *static_cast<const DWORD*>(info);
}

// Opens and sends one request and receives its reply's headers: 0, or the system's error.
// Certificates are checked for revocation where checkRevocation says so (Wine 8 takes a
// certificate whose revocation it cannot check, as the test servers' certificates are).
DWORD Send(HINTERNET connect, bool secure, bool checkRevocation, const char* method, const std::string& path,
    const std::wstring& head, const std::string& body, InternetHandle& req, TlsFailure& tls)
{
    if (req.h)
        WinHttpCloseHandle(req.h);
    req.h = WinHttpOpenRequest(connect, Wide(method).c_str(), Wide(path).c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (!req.h)
        return GetLastError();
    // Redirects are reported, not followed: the password would go wherever they point.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(req.h, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    if (secure && checkRevocation) {
        DWORD feature = WINHTTP_ENABLE_SSL_REVOCATION;
        WinHttpSetOption(req.h, WINHTTP_OPTION_ENABLE_FEATURE, &feature, sizeof feature);
        WinHttpSetStatusCallback(req.h, OnRequestStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
    }
    tls = TlsFailure{};
    if (!WinHttpSendRequest(req.h, head.c_str(), static_cast<DWORD>(head.size()),
            body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
            static_cast<DWORD>(body.size()), reinterpret_cast<DWORD_PTR>(&tls)) ||
        !WinHttpReceiveResponse(req.h, nullptr))
        return GetLastError();
    return 0;
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

const DavProp* DavResponse::Prop(const char* ns, const char* name) const
{
    for (const DavProp& p : m_props)
        if (p.m_ns == ns && p.m_name == name)
            return &p;
    return nullptr;
}

int DavResponse::StatusCode() const
{
    return ParseStatusLine(m_status);
}

namespace {

// An element by namespace and local name.
struct XmlName {
    std::wstring m_ns, m_local;
    bool Is(const wchar_t* ns, const wchar_t* local) const { return m_ns == ns && m_local == local; }
};

// One <propstat> while it is read: taken into its response only when its status is 200.
struct Propstat {
    std::vector<DavProp> m_props;
    bool m_bOk = false, m_bCalendar = false, m_bCollection = false;
    std::optional<std::vector<std::string>> m_components, m_privileges, m_rscales;
};

void Take(std::optional<std::vector<std::string>>& into, std::optional<std::vector<std::string>>& from)
{
    if (from)
        into = std::move(from);
}

// The reader's events in order, with the elements open from the root down; each element's
// meaning is decided by its own name and its parent's, never by a local name alone.
class MultistatusReader {
public:
    explicit MultistatusReader(std::string* syncToken) : m_syncToken(syncToken) {}
    void Start(XmlName e, IXmlReader& reader);
    void Text(const std::string& text) { m_text += text; }
    void End();
    bool Complete() const { return m_bSeenRoot && m_open.empty(); }
    std::vector<DavResponse> m_responses;

private:
    const XmlName* Up(std::size_t n) const { return m_open.size() > n ? &m_open[m_open.size() - 1 - n] : nullptr; }
    bool UpIs(std::size_t n, const wchar_t* ns, const wchar_t* local) const
    {
        const XmlName* e = Up(n);
        return e && e->Is(ns, local);
    }
    void StartProperty(const XmlName& e);
    void StartInProperty(const XmlName& e, const XmlName& property, IXmlReader& reader);
    void EndProperty(const XmlName& e);
    std::vector<XmlName> m_open;
    std::string* m_syncToken;
    DavResponse m_response;
    Propstat m_stat;
    std::string m_text;
    bool m_bSeenRoot = false;
    bool m_bPropertyHref = false;  // the open property held an href
};

void MultistatusReader::Start(XmlName e, IXmlReader& reader)
{
    m_text.clear();
    if (m_open.empty())
        m_bSeenRoot = e.Is(kDav, L"multistatus");
    else if (e.Is(kDav, L"response") && UpIs(0, kDav, L"multistatus"))
        m_response = DavResponse{};
    else if (e.Is(kDav, L"propstat") && UpIs(0, kDav, L"response"))
        m_stat = Propstat{};
    else if (UpIs(0, kDav, L"prop") && UpIs(1, kDav, L"propstat"))
        StartProperty(e);
    else if (UpIs(1, kDav, L"prop") && UpIs(2, kDav, L"propstat"))
        StartInProperty(e, *Up(0), reader);
    else if (UpIs(3, kDav, L"propstat") && UpIs(2, kDav, L"prop") && UpIs(1, kDav, L"current-user-privilege-set") &&
        UpIs(0, kDav, L"privilege") && e.m_ns == kDav)
        m_stat.m_privileges->push_back(Utf8(e.m_local.data(), e.m_local.size()));
    m_open.push_back(std::move(e));
}

void MultistatusReader::StartProperty(const XmlName& e)
{
    m_bPropertyHref = false;
    if (e.Is(kCalDav, L"supported-calendar-component-set"))
        m_stat.m_components.emplace();
    else if (e.Is(kDav, L"current-user-privilege-set"))
        m_stat.m_privileges.emplace();
    else if (e.Is(kCalDav, L"supported-rscale-set"))
        m_stat.m_rscales.emplace();
}

// A child of a property: what resourcetype holds, or a comp of the component set.
void MultistatusReader::StartInProperty(const XmlName& e, const XmlName& property, IXmlReader& reader)
{
    if (property.Is(kDav, L"resourcetype")) {
        m_stat.m_bCalendar = m_stat.m_bCalendar || e.Is(kCalDav, L"calendar");
        m_stat.m_bCollection = m_stat.m_bCollection || e.Is(kDav, L"collection");
    } else if (property.Is(kCalDav, L"supported-calendar-component-set") && e.Is(kCalDav, L"comp")) {
        for (HRESULT hr = reader.MoveToFirstAttribute(); hr == S_OK; hr = reader.MoveToNextAttribute()) {
            const wchar_t *ns = nullptr, *name = nullptr, *value = nullptr;
            UINT nsLen = 0, nameLen = 0, len = 0;
            if (SUCCEEDED(reader.GetNamespaceUri(&ns, &nsLen)) && nsLen == 0 &&
                SUCCEEDED(reader.GetLocalName(&name, &nameLen)) && std::wstring(name, nameLen) == L"name" &&
                SUCCEEDED(reader.GetValue(&value, &len)))
                m_stat.m_components->push_back(Utf8(value, len));
        }
        reader.MoveToElement();
    }
}

void MultistatusReader::End()
{
    if (m_open.empty())
        return;
    const XmlName e = std::move(m_open.back());
    m_open.pop_back();
    if (e.Is(kDav, L"href") && UpIs(0, kDav, L"response")) {
        m_response.m_url = m_text;
        m_response.m_href = PathOf(m_text);
    } else if (e.Is(kDav, L"href") && UpIs(1, kDav, L"prop") && UpIs(2, kDav, L"propstat")) {
        m_stat.m_props.push_back({Utf8(Up(0)->m_ns.data(), Up(0)->m_ns.size()),
            Utf8(Up(0)->m_local.data(), Up(0)->m_local.size()), PathOf(m_text), m_text});
        m_bPropertyHref = true;
    } else if (e.Is(kCalDav, L"supported-rscale") && UpIs(0, kCalDav, L"supported-rscale-set") &&
        UpIs(1, kDav, L"prop") && UpIs(2, kDav, L"propstat")) {
        m_stat.m_rscales->push_back(m_text);
    } else if (UpIs(0, kDav, L"prop") && UpIs(1, kDav, L"propstat")) {
        EndProperty(e);
    } else if (e.Is(kDav, L"status") && UpIs(0, kDav, L"propstat")) {
        m_stat.m_bOk = ParseStatusLine(m_text) == 200;
    } else if (e.Is(kDav, L"status") && UpIs(0, kDav, L"response")) {
        m_response.m_status = m_text;
    } else if (e.Is(kDav, L"sync-token") && UpIs(0, kDav, L"multistatus") && m_syncToken) {
        *m_syncToken = m_text;
    } else if (e.Is(kDav, L"propstat") && UpIs(0, kDav, L"response") && m_stat.m_bOk) {
        m_response.m_props.insert(m_response.m_props.end(), m_stat.m_props.begin(), m_stat.m_props.end());
        m_response.m_bCalendar = m_response.m_bCalendar || m_stat.m_bCalendar;
        m_response.m_bCollection = m_response.m_bCollection || m_stat.m_bCollection;
        Take(m_response.m_components, m_stat.m_components);
        Take(m_response.m_privileges, m_stat.m_privileges);
        Take(m_response.m_rscales, m_stat.m_rscales);
    } else if (e.Is(kDav, L"response") && UpIs(0, kDav, L"multistatus")) {
        m_responses.push_back(std::move(m_response));
    }
    m_text.clear();
}

// The end of a property: its text is its value, unless it held hrefs (taken one by one).
void MultistatusReader::EndProperty(const XmlName& e)
{
    if (!m_bPropertyHref)
        m_stat.m_props.push_back(
            {Utf8(e.m_ns.data(), e.m_ns.size()), Utf8(e.m_local.data(), e.m_local.size()), m_text, ""});
    m_bPropertyHref = false;
}

}  // namespace

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
    MultistatusReader ms(syncToken);
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader.p->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) {
            const wchar_t *ns = nullptr, *name = nullptr;
            UINT nsLen = 0, nameLen = 0;
            reader.p->GetNamespaceUri(&ns, &nsLen);
            reader.p->GetLocalName(&name, &nameLen);
            const bool empty = reader.p->IsEmptyElement();
            ms.Start({std::wstring(ns, nsLen), std::wstring(name, nameLen)}, *reader.p);
            if (empty)
                ms.End();
        } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA) {
            const wchar_t* v = nullptr;
            UINT len = 0;
            reader.p->GetValue(&v, &len);
            ms.Text(Utf8(v, len));
        } else if (type == XmlNodeType_EndElement) {
            ms.End();
        }
    }
    if (FAILED(hr) || !ms.Complete()) {
        error = "服务器的回答不是完整的 WebDAV XML";
        return false;
    }
    responses = std::move(ms.m_responses);
    return true;
}

struct CCalDavClient::Impl {
    InternetHandle m_session, m_connect;
    DavUrl m_start;       // the address given to Open
    DavUrl m_server;      // the host the connection is to (its path unused)
    std::wstring m_auth;  // "Authorization: Basic ..." header line
    // The connection to url's host: kept when it is the current one, else made anew when it
    // is the same service as the start, else refused.
    bool Connect(const DavUrl& url, std::string& error);
};

bool CCalDavClient::Impl::Connect(const DavUrl& url, std::string& error)
{
    if (m_connect.h && url.m_bSecure == m_server.m_bSecure && url.m_host == m_server.m_host &&
        url.m_nPort == m_server.m_nPort)
        return true;
    if (!SameService(m_start, url)) {
        error = "服务器指向另一个网站（" + url.m_host + "），密码不会发往那里";
        return false;
    }
    InternetHandle next(
        WinHttpConnect(m_session.h, Wide(url.m_host).c_str(), static_cast<INTERNET_PORT>(url.m_nPort), 0));
    if (!next.h) {
        error = WinHttpFailureWords(GetLastError());
        return false;
    }
    std::swap(m_connect.h, next.h);
    m_server = url;
    return true;
}

CCalDavClient::CCalDavClient() : m_p(new Impl) {}
CCalDavClient::~CCalDavClient() = default;

bool CCalDavClient::Open(const std::string& url, const std::string& user, const std::string& password)
{
    DavUrl start;
    if (!ParseDavUrl(url, start)) {
        m_error = "服务器地址不是一个网址";
        return false;
    }
    if (!start.m_bSecure && !IsLoopbackHost(start.m_host)) {
        m_error = "只能通过 https 连接服务器（http 只用于本机）";
        return false;
    }
    m_p->m_start = start;

    const std::string pair = user + ":" + password;
    DWORD n = 0;
    CryptBinaryToStringW(reinterpret_cast<const BYTE*>(pair.data()), static_cast<DWORD>(pair.size()),
        CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, nullptr, &n);
    std::wstring b64(n, L'\0');
    CryptBinaryToStringW(reinterpret_cast<const BYTE*>(pair.data()), static_cast<DWORD>(pair.size()),
        CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &b64[0], &n);
    b64.resize(n);
    m_p->m_auth = L"Authorization: Basic " + b64 + L"\r\n";

    m_p->m_session.h = OpenWebSession(10000, 10000, 30000, 60000);
    if (!m_p->m_session.h) {
        m_error = WinHttpFailureWords(GetLastError());
        return false;
    }
    return m_p->Connect(start, m_error);
}

std::string CCalDavClient::Origin() const
{
    return DavOrigin(m_p->m_server);
}

// A whole URL, a path on the host talked to, or a path relative to base (a path there).
std::string CCalDavClient::Resolve(const std::string& href, const std::string& base) const
{
    if (href.find("://") != std::string::npos)
        return href;
    if (!href.empty() && href[0] == '/')
        return Origin() + href;
    return Origin() + base.substr(0, base.rfind('/') + 1) + href;
}

// How a URL is named to the caller: a path when it is on the address given to Open.
std::string CCalDavClient::NameOf(const std::string& url) const
{
    DavUrl u;
    if (!ParseDavUrl(url, u))
        return url;
    const DavUrl& start = m_p->m_start;
    const bool atStart = u.m_bSecure == start.m_bSecure && u.m_host == start.m_host && u.m_nPort == start.m_nPort;
    return atStart ? u.m_path : DavOrigin(u) + u.m_path;
}

// The path of href on the host the client then talks to: a path is on the address given to
// Open, a whole URL on its own host (when that is the same service).
bool CCalDavClient::Locate(const std::string& href, std::string& path)
{
    DavUrl u = m_p->m_start;
    if (href.find("://") == std::string::npos)
        u.m_path = href.empty() ? "/" : href;
    else if (!ParseDavUrl(href, u)) {
        m_error = "服务器给出的地址不是一个网址";
        return false;
    }
    if (!m_p->Connect(u, m_error))
        return false;
    path = u.m_path;
    return true;
}

bool CCalDavClient::SetCollection(const std::string& href)
{
    m_collection.clear();
    return Locate(href, m_collection);
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
    const std::wstring head = m_p->m_auth + Wide(headers);
    InternetHandle req;
    TlsFailure tls;
    DWORD code = Send(m_p->m_connect.h, m_p->m_server.m_bSecure, true, method, path, head, body, req, tls);
    // A revocation server that cannot be reached (a network that blocks it) proves nothing: as
    // browsers do, such a certificate is taken, and a revoked or otherwise bad one never is.
    if (tls.OnlyRevocationUnknown(code))
        code = Send(m_p->m_connect.h, m_p->m_server.m_bSecure, false, method, path, head, body, req, tls);
    if (code != 0) {
        m_error = WinHttpFailureWords(code);
        // A server that refuses a request (401, 403) may close the connection before it has
        // read the body, and the reset can swallow its answer: ask once more without a body.
        if (!body.empty() &&
            (code == ERROR_WINHTTP_CONNECTION_ERROR || code == WSAECONNRESET || code == WSAECONNABORTED)) {
            std::string ignored;
            const int status = Request("PROPFIND", path, "Depth: 0\r\n", "", ignored, nullptr);
            if (status >= 400)
                return status;
            m_error = WinHttpFailureWords(code);
        }
        return 0;
    }
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(req.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
        &status, &size, WINHTTP_NO_HEADER_INDEX);
    m_location.clear();
    if (status >= 300 && status < 400) {
        const std::string location = Header(req.h, WINHTTP_QUERY_LOCATION);
        if (!location.empty())
            m_location = Resolve(location, path);
    }
    if (etag)
        *etag = Header(req.h, WINHTTP_QUERY_ETAG);
    return ReadReply(req.h, reply, m_error) ? static_cast<int>(status) : 0;
}

int CCalDavClient::Propfind(
    const std::string& path, const char* depth, const std::string& props, std::vector<DavResponse>& responses)
{
    responses.clear();
    const std::string body =
        std::string(kXmlHead) + "<d:propfind " + kNamespaces + "><d:prop>" + props + "</d:prop></d:propfind>";
    std::string reply;
    const int s = Request("PROPFIND", path, std::string("Depth: ") + depth + "\r\n" + kXmlType, body, reply, nullptr);
    if (s == 207 && !ParseMultistatus(reply, responses, m_error))
        return 0;
    return s;
}

// The calendar home as a whole URL: from the address given, after its redirects (or its
// well-known address), through the principal where the first answer does not name it.
int CCalDavClient::FindHome(std::string& home)
{
    std::string path;
    if (!Locate(m_p->m_start.m_path, path))
        return 0;
    std::vector<DavResponse> rs;
    int s = 0;
    for (int hops = 0;; ++hops) {
        s = Propfind(path, "0", "<d:current-user-principal/><c:calendar-home-set/>", rs);
        if (s >= 300 && s < 400 && hops < 5) {
            if (m_location.empty() || !Locate(m_location, path))
                return s;
            continue;
        }
        // A server's root often answers nothing useful; its well-known address leads on.
        if (s != 207 && s != 401 && s != 0 && hops == 0 && path == "/") {
            path = "/.well-known/caldav";
            continue;
        }
        break;
    }
    if (s != 207)
        return s;
    std::string principal;
    for (const DavResponse& r : rs) {
        const DavProp* p = r.Prop(kDavNs, "current-user-principal");
        if (p && !p->m_url.empty())
            principal = Resolve(p->m_url, path);
        const DavProp* h = r.Prop(kCalDavNs, "calendar-home-set");
        if (h && !h->m_url.empty())
            home = Resolve(h->m_url, path);
    }
    if (home.empty() && !principal.empty()) {
        if (!Locate(principal, path))
            return 0;
        s = Propfind(path, "0", "<c:calendar-home-set/>", rs);
        if (s != 207)
            return s;
        for (const DavResponse& r : rs) {
            const DavProp* h = r.Prop(kCalDavNs, "calendar-home-set");
            if (h && !h->m_url.empty())
                home = Resolve(h->m_url, path);
        }
    }
    if (home.empty()) {
        m_error = "服务器没有说出日历在哪里";
        return 0;
    }
    return 207;
}

int CCalDavClient::Discover(std::string& home, std::vector<CalendarInfo>& calendars)
{
    calendars.clear();
    home.clear();
    std::string homeUrl, path;
    int s = FindHome(homeUrl);
    if (s != 207)
        return s;
    if (!Locate(homeUrl, path))
        return 0;
    std::vector<DavResponse> rs;
    s = Propfind(path, "1",
        "<d:resourcetype/><d:displayname/><c:supported-calendar-component-set/><d:current-user-privilege-set/>", rs);
    if (s != 207)
        return s;
    for (const DavResponse& r : rs) {
        if (!r.m_bCalendar || !TakesEventsAndWrites(r))
            continue;
        // A calendar outside the service is never offered: its host would get the password.
        DavUrl at;
        if (r.m_url.empty() || !ParseDavUrl(Resolve(r.m_url, path), at) || !SameService(m_p->m_start, at))
            continue;
        const std::string href = NameOf(DavOrigin(at) + at.m_path);
        const DavProp* name = r.Prop(kDavNs, "displayname");
        calendars.push_back({href, name && !name->m_value.empty() ? name->m_value : href});
    }
    home = NameOf(homeUrl);
    return 207;
}

int CCalDavClient::MakeCalendar(const std::string& home, const std::string& name, std::string& href)
{
    href = home + (home.empty() || home.back() != '/' ? "/" : "") + name + "/";
    std::string path;
    if (!Locate(href, path))
        return 0;
    const std::string body = std::string(kXmlHead) + "<c:mkcalendar " + kNamespaces +
        "><d:set><d:prop><d:displayname>" + Quoted(name) +
        "</d:displayname><c:supported-calendar-component-set><c:comp name=\"VEVENT\"/>"
        "</c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>";
    std::string reply;
    return Request("MKCALENDAR", path, kXmlType, body, reply, nullptr);
}

int CCalDavClient::List(std::vector<ServerEntry>& events)
{
    events.clear();
    std::vector<DavResponse> rs;
    const int s = Propfind(m_collection, "1", "<d:resourcetype/><d:getetag/>", rs);
    if (s != 207)
        return s;
    for (const DavResponse& r : rs) {
        if (r.m_bCollection || r.m_href == m_collection)
            continue;
        const DavProp* etag = r.Prop(kDavNs, "getetag");
        events.push_back({r.m_href, etag ? etag->m_value : ""});
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
    const std::string body = std::string(kXmlHead) + "<d:sync-collection " + kNamespaces + "><d:sync-token>" +
        Quoted(token) +
        "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop></d:sync-collection>";
    const int s = Request("REPORT", m_collection, kXmlType, body, reply, nullptr);
    if (s != 207)
        return s;
    std::vector<DavResponse> rs;
    if (!ParseMultistatus(reply, rs, m_error, &newToken))
        return 0;
    if (newToken.empty())
        return s;  // no sync report after all: the caller lists instead
    for (const DavResponse& r : rs) {
        if (r.m_href == m_collection)
            continue;
        if (r.StatusCode() == 404)
            removed.push_back(r.m_href);
        else if (const DavProp* etag = r.Prop(kDavNs, "getetag"))
            changed.push_back({r.m_href, etag->m_value});
    }
    return s;
}

int CCalDavClient::CollectionTag(std::string& ctag)
{
    ctag.clear();
    std::vector<DavResponse> rs;
    const int s = Propfind(m_collection, "0", "<cs:getctag/>", rs);
    for (const DavResponse& r : rs)
        if (const DavProp* c = r.Prop("http://calendarserver.org/ns/", "getctag"))
            ctag = c->m_value;
    return s;
}

int CCalDavClient::Multiget(const std::vector<std::string>& hrefs, std::vector<FetchedBody>& bodies)
{
    bodies.clear();
    std::string body = std::string(kXmlHead) + "<c:calendar-multiget " + kNamespaces +
        "><d:prop><d:getetag/><c:calendar-data/></d:prop>";
    for (const std::string& href : hrefs)
        body += "<d:href>" + Quoted(href) + "</d:href>";
    body += "</c:calendar-multiget>";
    std::string reply;
    const int s = Request("REPORT", m_collection, kXmlType, body, reply, nullptr);
    if (s != 207)
        return s;
    std::vector<DavResponse> rs;
    if (!ParseMultistatus(reply, rs, m_error))
        return 0;
    for (const DavResponse& r : rs) {
        if (r.m_href.empty() || r.m_href == m_collection)
            continue;
        FetchedBody f;
        f.m_href = r.m_href;
        const DavProp* data = r.Prop(kCalDavNs, "calendar-data");
        const int code = r.StatusCode();
        if (code != 0 && code != 200)
            f.m_nStatus = code;
        else if (!data)
            f.m_nStatus = 404;
        else
            f.m_body = WithCrLf(data->m_value);
        if (const DavProp* etag = r.Prop(kDavNs, "getetag"))
            f.m_etag = etag->m_value;
        bodies.push_back(std::move(f));
    }
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

int CCalDavClient::RscaleSupport(bool& chinese)
{
    chinese = false;
    std::vector<DavResponse> rs;
    const int s = Propfind(m_collection, "0", "<c:supported-rscale-set/>", rs);
    for (const DavResponse& r : rs)
        if (r.m_rscales)
            for (const std::string& name : *r.m_rscales)
                chinese = chinese || EqualsAscii(name, "CHINESE");
    return s;
}
