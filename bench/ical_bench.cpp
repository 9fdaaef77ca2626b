// Export and import of 10,000 memos through iCalendar: the memo folder read and written as a
// file of events, and that file added to an empty memo folder; and the reading of a
// real-world-sized file of 5,000 events.
#include <benchmark/benchmark.h>

#include <cstdio>
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

// A calendar as a phone or Outlook exports it after some years: 5,000 events in a zone of the
// file's own VTIMEZONE, meetings, all-day days, weekly series with a left-out day and a moved
// one, birthdays, daily runs that end.
std::string RealWorldSizedFile()
{
    std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VTIMEZONE\r\n"
                      "TZID:Europe/Berlin\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
                      "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
                      "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n"
                      "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    char buf[512];
    for (int i = 0; i < 5000; ++i) {
        const int day = i % 28 + 1, month = i / 28 % 12 + 1, year = 2018 + i / 336;
        const char* rule = i % 20 == 0
            ? "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\nEXDATE;TZID=Europe/Berlin:%04d%02d%02dT093000\r\n"
            : i % 33 == 0 ? "RRULE:FREQ=YEARLY\r\n"
            : i % 50 == 0 ? "RRULE:FREQ=DAILY;COUNT=10\r\n"
                          : "";
        char ruleLine[128];
        std::snprintf(ruleLine, sizeof ruleLine, rule, year, month, day);
        if (i % 10 == 1)
            std::snprintf(buf, sizeof buf,
                "BEGIN:VEVENT\r\nUID:e%d@bench\r\nDTSTART;VALUE=DATE:%04d%02d%02d\r\nSUMMARY:Holiday %d\r\n%s"
                "END:VEVENT\r\n",
                i, year, month, day, i, ruleLine);
        else
            std::snprintf(buf, sizeof buf,
                "BEGIN:VEVENT\r\nUID:e%d@bench\r\nDTSTART;TZID=Europe/Berlin:%04d%02d%02dT093000\r\n"
                "DTEND;TZID=Europe/Berlin:%04d%02d%02dT103000\r\nSUMMARY:Meeting %d \r\nDESCRIPTION:Agenda\\n"
                "\\n\r\nLOCATION:Room %d\r\n%sEND:VEVENT\r\n",
                i, year, month, day, year, month, day, i, i % 40, ruleLine);
        ics += buf;
    }
    return ics + "END:VCALENDAR\r\n";
}

void BM_ReadRealWorldSizedFile(benchmark::State& state)
{
    const std::string ics = RealWorldSizedFile();
    ImportOptions options;
    options.m_nNow = 1779933600;  // 2026-05-28
    options.m_bLocationLine = true;
    std::size_t memos = 0;
    for (auto _ : state) {
        std::vector<MemoItem> read;
        ImportReport report;
        ReadIcalMemos(ics, options, read, report);
        memos = read.size();
    }
    state.counters["events"] = 5000;
    state.counters["memos"] = static_cast<double>(memos);
    state.counters["bytes"] = static_cast<double>(ics.size());
}
BENCHMARK(BM_ReadRealWorldSizedFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
