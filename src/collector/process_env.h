#pragma once

#include "collector.h"

#include <QString>

// The collector as a process: how it sets itself up and what a run touches.

// First thing in main: standard output takes bytes as they are, a reader
// that goes away makes a write fail (exit code 4) instead of ending the
// process, and the local time zone is looked up once, not at every visit.
void PrepareProcess();

// Standard output and error of the process, and opening a file with the
// desktop's default program.
TCollectorEnv ProcessEnv();

// Platform half: hands the file to the desktop's default program, apart
// from this run so that the front end does not end it with the run.
bool OpenWithDesktop(const QString& Path);
