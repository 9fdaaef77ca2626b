#!/usr/bin/env python3
"""holiday_server.py PORTFILE FIXTURES: a loopback web server with the holiday files a download
may meet. /<mode>/<year>.json, the mode picks the reply; the port goes to PORTFILE."""
import http.server
import json
import os
import sys
import threading


def year_file(year, days):
    return json.dumps({"year": year, "papers": [], "days": days}, ensure_ascii=False).encode()


def day(name, date, off=True):
    return {"name": name, "date": date, "isOffDay": off}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    never = threading.Event()

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = self.path.strip("/").split("/")
        if len(parts) != 2 or not parts[1].endswith(".json"):
            return self.reply(404)
        mode, year = parts[0], int(parts[1][:-5])
        fixture = os.path.join(sys.argv[2], "%d.json" % year)
        if mode == "good" and os.path.exists(fixture):
            with open(fixture, "rb") as f:
                self.reply(200, f.read(), [("Content-Type", "application/json")])
        elif mode == "moved":
            self.reply(302, b"", [("Location", "/good/%d.json" % year)])
        elif mode == "tohttp":
            self.reply(301, b"", [("Location", "http://www.example.com/good/%d.json" % year)])
        elif mode == "empty":
            self.reply(200, year_file(year, []))
        elif mode == "malformed":
            self.reply(200, year_file(year, [day("元旦", "%d-01-01" % year)])[:-3])
        elif mode == "wrongyear":
            self.reply(200, year_file(year + 1, [day("元旦", "%d-01-01" % (year + 1))]))
        elif mode == "outside":
            self.reply(200, year_file(year, [day("元旦", "%d-01-01" % year), day("元旦", "%d-07-01" % (year + 1))]))
        elif mode == "emptyname":
            self.reply(200, year_file(year, [day("", "%d-01-01" % year)]))
        elif mode == "huge":
            self.reply(200, year_file(year, [day("元旦", "%d-01-01" % year)] * 20000))
        elif mode == "silent":
            Handler.never.wait()
        else:
            self.reply(404, b"<html>Not Found</html>")

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
server.serve_forever()
