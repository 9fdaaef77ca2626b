// The published holiday schedules as the dataset in this folder carries them, and the table
// that holiday-gen writes from them into src/engine/holiday_table.inc.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace holidaydata {

// One day of a schedule: off (放假) or an adjusted working day (调休上班).
struct DayRecord {
    int m_nYear;
    int m_nMonth;
    int m_nDay;
    bool m_bWork;
    std::string m_strName;  // UTF-8, the notice's name of the holiday, e.g. 清明节
};

// Reads the dataset (chinese-days.json: "holidays" and "workdays" map "YYYY-MM-DD" to
// "English,中文,days"). The short names 清明, 端午 and 中秋 become the notices' 清明节, 端午节,
// 中秋节. Records come sorted by date. False, with a reason in error, on anything unexpected
// (a malformed date or entry, a day that is both off and working).
bool ReadDataset(std::string_view json, std::vector<DayRecord>& records, std::string& error);

// The text of holiday_table.inc for the records, from the first record's year through the
// last one's: names as GBK escapes and one string of 31 characters per month.
std::string BuildTable(const std::vector<DayRecord>& records);

}  // namespace holidaydata
