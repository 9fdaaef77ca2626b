// Arbitrary bytes as what one receive brought from the bulletin server, through everything
// that follows it: the header split, the body cut, the item and the link check. The first
// byte picks how much the caller takes; the rest is the received data.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "net/bulletin.h"

namespace {

const char* FindSeparator(const char* data, size_t n)
{
    for (size_t i = 0; i + 4 <= n; ++i)
        if (std::memcmp(data + i, "\r\n\r\n", 4) == 0)
            return data + i + 4;
    return nullptr;
}

bool StartsWithNoCase(const std::string& s, const char* prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= s.size())
            return false;
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// What the link check promises, seen from outside.
void CheckLink(const std::string& link)
{
    if (!IsSafeWebLink(link.c_str()))
        return;
    FUZZ_CHECK(StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "https://"));
    const size_t hostStart = link.find("//") + 2;
    FUZZ_CHECK(hostStart < link.size());
    FUZZ_CHECK(link[hostStart] != '/' && link[hostStart] != ':');
    for (unsigned char c : link) {
        FUZZ_CHECK(c > 0x20 && c < 0x7F);
        FUZZ_CHECK(std::strchr("\"'`\\<>|^{}$! ", c) == nullptr);
    }
    const size_t authorityEnd = link.find_first_of("/?#", hostStart);
    const std::string authority = link.substr(hostStart, authorityEnd - hostStart);
    FUZZ_CHECK(authority.find('@') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // Limits around the real one and the ends of the range.
    static const int kLimits[] = {BULLETIN_BODY_SIZE - 1, 0, 1, 2, 3, 4, 7, 64, 4096};
    const int limit = kLimits[data[0] % (sizeof kLimits / sizeof kLimits[0])];
    const char* received = reinterpret_cast<const char*>(data + 1);
    const size_t n = size - 1;

    std::vector<char> body(static_cast<size_t>(limit) + 1, '\x5a');
    int length = limit;
    const int code = ExtractBody(received, static_cast<int>(n), body.data(), &length);
    const char* start = FindSeparator(received, n);
    // A reply is never whole before its headers end (received is not NUL-terminated: any read
    // past n shows under ASan).
    const bool whole = IsReplyComplete(received, static_cast<int>(n));
    FUZZ_CHECK(start || !whole);
    if (!start) {
        FUZZ_CHECK(code == BULLETIN_ERR_NO_HEADER_END);
        FUZZ_CHECK(length == limit);
        // The link check meets raw bytes too.
        const std::string raw(received, n);
        CheckLink(std::string(raw.c_str()));
        return 0;
    }
    FUZZ_CHECK(code == BULLETIN_OK);
    FUZZ_CHECK(length >= 0 && length <= limit);
    FUZZ_CHECK(length <= received + n - start);
    FUZZ_CHECK(body[static_cast<size_t>(length)] == '\0');
    FUZZ_CHECK(std::strlen(body.data()) == static_cast<size_t>(length));
    FUZZ_CHECK(std::memcmp(body.data(), start, static_cast<size_t>(length)) == 0);
    // Mending a mended text changes nothing, and takes at most one character's bytes.
    FUZZ_CHECK(CompleteGbLength(body.data(), length) == length);
    const size_t available = static_cast<size_t>(received + n - start);
    const size_t cut = std::min<size_t>(available, static_cast<size_t>(limit));
    const void* nul = std::memchr(start, '\0', cut);
    const size_t ended = nul ? static_cast<size_t>(static_cast<const char*>(nul) - start) : cut;
    FUZZ_CHECK(static_cast<size_t>(length) <= ended && ended - static_cast<size_t>(length) <= 3);

    std::string link = "\x01", text = "\x02";
    if (ParseBulletinBody(body.data(), &link, &text)) {
        FUZZ_CHECK(link.find('\t') == std::string::npos);
        // Link, TAB and text make up the body after the leading white space and the "*".
        const std::string whole(body.data(), static_cast<size_t>(length));
        const size_t star = whole.find_first_not_of(" \r\n\t");
        FUZZ_CHECK(star != std::string::npos && whole[star] == '*');
        FUZZ_CHECK(whole.compare(star + 1, std::string::npos, link + "\t" + text) == 0);
        CheckLink(link);
    } else {
        FUZZ_CHECK(link == "\x01" && text == "\x02");
    }
    return 0;
}
