// The main window's geometry, timer and colours in one place (client pixels): the dark strip
// with the selectors and navigation at the top, the month view under it, the bulletin line at
// the bottom.
//
//   0 ┌──────────────────────────────────────────────┐
//     │ [年▼][月▼]        上月  下月  返回       - x │  strip, 25 high
//  22 ├──────────────────────────────────────────────┤
//     │ month view, 236 high (grid and gold strip)   │
// 258 ├──────────────────────────────────────────────┤
//     │ bulletin line                      下一篇    │
// 278 └──────────────────────────────────────────────┘  363 wide
#pragma once

#include <windows.h>

inline constexpr int CALENDAR_WIDTH = 363;
inline constexpr int CALENDAR_HEIGHT = 278;
inline constexpr int CALENDAR_STRIP_HEIGHT = 25;
inline constexpr int CALENDAR_VIEW_TOP = 22;
inline constexpr int CALENDAR_VIEW_HEIGHT = 236;
// Where a window goes when no position was saved.
inline constexpr int CALENDAR_DEFAULT_X = 500;
inline constexpr int CALENDAR_DEFAULT_Y = 300;
// The strip's right margin and the gap between "-" and "x".
inline constexpr int CALENDAR_STRIP_MARGIN = 4;
inline constexpr int CALENDAR_STRIP_GAP = 2;

inline constexpr RECT CALENDAR_PREV_MONTH_RECT = {175, 3, 205, 20};
inline constexpr RECT CALENDAR_NEXT_MONTH_RECT = {215, 3, 245, 20};
inline constexpr RECT CALENDAR_TODAY_RECT = {255, 3, 285, 20};
inline constexpr RECT CALENDAR_BULLETIN_RECT = {2, 260, 190, 278};
inline constexpr RECT CALENDAR_NEXT_BULLETIN_RECT = {230, 261, 290, 279};

// The tabs beside the calendar's right edge, up from its bottom.
inline constexpr int TAB_GAP = 10;
inline constexpr int TAB_WIDTH = 26;
inline constexpr int TAB_HEIGHT = 18;
inline constexpr int NOTEBOOK_TAB_RISE = 18;
inline constexpr int CALENDAR_TAB_RISE = 54;
// The notebook, when it has never been placed: this far below the calendar.
inline constexpr int NOTEBOOK_DEFAULT_GAP = 10;

// The clock's timer: the clock, the tip of today, the bulletin and the holiday file.
inline constexpr UINT_PTR CALENDAR_TIMER_ID = 1;
// Once, right after the first paint: what start-up leaves for later.
inline constexpr UINT_PTR CALENDAR_START_TIMER_ID = 2;
inline constexpr UINT CALENDAR_TIMER_MS = 1000;

inline constexpr COLORREF CALENDAR_STRIP_COLOR = RGB(50, 80, 90);
inline constexpr COLORREF CALENDAR_STRIP_TEXT_COLOR = RGB(189, 183, 107);
inline constexpr COLORREF CALENDAR_BULLETIN_TEXT_COLOR = RGB(0, 0, 208);
