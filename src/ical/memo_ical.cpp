#include "ical/memo_ical.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

#include "engine/lunar.h"
#include "ical/ical_format.h"
#include "ical/ical_time.h"
#include "ical/lunar_rule.h"
#include "ical/memo_ical_detail.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "text/gbcodec.h"

using namespace ical_detail;

namespace ical_detail {

std::string Format(const char* pattern, int a, int b, int c)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, a, b, c);
    return buf;
}

std::string FormatDay(long nDays)
{
    int y, m, d;
    CivilFromDays(nDays, y, m, d);
    return Format("%04d-%02d-%02d", y, m, d);
}

}  // namespace ical_detail

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

const char* const kByDay[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

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
    // The summary is the first line that holds something: readers drop an empty SUMMARY.
    std::string utf8 = almanix::GbToUtf8(gbText);
    const std::size_t first = utf8.find_first_not_of("\r\n \t");
    utf8.erase(0, first == std::string::npos ? utf8.size() : utf8.rfind('\n', first) + 1);
    const std::size_t nl = utf8.find("\r\n");
    w.Line("SUMMARY", EscapeText(utf8.substr(0, nl)));
    const std::size_t rest = nl == std::string::npos ? nl : utf8.find_first_not_of("\r\n \t", nl);
    if (rest == std::string::npos)
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
    if (!o.m_calendarName.empty())
        w.Line("X-WR-CALNAME", EscapeText(o.m_calendarName));
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

}  // namespace

namespace ical_detail {

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

}  // namespace ical_detail

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
        return "'" + n.m_detail + "' is no date, left out";
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
        return "not imported: " + r.m_error + "\nno memo was changed\n";
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
