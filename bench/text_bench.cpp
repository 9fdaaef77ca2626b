// Conversion speed of the GB18030 codec: a short window text (a day cell, a button) and a long
// memo or notebook text of Chinese with some ASCII.
#include <string>

#include <benchmark/benchmark.h>

#include "text/gbcodec.h"

namespace {

const std::string kShortGb = "十月初一 寒衣节";

std::string LongGb()
{
    std::string text;
    while (text.size() < 16 * 1024)
        text += "2024年2月10日 春节，正月初一。Meeting at 10:30 with 张三、李四；记得带上资料！\r\n";
    return text;
}

void BM_GbToUtf16Short(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::GbToUtf16(kShortGb));
}
BENCHMARK(BM_GbToUtf16Short);

void BM_Utf16ToGbShort(benchmark::State& state)
{
    const std::u16string text = almanix::GbToUtf16(kShortGb);
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::Utf16ToGb(text));
}
BENCHMARK(BM_Utf16ToGbShort);

void BM_GbToUtf16Long(benchmark::State& state)
{
    const std::string gb = LongGb();
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::GbToUtf16(gb));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gb.size()));
}
BENCHMARK(BM_GbToUtf16Long);

void BM_Utf16ToGbLong(benchmark::State& state)
{
    const std::string gb = LongGb();
    const std::u16string text = almanix::GbToUtf16(gb);
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::Utf16ToGb(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gb.size()));
}
BENCHMARK(BM_Utf16ToGbLong);

void BM_GbToUtf8Long(benchmark::State& state)
{
    const std::string gb = LongGb();
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::GbToUtf8(gb));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gb.size()));
}
BENCHMARK(BM_GbToUtf8Long);

void BM_Utf8ToGbLong(benchmark::State& state)
{
    const std::string gb = LongGb();
    const std::string utf8 = almanix::GbToUtf8(gb);
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::Utf8ToGb(utf8));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gb.size()));
}
BENCHMARK(BM_Utf8ToGbLong);

// Latin text with accents: the four-byte forms and their table search.
void BM_Utf16ToGbFourByte(benchmark::State& state)
{
    std::u16string text;
    while (text.size() < 4096)
        text += u"Ångström, façade, naïve, Øresund, Š, ő, ł. ";
    for (auto _ : state)
        benchmark::DoNotOptimize(almanix::Utf16ToGb(text));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf16ToGbFourByte);

}  // namespace

BENCHMARK_MAIN();
