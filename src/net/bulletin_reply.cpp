// The bulletin reply taken apart, without sockets: what the fuzz target drives.
#include "net/bulletin.h"

#include "text/gbcodec.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsDigit(unsigned char b)
{
    return b >= '0' && b <= '9';
}
bool IsAlpha(unsigned char b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}
bool IsHex(unsigned char b)
{
    return IsDigit(b) || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F');
}

bool HasLineBreak(const char* s)
{
    return std::strpbrk(s, "\r\n") != nullptr;
}

// Matches prefix against the start of s ignoring ASCII case; the length matched, or 0.
size_t MatchNoCase(const char* s, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        if (c != static_cast<unsigned char>(prefix[i]))
            return 0;
    }
    return i;
}

// [begin, end) is a DNS name: labels of 1-63 letters, digits and '-' (not at either end of
// a label), joined by single dots, 253 bytes at most.
bool IsDnsName(const char* begin, const char* end)
{
    if (begin == end || end - begin > 253)
        return false;
    const char* label = begin;
    for (const char* p = begin;; ++p) {
        if (p == end || *p == '.') {
            const long n = static_cast<long>(p - label);
            if (n < 1 || n > 63 || label[0] == '-' || p[-1] == '-')
                return false;
            if (p == end)
                return true;
            label = p + 1;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!IsAlpha(c) && !IsDigit(c) && c != '-')
            return false;
    }
}

// [begin, end) is "[...]" holding an IPv6 address's characters with at least two colons.
bool IsBracketedIpv6(const char* begin, const char* end)
{
    if (end - begin < 4 || *begin != '[' || end[-1] != ']')
        return false;
    int colons = 0;
    for (const char* p = begin + 1; p < end - 1; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ':')
            ++colons;
        else if (!IsHex(c) && c != '.')
            return false;
    }
    return colons >= 2;
}

// Characters of a path, query or fragment that no shell or command line treats specially.
bool IsSafeTailChar(unsigned char c)
{
    if (IsAlpha(c) || IsDigit(c))
        return true;
    return c != 0 && std::strchr("-._~/?#:@&=+;,*()", c) != nullptr;
}

}  // namespace

int FormatBulletinRequest(char* buffer, int size, const char* path, const char* host, const char* version)
{
    if (!buffer || size <= 0 || !path || !host || !version)
        return -1;
    if (HasLineBreak(path) || HasLineBreak(host) || HasLineBreak(version))
        return -1;
    const int n = std::snprintf(
        buffer, static_cast<size_t>(size), "GET /%s HTTP/1.1\r\nHost:%s\r\nVer:%s\r\n\r\n", path, host, version);
    return n < 0 || n >= size ? -1 : n;
}

int CompleteGbLength(const char* text, int length)
{
    return static_cast<int>(almanix::GbCompleteLength(std::string_view(text, static_cast<size_t>(length))));
}

bool IsReplyComplete(const char* received, int n)
{
    int headerEnd = -1;
    for (int i = 0; i + 4 <= n; ++i) {
        if (std::memcmp(received + i, "\r\n\r\n", 4) == 0) {
            headerEnd = i + 4;
            break;
        }
    }
    if (headerEnd < 0)
        return false;
    // Header lines start after a CR LF; the status line is never one of them.
    for (int i = 0; i + 2 < headerEnd; ++i) {
        if (received[i] != '\r' || received[i + 1] != '\n')
            continue;
        const char* line = received + i + 2;
        const size_t name = MatchNoCase(line, "content-length:");
        if (name == 0)
            continue;
        const char* p = line + name;
        while (*p == ' ' || *p == '\t')
            ++p;
        long length = 0;
        const char* digits = p;
        while (IsDigit(static_cast<unsigned char>(*p)) && length <= BULLETIN_EXCHANGE_SIZE)
            length = length * 10 + (*p++ - '0');
        if (p == digits)
            return false;  // not a number: wait for the close
        return n - headerEnd >= length;
    }
    return false;
}

int ExtractBody(const char* received, int n, char* body, int* pLen)
{
    const char* start = nullptr;
    for (int i = 0; i + 4 <= n; ++i) {
        if (std::memcmp(received + i, "\r\n\r\n", 4) == 0) {
            start = received + i + 4;
            break;
        }
    }
    if (!start)
        return BULLETIN_ERR_NO_HEADER_END;
    int length = static_cast<int>(received + n - start);
    const int limit = *pLen > 0 ? *pLen : 0;
    if (length > limit)
        length = limit;
    const void* nul = std::memchr(start, '\0', static_cast<size_t>(length));
    if (nul)
        length = static_cast<int>(static_cast<const char*>(nul) - start);
    length = CompleteGbLength(start, length);
    std::memcpy(body, start, static_cast<size_t>(length));
    body[length] = '\0';
    *pLen = length;
    return BULLETIN_OK;
}

bool ParseBulletinBody(const char* body, std::string* link, std::string* text)
{
    const char* p = body;
    while (*p == ' ' || *p == '\r' || *p == '\n' || *p == '\t')
        ++p;
    if (*p != '*')
        return false;
    ++p;
    const char* tab = std::strchr(p, '\t');
    if (!tab)
        return false;
    link->assign(p, tab);
    text->assign(tab + 1);
    return true;
}

bool IsSafeWebLink(const char* link)
{
    if (!link)
        return false;
    size_t skip = MatchNoCase(link, "https://");
    if (!skip)
        skip = MatchNoCase(link, "http://");
    if (!skip)
        return false;
    const char* host = link + skip;
    const char* end = host;
    while (*end && *end != '/' && *end != '?' && *end != '#')
        ++end;
    // [host, end) is the authority: host and an optional port.
    const char* hostEnd = end;
    if (*host == '[') {
        const char* close = static_cast<const char*>(std::memchr(host, ']', static_cast<size_t>(end - host)));
        if (!close || !IsBracketedIpv6(host, close + 1))
            return false;
        hostEnd = close + 1;
    } else {
        const char* colon = static_cast<const char*>(std::memchr(host, ':', static_cast<size_t>(end - host)));
        if (colon)
            hostEnd = colon;
        if (!IsDnsName(host, hostEnd))
            return false;
    }
    if (hostEnd != end) {
        if (*hostEnd != ':' || end - hostEnd < 2 || end - hostEnd > 6)
            return false;
        long port = 0;
        for (const char* p = hostEnd + 1; p < end; ++p) {
            if (!IsDigit(static_cast<unsigned char>(*p)))
                return false;
            port = port * 10 + (*p - '0');
        }
        if (port < 1 || port > 65535)
            return false;
    }
    for (const char* p = end; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '%') {
            if (!IsHex(static_cast<unsigned char>(p[1])) || !IsHex(static_cast<unsigned char>(p[2])))
                return false;
            p += 2;
        } else if (!IsSafeTailChar(c)) {
            return false;
        }
    }
    return true;
}
