// Archive runs beside the plain run over the same Chromium history of a
// million visits: one that adds them all to an empty archive, one that finds
// them all there already. The machine is shared, so the three kinds of run
// alternate round by round and the ratios are given as ranges over the
// rounds; also the archive's size next to the browser database's.
#include "sample_profiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kVisits = 1000000;
constexpr int kRounds = 5;

// Seconds of wall time of one collector run with its report thrown away, or
// a negative value on failure.
double TimeRun(const QString& Home, const QStringList& Args)
{
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("MARROWKIN_HOME", Home);
    P.setProcessEnvironment(Env);
    P.setStandardOutputFile(QProcess::nullDevice());
    P.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer T;
    T.start();
    P.start(MK_COLLECTOR_EXE, Args);
    if (!P.waitForFinished(600000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0)
        return -1;
    return double(T.nsecsElapsed()) / 1e9;
}

void RemoveArchive(const QString& Path)
{
    for (const char* Suffix : {"", "-wal", "-shm"})
        QFile::remove(Path + QLatin1String(Suffix));
}

struct TRange
{
    double Min = 1e300, Max = 0;
    std::vector<double> All;
    void Add(double V)
    {
        Min = std::min(Min, V);
        Max = std::max(Max, V);
        All.push_back(V);
    }
    double Median() const
    {
        std::vector<double> S = All;
        std::sort(S.begin(), S.end());
        return S.empty() ? 0 : S[S.size() / 2];
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication App(argc, argv);
    // A folder given stays after the run, with its history, for profiling.
    QTemporaryDir Temp;
    const QString Home = argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() : Temp.path();
    const QString History = BrowserPath(Home, ".config/google-chrome/Default/History");
    const QString Archive = Home + "/archive.sqlite";
    const QString ArchiveArg = "/archive:" + Archive;
    if (!QFileInfo::exists(History)) {
        // The browser's own share of rows its history page does not list is
        // in the million too: the archive keeps those as well.
        const TSampleHistory H = MakeSampleHistory(kVisits * 6 / 7, QDateTime::currentMSecsSinceEpoch() * 1000, 365, 1);
        QString Err;
        if (!WriteChromiumHistory(History, H, sjDelete, Err)) {
            std::fprintf(stderr, "cannot write the history: %s\n", qPrintable(Err));
            return 1;
        }
    }
    std::printf("history: about %d visit rows, %.1f MiB\n", kVisits, double(QFileInfo(History).size()) / 1048576.0);

    TRange Plain, Adding, Known, AddRatio, KnownRatio;
    for (int Round = 0; Round < kRounds; ++Round) {
        RemoveArchive(Archive);
        const double P = TimeRun(Home, {"/format:json"});
        const double A = TimeRun(Home, {"/format:json", ArchiveArg});
        const double K = TimeRun(Home, {"/format:json", ArchiveArg});
        if (P < 0 || A < 0 || K < 0) {
            std::fprintf(stderr, "a collector run failed\n");
            return 1;
        }
        Plain.Add(P);
        Adding.Add(A);
        Known.Add(K);
        AddRatio.Add(A / P);
        KnownRatio.Add(K / P);
        std::printf("round %d: plain %.2f s, adding %.2f s (%.2fx), all known %.2f s (%.2fx)\n", Round + 1, P, A, A / P,
                    K, K / P);
        std::fflush(stdout);
    }
    std::printf("\nplain run:        %.2f … %.2f s (median %.2f)\n", Plain.Min, Plain.Max, Plain.Median());
    std::printf("adding them:      %.2f … %.2f s, ratio %.2f … %.2f (median %.2f; goal: at most 1.5)\n",
                Adding.Min, Adding.Max, AddRatio.Min, AddRatio.Max, AddRatio.Median());
    std::printf("all known:        %.2f … %.2f s, ratio %.2f … %.2f (median %.2f; goal: at most 1.2)\n", Known.Min,
                Known.Max, KnownRatio.Min, KnownRatio.Max, KnownRatio.Median());
    std::printf("archive %.1f MiB beside the browser's database %.1f MiB\n", double(QFileInfo(Archive).size()) / 1048576.0,
                double(QFileInfo(History).size()) / 1048576.0);
    return 0;
}
