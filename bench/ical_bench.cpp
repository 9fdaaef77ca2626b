// Export and import of 10,000 memos through iCalendar: the memo folder read and written as a
// file of events, and that file added to an empty memo folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ical/memo_ical.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"

namespace {

constexpr int kMemos = 10000;

// 360 lunar-yearly, 366 Gregorian-yearly, 7 weekly memos and one-off memos on 28 days of the
// months from January 2000 on, 10,000 in all.
int FillFolder()
{
    int n = 0;
    auto fill = [&n](CMemoStore& store, int first, int last) {
        for (int i = first; i <= last && n < kMemos; ++i, ++n) {
            const std::string text = "会议 " + std::to_string(n) + " 号房间\r\n带上资料, 提前十分钟";
            store.m_pEntries[i].Set(
                text.data(), static_cast<int>(text.size()), n % 3 ? 0 : MEMO_CUSTOM_COLOR | 0x3366CC);
        }
        store.Save();
    };
    CMemoStore store;
    for (int m = 1; m <= 12; ++m) {
        store.Open(0, m);
        fill(store, 1, 30);
        store.Open(1, m);
        fill(store, 1, m == 2 ? 29 : (m == 4 || m == 6 || m == 9 || m == 11 ? 30 : 31));
    }
    store.OpenWeek();
    fill(store, 0, 6);
    for (int y = 2000; n < kMemos; ++y)
        for (int m = 1; m <= 12 && n < kMemos; ++m) {
            store.Open(y, m);
            fill(store, 1, 28);
        }
    return n;
}

void BM_ExportIcal(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    if (!folder.Ready() || !folder.PrepareMemos() || FillFolder() != kMemos) {
        state.SkipWithError("no memo folder");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<ExchangeNote> notes;
        ExportReport report;
        const std::string ics = ExportIcal(ReadMemoFolder(DefaultCalendarFolder(), notes), ExportOptions{}, report);
        bytes = ics.size();
        benchmark::DoNotOptimize(ics.data());
    }
    state.counters["memos"] = kMemos;
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportIcal)->Unit(benchmark::kMillisecond);

void BM_ImportIcal(benchmark::State& state)
{
    ScratchFolder folder("almanix-bench");
    if (!folder.Ready() || !folder.PrepareMemos() || FillFolder() != kMemos) {
        state.SkipWithError("no memo folder");
        return;
    }
    std::vector<ExchangeNote> notes;
    ExportReport exported;
    const std::string ics = ExportIcal(ReadMemoFolder(DefaultCalendarFolder(), notes), ExportOptions{}, exported);
    const std::string target = std::string("copy/") + MEMO_CALENDAR_FOLDER;
    int taken = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all("copy");
        std::filesystem::create_directories(target);
        state.ResumeTiming();
        ImportReport report;
        ImportIcal(ics, target + "\\", ImportOptions{}, report);
        taken = report.m_nTaken[1] + report.m_nTaken[2] + report.m_nTaken[3] + report.m_nTaken[4];
    }
    state.counters["memos"] = taken;
}
BENCHMARK(BM_ImportIcal)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
