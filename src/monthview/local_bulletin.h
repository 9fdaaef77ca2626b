// What the bulletin line shows while no item from the server is shown: the next holiday, the
// next solar term, and today's and tomorrow's memos. "下一篇" steps through them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/solar_date.h"

enum LocalBulletinKind { LOCAL_BULLETIN_HOLIDAY, LOCAL_BULLETIN_TERM, LOCAL_BULLETIN_MEMO };

struct LocalBulletinItem {
    LocalBulletinKind m_nKind;
    std::string m_strText;  // GBK
    SolarDate m_date;       // the day the item is about (a memo's day: a click opens it)
};

// The memo texts of a day, one per memo, in the tip's order.
using DayMemoReader = std::function<std::vector<std::string>(const SolarDate&)>;

// The items for `today`, in this order, each only when there is one:
//   "距春节（2月17日）还有 1 天，放假 2月15日至2月23日" (on the festival "今天是春节，...", later in
//   its days off "春节假期还有 2 天，...", today counted); when the next festival's year has
//   no schedule yet and no known holiday comes first, "距元旦（1月1日）还有 25 天，2027 年放假
//   安排尚未公布";
//   "12月21日 冬至" (on its day "今天 冬至");
//   "今天：生日" and "明天：生日": the first line of a memo, one item for each memo.
// Every text keeps its gist before its first "，": a line too narrow for the whole text shows
// that part.
std::vector<LocalBulletinItem> BuildLocalBulletinItems(const SolarDate& today, const DayMemoReader& memosOf);

// The memo texts of a day from the memo files of the current directory (a month model of the
// day's month): weekly, one-off, Gregorian-yearly and lunar-yearly.
std::vector<std::string> ReadDayMemos(const SolarDate& day);
