// Writes the ical.js samples of this folder (npm install ical.js, then node make_icaljs.mjs).
import ICAL from 'ical.js';
import { writeFileSync } from 'node:fs';

function zone(tzid, parts) {
  const vtz = new ICAL.Component('vtimezone');
  vtz.addPropertyWithValue('tzid', tzid);
  for (const p of parts) {
    const c = new ICAL.Component(p.kind);
    c.addPropertyWithValue('dtstart', ICAL.Time.fromDateTimeString(p.start));
    c.addPropertyWithValue('tzoffsetfrom', ICAL.UtcOffset.fromString(p.from));
    c.addPropertyWithValue('tzoffsetto', ICAL.UtcOffset.fromString(p.to));
    if (p.rule) c.addPropertyWithValue('rrule', ICAL.Recur.fromString(p.rule));
    c.addPropertyWithValue('tzname', p.name);
    vtz.addSubcomponent(c);
  }
  return vtz;
}

function event(cal, uid, summary, start, extra = {}) {
  const ev = new ICAL.Component('vevent');
  const e = new ICAL.Event(ev);
  e.uid = uid;
  ev.addPropertyWithValue('dtstamp', ICAL.Time.fromDateTimeString('2026-12-01T08:00:00Z'));
  e.summary = summary;
  const p = ev.addPropertyWithValue('dtstart', start);
  if (extra.tzid) p.setParameter('tzid', extra.tzid);
  if (extra.end) ev.addPropertyWithValue('dtend', extra.end);
  if (extra.description) e.description = extra.description;
  if (extra.rrule) ev.addPropertyWithValue('rrule', ICAL.Recur.fromString(extra.rrule));
  cal.addSubcomponent(ev);
}

const date = (s) => ICAL.Time.fromDateString(s);
const utc = (s) => ICAL.Time.fromDateTimeString(s);
const local = (s) => { const t = ICAL.Time.fromDateTimeString(s); t.zone = ICAL.Timezone.localTimezone; return t; };

// A Shanghai user's calendar: UTC times, all-day days, rules, escapes, long folded texts.
const sh = new ICAL.Component(['vcalendar', [], []]);
sh.addPropertyWithValue('prodid', '-//ical.js sample//Shanghai//EN');
sh.addPropertyWithValue('version', '2.0');
sh.addPropertyWithValue('x-wr-timezone', 'Asia/Shanghai');
sh.addSubcomponent(zone('Asia/Shanghai', [{ kind: 'standard', start: '1970-01-01T00:00:00', from: '+08:00', to: '+08:00', name: 'CST' }]));
event(sh, 'call@sample', 'Team call', utc('2024-05-01T16:30:00Z'));
event(sh, 'boat@sample', '端午节; 放假, 回家', date('2024-06-10'), { end: date('2024-06-11'), description: '端午节; 放假, 回家\n带粽子 \\ 咸蛋' });
event(sh, 'bday@sample', '妈妈生日', date('1990-03-15'), { rrule: 'FREQ=YEARLY' });
event(sh, 'gym@sample', '健身', date('2024-01-03'), { rrule: 'FREQ=WEEKLY;BYDAY=WE' });
event(sh, 'long@sample', '读书会', date('2024-07-07'),
  { description: '读书会：' + '这是一段很长的中文说明，用来检查折行不会切断一个字。'.repeat(4) });
event(sh, 'rent@sample', 'Pay rent', date('2024-02-01'), { rrule: 'FREQ=MONTHLY;BYMONTHDAY=1' });
event(sh, 'trip@sample', '旅行', date('2024-10-01'), { end: date('2024-10-08') });
writeFileSync('icaljs_shanghai.ics', sh.toString() + '\r\n');
writeFileSync('icaljs_shanghai_lf.ics', (sh.toString() + '\r\n').replace(/\r\n/g, '\n'));

// A New York user's calendar: TZID times and UTC times across the change to summer time.
const ny = new ICAL.Component(['vcalendar', [], []]);
ny.addPropertyWithValue('prodid', '-//ical.js sample//New York//EN');
ny.addPropertyWithValue('version', '2.0');
ny.addPropertyWithValue('x-wr-timezone', 'America/New_York');
ny.addSubcomponent(zone('America/New_York', [
  { kind: 'daylight', start: '2007-03-11T02:00:00', from: '-05:00', to: '-04:00', rule: 'FREQ=YEARLY;BYMONTH=3;BYDAY=2SU', name: 'EDT' },
  { kind: 'standard', start: '2007-11-04T02:00:00', from: '-04:00', to: '-05:00', rule: 'FREQ=YEARLY;BYMONTH=11;BYDAY=1SU', name: 'EST' },
]));
event(ny, 'late@sample', 'Late show', local('2024-03-10T23:30:00'), { tzid: 'America/New_York' });
event(ny, 'summer@sample', 'Summer call', utc('2024-07-01T03:00:00Z'));
event(ny, 'winter@sample', 'Winter call', utc('2024-01-15T03:00:00Z'));
event(ny, 'float@sample', 'Floating breakfast', local('2024-04-02T07:15:00'));
writeFileSync('icaljs_newyork.ics', ny.toString() + '\r\n');
