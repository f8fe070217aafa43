// Sorting and narrowing the records list: 1,000,000 records of a synthetic
// report.
//
// Sorting, by each column: our sort (date-times by number; other texts as an
// index of the distinct texts ordered by their first bytes, further bytes
// read only where those agree) runs next to
// std::stable_sort of the row numbers by the same texts, compared the same
// way. Neither copies a text: both compare views into the document. The goal
// is 300 ms per sort.
//
// Narrowing by chart chips (a day; a day and a browser) with the keys worked
// out at loading, next to a scan that reads each record's members from the
// tree on every change, as the straightforward filter does. The goal is
// 15 ms per added chip.
//
// Run from a Release build: bench_records [--benchmark_... flags]

#include "json.h"
#include "parse_or_exit.h"
#include "record_keys.h"
#include "record_sort.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr int kRecords = 1000000;

struct TData : TParsedReport {
    TRecordKeys Keys;
    std::vector<int> All;
    QString Day;     // the busiest day of the first records
    QString Browser; // the first record's
};

TData& Data()
{
    static TData D = [] {
        TData R;
        static_cast<TParsedReport&>(R) = ParsedReport(kRecords);
        R.Keys.Build(R.Records);
        R.All.resize(size_t(R.Records->Count()));
        std::iota(R.All.begin(), R.All.end(), 0);
        R.Day = R.Records->Items(0)->S("time").left(10);
        R.Browser = R.Records->Items(0)->S("browser");
        return R;
    }();
    return D;
}

void BM_Sort(benchmark::State& State)
{
    const TJsonValue* Records = Data().Records;
    const TRecordSort Sort{int(State.range(0)), sdAscending};
    for (auto _ : State)
        benchmark::DoNotOptimize(SortedRecords(Records, Sort));
    State.SetLabel(kRecordKeys[State.range(0)].data());
}

void BM_Peer_StableSort(benchmark::State& State)
{
    const TJsonValue* Records = Data().Records;
    const QLatin1StringView Key = kRecordKeys[State.range(0)];
    for (auto _ : State) {
        std::vector<QAnyStringView> Views(static_cast<size_t>(Records->Count()));
        for (int I = 0; I < Records->Count(); ++I)
            Views[size_t(I)] = Records->Items(I)->SView(Key);
        std::vector<int> Order(Views.size());
        std::iota(Order.begin(), Order.end(), 0);
        std::stable_sort(Order.begin(), Order.end(), [&](int A, int B) {
            return CompareCodePoints(Views[size_t(A)], Views[size_t(B)]) < 0;
        });
        benchmark::DoNotOptimize(Order);
    }
    State.SetLabel(Key.data());
}

std::vector<TRecordChip> Chips(int Count)
{
    std::vector<TRecordChip> C = {{ckDay, Data().Day, 0}, {ckBrowser, Data().Browser, 0}};
    C.resize(size_t(Count));
    return C;
}

void BM_Chips(benchmark::State& State)
{
    const std::vector<TRecordChip> C = Chips(int(State.range(0)));
    size_t Shown = 0;
    for (auto _ : State)
        Shown = Data().Keys.Select(C, Data().All).size();
    State.counters["shown"] = double(Shown);
}

// What the keys add to loading a report, off the GUI thread.
void BM_BuildKeys(benchmark::State& State)
{
    for (auto _ : State) {
        TRecordKeys Keys;
        Keys.Build(Data().Records);
        benchmark::DoNotOptimize(Keys);
    }
}

void BM_Peer_ChipScan(benchmark::State& State)
{
    const TJsonValue* Records = Data().Records;
    const bool ByBrowser = State.range(0) > 1;
    size_t Shown = 0;
    for (auto _ : State) {
        std::vector<int> Rows;
        for (int I = 0; I < Records->Count(); ++I) {
            const TJsonValue* R = Records->Items(I);
            if (R->S("time").startsWith(Data().Day) && (!ByBrowser || R->S("browser") == Data().Browser))
                Rows.push_back(I);
        }
        Shown = Rows.size();
    }
    State.counters["shown"] = double(Shown);
}

} // namespace

BENCHMARK(BM_BuildKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chips)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_ChipScan)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort)->DenseRange(rcTime, rcUrl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_StableSort)->DenseRange(rcTime, rcUrl)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
