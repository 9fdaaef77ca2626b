// The statutory holiday schedules: which days are off (放假, "休") and which weekend days are
// adjusted working days (调休上班, "班"), with the holiday's name. The built-in table holds every
// published schedule of its years; a user file adds or replaces whole years published later.
// Days outside the known years are never marked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/solar_date.h"

inline constexpr int HOLIDAY_NONE = 0;  // an ordinary day, or a year nobody has published
inline constexpr int HOLIDAY_OFF = 1;   // 休
inline constexpr int HOLIDAY_WORK = 2;  // 班

// The user file, in the memo folder (GBK: 节假日.txt).
inline constexpr const char* kHolidayFileName = "\xbd\xda\xbc\xd9\xc8\xd5.txt";

// The kind of Gregorian day (nYear, nMonth, nDay); the holiday's name (GBK, valid for the life
// of the program) goes to *ppszName when given, null for HOLIDAY_NONE. A year the user file
// names is answered from the file alone; any other from the built-in table.
int GetHoliday(int nYear, int nMonth, int nDay, const char** ppszName = nullptr);

// Whether GetHoliday knows nYear's schedule: the user's file, a download or the built-in table.
bool HasHolidaySchedule(int nYear);

// True for a year after the built-in table's last one with no schedule from the user's file or
// a download: its schedule is still to come. (Years before the table are not marked at all.)
bool IsScheduleUnpublished(int nYear);

// A statutory holiday's festival: 元旦, 春节, 清明节, 劳动节, 端午节, 中秋节 or 国庆节.
struct StatutoryFestival {
    const char* m_pszName = nullptr;  // GBK
    SolarDate m_date{};
};
// The first statutory festival on or after `from` (within lunar years 1900-2050): true.
bool NextStatutoryFestival(const SolarDate& from, StatutoryFestival& festival);
// The words for a year whose schedule nobody has published yet: "2027 年放假安排尚未公布".
std::string UnpublishedScheduleText(int nYear);

// First and last year of the built-in table.
int GetHolidayTableFirstYear();
int GetHolidayTableLastYear();

// What a user file held: lines taken, lines skipped as malformed, the first of those (1-based;
// 0 when none).
struct HolidayFileReport {
    int m_nGoodLines = 0;
    int m_nBadLines = 0;
    int m_nFirstBadLine = 0;
};

// The days of a user file. Lines (UTF-8 with or without BOM; a file that is not UTF-8 is read
// as GBK), each one of
//   2027-02-06 班 春节
//   2027-02-07..2027-02-13 休 春节
// with blanks or tabs between the fields; '#' starts a comment, blank lines are skipped. Month
// and day may have one digit; years 1900-2100; a range runs forward over at most 366 days and
// may cross a year's end. The name (up to 64 GBK bytes) is the rest of the line. A later line
// wins over an earlier one for the same day. Any other line is malformed and skipped.
class CHolidayOverlay {
public:
    HolidayFileReport Parse(std::string_view bytes);
    // The years that at least one good line names, ascending.
    std::vector<int> Years() const;
    bool CoversYear(int nYear) const { return Find(nYear) != nullptr; }
    // As GetHoliday, for a year this overlay covers; HOLIDAY_NONE for any other.
    int Get(int nYear, int nMonth, int nDay, const char** ppszName) const;
    // Marks day d (a real date, years 1900-2100) HOLIDAY_OFF or HOLIDAY_WORK with the holiday's
    // name (GBK, 1-64 bytes, the rule of a file line's name). False, nothing marked, otherwise.
    bool SetDay(const SolarDate& d, int nKind, const std::string& name);
    // Takes every marked day of other over what this overlay holds for that day.
    void MergeFrom(const CHolidayOverlay& other);

private:
    struct Year {
        int m_nYear;
        const char* m_names[12][31];  // null: nothing on that day
        unsigned char m_kinds[12][31];
    };
    const Year* Find(int nYear) const;
    Year& Touch(int nYear);
    std::vector<Year> m_years;
};

// Makes overlay the user's schedules that GetHoliday answers from; an empty one removes them.
void SetUserHolidays(const CHolidayOverlay& overlay);
// Makes the downloaded schedules of the given years those that GetHoliday answers from, below
// the user's and above the built-in table: a year among them has only the days listed. days
// also holds days its files list beside their year (a New Year's holiday that begins in
// December): those count wherever the user's file does not name their year.
void SetDownloadedHolidays(const CHolidayOverlay& days, const std::vector<int>& years);

// A holiday's days off around its festival.
struct HolidayPeriod {
    const char* m_pszName = nullptr;  // GBK
    SolarDate m_festival{};           // the festival's own day (春节: the lunar New Year)
    SolarDate m_firstOff{};           // the days off in a row, weekends next to them included
    SolarDate m_lastOff{};
};

// The holiday whose days off include `from`, or else the first one after it (looked for up to
// 400 days ahead): true. False when no known schedule has one. The festival is the day in or
// near the period whose festival or solar term the name begins with (国庆 for 国庆节); failing
// that, the name's first day off.
bool FindHolidayPeriod(const SolarDate& from, HolidayPeriod& period);
