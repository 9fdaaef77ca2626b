#include "monthview/month_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/almanac.h"
#include "engine/holidays.h"
#include "engine/names.h"
#include "engine/solar_terms.h"
#include "memo/memo_merge.h"
#include "monthview/navigation.h"

namespace {

void CopyText(char (&dst)[18], const char* src)
{
    std::snprintf(dst, sizeof dst, "%s", src ? src : "");
}

std::string_view DropLeadingBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

// Sets a slot from a text of any length: -1, with nothing changed, when it does not fit a
// memo record. With pRead, what the file holds now is merged in (see MemoRead).
int SetSlot(CMemoStore& store, int nSlot, std::string_view text, std::uint32_t dwFlags, const MemoRead* pRead = nullptr)
{
    if (text.size() > static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH))
        return -1;
    std::string merged;  // outlives the block: text may point into it
    if (pRead && store.m_pEntries && nSlot >= 0 && nSlot <= store.m_nMaxIndex) {
        store.Load();
        const CMemoEntry& now = store.m_pEntries[nSlot];
        const std::string_view nowText =
            now.m_pszText ? std::string_view(now.m_pszText, now.m_nLength) : std::string_view();
        if (nowText != pRead->m_text) {
            merged = text == pRead->m_text ? std::string(nowText) : MergeTexts(std::string(nowText), std::string(text));
            text = merged;
        }
        if (now.m_dwFlags != pRead->m_dwFlags && dwFlags == pRead->m_dwFlags)
            dwFlags = now.m_dwFlags;
    }
    return store.SetEntry(nSlot, text.data(), static_cast<int>(text.size()), dwFlags);
}

const CMemoEntry* SlotOf(const CMemoStore& store, int nSlot)
{
    if (!store.m_pEntries || nSlot < 0 || nSlot > store.m_nMaxIndex)
        return nullptr;
    return &store.m_pEntries[nSlot];
}

}  // namespace

void ComposeCellText(CDayCell& cell, int nSolarMonth)
{
    cell.m_bMonthStart = 0;
    if (cell.m_pszFestival) {
        CopyText(cell.m_szText, cell.m_pszFestival);
    } else if (cell.m_nTerm != 0) {
        CopyText(cell.m_szText, GetSolarTermName(nSolarMonth, cell.m_nTerm));
    } else if (cell.m_lunar.IsValid() && cell.m_lunar.m_nDay == 1) {
        std::snprintf(cell.m_szText, sizeof cell.m_szText, "%s月%s",
            GetLunarMonthName(cell.m_lunar.m_nMonth, cell.m_lunar.m_bLeap != 0),
            cell.m_lunar.m_nMonthDays == 30 ? "大" : "小");
        cell.m_bMonthStart = 1;
    } else {
        CopyText(cell.m_szText, cell.m_lunar.IsValid() ? GetLunarDayName(cell.m_lunar.m_nDay) : nullptr);
    }
}

void FillDayCell(CDayCell& cell, int nYear, int nMonth, int nDay, const CLunarDate& lunar)
{
    cell.m_nWeekday = static_cast<std::uint16_t>(DayOfWeek(nYear, nMonth, nDay));
    cell.m_lunar = lunar;
    SolarTermTime first{};
    SolarTermTime second{};
    GetSolarTerms(nYear, nMonth, first, second);  // zeroed outside the table: day 0 is no day
    cell.m_nTerm = nDay == first.m_nDay ? 1 : (nDay == second.m_nDay ? 2 : 0);
    cell.m_pszFestival = lunar.GetFestival();
    if (!cell.m_pszFestival)
        cell.m_pszFestival = GetSolarFestival(nMonth, nDay);
    ComposeCellText(cell, nMonth);
    cell.m_nHoliday = static_cast<std::uint8_t>(GetHoliday(nYear, nMonth, nDay, &cell.m_pszHoliday));
}

bool CMonthModel::SetMonth(int nYear, int nMonth, int nDay)
{
    const bool bSupported = IsSupportedMonth(nYear, nMonth);
    const YearMonth shown = ClampToSupportedMonth(nYear, nMonth);
    m_nYear = static_cast<std::uint16_t>(shown.m_nYear);
    m_nMonth = static_cast<std::uint16_t>(shown.m_nMonth);
    m_nDays = static_cast<std::uint16_t>(DaysInMonth(shown.m_nYear, shown.m_nMonth));

    if (nDay > 0) {
        if (bSupported) {
            m_nSelYear = m_nYear;
            m_nSelMonth = m_nMonth;
            m_nSelDay = static_cast<std::uint16_t>(nDay < m_nDays ? nDay : m_nDays);
        } else {
            m_nSelYear = m_nSelMonth = m_nSelDay = 0;
        }
    }
    if (m_pHost)
        m_pHost->ShowTodayButton(!ShowsSelectedMonth());

    CLunarDate lunar;
    lunar.FromSolar(m_nYear, m_nMonth, 1);
    for (int i = 1; i <= m_nDays; ++i) {
        FillDayCell(m_cells[i], m_nYear, m_nMonth, i, lunar);
        lunar.NextDay();
    }
    for (int i = m_nDays + 1; i < 32; ++i)
        m_cells[i] = CDayCell{};

    // Lunar-yearly memos live in one file per lunar month number. A month whose first day
    // ends one lunar month and whose last day begins the month after next touches three
    // numbers: the middle one gets a store of its own, or its memos would land in the file
    // of the last day's month.
    const int nLunarFirst = m_cells[1].m_lunar.m_nMonth;
    const int nLunarLast = m_cells[m_nDays].m_lunar.m_nMonth;
    m_nLunarMiddleMonth = 0;
    for (int i = 2; i < m_nDays; ++i) {
        const int n = m_cells[i].m_lunar.m_nMonth;
        if (n != nLunarFirst && n != nLunarLast) {
            m_nLunarMiddleMonth = n;
            break;
        }
    }
    // Only shown here: a save reads its file again first when it changed since (SetEntry).
    const FileFreshness fresh = FileFreshness::Recent;
    m_storeOnce.Open(m_nYear, m_nMonth, fresh);
    m_storeSolarYearly.Open(1, m_nMonth, fresh);
    m_storeLunarFirst.Open(0, nLunarFirst, fresh);
    m_storeLunarLast.Open(0, nLunarLast, fresh);
    if (m_nLunarMiddleMonth != 0)
        m_storeLunarMiddle.Open(0, m_nLunarMiddleMonth, fresh);
    else
        m_storeLunarMiddle = CMemoStore();
    m_storeWeekly.OpenWeek(fresh);

    UpdateTitle();
    Invalidate();
    return true;
}

void CMonthModel::UpdateTitle()
{
    m_szTitle[0] = '\0';
    if (m_nDays == 0)
        return;
    const int nFirst = m_cells[1].m_lunar.m_nYear;
    const int nLast = m_cells[m_nDays].m_lunar.m_nYear;
    int n = std::snprintf(m_szTitle, sizeof m_szTitle, "%s【%s】年", GetGanZhiYear(nFirst - 1864), GetZodiac(nFirst));
    if (nLast != nFirst && n > 0 && static_cast<std::size_t>(n) < sizeof m_szTitle)
        std::snprintf(
            m_szTitle + n, sizeof m_szTitle - n, "－%s【%s】年", GetGanZhiYear(nLast - 1864), GetZodiac(nLast));
    if (m_pHost)
        m_pHost->SetTitleText(m_szTitle);
}

const CMemoStore* CMonthModel::LunarStoreOf(int nDay) const
{
    if (nDay < 1 || nDay > m_nDays)
        return nullptr;
    const int n = m_cells[nDay].m_lunar.m_nMonth;
    if (n == m_cells[1].m_lunar.m_nMonth)
        return &m_storeLunarFirst;
    if (n == m_cells[m_nDays].m_lunar.m_nMonth)
        return &m_storeLunarLast;
    if (n == m_nLunarMiddleMonth)
        return &m_storeLunarMiddle;
    return nullptr;
}

CMemoStore* CMonthModel::LunarStoreOf(int nDay)
{
    return const_cast<CMemoStore*>(static_cast<const CMonthModel*>(this)->LunarStoreOf(nDay));
}

const CMemoEntry* CMonthModel::GetOnceEntry(int nDay) const
{
    return nDay >= 1 && nDay <= m_nDays ? SlotOf(m_storeOnce, nDay) : nullptr;
}

const CMemoEntry* CMonthModel::GetSolarYearlyEntry(int nDay) const
{
    return nDay >= 1 && nDay <= m_nDays ? SlotOf(m_storeSolarYearly, nDay) : nullptr;
}

const CMemoEntry* CMonthModel::GetLunarEntry(int nDay) const
{
    const CMemoStore* pStore = LunarStoreOf(nDay);
    return pStore ? SlotOf(*pStore, m_cells[nDay].m_lunar.m_nDay) : nullptr;
}

const CMemoEntry* CMonthModel::GetWeeklyEntry(int nWeekday) const
{
    return nWeekday >= 0 && nWeekday <= 6 ? SlotOf(m_storeWeekly, nWeekday) : nullptr;
}

bool CMonthModel::HasMemoText(const CMemoEntry* pEntry)
{
    return pEntry && pEntry->m_pszText && pEntry->m_nLength > 0 && pEntry->m_pszText[0] != '\0';
}

int CMonthModel::SetLunarMemo(int nDay, const char* pszText, int nLength, std::uint32_t dwFlags)
{
    CMemoStore* pStore = LunarStoreOf(nDay);
    if (!pStore)
        return -1;
    return pStore->SetEntry(m_cells[nDay].m_lunar.m_nDay, pszText, nLength, dwFlags);
}

int CMonthModel::SaveDayMemos(std::string_view once, std::uint32_t dwOnceFlags, std::string_view solarYearly,
    std::uint32_t dwSolarYearlyFlags, std::string_view lunarYearly, std::uint32_t dwLunarYearlyFlags,
    const MemoRead* pRead)
{
    const int nDay = m_nHotDay;
    if (nDay < 1 || nDay > m_nDays)
        return SAVE_FAILED_ONCE | SAVE_FAILED_SOLAR_YEARLY | SAVE_FAILED_LUNAR_YEARLY;
    int nFailed = 0;
    if (SetSlot(m_storeOnce, nDay, DropLeadingBlanks(once), dwOnceFlags, pRead) != 0)
        nFailed |= SAVE_FAILED_ONCE;
    if (SetSlot(m_storeSolarYearly, nDay, DropLeadingBlanks(solarYearly), dwSolarYearlyFlags,
            pRead ? pRead + 1 : nullptr) != 0)
        nFailed |= SAVE_FAILED_SOLAR_YEARLY;
    CMemoStore* pLunar = LunarStoreOf(nDay);
    if (!pLunar ||
        SetSlot(*pLunar, m_cells[nDay].m_lunar.m_nDay, DropLeadingBlanks(lunarYearly), dwLunarYearlyFlags,
            pRead ? pRead + 2 : nullptr) != 0)
        nFailed |= SAVE_FAILED_LUNAR_YEARLY;
    Invalidate();
    return nFailed;
}

int CMonthModel::SaveWeeklyMemo(std::string_view text, std::uint32_t dwFlags, const MemoRead* pRead)
{
    if (m_nWeekdayCol < 0 || m_nWeekdayCol > 6)
        return -1;
    const int nResult = SetSlot(m_storeWeekly, m_nWeekdayCol, DropLeadingBlanks(text), dwFlags, pRead);
    Invalidate();
    return nResult;
}

// 元旦, 春节 and 国庆: the days off people plan a year around.
bool IsMainFestival(int nMonth, int nDay, const CLunarDate& lunar)
{
    return (nMonth == 1 && nDay == 1) || (nMonth == 10 && nDay == 1) ||
        (!lunar.m_bLeap && lunar.m_nMonth == 1 && lunar.m_nDay == 1);
}

void AppendNotePiece(char* pszBuffer, int& nPos, const CMemoEntry* pEntry)
{
    if (!CMonthModel::HasMemoText(pEntry))
        return;
    if (nPos > 0) {
        pszBuffer[nPos++] = '\r';
        pszBuffer[nPos++] = '\n';
    }
    std::memcpy(pszBuffer + nPos, pEntry->m_pszText, pEntry->m_nLength);
    nPos += pEntry->m_nLength;
}

char* CMonthModel::BuildDayNote(int nDay, int& nLength) const
{
    nLength = 0;
    if (nDay < 1 || nDay > m_nDays)
        return nullptr;
    const CDayCell& cell = m_cells[nDay];
    char szHoliday[96] = {};
    if (cell.m_nHoliday != HOLIDAY_NONE && cell.m_pszHoliday)
        std::snprintf(szHoliday, sizeof szHoliday, "%s %s", cell.m_pszHoliday,
            cell.m_nHoliday == HOLIDAY_OFF ? "放假" : "调休上班");
    else if (IsMainFestival(m_nMonth, nDay, cell.m_lunar) && IsScheduleUnpublished(m_nYear))
        std::snprintf(szHoliday, sizeof szHoliday, "%s", UnpublishedScheduleText(m_nYear).c_str());
    std::string almanac;
    if (m_bShowAlmanac)
        AppendAlmanacTip(m_nYear, m_nMonth, nDay, cell.m_lunar, almanac);
    if (!almanac.empty() && szHoliday[0])
        almanac += "\r\n";
    const int nAlmanac = static_cast<int>(almanac.size());
    const int nHoliday = static_cast<int>(std::strlen(szHoliday));
    const CMemoEntry* pieces[4] = {
        GetWeeklyEntry(cell.m_nWeekday), GetOnceEntry(nDay), GetSolarYearlyEntry(nDay), GetLunarEntry(nDay)};
    int nTotal = nAlmanac + nHoliday;
    for (const CMemoEntry* p : pieces)
        if (HasMemoText(p))
            nTotal += p->m_nLength;
    if (nTotal == 0)
        return nullptr;

    // Four separators and the NUL fit in the 10 spare bytes.
    char* pszNote = static_cast<char*>(std::malloc(static_cast<std::size_t>(nTotal) + 10));
    if (!pszNote)
        return nullptr;
    std::memcpy(pszNote, almanac.data(), static_cast<std::size_t>(nAlmanac));
    std::memcpy(pszNote + nAlmanac, szHoliday, static_cast<std::size_t>(nHoliday));
    int nPos = nAlmanac + nHoliday;
    for (const CMemoEntry* p : pieces)
        AppendNotePiece(pszNote, nPos, p);
    pszNote[nPos] = '\0';
    nLength = nPos;
    return pszNote;
}

std::uint16_t CMonthModel::HitTest(MonthPoint pt) const
{
    if (m_nDays == 0 || pt.y < MONTH_HEADER_HEIGHT || pt.x < 0)
        return 0;
    const int nRow = (pt.y - MONTH_HEADER_HEIGHT) / MONTH_CELL_PITCH_Y;
    const int nColumn = pt.x / MONTH_CELL_PITCH_X;
    if (nRow >= MONTH_GRID_ROWS || nColumn >= MONTH_GRID_COLUMNS)
        return 0;
    const int nDay = 7 * nRow + nColumn - m_cells[1].m_nWeekday + 1;
    return nDay >= 1 && nDay <= m_nDays ? static_cast<std::uint16_t>(nDay) : 0;
}

bool CMonthModel::GetCellOrigin(int nDay, MonthPoint& pt) const
{
    pt = MonthPoint{0, 0};
    if (nDay < 1 || nDay > m_nDays)
        return false;
    pt.x = MONTH_CELL_PITCH_X * m_cells[nDay].m_nWeekday;
    pt.y = MONTH_HEADER_HEIGHT + MONTH_CELL_PITCH_Y * ((m_cells[1].m_nWeekday + nDay - 1) / 7);
    return true;
}

void CMonthModel::Invalidate()
{
    if (m_pHost)
        m_pHost->InvalidateView();
}
