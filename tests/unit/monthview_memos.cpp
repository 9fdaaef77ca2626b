// Month model and memo files: tip texts, saving, leap months, months spanning three lunar
// months, texts too long for a record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/almanac.h"
#include "engine/lunar.h"
#include "memo/memo_merge.h"
#include "memo/memo_store.h"
#include "monthview/month_model.h"
#include "monthview_support.h"

namespace {

using monthview_test::FakeHost;
using monthview_test::MemoFileBytes;
using monthview_test::MemoFolderTest;
using monthview_test::Record;
using monthview_test::Utf8;

class MonthMemoTest : public MemoFolderTest {
protected:
    static void RemoveMemoFiles()
    {
        for (const auto& name : MemoFiles())
            std::filesystem::remove(std::filesystem::path("日历") / name);
        ForgetFileReads();
    }
    static std::string LunarFileName(int nLunarMonth)
    {
        char name[8];
        std::snprintf(name, sizeof name, "0%02d", nLunarMonth);
        return name;
    }
    // The tip text of a day, released as the tip window releases it.
    static std::string Note(const CMonthModel& model, int nDay, int& nLength)
    {
        char* pszNote = model.BuildDayNote(nDay, nLength);
        if (!pszNote)
            return "(null)";
        std::string text(pszNote, static_cast<std::size_t>(nLength));
        EXPECT_EQ(pszNote[nLength], '\0');
        EXPECT_EQ(std::strlen(pszNote), static_cast<std::size_t>(nLength));
        std::free(pszNote);
        return text;
    }
};

constexpr std::uint32_t kGreen = MEMO_CUSTOM_COLOR | 0x00FF00;

// 2024-02-15, a Thursday, is the sixth day of the first lunar month: its four memos are
// weekly slot 4, slot 15 of 202402 and of 102, and slot 6 of 001. Every combination of
// present and absent texts, with absent ones either missing or holding only a colour. The day
// is off for the Spring Festival: that line comes first.
TEST_F(MonthMemoTest, TipTextJoinsThePresentMemosInOrder)
{
    const std::string texts[4] = {"每周例会", "abc", "生日", "x\r\ny"};  // weekly, once, solar, lunar
    const char* const files[4] = {"week", "202402", "102", "001"};
    const int slots[4] = {4, 15, 15, 6};
    for (int nColourOnly = 0; nColourOnly < 2; ++nColourOnly) {
        for (int mask = 0; mask < 16; ++mask) {
            RemoveMemoFiles();
            std::string expected = "春节 放假";
            for (int k = 0; k < 4; ++k) {
                if (mask & (1 << k)) {
                    WriteMemoFile(files[k], MemoFileBytes({{slots[k], texts[k], 0}}));
                    expected += "\r\n";
                    expected += texts[k];
                } else if (nColourOnly) {
                    WriteMemoFile(files[k], MemoFileBytes({{slots[k], "", kGreen}}));
                }
            }
            CMonthModel model;
            model.SetMonth(2024, 2, 0);
            int nLength = -1;
            const std::string note = Note(model, 15, nLength);
            EXPECT_EQ(note, expected) << "mask " << mask << " colour only " << nColourOnly;
            EXPECT_EQ(nLength, static_cast<int>(expected.size()));
            // Tuesday the 20th has none of them: no holiday, its lunar day 11 and weekday 2 are empty.
            EXPECT_EQ(Note(model, 20, nLength), "(null)");
            EXPECT_EQ(nLength, 0);
        }
    }
}

TEST_F(MonthMemoTest, TipTextOfNoDay)
{
    WriteMemoFile("week", MemoFileBytes({{0, "sun", 0}, {1, "mon", 0}, {6, "sat", 0}}));
    CMonthModel model;
    int nLength = -1;
    EXPECT_EQ(Note(model, 1, nLength), "(null)");  // nothing shown yet
    model.SetMonth(2024, 2, 0);
    EXPECT_EQ(Note(model, 0, nLength), "(null)");
    EXPECT_EQ(Note(model, 30, nLength), "(null)");
    EXPECT_EQ(nLength, 0);
    EXPECT_EQ(Note(model, 3, nLength), "sat");
    EXPECT_EQ(Note(model, 4, nLength), "春节 调休上班\r\nsun");  // a working Sunday
    EXPECT_EQ(Note(model, 5, nLength), "mon");
}

// With the almanac shown every day has a tip, and the almanac comes before the holiday and the memos.
TEST_F(MonthMemoTest, TipTextBeginsWithTheAlmanac)
{
    WriteMemoFile("week", MemoFileBytes({{0, "sun", 0}}));
    CMonthModel model;
    model.m_bShowAlmanac = true;
    model.SetMonth(2024, 2, 0);
    struct Case {
        int nDay;
        const char* szRest;  // after the almanac
    };
    const Case cases[] = {{20, ""}, {4, "\r\n春节 调休上班\r\nsun"}, {25, "\r\nsun"}, {15, "\r\n春节 放假"}};
    for (const Case& c : cases) {
        std::string almanac;
        AppendAlmanacTip(2024, 2, c.nDay, model.m_cells[c.nDay].m_lunar, almanac);
        ASSERT_FALSE(almanac.empty());
        int nLength = -1;
        EXPECT_EQ(Note(model, c.nDay, nLength), almanac + c.szRest) << c.nDay;
    }
}

TEST_F(MonthMemoTest, SavingDropsLeadingBlanksOnly)
{
    FakeHost host;
    CMonthModel model(&host);
    model.SetMonth(2024, 2, 0);
    model.m_nHotDay = 10;  // lunar 1-1
    host.m_calls.clear();
    EXPECT_EQ(model.SaveDayMemos("   two words  ", 0, "\tfirst tab", MEMO_CUSTOM_COLOR | 0x0000FF, "　全角", 0), 0);
    EXPECT_EQ(host.m_calls, std::vector<std::string>{"invalidate"});
    EXPECT_EQ(ReadMemoFile("202402"), MemoFileBytes({{10, "two words  ", 0}}));
    EXPECT_EQ(ReadMemoFile("102"), MemoFileBytes({{10, "\tfirst tab", MEMO_CUSTOM_COLOR | 0x0000FF}}));
    EXPECT_EQ(ReadMemoFile("001"), MemoFileBytes({{1, "　全角", 0}}));

    // Blanks alone are no text: the slots empty and their files go.
    EXPECT_EQ(model.SaveDayMemos("    ", 0, "", 0, " ", kGreen), 0);
    EXPECT_EQ(ReadMemoFile("202402"), std::nullopt);
    EXPECT_EQ(ReadMemoFile("102"), std::nullopt);
    EXPECT_EQ(ReadMemoFile("001"), MemoFileBytes({{1, "", kGreen}}));  // the colour stays

    model.m_nWeekdayCol = 3;
    host.m_calls.clear();
    EXPECT_EQ(model.SaveWeeklyMemo("  周三", 0), 0);
    EXPECT_EQ(host.m_calls, std::vector<std::string>{"invalidate"});
    EXPECT_EQ(ReadMemoFile("week"), MemoFileBytes({{3, "周三", 0}}));
    int nLength = 0;
    EXPECT_EQ(Note(model, 7, nLength), "周三");  // Wednesday the 7th
}

// Texts of 65,536 bytes and more do not fit a record: that text is reported, the others are
// stored all the same, and the refused one keeps its old slot and file.
TEST_F(MonthMemoTest, TooLongTextsAreReportedOneByOne)
{
    CMonthModel model;
    model.SetMonth(2024, 2, 0);
    model.m_nHotDay = 15;
    ASSERT_EQ(model.SaveDayMemos("old", 0, "old", 0, "old", 0), 0);

    const std::string tooLong(65536, 'a');
    const std::string longest(65535, 'b');
    EXPECT_EQ(model.SaveDayMemos(tooLong, 0, "   " + longest, 0, "new", 0), SAVE_FAILED_ONCE);
    EXPECT_EQ(ReadMemoFile("202402"), MemoFileBytes({{15, "old", 0}}));
    EXPECT_EQ(ReadMemoFile("102"), MemoFileBytes({{15, longest, 0}}));
    EXPECT_EQ(ReadMemoFile("001"), MemoFileBytes({{6, "new", 0}}));
    EXPECT_STREQ(model.GetOnceEntry(15)->m_pszText, "old");

    EXPECT_EQ(
        model.SaveDayMemos("a", 0, tooLong, 0, tooLong + "c", 0), SAVE_FAILED_SOLAR_YEARLY | SAVE_FAILED_LUNAR_YEARLY);
    EXPECT_EQ(ReadMemoFile("202402"), MemoFileBytes({{15, "a", 0}}));
    EXPECT_EQ(ReadMemoFile("102"), MemoFileBytes({{15, longest, 0}}));
    EXPECT_EQ(ReadMemoFile("001"), MemoFileBytes({{6, "new", 0}}));

    model.m_nWeekdayCol = 0;
    EXPECT_EQ(model.SaveWeeklyMemo(tooLong, 0), -1);
    EXPECT_EQ(ReadMemoFile("week"), std::nullopt);

    // No day or no column to save for.
    model.m_nHotDay = 0;
    EXPECT_EQ(model.SaveDayMemos("x", 0, "x", 0, "x", 0),
        SAVE_FAILED_ONCE | SAVE_FAILED_SOLAR_YEARLY | SAVE_FAILED_LUNAR_YEARLY);
    model.m_nHotDay = 30;
    EXPECT_EQ(model.SaveDayMemos("x", 0, "x", 0, "x", 0),
        SAVE_FAILED_ONCE | SAVE_FAILED_SOLAR_YEARLY | SAVE_FAILED_LUNAR_YEARLY);
    model.m_nWeekdayCol = -1;
    EXPECT_EQ(model.SaveWeeklyMemo("x", 0), -1);
    model.m_nWeekdayCol = 7;
    EXPECT_EQ(model.SaveWeeklyMemo("x", 0), -1);
    EXPECT_EQ(ReadMemoFile("202402"), MemoFileBytes({{15, "a", 0}}));
    EXPECT_EQ(ReadMemoFile("week"), std::nullopt);
    EXPECT_EQ(model.SetLunarMemo(0, "x", 1, 0), -1);
    EXPECT_EQ(model.SetLunarMemo(30, "x", 1, 0), -1);
}

// March 2023 runs from the 10th of the second lunar month into the leap second month (from
// the 22nd): both share the file 002, and so does the second month of every other year.
TEST_F(MonthMemoTest, LeapMonthMemosShareTheOrdinaryMonthsFile)
{
    CMonthModel model;
    model.SetMonth(2023, 3, 0);
    ASSERT_EQ(model.m_cells[25].m_lunar.m_bLeap, 1);
    ASSERT_EQ(model.m_cells[25].m_lunar.m_nDay, 4);
    ASSERT_EQ(model.m_cells[5].m_lunar.m_bLeap, 0);
    ASSERT_EQ(model.m_cells[5].m_lunar.m_nDay, 14);
    model.m_nHotDay = 25;
    ASSERT_EQ(model.SaveDayMemos("", 0, "", 0, "leap", 0), 0);
    model.m_nHotDay = 5;
    ASSERT_EQ(model.SaveDayMemos("", 0, "", 0, "ordinary", 0), 0);
    EXPECT_EQ(ReadMemoFile("002"), MemoFileBytes({{4, "leap", 0}, {14, "ordinary", 0}}));
    EXPECT_EQ(MemoFiles(), std::vector<std::string>{"002"});
    // Both days read back in the same month, through the one store.
    EXPECT_STREQ(model.GetLunarEntry(25)->m_pszText, "leap");
    EXPECT_STREQ(model.GetLunarEntry(5)->m_pszText, "ordinary");
    EXPECT_EQ(model.GetLunarEntry(26)->m_pszText, nullptr);

    struct Case {
        int nYear, nMonth, nDay;
        const char* szText;
    };
    const Case cases[] = {
        {2023, 2, 23, "leap"},      // ordinary 二月初四 of the same year
        {2024, 3, 13, "leap"},      // 二月初四 of 2024
        {2024, 3, 23, "ordinary"},  // 二月十四 of 2024
        {2023, 4, 4, "ordinary"},   // 闰二月十四
    };
    for (const Case& c : cases) {
        CMonthModel other;
        other.SetMonth(c.nYear, c.nMonth, 0);
        const CMemoEntry* pEntry = other.GetLunarEntry(c.nDay);
        ASSERT_NE(pEntry, nullptr);
        EXPECT_STREQ(pEntry->m_pszText ? pEntry->m_pszText : "", c.szText)
            << c.nYear << "-" << c.nMonth << "-" << c.nDay;
    }
}

// A month whose first day ends one lunar month and whose last day begins the month after
// next touches three lunar month numbers; the days of the middle one keep their memos in
// that month's own file.
TEST_F(MonthMemoTest, MonthsSpanningThreeLunarMonthsUseAStorePerLunarMonth)
{
    std::vector<std::pair<int, int>> months;
    for (int y = 1900; y <= 2049; ++y) {
        for (int m = (y == 1900 ? 2 : 1); m <= 12; ++m) {
            CLunarDate first, last;
            first.FromSolar(y, m, 1);
            last.FromSolar(y, m, DaysInMonth(y, m));
            if (first.m_nDay == first.m_nMonthDays && last.m_nDay == 1)
                months.emplace_back(y, m);
        }
    }
    ASSERT_EQ(months.size(), 11u);
    EXPECT_NE(std::find(months.begin(), months.end(), std::make_pair(2000, 7)), months.end());

    for (const auto& [y, m] : months) {
        RemoveMemoFiles();
        const std::string where = std::to_string(y) + "-" + std::to_string(m);
        CMonthModel model;
        model.SetMonth(y, m, 0);
        const int nFirst = model.m_cells[1].m_lunar.m_nMonth;
        const int nLast = model.m_cells[model.m_nDays].m_lunar.m_nMonth;
        const CLunarDate& mid = model.m_cells[15].m_lunar;
        ASSERT_NE(mid.m_nMonth, nFirst) << where;
        ASSERT_NE(mid.m_nMonth, nLast) << where;

        model.m_nHotDay = 15;
        ASSERT_EQ(model.SaveDayMemos("", 0, "", 0, "middle", 0), 0) << where;
        EXPECT_EQ(MemoFiles(), std::vector<std::string>{LunarFileName(mid.m_nMonth)}) << where;
        EXPECT_EQ(ReadMemoFile(LunarFileName(mid.m_nMonth)), MemoFileBytes({{mid.m_nDay, "middle", 0}})) << where;

        model.m_nHotDay = 1;
        ASSERT_EQ(model.SaveDayMemos("", 0, "", 0, "first", 0), 0);
        model.m_nHotDay = model.m_nDays;
        ASSERT_EQ(model.SaveDayMemos("", 0, "", 0, "last", 0), 0);
        EXPECT_EQ(ReadMemoFile(LunarFileName(nFirst)), MemoFileBytes({{model.m_cells[1].m_lunar.m_nDay, "first", 0}}))
            << where;
        EXPECT_EQ(ReadMemoFile(LunarFileName(nLast)), MemoFileBytes({{1, "last", 0}})) << where;
        EXPECT_EQ(MemoFiles().size(), 3u) << where;

        // Opened afresh, every day finds its own month's memo and no other.
        CMonthModel again;
        again.SetMonth(y, m, 0);
        for (int d = 1; d <= again.m_nDays; ++d) {
            const char* szWant = d == 1 ? "first" : (d == again.m_nDays ? "last" : (d == 15 ? "middle" : ""));
            const CMemoEntry* pEntry = again.GetLunarEntry(d);
            ASSERT_NE(pEntry, nullptr) << where << " day " << d;
            EXPECT_STREQ(pEntry->m_pszText ? pEntry->m_pszText : "", szWant) << where << " day " << d;
            int nLength = 0;
            char* pszNote = again.BuildDayNote(d, nLength);
            EXPECT_EQ(pszNote ? std::string(pszNote) : std::string(), szWant) << where << " day " << d;
            std::free(pszNote);
        }
    }
}

// A month that touches only two lunar months keeps no third store from the month before.
TEST_F(MonthMemoTest, MiddleStoreClosesWithItsMonth)
{
    WriteMemoFile("006", MemoFileBytes({{14, "sixth", 0}}));
    CMonthModel model;
    model.SetMonth(2000, 7, 0);  // lunar 5-30 .. 7-1
    ASSERT_EQ(model.m_cells[15].m_lunar.m_nMonth, 6);
    EXPECT_STREQ(model.GetLunarEntry(15)->m_pszText, "sixth");
    EXPECT_EQ(model.m_storeLunarMiddle.m_nMaxIndex, MEMO_MONTH_MAX_INDEX);

    model.SetMonth(2000, 8, 0);  // two lunar months, the seventh and the eighth
    EXPECT_EQ(model.m_storeLunarMiddle.m_nMaxIndex, -1);
    for (int d = 1; d <= model.m_nDays; ++d) {
        const CMemoEntry* pEntry = model.GetLunarEntry(d);
        ASSERT_NE(pEntry, nullptr);
        EXPECT_EQ(pEntry->m_pszText, nullptr) << "day " << d;
    }
}

TEST_F(MonthMemoTest, MemoSlotsOfAShownDay)
{
    WriteMemoFile("202405", MemoFileBytes({{1, "once", 0}, {31, "end", 0}}));
    WriteMemoFile("105", MemoFileBytes({{1, "may day", 0}}));
    WriteMemoFile("week", MemoFileBytes({{3, "wed", 0}, {7, "never read", 0}}));
    CMonthModel model;
    EXPECT_EQ(model.GetOnceEntry(1), nullptr);
    EXPECT_EQ(model.GetLunarEntry(1), nullptr);
    model.SetMonth(2024, 5, 0);
    EXPECT_STREQ(model.GetOnceEntry(1)->m_pszText, "once");
    EXPECT_STREQ(model.GetOnceEntry(31)->m_pszText, "end");
    EXPECT_STREQ(model.GetSolarYearlyEntry(1)->m_pszText, "may day");
    EXPECT_STREQ(model.GetWeeklyEntry(3)->m_pszText, "wed");
    EXPECT_EQ(model.GetWeeklyEntry(7), nullptr);
    EXPECT_EQ(model.GetWeeklyEntry(-1), nullptr);
    EXPECT_EQ(model.GetOnceEntry(0), nullptr);
    EXPECT_EQ(model.GetOnceEntry(32), nullptr);

    model.SetMonth(2024, 4, 0);  // 30 days: the 31st is no day
    EXPECT_EQ(model.GetOnceEntry(31), nullptr);
    EXPECT_EQ(model.GetLunarEntry(31), nullptr);

    CMemoEntry colourOnly;
    colourOnly.Set("", 0, kGreen);
    EXPECT_FALSE(CMonthModel::HasMemoText(&colourOnly));
    EXPECT_FALSE(CMonthModel::HasMemoText(nullptr));
    colourOnly.Set("t", 1, kGreen);
    EXPECT_TRUE(CMonthModel::HasMemoText(&colourOnly));
}

// A dialog open over a day while the sync rewrote its slots: the save keeps the sync's text and
// the user's, the sync's first, and takes back nothing the user left alone.
TEST_F(MonthMemoTest, DialogSaveKeepsWhatTheSyncWroteSinceItOpened)
{
    const std::string merged = std::string("sync\r\n") + kLocalMark + "typed";
    struct Case {
        const char* what;
        std::string read, synced, typed, stored;
        std::uint32_t syncedFlags, typedFlags, storedFlags;
    } cases[] = {
        {"no sync meanwhile", "old", "old", "typed", "typed", 0, 0, 0},
        {"left alone", "old", "sync", "old", "sync", 0, 0, 0},
        {"both changed", "old", "sync", "typed", merged, 0, 0, 0},
        {"sync added to an empty day", "", "sync", "typed", merged, 0, 0, 0},
        {"sync removed, user typed", "old", "", "typed", "typed", 0, 0, 0},
        {"sync removed, left alone", "old", "", "old", "", 0, 0, 0},
        {"sync's colour, user's text", "old", "old", "typed", "typed", kGreen, 0, kGreen},
        {"user's colour, sync's text", "old", "sync", "old", "sync", 0, kGreen, kGreen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveMemoFiles();
        CMonthModel model;
        model.SetMonth(2024, 2, 0);
        model.m_nHotDay = 10;  // lunar 1-1: one-off slot 10 of 202402, lunar slot 1 of 001
        ASSERT_EQ(model.SaveDayMemos(c.read, 0, "", 0, c.read, 0), 0);
        const MemoRead read[3] = {{c.read, 0}, {"", 0}, {c.read, 0}};
        const std::vector<Record> syncOnce =
            c.synced.empty() ? std::vector<Record>{} : std::vector<Record>{{10, c.synced, c.syncedFlags}};
        const std::vector<Record> syncLunar =
            c.synced.empty() ? std::vector<Record>{} : std::vector<Record>{{1, c.synced, c.syncedFlags}};
        WriteMemoFile("202402", MemoFileBytes(syncOnce));
        WriteMemoFile("001", MemoFileBytes(syncLunar));

        EXPECT_EQ(model.SaveDayMemos(c.typed, c.typedFlags, "", 0, c.typed, c.typedFlags, read), 0);
        const auto expected = [&](int slot) {
            return c.stored.empty() ? std::optional<std::string>() : MemoFileBytes({{slot, c.stored, c.storedFlags}});
        };
        EXPECT_EQ(ReadMemoFile("202402"), expected(10));
        EXPECT_EQ(ReadMemoFile("001"), expected(1));
    }

    // The weekly dialog saves the same way.
    CMonthModel model;
    model.SetMonth(2024, 2, 0);
    model.m_nWeekdayCol = 3;
    WriteMemoFile("week", MemoFileBytes({{3, "sync", 0}}));
    const MemoRead read{"old", 0};
    EXPECT_EQ(model.SaveWeeklyMemo("typed", 0, &read), 0);
    EXPECT_EQ(ReadMemoFile("week"), MemoFileBytes({{3, merged, 0}}));
}

}  // namespace
