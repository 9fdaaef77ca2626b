// The CalDAV client (RFC 4791) of the sync over WinHTTP, with XmlLite reading the servers'
// multistatus replies. TLS certificates are always verified; plain http is taken for this
// computer's own address only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sync/sync_engine.h"

struct CalendarInfo {
    std::string m_href;  // path on the server, ending in "/"
    std::string m_name;  // display name, UTF-8
};

class CCalDavClient : public ICalendarClient {
public:
    CCalDavClient();
    ~CCalDavClient() override;
    CCalDavClient(const CCalDavClient&) = delete;
    CCalDavClient& operator=(const CCalDavClient&) = delete;

    // url: "https://host[:port]/path" (UTF-8); user and password UTF-8. False with LastError
    // when the address is no https address (or http for localhost).
    bool Open(const std::string& url, const std::string& user, const std::string& password);
    // Discovery from the address given to Open (following redirects within this server, as
    // from /.well-known/caldav): current-user-principal, calendar-home-set, the calendars there. The HTTP status of the
    // request that ended it (207 when all went).
    int Discover(std::string& home, std::vector<CalendarInfo>& calendars);
    // MKCALENDAR home + a new member named after name; 201 with its path.
    int MakeCalendar(const std::string& home, const std::string& name, std::string& href);
    // The calendar List, Get, Put and Delete work on (a path ending in "/").
    void SetCollection(const std::string& href) { m_collection = href; }
    const std::string& Collection() const { return m_collection; }
    // scheme://host:port of the address: with the collection it names the calendar.
    std::string Origin() const;

    int List(std::vector<ServerEntry>& events) override;
    int Changes(const std::string& token, std::vector<ServerEntry>& changed, std::vector<std::string>& removed,
        std::string& newToken) override;
    int CollectionTag(std::string& ctag) override;
    int Get(const std::string& href, std::string& body, std::string& etag) override;
    int Put(const std::string& href, const std::string& body, const std::string& ifMatch, std::string& etag) override;
    int Delete(const std::string& href, const std::string& ifMatch) override;
    std::string LastError() const override { return m_error; }

private:
    struct Impl;
    int Request(const char* method, const std::string& path, const std::string& headers, const std::string& body,
        std::string& reply, std::string* etag);
    std::unique_ptr<Impl> m_p;
    std::string m_path, m_collection, m_error;
    std::string m_location;  // the Location of the last reply, as a path when on this server
};

// One <response> of a multistatus reply: its href and the properties its 200 propstats hold
// (by local name; a property holding an <href> has that href as its value).
struct DavResponse {
    std::string m_href;
    std::vector<std::pair<std::string, std::string>> m_props;
    bool m_bCalendar = false;    // resourcetype holds a CalDAV calendar
    bool m_bCollection = false;  // resourcetype holds a collection
    std::string m_status;        // the response's own status line (a removal in a sync report)
    const std::string* Prop(const char* name) const;
};
// Reads a multistatus reply with XmlLite. False (with error) when it is no well-formed XML.
// syncToken: where to put the reply's sync-token, if wanted.
bool ParseMultistatus(
    const std::string& xml, std::vector<DavResponse>& responses, std::string& error, std::string* syncToken = nullptr);
