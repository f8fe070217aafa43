#pragma once

#include "collector_contract.h" // the exit codes the front end knows

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// What a run touches outside itself, replaceable in tests.
struct TCollectorEnv
{
    std::function<bool(const char* Data, size_t Size)> WriteStdout;
    std::function<void(const QString& Text)> WriteStderr;
    std::function<bool(const QString& Path)> OpenFile; // the desktop's default program
    QDateTime Now;                                     // invalid = the current time
    QString UsersRoot;                                 // empty = /home (C:\Users on Windows)
    QStringList ExtraHomes;                            // with UsersRoot empty: /root
    size_t HtmlRecordLimit = 5000;
    QString LastFile;                                  // set to the report file written
};

// Runs the collector with already split arguments and returns the exit code.
// Exceptions are left to the caller (the program's entry turns them into 5).
int RunCollector(const QStringList& Args, TCollectorEnv& Env);

// Standard output and error of the process; opening through xdg-open or the shell.
TCollectorEnv ProcessEnv();

// "Marrowkin_Report_yyyyMMdd_hhmmss.<Ext>"; from the second Copy of one
// second on "Marrowkin_Report_yyyyMMdd_hhmmss_<Copy>.<Ext>".
QString ReportFileName(const QDateTime& When, const QString& Ext, int Copy = 1);
