// almanac-days: lunar-javascript's almanac of every day from FROM through TO (YYYY-MM-DD), one
// tab-separated line per day in the columns of `almanix-cal --days` 1 and 15-20: date, the
// stems and branches of year, month and day, 宜, 忌, and the clash with the direction of 煞.
//   node almanac_days.js FROM TO
'use strict';
const { Solar } = require('lunar-javascript');

function parse(text) {
  const m = /^(\d{4})-(\d{2})-(\d{2})$/.exec(text || '');
  if (!m) throw new Error(`not a date: ${text}`);
  return Date.UTC(+m[1], +m[2] - 1, +m[3]);
}
const pad = (n) => String(n).padStart(2, '0');
const [from, to] = [parse(process.argv[2]), parse(process.argv[3])];
const lines = [];
for (let t = from; t <= to; t += 86400000) {
  const d = new Date(t);
  const lunar = Solar.fromYmd(d.getUTCFullYear(), d.getUTCMonth() + 1, d.getUTCDate()).getLunar();
  lines.push([
    `${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())}`,
    lunar.getYearInGanZhi(), lunar.getMonthInGanZhi(), lunar.getDayInGanZhi(),
    lunar.getDayYi().join(' '), lunar.getDayJi().join(' '),
    `冲${lunar.getDayChongShengXiao()}(${lunar.getDayChongGan()}${lunar.getDayChong()}) 煞${lunar.getDaySha()}`,
  ].join('\t'));
}
process.stdout.write(lines.join('\n') + '\n');
