#include "engine/holidays.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "engine/lunar.h"
#include "engine/names.h"
#include "engine/solar_terms.h"
#include "text/gbcodec.h"

namespace {

#include "holiday_table.inc"

constexpr int HOLIDAY_NAME_COUNT = static_cast<int>(sizeof kHolidayNames / sizeof kHolidayNames[0]);

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";
constexpr std::string_view kRestMark = "\xe4\xbc\x91";   // 休 in UTF-8
constexpr std::string_view kWorkMark = "\xe7\x8f\xad";   // 班
constexpr std::string_view kWideSpace = "\xe3\x80\x80";  // the ideographic space an IME types
constexpr std::size_t MAX_NAME_BYTES = 64;
constexpr int USER_FIRST_YEAR = 1900;
constexpr int USER_LAST_YEAR = 2100;

CHolidayOverlay g_userHolidays;
CHolidayOverlay g_downloadedDays;
std::vector<int> g_downloadedYears;

// Names from user files, kept for the life of the program: cells and tips hold pointers to
// them across a reload of the file.
const char* InternName(const std::string& name)
{
    static std::set<std::string, std::less<>> names;
    return names.insert(name).first->c_str();
}

bool IsGoodName(const std::string& name)
{
    return !name.empty() && name.size() <= MAX_NAME_BYTES;
}

int GetBuiltInHoliday(int nYear, int nMonth, int nDay, const char** ppszName)
{
    if (nYear < HOLIDAY_TABLE_FIRST_YEAR || nYear > HOLIDAY_TABLE_LAST_YEAR || nMonth < 1 || nMonth > 12 || nDay < 1 ||
        nDay > 31)
        return HOLIDAY_NONE;
    const char c = kHolidayMonths[12 * (nYear - HOLIDAY_TABLE_FIRST_YEAR) + nMonth - 1][nDay - 1];
    int nKind = HOLIDAY_NONE;
    int nName = 0;
    if (c >= 'A' && c < 'A' + HOLIDAY_NAME_COUNT) {
        nKind = HOLIDAY_OFF;
        nName = c - 'A';
    } else if (c >= 'a' && c < 'a' + HOLIDAY_NAME_COUNT) {
        nKind = HOLIDAY_WORK;
        nName = c - 'a';
    }
    if (ppszName)
        *ppszName = nKind == HOLIDAY_NONE ? nullptr : kHolidayNames[nName];
    return nKind;
}

bool IsValidUtf8(std::string_view s)
{
    for (std::size_t i = 0, n; i < s.size(); i += n)
        if ((n = almanix::Utf8CharLength(s, i)) == 0)
            return false;
    return true;
}

// Length of the blank (blank, tab, ideographic space) at the start of s; 0 when none.
std::size_t BlankAt(std::string_view s)
{
    if (!s.empty() && (s[0] == ' ' || s[0] == '\t'))
        return 1;
    if (s.substr(0, kWideSpace.size()) == kWideSpace)
        return kWideSpace.size();
    return 0;
}

std::string_view Trim(std::string_view s)
{
    for (std::size_t n; (n = BlankAt(s)) != 0;)
        s.remove_prefix(n);
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        else if (s.size() >= kWideSpace.size() && s.substr(s.size() - kWideSpace.size()) == kWideSpace)
            s.remove_suffix(kWideSpace.size());
        else
            return s;
    }
}

// The field up to the next blank; s moves past it and the blanks after it.
std::string_view NextField(std::string_view& s)
{
    std::size_t i = 0;
    while (i < s.size() && BlankAt(s.substr(i)) == 0)
        ++i;
    const std::string_view field = s.substr(0, i);
    s.remove_prefix(i);
    s = Trim(s);
    return field;
}

bool ReadNumber(std::string_view& s, std::size_t nMinDigits, std::size_t nMaxDigits, int& nValue)
{
    std::size_t i = 0;
    nValue = 0;
    while (i < s.size() && i < nMaxDigits && s[i] >= '0' && s[i] <= '9')
        nValue = nValue * 10 + (s[i++] - '0');
    if (i < nMinDigits)
        return false;
    s.remove_prefix(i);
    return true;
}

// YYYY-M-D with one or two digits for month and day; s moves past it.
bool ReadDate(std::string_view& s, SolarDate& date)
{
    if (!ReadNumber(s, 4, 4, date.m_nYear) || s.empty() || s[0] != '-')
        return false;
    s.remove_prefix(1);
    if (!ReadNumber(s, 1, 2, date.m_nMonth) || s.empty() || s[0] != '-')
        return false;
    s.remove_prefix(1);
    return ReadNumber(s, 1, 2, date.m_nDay) && date.m_nYear >= USER_FIRST_YEAR && date.m_nYear <= USER_LAST_YEAR &&
        IsValidSolarDate(date.m_nYear, date.m_nMonth, date.m_nDay);
}

bool IsWeekend(const SolarDate& d)
{
    const int w = DayOfWeek(d.m_nYear, d.m_nMonth, d.m_nDay);
    return w == 0 || w == 6;
}

int KindOf(const SolarDate& d, const char** ppszName = nullptr)
{
    return GetHoliday(d.m_nYear, d.m_nMonth, d.m_nDay, ppszName);
}

// A day with no work: off by the schedule, or a weekend day the schedule does not make a
// working day.
bool IsRestDay(const SolarDate& d)
{
    const int nKind = KindOf(d);
    return nKind == HOLIDAY_OFF || (nKind == HOLIDAY_NONE && IsWeekend(d));
}

bool IsOffWithName(const SolarDate& d, const char* pszName)
{
    const char* pszDay = nullptr;
    return KindOf(d, &pszDay) == HOLIDAY_OFF && std::strcmp(pszDay, pszName) == 0;
}

// Whether festival or term text t names the holiday: one begins with the other, at least
// two characters long (国庆 for 国庆节, 清明 for 清明节).
bool NamesHoliday(const char* t, const char* pszName)
{
    if (!t)
        return false;
    const std::size_t n = std::min(std::strlen(t), std::strlen(pszName));
    return n >= 4 && std::memcmp(t, pszName, n) == 0;
}

bool IsFestivalOf(const SolarDate& d, const char* pszName)
{
    CLunarDate lunar;
    if (NamesHoliday(lunar.FromSolar(d.m_nYear, d.m_nMonth, d.m_nDay).GetFestival(), pszName))
        return true;
    if (NamesHoliday(GetSolarFestival(d.m_nMonth, d.m_nDay), pszName))
        return true;
    SolarTermTime first{};
    SolarTermTime second{};
    GetSolarTerms(d.m_nYear, d.m_nMonth, first, second);
    if (d.m_nDay == first.m_nDay && NamesHoliday(GetSolarTermName(d.m_nMonth, 1), pszName))
        return true;
    return d.m_nDay == second.m_nDay && NamesHoliday(GetSolarTermName(d.m_nMonth, 2), pszName);
}

}  // namespace

int GetHoliday(int nYear, int nMonth, int nDay, const char** ppszName)
{
    if (g_userHolidays.CoversYear(nYear))
        return g_userHolidays.Get(nYear, nMonth, nDay, ppszName);
    const int nKind = g_downloadedDays.Get(nYear, nMonth, nDay, ppszName);
    if (nKind != HOLIDAY_NONE ||
        std::find(g_downloadedYears.begin(), g_downloadedYears.end(), nYear) != g_downloadedYears.end())
        return nKind;
    return GetBuiltInHoliday(nYear, nMonth, nDay, ppszName);
}

bool HasHolidaySchedule(int nYear)
{
    return g_userHolidays.CoversYear(nYear) ||
        std::find(g_downloadedYears.begin(), g_downloadedYears.end(), nYear) != g_downloadedYears.end() ||
        (nYear >= HOLIDAY_TABLE_FIRST_YEAR && nYear <= HOLIDAY_TABLE_LAST_YEAR);
}

bool IsScheduleUnpublished(int nYear)
{
    return nYear > HOLIDAY_TABLE_LAST_YEAR && !HasHolidaySchedule(nYear);
}

bool NextStatutoryFestival(const SolarDate& from, StatutoryFestival& festival)
{
    CLunarDate lunar;
    lunar.FromSolar(from.m_nYear, from.m_nMonth, from.m_nDay);
    SolarDate d = from;
    // Every one of them comes round within a year.
    for (int i = 0; i < 400 && lunar.IsValid(); ++i, AdvanceSolarDate(d), lunar.NextDay()) {
        const char* pszName = nullptr;
        if (d.m_nMonth == 1 && d.m_nDay == 1)
            pszName = "元旦";
        else if (d.m_nMonth == 5 && d.m_nDay == 1)
            pszName = "劳动节";
        else if (d.m_nMonth == 10 && d.m_nDay == 1)
            pszName = "国庆节";
        else if (!lunar.m_bLeap && lunar.m_nMonth == 1 && lunar.m_nDay == 1)
            pszName = "春节";
        else if (!lunar.m_bLeap && lunar.m_nMonth == 5 && lunar.m_nDay == 5)
            pszName = "端午节";
        else if (!lunar.m_bLeap && lunar.m_nMonth == 8 && lunar.m_nDay == 15)
            pszName = "中秋节";
        else if (d.m_nMonth == 4) {
            SolarTermTime first{}, second{};
            if (GetSolarTerms(d.m_nYear, 4, first, second) == 0 && first.m_nDay == d.m_nDay)
                pszName = "清明节";
        }
        if (pszName) {
            festival.m_pszName = pszName;
            festival.m_date = d;
            return true;
        }
    }
    return false;
}

std::string UnpublishedScheduleText(int nYear)
{
    return std::to_string(nYear) + " 年放假安排尚未公布";
}

int GetHolidayTableFirstYear()
{
    return HOLIDAY_TABLE_FIRST_YEAR;
}
int GetHolidayTableLastYear()
{
    return HOLIDAY_TABLE_LAST_YEAR;
}

const CHolidayOverlay::Year* CHolidayOverlay::Find(int nYear) const
{
    for (const Year& y : m_years)
        if (y.m_nYear == nYear)
            return &y;
    return nullptr;
}

CHolidayOverlay::Year& CHolidayOverlay::Touch(int nYear)
{
    if (const Year* p = Find(nYear))
        return const_cast<Year&>(*p);
    Year y{};
    y.m_nYear = nYear;
    const auto at = std::find_if(m_years.begin(), m_years.end(), [nYear](const Year& o) { return o.m_nYear > nYear; });
    return *m_years.insert(at, y);
}

std::vector<int> CHolidayOverlay::Years() const
{
    std::vector<int> years;
    for (const Year& y : m_years)
        years.push_back(y.m_nYear);
    return years;
}

int CHolidayOverlay::Get(int nYear, int nMonth, int nDay, const char** ppszName) const
{
    const Year* y = Find(nYear);
    int nKind = HOLIDAY_NONE;
    const char* pszName = nullptr;
    if (y && nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= 31) {
        nKind = y->m_kinds[nMonth - 1][nDay - 1];
        pszName = y->m_names[nMonth - 1][nDay - 1];
    }
    if (ppszName)
        *ppszName = nKind == HOLIDAY_NONE ? nullptr : pszName;
    return nKind;
}

bool CHolidayOverlay::SetDay(const SolarDate& d, int nKind, const std::string& name)
{
    if ((nKind != HOLIDAY_OFF && nKind != HOLIDAY_WORK) || !IsGoodName(name) || d.m_nYear < USER_FIRST_YEAR ||
        d.m_nYear > USER_LAST_YEAR || !IsValidSolarDate(d.m_nYear, d.m_nMonth, d.m_nDay))
        return false;
    Year& y = Touch(d.m_nYear);
    y.m_kinds[d.m_nMonth - 1][d.m_nDay - 1] = static_cast<unsigned char>(nKind);
    y.m_names[d.m_nMonth - 1][d.m_nDay - 1] = InternName(name);
    return true;
}

void CHolidayOverlay::MergeFrom(const CHolidayOverlay& other)
{
    for (const Year& from : other.m_years) {
        Year& to = Touch(from.m_nYear);
        for (int m = 0; m < 12; ++m)
            for (int d = 0; d < 31; ++d)
                if (from.m_kinds[m][d] != HOLIDAY_NONE) {
                    to.m_kinds[m][d] = from.m_kinds[m][d];
                    to.m_names[m][d] = from.m_names[m][d];
                }
    }
}

HolidayFileReport CHolidayOverlay::Parse(std::string_view bytes)
{
    m_years.clear();
    HolidayFileReport report;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        bytes.remove_prefix(kUtf8Bom.size());
    // Notepad of older Windows saves "ANSI": on a Chinese system that is GBK.
    std::string converted;
    if (!IsValidUtf8(bytes)) {
        converted = almanix::GbToUtf8(bytes);
        bytes = converted;
    }

    int nLine = 0;
    while (!bytes.empty()) {
        std::size_t nEnd = bytes.find_first_of("\r\n");
        if (nEnd == std::string_view::npos)
            nEnd = bytes.size();
        std::string_view line = bytes.substr(0, nEnd);
        bytes.remove_prefix(nEnd);
        if (bytes.substr(0, 2) == "\r\n")
            bytes.remove_prefix(2);
        else if (!bytes.empty())
            bytes.remove_prefix(1);
        ++nLine;

        line = Trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;

        std::string_view dates = NextField(line);
        const std::string_view kind = NextField(line);
        const std::string name = almanix::Utf8ToGb(line);
        SolarDate first{};
        SolarDate last{};
        bool bGood = ReadDate(dates, first);
        if (bGood && dates.substr(0, 2) == "..") {
            dates.remove_prefix(2);
            bGood = ReadDate(dates, last);
        } else {
            last = first;
        }
        const int nSpan = bGood
            ? DaysBetween(last.m_nYear, last.m_nMonth, last.m_nDay, first.m_nYear, first.m_nMonth, first.m_nDay)
            : -1;
        bGood = bGood && dates.empty() && nSpan >= 0 && nSpan < 366 && (kind == kRestMark || kind == kWorkMark) &&
            IsGoodName(name);
        if (!bGood) {
            if (report.m_nBadLines++ == 0)
                report.m_nFirstBadLine = nLine;
            continue;
        }
        ++report.m_nGoodLines;
        const int nKind = kind == kRestMark ? HOLIDAY_OFF : HOLIDAY_WORK;
        for (SolarDate d = first;; AdvanceSolarDate(d)) {
            SetDay(d, nKind, name);
            if (d.m_nYear == last.m_nYear && d.m_nMonth == last.m_nMonth && d.m_nDay == last.m_nDay)
                break;
        }
    }
    return report;
}

void SetUserHolidays(const CHolidayOverlay& overlay)
{
    g_userHolidays = overlay;
}

void SetDownloadedHolidays(const CHolidayOverlay& days, const std::vector<int>& years)
{
    g_downloadedDays = days;
    g_downloadedYears = years;
}

bool FindHolidayPeriod(const SolarDate& from, HolidayPeriod& period)
{
    // A rest day next to days off belongs to them: back up over rest days to the nearest
    // day off, so that a weekend inside a holiday finds it.
    SolarDate day = from;
    bool bFound = false;
    for (int i = 0; i < 16 && IsRestDay(day); ++i, RetreatSolarDate(day)) {
        if (KindOf(day) == HOLIDAY_OFF) {
            bFound = true;
            break;
        }
    }
    if (!bFound) {
        day = from;
        for (int i = 0; i < 400 && !bFound; ++i, AdvanceSolarDate(day))
            bFound = KindOf(day) == HOLIDAY_OFF;
        if (!bFound)
            return false;
        RetreatSolarDate(day);
    }
    const char* pszName = nullptr;
    KindOf(day, &pszName);

    SolarDate nameFirst = day;
    SolarDate nameLast = day;
    for (SolarDate d = day; RetreatSolarDate(d), IsOffWithName(d, pszName);)
        nameFirst = d;
    for (SolarDate d = day; AdvanceSolarDate(d), IsOffWithName(d, pszName);)
        nameLast = d;
    period.m_pszName = pszName;
    period.m_firstOff = nameFirst;
    period.m_lastOff = nameLast;
    for (SolarDate d = nameFirst; RetreatSolarDate(d), IsRestDay(d);)
        period.m_firstOff = d;
    for (SolarDate d = nameLast; AdvanceSolarDate(d), IsRestDay(d);)
        period.m_lastOff = d;

    period.m_festival = nameFirst;
    SolarDate d = nameFirst;
    for (int i = 0; i < 10; ++i)
        RetreatSolarDate(d);
    const int nWindow =
        DaysBetween(nameLast.m_nYear, nameLast.m_nMonth, nameLast.m_nDay, d.m_nYear, d.m_nMonth, d.m_nDay) + 10;
    for (int i = 0; i <= nWindow; ++i, AdvanceSolarDate(d)) {
        if (IsFestivalOf(d, pszName)) {
            period.m_festival = d;
            break;
        }
    }
    return true;
}
