// The month grid as text for a terminal (almanix-cal), and the day table with the cell
// columns. Output is UTF-8 unless said otherwise.
#pragma once

#include <string>
#include <string_view>

#include "day_table.h"
#include "monthview/month_model.h"

// Columns a terminal gives UTF-8 text: two for East Asian wide and full-width characters
// (Han, kana, Hangul, CJK punctuation such as 【】 and －, pictographs), one for every
// other character, and one for each byte of a broken sequence.
int DisplayWidth(std::string_view utf8);

// The grid's mark of a day's holiday kind (GBK): 休, 班, or "" for HOLIDAY_NONE.
const char* HolidayMark(int nHoliday);

// Display columns of one cell of the grid.
inline constexpr int GRID_COLUMN_WIDTH = 10;

// The shown month of a model (SetMonth done) as the view draws it, one line each:
//   "2024年2月"
//   the weekday header 日 一 二 三 四 五 六
//   six rows, each a line of day numbers ("%2d") and a line of the cells' texts
//   the year title, e.g. "癸卯【免】年－甲辰【龙】年"
// Every cell starts at a multiple of GRID_COLUMN_WIDTH columns; lines carry no trailing
// blanks. A day off by the holiday schedule has 休 right after its number, an adjusted
// working day 班. With bMemoMarks, each day number is then followed by the marks of its
// memos, in the tip's order: W weekly, O one-off, S Gregorian-yearly, L lunar-yearly; a weekday name
// gets W when its weekly slot holds a memo; a legend line ends the output.
std::string FormatMonthGrid(const CMonthModel& model, bool bMemoMarks);

// The tip text of every day of the shown month that has one (BuildDayNote), in day order:
// a line "YYYY-MM-DD" and then each line of the tip indented by two blanks. Control
// characters of the memo texts print as "?", so a memo file cannot drive the terminal.
// Empty when no day has a memo.
std::string FormatDayNotes(const CMonthModel& model);

// FormatDayTable's lines with four more columns: the cell text (GBK) that the month model
// shows under the day number, the month-start flag (1 when that text names a new lunar
// month), the holiday mark (HolidayMark) and the holiday's name (empty on other days), then
// the almanac's columns (AppendAlmanacColumns).
// Same ranges and result as FormatDayTable; output GBK.
int FormatDayTableWithCells(const SolarDate& from, const SolarDate& to, DayTableMode mode, std::string& out);
