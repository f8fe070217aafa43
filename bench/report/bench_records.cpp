// Sorting the records list: 1,000,000 records of a synthetic report, by each
// column. Our sort (an index of rows ordered by the first bytes of each text,
// the whole texts compared only where those agree) runs next to
// std::stable_sort of the row numbers by the same texts, compared the same
// way. Neither copies a text: both compare views into the document. The goal
// is 300 ms per sort.
//
// Run from a Release build: bench_records [--benchmark_... flags]

#include "json.h"
#include "record_sort.h"
#include "report_generator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <vector>

namespace {

constexpr int kRecords = 1000000;

struct TData {
    QByteArray Raw;
    std::unique_ptr<TJsonValue> Tree;
    const TJsonValue* Records = nullptr;
};

TData& Data()
{
    static TData D = [] {
        TData R;
        R.Raw = GenerateReportDocument(kRecords, 1);
        QString Err;
        R.Tree = ParseJsonBytes(R.Raw, Err);
        if (!R.Tree) {
            std::fprintf(stderr, "parse failed: %s\n", qPrintable(Err));
            std::exit(1);
        }
        R.Records = R.Tree->Get("records");
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

} // namespace

BENCHMARK(BM_Sort)->DenseRange(rcTime, rcUrl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_StableSort)->DenseRange(rcTime, rcUrl)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
