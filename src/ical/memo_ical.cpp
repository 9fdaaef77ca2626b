#include "ical/memo_ical.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <tuple>

#include "engine/lunar.h"
#include "ical/ical_format.h"
#include "ical/ical_time.h"
#include "ical/lunar_rule.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "text/gbcodec.h"

namespace {

struct CssColor {
    const char* m_pszName;
    std::uint32_t m_nRgb;  // 0xRRGGBB
};
const CssColor kCssColors[] = {
#include "ical/css_colors.inc"
};

const char kProdId[] = "-//Kestrin//Almanix 2.18//ZH";
const char kUidDomain[] = "@almanix.memo";
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2049;

const char* const kByDay[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

std::string Format(const char* pattern, int a, int b = 0, int c = 0)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, a, b, c);
    return buf;
}

// "YYYY-MM-DD" of a day count.
std::string FormatDay(long nDays)
{
    int y, m, d;
    CivilFromDays(nDays, y, m, d);
    return Format("%04d-%02d-%02d", y, m, d);
}

// Where a memo lives, for notes: "one-off 2024-05-01", "lunar-yearly 08-15", "weekly 3".
std::string PlaceOf(const MemoItem& m)
{
    switch (m.m_nKind) {
    case MEMO_KIND_ONCE:
        return Format("one-off %04d-%02d-%02d", m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
    case MEMO_KIND_SOLAR_YEARLY:
        return Format("yearly %02d-%02d", m.m_nFileMonth, m.m_nSlot);
    case MEMO_KIND_LUNAR_YEARLY:
        return Format("lunar-yearly %02d-%02d", m.m_nFileMonth, m.m_nSlot);
    default:
        return Format("weekly %d", m.m_nSlot);
    }
}

// Bytes of the GB18030 character at s[i] (1, 2 or 4), never past the end.
std::size_t GbCharLength(std::string_view s, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size())
        return 1;
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second >= 0x30 && second <= 0x39)
        return std::min<std::size_t>(4, s.size() - i);
    return 2;
}

// The longest start of text of at most nMax bytes that ends on a character boundary and not
// between CR and LF.
std::string_view CutGb(std::string_view text, std::size_t nMax)
{
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t n = GbCharLength(text, end);
        if (end + n > nMax)
            break;
        end += n;
    }
    if (end > 0 && end < text.size() && text[end - 1] == '\r' && text[end] == '\n')
        --end;
    return text.substr(0, end);
}

bool IsDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// ---------------------------------------------------------------- export

// Days the memo shows on in the calendar's months, or none: a slot no shown day has.
bool FirstShownDay(const MemoItem& m, long& nFirst)
{
    switch (m.m_nKind) {
    case MEMO_KIND_ONCE:
        if (!IsValidSolarDate(m.m_nFileYear, m.m_nFileMonth, m.m_nSlot))
            return false;
        nFirst = DaysFromCivil(m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
        return true;
    case MEMO_KIND_SOLAR_YEARLY:
        for (int y = kFirstYear; y <= kLastYear; ++y) {
            if (!IsValidSolarDate(y, m.m_nFileMonth, m.m_nSlot))
                continue;
            const long d = DaysFromCivil(y, m.m_nFileMonth, m.m_nSlot);
            if (d < ::FirstShownDay())
                continue;
            nFirst = d;
            return true;
        }
        return false;
    case MEMO_KIND_LUNAR_YEARLY: {
        const std::vector<long> days = GridLunarDays(m.m_nFileMonth, m.m_nSlot);
        if (days.empty())
            return false;
        nFirst = days.front();
        return true;
    }
    case MEMO_KIND_WEEKLY:
        if (m.m_nSlot < 0 || m.m_nSlot > 6)
            return false;
        nFirst = ::FirstShownDay();
        for (;; ++nFirst) {
            int y, mo, d;
            CivilFromDays(nFirst, y, mo, d);
            if (DayOfWeek(y, mo, d) == m.m_nSlot)
                break;
        }
        return true;
    default:
        return false;
    }
}

std::string Uid(const MemoItem& m, long nExpandedDay = -1)
{
    std::string uid;
    switch (m.m_nKind) {
    case MEMO_KIND_ONCE:
        uid = Format("once-%04d%02d%02d", m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
        break;
    case MEMO_KIND_SOLAR_YEARLY:
        uid = Format("yearly-%02d%02d", m.m_nFileMonth, m.m_nSlot);
        break;
    case MEMO_KIND_LUNAR_YEARLY:
        uid = Format("lunar-%02d%02d", m.m_nFileMonth, m.m_nSlot);
        break;
    default:
        uid = Format("weekly-%d", m.m_nSlot);
        break;
    }
    if (nExpandedDay >= 0)
        uid += "-" + FormatDate(nExpandedDay);
    return uid + kUidDomain;
}

std::string HexColor(std::uint32_t colorref)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
    return buf;
}

// A comma list of dates, for RDATE and EXDATE.
std::string DateList(const std::vector<long>& days)
{
    std::string s;
    for (long d : days) {
        if (!s.empty())
            s += ',';
        s += FormatDate(d);
    }
    return s;
}

void WriteEventHead(CIcalWriter& w, const MemoItem& m, const std::string& uid, long nStart, const ExportOptions& o)
{
    w.Line("BEGIN", "VEVENT");
    w.Line("UID", uid);
    w.Line("DTSTAMP", o.m_stamp);
    w.Line("DTSTART;VALUE=DATE", FormatDate(nStart));
    WriteMemoText(w, m.m_text);
    WriteMemoColour(w, m);
    w.Line("TRANSP", "TRANSPARENT");
}

}  // namespace

void WriteMemoText(CIcalWriter& w, const std::string& gbText)
{
    const std::string utf8 = almanix::GbToUtf8(gbText);
    const std::size_t nl = utf8.find("\r\n");
    w.Line("SUMMARY", EscapeText(utf8.substr(0, nl)));
    if (nl == std::string::npos)
        return;
    w.Line("DESCRIPTION", EscapeText(utf8.substr(nl + 2)));
    w.Line(kRestMarkName, kRestMarkValue);
}

void WriteMemoColour(CIcalWriter& w, const MemoItem& m)
{
    w.Line("COLOR", NearestCssColor(GetMemoColor(m.m_dwFlags, m.m_nKind)));
    const std::uint32_t custom = MEMO_CUSTOM_COLOR | (m.m_dwFlags & 0xFFFFFF);
    if (m.m_dwFlags == custom)
        w.Line("X-ALMANIX-COLOR", HexColor(m.m_dwFlags));
    else if (m.m_dwFlags != 0)
        w.Line("X-ALMANIX-FLAGS", Format("%08X", static_cast<int>(m.m_dwFlags)));
}

const char* NearestCssColor(std::uint32_t colorref)
{
    const int r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
    const CssColor* best = &kCssColors[0];
    long bestDistance = -1;
    for (const CssColor& c : kCssColors) {
        const int dr = static_cast<int>(c.m_nRgb >> 16) - r;
        const int dg = static_cast<int>((c.m_nRgb >> 8) & 0xFF) - g;
        const int db = static_cast<int>(c.m_nRgb & 0xFF) - b;
        const long distance = 1L * dr * dr + 1L * dg * dg + 1L * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = &c;
            bestDistance = distance;
        }
    }
    return best->m_pszName;
}

std::string DefaultCalendarFolder()
{
    return std::string(MEMO_CALENDAR_FOLDER) + "\\";
}

std::string MemoFileOf(const std::string& folder, const MemoItem& m)
{
    if (m.m_nKind == MEMO_KIND_WEEKLY)
        return folder + "week";
    return folder + Format("%d%02d", m.m_nFileYear, m.m_nFileMonth);
}

std::vector<MemoItem> ReadMemoFolder(const std::string& folder, std::vector<ExchangeNote>& notes)
{
    std::vector<MemoItem> memos;
    auto readFile = [&](int nKind, int nYear, int nMonth) {
        MemoItem probe;
        probe.m_nKind = nKind;
        probe.m_nFileYear = nYear;
        probe.m_nFileMonth = nMonth;
        const std::string name = MemoFileOf(folder, probe);
        CMemoStore store;
        if (store.Reset(nKind == MEMO_KIND_WEEKLY ? MEMO_WEEK_MAX_INDEX : MEMO_MONTH_MAX_INDEX, name.c_str()) != 0)
            return;
        if (store.Load() != 0)
            notes.push_back({0, almanix::GbToUtf8(name), ExchangeWhy::DamagedFileRead, ""});
        for (int i = 0; i <= store.m_nMaxIndex; ++i) {
            const CMemoEntry& e = store.m_pEntries[i];
            if (!e.m_pszText || e.m_nLength == 0 || e.m_pszText[0] == '\0')
                continue;
            MemoItem m = probe;
            m.m_nSlot = i;
            m.m_dwFlags = e.m_dwFlags;
            m.m_text.assign(e.m_pszText, e.m_nLength);
            memos.push_back(std::move(m));
        }
    };
    for (int y = kFirstYear; y <= kLastYear; ++y)
        for (int mo = 1; mo <= 12; ++mo)
            readFile(MEMO_KIND_ONCE, y, mo);
    for (int mo = 1; mo <= 12; ++mo)
        readFile(MEMO_KIND_SOLAR_YEARLY, 1, mo);
    for (int mo = 1; mo <= 12; ++mo)
        readFile(MEMO_KIND_LUNAR_YEARLY, 0, mo);
    readFile(MEMO_KIND_WEEKLY, 0, 0);
    return memos;
}

std::string ExportIcal(const std::vector<MemoItem>& memos, const ExportOptions& o, ExportReport& report)
{
    report = ExportReport{};
    CIcalWriter w;
    w.Line("BEGIN", "VCALENDAR");
    w.Line("VERSION", "2.0");
    w.Line("PRODID", kProdId);
    w.Line("CALSCALE", "GREGORIAN");
    const bool bExpand = o.m_nExpandFrom > 0 && o.m_nExpandTo >= o.m_nExpandFrom;
    for (const MemoItem& m : memos) {
        long nStart = 0;
        if (m.m_nKind < MEMO_KIND_ONCE || m.m_nKind > MEMO_KIND_WEEKLY || !FirstShownDay(m, nStart)) {
            report.m_notes.push_back({0, PlaceOf(m), ExchangeWhy::NeverShown, ""});
            continue;
        }
        if (m.m_nKind == MEMO_KIND_LUNAR_YEARLY && bExpand) {
            const std::string lunar = Format("%02d-%02d", m.m_nFileMonth, m.m_nSlot);
            for (long d : GridLunarDays(m.m_nFileMonth, m.m_nSlot)) {
                int y, mo, dd;
                CivilFromDays(d, y, mo, dd);
                if (y < o.m_nExpandFrom || y > o.m_nExpandTo)
                    continue;
                WriteEventHead(w, m, Uid(m, d), d, o);
                w.Line("X-ALMANIX-LUNAR", lunar);
                w.Line("END", "VEVENT");
            }
            ++report.m_nEvents[m.m_nKind];
            continue;
        }
        WriteEventHead(w, m, Uid(m), nStart, o);
        switch (m.m_nKind) {
        case MEMO_KIND_SOLAR_YEARLY:
            w.Line("RRULE", Format("FREQ=YEARLY;BYMONTH=%d;BYMONTHDAY=%d", m.m_nFileMonth, m.m_nSlot));
            break;
        case MEMO_KIND_WEEKLY:
            w.Line("RRULE", std::string("FREQ=WEEKLY;BYDAY=") + kByDay[m.m_nSlot]);
            break;
        case MEMO_KIND_LUNAR_YEARLY: {
            // The rule names the ordinary month only: leap-month days go into RDATE, which every
            // reader takes, as do the days where ICU's months differ from the calendar's.
            w.Line("RRULE", Format("RSCALE=CHINESE;FREQ=YEARLY;BYMONTH=%d;BYMONTHDAY=%d", m.m_nFileMonth, m.m_nSlot));
            const std::vector<long> grid = GridLunarDays(m.m_nFileMonth, m.m_nSlot);
            const std::vector<long> rule = IcuRuleDays(m.m_nFileMonth, m.m_nSlot, nStart);
            std::vector<long> add, drop;
            std::set_difference(grid.begin(), grid.end(), rule.begin(), rule.end(), std::back_inserter(add));
            std::set_difference(rule.begin(), rule.end(), grid.begin(), grid.end(), std::back_inserter(drop));
            add.erase(std::remove(add.begin(), add.end(), nStart), add.end());
            if (!add.empty())
                w.Line("RDATE;VALUE=DATE", DateList(add));
            if (!drop.empty())
                w.Line("EXDATE;VALUE=DATE", DateList(drop));
            w.Line("X-ALMANIX-LUNAR", Format("%02d-%02d", m.m_nFileMonth, m.m_nSlot));
            break;
        }
        default:
            break;
        }
        w.Line("END", "VEVENT");
        ++report.m_nEvents[m.m_nKind];
    }
    w.Line("END", "VCALENDAR");
    return std::move(w.Text());
}

// ---------------------------------------------------------------- import

namespace {

bool ParseColor(std::string_view hex, std::uint32_t& colorref)
{
    if (hex.size() != 7 || hex[0] != '#')
        return false;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = hex[i];
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return false;
        rgb = rgb * 16 + static_cast<std::uint32_t>(v);
    }
    colorref = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

std::uint32_t FlagsOf(const IcalComponent& ev, bool bOurs)
{
    std::uint32_t c = 0;
    if (const IcalProperty* p = ev.Find("X-ALMANIX-FLAGS")) {
        if (p->m_value.size() == 8) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(p->m_value.c_str(), &end, 16);
            if (end && *end == '\0')
                return static_cast<std::uint32_t>(v);
        }
    }
    if (const IcalProperty* p = ev.Find("X-ALMANIX-COLOR"))
        if (ParseColor(p->m_value, c))
            return MEMO_CUSTOM_COLOR | c;
    if (bOurs)
        return 0;  // our COLOR only names the kind's default colour
    if (const IcalProperty* p = ev.Find("COLOR")) {
        std::string name = p->m_value;
        for (char& ch : name)
            if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<char>(ch - 'A' + 'a');
        for (const CssColor& css : kCssColors)
            if (name == css.m_pszName)
                return MEMO_CUSTOM_COLOR | ((css.m_nRgb >> 16) & 0xFF) | (css.m_nRgb & 0xFF00) |
                    ((css.m_nRgb & 0xFF) << 16);
    }
    return 0;
}

// The text of an event: SUMMARY, then DESCRIPTION on the lines below. Ours mark that their
// DESCRIPTION holds only the lines after the summary. Without the mark, a DESCRIPTION that
// begins with the summary repeats it (as some programs and our earlier versions write); and
// in an event of ours whose summary no longer begins its DESCRIPTION, the summary was edited
// elsewhere: it replaces the description's first line.
std::string TextOf(const IcalComponent& ev)
{
    const IcalProperty* s = ev.Find("SUMMARY");
    const IcalProperty* d = ev.Find("DESCRIPTION");
    const std::string summary = s ? UnescapeText(s->m_value) : std::string();
    const std::string description = d ? UnescapeText(d->m_value) : std::string();
    if (description.empty())
        return summary;
    if (summary.empty())
        return description;
    const IcalProperty* mark = ev.Find(kRestMarkName);
    if (!mark || mark->m_value != kRestMarkValue) {
        if (description == summary || description.compare(0, summary.size() + 2, summary + "\r\n") == 0)
            return description;
        const IcalProperty* uid = ev.Find("UID");
        const std::string domain = kUidDomain;
        if (uid && uid->m_value.size() > domain.size() &&
            uid->m_value.compare(uid->m_value.size() - domain.size(), domain.size(), domain) == 0) {
            const std::size_t nl = description.find("\r\n");
            return nl == std::string::npos ? summary : summary + description.substr(nl);
        }
    }
    return summary + "\r\n" + description;
}

// What kind of memo an endless rule is; false when it is none of ours.
bool KindOfRule(const IcalRecur& r, long nStart, MemoItem& m)
{
    if (r.m_nInterval != 1 || r.m_nCount != 0 || r.m_bUntil || r.m_bOtherParts || r.HasRareParts())
        return false;
    int y, mo, d;
    CivilFromDays(nStart, y, mo, d);
    if (r.m_freq == "WEEKLY" && (r.m_rscale.empty() || r.m_rscale == "GREGORIAN")) {
        if (!r.m_byMonth.empty() || !r.m_byMonthDay.empty() || r.m_byDayWeekday.size() > 1)
            return false;
        if (r.m_byDayWeekday.size() == 1 && r.m_byDayOrdinal[0] != 0)
            return false;
        m.m_nKind = MEMO_KIND_WEEKLY;
        m.m_nSlot = r.m_byDayWeekday.empty() ? DayOfWeek(y, mo, d) : r.m_byDayWeekday[0];
        return true;
    }
    if (r.m_freq != "YEARLY" || !r.m_byDayWeekday.empty() || r.m_byMonthDay.size() > 1)
        return false;
    if (r.m_rscale.empty() || r.m_rscale == "GREGORIAN") {
        if (r.m_byMonth.size() > 1 || (r.m_byMonth.size() == 1 && r.m_byMonthLeap[0]))
            return false;
        m.m_nKind = MEMO_KIND_SOLAR_YEARLY;
        m.m_nFileYear = 1;
        m.m_nFileMonth = r.m_byMonth.empty() ? mo : r.m_byMonth[0];
        m.m_nSlot = r.m_byMonthDay.empty() ? d : r.m_byMonthDay[0];
        return m.m_nFileMonth >= 1 && m.m_nFileMonth <= 12 && m.m_nSlot >= 1 &&
            m.m_nSlot <= DaysInMonth(2000, m.m_nFileMonth);
    }
    if (r.m_rscale != "CHINESE")
        return false;
    int lunarMonth = 0, lunarDay = 0;
    bool bLeap = false;
    if (r.m_byMonth.empty() || r.m_byMonthDay.empty()) {
        if (!LunarDateOfDay(nStart, lunarMonth, lunarDay, bLeap))
            return false;
    }
    // BYMONTH may name the month, its leap month, or both: they share one memo.
    for (int n : r.m_byMonth) {
        if (n != r.m_byMonth[0])
            return false;
    }
    if (!r.m_byMonth.empty())
        lunarMonth = r.m_byMonth[0];
    if (!r.m_byMonthDay.empty())
        lunarDay = r.m_byMonthDay[0];
    if (lunarMonth < 1 || lunarMonth > 12 || lunarDay < 1 || lunarDay > 30)
        return false;
    m.m_nKind = MEMO_KIND_LUNAR_YEARLY;
    m.m_nFileYear = 0;
    m.m_nFileMonth = lunarMonth;
    m.m_nSlot = lunarDay;
    return true;
}

// "MM-DD" of X-ALMANIX-LUNAR.
bool ParseLunarTag(std::string_view v, int& nMonth, int& nDay)
{
    if (v.size() != 5 || v[2] != '-' || !IsDigits(v.substr(0, 2)) || !IsDigits(v.substr(3, 2)))
        return false;
    nMonth = (v[0] - '0') * 10 + (v[1] - '0');
    nDay = (v[3] - '0') * 10 + (v[4] - '0');
    return nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= 30;
}

// Joins text below base unless it is there already as whole lines; true when base changed.
bool JoinText(std::string& base, const std::string& text)
{
    if (text.empty())
        return false;
    if (base.empty()) {
        base = text;
        return true;
    }
    const std::string wrapped = "\r\n" + base + "\r\n";
    if (wrapped.find("\r\n" + text + "\r\n") != std::string::npos)
        return false;
    base += "\r\n";
    base += text;
    return true;
}

using SlotKey = std::tuple<int, int, int, int>;  // kind, file year, file month, slot

SlotKey KeyOf(const MemoItem& m)
{
    return {m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot};
}

// ---- reading one event

constexpr std::size_t kMaxOccurrences = 5000;  // of one event: a daily rule over 13 years
constexpr long kMaxEventDays = 400;            // of one occurrence, each marked
constexpr long kSpreadBack = 365;              // an endless rule is spread from a year ago
constexpr long kSpreadAhead = 730;             // to two years ahead

// What every event of one calendar of the file shares.
struct CalendarContext {
    const ImportOptions* m_pOptions = nullptr;
    bool m_bOurs = false;                          // written by this program
    std::map<std::string, CIcalTimeZone> m_zones;  // the file's VTIMEZONEs, then zones known by name
    std::set<std::string> m_unknownZones;          // TZIDs no zone was found for
    long m_nToday = 0;
};

// A DATE or DATE-TIME value on its own clock.
struct EventTime {
    bool m_bTime = false;
    bool m_bUtc = false;
    long m_nDay = 0;                         // its day on its own wall clock
    int m_nSecs = 0;                         // seconds into that day
    const CIcalTimeZone* m_pZone = nullptr;  // TZID's zone; null with a TZID: read as local time
    std::int64_t Wall() const { return static_cast<std::int64_t>(m_nDay) * 86400 + m_nSecs; }
};

// A time on the computer's clock.
struct LocalTime {
    long m_nDay = 0;
    int m_nSecs = 0;
};

long FloorDiv(std::int64_t a, std::int64_t b)
{
    return static_cast<long>(a / b - (a % b < 0 ? 1 : 0));
}

const CIcalTimeZone* ZoneOf(const std::string& tzid, CalendarContext& ctx)
{
    const auto it = ctx.m_zones.find(tzid);
    if (it != ctx.m_zones.end())
        return &it->second;
    CIcalTimeZone zone;
    if (!zone.LoadKnown(tzid)) {
        ctx.m_unknownZones.insert(tzid);
        return nullptr;
    }
    return &ctx.m_zones.emplace(tzid, std::move(zone)).first->second;
}

// One value of a DATE or DATE-TIME property (a list item of EXDATE or RDATE); bAllDay reads a
// DATE-TIME as its wall date (Outlook writes all-day events as midnight).
bool ReadTime(const IcalProperty& p, std::string_view value, bool bAllDay, CalendarContext& ctx, EventTime& t)
{
    IcalDateTime dt;
    if (!ParseDateTime(value, dt))
        return false;
    const std::string* type = p.Param("VALUE");
    if (type && *type == "DATE" && dt.m_bTime)
        return false;
    t = EventTime{};
    t.m_nDay = DaysFromCivil(dt.m_nYear, dt.m_nMonth, dt.m_nDay);
    if (!dt.m_bTime || bAllDay)
        return true;
    t.m_bTime = true;
    t.m_bUtc = dt.m_bUtc;
    t.m_nSecs = dt.m_nHour * 3600 + dt.m_nMinute * 60 + std::min(dt.m_nSecond, 59);
    if (const std::string* tzid = p.Param("TZID"); tzid && !dt.m_bUtc)
        t.m_pZone = ZoneOf(*tzid, ctx);
    return true;
}

// UTC seconds of a DATE-TIME; a floating time (or one in an unknown zone) counts as UTC here,
// which keeps its wall clock through LocalOf.
std::int64_t UtcOf(const EventTime& t)
{
    if (t.m_pZone)
        return t.m_pZone->UtcOf(t.Wall());
    return t.Wall();
}

bool IsFloating(const EventTime& t)
{
    return t.m_bTime && !t.m_bUtc && !t.m_pZone;
}

LocalTime LocalOf(const EventTime& t, const CalendarContext& ctx)
{
    if (!t.m_bTime || IsFloating(t))
        return {t.m_nDay, t.m_nSecs};
    const std::int64_t utc = UtcOf(t);
    const std::int64_t local = utc + (ctx.m_pOptions->m_pfnLocalOffset ? ctx.m_pOptions->m_pfnLocalOffset(utc) : 0);
    const long day = FloorDiv(local, 86400);
    return {day, static_cast<int>(local - static_cast<std::int64_t>(day) * 86400)};
}

// The day of t on the clock of start: how EXDATE and RECURRENCE-ID name an occurrence.
long DayOnClockOf(const EventTime& t, const EventTime& start)
{
    if (!t.m_bTime || !start.m_bTime || IsFloating(t) || IsFloating(start))
        return t.m_nDay;
    const std::int64_t utc = UtcOf(t);
    const int offset = start.m_pZone ? start.m_pZone->OffsetAt(utc) : 0;
    return FloorDiv(utc + offset, 86400);
}

// Items of a comma list, without blanks around them.
std::vector<std::string_view> ListItems(std::string_view s)
{
    std::vector<std::string_view> items;
    for (;;) {
        const std::size_t comma = s.find(',');
        std::string_view item = s.substr(0, comma);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        if (!item.empty())
            items.push_back(item);
        if (comma == std::string_view::npos)
            return items;
        s.remove_prefix(comma + 1);
    }
}

bool IsTrue(const IcalComponent& ev, std::string_view name)
{
    const IcalProperty* p = ev.Find(name);
    return p && (p->m_value == "TRUE" || p->m_value == "true");
}

bool IsCancelled(const IcalComponent& ev)
{
    const IcalProperty* p = ev.Find("STATUS");
    return p && (p->m_value == "CANCELLED" || p->m_value == "cancelled");
}

// Text with blanks and empty lines gone from both ends and blanks from every line's end.
std::string TrimText(std::string_view text)
{
    std::string out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        while (
            !line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' || line.back() == '\n'))
            line.remove_suffix(1);
        if (out.empty())
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
        if (!out.empty() || !line.empty()) {
            if (!out.empty())
                out += "\r\n";
            out.append(line);
        }
        pos = end + 2;
    }
    while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
        out.resize(out.size() - 2);
    return out;
}

// The memo text of an event (GB18030): its SUMMARY and DESCRIPTION trimmed, read as TextOf
// reads them, then its LOCATION as a line "地点：…" unless the text names that place already.
std::string MemoTextOf(const IcalComponent& ev)
{
    IcalComponent trimmed;
    for (const char* name : {"SUMMARY", "DESCRIPTION", kRestMarkName, "UID"}) {
        if (const IcalProperty* p = ev.Find(name)) {
            IcalProperty copy = *p;
            if (copy.m_name == "SUMMARY" || copy.m_name == "DESCRIPTION")
                copy.m_value = EscapeText(TrimText(UnescapeText(p->m_value)));
            trimmed.m_props.push_back(std::move(copy));
        }
    }
    std::string text = TrimText(TextOf(trimmed));
    if (const IcalProperty* p = ev.Find("LOCATION")) {
        std::string place = TrimText(UnescapeText(p->m_value));
        for (std::size_t nl; (nl = place.find("\r\n")) != std::string::npos;)
            place.replace(nl, 2, ", ");
        if (!place.empty() && text.find(place) == std::string::npos)
            text += (text.empty() ? "" : "\r\n") + std::string(u8"地点：") + place;
    }
    return almanix::Utf8ToGb(text);
}

// One occurrence: where it starts on the event's own clock and on the computer's.
struct Occurrence {
    long m_nRuleDay = 0;  // its day on the event's own clock, as EXDATE and RECURRENCE-ID name it
    bool m_bTime = false;
    LocalTime m_start;
    std::int64_t m_nLength = 0;  // seconds; all-day: whole days in seconds
    const IcalComponent* m_pEvent = nullptr;
};

// An event's start and length as it writes them.
struct EventSpan {
    EventTime m_start;
    std::int64_t m_nLength = 0;
    bool m_bAllDay = false;  // Outlook's midnight start that means a day
};

bool ReadSpan(const IcalComponent& ev, CalendarContext& ctx, EventSpan& span, std::string& bad)
{
    const IcalProperty* start = ev.Find("DTSTART");
    if (!start)
        return false;
    IcalDateTime dt;
    span.m_bAllDay = (IsTrue(ev, "X-MICROSOFT-CDO-ALLDAYEVENT") || IsTrue(ev, "X-MICROSOFT-MSNCALENDAR-ALLDAYEVENT")) &&
        ParseDateTime(start->m_value, dt) && dt.m_nHour == 0 && dt.m_nMinute == 0 && dt.m_nSecond == 0;
    if (!ReadTime(*start, start->m_value, span.m_bAllDay, ctx, span.m_start)) {
        bad = start->m_value;
        return false;
    }
    const EventTime& s = span.m_start;
    span.m_nLength = s.m_bTime ? 0 : 86400;
    std::int64_t seconds = 0;
    if (const IcalProperty* end = ev.Find("DTEND")) {
        EventTime e;
        if (!ReadTime(*end, end->m_value, span.m_bAllDay || !s.m_bTime, ctx, e)) {
            bad = end->m_value;
            return false;
        }
        span.m_nLength = s.m_bTime ? UtcOf(e) - UtcOf(s) : (e.m_nDay - s.m_nDay) * 86400L;
    } else if (const IcalProperty* d = ev.Find("DURATION"); d && ParseDuration(d->m_value, seconds)) {
        span.m_nLength = s.m_bTime ? seconds : seconds / 86400 * 86400;
    }
    if (span.m_nLength < 0 || (!s.m_bTime && span.m_nLength < 86400))
        span.m_nLength = s.m_bTime ? 0 : 86400;
    return true;
}

Occurrence OccurrenceAt(const EventSpan& span, const EventTime& at, const IcalComponent* ev, const CalendarContext& ctx)
{
    Occurrence o;
    o.m_nRuleDay = DayOnClockOf(at, span.m_start);
    o.m_bTime = at.m_bTime;
    o.m_start = LocalOf(at, ctx);
    o.m_nLength = span.m_nLength;
    o.m_pEvent = ev;
    return o;
}

// The days an occurrence marks on the computer's clock: an all-day end is exclusive, and so
// is a timed end at midnight.
std::pair<long, long> DaysOf(const Occurrence& o)
{
    const std::int64_t start = static_cast<std::int64_t>(o.m_start.m_nDay) * 86400 + o.m_start.m_nSecs;
    const long last = o.m_nLength > 0 ? FloorDiv(start + o.m_nLength - 1, 86400) : o.m_start.m_nDay;
    return {o.m_start.m_nDay, last};
}

// A master event and the events that change its occurrences (RECURRENCE-ID), by UID.
struct EventGroup {
    const IcalComponent* m_pMaster = nullptr;
    std::vector<const IcalComponent*> m_overrides;
};

// Reads an event and its overrides into memos; one pass of the import over one event.
class CEventReader {
public:
    CEventReader(CalendarContext& ctx, ImportReport& report) : m_ctx(ctx), m_report(report) {}

    // False when the event gives no memo (the report says why).
    bool Read(const EventGroup& group, ImportedEvent& out);

private:
    void Note(ExchangeWhy why, const std::string& detail = std::string())
    {
        m_report.m_notes.push_back({m_pEvent->m_nLine, m_what, why, detail});
    }
    bool Skip(ExchangeWhy why, const std::string& detail = std::string())
    {
        ++m_report.m_nSkipped;
        Note(why, detail);
        return false;
    }
    bool Lunar(const IcalComponent& ev, long nStartDay, MemoItem& m);
    bool HeldByKind(const IcalRecur& r, const std::vector<Occurrence>& ruleOnly, ImportedEvent& out);
    void ExpandRule(const IcalRecur& r, long nFrom, long nTo, std::vector<Occurrence>& occurrences);
    void AddRdates(std::vector<Occurrence>& occurrences);
    std::set<long> Exdates();
    bool ApplyOverrides(const EventGroup& group, std::vector<Occurrence>& occurrences);
    void OneOffs(const std::vector<Occurrence>& occurrences, long nFrom, long nTo, ImportedEvent& out);
    std::string TextAt(const Occurrence& o, bool bFirstDay);

    CalendarContext& m_ctx;
    ImportReport& m_report;
    const IcalComponent* m_pEvent = nullptr;
    std::string m_what;
    EventSpan m_span;
    std::map<const IcalComponent*, std::string> m_texts;  // memo text of the master and each override
};

bool CEventReader::Lunar(const IcalComponent& ev, long nStartDay, MemoItem& m)
{
    int month, day;
    if (const IcalProperty* tag = ev.Find("X-ALMANIX-LUNAR"); tag && ParseLunarTag(tag->m_value, month, day)) {
        m.m_nKind = MEMO_KIND_LUNAR_YEARLY;
        m.m_nFileMonth = month;
        m.m_nSlot = day;
        return true;
    }
    const IcalProperty* rrule = ev.Find("RRULE");
    IcalRecur r;
    return rrule && ParseRecur(rrule->m_value, r) && r.m_rscale == "CHINESE" && KindOfRule(r, nStartDay, m);
}

// Endless weekly and yearly rules whose every occurrence is as the master writes it become
// weekly and yearly memos on the days of their first occurrences.
bool CEventReader::HeldByKind(const IcalRecur& r, const std::vector<Occurrence>& first, ImportedEvent& out)
{
    if (r.m_nCount || r.m_bUntil || r.m_nInterval != 1 || r.HasRareParts() ||
        !(r.m_rscale.empty() || r.m_rscale == "GREGORIAN") || !(r.m_skip.empty() || r.m_skip == "OMIT") ||
        first.empty())
        return false;
    MemoItem m;
    m.m_dwFlags = FlagsOf(*m_pEvent, m_ctx.m_bOurs);
    if (r.m_freq == "WEEKLY") {
        if (!r.m_byMonth.empty() || !r.m_byMonthDay.empty())
            return false;
        for (int ordinal : r.m_byDayOrdinal)
            if (ordinal != 0)
                return false;
        m.m_nKind = MEMO_KIND_WEEKLY;
    } else {
        MemoItem probe;
        if (r.m_freq != "YEARLY" || !KindOfRule(r, first[0].m_nRuleDay, probe))
            return false;
        m.m_nKind = MEMO_KIND_SOLAR_YEARLY;
        m.m_nFileYear = 1;
    }
    // The first occurrences on the computer's clock name the slots: a weekday or a date may
    // move with the time zone, and a multi-day event holds several.
    for (const Occurrence& o : first) {
        const auto [from, to] = DaysOf(o);
        for (long d = from; d <= to && d < from + 7; ++d) {
            int y, mo, dd;
            CivilFromDays(d, y, mo, dd);
            if (m.m_nKind == MEMO_KIND_WEEKLY) {
                m.m_nSlot = WeekdayOfDay(d);
            } else {
                m.m_nFileMonth = mo;
                m.m_nSlot = dd;
            }
            m.m_text = TextAt(o, d == from);
            const bool bSeen = std::any_of(out.m_memos.begin(), out.m_memos.end(),
                [&](const MemoItem& held) { return held.m_nSlot == m.m_nSlot && held.m_nFileMonth == m.m_nFileMonth; });
            if (!bSeen)
                out.m_memos.push_back(m);
        }
    }
    return true;
}

void CEventReader::ExpandRule(const IcalRecur& r, long nFrom, long nTo, std::vector<Occurrence>& occurrences)
{
    const EventTime& start = m_span.m_start;
    long nLast = LONG_MAX;
    if (r.m_bUntil) {
        // UNTIL on the start's clock: the last day whose occurrence starts at or before it.
        EventTime u;
        u.m_nDay = DaysFromCivil(r.m_until.m_nYear, r.m_until.m_nMonth, r.m_until.m_nDay);
        if (r.m_until.m_bTime && start.m_bTime) {
            u.m_bTime = true;
            u.m_bUtc = r.m_until.m_bUtc;
            u.m_nSecs = r.m_until.m_nHour * 3600 + r.m_until.m_nMinute * 60 + r.m_until.m_nSecond;
            u.m_pZone = u.m_bUtc ? nullptr : start.m_pZone;
            const std::int64_t utc = UtcOf(u);
            const std::int64_t wall =
                IsFloating(start) ? u.Wall() : utc + (start.m_pZone ? start.m_pZone->OffsetAt(utc) : 0);
            nLast = FloorDiv(wall - start.m_nSecs, 86400);
        } else {
            nLast = u.m_nDay;
        }
    }
    bool bCut = false;
    for (long d : ExpandRecurDays(r, start.m_nDay, nLast, nFrom, nTo, kMaxOccurrences, &bCut)) {
        EventTime at = start;
        at.m_nDay = d;
        occurrences.push_back(OccurrenceAt(m_span, at, m_pEvent, m_ctx));
    }
    if (bCut)
        Note(ExchangeWhy::TooManyDates, std::to_string(kMaxOccurrences));
}

void CEventReader::AddRdates(std::vector<Occurrence>& occurrences)
{
    for (const IcalProperty& p : m_pEvent->m_props) {
        if (p.m_name != "RDATE")
            continue;
        for (std::string_view item : ListItems(p.m_value)) {
            EventTime at;
            const std::string_view value = item.substr(0, item.find('/'));  // a PERIOD's start
            if (!ReadTime(p, value, m_span.m_bAllDay, m_ctx, at)) {
                Note(ExchangeWhy::BadDate, std::string(item));
                continue;
            }
            occurrences.push_back(OccurrenceAt(m_span, at, m_pEvent, m_ctx));
        }
    }
}

std::set<long> CEventReader::Exdates()
{
    std::set<long> days;
    for (const IcalProperty& p : m_pEvent->m_props) {
        if (p.m_name != "EXDATE")
            continue;
        for (std::string_view item : ListItems(p.m_value)) {
            EventTime at;
            if (ReadTime(p, item, m_span.m_bAllDay, m_ctx, at))
                days.insert(DayOnClockOf(at, m_span.m_start));
            else
                Note(ExchangeWhy::BadDate, std::string(item));
        }
    }
    return days;
}

// Each override replaces the occurrence its RECURRENCE-ID names, or cancels it; true when one
// changed anything a memo shows.
bool CEventReader::ApplyOverrides(const EventGroup& group, std::vector<Occurrence>& occurrences)
{
    bool bChanged = false;
    for (const IcalComponent* ov : group.m_overrides) {
        const IcalProperty* rid = ov->Find("RECURRENCE-ID");
        EventTime at;
        if (!ReadTime(*rid, rid->m_value, m_span.m_bAllDay, m_ctx, at)) {
            Note(ExchangeWhy::BadDate, rid->m_value);
            continue;
        }
        const long ruleDay = DayOnClockOf(at, m_span.m_start);
        const auto it = std::find_if(
            occurrences.begin(), occurrences.end(), [&](const Occurrence& o) { return o.m_nRuleDay == ruleDay; });
        Occurrence replaced;
        const bool bFound = it != occurrences.end();
        if (bFound) {
            replaced = *it;
            occurrences.erase(it);
        }
        if (IsCancelled(*ov)) {
            bChanged = true;
            continue;
        }
        EventSpan span;
        std::string bad;
        const bool bOwnStart = ReadSpan(*ov, m_ctx, span, bad);
        if (!bOwnStart) {
            span = m_span;
            span.m_start = at;
        }
        Occurrence o = OccurrenceAt(span, span.m_start, ov, m_ctx);
        o.m_nRuleDay = ruleDay;
        m_texts[ov] = MemoTextOf(*ov);
        bChanged = bChanged || !bFound || DaysOf(o) != DaysOf(replaced) ||
            o.m_start.m_nSecs != replaced.m_start.m_nSecs || m_texts[ov] != m_texts[m_pEvent];
        occurrences.push_back(o);
    }
    return bChanged;
}

std::string CEventReader::TextAt(const Occurrence& o, bool bFirstDay)
{
    std::string text = m_texts[o.m_pEvent];
    if (!o.m_bTime || !bFirstDay)
        return text;
    return Format("%02d:%02d", o.m_start.m_nSecs / 3600, o.m_start.m_nSecs / 60 % 60) + (text.empty() ? "" : " ") +
        text;
}

// One-off memos on every day of the occurrences within nFrom..nTo and the calendar's years.
void CEventReader::OneOffs(const std::vector<Occurrence>& occurrences, long nFrom, long nTo, ImportedEvent& out)
{
    const long first = std::max(nFrom, DaysFromCivil(kFirstYear, 1, 1));
    const long last = std::min(nTo, DaysFromCivil(kLastYear, 12, 31));
    bool bOutside = false, bLong = false;
    for (const Occurrence& o : occurrences) {
        auto [from, to] = DaysOf(o);
        if (to - from >= kMaxEventDays) {
            to = from + kMaxEventDays - 1;
            bLong = true;
        }
        for (long d = from; d <= to; ++d) {
            if (d < first || d > last) {
                bOutside = bOutside || d < DaysFromCivil(kFirstYear, 1, 1) || d > DaysFromCivil(kLastYear, 12, 31);
                continue;
            }
            MemoItem m;
            CivilFromDays(d, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
            m.m_nKind = MEMO_KIND_ONCE;
            m.m_dwFlags = FlagsOf(*o.m_pEvent, m_ctx.m_bOurs);
            m.m_text = TextAt(o, d == from);
            if (!m.m_text.empty())
                out.m_memos.push_back(std::move(m));
        }
    }
    if (bLong)
        Note(ExchangeWhy::TooManyDates, std::to_string(kMaxEventDays));
    if (bOutside && out.m_memos.empty() && !occurrences.empty()) {
        const long d = occurrences.front().m_start.m_nDay;
        int y, mo, dd;
        CivilFromDays(d, y, mo, dd);
        Note(ExchangeWhy::OutsideYears, Format("%04d-%02d-%02d", y, mo, dd));
    }
}

bool CEventReader::Read(const EventGroup& group, ImportedEvent& out)
{
    m_pEvent = group.m_pMaster;
    const IcalComponent& ev = *m_pEvent;
    const IcalProperty* summary = ev.Find("SUMMARY");
    m_what = summary ? TrimText(UnescapeText(summary->m_value)) : ev.m_name;
    out.m_nLine = ev.m_nLine;
    if (const IcalProperty* uid = ev.Find("UID"))
        out.m_uid = uid->m_value;
    if (IsCancelled(ev))
        return Skip(ExchangeWhy::Cancelled);
    std::string bad;
    if (!ReadSpan(ev, m_ctx, m_span, bad))
        return bad.empty() ? Skip(ExchangeWhy::NoStart) : Skip(ExchangeWhy::BadDate, bad);
    m_texts[m_pEvent] = MemoTextOf(ev);
    const Occurrence first = OccurrenceAt(m_span, m_span.m_start, m_pEvent, m_ctx);
    out.m_nFirstDay = first.m_start.m_nDay;
    if (m_texts[m_pEvent].empty() && !first.m_bTime && group.m_overrides.empty())
        return Skip(ExchangeWhy::NoText);

    MemoItem lunar;
    lunar.m_dwFlags = FlagsOf(ev, m_ctx.m_bOurs);
    if (Lunar(ev, m_span.m_start.m_nDay, lunar)) {
        lunar.m_text = TextAt(first, true);
        out.m_memos.push_back(std::move(lunar));
        return true;
    }

    std::vector<Occurrence> occurrences;
    const IcalProperty* rrule = ev.Find("RRULE");
    IcalRecur r;
    const bool bRule = rrule && ParseRecur(rrule->m_value, r);
    const bool bDayRule = bRule && (r.m_rscale.empty() || r.m_rscale == "GREGORIAN") &&
        (r.m_freq == "DAILY" || r.m_freq == "WEEKLY" || r.m_freq == "MONTHLY" || r.m_freq == "YEARLY");
    if (rrule && !bDayRule) {
        ++m_report.m_nSimplified;
        Note(ExchangeWhy::Simplified);
    }
    const bool bEndless = bDayRule && !r.m_nCount && !r.m_bUntil;
    long nFrom = LONG_MIN / 2, nTo = LONG_MAX / 2;
    if (bEndless) {
        nFrom = std::max(m_span.m_start.m_nDay, m_ctx.m_nToday - kSpreadBack);
        nTo = std::max(m_ctx.m_nToday, m_span.m_start.m_nDay) + kSpreadAhead;
    } else if (bDayRule) {
        nFrom = DaysFromCivil(kFirstYear, 1, 1) - 2;
        nTo = DaysFromCivil(kLastYear, 12, 31) + 2;
    }
    if (bDayRule)
        ExpandRule(r, nFrom - 1, nTo + 1, occurrences);
    else
        occurrences.push_back(first);
    const std::set<long> exdates = Exdates();
    std::vector<Occurrence> kept;
    for (const Occurrence& o : occurrences)
        if (!exdates.count(o.m_nRuleDay))
            kept.push_back(o);
    const bool bExcepted = kept.size() != occurrences.size();
    occurrences.swap(kept);
    const bool bChanged = ApplyOverrides(group, occurrences);
    std::vector<Occurrence> extra;
    AddRdates(extra);

    if (bEndless && !bExcepted && !bChanged && !exdates.size()) {
        // The first week's occurrences name a weekly memo's weekdays; a yearly memo's date is the first one's.
        std::vector<Occurrence> firstOnes;
        const long start = m_span.m_start.m_nDay;
        ExpandRule(r, start, start + (r.m_freq == "WEEKLY" ? 6 : 0), firstOnes);
        if (HeldByKind(r, firstOnes, out)) {
            OneOffs(extra, LONG_MIN / 2, LONG_MAX / 2, out);
            return true;
        }
    }
    if (bEndless) {
        out.m_bSpread = true;
        out.m_nSpreadFrom = nFrom;
        out.m_nSpreadTo = nTo;
        ++m_report.m_nSpread;
        if (m_report.m_nSpread == 1 || nFrom < m_report.m_nSpreadFrom)
            m_report.m_nSpreadFrom = nFrom;
        if (m_report.m_nSpread == 1 || nTo > m_report.m_nSpreadTo)
            m_report.m_nSpreadTo = nTo;
        Note(ExchangeWhy::Spread, FormatDay(nFrom) + ".." + FormatDay(nTo));
        OneOffs(occurrences, nFrom, nTo, out);
        OneOffs(extra, LONG_MIN / 2, LONG_MAX / 2, out);
    } else {
        occurrences.insert(occurrences.end(), extra.begin(), extra.end());
        OneOffs(occurrences, LONG_MIN / 2, LONG_MAX / 2, out);
    }
    std::stable_sort(out.m_memos.begin(), out.m_memos.end(), [](const MemoItem& a, const MemoItem& b) {
        return std::tie(a.m_nFileYear, a.m_nFileMonth, a.m_nSlot) < std::tie(b.m_nFileYear, b.m_nFileMonth, b.m_nSlot);
    });
    if (out.m_memos.empty()) {
        ++m_report.m_nSkipped;
        if (m_report.m_notes.empty() || m_report.m_notes.back().m_nLine != ev.m_nLine)
            Note(m_texts[m_pEvent].empty() ? ExchangeWhy::NoText : ExchangeWhy::OutsideYears);
        return false;
    }
    return true;
}

// ---- reading a file

void NoteProblems(const std::vector<IcalProblem>& problems, ImportReport& report)
{
    for (const IcalProblem& p : problems) {
        ++report.m_nUnreadable;
        report.m_notes.push_back({p.m_nLine, "", ExchangeWhy::Unreadable, p.m_what});
    }
}

void LoadZones(const IcalComponent& cal, CalendarContext& ctx)
{
    for (const IcalComponent& c : cal.m_children) {
        CIcalTimeZone z;
        if (c.m_name == "VTIMEZONE" && z.Load(c))
            ctx.m_zones.emplace(z.Id(), std::move(z));
    }
}

// The events of a calendar by UID: masters first in file order, each with its overrides; an
// override without its master stands for itself. Other components are noted.
std::vector<EventGroup> GroupEvents(const IcalComponent& cal, ImportReport& report)
{
    std::vector<EventGroup> groups;
    std::map<std::string, std::size_t> masters;
    std::vector<const IcalComponent*> overrides;
    for (const IcalComponent& c : cal.m_children) {
        if (c.m_name == "VTIMEZONE")
            continue;
        if (c.m_name != "VEVENT") {
            ++report.m_nSkipped;
            const IcalProperty* summary = c.Find("SUMMARY");
            report.m_notes.push_back(
                {c.m_nLine, summary ? UnescapeText(summary->m_value) : c.m_name, ExchangeWhy::NotAnEvent, c.m_name});
            continue;
        }
        if (c.Find("RECURRENCE-ID")) {
            overrides.push_back(&c);
            continue;
        }
        const IcalProperty* uid = c.Find("UID");
        if (uid)
            masters.emplace(uid->m_value, groups.size());
        groups.push_back({&c, {}});
    }
    for (const IcalComponent* c : overrides) {
        const IcalProperty* uid = c->Find("UID");
        const auto it = uid ? masters.find(uid->m_value) : masters.end();
        if (it != masters.end())
            groups[it->second].m_overrides.push_back(c);
        else
            groups.push_back({c, {}});
    }
    return groups;
}

long TodayOf(const ImportOptions& options)
{
    const std::int64_t now = options.m_nNow ? options.m_nNow : static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t local = now + (options.m_pfnLocalOffset ? options.m_pfnLocalOffset(now) : 0);
    return FloorDiv(local, 86400);
}

}  // namespace

bool ReadIcalEvents(
    std::string_view ics, const ImportOptions& options, std::vector<ImportedEvent>& events, ImportReport& report)
{
    report = ImportReport{};
    events.clear();
    std::vector<IcalComponent> calendars;
    std::vector<IcalProblem> problems;
    if (!ParseIcalFile(ics, calendars, problems, report.m_error))
        return false;
    NoteProblems(problems, report);
    const long today = TodayOf(options);
    for (const IcalComponent& cal : calendars) {
        CalendarContext ctx;
        ctx.m_pOptions = &options;
        const IcalProperty* prodId = cal.Find("PRODID");
        ctx.m_bOurs = prodId && prodId->m_value.find("Almanix") != std::string::npos;
        ctx.m_nToday = today;
        LoadZones(cal, ctx);
        for (const EventGroup& group : GroupEvents(cal, report)) {
            CEventReader reader(ctx, report);
            ImportedEvent event;
            if (reader.Read(group, event))
                events.push_back(std::move(event));
        }
        for (const std::string& tzid : ctx.m_unknownZones)
            report.m_notes.push_back({cal.m_nLine, "", ExchangeWhy::UnknownZone, tzid});
    }
    return true;
}

bool ReadIcalMemos(
    std::string_view ics, const ImportOptions& options, std::vector<MemoItem>& memos, ImportReport& report)
{
    memos.clear();
    std::vector<ImportedEvent> events;
    if (!ReadIcalEvents(ics, options, events, report))
        return false;
    std::map<SlotKey, std::size_t> index;  // slot -> position in memos
    for (ImportedEvent& event : events) {
        for (MemoItem& m : event.m_memos) {
            const auto it = index.find(KeyOf(m));
            if (it == index.end()) {
                index.emplace(KeyOf(m), memos.size());
                memos.push_back(std::move(m));
                continue;
            }
            // Several events on one memo (an expanded lunar memo, two events on a day): one text.
            MemoItem& held = memos[it->second];
            // Texts are cut to a memo's size when they are added to the folder.
            if (!JoinText(held.m_text, m.m_text))
                continue;
            if (!(held.m_dwFlags & MEMO_CUSTOM_COLOR))
                held.m_dwFlags = m.m_dwFlags;
        }
    }
    return true;
}

int AddMemosToFolder(const std::vector<MemoItem>& memos, const std::string& folder, ImportReport& report)
{
    std::map<std::string, std::vector<const MemoItem*>> files;
    for (const MemoItem& m : memos)
        files[MemoFileOf(folder, m)].push_back(&m);
    int nResult = 0;
    for (const auto& [name, items] : files) {
        CMemoStore store;
        const int nMax = items.front()->m_nKind == MEMO_KIND_WEEKLY ? MEMO_WEEK_MAX_INDEX : MEMO_MONTH_MAX_INDEX;
        if (store.Reset(nMax, name.c_str()) != 0 || store.Load() != 0) {
            // Saving would drop the records after the damage: the file stays as it is.
            ++report.m_nFailedFiles;
            report.m_notes.push_back({0, almanix::GbToUtf8(name), ExchangeWhy::DamagedFileKept, ""});
            nResult = -1;
            continue;
        }
        int taken[5] = {};
        int nAppended = 0, nAlready = 0;
        for (const MemoItem* m : items) {
            if (m->m_nSlot < 0 || m->m_nSlot > nMax)
                continue;
            CMemoEntry& e = store.m_pEntries[m->m_nSlot];
            const bool bHadText = e.m_pszText && e.m_nLength > 0 && e.m_pszText[0] != '\0';
            std::string text = bHadText ? std::string(e.m_pszText, e.m_nLength) : std::string();
            const std::size_t nBefore = text.size();
            if (!JoinText(text, m->m_text)) {
                ++nAlready;
                continue;
            }
            if (text.size() > static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH)) {
                text = std::string(CutGb(text, MEMO_MAX_TEXT_LENGTH));
                ++report.m_nCut;
                report.m_notes.push_back(
                    {0, PlaceOf(*m), text.size() <= nBefore + 2 ? ExchangeWhy::MemoFull : ExchangeWhy::Cut, ""});
                if (text.size() <= nBefore + 2)
                    continue;
            }
            const bool bKeepColour = bHadText || (e.m_pszText && (e.m_dwFlags & MEMO_CUSTOM_COLOR));
            e.Set(text.data(), static_cast<int>(text.size()), bKeepColour ? e.m_dwFlags : m->m_dwFlags);
            ++taken[m->m_nKind];
            if (bHadText)
                ++nAppended;
        }
        if (store.Save() != 0) {
            ++report.m_nFailedFiles;
            report.m_notes.push_back({0, almanix::GbToUtf8(name), ExchangeWhy::NotWritten, ""});
            nResult = -1;
            continue;
        }
        for (int k = 0; k < 5; ++k)
            report.m_nTaken[k] += taken[k];
        report.m_nAppended += nAppended;
        report.m_nAlreadyThere += nAlready;
    }
    return nResult;
}

int ImportIcal(std::string_view ics, const std::string& folder, const ImportOptions& options, ImportReport& report)
{
    std::vector<MemoItem> memos;
    if (!ReadIcalMemos(ics, options, memos, report))
        return -1;
    return AddMemosToFolder(memos, folder, report);
}

std::string DescribeNote(const ExchangeNote& n)
{
    switch (n.m_why) {
    case ExchangeWhy::DamagedFileRead:
        return "damaged: records after a broken one were not read";
    case ExchangeWhy::NeverShown:
        return "left out: the calendar shows it on no day";
    case ExchangeWhy::NotAnEvent:
        return "skipped: a " + n.m_detail + ", not an event";
    case ExchangeWhy::NoStart:
        return "skipped: no start date";
    case ExchangeWhy::NoText:
        return "skipped: no text";
    case ExchangeWhy::OutsideYears:
        return "skipped: " + n.m_detail + " lies outside the calendar's years 1900-2049";
    case ExchangeWhy::Simplified:
        return "repeats in a way no memo does: taken on its first day only";
    case ExchangeWhy::FurtherDates:
        return "has further dates: taken on its first day only";
    case ExchangeWhy::ChangedOccurrence:
        return "a changed occurrence of a repeating event: taken as a one-off memo";
    case ExchangeWhy::SeveralDays:
        return "lasts several days: taken on its first day";
    case ExchangeWhy::Cut:
        return "text cut to fit the memo";
    case ExchangeWhy::MemoFull:
        return "not added: the memo is full";
    case ExchangeWhy::DamagedFileKept:
        return "not changed: the memo file is damaged";
    case ExchangeWhy::NotWritten:
        return "not written: the file could not be saved";
    case ExchangeWhy::Unreadable:
        return "skipped: " + n.m_detail;
    case ExchangeWhy::BadDate:
        return "skipped: '" + n.m_detail + "' is no date";
    case ExchangeWhy::Cancelled:
        return "skipped: cancelled";
    case ExchangeWhy::Spread:
        return "repeats without end in a way no memo does: taken on its days from " + n.m_detail;
    case ExchangeWhy::UnknownZone:
        return "time zone '" + n.m_detail + "' is unknown: its times read as local times";
    case ExchangeWhy::TooManyDates:
        return "more than " + n.m_detail + " dates: the first ones taken";
    }
    return std::string();
}

std::string FormatImportReport(const ImportReport& r)
{
    if (!r.m_error.empty())
        return "not imported, the file is malformed: " + r.m_error + "\nno memo was changed\n";
    std::string s =
        Format("taken: %d one-off, %d yearly, ", r.m_nTaken[MEMO_KIND_ONCE], r.m_nTaken[MEMO_KIND_SOLAR_YEARLY]) +
        Format("%d lunar-yearly, %d weekly", r.m_nTaken[MEMO_KIND_LUNAR_YEARLY], r.m_nTaken[MEMO_KIND_WEEKLY]) +
        Format(" (%d added below an existing text)\n", r.m_nAppended);
    if (r.m_nAlreadyThere)
        s += Format("already there, not added again: %d\n", r.m_nAlreadyThere);
    if (r.m_nSpread)
        s += Format("endless repeats taken as one-off memos from ", r.m_nSpread) + FormatDay(r.m_nSpreadFrom) + " to " +
            FormatDay(r.m_nSpreadTo) + Format(": %d\n", r.m_nSpread);
    if (r.m_nSimplified)
        s += Format("repeating events taken on their first day only: %d\n", r.m_nSimplified);
    if (r.m_nUnreadable)
        s += Format("lines that could not be read, skipped: %d\n", r.m_nUnreadable);
    if (r.m_nSkipped)
        s += Format("skipped: %d\n", r.m_nSkipped);
    if (r.m_nCut)
        s += Format("texts cut to fit a memo: %d\n", r.m_nCut);
    if (r.m_nFailedFiles)
        s += Format("memo files not written: %d\n", r.m_nFailedFiles);
    for (const ExchangeNote& n : r.m_notes)
        s += (n.m_nLine ? Format("line %d: ", n.m_nLine) : std::string()) + (n.m_what.empty() ? "" : n.m_what + ": ") +
            DescribeNote(n) + "\n";
    return s;
}

std::string FormatImportSummaryZh(const ImportReport& r)
{
    const struct {
        int nCount;
        const char* pszWhat;
    } lines[] = {
        {r.m_nTaken[MEMO_KIND_ONCE], u8"一次性记事"},
        {r.m_nTaken[MEMO_KIND_SOLAR_YEARLY], u8"阳历每年的记事"},
        {r.m_nTaken[MEMO_KIND_LUNAR_YEARLY], u8"农历每年的记事"},
        {r.m_nTaken[MEMO_KIND_WEEKLY], u8"每周提示"},
        {r.m_nAppended, u8"接在原有记事之后"},
        {r.m_nAlreadyThere, u8"已有相同内容，未重复导入"},
        {r.m_nSimplified, u8"重复方式无法读出，只取第一次"},
        {r.m_nSkipped, u8"跳过的日程"},
        {r.m_nUnreadable, u8"无法读出、已跳过的行"},
        {r.m_nCut, u8"内容过长、已截短"},
        {r.m_nFailedFiles, u8"无法保存的记事文件"},
    };
    std::string s;
    for (const auto& line : lines)
        if (line.nCount)
            s += std::string(line.pszWhat) + Format(u8"：%d 条\n", line.nCount);
    if (r.m_nSpread) {
        int y1, m1, d1, y2, m2, d2;
        CivilFromDays(r.m_nSpreadFrom, y1, m1, d1);
        CivilFromDays(r.m_nSpreadTo, y2, m2, d2);
        s += Format(u8"无限重复的日程 %d 个，", r.m_nSpread) + Format(u8"按一次性记事记在 %d年%d月%d日", y1, m1, d1) +
            Format(u8"至 %d年%d月%d日之间\n", y2, m2, d2);
    }
    if (s.empty())
        s = u8"文件中没有可导入的日程\n";
    return s;
}

std::string FormatExportReport(const ExportReport& r)
{
    std::string s =
        Format("exported: %d one-off, %d yearly, ", r.m_nEvents[MEMO_KIND_ONCE], r.m_nEvents[MEMO_KIND_SOLAR_YEARLY]) +
        Format("%d lunar-yearly, %d weekly\n", r.m_nEvents[MEMO_KIND_LUNAR_YEARLY], r.m_nEvents[MEMO_KIND_WEEKLY]);
    for (const ExchangeNote& n : r.m_notes)
        s += n.m_what + ": " + DescribeNote(n) + "\n";
    return s;
}
