// What the test child needs from the system, one implementation per platform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Puts standard output and standard error in byte mode where that matters.
void ChildInit();
// Arguments as received, in UTF-8, without the program name.
std::vector<std::string> ChildArguments(int Argc, char** Argv);
std::string ChildCurrentFolder();
long long ChildPid();
// Writes everything to descriptor 1 or 2; false when the write fails.
bool ChildWrite(int Fd, const char* Data, size_t Size);
// Renames From over To, replacing To when it exists.
bool ChildReplaceFile(const char* From, const char* To);
long long ChildReadStdinToEnd();
void ChildSleepMs(long Ms);
void ChildRaise(int Signal);
// Makes the standard-output pipe this many bytes big; false when refused.
bool ChildWidenPipe(int Bytes);
// Starts a process that sleeps SleepMs with the output handles inherited (on
// Windows a copy of this program, told so by MK_CHILD_AS_GRANDCHILD); its
// pid, or 0 on failure. NewSession: it leaves the group and session first
// (POSIX only).
long long ChildStartGrandchild(long SleepMs, bool NewSession);
// On SIGTERM, or on Windows on the runner's stop event: write "term" to Path
// and exit with 15.
void ChildOnTerm(const char* Path);
// SIGTERM is ignored (POSIX only).
void ChildIgnoreTerm();
bool ChildProcessRuns(long long Pid);
