// The month model: the data half of the month view. One cell per day of a Gregorian month
// with its lunar date, festival, solar term and the text under the day number; the selected
// date; the memo stores that cover the month; the tip text of a day; and the grid geometry
// that needs no window. The window class CMonthView derives from CMonthModel and implements
// IMonthViewHost, so that the model's members are the view's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/lunar.h"
#include "memo/memo_store.h"

// One day of the shown month.
struct CDayCell {
    std::uint16_t m_nWeekday = 0;         // 0 = Sunday .. 6 = Saturday
    CLunarDate m_lunar;                   // with leap flag and the lunar month's length
    std::uint16_t m_nTerm = 0;            // 0 none; 1 the month's first solar term; 2 its second
    char m_szText[18] = {};               // GBK text under the day number; at most 10 bytes used
    const char* m_pszFestival = nullptr;  // lunar festival, else Gregorian festival, else null
    std::uint8_t m_bMonthStart = 0;       // 1 when m_szText names a new lunar month
    std::uint8_t m_nHoliday = 0;          // HOLIDAY_NONE, HOLIDAY_OFF (休) or HOLIDAY_WORK (班)
    const char* m_pszHoliday = nullptr;   // the holiday's name (GBK) when m_nHoliday is set
};

// Fills the cell of Gregorian day (nYear, nMonth, nDay), whose lunar date is given: weekday,
// lunar date, solar-term mark, festival, text, month-start flag and holiday.
void FillDayCell(CDayCell& cell, int nYear, int nMonth, int nDay, const CLunarDate& lunar);

// Sets m_szText and m_bMonthStart of a cell whose m_lunar, m_pszFestival and m_nTerm are set,
// in a Gregorian month nSolarMonth (for the term's name): the festival, else the solar
// term, else on a lunar month's first day "<month>月大" (30 days) or "<month>月小" (29),
// else the lunar day's name. A cell with an invalid lunar date and nothing else gets "".
void ComposeCellText(CDayCell& cell, int nSolarMonth);

// What the model needs from its window. The month view implements it; the model calls it
// while SetMonth, UpdateTitle and the saves run.
class IMonthViewHost {
public:
    // The main window's "返回" button: shown while the view shows another month than the
    // selected date's.
    virtual void ShowTodayButton(bool bShow) = 0;
    // The year title label gets this GBK text and is shown.
    virtual void SetTitleText(const char* pszTitle) = 0;
    // The whole view is to be repainted, without erasing its background.
    virtual void InvalidateView() = 0;

protected:
    ~IMonthViewHost() = default;
};

// A point in the view's client pixels (the window half converts from and to POINT).
struct MonthPoint {
    int x;
    int y;
};

// Grid geometry in client pixels: column c (0 = Sunday), row r (0-5).
inline constexpr int MONTH_HEADER_HEIGHT = 20;  // weekday names; no day above this
inline constexpr int MONTH_CELL_PITCH_X = 52;   // a cell is 51 wide, then a black pixel
inline constexpr int MONTH_CELL_PITCH_Y = 33;   // a cell is 32 high, then a black pixel
inline constexpr int MONTH_CELL_WIDTH = 51;
inline constexpr int MONTH_CELL_HEIGHT = 32;
inline constexpr int MONTH_GRID_ROWS = 6;
inline constexpr int MONTH_GRID_COLUMNS = 7;

// Failures reported by SaveDayMemos, one bit per text; 0 when all three were stored.
inline constexpr int SAVE_FAILED_ONCE = 1;
inline constexpr int SAVE_FAILED_SOLAR_YEARLY = 2;
inline constexpr int SAVE_FAILED_LUNAR_YEARLY = 4;

// A memo slot as a memo dialog read it when it opened. Its save keeps what another writer (the
// sync) put into the slot meanwhile: for text and flags each, the dialog's value where the
// file still holds what was read, the file's where the dialog left it as read, and where both
// changed the dialog's flags and both texts, the file's first (MergeTexts).
struct MemoRead {
    std::string m_text;
    std::uint32_t m_dwFlags = 0;
};

class CMonthModel {
public:
    CMonthModel() = default;
    explicit CMonthModel(IMonthViewHost* pHost) : m_pHost(pHost) {}
    CMonthModel(const CMonthModel&) = delete;
    CMonthModel& operator=(const CMonthModel&) = delete;

    // The window that receives the model's requests; null: none (nothing is called).
    void SetHost(IMonthViewHost* pHost) { m_pHost = pHost; }

    // Rebuilds the model for Gregorian month (nYear, nMonth): cells, memo stores, title; asks
    // the host to show or hide "返回" and to repaint. A day from 1 on also makes
    // (nYear, nMonth, min(nDay, days of the month)) the selected date; 0 keeps it.
    // A month outside February 1900 .. December 2049 shows the nearest supported month
    // (ClampToSupportedMonth) instead; a day given with such a month has no cell in it, so
    // the selected date becomes none (0, 0, 0). Always true.
    bool SetMonth(int nYear, int nMonth, int nDay);

    // Formats the year title into m_szTitle from the lunar years of the first and last day
    // ("癸卯【免】年－甲辰【龙】年" when they differ) and hands it to the host.
    void UpdateTitle();

    // Memo slots of day nDay (1 .. m_nDays) of the shown month, or null for any other day or
    // before the first SetMonth. The lunar-yearly slot comes from the store of the day's
    // lunar month number.
    const CMemoEntry* GetOnceEntry(int nDay) const;
    const CMemoEntry* GetSolarYearlyEntry(int nDay) const;
    const CMemoEntry* GetLunarEntry(int nDay) const;
    // The weekly slot of weekday nWeekday (0 = Sunday .. 6), or null.
    const CMemoEntry* GetWeeklyEntry(int nWeekday) const;
    // A slot counts as a memo (a mark in the grid, a line in the tip) when its text is
    // present and does not begin with NUL; a slot holding only a colour does not.
    static bool HasMemoText(const CMemoEntry* pEntry);

    // Stores the lunar-yearly memo of day nDay in the store of the day's lunar month number
    // (a leap month shares the file of the ordinary month), at the slot of its lunar day;
    // the file is rewritten at once. 0, or -1 when the day is not shown, the text is longer
    // than MEMO_MAX_TEXT_LENGTH or the file could not be written.
    int SetLunarMemo(int nDay, const char* pszText, int nLength, std::uint32_t dwFlags);

    // The day memo dialog's OK for day m_nHotDay: leading blanks (" ") are dropped from each
    // text, then the one-off, Gregorian-yearly and lunar-yearly slots are set, each with its
    // flags; the view is repainted. Every text is tried even when another fails. Returns 0,
    // or the SAVE_FAILED_* bits of the texts that were not stored (all three when
    // m_nHotDay is no day of the month); a text that was not stored leaves its slot and file
    // as they were, except that a failed file write leaves the new value in memory.
    // pRead: the three slots (one-off, Gregorian-yearly, lunar-yearly) as the dialog read them
    // (see MemoRead); null: the texts replace what the slots hold.
    int SaveDayMemos(std::string_view once, std::uint32_t dwOnceFlags, std::string_view solarYearly,
        std::uint32_t dwSolarYearlyFlags, std::string_view lunarYearly, std::uint32_t dwLunarYearlyFlags,
        const MemoRead* pRead = nullptr);

    // The weekly dialog's OK for weekday m_nWeekdayCol: leading blanks are dropped, the
    // weekly slot set and the view repainted. 0, or -1 when not stored (no weekday column,
    // text too long, file not written). pRead: as for SaveDayMemos.
    int SaveWeeklyMemo(std::string_view text, std::uint32_t dwFlags, const MemoRead* pRead = nullptr);

    // The tip text of day nDay: with m_bShowAlmanac the day's almanac (AppendAlmanacTip), then the day's holiday
    // ("春节 放假" or "春节 调休上班"), then the weekly, one-off, Gregorian-yearly and lunar-yearly memo texts in this
    // order, with CR LF between them. The buffer is allocated with malloc and belongs to the caller, who releases it
    // with free (the tip window does). Null, with nLength 0, when the day has neither almanac, holiday nor memo
    // text, or is not shown.
    char* BuildDayNote(int nDay, int& nLength) const;

    // The day whose cell holds client point pt, or 0 (header row, empty cell, outside).
    std::uint16_t HitTest(MonthPoint pt) const;
    std::uint16_t HitTest(int x, int y) const { return HitTest(MonthPoint{x, y}); }
    // The reference point of day nDay's cell: (52 * column, 20 + 33 * row). False, and
    // (0, 0), for a day that is not shown.
    bool GetCellOrigin(int nDay, MonthPoint& pt) const;

    // The shown month is the selected date's month (the ring and the cyan weekday show).
    bool ShowsSelectedMonth() const { return m_nSelYear != 0 && m_nYear == m_nSelYear && m_nMonth == m_nSelMonth; }

    std::uint16_t m_nYear = 0;  // shown Gregorian month; 0 until the first SetMonth
    std::uint16_t m_nMonth = 0;
    std::uint16_t m_nHotDay = 0;   // day under the pointer or last clicked; 0 = none
    std::uint16_t m_nSelYear = 0;  // selected date (today); 0 = none
    std::uint16_t m_nSelMonth = 0;
    std::uint16_t m_nSelDay = 0;
    std::int32_t m_nWeekdayCol = -1;  // header column last clicked, 0-6; -1 = none
    bool m_bShowAlmanac = false;      // tips begin with the day's almanac (the window sets the user's choice)
    CDayCell m_cells[32];             // index = day; 1 .. m_nDays valid
    std::uint16_t m_nDays = 0;

    CMemoStore m_storeOnce;         // one-off memos of the shown month, slot = day
    CMemoStore m_storeLunarFirst;   // lunar-yearly memos of day 1's lunar month number
    CMemoStore m_storeLunarLast;    // ... of the last day's lunar month number
    CMemoStore m_storeLunarMiddle;  // ... of a third number between them; open only then
    CMemoStore m_storeSolarYearly;  // Gregorian-yearly memos of the shown month number
    CMemoStore m_storeWeekly;       // weekly memos, slot = weekday

    char m_szTitle[64] = {};  // the year title (GBK), set by UpdateTitle

private:
    CMemoStore* LunarStoreOf(int nDay);
    const CMemoStore* LunarStoreOf(int nDay) const;
    void Invalidate();

    IMonthViewHost* m_pHost = nullptr;
    int m_nLunarMiddleMonth = 0;  // lunar month number of m_storeLunarMiddle, 0 = not open
};

// Appends a memo piece to a tip text being built at pszBuffer[nPos]: nothing for a slot
// without memo text; otherwise CR LF first unless it is the first piece (nPos 0), then the
// text's bytes. nPos advances past what was written. The buffer must have room.
void AppendNotePiece(char* pszBuffer, int& nPos, const CMemoEntry* pEntry);
