#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

enum TOutFormat { ofJson, ofHtml };
enum TArchiveMode { amOff, amOn, amClear };

// Everything the command line asks for, already checked.
struct TCollectorOptions
{
    QStringList FSources;     // source ids, lower case; empty = every detected source
    int FDays = 0;            // 0 = no day window
    QDate FFrom;              // null = open
    QDate FTo;                // null = open
    bool FAllUsers = false;
    QString FTitle;
    QStringList FInclude;     // keywords as given
    QStringList FExclude;     // normalised domain patterns ("a.com", "*.a.com")
    qint64 FLimit = 0;        // 0 = all records
    bool FPrivacy = false;
    TOutFormat FFormat = ofJson;
    QString FOutDir;          // empty = standard output
    bool FOpen = false;
    bool FList = false;
    bool FAllVisits = false;  // every stored visit row, not only what the browser's history page lists
    TArchiveMode FArchive = amOff; // keep every visit read in the archive and report from both; or empty it
    QString FArchivePath;     // empty = the default place
};

inline constexpr const char* kDefaultTitle = "浏览器访问记录报告";

// Reads the already split arguments. False with a message for people on any
// unknown switch or bad value.
bool ParseCollectorArgs(const QStringList& Args, TCollectorOptions& Options, QString& ErrMsg);

// Lower case host pattern from what a user typed as an excluded domain:
// scheme, path, port and a trailing dot are dropped. Empty when nothing is left.
QString NormaliseDomainPattern(const QString& Text);

// Text for the report's range member: "全部历史", "最近 N 天", "A 至 B", …
QString RangeText(const TCollectorOptions& Options);
