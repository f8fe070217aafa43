#pragma once

#include "source_table.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>

enum TSourceMode { smAuto, smPick };
enum TRangeKind { rgAll, rgDays, rgCust };
enum TScope { scCurrent, scAll };
enum TOutMode { omEmbed, omHtml };

inline constexpr int kMinDays = 1;
inline constexpr int kMaxDays = 36500;
inline constexpr int kMinLimit = 0;
inline constexpr int kMaxLimit = 1000000;

// Everything a run can be configured with. The main window's controls hold
// these values; this struct is what both command lines are computed from.
struct TOptions {
    TSourceMode FSrcMode = smAuto;
    std::array<bool, kSourceCount> FChecked{};
    TRangeKind FRange = rgAll;
    int FDays = 30;
    QDate FFrom;
    QDate FTo;
    TScope FScope = scCurrent;
    TOutMode FOutMode = omEmbed;
    QString FOutDir;
    QString FTitle;
    QString FInclude;
    QString FExclude;
    int FLimit = 0;
    bool FPrivacy = false;
    // Report runs also keep every visit they read in the collector's archive.
    bool FArchive = false;

    bool operator==(const TOptions&) const = default;
};

QString DefaultTitle();
// Documents joined with "Marrowkin"; the caller supplies the Documents folder.
QString DefaultOutDir(const QString& Documents);
// The start-up options: from is today one month back (clamped to that month's
// length), to is today.
TOptions DefaultOptions(const QString& DefaultOut, const QDate& Today = QDate::currentDate());

// Switches read from the program's own command line, kept as text until they
// are applied so that unknown values can be ignored there.
struct TInitOptions {
    bool FAutoMode = false;
    QString FOutOverride;
    int FAutoDays = 0;
    QString FInitSrcMode;
    QString FInitSrcIds;
    QString FInitRange;
    QString FInitFrom;
    QString FInitTo;
    QString FInitScope;
    QString FInitOutMode;
    QString FInitTitle;
    QString FInitInclude;
    QString FInitExclude;
    QString FInitLimit;
    int FInitPrivacy = -1;
    QString FInitArchive;
};

// True when the argument is "/auto" in any letter case, as a whole.
bool IsAutoSwitch(const QString& Arg);

// One of the switches above ("/auto" or a known "/name:" prefix, any case).
bool IsOptionSwitch(const QString& Arg);

// The report files named on the command line, in order: every argument that
// is not a switch and ends in ".json" (any case). Anything else is ignored, as
// unknown switches are.
QStringList ReportFileArgs(const QStringList& Args);

// Args are the program's arguments without the program name.
TInitOptions ParseCommandLine(const QStringList& Args);

// Moves the recognised switches onto Opts, clamping numbers to the ranges of
// the spin controls; unknown keywords and bad dates or numbers change nothing.
void ApplyInitialOptions(const TInitOptions& Init, TOptions& Opts);


// Cuts a keyword or domain text at ";", "；", CR and LF; values are trimmed and
// empty ones dropped, duplicates kept.
QStringList SplitList(const QString& Text);

QString CheckedSourceIds(const TOptions& Opts);
// "auto" unless pick mode is on and at least one source is ticked.
QString SourceSwitchValue(const TOptions& Opts);

// The output folder text trimmed, the default when empty, made absolute
// against the current folder when relative, without trailing path delimiters
// (a bare root keeps its delimiter).
QString ResolveOutDir(const TOptions& Opts, const QString& DefaultOut);

QString CommandLineDate(const QDate& Date);

// The complete option line, handed to an elevated copy of the program.
QString BuildRestartArgs(const TOptions& Opts, const QString& DefaultOut);

// The collector switches for the options, without the output switches of the
// run kind; empty when none applies.
QString BuildCollectorArgs(const TOptions& Opts);

// The arguments, unquoted, that make an unattended start run the collector as
// Opts would, writing into OutDir: "/auto" and the switches of the option
// line whose values a start would not have anyway, leaving out what an
// unattended run ignores. Short, because a scheduler may limit its length.
QStringList UnattendedArgs(const TOptions& Opts, const QString& OutDir);
