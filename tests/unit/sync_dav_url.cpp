// Which addresses a server may send the sync to: the password goes to the address given and
// to other hosts of the same service only.
#include <gtest/gtest.h>

#include "sync/dav_url.h"

TEST(DavUrl, RegistrableDomain)
{
    const struct {
        const char* host;
        const char* domain;
    } cases[] = {
        {"caldav.icloud.com", "icloud.com"},
        {"p07-caldav.icloud.com", "icloud.com"},
        {"icloud.com", "icloud.com"},
        {"dav.example.com.cn", "example.com.cn"},
        {"a.b.example.co.uk", "example.co.uk"},
        {"example.cn", "example.cn"},
        {"com.cn", ""},
        {"co.uk", ""},
        {"localhost", ""},
        {"192.168.1.20", ""},
        {"::1", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegistrableDomain(c.host), c.domain) << c.host;
}

TEST(DavUrl, SameService)
{
    const struct {
        const char* from;
        const char* to;
        bool same;
    } cases[] = {
        {"https://caldav.icloud.com/", "https://p07-caldav.icloud.com/1234/calendars/", true},
        {"https://caldav.icloud.com/", "https://p07-caldav.icloud.com:443/1234/", true},
        {"https://dav.example.com.cn/", "https://cal.example.com.cn/home/", true},
        {"https://dav.one.com.cn/", "https://dav.two.com.cn/", false},  // two registrants
        {"https://caldav.icloud.com/", "https://icloud.com.evil.example/", false},
        {"https://caldav.icloud.com/", "http://p07-caldav.icloud.com/", false},        // never plain http
        {"https://caldav.icloud.com/", "https://p07-caldav.icloud.com:8443/", false},  // another port
        {"https://127.0.0.1:5232/", "https://10.0.0.1:5232/", false},
        {"http://127.0.0.1:5232/", "http://localhost:5232/u/", true},  // this computer by any name
        {"http://127.0.0.1:5232/", "http://[::1]:5232/u/", true},
        {"http://127.0.0.1:5232/", "http://127.0.0.1:1/", false},
        {"http://127.0.0.1:5232/", "http://dav.example.com:5232/", false},
        {"http://localhost:80/", "https://localhost:80/", false},
    };
    for (const auto& c : cases) {
        DavUrl from, to;
        ASSERT_TRUE(ParseDavUrl(c.from, from)) << c.from;
        ASSERT_TRUE(ParseDavUrl(c.to, to)) << c.to;
        EXPECT_EQ(SameService(from, to), c.same) << c.from << " -> " << c.to;
    }
}

TEST(DavUrl, Parse)
{
    DavUrl u;
    ASSERT_TRUE(ParseDavUrl("HTTPS://P07-CalDAV.iCloud.com./1234/calendars/#x", u));
    EXPECT_TRUE(u.m_bSecure);
    EXPECT_EQ(u.m_host, "p07-caldav.icloud.com");
    EXPECT_EQ(u.m_nPort, 443);
    EXPECT_EQ(u.m_path, "/1234/calendars/");
    ASSERT_TRUE(ParseDavUrl("http://[::1]:5232", u));
    EXPECT_EQ(DavOrigin(u) + u.m_path, "http://[::1]:5232/");
    for (const char* bad : {"ftp://example.com/", "https://user@evil.example/", "https://evil.example\\.icloud.com/",
             "https://example.com:0/", "https://example.com:65536/", "https:///path", "example.com/dav/"})
        EXPECT_FALSE(ParseDavUrl(bad, u)) << bad;
}
