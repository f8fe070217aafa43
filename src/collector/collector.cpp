#include "collector.h"

#include "archive_merge.h"
#include "collector_options.h"
#include "history_reader.h"
#include "history_source.h"
#include "private_dir.h"
#include "read_sources.h"
#include "report_save.h"
#include "report_writer.h"
#include "text_out.h"
#include "visit_report.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <optional>

namespace {

// The newest records an HTML page lists: a browser slows to a crawl on a
// table of millions of rows, and the JSON report has them all.
constexpr size_t kHtmlRecordLimit = 5000;

QList<THome> HomesFor(const TCollectorOptions& Options, const TCollectorEnv& Env)
{
    if (!Options.FAllUsers)
        return {CurrentHome()};
    if (!Env.UsersRoot.isEmpty())
        return AllHomes(Env.UsersRoot, {});
    return SystemHomes();
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
                        if (Rule.WithShown) {
                            // The archive stores it while the report reads it: freed when both are done.
                            auto Shared = std::make_shared<const TSourceData>(std::move(Data));
                            Archive->TakeLive(Info, Shared);
                            Builder.AddWholeRead(Info, *Shared, Window);
                        } else {
                            Builder.AddSource(Info, std::move(Data));
                        }
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
            WriteReportHtml(Report, Out, kHtmlRecordLimit);
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
