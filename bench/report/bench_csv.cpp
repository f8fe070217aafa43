// Exporting the records page as CSV: 1,000,000 records of a synthetic report,
// all shown. Our export (build the bytes, write them atomically) runs next to
// the raw write of the very same bytes, which is the floor any export has to
// pay, and next to a straightforward builder that converts each field with
// QString::toUtf8 and QString::replace, to show what the direct encoder saves.
//
// Run from a Release build: bench_csv [--benchmark_... flags]

#include "json.h"
#include "parse_or_exit.h"
#include "records_csv.h"
#include "text_util.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 1000000;

struct TData : TParsedReport {
    std::vector<int> Rows;
    QByteArray Csv;
    QTemporaryDir Dir;
};

TData& Data()
{
    static TData D = [] {
        TData R;
        static_cast<TParsedReport&>(R) = ParsedReport(kRecords);
        R.Rows.resize(size_t(R.Records->Count()));
        for (size_t I = 0; I < R.Rows.size(); ++I)
            R.Rows[I] = int(I);
        R.Csv = RecordsCsv(R.Records, R.Rows);
        return R;
    }();
    return D;
}

void Report(benchmark::State& State, qint64 Bytes)
{
    State.counters["rows"] = double(Data().Rows.size());
    State.counters["MB"] = double(Bytes) / 1e6;
    State.SetBytesProcessed(State.iterations() * Bytes);
}

void BM_CsvExport(benchmark::State& State)
{
    TData& D = Data();
    const QString Path = D.Dir.filePath(QStringLiteral("export.csv"));
    for (auto _ : State) {
        QString Error;
        if (!WriteWholeFile(Path, RecordsCsv(D.Records, D.Rows), Error))
            State.SkipWithError(qPrintable(Error));
    }
    Report(State, D.Csv.size());
}

void BM_CsvBuildOnly(benchmark::State& State)
{
    TData& D = Data();
    for (auto _ : State)
        benchmark::DoNotOptimize(RecordsCsv(D.Records, D.Rows));
    Report(State, D.Csv.size());
}

// The same bytes, already made, written the same atomic way.
void BM_Peer_RawWrite(benchmark::State& State)
{
    TData& D = Data();
    const QString Path = D.Dir.filePath(QStringLiteral("raw.csv"));
    for (auto _ : State) {
        QString Error;
        if (!WriteWholeFile(Path, D.Csv, Error))
            State.SkipWithError(qPrintable(Error));
    }
    Report(State, D.Csv.size());
}

// What one would write first: a QString per field, replace, toUtf8, append.
QByteArray NaiveCsv(const TJsonValue* Records, const std::vector<int>& Rows)
{
    static const char* const Keys[5] = {"time", "browser", "profile", "title", "url"};
    QByteArray Out("\xEF\xBB\xBF");
    for (int Row : Rows) {
        const TJsonValue* R = Records->Items(Row);
        for (int C = 0; C < 5; ++C) {
            QString F = R->S(Keys[C]);
            if (!F.isEmpty() && QStringLiteral("=+-@\t\r").contains(F[0]))
                F.prepend(u'\'');
            if (F.contains(u',') || F.contains(u'"') || F.contains(u'\r') || F.contains(u'\n'))
                F = u'"' + F.replace(u'"', QStringLiteral("\"\"")) + u'"';
            if (C > 0)
                Out += ',';
            Out += F.toUtf8();
        }
        Out += "\r\n";
    }
    return Out;
}

void BM_Peer_NaiveBuild(benchmark::State& State)
{
    TData& D = Data();
    for (auto _ : State)
        benchmark::DoNotOptimize(NaiveCsv(D.Records, D.Rows));
    Report(State, D.Csv.size());
}

} // namespace

BENCHMARK(BM_CsvExport)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Peer_RawWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CsvBuildOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Peer_NaiveBuild)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
