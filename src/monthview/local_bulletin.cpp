#include "monthview/local_bulletin.h"

#include <cstdio>

#include "engine/holidays.h"
#include "engine/names.h"
#include "engine/solar_terms.h"
#include "monthview/month_model.h"

namespace {

std::string MonthDay(const SolarDate& d)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%d月%d日", d.m_nMonth, d.m_nDay);
    return buf;
}

bool SameDay(const SolarDate& a, const SolarDate& b)
{
    return a.m_nYear == b.m_nYear && a.m_nMonth == b.m_nMonth && a.m_nDay == b.m_nDay;
}

int DaysFrom(const SolarDate& from, const SolarDate& to)
{
    return DaysBetween(to.m_nYear, to.m_nMonth, to.m_nDay, from.m_nYear, from.m_nMonth, from.m_nDay);
}

// The next festival, when its year has no schedule yet and no known holiday comes before it.
bool UnpublishedItem(const SolarDate& today, const HolidayPeriod* pKnown, LocalBulletinItem& item)
{
    StatutoryFestival next;
    if (!NextStatutoryFestival(today, next) || !IsScheduleUnpublished(next.m_date.m_nYear))
        return false;
    if (pKnown && DaysFrom(pKnown->m_firstOff, next.m_date) >= 0)
        return false;
    const int nDays = DaysFrom(today, next.m_date);
    const std::string words = UnpublishedScheduleText(next.m_date.m_nYear);
    char buf[160];
    if (nDays > 0)
        std::snprintf(buf, sizeof buf, "距%s（%s）还有 %d 天，%s", next.m_pszName, MonthDay(next.m_date).c_str(), nDays,
            words.c_str());
    else
        std::snprintf(buf, sizeof buf, "今天是%s，%s", next.m_pszName, words.c_str());
    item = LocalBulletinItem{LOCAL_BULLETIN_HOLIDAY, buf, next.m_date};
    return true;
}

bool HolidayItem(const SolarDate& today, LocalBulletinItem& item)
{
    HolidayPeriod period;
    const bool bKnown = FindHolidayPeriod(today, period);
    if (UnpublishedItem(today, bKnown ? &period : nullptr, item))
        return true;
    if (!bKnown)
        return false;
    const std::string name = period.m_pszName;
    std::string off = "放假 " + MonthDay(period.m_firstOff);
    if (!SameDay(period.m_firstOff, period.m_lastOff))
        off += "至" + MonthDay(period.m_lastOff);
    const int nDays = DaysFrom(today, period.m_festival);
    char buf[160];
    if (nDays > 0)
        std::snprintf(buf, sizeof buf, "距%s（%s）还有 %d 天，%s", name.c_str(), MonthDay(period.m_festival).c_str(),
            nDays, off.c_str());
    else if (nDays == 0)
        std::snprintf(buf, sizeof buf, "今天是%s，%s", name.c_str(), off.c_str());
    else
        std::snprintf(
            buf, sizeof buf, "%s假期还有 %d 天，%s", name.c_str(), DaysFrom(today, period.m_lastOff) + 1, off.c_str());
    item = LocalBulletinItem{LOCAL_BULLETIN_HOLIDAY, buf, period.m_festival};
    return true;
}

// The first term on or after today, looked for in this month and the next.
bool TermItem(const SolarDate& today, LocalBulletinItem& item)
{
    SolarDate month{today.m_nYear, today.m_nMonth, 1};
    for (int i = 0; i < 2; ++i) {
        SolarTermTime terms[2] = {};
        if (GetSolarTerms(month.m_nYear, month.m_nMonth, terms[0], terms[1]) != 0)
            return false;
        for (int k = 0; k < 2; ++k) {
            const SolarDate day{month.m_nYear, month.m_nMonth, terms[k].m_nDay};
            if (DaysFrom(today, day) < 0)
                continue;
            const char* pszName = GetSolarTermName(month.m_nMonth, k + 1);
            item = LocalBulletinItem{
                LOCAL_BULLETIN_TERM, (SameDay(day, today) ? std::string("今天") : MonthDay(day)) + " " + pszName, day};
            return true;
        }
        month.m_nDay = DaysInMonth(month.m_nYear, month.m_nMonth);
        AdvanceSolarDate(month);
    }
    return false;
}

// One item a memo: a cut item then never hides another memo.
void AddMemoItems(const SolarDate& day, const char* pszWhen, const DayMemoReader& memosOf,
    std::vector<LocalBulletinItem>& items)
{
    for (const std::string& memo : memosOf(day)) {
        const std::string line = memo.substr(0, memo.find_first_of("\r\n"));
        if (!line.empty())
            items.push_back(LocalBulletinItem{LOCAL_BULLETIN_MEMO, std::string(pszWhen) + "：" + line, day});
    }
}

}  // namespace

std::vector<LocalBulletinItem> BuildLocalBulletinItems(const SolarDate& today, const DayMemoReader& memosOf)
{
    std::vector<LocalBulletinItem> items;
    LocalBulletinItem item;
    if (HolidayItem(today, item))
        items.push_back(item);
    if (TermItem(today, item))
        items.push_back(item);
    AddMemoItems(today, "今天", memosOf, items);
    SolarDate tomorrow = today;
    AdvanceSolarDate(tomorrow);
    AddMemoItems(tomorrow, "明天", memosOf, items);
    return items;
}

std::vector<std::string> ReadDayMemos(const SolarDate& day)
{
    std::vector<std::string> memos;
    CMonthModel model;
    model.SetMonth(day.m_nYear, day.m_nMonth, 0);
    if (model.m_nYear != day.m_nYear || model.m_nMonth != day.m_nMonth || day.m_nDay < 1 || day.m_nDay > model.m_nDays)
        return memos;
    const CMemoEntry* pieces[4] = {model.GetWeeklyEntry(model.m_cells[day.m_nDay].m_nWeekday),
        model.GetOnceEntry(day.m_nDay), model.GetSolarYearlyEntry(day.m_nDay), model.GetLunarEntry(day.m_nDay)};
    for (const CMemoEntry* p : pieces)
        if (CMonthModel::HasMemoText(p))
            memos.emplace_back(p->m_pszText, static_cast<std::size_t>(p->m_nLength));
    return memos;
}
