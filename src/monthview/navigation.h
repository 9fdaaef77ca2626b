// The main window's navigation rules as pure functions: previous and next month, the year
// and month selectors, going to today, and the months the calendar can show.
#pragma once

// A Gregorian month.
struct YearMonth {
    int m_nYear;
    int m_nMonth;  // 1-12
};

inline bool operator==(const YearMonth& a, const YearMonth& b)
{
    return a.m_nYear == b.m_nYear && a.m_nMonth == b.m_nMonth;
}
inline bool operator!=(const YearMonth& a, const YearMonth& b)
{
    return !(a == b);
}

// The months the view shows: January 1900 starts before the lunar calendar does (on the
// 31st), and the last lunar year of the tables ends in February 2051.
inline constexpr YearMonth FIRST_SHOWN_MONTH = {1900, 2};
inline constexpr YearMonth LAST_SHOWN_MONTH = {2049, 12};

// The selectors: year item i is 1900 + i (150 items), month item i is month i + 1.
inline constexpr int SELECTOR_FIRST_YEAR = 1900;
inline constexpr int SELECTOR_YEAR_COUNT = 150;
inline constexpr int SELECTOR_MONTH_COUNT = 12;

// True for February 1900 .. December 2049 (month 1-12).
bool IsSupportedMonth(int nYear, int nMonth);

// The nearest supported month: a month number outside 1-12 is first pulled into 1-12
// within its year, then a month before February 1900 gives February 1900 and one after
// December 2049 gives December 2049. Supported months come back unchanged.
YearMonth ClampToSupportedMonth(int nYear, int nMonth);

// "上月": the month before; February 1900 stays. The input is clamped first.
YearMonth PrevMonth(YearMonth shown);
// "下月": the month after; December 2049 stays. The input is clamped first.
YearMonth NextMonth(YearMonth shown);

// The selector items that show a month (year item, month item); the month is clamped first,
// so the items always exist.
struct SelectorItems {
    int m_nYearItem;   // 0 .. SELECTOR_YEAR_COUNT - 1
    int m_nMonthItem;  // 0 .. 11
};
SelectorItems SelectorItemsOf(YearMonth month);

// A change in either selector (OnSelChangeDate): the items as the selectors then read and
// the month to show. Year item 0 with month item 0 (January 1900) becomes month item 1.
// An item outside the lists (no selection reads as -1) is taken as the nearest item.
struct SelectorChange {
    SelectorItems m_items;  // what the selectors must show afterwards
    YearMonth m_month;      // what the view shows
};
SelectorChange ChangeSelectors(int nYearItem, int nMonthItem);

// GoToToday: whether the view must be set, with what, and the selector items to show.
struct TodayPlan {
    bool m_bSetMonth;  // false: the view already shows today, nothing to do
    int m_nYear;       // the arguments of SetMonth: today's local date, as read
    int m_nMonth;
    int m_nDay;
    SelectorItems m_items;  // for the month the view will show
};
// The view shows (nShownYear, nShownMonth) with nHotDay under the pointer. Today in the
// supported range: nothing to do when the view shows today's month and nHotDay is today's
// day; otherwise set the month with today's date. Today outside the range: always set, with
// today's date (SetMonth shows the nearest supported month and selects no day), and the
// selectors show that nearest month.
TodayPlan PlanGoToToday(int nShownYear, int nShownMonth, int nHotDay, int nTodayYear, int nTodayMonth, int nTodayDay);
