// The addresses a CalDAV server hands out, and which hosts count as one service: the
// password goes to the address the user gave and to other hosts of the same service only.
#pragma once

#include <string>

struct DavUrl {
    bool m_bSecure = false;
    std::string m_host;  // lower case, without a final dot; an IPv6 address without brackets
    int m_nPort = 0;     // 443 or 80 when the address names none
    std::string m_path;  // from the first "/" after the host on, "/" when none
};

// "http(s)://host[:port][/path]". False for another scheme, an address with user
// information ("user@host"), a missing host or a port outside 1-65535.
bool ParseDavUrl(const std::string& url, DavUrl& out);

// "scheme://host:port" with brackets around an IPv6 address.
std::string DavOrigin(const DavUrl& url);

// localhost, 127.0.0.1 and ::1: this computer, whatever name it goes by.
bool IsLoopbackHost(const std::string& host);

// The part of a host name a registrant owns: the public suffix and one label before it
// ("p07-caldav.icloud.com" -> "icloud.com", "dav.example.com.cn" -> "example.com.cn").
// Empty for an IP address, a single label or a public suffix itself. The suffixes of more
// than one label are a built-in list of the common ones.
std::string RegistrableDomain(const std::string& host);

// Whether the password given for from may go to to: the same scheme and port, and the same
// host, or the same registrable domain over https, or both on this computer (plain http is
// only ever taken there).
bool SameService(const DavUrl& from, const DavUrl& to);
