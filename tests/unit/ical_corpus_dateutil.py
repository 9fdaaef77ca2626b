#!/usr/bin/python3
"""A second reader of the corpus: python-icalendar with dateutil's rules. Prints, for every
event that starts on a DATE (no time zone to disagree on), the days it shows from 2020 to 2030:
"file<TAB>UID#n<TAB>YYYYMMDD,..." (n counts events of one UID in file order). Files or events
the library cannot read are left out."""
import datetime
import os
import sys

from dateutil.rrule import rruleset, rrulestr
from icalendar import Calendar

FIRST, LAST = datetime.date(1990, 1, 1), datetime.date(2035, 12, 31)


def as_date(v):
    return v.date() if isinstance(v, datetime.datetime) else v


def dates(prop):
    """The dates of an EXDATE or RDATE property (one or several lines)."""
    for line in prop if isinstance(prop, list) else [prop]:
        for d in line.dts:
            if not isinstance(d.dt, tuple):
                yield as_date(d.dt)


def days_of(ev):
    start = ev.decoded("DTSTART")
    length = 1
    if "DTEND" in ev:
        length = max(1, (as_date(ev.decoded("DTEND")) - start).days)
    elif "DURATION" in ev:
        length = max(1, ev.decoded("DURATION").days)
    rs = rruleset()
    first = datetime.datetime.combine(start, datetime.time())
    rs.rdate(first)
    if "RRULE" in ev:
        rule = ev["RRULE"].to_ical().decode()
        if "RSCALE" in rule.upper():
            return None
        rs.rrule(rrulestr(rule, dtstart=first, ignoretz=True))
    for d in dates(ev.get("RDATE", [])):
        rs.rdate(datetime.datetime.combine(d, datetime.time()))
    for d in dates(ev.get("EXDATE", [])):
        rs.exdate(datetime.datetime.combine(d, datetime.time()))
    out = set()
    for t in rs.between(datetime.datetime.combine(FIRST, datetime.time()) - datetime.timedelta(days=length),
                        datetime.datetime.combine(LAST, datetime.time()), inc=True):
        for i in range(length):
            d = t.date() + datetime.timedelta(days=i)
            if FIRST <= d <= LAST:
                out.add(d)
    return out


def main(folder):
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".ics"):
            continue
        try:
            with open(os.path.join(folder, name), "rb") as f:
                cals = Calendar.from_ical(f.read(), multiple=True)
        except Exception:
            continue
        seen = {}
        for cal in cals:
            overridden = set()
            for ev in cal.walk("VEVENT"):
                if "RECURRENCE-ID" in ev:
                    overridden.add(str(ev.get("UID", "")))
            for ev in cal.walk("VEVENT"):
                if "RECURRENCE-ID" in ev or "DTSTART" not in ev:
                    continue
                uid = str(ev.get("UID", ""))
                key = "%s#%d" % (uid, seen.get(uid, 0))
                seen[uid] = seen.get(uid, 0) + 1
                if str(ev.get("STATUS", "")).upper() == "CANCELLED" or uid in overridden:
                    continue
                try:
                    if isinstance(ev.decoded("DTSTART"), datetime.datetime):
                        continue
                    days = days_of(ev)
                except Exception:
                    continue
                if days is not None:
                    print("%s\t%s\t%s" % (name, key, ",".join(d.strftime("%Y%m%d") for d in sorted(days))))


if __name__ == "__main__":
    main(sys.argv[1])
