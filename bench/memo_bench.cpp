// Loading and saving a full month store (31 memos) in a temporary memo folder.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"

namespace {

// Every day of May 2024 with a memo of textLength bytes.
bool FillMonth(CMemoStore& store, int textLength)
{
    if (store.Open(2024, 5) < 0)
        return false;
    const std::string text(static_cast<std::size_t>(textLength), 'm');
    for (int day = 1; day <= 31; ++day)
        if (store.SetEntry(day, text.data(), textLength, MEMO_CUSTOM_COLOR | day) != 0)
            return false;
    return true;
}

void BM_LoadFullMonth(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    CMemoStore store;
    if (!folder.PrepareMemos() || !FillMonth(store, static_cast<int>(state.range(0)))) {
        state.SkipWithError("no memo folder");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Open(2024, 5));
    state.SetItemsProcessed(state.iterations() * 31);
}
BENCHMARK(BM_LoadFullMonth)->Arg(20)->Arg(400)->Arg(4000);

// Each save writes a temporary file, flushes it to disk and renames it over the old one.
void BM_SaveFullMonth(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    CMemoStore store;
    if (!folder.PrepareMemos() || !FillMonth(store, static_cast<int>(state.range(0)))) {
        state.SkipWithError("no memo folder");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Save());
    state.SetItemsProcessed(state.iterations() * 31);
}
BENCHMARK(BM_SaveFullMonth)->Arg(20)->Arg(400)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
