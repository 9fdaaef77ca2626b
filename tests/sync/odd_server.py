#!/usr/bin/env python3
"""odd_server.py PORTFILE: a loopback web server with the replies a CalDAV server may send
and Radicale never does. The first path segment picks the reply; the port goes to PORTFILE."""
import http.server
import sys

EMPTY = (b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:">'
         b'<d:sync-token>http://example/ns/sync/1</d:sync-token></d:multistatus>')

CDATA_BODY = (b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20260101T000000Z\r\n"
              b"DTSTART;VALUE=DATE:20261203\r\nSUMMARY:a <b> & c\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        mode = self.path.strip("/").split("/")[0]
        xml = [("Content-Type", "application/xml; charset=utf-8")]
        if mode == "malformed":
            self.reply(207, b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"><d:response><d:href>', xml)
        elif mode == "redirect":
            self.reply(301, b"", [("Location", "http://127.0.0.1:1/elsewhere/")])
        elif mode == "error500":
            self.reply(500, b"boom")
        elif mode == "huge":
            self.reply(207, b"<d:multistatus xmlns:d='DAV:'>" + b" " * (65 << 20) + b"</d:multistatus>", xml)
        elif mode == "ctag":
            # A server without sync reports: getctag and ETags only, one event that never changes.
            depth = self.headers.get("Depth")
            if self.command == "REPORT":
                self.reply(403)
            elif self.command == "PROPFIND":
                prop = (b'<cs:getctag>c1</cs:getctag>' if depth == "0" else b'<d:getetag>"e1"</d:getetag>')
                href = b"/ctag/cal/" if depth == "0" else b"/ctag/cal/ev.ics"
                self.reply(207, b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" xmlns:cs="http://calendarserver.org/ns/">'
                           b'<d:response><d:href>' + href + b'</d:href><d:propstat><d:prop>' + prop +
                           b'</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>', xml)
            elif self.command == "GET":
                self.reply(200, b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:ev\r\n"
                           b"DTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:20261203\r\nSUMMARY:ctag\r\n"
                           b"END:VEVENT\r\nEND:VCALENDAR\r\n", [("ETag", '"e1"')])
            elif self.command == "PUT":
                self.reply(201, b"", [("ETag", '"p1"')])
            else:
                self.reply(405)
        elif mode == "picky":
            # An empty calendar that says it expands lunar rules, yet refuses every event that
            # holds one, and every event whose text says REFUSE.
            if self.command == "PUT":
                refused = b"RSCALE" in body or b"REFUSE" in body
                self.reply(500 if refused else 201, b"", [] if refused else [("ETag", '"p1"')])
            elif self.command == "PROPFIND" and self.headers.get("Depth") == "0" and b"supported-rscale-set" in body:
                self.reply(207, b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">'
                           b'<d:response><d:href>/picky/cal/</d:href><d:propstat><d:prop><c:supported-rscale-set>'
                           b'<c:supported-rscale>CHINESE</c:supported-rscale></c:supported-rscale-set></d:prop>'
                           b'<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>', xml)
            else:
                self.reply(207, EMPTY, xml)
        elif mode == "elsewhere":
            self.elsewhere(xml)
        elif mode == "cdata":
            # A multiget answered in CDATA sections, as some servers write it.
            self.reply(207, b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">'
                       b'<d:response><d:href>/cdata/cal/a.ics</d:href><d:propstat><d:prop><d:getetag>"a1"</d:getetag>'
                       b'<c:calendar-data><![CDATA[' + CDATA_BODY + b']]></c:calendar-data></d:prop>'
                       b'<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>', xml)
        elif mode == "rscale":
            self.reply(207, b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">'
                       b'<d:response><d:href>/rscale/cal/</d:href><d:propstat><d:prop><c:supported-rscale-set>'
                       b'<c:supported-rscale>GREGORIAN</c:supported-rscale><c:supported-rscale>CHINESE</c:supported-rscale>'
                       b'</c:supported-rscale-set></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>'
                       b'</d:response></d:multistatus>', xml)
        elif mode == "notoken":
            # A sync report answered as a plain multistatus, without a sync-token.
            self.reply(207, b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"/>', xml)
        elif mode == "race412":
            # Lists an empty calendar, then refuses every write: another client was quicker.
            self.reply(412 if self.command == "PUT" else 207, b"" if self.command == "PUT" else EMPTY, xml)
        else:
            self.reply(404)

    def elsewhere(self, xml):
        """Discovery that moves to another name of this computer, as iCloud moves to another host:
        the start names a home on localhost; only a request that arrives there finds it. Of the
        calendars there, only cal/ takes events and may be written."""
        port = self.server.server_address[1]
        on_home_host = self.headers.get("Host", "").startswith("localhost:")
        ns = b'<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">'

        def response(href, props):
            return (b"<d:response><d:href>" + href + b"</d:href><d:propstat><d:prop>" + props +
                    b"</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>")

        def calendar(href, comps, privileges):
            return response(href, b"<d:resourcetype><d:collection/><c:calendar/></d:resourcetype>"
                            b"<d:displayname>" + href.rsplit(b"/", 2)[1] + b"</d:displayname>"
                            b"<c:supported-calendar-component-set>" +
                            b"".join(b'<c:comp name="%s"/>' % c for c in comps) +
                            b"</c:supported-calendar-component-set><d:current-user-privilege-set>" +
                            b"".join(b"<d:privilege><d:%s/></d:privilege>" % p for p in privileges) +
                            b"</d:current-user-privilege-set>")
        if self.path.startswith("/elsewhere/home/") and on_home_host and self.command == "PROPFIND":
            body = ns + response(b"/elsewhere/home/", b"<d:resourcetype><d:collection/></d:resourcetype>")
            body += calendar(b"/elsewhere/home/cal/", [b"VEVENT", b"VTODO"], [b"read", b"write"])
            body += calendar(b"/elsewhere/home/tasks/", [b"VTODO"], [b"all"])
            body += calendar(b"/elsewhere/home/shared/", [b"VEVENT"], [b"read"])
            body += calendar(b"https://evil.example/cal/", [b"VEVENT"], [b"all"])
            self.reply(207, body + b"</d:multistatus>", xml)
        elif self.path.rstrip("/") == "/elsewhere" and self.command == "PROPFIND":
            home = b"http://localhost:%d/elsewhere/home/" % port
            self.reply(207, ns + response(b"/elsewhere/", b"<c:calendar-home-set><d:href>" + home +
                                          b"</d:href></c:calendar-home-set>") + b"</d:multistatus>", xml)
        elif self.path.rstrip("/") == "/elsewhere/far" and self.command == "PROPFIND":
            home = b"http://127.0.0.2:%d/elsewhere/home/" % port
            self.reply(207, ns + response(b"/elsewhere/far/", b"<c:calendar-home-set><d:href>" + home +
                                          b"</d:href></c:calendar-home-set>") + b"</d:multistatus>", xml)
        else:
            self.reply(404)

    do_GET = do_PUT = do_DELETE = do_PROPFIND = do_REPORT = handle_any

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1], "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
