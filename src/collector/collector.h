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
    QString UsersRoot;                                 // empty = the system's homes (SystemHomes)
    QString LastFile;                                  // set to the report file written
};

// Runs the collector with already split arguments and returns the exit code.
// Exceptions are left to the caller (the program's entry turns them into 5).
int RunCollector(const QStringList& Args, TCollectorEnv& Env);
