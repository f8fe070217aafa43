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
//                             standard error open and sleeps up to 60 s; its pid
//                             is written to path (whole file, via rename)
//                             before this process goes on
//   MK_CHILD_SETSID=1         the grandchild leaves the group and session
//                             (setsid) before it sleeps
//   MK_CHILD_TERM_FILE=path   on SIGTERM, write "term" to path and exit 15
//   MK_CHILD_IGNORE_TERM=1    ignore SIGTERM
//   MK_CHILD_FILE=path        copy the file's bytes to standard output
//   MK_CHILD_SCRIPT=cmds      commands separated by ';':
//                               out:TEXT  write TEXT to standard output
//                               err:TEXT  write TEXT to standard error
//                               sleep:MS  sleep MS milliseconds
//                               signal:N  raise signal N
//                               pipe:N    make the standard-output pipe N bytes
//                                         big (exit code 94 when refused)
//                               exit:N    exit at once with code N
//                             TEXT escapes: \n \r \t \\ \; and \xHH for any byte
//   MK_CHILD_FLOOD_MIB=N      write N MiB to standard output as fast as it can;
//                             byte k of the flood is k % 251
//   MK_CHILD_SLEEP_MS=N       sleep N milliseconds
//   MK_CHILD_EXIT=N           exit code (default 0)
//
// Every write goes straight to the file descriptor, so standard output and
// standard error reach a shared pipe in exactly the scripted order.
// Its own failures end it with 90 (write failed), 91 (pid or argument file
// not written), 92 (grandchild not started), 93 (MK_CHILD_FILE unreadable) or
// 94 (pipe not widened).

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* Env(const char* Name)
{
    const char* V = std::getenv(Name);
    return V && *V ? V : nullptr;
}

void WriteAll(int Fd, const char* Data, size_t Size)
{
    while (Size > 0) {
        const ssize_t N = ::write(Fd, Data, Size);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            std::_Exit(90);
        }
        Data += N;
        Size -= size_t(N);
    }
}

void SleepMs(long Ms)
{
    if (Ms > 0)
        ::usleep(useconds_t(Ms) * 1000);
}

bool WriteFileWhole(const char* Path, const std::string& Data)
{
    const std::string Tmp = std::string(Path) + ".tmp";
    const int Fd = ::open(Tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (Fd < 0)
        return false;
    WriteAll(Fd, Data.data(), Data.size());
    ::close(Fd);
    return ::rename(Tmp.c_str(), Path) == 0;
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
            SleepMs(std::atol(Arg.c_str()));
        else if (Verb == "signal")
            ::raise(std::atoi(Arg.c_str()));
        else if (Verb == "pipe") {
#ifdef F_SETPIPE_SZ
            if (::fcntl(1, F_SETPIPE_SZ, std::atoi(Arg.c_str())) < 0)
#endif
                std::_Exit(94);
        } else if (Verb == "exit")
            std::_Exit(std::atoi(Arg.c_str()));
    }
}

const char* GTermFile = nullptr;

void OnTerm(int)
{
    const int Fd = ::open(GTermFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (Fd >= 0) {
        [[maybe_unused]] const ssize_t N = ::write(Fd, "term", 4);
        ::close(Fd);
    }
    std::_Exit(15);
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
    if ((GTermFile = Env("MK_CHILD_TERM_FILE")))
        std::signal(SIGTERM, OnTerm);
    if (Env("MK_CHILD_IGNORE_TERM"))
        std::signal(SIGTERM, SIG_IGN);
    if (const char* Path = Env("MK_CHILD_PID_FILE")) {
        if (!WriteFileWhole(Path, std::to_string(::getpid()) + "\n"))
            return 91;
    }
    if (const char* Path = Env("MK_CHILD_ARGS_FILE")) {
        std::string Data;
        char Cwd[4096];
        Data += ::getcwd(Cwd, sizeof Cwd) ? Cwd : "?";
        Data += '\n';
        for (int I = 1; I < Argc; ++I) {
            Data += Argv[I];
            Data += '\n';
        }
        if (!WriteFileWhole(Path, Data))
            return 91;
    }
    if (Env("MK_CHILD_STDIN")) {
        char Buf[4096];
        long long Total = 0;
        for (;;) {
            const ssize_t N = ::read(0, Buf, sizeof Buf);
            if (N < 0 && errno == EINTR)
                continue;
            if (N <= 0)
                break;
            Total += N;
        }
        const std::string Line = "stdin:" + std::to_string(Total) + "\n";
        WriteAll(1, Line.data(), Line.size());
    }
    if (const char* Path = Env("MK_CHILD_GRANDCHILD")) {
        const pid_t Pid = ::fork();
        if (Pid == 0) {
            if (Env("MK_CHILD_SETSID"))
                ::setsid();
            // Outlives its parent and keeps the inherited output pipe open.
            for (int I = 0; I < 600; ++I)
                SleepMs(100);
            std::_Exit(0);
        }
        if (Pid < 0 || !WriteFileWhole(Path, std::to_string(Pid) + "\n"))
            return 92;
    }
    if (const char* Path = Env("MK_CHILD_FILE")) {
        const int Fd = ::open(Path, O_RDONLY);
        if (Fd < 0)
            return 93;
        char Buf[65536];
        for (ssize_t N; (N = ::read(Fd, Buf, sizeof Buf)) > 0;)
            WriteAll(1, Buf, size_t(N));
        ::close(Fd);
    }
    if (const char* Script = Env("MK_CHILD_SCRIPT"))
        RunScript(Script);
    if (const char* MiB = Env("MK_CHILD_FLOOD_MIB"))
        Flood(std::atol(MiB));
    if (const char* Ms = Env("MK_CHILD_SLEEP_MS"))
        SleepMs(std::atol(Ms));
    const char* Code = Env("MK_CHILD_EXIT");
    return Code ? std::atoi(Code) : 0;
}
