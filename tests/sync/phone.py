#!/usr/bin/python3
"""phone.py: a phone for the sync tests, another real CalDAV client (Debian's python3-caldav
with python3-icalendar) that makes and edits events the way a phone's calendar does.

    /usr/bin/python3 tests/sync/phone.py URL USER PASS CALENDAR ACTION [ARGS...]

URL is the server (ALMANIX_DAV_URL), CALENDAR the calendar's path on it (/almanix/cal/) or a
full URL. Run /usr/bin/python3 (the system's, which has python3-caldav), not another python3
on the PATH. Dates are YYYYMMDD, times of day HHMM-HHMM (start-end, in Asia/Shanghai; the event
carries its VTIMEZONE). The exit status is 0 on success, 1 when the server refused or the event
is missing, 2 on a wrong command line.

Actions:
  add UID DATE SUMMARY [--time HHMM-HHMM] [--days N] [--description TEXT] [--location TEXT]
      [--attendee MAILTO] [--alarm TRIGGER] [--rrule RULE] [--href NAME] [--x NAME=VALUE]...
        A new event: all-day over N days (1) with DTEND, or timed with DTEND; ATTENDEE and
        VALARM (DISPLAY, TRIGGER as given: --alarm=-PT15M, with "=" before a minus); --rrule FREQ=YEARLY makes it
        recurring. Stored as NAME (UID.ics). Prints the event's href.
  add-raw HREF-NAME < FILE.ics
        Stores the iCalendar text from standard input as it is.
  move UID DATE          the event (its first occurrence) to another day, time and length kept
  retime UID HHMM-HHMM   another time of day (an all-day event becomes timed)
  override UID DATE [--date DATE] [--time HHMM-HHMM] [--summary TEXT]
        An override (RECURRENCE-ID) of the recurring event's occurrence on DATE: moved to
        another day or time, or retitled; replaces an override of that occurrence.
  cancel UID DATE [--exdate]
        Cancels the occurrence on DATE: an override with STATUS:CANCELLED, or with --exdate an
        EXDATE in the recurring event (and no override of it).
  retitle UID SUMMARY    changes SUMMARY only (of every component of the event)
  delete UID             deletes the event
  empty                  deletes every object of the calendar
  list                   one JSON object per line for every VEVENT (overrides too), sorted by
                         UID and RECURRENCE-ID:
        {"uid", "recurrence_id", "dtstart", "summary", "description", "href", "props"}
        "props" holds the other properties, the event's "non-text" ones, in a stable form
        (name -> sorted list of "PARAM=v;...:value"; RRULE parts in one order, RDATE and EXDATE
        one value each, VALUE parameters left out), VALARMs under "VALARM" as such dicts. Left
        out as well: UID, DTSTAMP, LAST-MODIFIED, CREATED and SEQUENCE, which any client may
        change on an edit. Two listings compare equal when the events mean the same, whatever
        the server rewrote (Cyrus splits RDATE lines and reorders rule parts).
  raw UID                prints the event's iCalendar text as the server has it

From a sync test under Wine, through the server script's control folder (sync_support's Shell):
the scripts (dav_common.sh) give the commands they run the bash function "phone", this program
with the server's URL, user and password:
  Shell("phone /almanix/cal/ add ev1 20261207 会议 --time 0900-1000 --alarm=-PT15M", rc);
  Shell("phone /almanix/cal/ list", rc);   // the output: the listing; rc: the exit status
"""
import argparse
import datetime
import json
import sys
import urllib.parse
import uuid

import caldav
import icalendar

TZID = "Asia/Shanghai"
VTIMEZONE = ("BEGIN:VTIMEZONE\r\nTZID:Asia/Shanghai\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
             "TZOFFSETFROM:+0800\r\nTZOFFSETTO:+0800\r\nTZNAME:CST\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n")
VOLATILE = {"UID", "DTSTAMP", "LAST-MODIFIED", "CREATED", "SEQUENCE"}
TEXT = {"SUMMARY", "DESCRIPTION"}


class Refused(Exception):
    pass


def parse_date(s):
    return datetime.datetime.strptime(s, "%Y%m%d").date()


def parse_times(s):
    a, b = s.split("-")
    return (datetime.datetime.strptime(a, "%H%M").time(), datetime.datetime.strptime(b, "%H%M").time())


def stamp():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y%m%dT%H%M%SZ")


def escape(text):
    return text.replace("\\", "\\\\").replace(";", "\\;").replace(",", "\\,").replace("\n", "\\n")


def fold(line):
    """Folds a content line at 75 octets, never inside a UTF-8 character."""
    raw = line.encode("utf-8")
    out, first = [], True
    while raw:
        limit = 75 if first else 74
        cut = min(limit, len(raw))
        while cut < len(raw) and (raw[cut] & 0xC0) == 0x80:
            cut -= 1
        out.append((b"" if first else b" ") + raw[:cut])
        raw, first = raw[cut:], False
    return b"\r\n".join(out).decode("utf-8")


# --- the server -------------------------------------------------------------------------------

class Phone:
    def __init__(self, url, user, password, calendar):
        self.client = caldav.DAVClient(url=url, username=user, password=password, timeout=60)
        self.cal = caldav.Calendar(client=self.client, url=urllib.parse.urljoin(url, calendar))

    def events(self):
        """(href, icalendar.Calendar, caldav object) for every object with a VEVENT."""
        out = []
        for obj in self.cal.events():
            text = obj.data
            if not text:
                obj.load()
                text = obj.data
            cal = icalendar.Calendar.from_ical(text)
            if any(c.name == "VEVENT" for c in cal.walk()):
                out.append((str(urllib.parse.urlparse(str(obj.url)).path), cal, obj))
        return out

    def find(self, uid):
        for href, cal, obj in self.events():
            if any(str(c.get("UID")) == uid for c in cal.walk("VEVENT")):
                return href, cal, obj
        raise Refused("no event with UID " + uid)

    def put(self, obj, cal):
        """Writes the edited event back over the version read (If-Match its ETag), as phones do."""
        url = str(obj.url)
        headers = {"Content-Type": "text/calendar; charset=utf-8"}
        r = self.client.request(url, "GET")
        etag = r.headers.get("ETag")
        if etag:
            headers["If-Match"] = etag
        r = self.client.put(url, cal.to_ical(), headers)
        if r.status not in (200, 201, 204):
            raise Refused("PUT %s: %s %s" % (urllib.parse.urlparse(url).path, r.status, r.reason))

    def put_new(self, name, text):
        url = urllib.parse.urljoin(str(self.cal.url), urllib.parse.quote(name))
        r = self.client.put(url, text.encode("utf-8"), {"Content-Type": "text/calendar; charset=utf-8",
                                                        "If-None-Match": "*"})
        if r.status not in (201, 204):
            raise Refused("PUT %s: %s %s" % (name, r.status, r.reason))
        print(urllib.parse.urlparse(url).path)


# --- events -----------------------------------------------------------------------------------

def master_of(cal):
    for c in cal.walk("VEVENT"):
        if "RECURRENCE-ID" not in c:
            return c
    raise Refused("the event has no master component")


def touch(comp):
    """What a phone changes on every edit besides the edit itself."""
    for name in ("DTSTAMP", "LAST-MODIFIED"):
        set_value(comp, name, datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0), {})
    seq = int(comp.get("SEQUENCE", 0))
    if "SEQUENCE" in comp:
        del comp["SEQUENCE"]
    comp.add("SEQUENCE", seq + 1)


def span(comp):
    """(first day, start time or None, length as a timedelta) of a component."""
    start = comp["DTSTART"].dt
    if "DTEND" in comp:
        length = comp["DTEND"].dt - start
    elif "DURATION" in comp:
        length = comp["DURATION"].dt
    else:
        length = datetime.timedelta(days=1) if not isinstance(start, datetime.datetime) else datetime.timedelta(0)
    if isinstance(start, datetime.datetime):
        return start.date(), start.time().replace(tzinfo=None), length
    return start, None, length


def like(comp, day, time):
    """A date or date-time value for DTSTART and its kin in the form the component uses."""
    if time is None:
        return day, {}
    v = datetime.datetime.combine(day, time)
    prop = comp.get("DTSTART")
    if prop is not None and isinstance(prop.dt, datetime.datetime) and "TZID" not in prop.params and \
            prop.dt.tzinfo is not None:
        return v.replace(tzinfo=datetime.timezone.utc), {}
    tzid = prop.params.get("TZID") if prop is not None and isinstance(prop.dt, datetime.datetime) else None
    return v, {"TZID": str(tzid or TZID)}


def add_value(comp, name, value, params):
    """Adds a property; a date value says VALUE=DATE, a date-time carries no VALUE."""
    params = dict(params or {})
    if isinstance(value, datetime.date) and not isinstance(value, datetime.datetime):
        params["VALUE"] = "DATE"
    comp.add(name, value, parameters=params or None)
    prop = comp[name][-1] if isinstance(comp[name], list) else comp[name]
    if isinstance(value, datetime.datetime):
        prop.params.pop("VALUE", None)


def set_value(comp, name, value, params):
    if name in comp:
        del comp[name]
    add_value(comp, name, value, params)


def set_span(comp, day, time, length):
    start, params = like(comp, day, time)
    end = start + length
    if "DURATION" in comp:
        del comp["DURATION"]
    set_value(comp, "DTSTART", start, params)
    set_value(comp, "DTEND", end, params)


def ensure_vtimezone(cal):
    if any(c.name == "VTIMEZONE" and str(c.get("TZID")) == TZID for c in cal.walk("VTIMEZONE")):
        return
    tz = icalendar.Calendar.from_ical("BEGIN:VCALENDAR\r\n" + VTIMEZONE + "END:VCALENDAR\r\n").walk("VTIMEZONE")[0]
    cal.subcomponents.insert(0, tz)


def recurrence_value(master, day):
    """The RECURRENCE-ID (or EXDATE) of the master's occurrence on day."""
    _, time, _ = span(master)
    return like(master, day, time)


def same_recurrence(comp, day):
    rid = comp.get("RECURRENCE-ID")
    if rid is None:
        return False
    v = rid.dt
    return (v.date() if isinstance(v, datetime.datetime) else v) == day


def add(phone, a):
    uid = a.uid
    day = parse_date(a.date)
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Almanix tests//phone.py//EN", "CALSCALE:GREGORIAN"]
    body = ["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:" + stamp(), "CREATED:" + stamp(), "SEQUENCE:0"]
    if a.time:
        t0, t1 = parse_times(a.time)
        s = datetime.datetime.combine(day, t0)
        e = datetime.datetime.combine(day + datetime.timedelta(days=a.days - 1), t1)
        if e <= s:
            e += datetime.timedelta(days=1)
        body += ["DTSTART;TZID=%s:%s" % (TZID, s.strftime("%Y%m%dT%H%M%S")),
                 "DTEND;TZID=%s:%s" % (TZID, e.strftime("%Y%m%dT%H%M%S"))]
    else:
        body += ["DTSTART;VALUE=DATE:" + day.strftime("%Y%m%d"),
                 "DTEND;VALUE=DATE:" + (day + datetime.timedelta(days=a.days)).strftime("%Y%m%d")]
    if a.rrule:
        body.append("RRULE:" + a.rrule)
    body.append("SUMMARY:" + escape(a.summary))
    if a.description is not None:
        body.append("DESCRIPTION:" + escape(a.description))
    if a.location is not None:
        body.append("LOCATION:" + escape(a.location))
    if a.attendee:
        body.append("ORGANIZER;CN=Phone:mailto:phone@example.com")
        body.append("ATTENDEE;CN=%s;PARTSTAT=NEEDS-ACTION;ROLE=REQ-PARTICIPANT;RSVP=TRUE:%s"
                    % (a.attendee.split(":")[-1].split("@")[0], a.attendee))
    for x in a.x:
        name, _, value = x.partition("=")
        body.append("%s:%s" % (name.upper(), escape(value)))
    if a.alarm:
        body += ["BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Reminder", "TRIGGER:" + a.alarm,
                 "X-WR-ALARMUID:" + str(uuid.uuid5(uuid.NAMESPACE_URL, uid + a.alarm)).upper(), "END:VALARM"]
    body.append("END:VEVENT")
    text = "\r\n".join(fold(l) for l in lines) + "\r\n"
    if a.time:
        text += VTIMEZONE
    text += "\r\n".join(fold(l) for l in body) + "\r\nEND:VCALENDAR\r\n"
    phone.put_new(a.href or uid + ".ics", text)


def move(phone, a):
    _, cal, obj = phone.find(a.uid)
    m = master_of(cal)
    _, time, length = span(m)
    set_span(m, parse_date(a.date), time, length)
    touch(m)
    phone.put(obj, cal)


def retime(phone, a):
    _, cal, obj = phone.find(a.uid)
    m = master_of(cal)
    day, time, _ = span(m)
    t0, t1 = parse_times(a.times)
    if time is None:
        ensure_vtimezone(cal)
        for name in ("DTSTART", "DTEND", "DURATION"):
            if name in m:
                del m[name]
    length = datetime.datetime.combine(day, t1) - datetime.datetime.combine(day, t0)
    if length <= datetime.timedelta(0):
        length += datetime.timedelta(days=1)
    set_span(m, day, t0, length)
    touch(m)
    phone.put(obj, cal)


def override(phone, a):
    _, cal, obj = phone.find(a.uid)
    m = master_of(cal)
    if "RRULE" not in m and "RDATE" not in m:
        raise Refused("the event does not recur")
    day = parse_date(a.date)
    o = make_override(cal, m, day)
    _, time, length = span(m)
    new_day = parse_date(a.new_date) if a.new_date else day
    if a.time:
        t0, t1 = parse_times(a.time)
        if time is None:
            raise Refused("an override of an all-day event stays all-day here")
        length = datetime.datetime.combine(day, t1) - datetime.datetime.combine(day, t0)
        time = t0
    set_span(o, new_day, time, length)
    if a.summary is not None:
        set_value(o, "SUMMARY", a.summary, {})
    touch(o)
    phone.put(obj, cal)


def make_override(cal, m, day):
    """A fresh override of the occurrence on day in cal (an old one replaced): master's copy."""
    for c in list(cal.subcomponents):
        if c.name == "VEVENT" and same_recurrence(c, day):
            cal.subcomponents.remove(c)
    o = icalendar.Event()
    for name, value in m.property_items(recursive=False):
        if name in ("BEGIN", "END", "RRULE", "RDATE", "EXDATE", "EXRULE", "SEQUENCE"):
            continue
        o.add(name, value, encode=0)
    for sub in m.subcomponents:
        o.add_component(sub)
    value, params = recurrence_value(m, day)
    set_value(o, "RECURRENCE-ID", value, params)
    _, time, length = span(m)
    set_span(o, day, time, length)
    o.add("SEQUENCE", int(m.get("SEQUENCE", 0)))
    cal.add_component(o)
    return o


def cancel(phone, a):
    _, cal, obj = phone.find(a.uid)
    m = master_of(cal)
    if "RRULE" not in m and "RDATE" not in m:
        raise Refused("the event does not recur")
    day = parse_date(a.date)
    if a.exdate:
        for c in list(cal.subcomponents):
            if c.name == "VEVENT" and same_recurrence(c, day):
                cal.subcomponents.remove(c)
        value, params = recurrence_value(m, day)
        add_value(m, "EXDATE", value, params)
        touch(m)
    else:
        o = make_override(cal, m, day)
        set_value(o, "STATUS", "CANCELLED", {})
        touch(o)
    phone.put(obj, cal)


def retitle(phone, a):
    _, cal, obj = phone.find(a.uid)
    for c in cal.walk("VEVENT"):
        set_value(c, "SUMMARY", a.summary, {})
        touch(c)
    phone.put(obj, cal)


def delete(phone, a):
    _, _, obj = phone.find(a.uid)
    obj.delete()


def empty(phone, a):
    for obj in phone.cal.objects():
        obj.delete()


def add_raw(phone, a):
    phone.put_new(a.name, sys.stdin.buffer.read().decode("utf-8"))


def raw(phone, a):
    _, _, obj = phone.find(a.uid)
    sys.stdout.write(obj.data)


# --- the listing ------------------------------------------------------------------------------

def value_text(name, prop):
    """One value (or several, for RDATE/EXDATE) of a property in a stable text form."""
    params = {k.upper(): str(v) for k, v in getattr(prop, "params", {}).items() if k.upper() != "VALUE"}
    head = ";".join("%s=%s" % (k, params[k]) for k in sorted(params))
    head = (head + ":") if head else ""
    if name in ("RDATE", "EXDATE"):
        out = []
        for d in prop.dts:
            v = d.dt
            if isinstance(v, tuple):  # a period
                out.append(head + "/".join(icalendar.vDDDTypes(x).to_ical().decode() for x in v))
            else:
                out.append(head + icalendar.vDDDTypes(v).to_ical().decode())
        return out
    if isinstance(prop, icalendar.prop.vRecur):
        parts = prop.to_ical().decode().split(";")
        return [head + ";".join(sorted(parts))]
    v = prop.to_ical()
    return [head + (v.decode("utf-8") if isinstance(v, bytes) else str(v))]


def dump(comp, skip):
    props = {}
    for name, prop in comp.property_items(recursive=False):
        name = name.upper()
        if name in ("BEGIN", "END") or name in skip:
            continue
        props.setdefault(name, []).extend(value_text(name, prop))
    for k in props:
        props[k].sort()
    alarms = [dump(s, {"X-WR-ALARMUID", "UID"}) for s in comp.subcomponents if s.name == "VALARM"]
    if alarms:
        props["VALARM"] = sorted(alarms, key=lambda x: json.dumps(x, sort_keys=True, ensure_ascii=False))
    return props


def listing(phone, a):
    rows = []
    for href, cal, _ in phone.events():
        for c in cal.walk("VEVENT"):
            rid = c.get("RECURRENCE-ID")
            rows.append({
                "uid": str(c.get("UID")),
                "recurrence_id": rid.to_ical().decode() if rid is not None else None,
                "dtstart": c["DTSTART"].to_ical().decode() if "DTSTART" in c else None,
                "summary": str(c["SUMMARY"]) if "SUMMARY" in c else None,
                "description": str(c["DESCRIPTION"]) if "DESCRIPTION" in c else None,
                "href": href,
                "props": dump(c, VOLATILE | TEXT | {"RECURRENCE-ID"}),
            })
    rows.sort(key=lambda r: (r["uid"], r["recurrence_id"] or ""))
    for r in rows:
        print(json.dumps(r, sort_keys=True, ensure_ascii=False))


def main():
    p = argparse.ArgumentParser(prog="phone.py", description="A phone's calendar client for the sync tests.")
    p.add_argument("url")
    p.add_argument("user")
    p.add_argument("password")
    p.add_argument("calendar")
    sub = p.add_subparsers(dest="action", required=True)
    s = sub.add_parser("add")
    s.add_argument("uid")
    s.add_argument("date")
    s.add_argument("summary")
    s.add_argument("--time")
    s.add_argument("--days", type=int, default=1)
    s.add_argument("--description")
    s.add_argument("--location")
    s.add_argument("--attendee")
    s.add_argument("--alarm")
    s.add_argument("--rrule")
    s.add_argument("--href")
    s.add_argument("--x", action="append", default=[])
    s.set_defaults(run=add)
    s = sub.add_parser("add-raw")
    s.add_argument("name")
    s.set_defaults(run=add_raw)
    s = sub.add_parser("move")
    s.add_argument("uid")
    s.add_argument("date")
    s.set_defaults(run=move)
    s = sub.add_parser("retime")
    s.add_argument("uid")
    s.add_argument("times")
    s.set_defaults(run=retime)
    s = sub.add_parser("override")
    s.add_argument("uid")
    s.add_argument("date")
    s.add_argument("--date", dest="new_date")
    s.add_argument("--time")
    s.add_argument("--summary")
    s.set_defaults(run=override)
    s = sub.add_parser("cancel")
    s.add_argument("uid")
    s.add_argument("date")
    s.add_argument("--exdate", action="store_true")
    s.set_defaults(run=cancel)
    s = sub.add_parser("retitle")
    s.add_argument("uid")
    s.add_argument("summary")
    s.set_defaults(run=retitle)
    s = sub.add_parser("delete")
    s.add_argument("uid")
    s.set_defaults(run=delete)
    s = sub.add_parser("empty")
    s.set_defaults(run=empty)
    s = sub.add_parser("list")
    s.set_defaults(run=listing)
    s = sub.add_parser("raw")
    s.add_argument("uid")
    s.set_defaults(run=raw)
    a = p.parse_args()
    try:
        a.run(Phone(a.url, a.user, a.password, a.calendar), a)
    except Refused as e:
        print("phone.py: %s" % e, file=sys.stderr)
        return 1
    except caldav.lib.error.DAVError as e:
        print("phone.py: the server refused: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
