// The main window's navigation rules: previous and next month, the selectors, going to
// today, and dates outside the months the calendar shows.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "monthview/navigation.h"

namespace {

::testing::AssertionResult SameMonth(const YearMonth& got, const YearMonth& want)
{
    if (got == want)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got.m_nYear << "-" << got.m_nMonth << ", want " << want.m_nYear
                                         << "-" << want.m_nMonth;
}

TEST(MonthNavigation, PreviousAndNextMonth)
{
    struct Case {
        YearMonth shown;
        YearMonth prev;
        YearMonth next;
    };
    const Case cases[] = {
        {{1900, 2}, {1900, 2}, {1900, 3}},
        {{1900, 3}, {1900, 2}, {1900, 4}},
        {{2000, 1}, {1999, 12}, {2000, 2}},
        {{1999, 12}, {1999, 11}, {2000, 1}},
        {{2049, 12}, {2049, 11}, {2049, 12}},
        {{2049, 11}, {2049, 10}, {2049, 12}},
        {{2049, 1}, {2048, 12}, {2049, 2}},
        {{2048, 12}, {2048, 11}, {2049, 1}},
        {{2024, 6}, {2024, 5}, {2024, 7}},
        // Months the view never shows count as the nearest one it does.
        {{1900, 1}, {1900, 2}, {1900, 3}},
        {{1850, 7}, {1900, 2}, {1900, 3}},
        {{2050, 1}, {2049, 11}, {2049, 12}},
        {{INT_MAX, 12}, {2049, 11}, {2049, 12}},
        {{INT_MIN, 1}, {1900, 2}, {1900, 3}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(SameMonth(PrevMonth(c.shown), c.prev)) << c.shown.m_nYear << "-" << c.shown.m_nMonth;
        EXPECT_TRUE(SameMonth(NextMonth(c.shown), c.next)) << c.shown.m_nYear << "-" << c.shown.m_nMonth;
    }
    // Stepping through the whole range visits every month once, both ways.
    int nSteps = 0;
    for (YearMonth m = FIRST_SHOWN_MONTH; m != LAST_SHOWN_MONTH; m = NextMonth(m))
        ++nSteps;
    EXPECT_EQ(nSteps, 150 * 12 - 2);
    nSteps = 0;
    for (YearMonth m = LAST_SHOWN_MONTH; m != FIRST_SHOWN_MONTH; m = PrevMonth(m))
        ++nSteps;
    EXPECT_EQ(nSteps, 150 * 12 - 2);
}

TEST(MonthNavigation, SupportedMonthsAndTheNearestOne)
{
    struct Case {
        int nYear, nMonth;
        bool bSupported;
        YearMonth nearest;
    };
    const Case cases[] = {
        {1900, 2, true, {1900, 2}},
        {2049, 12, true, {2049, 12}},
        {2024, 2, true, {2024, 2}},
        {1900, 1, false, {1900, 2}},
        {1899, 12, false, {1900, 2}},
        {2050, 1, false, {2049, 12}},
        {2051, 2, false, {2049, 12}},
        {0, 0, false, {1900, 2}},
        {-1, 6, false, {1900, 2}},
        {2024, 0, false, {2024, 1}},
        {2024, 13, false, {2024, 12}},
        {2024, -7, false, {2024, 1}},
        {1900, 0, false, {1900, 2}},
        {2049, 13, false, {2049, 12}},
        {INT_MAX, INT_MAX, false, {2049, 12}},
        {INT_MIN, INT_MIN, false, {1900, 2}},
        {30827, 12, false, {2049, 12}},
        {1601, 1, false, {1900, 2}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSupportedMonth(c.nYear, c.nMonth), c.bSupported) << c.nYear << "-" << c.nMonth;
        EXPECT_TRUE(SameMonth(ClampToSupportedMonth(c.nYear, c.nMonth), c.nearest)) << c.nYear << "-" << c.nMonth;
    }
}

TEST(MonthNavigation, SelectorItems)
{
    struct Case {
        YearMonth month;
        int nYearItem, nMonthItem;
    };
    const Case cases[] = {
        {{1900, 2}, 0, 1},
        {{2049, 12}, 149, 11},
        {{2024, 2}, 124, 1},
        {{1900, 1}, 0, 1},
        {{2050, 3}, 149, 11},
        {{1601, 1}, 0, 1},
    };
    for (const Case& c : cases) {
        const SelectorItems items = SelectorItemsOf(c.month);
        EXPECT_EQ(items.m_nYearItem, c.nYearItem) << c.month.m_nYear << "-" << c.month.m_nMonth;
        EXPECT_EQ(items.m_nMonthItem, c.nMonthItem) << c.month.m_nYear << "-" << c.month.m_nMonth;
    }
}

TEST(MonthNavigation, SelectorChange)
{
    struct Case {
        int nYearItem, nMonthItem;
        int nNewYearItem, nNewMonthItem;
        YearMonth shown;
    };
    const Case cases[] = {
        {0, 0, 0, 1, {1900, 2}},  // January 1900 is never shown
        {0, 1, 0, 1, {1900, 2}},
        {0, 11, 0, 11, {1900, 12}},
        {1, 0, 1, 0, {1901, 1}},
        {124, 1, 124, 1, {2024, 2}},
        {149, 11, 149, 11, {2049, 12}},
        // No selection (-1) or an item past the list reads as the nearest item.
        {-1, 5, 0, 5, {1900, 6}},
        {-1, -1, 0, 1, {1900, 2}},
        {150, 12, 149, 11, {2049, 12}},
        {124, -1, 124, 0, {2024, 1}},
    };
    for (const Case& c : cases) {
        const SelectorChange change = ChangeSelectors(c.nYearItem, c.nMonthItem);
        EXPECT_EQ(change.m_items.m_nYearItem, c.nNewYearItem) << c.nYearItem << "/" << c.nMonthItem;
        EXPECT_EQ(change.m_items.m_nMonthItem, c.nNewMonthItem) << c.nYearItem << "/" << c.nMonthItem;
        EXPECT_TRUE(SameMonth(change.m_month, c.shown)) << c.nYearItem << "/" << c.nMonthItem;
        // The selectors always name the month shown.
        EXPECT_EQ(SelectorItemsOf(change.m_month).m_nYearItem, change.m_items.m_nYearItem);
        EXPECT_EQ(SelectorItemsOf(change.m_month).m_nMonthItem, change.m_items.m_nMonthItem);
    }
}

TEST(MonthNavigation, GoToToday)
{
    struct Case {
        int nShownYear, nShownMonth, nHotDay;
        int nTodayYear, nTodayMonth, nTodayDay;
        bool bSetMonth;
        int nYearItem, nMonthItem;
    };
    const Case cases[] = {
        {2024, 2, 10, 2024, 2, 10, false, 124, 1},  // shown, and the pointer rests on today
        {2024, 2, 0, 2024, 2, 10, true, 124, 1},
        {2024, 2, 11, 2024, 2, 10, true, 124, 1},
        {2024, 3, 10, 2024, 2, 10, true, 124, 1},
        {2023, 2, 10, 2024, 2, 10, true, 124, 1},
        {0, 0, 0, 2024, 2, 10, true, 124, 1},  // at start-up nothing is shown yet
        {0, 0, 0, 1900, 2, 1, true, 0, 1},
        // A clock outside the range: the nearest month, always set, selectors on it.
        {2049, 12, 5, 2050, 1, 5, true, 149, 11},
        {2049, 12, 5, 2049, 12, 5, false, 149, 11},
        {1900, 2, 20, 1900, 1, 20, true, 0, 1},
        {1900, 2, 0, 1601, 1, 1, true, 0, 1},
        {2049, 12, 31, 30827, 12, 31, true, 149, 11},
    };
    for (const Case& c : cases) {
        const TodayPlan plan =
            PlanGoToToday(c.nShownYear, c.nShownMonth, c.nHotDay, c.nTodayYear, c.nTodayMonth, c.nTodayDay);
        const std::string where = std::to_string(c.nTodayYear) + "-" + std::to_string(c.nTodayMonth) + "-" +
            std::to_string(c.nTodayDay) + " over " + std::to_string(c.nShownYear) + "-" + std::to_string(c.nShownMonth);
        EXPECT_EQ(plan.m_bSetMonth, c.bSetMonth) << where;
        EXPECT_EQ(plan.m_nYear, c.nTodayYear) << where;
        EXPECT_EQ(plan.m_nMonth, c.nTodayMonth) << where;
        EXPECT_EQ(plan.m_nDay, c.nTodayDay) << where;
        EXPECT_EQ(plan.m_items.m_nYearItem, c.nYearItem) << where;
        EXPECT_EQ(plan.m_items.m_nMonthItem, c.nMonthItem) << where;
    }
}

}  // namespace
