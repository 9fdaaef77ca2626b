#include "monthview/navigation.h"

namespace {

// Months counted from January of year 0; years stay within int, so the count fits 64 bits.
long long MonthCount(const YearMonth& m)
{
    return static_cast<long long>(m.m_nYear) * 12 + (m.m_nMonth - 1);
}

int Clamp(int n, int nLow, int nHigh)
{
    return n < nLow ? nLow : (n > nHigh ? nHigh : n);
}

}  // namespace

bool IsSupportedMonth(int nYear, int nMonth)
{
    if (nMonth < 1 || nMonth > 12)
        return false;
    const long long n = MonthCount({nYear, nMonth});
    return n >= MonthCount(FIRST_SHOWN_MONTH) && n <= MonthCount(LAST_SHOWN_MONTH);
}

YearMonth ClampToSupportedMonth(int nYear, int nMonth)
{
    const YearMonth m = {nYear, Clamp(nMonth, 1, 12)};
    if (MonthCount(m) < MonthCount(FIRST_SHOWN_MONTH))
        return FIRST_SHOWN_MONTH;
    if (MonthCount(m) > MonthCount(LAST_SHOWN_MONTH))
        return LAST_SHOWN_MONTH;
    return m;
}

YearMonth PrevMonth(YearMonth shown)
{
    const YearMonth m = ClampToSupportedMonth(shown.m_nYear, shown.m_nMonth);
    if (m == FIRST_SHOWN_MONTH)
        return m;
    return m.m_nMonth > 1 ? YearMonth{m.m_nYear, m.m_nMonth - 1} : YearMonth{m.m_nYear - 1, 12};
}

YearMonth NextMonth(YearMonth shown)
{
    const YearMonth m = ClampToSupportedMonth(shown.m_nYear, shown.m_nMonth);
    if (m == LAST_SHOWN_MONTH)
        return m;
    return m.m_nMonth < 12 ? YearMonth{m.m_nYear, m.m_nMonth + 1} : YearMonth{m.m_nYear + 1, 1};
}

SelectorItems SelectorItemsOf(YearMonth month)
{
    const YearMonth m = ClampToSupportedMonth(month.m_nYear, month.m_nMonth);
    return {m.m_nYear - SELECTOR_FIRST_YEAR, m.m_nMonth - 1};
}

SelectorChange ChangeSelectors(int nYearItem, int nMonthItem)
{
    SelectorItems items = {
        Clamp(nYearItem, 0, SELECTOR_YEAR_COUNT - 1), Clamp(nMonthItem, 0, SELECTOR_MONTH_COUNT - 1)};
    // January 1900 begins before the lunar calendar does.
    if (items.m_nYearItem == 0 && items.m_nMonthItem == 0)
        items.m_nMonthItem = 1;
    return {items, {items.m_nYearItem + SELECTOR_FIRST_YEAR, items.m_nMonthItem + 1}};
}

TodayPlan PlanGoToToday(int nShownYear, int nShownMonth, int nHotDay, int nTodayYear, int nTodayMonth, int nTodayDay)
{
    TodayPlan plan = {true, nTodayYear, nTodayMonth, nTodayDay, SelectorItemsOf({nTodayYear, nTodayMonth})};
    if (IsSupportedMonth(nTodayYear, nTodayMonth) && nShownYear == nTodayYear && nShownMonth == nTodayMonth &&
        nHotDay == nTodayDay)
        plan.m_bSetMonth = false;
    return plan;
}
