// A full JSON report over a Chromium history of a million visits, next to the
// sqlite3 shell exporting the same rows, measured in the same run.
#include "sample_profiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>

namespace {

constexpr int kVisits = 1000000;

QTemporaryDir* Home = nullptr;
QString HistoryPath;
double BestCollector = std::numeric_limits<double>::max();
double BestExport = std::numeric_limits<double>::max();

bool Prepare()
{
    Home = new QTemporaryDir();
    if (!Home->isValid())
        return false;
    HistoryPath = Home->filePath(".config/google-chrome/Default/History");
    const TSampleHistory H = MakeSampleHistory(kVisits, QDateTime::currentMSecsSinceEpoch() * 1000, 365, 1);
    QString Err;
    if (!WriteChromiumHistory(HistoryPath, H, sjDelete, Err)) {
        std::fprintf(stderr, "cannot write the history: %s\n", qPrintable(Err));
        return false;
    }
    return true;
}

// Runs a program with its output thrown away; seconds of wall time, or a negative value on failure.
double TimeProcess(const QString& Program, const QStringList& Args, bool WithHome)
{
    QProcess P;
    if (WithHome) {
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("HOME", Home->path());
        Env.remove("XDG_CONFIG_HOME");
        P.setProcessEnvironment(Env);
    }
    P.setStandardOutputFile(QProcess::nullDevice());
    P.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer T;
    T.start();
    P.start(Program, Args);
    if (!P.waitForFinished(600000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0)
        return -1;
    return double(T.nsecsElapsed()) / 1e9;
}

void BM_CollectorJsonReport(benchmark::State& State)
{
    for (auto _ : State) {
        const double S = TimeProcess(MK_COLLECTOR_EXE, {"/format:json"}, true);
        if (S < 0) {
            State.SkipWithError("collector failed");
            return;
        }
        BestCollector = std::min(BestCollector, S);
        State.SetIterationTime(S);
    }
    State.counters["visits"] = kVisits;
}

void BM_Sqlite3CsvExport(benchmark::State& State)
{
    for (auto _ : State) {
        const double S = TimeProcess("sqlite3", {"-readonly", "-csv", HistoryPath,
                                                 "SELECT v.visit_time, u.url, u.title FROM visits v JOIN urls u ON u.id = v.url"},
                                     false);
        if (S < 0) {
            State.SkipWithError("sqlite3 failed (is the sqlite3 shell installed?)");
            return;
        }
        BestExport = std::min(BestExport, S);
        State.SetIterationTime(S);
    }
    State.counters["visits"] = kVisits;
}

BENCHMARK(BM_CollectorJsonReport)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite3CsvExport)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!Prepare())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (BestCollector < 1e9 && BestExport < 1e9)
        std::printf("\nbest of 3: collector %.2f s, sqlite3 export %.2f s, ratio %.2f (goal: under 3 s and at most 3x)\n",
                    BestCollector, BestExport, BestCollector / BestExport);
    delete Home;
    return 0;
}
