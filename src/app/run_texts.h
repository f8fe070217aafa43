#pragma once

#include <QString>
#include <QtGlobal>

struct TOptions;

// What one execution of the collector is for; decides its output switches,
// its progress text and what happens with its result.
// rnClearArchive empties the collector's archive and only reports how it went.
enum TRunKind { rnList, rnAuto, rnHtml, rnEmbed, rnClearArchive };

// A detection wins over everything; an unattended run ignores the report form.
TRunKind RunKindOf(bool ListMode, bool AutoMode, const TOptions& Opts);

// Whether the run writes into the output folder, which must exist first.
bool RunWritesFiles(TRunKind Kind);

// Whether the run's output is read: only the built-in report and the detection
// show what the collector printed.
bool RunKeepsOutput(TRunKind Kind);

// The whole collector command line for the run kind; OutDir is the resolved
// output folder.
QString RunArgs(TRunKind Kind, const TOptions& Opts, const QString& OutDir);

QString BusyTextOf(TRunKind Kind);
// The busy text with 0 to 3 dots, one more each second.
QString ProgressText(const QString& BusyText, int ElapsedSec);
// "用时 N s" while running.
QString ElapsedText(int ElapsedSec);

// Status panel texts once the collector has exited.
QString FinishedStatusText(TRunKind Kind, quint32 Code);
QString FinishedElapsedText(int ElapsedSec, quint32 Code);

// What the window does with a finished interactive run.
enum TFinishAction {
    faNone,       // the status bar says it all
    faShowResult, // parse the output and open the result window
    faWarn,       // a warning box with Text
};

struct TFinishStep {
    TFinishAction Action = faNone;
    QString Text;
};

TFinishStep FinishStep(TRunKind Kind, quint32 Code);

QString ParseFailedText(const QString& ParserMessage);
// Stands in for the parser's message when the output outgrew Limit bytes.
QString OutputTooLargeText(qint64 Limit);
QString CollectorMissingText(const QString& ExePath);
