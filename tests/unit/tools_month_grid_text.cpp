// The month grid as almanix-cal prints it, the day notes under it, and the day table's
// cell columns.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "day_table.h"
#include "month_grid_text.h"
#include "monthview_support.h"
#include "text/gbcodec.h"

namespace {

using monthview_test::MemoFileBytes;
using monthview_test::MemoFolderTest;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(MonthGridText, DisplayWidth)
{
    struct Case {
        const char* szText;
        int nWidth;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {u8"日", 2},
        {u8"廿二", 4},
        {u8"闰二月小", 8},
        {u8"【", 2},
        {u8"－", 2},
        {u8"癸卯【免】年－甲辰【龙】年", 26},
        {u8"●", 1},
        {u8"é", 1},
        {u8"ｱ", 1},
        {u8"Ａ", 2},
        {u8"한", 2},
        {u8"😀", 2},
        {u8"𠀀", 2},
        {"\xff", 1},
        {"\xe6\x97", 2},
        {"\xe6\x97"
         "a",
            3},
        {" 1 W", 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DisplayWidth(c.szText), c.nWidth) << c.szText;
}

class MonthGridTextTest : public MemoFolderTest {};

TEST_F(MonthGridTextTest, February2024)
{
    CMonthModel model;
    model.SetMonth(2024, 2, 0);
    const char* const kGrid = u8"2024年2月\n"
                              u8"日        一        二        三        四        五        六\n"
                              u8"                                         1         2         3\n"
                              u8"                                        廿二      廿三      廿四\n"
                              u8" 4班       5         6         7         8         9        10休\n"
                              u8"立春      廿六      廿七      廿八      廿九      除夕      春节\n"
                              u8"11休      12休      13休      14休      15休      16休      17休\n"
                              u8"初二      初三      初四      初五      初六      初七      初八\n"
                              u8"18班      19        20        21        22        23        24\n"
                              u8"初九      雨水      十一      十二      十三      十四      元宵节\n"
                              u8"25        26        27        28        29\n"
                              u8"十六      十七      十八      十九      二十\n"
                              u8"\n"
                              u8"\n"
                              u8"癸卯【免】年－甲辰【龙】年\n";
    EXPECT_EQ(FormatMonthGrid(model, false), kGrid);
    EXPECT_EQ(FormatDayNotes(model).substr(0, 60), u8"2024-02-04\n  春节 调休上班\n2024-02-10\n  春节 放假\n");
}

// In every month the cells of a row start at the same columns as the weekday names above,
// whatever the widths of the texts before them.
TEST_F(MonthGridTextTest, ColumnsLineUp)
{
    for (const auto& [y, m] :
        std::vector<std::pair<int, int>>{{2023, 3}, {2022, 10}, {2015, 2}, {2024, 9}, {1900, 2}}) {
        CMonthModel model;
        model.SetMonth(y, m, 0);
        const std::vector<std::string> lines = Lines(FormatMonthGrid(model, false));
        ASSERT_EQ(lines.size(), 15u);
        for (int row = 0; row < 6; ++row) {
            for (int k = 0; k < 2; ++k) {
                const std::string& line = lines[2 + 2 * row + k];
                // Each token starts after a blank (or at the line start) on a cell boundary.
                for (std::size_t i = 0; i < line.size(); ++i) {
                    if (line[i] == ' ' || (i > 0 && line[i - 1] != ' '))
                        continue;
                    const int nColumn = DisplayWidth(std::string_view(line).substr(0, i));
                    const bool bNumber = k == 0 && line[i] != ' ' && nColumn % GRID_COLUMN_WIDTH == 1;
                    EXPECT_TRUE(nColumn % GRID_COLUMN_WIDTH == 0 || bNumber) << y << "-" << m << ": " << line;
                }
            }
        }
        // The 31st of October 2022 sits in the sixth row, second column.
        if (y == 2022) {
            EXPECT_EQ(lines[12], "30        31");
        }
    }
}

TEST_F(MonthGridTextTest, MemoMarksAndNotes)
{
    WriteMemoFile("week", MemoFileBytes({{3, "周会", 0}}));
    WriteMemoFile("102", MemoFileBytes({{14, "情人节", 0}}));
    WriteMemoFile("202402", MemoFileBytes({{15, "看牙医\r\n带病历", 0}, {16, "", MEMO_CUSTOM_COLOR | 0xFF}}));
    WriteMemoFile("001", MemoFileBytes({{6, "外婆生日\x1b[31m\r\r\n\xc2\x85\x81\x30\x81\x35!", 0}}));
    CMonthModel model;
    model.SetMonth(2024, 2, 0);
    const std::vector<std::string> lines = Lines(FormatMonthGrid(model, true));
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[1], u8"日        一        二        三 W      四        五        六");
    EXPECT_EQ(lines[6], u8"11休      12休      13休      14休 WS   15休 OL   16休      17休");
    EXPECT_EQ(lines[4], u8" 4班       5         6         7 W       8         9        10休");
    EXPECT_EQ(lines[15], "memos: W weekly, O one-off, S yearly (Gregorian), L yearly (lunar)");

    // ESC and U+0085 (GB18030 81 30 81 35) print as "?"; the GBK bytes C2 85 are 聟, no
    // control; a lone CR ends a line too.
    const std::string kNotes = u8"2024-02-04\n  春节 调休上班\n"
                               u8"2024-02-07\n  周会\n"
                               u8"2024-02-10\n  春节 放假\n"
                               u8"2024-02-11\n  春节 放假\n"
                               u8"2024-02-12\n  春节 放假\n"
                               u8"2024-02-13\n  春节 放假\n"
                               u8"2024-02-14\n  春节 放假\n  周会\n  情人节\n"
                               u8"2024-02-15\n  春节 放假\n  看牙医\n  带病历\n  外婆生日?[31m\n  \n  聟?!\n"
                               u8"2024-02-16\n  春节 放假\n"
                               u8"2024-02-17\n  春节 放假\n"
                               u8"2024-02-18\n  春节 调休上班\n"
                               u8"2024-02-21\n  周会\n"
                               u8"2024-02-28\n  周会\n";
    EXPECT_EQ(FormatDayNotes(model), kNotes);
}

// The day table with the cell columns: the engine's ten columns, then what the month model
// prints under the day, its month-start flag, and the day's holiday mark and name, then the
// almanac's six columns (compared day by day with lunar-javascript by almanac_matches_lunar_javascript).
TEST(MonthGridText, DayTableCellColumns)
{
    struct Case {
        SolarDate date;
        const char* szCells;  // UTF-8
    };
    const Case cases[] = {
        {{2023, 3, 22}, u8"\t闰二月小\t1\t\t"},
        {{2024, 3, 10}, u8"\t二月大\t1\t\t"},
        {{2015, 2, 19}, u8"\t春节\t0\t休\t春节"},
        {{2019, 2, 4}, u8"\t除夕\t0\t休\t春节"},
        {{2024, 2, 4}, u8"\t立春\t0\t班\t春节"},
        {{2014, 12, 22}, u8"\t冬至\t0\t\t"},
        {{2024, 2, 20}, u8"\t十一\t0\t\t"},
        {{1900, 1, 31}, u8"\t春节\t0\t\t"},
        {{2051, 2, 10}, u8"\t除夕\t0\t\t"},
    };
    for (const Case& c : cases) {
        std::string plain;
        ASSERT_EQ(FormatDayTable(c.date, c.date, DayTableMode::Convert, plain), 0);
        std::string withCells;
        ASSERT_EQ(FormatDayTableWithCells(c.date, c.date, DayTableMode::Convert, withCells), 0);
        plain.pop_back();
        std::string almanac;
        CLunarDate lunar;
        AppendAlmanacColumns(c.date, lunar.FromSolar(c.date.m_nYear, c.date.m_nMonth, c.date.m_nDay), almanac);
        EXPECT_EQ(
            almanix::GbToUtf8(withCells), almanix::GbToUtf8(plain) + c.szCells + almanix::GbToUtf8(almanac) + "\n");
    }

    // Stepping and converting agree over the whole range, and only the cells are added.
    const SolarDate first{1900, 1, 31};
    const SolarDate last{2051, 2, 10};
    std::string stepped, converted, plain;
    ASSERT_EQ(FormatDayTableWithCells(first, last, DayTableMode::Step, stepped), 0);
    ASSERT_EQ(FormatDayTableWithCells(first, last, DayTableMode::Convert, converted), 0);
    ASSERT_EQ(FormatDayTable(first, last, DayTableMode::Convert, plain), 0);
    EXPECT_EQ(stepped, converted);
    const std::vector<std::string> lines = Lines(converted);
    const std::vector<std::string> plainLines = Lines(plain);
    ASSERT_EQ(lines.size(), plainLines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].compare(0, plainLines[i].size(), plainLines[i]), 0) << plainLines[i];
        ASSERT_EQ(lines[i][plainLines[i].size()], '\t');
    }

    // Ranges the day table refuses.
    std::string out = "kept";
    EXPECT_EQ(FormatDayTableWithCells({1900, 1, 30}, {1900, 2, 1}, DayTableMode::Step, out), -1);
    EXPECT_EQ(FormatDayTableWithCells({2051, 2, 10}, {2051, 2, 11}, DayTableMode::Step, out), -1);
    EXPECT_EQ(FormatDayTableWithCells({2024, 2, 2}, {2024, 2, 1}, DayTableMode::Step, out), -1);
    EXPECT_EQ(out, "kept");
}

}  // namespace
