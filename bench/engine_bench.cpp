// Calendar engine: lunar conversions per second, and the cost of naming a whole month as
// the month view does. With the system's lunar-date library found at configure time,
// the same random dates go through it too, for comparison.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/lunar.h"
#include "engine/names.h"
#include "engine/solar_terms.h"

#ifdef ALMANIX_HAVE_LUNAR_DATE
#include <lunar-date/lunar-date.h>
#endif

namespace {

struct Day {
    int nYear, nMonth, nDay;
};

// Uniformly random days of 1900-01-31 .. 2051-02-10, the same sequence on every run.
const std::vector<Day>& RandomDays()
{
    static const std::vector<Day> days = [] {
        std::vector<Day> v;
        std::mt19937 rng(20240210);
        std::uniform_int_distribution<int> pick(0, DaysBetween(2051, 2, 10, 1900, 1, 31));
        for (int i = 0; i < 4096; ++i) {
            Day d{1900, 1, 31 + pick(rng)};  // days past the month roll on
            while (d.nDay > DaysInMonth(d.nYear, d.nMonth)) {
                d.nDay -= DaysInMonth(d.nYear, d.nMonth);
                if (++d.nMonth > 12) {
                    d.nMonth = 1;
                    ++d.nYear;
                }
            }
            v.push_back(d);
        }
        return v;
    }();
    return days;
}

void BM_FromSolar(benchmark::State& state)
{
    const std::vector<Day>& days = RandomDays();
    size_t i = 0;
    CLunarDate lunar;
    for (auto _ : state) {
        const Day& d = days[i++ & 4095];
        lunar.FromSolar(d.nYear, d.nMonth, d.nDay);
        benchmark::DoNotOptimize(lunar);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FromSolar);

void BM_NextDay(benchmark::State& state)
{
    CLunarDate lunar;
    lunar.FromSolar(1900, 1, 31);
    for (auto _ : state) {
        if (lunar.NextDay() != 0)
            lunar.FromSolar(1900, 1, 31);
        benchmark::DoNotOptimize(lunar);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NextDay);

#ifdef ALMANIX_HAVE_LUNAR_DATE
void BM_PeerLunarDateSetSolarDate(benchmark::State& state)
{
    const std::vector<Day>& days = RandomDays();
    LunarDate* date = lunar_date_new();
    size_t i = 0;
    for (auto _ : state) {
        const Day& d = days[i++ & 4095];
        GError* error = nullptr;
        lunar_date_set_solar_date(date, static_cast<GDateYear>(d.nYear), static_cast<GDateMonth>(d.nMonth),
            static_cast<GDateDay>(d.nDay), 0, &error);
        if (error) {
            state.SkipWithError(error->message);
            g_error_free(error);
            break;
        }
        benchmark::DoNotOptimize(date);
    }
    lunar_date_free(date);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PeerLunarDateSetSolarDate);
#else
void BM_PeerLunarDateSetSolarDate(benchmark::State& state)
{
    for (auto _ : state) {}
    state.SkipWithError("lunar-date-3.0 was not found at configure time: no comparison");
}
BENCHMARK(BM_PeerLunarDateSetSolarDate)->Iterations(1);
#endif

// One shown month: convert day 1, step through the month, and pick every cell's text
// (solar term, else festival, else the month name on a new lunar month, else the day name).
void BM_NameMonth(benchmark::State& state)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pickMonth(0, 12 * 150 - 2);
    size_t nBytes = 0;
    for (auto _ : state) {
        const int nIndex = 1 + pickMonth(rng);  // February 1900 .. December 2049
        const int nYear = 1900 + nIndex / 12;
        const int nMonth = 1 + nIndex % 12;
        CLunarDate lunar;
        lunar.FromSolar(nYear, nMonth, 1);
        nBytes += std::char_traits<char>::length(GetGanZhiYear(lunar.m_nYear - 1864));
        nBytes += std::char_traits<char>::length(GetZodiac(lunar.m_nYear));
        SolarTermTime first{};
        SolarTermTime second{};
        GetSolarTerms(nYear, nMonth, first, second);
        const int nDays = DaysInMonth(nYear, nMonth);
        const int nFirstWeekday = DayOfWeek(nYear, nMonth, 1);
        for (int d = 1; d <= nDays; ++d) {
            if (d > 1)
                lunar.NextDay();
            const char* szText = nullptr;
            if (d == first.m_nDay)
                szText = GetSolarTermName(nMonth, 1);
            else if (d == second.m_nDay)
                szText = GetSolarTermName(nMonth, 2);
            if (!szText)
                szText = lunar.GetFestival();
            if (!szText)
                szText = GetSolarFestival(nMonth, d);
            if (!szText) {
                szText = lunar.m_nDay == 1 ? GetLunarMonthName(lunar.m_nMonth, lunar.m_bLeap)
                                           : GetLunarDayName(lunar.m_nDay);
            }
            nBytes += std::char_traits<char>::length(szText) +
                std::char_traits<char>::length(GetWeekdayName((nFirstWeekday + d - 1) % 7));
        }
        benchmark::DoNotOptimize(nBytes);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items = whole months");
}
BENCHMARK(BM_NameMonth);

}  // namespace

BENCHMARK_MAIN();
