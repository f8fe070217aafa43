// A full JSON report over a Chromium history of a million visits, next to the
// sqlite3 shell exporting the same visits, measured in the same run; and the
// collector's peak memory next to the size of the database it read.
#include "sample_profiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

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
                                                 "SELECT v.visit_time, u.url, u.title FROM visits v JOIN urls u ON u.id = v.url"
                                                 " WHERE (v.transition & 536870912) != 0 AND (v.transition & 255) NOT IN (3, 4, 10)"},
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

// Peak resident memory of one collector run in MiB, or a negative value when
// the system does not tell. Run before any other child process, so the
// largest child so far is this one.
double CollectorPeakMiB()
{
    if (TimeProcess(MK_COLLECTOR_EXE, {"/format:json"}, true) < 0)
        return -1;
#ifdef Q_OS_UNIX
    rusage Usage{};
    if (getrusage(RUSAGE_CHILDREN, &Usage) == 0)
        return double(Usage.ru_maxrss) / 1024.0; // kilobytes on Linux
#endif
    return -1;
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
    const double PeakMiB = CollectorPeakMiB();
    const double DbMiB = double(QFileInfo(HistoryPath).size()) / (1024.0 * 1024.0);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (BestCollector < 1e9 && BestExport < 1e9)
        std::printf("\nbest of 3: collector %.2f s, sqlite3 export %.2f s, ratio %.2f (goal: at most 1.0)\n",
                    BestCollector, BestExport, BestCollector / BestExport);
    if (PeakMiB > 0)
        std::printf("collector peak memory %.1f MiB, database %.1f MiB, ratio %.2f (goal: at most 1.5)\n",
                    PeakMiB, DbMiB, PeakMiB / DbMiB);
    else
        std::printf("collector peak memory: not measured on this system; database %.1f MiB\n", DbMiB);
    delete Home;
    return 0;
}
