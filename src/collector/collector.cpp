#include "collector.h"

#include "archive_merge.h"
#include "atomic_file.h"
#include "collector_options.h"
#include "history_reader.h"
#include "history_source.h"
#include "private_dir.h"
#include "visit_report.h"
#include "report_writer.h"
#include "text_out.h"
#include "text_util.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

// Names tried for reports made in one second before giving up.
constexpr int kMaxReportsPerSecond = 999;

QList<THome> HomesFor(const TCollectorOptions& Options, const TCollectorEnv& Env)
{
    if (!Options.FAllUsers)
        return {CurrentHome()};
    if (!Env.UsersRoot.isEmpty())
        return AllHomes(Env.UsersRoot, Env.ExtraHomes);
#ifdef Q_OS_WIN
    QString Root = QDir::fromNativeSeparators(qEnvironmentVariable("SystemDrive", QStringLiteral("C:")));
    return AllHomes(Root + QStringLiteral("/Users"), {});
#else
    return AllHomes(QStringLiteral("/home"), {QStringLiteral("/root")});
#endif
}

// Lets the tests stop a run while its report file is being written.
void HoldReportForTests()
{
    const int Ms = qEnvironmentVariableIntValue("MK_COLLECTOR_HOLD_REPORT_MS");
    if (Ms > 0)
        QThread::msleep(ulong(Ms));
}

// Writes the report into Dir, whole or not at all, under the first report
// name of that second that is free: a report made in the same second as
// another gets "_2", "_3", … rather than replacing it.
bool SaveReport(const QString& Dir, const QDateTime& Now, const QString& Ext,
                const std::function<void(TTextOut&)>& Produce, QString& Path, QString& ErrMsg)
{
    // Temporary files of runs that were killed while writing.
    TAtomicFile::RemoveAbandoned(Dir, QStringLiteral("Marrowkin_Report_\\d{8}_\\d{6}(?:_\\d+)?\\.(?:json|html)"));
    TAtomicFile File;
    Path = QDir(Dir).filePath(ReportFileName(Now, Ext));
    if (!File.Open(Path)) {
        ErrMsg = File.ErrorString();
        return false;
    }
    TTextOut Out([&File](const char* Data, size_t Size) { return File.Write(Data, qint64(Size)); });
    Produce(Out);
    if (!Out.Finish()) {
        ErrMsg = File.ErrorString();
        return false;
    }
    HoldReportForTests();
    for (int Copy = 2; !File.Commit(Path, TAtomicFile::cmKeepExisting); ++Copy) {
        if (!File.TargetExists() || Copy > kMaxReportsPerSecond) {
            ErrMsg = File.ErrorString();
            return false;
        }
        Path = QDir(Dir).filePath(ReportFileName(Now, Ext, Copy));
    }
    return true;
}

// Reads the sources on worker threads, one per source but no more than the
// cores, and hands each result to Take in source order, so the report does not
// depend on which database happened to be read first.
void ReadSources(const QList<TSourceInfo>& Sources, TReadRule Rule,
                 const std::function<void(const TSourceInfo&, bool, TSourceData&&, const QString&)>& Take)
{
    struct TSlot
    {
        bool Done = false;
        bool Ok = false;
        TSourceData Data;
        QString Msg;
    };
    const size_t Count = size_t(Sources.size());
    std::vector<TSlot> Slots(Count);
    std::mutex Lock;
    std::condition_variable Ready;
    std::atomic<size_t> Next{0};
    auto Work = [&] {
        for (size_t I; (I = Next++) < Count;) {
            TSlot Slot;
            try {
                Slot.Ok = ReadHistory(Sources[qsizetype(I)], Rule, Slot.Data, Slot.Msg);
            } catch (...) {
                // Out of memory on one huge database fails that source, not the run.
                Slot.Data = TSourceData();
                Slot.Ok = false;
                Slot.Msg = QStringLiteral("读取时内存不足");
            }
            Slot.Done = true;
            {
                const std::lock_guard<std::mutex> Guard(Lock);
                Slots[I] = std::move(Slot);
            }
            Ready.notify_all();
        }
    };
    const size_t Cores = std::max(1u, std::thread::hardware_concurrency());
    Rule.HelperThread = Cores > Count;
    std::vector<std::jthread> Workers;
    // Joined on the way out, also when Take throws; no source is started after that.
    struct TStopper
    {
        std::atomic<size_t>& Next;
        size_t Count;
        ~TStopper() { Next = Count; }
    };
    for (size_t T = 0; T < std::min(Cores, Count); ++T) {
        try {
            Workers.emplace_back(Work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: fewer workers do the job
        }
    }
    if (Workers.empty())
        Work();
    const TStopper Stop{Next, Count};
    for (size_t I = 0; I < Count; ++I) {
        TSlot Slot;
        {
            std::unique_lock<std::mutex> Guard(Lock);
            Ready.wait(Guard, [&] { return Slots[I].Done; });
            Slot = std::move(Slots[I]);
        }
        Take(Sources[qsizetype(I)], Slot.Ok, std::move(Slot.Data), Slot.Msg);
    }
}

int ToStdout(TCollectorEnv& Env, const std::function<void(TTextOut&)>& Produce, int Code)
{
    TTextOut Out(Env.WriteStdout);
    Produce(Out);
    if (!Out.Finish()) {
        Env.WriteStderr(QStringLiteral("写报告失败：无法写入标准输出"));
        return ceWriteFailed;
    }
    return Code;
}

int RunList(const TCollectorOptions& Options, TCollectorEnv& Env, const QDateTime& Now)
{
    QList<TSourceResult> Results;
    const QList<THome> Homes = HomesFor(Options, Env);
    const QList<TSourceInfo> Sources = FindSources(Homes, Options.FSources);
    for (const TSourceInfo& Info : Sources) {
        TSourceResult R;
        R.Info = Info;
        R.Ok = CountVisits(Info, Options.FAllVisits, R.Count, R.Msg);
        Results << R;
    }
    for (const TAbsentSource& A : AbsentSources(Homes, Options.FSources, Sources))
        Results << AbsentResult(A);
    const QString Generated = Now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return ToStdout(Env, [&](TTextOut& Out) { WriteListJson(Generated, Results, Out); }, ceOk);
}

} // namespace

QString ReportFileName(const QDateTime& When, const QString& Ext, int Copy)
{
    const QString Stamp = When.toString(QStringLiteral("yyyyMMdd_hhmmss"));
    if (Copy > 1)
        return QStringLiteral("Marrowkin_Report_%1_%2.%3").arg(Stamp).arg(Copy).arg(Ext);
    return QStringLiteral("Marrowkin_Report_%1.%2").arg(Stamp, Ext);
}

int RunCollector(const QStringList& Args, TCollectorEnv& Env)
{
    TCollectorOptions Options;
    QString ErrMsg;
    if (!ParseCollectorArgs(Args, Options, ErrMsg)) {
        Env.WriteStderr(QStringLiteral("参数错误：%1").arg(ErrMsg));
        return ceBadArgs;
    }
    const QDateTime Now = Env.Now.isValid() ? Env.Now : ReportNow();
    if (Options.FArchive == amClear) {
        QString Text;
        const bool Cleared = ClearArchive(ArchivePath(Options), Text);
        Env.WriteStderr(Text);
        return Cleared ? ceOk : ceWriteFailed;
    }
    RemoveStalePrivateDirs();
    if (Options.FList)
        return RunList(Options, Env, Now);

    const TTimeWindow Window = MakeTimeWindow(Options.FDays, Options.FFrom, Options.FTo, Now.date());
    TReportBuilder Builder(Options, Now);
    const QList<THome> Homes = HomesFor(Options, Env);
    const QList<TSourceInfo> Sources = FindSources(Homes, Options.FSources);
    // Browsers chosen by name that gave nothing to read are rows of their own.
    const QList<TAbsentSource> Absent = AbsentSources(Homes, Options.FSources, Sources);
    int Read = 0;
    TReadRule Rule{Window, Options.FAllVisits, false};
    // The archive counts as one more source: a damaged one fails alone.
    std::optional<TArchiveMerge> Archive;
    if (Options.FArchive == amOn) {
        QString Ignored; // told in the archive's row
        Archive.emplace(Options, Window, Homes);
        Archive->Start(ArchivePath(Options), Ignored);
        Rule = Archive->ReadRule(Rule);
    }
    ReadSources(Sources, Rule,
                [&](const TSourceInfo& Info, bool Ok, TSourceData&& Data, const QString& Msg) {
                    if (Ok) {
                        ++Read;
                        if (Archive)
                            Archive->TakeLive(Info, Data);
                        Builder.AddSource(Info, std::move(Data));
                    } else {
                        Builder.AddFailed(Info, Msg);
                    }
                });
    for (const TAbsentSource& A : Absent)
        Builder.AddAbsent(A);
    if (Archive && Archive->Finish(Builder))
        ++Read;
    const TReport Report = Builder.Finish();

    // Nothing found without a choice is an empty report; a choice that gave
    // nothing to read is a failure of every source asked for.
    int Code = ceOk;
    if (Read == 0 && !Report.Sources.isEmpty())
        Code = ceAllSourcesFailed;
    else if (Report.Total == 0)
        Code = ceNoRecords;

    const bool Html = Options.FFormat == ofHtml;
    auto Produce = [&](TTextOut& Out) {
        if (Html)
            WriteReportHtml(Report, Out, Env.HtmlRecordLimit);
        else
            WriteReportJson(Report, Out);
    };

    if (Options.FOutDir.isEmpty()) {
        // The front end always names a folder for HTML; without one the page goes to standard output.
        return ToStdout(Env, Produce, Code);
    }

    // A report without visits is not written to disk; the exit code says why.
    if (Code == ceAllSourcesFailed) {
        Env.WriteStderr(QStringLiteral("所有数据源都读取失败，未生成报告"));
        return Code;
    }
    if (Code == ceNoRecords) {
        Env.WriteStderr(QStringLiteral("时间范围内没有记录，未生成报告"));
        return Code;
    }
    const QString Dir = QDir::cleanPath(Options.FOutDir);
    if (!QDir().mkpath(Dir) || !QFileInfo(Dir).isDir()) {
        Env.WriteStderr(QStringLiteral("写报告失败：无法创建输出目录 %1").arg(QDir::toNativeSeparators(Dir)));
        return ceWriteFailed;
    }
    QString Path;
    if (!SaveReport(Dir, Now, Html ? QStringLiteral("html") : QStringLiteral("json"), Produce, Path, ErrMsg)) {
        Env.WriteStderr(QStringLiteral("写报告失败：%1：%2").arg(QDir::toNativeSeparators(Path), ErrMsg));
        return ceWriteFailed;
    }
    Env.LastFile = Path;
    if (Html && Options.FOpen && Env.OpenFile)
        Env.OpenFile(Path);
    return Code;
}

TCollectorEnv ProcessEnv()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // Reports arrive in large chunks from their own buffer; a second one in stdio only copies.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    TCollectorEnv Env;
    Env.WriteStdout = [](const char* Data, size_t Size) {
        return std::fwrite(Data, 1, Size, stdout) == Size && std::fflush(stdout) == 0;
    };
    Env.WriteStderr = [](const QString& Text) {
        const QByteArray Bytes = (Text + QChar('\n')).toUtf8();
        std::fwrite(Bytes.constData(), 1, size_t(Bytes.size()), stderr);
        std::fflush(stderr);
    };
    Env.OpenFile = [](const QString& Path) {
#ifdef Q_OS_WIN
        const std::wstring W = QDir::toNativeSeparators(Path).toStdWString();
        return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", W.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
#else
        // The browser is the user's, not part of this run: without the run's
        // tag the front end does not end it with the run.
        QProcess Open;
        Open.setProgram(QStringLiteral("xdg-open"));
        Open.setArguments({Path});
        QProcessEnvironment Vars = QProcessEnvironment::systemEnvironment();
        Vars.remove(QStringLiteral("MK_RUN_TAG"));
        Open.setProcessEnvironment(Vars);
        return Open.startDetached();
#endif
    };
    return Env;
}
