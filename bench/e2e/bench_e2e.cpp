// From the click to the painted report over a million visits: the real
// collector on a generated Chrome profile, its output drained through
// TConsoleRunner polled every 120 ms as the main window polls it, the parse,
// and the report window built and its first page painted (offscreen). Next
// to it, in the same run, the floor: the sqlite3 shell exporting the same rows
// as JSON, plus RapidJSON parsing the same report. Each round runs both; the
// medians are compared.
//
// Then the same click through the main window, and the opening of the report
// saved as a file, each timed until the report window has painted, with the
// longest stall of the GUI thread's event loop meanwhile: the worst lateness
// of a 5 ms timer, which is how long the program stops answering. On a busy
// machine that lateness also holds the time the thread waited for a core, so
// next to it stands the longest slice of the thread's own CPU time between two
// ticks, which other load does not inflate (where the system has a per-thread
// CPU clock, as Linux has; "-" elsewhere).
//
// Usage: bench_e2e [visits] [rounds]     (default 1000000 visits, 3 rounds)
// The profile is made once and kept in the temporary folder for later runs.

#include "json.h"
#include "json_peers.h"
#include "main_form.h"
#include "options.h"
#include "report_bytes.h"
#include "report_form.h"
#include "run_controller.h"
#include "run_texts.h"
#include "sample_profiles.h"
#include "ui_hooks.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

const QString kCollector = QStringLiteral(MK_COLLECTOR_EXE);
const QString kHistory = QStringLiteral(".config/google-chrome/Default/History");

// The rows the collector reports: visits the history page lists, with their pages.
const char* const kRowsSql = "SELECT v.visit_time, u.url, u.title FROM visits v JOIN urls u ON u.id = v.url"
                             " WHERE (v.transition & 536870912) != 0 AND (v.transition & 255) NOT IN (3, 4, 10)";

double Ms(const QElapsedTimer& T)
{
    return double(T.nsecsElapsed()) / 1e6;
}

// A home with one Chrome profile of Visits visits over the last year, made
// once per size under the temporary folder; empty when it cannot be made.
QString CachedHome(int Visits)
{
    const QString Home = QDir::temp().filePath(QStringLiteral("mk_bench_e2e_%1").arg(Visits));
    if (QFileInfo::exists(BrowserPath(Home, kHistory)))
        return Home;
    // Made aside and renamed, so an interrupted run leaves no half profile.
    const QString Part = Home + QStringLiteral(".part");
    QDir(Part).removeRecursively();
    std::printf("making a profile of %d visits in %s (once)\n", Visits, qPrintable(Home));
    std::fflush(stdout);
    const TSampleHistory H = MakeSampleHistory(Visits, QDateTime::currentMSecsSinceEpoch() * 1000, 365, 1);
    QString Err;
    const QString Path = BrowserPath(Part, kHistory);
    if (!QDir().mkpath(QFileInfo(Path).path()) || !WriteChromiumHistory(Path, H, sjDelete, Err) ||
        !QDir().rename(Part, Home)) {
        std::fprintf(stderr, "cannot make the profile: %s\n", qPrintable(Err));
        return QString();
    }
    return Home;
}

// The collector run the main window starts for a report shown in its own
// window, with the default options, through the main window's run control
// (polled every 120 ms, output kept).
bool RunCollector(QByteArray& Out)
{
    const QString OutDir = QDir::temp().path();
    TRunController Run;
    QEventLoop Loop;
    quint32 Code = 0;
    QString Err;
    QObject::connect(&Run, &TRunController::Finished, &Loop, [&](TRunKind, quint32 C, const TRunOutput& Output) {
        Code = C;
        Out = Output.Bytes;
        Err = Output.Error;
        Loop.quit();
    });
    QObject::connect(&Run, &TRunController::StartFailed, &Loop, [&](int, const QString& Message) {
        Err = Message;
        Code = 1;
    });
    if (!Run.Start(kCollector, rnEmbed, DefaultOptions(OutDir), OutDir)) {
        std::fprintf(stderr, "cannot start the collector: %s\n", qPrintable(Err));
        return false;
    }
    Loop.exec();
    if (Code != 0 || !Err.isEmpty())
        std::fprintf(stderr, "collector exit code %u %s\n", Code, qPrintable(Err));
    return Code == 0;
}

// The sqlite3 shell's export of the same rows as JSON, thrown away; a negative
// value when the shell fails or is missing.
double SqliteExportMs(const QString& History)
{
    QProcess P;
    P.setStandardOutputFile(QProcess::nullDevice());
    P.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer T;
    T.start();
    P.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), QStringLiteral("-json"), History,
                                        QString::fromLatin1(kRowsSql)});
    if (!P.waitForFinished(600000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0)
        return -1;
    return Ms(T);
}

enum TColumn { coRun, coParse, coWindow, coPaint, coTotal, coSqlite, coRapid, coFloor, coCount };

struct TRound {
    double Ms[coCount] = {};
    qsizetype ReportBytes = 0;
    qint64 Records = 0;
    QByteArray Bytes; // the report, kept from the last round
};

// One click to a painted report, then the floor; false when a stage fails.
bool RunRound(const QString& History, TRound& R)
{
    QByteArray Bytes;
    QElapsedTimer T;
    T.start();
    if (!RunCollector(Bytes))
        return false;
    R.Ms[coRun] = Ms(T);
    T.restart();
    QString Err;
    std::unique_ptr<TJsonValue> Root = ParseReportBytes(Bytes, Err);
    R.Ms[coParse] = Ms(T);
    if (!Root) {
        std::fprintf(stderr, "parse failed: %s\n", qPrintable(Err));
        return false;
    }
    const TJsonValue* Records = Root->Get("records");
    R.Records = Records ? Records->Count() : 0;
    R.ReportBytes = Bytes.size();
    R.Bytes = Bytes;
    QWidget Owner;
    T.restart();
    TReportForm* Form = ShowReportBytes(&Owner, std::move(Root), Bytes);
    R.Ms[coWindow] = Ms(T);
    T.restart();
    const QPixmap Shot = Form->grab();
    R.Ms[coPaint] = Ms(T);
    R.Ms[coTotal] = R.Ms[coRun] + R.Ms[coParse] + R.Ms[coWindow] + R.Ms[coPaint];
    delete Form;

    R.Ms[coSqlite] = SqliteExportMs(History);
#if MK_HAVE_RAPIDJSON
    {
        rapidjson::Document Doc;
        T.restart();
        if (!ParseRapidJson(Bytes, Doc))
            return false;
        R.Ms[coRapid] = Ms(T);
    }
#else
    R.Ms[coRapid] = -1;
#endif
    R.Ms[coFloor] = R.Ms[coSqlite] < 0 || R.Ms[coRapid] < 0 ? -1 : R.Ms[coSqlite] + R.Ms[coRapid];
    return !Shot.isNull();
}

// Nanoseconds of CPU time the calling thread has used; -1 where the system
// has no such clock.
qint64 ThreadCpuNs()
{
#ifdef CLOCK_THREAD_CPUTIME_ID
    timespec Ts{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Ts) == 0)
        return qint64(Ts.tv_sec) * 1000000000 + Ts.tv_nsec;
#endif
    return -1;
}

struct TStall {
    double Ms = 0;     // click to painted report
    double Stall = 0;  // longest stall of the event loop meanwhile
    double Slice = -1; // longest CPU time of the GUI thread between two ticks; -1 when not measured
};

// The worst lateness of a 5 ms timer on the GUI thread between Start and
// Stop: the longest time the window could not answer. And the most CPU time
// the thread spent between two ticks: the same stall without the waits for
// a core that a loaded machine adds.
class TStallProbe final : public QObject {
public:
    TStallProbe()
    {
        FTimer.setTimerType(Qt::PreciseTimer);
        FTimer.setInterval(kTickMs);
        connect(&FTimer, &QTimer::timeout, this, &TStallProbe::Tick);
    }
    void Start()
    {
        FWorst = 0;
        FLast = 0;
        FWorstCpu = 0;
        FLastCpu = ThreadCpuNs();
        FClock.start();
        FTimer.start();
    }
    // The stretch since the last tick included.
    void Stop(TStall& S)
    {
        FTimer.stop();
        Tick();
        S.Stall = double(FWorst) / 1e6;
        S.Slice = FLastCpu < 0 ? -1 : double(FWorstCpu) / 1e6;
    }

private:
    void Tick()
    {
        const qint64 Now = FClock.nsecsElapsed();
        FWorst = std::max(FWorst, Now - FLast - kTickMs * 1000000);
        FLast = Now;
        const qint64 Cpu = ThreadCpuNs();
        FWorstCpu = std::max(FWorstCpu, Cpu - FLastCpu);
        FLastCpu = Cpu;
    }

    static constexpr int kTickMs = 5;
    QTimer FTimer;
    QElapsedTimer FClock;
    qint64 FLast = 0;
    qint64 FWorst = 0;
    qint64 FLastCpu = 0;
    qint64 FWorstCpu = 0;
};

// Runs the event loop until a report window has painted, then once more so
// that the paint is over.
class TPaintWait final : public QObject {
public:
    // False when no window painted within the time.
    bool Wait(int TimeoutMs)
    {
        FPainted = false;
        qApp->installEventFilter(this);
        QTimer::singleShot(TimeoutMs, &FLoop, &QEventLoop::quit);
        FLoop.exec();
        qApp->removeEventFilter(this);
        return FPainted;
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (!FPainted && Event->type() == QEvent::Paint && Watched->isWidgetType() &&
            qobject_cast<TReportForm*>(static_cast<QWidget*>(Watched)->window())) {
            FPainted = true;
            QTimer::singleShot(0, &FLoop, &QEventLoop::quit);
        }
        return false;
    }

private:
    QEventLoop FLoop;
    bool FPainted = false;
};

// From Begin() until a report window has painted: the time taken, and the
// longest stall of the event loop meanwhile.
template <class TBegin>
bool TimeToReport(TStall& S, TBegin Begin)
{
    TStallProbe Probe;
    TPaintWait Painted;
    QElapsedTimer T;
    T.start();
    Probe.Start();
    Begin();
    const bool Ok = Painted.Wait(600000);
    Probe.Stop(S);
    S.Ms = Ms(T);
    return Ok;
}

// The start button of the main window, and what follows until the report
// window has painted.
bool ClickToReport(TStall& S)
{
    TMainForm Main({}, kCollector);
    return TimeToReport(S, [&Main] { Main.StartClick(); });
}

// A report file named on the main window's command line, from the moment it
// is asked for until its window has painted.
bool OpenToReport(const QString& File, TStall& S)
{
    TMainForm Main({File}, kCollector);
    // Kept away from the user's own list of recent reports.
    Main.SetRecentStore(QDir::temp().filePath(QStringLiteral("mk_bench_e2e_recent.ini")));
    return TimeToReport(S, [&Main] { Main.OpenStartupReports(); });
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

// One row of a table: its name, then the cells ("-" for one not measured),
// a bar before cell Bar, each with Decimals(C) digits after the point (none
// without Decimals).
void PrintCells(const char* Name, const double* V, int Count, int Bar, int (*Decimals)(int) = nullptr)
{
    std::printf("%-7s", Name);
    for (int C = 0; C < Count; ++C) {
        if (C == Bar)
            std::printf(" |");
        if (V[C] < 0)
            std::printf(" %9s", "-");
        else
            std::printf(" %9.*f", Decimals ? Decimals(C) : 0, V[C]);
    }
    std::printf("\n");
}

void PrintRow(const char* Name, const double (&Ms)[coCount])
{
    PrintCells(Name, Ms, coCount, coSqlite);
}

} // namespace

int main(int Argc, char** Argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(Argc, Argv);
    const int Visits = Argc > 1 ? std::atoi(Argv[1]) : 1000000;
    const int Rounds = std::max(1, Argc > 2 ? std::atoi(Argv[2]) : 3);
    const QString Home = CachedHome(Visits);
    if (Home.isEmpty())
        return 1;
    // The collector reads this home; the runner's child inherits the variable.
    qputenv("MARROWKIN_HOME", QFile::encodeName(Home));
    {
        // Fonts, style and the like load with the program's first window,
        // which the main window is; they are no part of opening a report.
        QString Err;
        const QByteArray Empty("{}");
        QWidget Owner; // deletes the window with it
        ShowReportBytes(&Owner, ParseReportBytes(Empty, Err), Empty)->grab();
    }

    std::printf("%d visits; %d rounds, milliseconds of wall time\n", Visits, Rounds);
    std::printf("%-7s %9s %9s %9s %9s %9s | %9s %9s %9s\n", "round", "run", "parse", "window", "paint", "total",
                "sqlite3", "RapidJSON", "floor");
    std::vector<TRound> All;
    for (int I = 1; I <= Rounds; ++I) {
        TRound R;
        if (!RunRound(BrowserPath(Home, kHistory), R))
            return 1;
        PrintRow(QByteArray::number(I).constData(), R.Ms);
        std::fflush(stdout);
        if (!All.empty())
            All.back().Bytes.clear();
        All.push_back(R);
    }
    double Mid[coCount];
    for (int C = 0; C < coCount; ++C) {
        std::vector<double> V;
        for (const TRound& R : All)
            V.push_back(R.Ms[C]);
        Mid[C] = Median(V);
    }
    PrintRow("median", Mid);
    std::printf("report %.1f MB, %lld records\n", All.back().ReportBytes / 1048576.0, All.back().Records);
    if (Mid[coFloor] > 0)
        std::printf("total %.2f s, floor %.2f s, total/floor %.2f (goal: total <= 3.0 s and total/floor <= 1.30)\n",
                    Mid[coTotal] / 1000, Mid[coFloor] / 1000, Mid[coTotal] / Mid[coFloor]);
    else
        std::printf("total %.2f s (goal <= 3.0 s); no floor: sqlite3 shell missing or RapidJSON not built\n",
                    Mid[coTotal] / 1000);
    std::printf("run = collector start to its exit reported by the run control (120 ms polls); window = built and "
                "shown; paint = first page grabbed\n");

    // The report of the last round as a file, for the second path.
    const QString File = QDir::temp().filePath(QStringLiteral("mk_bench_e2e_%1.json").arg(Visits));
    {
        QFile Out(File);
        if (!Out.open(QIODevice::WriteOnly) || Out.write(All.back().Bytes) != All.back().Bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(File));
            return 1;
        }
    }
    All.back().Bytes.clear();
    // A message box would wait for an answer nobody gives.
    UiHooks().ShowMsg = [](QWidget*, const QString& Text, TMsgKind) {
        std::fprintf(stderr, "message: %s\n", qPrintable(Text));
        return kIdOk;
    };
    std::printf("\nthrough the main window, milliseconds: until the report window has painted, the longest "
                "stall of the event loop meanwhile, and the longest CPU slice of the GUI thread\n");
    std::printf("%-7s %9s %9s %9s | %9s %9s %9s\n", "round", "click", "stall", "cpu", "open file", "stall", "cpu");
    enum { clClick, clClickStall, clClickCpu, clOpen, clOpenStall, clOpenCpu, clCount };
    std::vector<double> Col[clCount];
    const auto PrintStalls = [](const char* Name, const double (&V)[clCount]) {
        PrintCells(Name, V, clCount, clOpen, [](int C) { return C == clClick || C == clOpen ? 0 : 1; });
    };
    for (int I = 1; I <= Rounds; ++I) {
        TStall Click, Open;
        if (!ClickToReport(Click) || !OpenToReport(File, Open)) {
            std::fprintf(stderr, "no report window painted\n");
            return 1;
        }
        const double Row[clCount] = {Click.Ms, Click.Stall, Click.Slice, Open.Ms, Open.Stall, Open.Slice};
        PrintStalls(QByteArray::number(I).constData(), Row);
        std::fflush(stdout);
        for (int C = 0; C < clCount; ++C)
            Col[C].push_back(Row[C]);
    }
    double StallMid[clCount];
    for (int C = 0; C < clCount; ++C)
        StallMid[C] = Median(Col[C]);
    PrintStalls("median", StallMid);
    std::printf("goal: longest stall <= 50 ms on both paths; cpu = the same without waits for a core\n");
    QFile::remove(File);
    return 0;
}
