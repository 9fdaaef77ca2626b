// The month model: SetMonth with every memo file of the month on disk (cells, names, five
// or six store loads, title), and the tip text of a day with all four memo kinds.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "month_grid_text.h"
#include "monthview/month_model.h"

namespace {

// A memo of nLength bytes on every slot of every store the model opens for (nYear, nMonth),
// written through the model itself.
bool FillMonth(int nYear, int nMonth, int nLength)
{
    CMonthModel model;
    model.SetMonth(nYear, nMonth, 0);
    const std::string text(static_cast<std::size_t>(nLength), 'm');
    for (int d = 1; d <= model.m_nDays; ++d) {
        model.m_nHotDay = static_cast<std::uint16_t>(d);
        if (model.SaveDayMemos(text, 0, text, 0, text, 0) != 0)
            return false;
    }
    for (int w = 0; w < 7; ++w) {
        model.m_nWeekdayCol = w;
        if (model.SaveWeeklyMemo(text, 0) != 0)
            return false;
    }
    return true;
}

// Arguments: year, month, memo length (0: no memo files at all).
void BM_SetMonth(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    const int nYear = static_cast<int>(state.range(0));
    const int nMonth = static_cast<int>(state.range(1));
    const int nLength = static_cast<int>(state.range(2));
    if (!folder.PrepareMemos() || (nLength > 0 && !FillMonth(nYear, nMonth, nLength))) {
        state.SkipWithError("no memo folder");
        return;
    }
    CMonthModel model;
    for (auto _ : state)
        benchmark::DoNotOptimize(model.SetMonth(nYear, nMonth, 0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetMonth)
    ->Args({2024, 2, 0})
    ->Args({2024, 2, 20})
    ->Args({2024, 2, 400})
    ->Args({2000, 7, 20})  // three lunar months: six stores
    ->Unit(benchmark::kMicrosecond);

// The tip text of a day with the almanac and all four kinds of memo, as each hover builds it.
void BM_BuildDayNote(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    const int nLength = static_cast<int>(state.range(0));
    if (!folder.PrepareMemos() || !FillMonth(2024, 2, nLength)) {
        state.SkipWithError("no memo folder");
        return;
    }
    CMonthModel model;
    model.m_bShowAlmanac = true;
    model.SetMonth(2024, 2, 0);
    for (auto _ : state) {
        int n = 0;
        char* pszNote = model.BuildDayNote(15, n);
        benchmark::DoNotOptimize(pszNote);
        std::free(pszNote);
    }
    state.SetBytesProcessed(state.iterations() * (4 * nLength + 6));
}
BENCHMARK(BM_BuildDayNote)->Arg(20)->Arg(400)->Arg(4000);

// almanix-cal's grid with memo marks, for the same month.
void BM_FormatMonthGrid(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    if (!folder.PrepareMemos() || !FillMonth(2024, 2, 20)) {
        state.SkipWithError("no memo folder");
        return;
    }
    CMonthModel model;
    model.SetMonth(2024, 2, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatMonthGrid(model, true));
}
BENCHMARK(BM_FormatMonthGrid)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
