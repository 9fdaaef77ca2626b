#include "sync/dav_url.h"

#include <cstddef>

namespace {

// Public suffixes of two labels under which people commonly register names; the rest of
// the world registers directly under its top-level domain (".com", ".cn", ".de").
const char* const kTwoLabelSuffixes[] = {
    "com.cn", "net.cn", "org.cn", "gov.cn", "edu.cn", "ac.cn",          //
    "com.hk", "org.hk", "net.hk", "edu.hk", "gov.hk",                   //
    "com.tw", "org.tw", "net.tw", "edu.tw", "idv.tw", "gov.tw",         //
    "com.mo", "com.sg", "edu.sg", "com.my",                             //
    "co.uk", "org.uk", "ac.uk", "gov.uk", "me.uk", "ltd.uk", "plc.uk",  //
    "co.jp", "ne.jp", "or.jp", "ac.jp", "go.jp",                        //
    "co.kr", "or.kr", "ne.kr",                                          //
    "com.au", "net.au", "org.au", "edu.au", "gov.au",                   //
    "co.nz", "org.nz", "co.in", "co.za", "co.il", "co.th",              //
    "com.br", "com.mx", "com.ar", "com.tr", "com.ru",                   //
};

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool IsIpAddress(const std::string& host)
{
    if (host.find(':') != std::string::npos)
        return true;
    for (char c : host)
        if ((c < '0' || c > '9') && c != '.')
            return false;
    return !host.empty();
}

// The last n labels of host ("" when it has fewer).
std::string LastLabels(const std::string& host, int n)
{
    std::size_t at = host.size();
    for (int i = 0; i < n; ++i) {
        if (at == 0)
            return {};
        const std::size_t dot = host.rfind('.', at - 1);
        if (i == n - 1)
            return dot == std::string::npos ? host : host.substr(dot + 1);
        if (dot == std::string::npos)
            return {};
        at = dot;
    }
    return {};
}

// Letters, digits, "-", "_", "." and UTF-8 (a name or IPv4 address), or hex digits and ":"
// (IPv6): no character that another reader of the address could take for the end of the host.
bool ValidHost(const std::string& host, bool v6)
{
    for (char c : host) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        const bool name = c == '-' || c == '_' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
        if (!(alnum || (v6 ? c == ':' : name)))
            return false;
    }
    return !host.empty();
}

bool ParsePort(const std::string& digits, int& port)
{
    if (digits.empty() || digits.size() > 5)
        return false;
    port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535;
}

}  // namespace

bool ParseDavUrl(const std::string& url, DavUrl& out)
{
    out = DavUrl{};
    const std::size_t colon = url.find("://");
    if (colon == std::string::npos)
        return false;
    const std::string scheme = Lower(url.substr(0, colon));
    if (scheme != "http" && scheme != "https")
        return false;
    out.m_bSecure = scheme == "https";
    const std::size_t hostAt = colon + 3;
    const std::size_t end = url.find_first_of("/?#", hostAt);
    const std::string authority = url.substr(hostAt, end == std::string::npos ? std::string::npos : end - hostAt);
    if (authority.find('@') != std::string::npos)
        return false;
    std::string port;
    const bool v6 = !authority.empty() && authority[0] == '[';
    if (v6) {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos || (close + 1 < authority.size() && authority[close + 1] != ':'))
            return false;
        out.m_host = authority.substr(1, close - 1);
        if (close + 1 < authority.size())
            port = authority.substr(close + 2);
        else
            port = "-";  // none given
    } else {
        const std::size_t p = authority.find(':');
        out.m_host = authority.substr(0, p);
        port = p == std::string::npos ? "-" : authority.substr(p + 1);
    }
    out.m_host = Lower(out.m_host);
    if (!out.m_host.empty() && out.m_host.back() == '.')
        out.m_host.pop_back();
    if (!ValidHost(out.m_host, v6))
        return false;
    if (port == "-")
        out.m_nPort = out.m_bSecure ? 443 : 80;
    else if (!ParsePort(port, out.m_nPort))
        return false;
    out.m_path = end == std::string::npos || url[end] != '/' ? "/" : url.substr(end, url.find('#', end) - end);
    return true;
}

std::string DavOrigin(const DavUrl& url)
{
    const bool v6 = url.m_host.find(':') != std::string::npos;
    return (url.m_bSecure ? "https://" : "http://") + (v6 ? "[" + url.m_host + "]" : url.m_host) + ":" +
        std::to_string(url.m_nPort);
}

bool IsLoopbackHost(const std::string& host)
{
    return host == "localhost" || host == "127.0.0.1" || host == "::1";
}

std::string RegistrableDomain(const std::string& host)
{
    if (IsIpAddress(host))
        return {};
    const std::string two = LastLabels(host, 2);
    for (const char* suffix : kTwoLabelSuffixes)
        if (two == suffix) {
            const std::string three = LastLabels(host, 3);
            return three;
        }
    return two;
}

bool SameService(const DavUrl& from, const DavUrl& to)
{
    if (from.m_bSecure != to.m_bSecure || from.m_nPort != to.m_nPort)
        return false;
    if (from.m_host == to.m_host || (IsLoopbackHost(from.m_host) && IsLoopbackHost(to.m_host)))
        return true;
    if (!from.m_bSecure)
        return false;
    const std::string domain = RegistrableDomain(from.m_host);
    return !domain.empty() && domain == RegistrableDomain(to.m_host);
}
