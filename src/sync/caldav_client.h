// The CalDAV client (RFC 4791) of the sync over WinHTTP, with XmlLite reading the servers'
// multistatus replies. TLS certificates are always verified; plain http is taken for this
// computer's own address only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync/sync_engine.h"

// One property of a 200 propstat: a property holding an <href> has that href as its value,
// as a path, and as it came in m_url (a whole URL on some servers).
struct DavProp {
    std::string m_ns, m_name, m_value, m_url;
};

// One <response> of a multistatus reply: its href and the properties its 200 propstats hold.
struct DavResponse {
    std::string m_href;  // as a path
    std::string m_url;   // as it came
    std::vector<DavProp> m_props;
    bool m_bCalendar = false;    // resourcetype holds a CalDAV calendar
    bool m_bCollection = false;  // resourcetype holds a collection
    std::string m_status;        // the response's own status line (a removal in a sync report)
    // The values of list properties, when the reply holds them: the comp names of
    // supported-calendar-component-set, the DAV: privileges of current-user-privilege-set, the
    // supported-rscale names of supported-rscale-set.
    std::optional<std::vector<std::string>> m_components, m_privileges, m_rscales;
    const DavProp* Prop(const char* ns, const char* name) const;
    // The status code of m_status, 0 when there is none.
    int StatusCode() const;
};

struct CalendarInfo {
    // Its path on the server given to Open, ending in "/"; a whole URL when it lives on another
    // host of the same service (iCloud's calendars are on "pNN-caldav.icloud.com").
    std::string m_href;
    std::string m_name;  // display name, UTF-8
};

class CCalDavClient : public ICalendarClient {
public:
    CCalDavClient();
    ~CCalDavClient() override;
    CCalDavClient(const CCalDavClient&) = delete;
    CCalDavClient& operator=(const CCalDavClient&) = delete;

    // url: "https://host[:port]/path" (UTF-8); user and password UTF-8. False with LastError
    // when the address is no https address (or http for this computer).
    bool Open(const std::string& url, const std::string& user, const std::string& password);
    // Discovery from the address given to Open (following redirects, as from
    // /.well-known/caldav): current-user-principal, calendar-home-set, and the calendars there
    // that take events and that the user may write. A home or calendar on another host of the
    // same service (see SameService) is followed there, and named by its whole URL; one
    // anywhere else is refused. The HTTP status of the request that ended it (207 when all
    // went; 0 with LastError when no usable answer came).
    int Discover(std::string& home, std::vector<CalendarInfo>& calendars);
    // MKCALENDAR home + a new member named after name; 201 with its href (a whole URL when
    // home is one).
    int MakeCalendar(const std::string& home, const std::string& name, std::string& href);
    // The calendar the requests below work on: a path on the address given to Open, or a whole
    // URL on another host of the same service (then the client talks to that host). False with
    // LastError for an address elsewhere.
    bool SetCollection(const std::string& href);
    // Its path on the host the client talks to, ending in "/".
    const std::string& Collection() const { return m_collection; }
    // scheme://host:port of the host the client talks to: with the collection it names the calendar.
    std::string Origin() const;

    int List(std::vector<ServerEntry>& events) override;
    int Changes(const std::string& token, std::vector<ServerEntry>& changed, std::vector<std::string>& removed,
        std::string& newToken) override;
    int CollectionTag(std::string& ctag) override;
    int Multiget(const std::vector<std::string>& hrefs, std::vector<FetchedBody>& bodies) override;
    int Get(const std::string& href, std::string& body, std::string& etag) override;
    int Put(const std::string& href, const std::string& body, const std::string& ifMatch, std::string& etag) override;
    int Delete(const std::string& href, const std::string& ifMatch) override;
    int RscaleSupport(bool& chinese) override;
    std::string LastError() const override { return m_error; }

private:
    struct Impl;
    bool Locate(const std::string& href, std::string& path);
    std::string Resolve(const std::string& href, const std::string& base) const;
    std::string NameOf(const std::string& url) const;
    int Request(const char* method, const std::string& path, const std::string& headers, const std::string& body,
        std::string& reply, std::string* etag);
    int Propfind(
        const std::string& path, const char* depth, const std::string& props, std::vector<DavResponse>& responses);
    int FindHome(std::string& home);
    std::unique_ptr<Impl> m_p;
    std::string m_collection, m_error;
    std::string m_location;  // the Location of the last redirect, resolved to a whole URL
};

// Reads a multistatus reply with XmlLite, every element by namespace and local name. False
// (with error) when it is no well-formed XML or no multistatus. syncToken: where to put the
// reply's sync-token, if wanted.
bool ParseMultistatus(
    const std::string& xml, std::vector<DavResponse>& responses, std::string& error, std::string* syncToken = nullptr);
