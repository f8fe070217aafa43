// Small stand-in for a console program, driven entirely by environment
// variables so that tests (and a fake collector copied under another name) can
// make it behave as needed. Its own file name and arguments never change what
// it does. Steps run in the order listed; unset variables are skipped.
//
//   MK_CHILD_PID_FILE=path    write this process's pid to path (via rename)
//   MK_CHILD_ARGS_FILE=path   write the working folder on the first line, then
//                             every argument as received, one per line (raw
//                             bytes, LF after each)
//   MK_CHILD_STDIN=1          read standard input to its end, then print
//                             "stdin:N\n" (N = bytes read) to standard output
//   MK_CHILD_GRANDCHILD=path  start a grandchild that keeps standard output and
//                             standard error open and sleeps 60 s (or
//                             MK_CHILD_GRANDCHILD_MS); its pid is written to
//                             path (whole file, via rename) before this process
//                             goes on, which never waits for it
//   MK_CHILD_SETSID=1         the grandchild leaves the group and session
//                             (setsid) before it sleeps
//   MK_CHILD_TERM_FILE=path   on SIGTERM (on Windows: when the event named
//                             in MK_STOP_EVENT is set), write "term" to path
//                             and exit 15
//   MK_CHILD_IGNORE_TERM=1    ignore SIGTERM (on Windows the event anyway)
//   MK_CHILD_FILE=path        copy the file's bytes to standard output
//   MK_CHILD_SCRIPT=cmds      commands separated by ';':
//                               out:TEXT  write TEXT to standard output
//                               err:TEXT  write TEXT to standard error
//                               sleep:MS  sleep MS milliseconds
//                               signal:N  raise signal N
//                               pipe:N    make the standard-output pipe N bytes
//                                         big (exit code 94 when refused)
//                               exit:N    exit at once with code N
//                               wait:PATH wait until the file PATH exists
//                                         (60 s at most)
//                             TEXT escapes: \n \r \t \\ \; and \xHH for any byte
//   MK_CHILD_FLOOD_MIB=N      write N MiB to standard output as fast as it can;
//                             byte k of the flood is k % 251
//   MK_CHILD_SLEEP_MS=N       sleep N milliseconds
//   MK_CHILD_EXIT=N           exit code (default 0)
//   MK_CHILD_PROBE_PID=N      only report whether process N still runs: exit
//                             0 when it does, 1 when it has ended (a zombie
//                             has ended too); nothing else happens
//
// Every write goes straight to the file descriptor, so standard output and
// standard error reach a shared pipe in exactly the scripted order. What
// differs between systems lives in test_child_posix.cpp / test_child_win.cpp.
// Its own failures end it with 90 (write failed), 91 (pid or argument file
// not written), 92 (grandchild not started), 93 (MK_CHILD_FILE unreadable) or
// 94 (pipe not widened).

#include "test_child_platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* Env(const char* Name)
{
    const char* V = std::getenv(Name);
    return V && *V ? V : nullptr;
}

void WriteAll(int Fd, const char* Data, size_t Size)
{
    if (!ChildWrite(Fd, Data, Size))
        std::_Exit(90);
}

// A file is written whole: a temporary file renamed over the path.
bool WriteFileWhole(const char* Path, const std::string& Data)
{
    const std::string Tmp = std::string(Path) + ".tmp";
    std::FILE* F = std::fopen(Tmp.c_str(), "wb");
    if (!F)
        return false;
    const bool Written = std::fwrite(Data.data(), 1, Data.size(), F) == Data.size();
    return std::fclose(F) == 0 && Written && ChildReplaceFile(Tmp.c_str(), Path);
}

bool FileExists(const std::string& Path)
{
    std::FILE* F = std::fopen(Path.c_str(), "rb");
    if (F)
        std::fclose(F);
    return F != nullptr;
}

// Lets a test say when the child is to go on, instead of guessing a sleep.
void WaitForFile(const std::string& Path)
{
    for (int I = 0; I < 6000 && !FileExists(Path); ++I)
        ChildSleepMs(10);
}

bool CopyFileToStdout(const char* Path)
{
    std::FILE* F = std::fopen(Path, "rb");
    if (!F)
        return false;
    char Buf[65536];
    for (size_t N; (N = std::fread(Buf, 1, sizeof Buf, F)) > 0;)
        WriteAll(1, Buf, N);
    std::fclose(F);
    return true;
}

int HexDigit(char C)
{
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

// Splits the script at unescaped ';' and resolves the escapes of each piece.
std::vector<std::string> ParseScript(const char* S)
{
    std::vector<std::string> Cmds(1);
    for (; *S; ++S) {
        if (*S == ';') {
            Cmds.emplace_back();
        } else if (*S == '\\' && S[1]) {
            ++S;
            switch (*S) {
            case 'n': Cmds.back() += '\n'; break;
            case 'r': Cmds.back() += '\r'; break;
            case 't': Cmds.back() += '\t'; break;
            case 'x':
                if (HexDigit(S[1]) >= 0 && HexDigit(S[2]) >= 0) {
                    Cmds.back() += char(HexDigit(S[1]) * 16 + HexDigit(S[2]));
                    S += 2;
                    break;
                }
                [[fallthrough]];
            default: Cmds.back() += *S; break;
            }
        } else {
            Cmds.back() += *S;
        }
    }
    return Cmds;
}

void RunScript(const char* Script)
{
    for (const std::string& Cmd : ParseScript(Script)) {
        const size_t Colon = Cmd.find(':');
        const std::string Verb = Cmd.substr(0, Colon);
        const std::string Arg = Colon == std::string::npos ? std::string() : Cmd.substr(Colon + 1);
        if (Verb == "out")
            WriteAll(1, Arg.data(), Arg.size());
        else if (Verb == "err")
            WriteAll(2, Arg.data(), Arg.size());
        else if (Verb == "sleep")
            ChildSleepMs(std::atol(Arg.c_str()));
        else if (Verb == "signal")
            ChildRaise(std::atoi(Arg.c_str()));
        else if (Verb == "pipe") {
            if (!ChildWidenPipe(std::atoi(Arg.c_str())))
                std::_Exit(94);
        } else if (Verb == "exit") {
            std::_Exit(std::atoi(Arg.c_str()));
        } else if (Verb == "wait") {
            WaitForFile(Arg);
        }
    }
}

void Flood(long MiB)
{
    std::vector<char> Block(251 * 4096);
    for (size_t I = 0; I < Block.size(); ++I)
        Block[I] = char(I % 251);
    // The block holds whole periods of the pattern, so consecutive writes of it
    // continue the sequence seamlessly; the tail is cut from its start.
    unsigned long long Left = (unsigned long long)MiB << 20;
    while (Left > 0) {
        const size_t N = Left < Block.size() ? size_t(Left) : Block.size();
        WriteAll(1, Block.data(), N);
        Left -= N;
    }
}

} // namespace

int main(int Argc, char** Argv)
{
    ChildInit();
    if (const char* Pid = Env("MK_CHILD_PROBE_PID"))
        return ChildProcessRuns(std::atoll(Pid)) ? 0 : 1;
    if (const char* Ms = Env("MK_CHILD_AS_GRANDCHILD")) {
        // Outlives its parent and keeps the inherited output pipe open.
        ChildSleepMs(std::atol(Ms));
        return 0;
    }
    if (const char* Path = Env("MK_CHILD_TERM_FILE"))
        ChildOnTerm(Path);
    if (Env("MK_CHILD_IGNORE_TERM"))
        ChildIgnoreTerm();
    if (const char* Path = Env("MK_CHILD_PID_FILE")) {
        if (!WriteFileWhole(Path, std::to_string(ChildPid()) + "\n"))
            return 91;
    }
    if (const char* Path = Env("MK_CHILD_ARGS_FILE")) {
        std::string Data = ChildCurrentFolder();
        Data += '\n';
        for (const std::string& Arg : ChildArguments(Argc, Argv)) {
            Data += Arg;
            Data += '\n';
        }
        if (!WriteFileWhole(Path, Data))
            return 91;
    }
    if (Env("MK_CHILD_STDIN")) {
        const std::string Line = "stdin:" + std::to_string(ChildReadStdinToEnd()) + "\n";
        WriteAll(1, Line.data(), Line.size());
    }
    if (const char* Path = Env("MK_CHILD_GRANDCHILD")) {
        const char* Ms = Env("MK_CHILD_GRANDCHILD_MS");
        const long long Pid = ChildStartGrandchild(Ms ? std::atol(Ms) : 60000, Env("MK_CHILD_SETSID") != nullptr);
        if (Pid <= 0 || !WriteFileWhole(Path, std::to_string(Pid) + "\n"))
            return 92;
    }
    if (const char* Path = Env("MK_CHILD_FILE")) {
        if (!CopyFileToStdout(Path))
            return 93;
    }
    if (const char* Script = Env("MK_CHILD_SCRIPT"))
        RunScript(Script);
    if (const char* MiB = Env("MK_CHILD_FLOOD_MIB"))
        Flood(std::atol(MiB));
    if (const char* Ms = Env("MK_CHILD_SLEEP_MS"))
        ChildSleepMs(std::atol(Ms));
    const char* Code = Env("MK_CHILD_EXIT");
    return Code ? std::atoi(Code) : 0;
}
