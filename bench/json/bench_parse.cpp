// Reading a collector report: our DecodeOutput + ParseJson against
// QJsonDocument::fromJson on the same bytes, time and peak memory side by
// side. Every measurement runs in a forked child, so one case's freed heap
// cannot hide the next case's growth.
//
//   bench_parse [records...]      default: 100000 1000000

#include "child_measure.h"
#include "json.h"
#include "report_generator.h"
#include "text_util.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// caTree: ParseJson alone on text decoded beforehand, to show what the parse
// itself costs and what the tree alone takes.
enum TCase { caOurs, caQt, caTree };

struct TResult
{
    double Ms = 0;      // CPU time: the machine may be busy with other work
    double WallMs = 0;
    qint64 PeakKb = 0;  // growth of the peak resident size while parsing
    qint64 KeptKb = 0;  // growth of the resident size while the result is held
    bool Ok = false;
};

double CpuMs()
{
    timespec Ts;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Ts);
    return Ts.tv_sec * 1000.0 + Ts.tv_nsec / 1e6;
}


// Starts a new peak at the current resident size (Linux 4.0 and later).
void ResetPeak()
{
    const int Fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (Fd >= 0) {
        if (::write(Fd, "5", 1) != 1)
            std::perror("clear_refs");
        ::close(Fd);
    }
}

TResult Measure(TCase Case, const QByteArray& Bytes)
{
    TResult R;
    const QString Decoded = Case == caTree ? DecodeOutput(Bytes) : QString();
    ResetPeak();
    const qint64 Before = StatusKib("VmHWM");
    const qint64 RssBefore = StatusKib("VmRSS");
    const auto Start = std::chrono::steady_clock::now();
    const double CpuStart = CpuMs();
    if (Case == caOurs) {
        const QString Text = DecodeOutput(Bytes);
        QString ErrMsg;
        const std::unique_ptr<TJsonValue> Root = ParseJson(Text, ErrMsg);
        R.Ms = CpuMs() - CpuStart;
        R.WallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
        R.Ok = Root && Root->Get("records") && Root->Get("records")->Count() > 0;
        R.KeptKb = StatusKib("VmRSS") - RssBefore;
    } else if (Case == caTree) {
        QString ErrMsg;
        const std::unique_ptr<TJsonValue> Root = ParseJson(Decoded, ErrMsg);
        R.Ms = CpuMs() - CpuStart;
        R.WallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
        R.Ok = Root && Root->Get("records") && Root->Get("records")->Count() > 0;
        R.KeptKb = StatusKib("VmRSS") - RssBefore;
    } else {
        QJsonParseError Error;
        const QJsonDocument Doc = QJsonDocument::fromJson(Bytes, &Error);
        R.Ms = CpuMs() - CpuStart;
        R.WallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
        R.Ok = Error.error == QJsonParseError::NoError && Doc.isObject();
        R.KeptKb = StatusKib("VmRSS") - RssBefore;
    }
    R.PeakKb = StatusKib("VmHWM") - Before;
    return R;
}

TResult MeasureCase(TCase Case, const QByteArray& Bytes)
{
    return MeasureInChild<TResult>([&] { return Measure(Case, Bytes); });
}

// Best time of a few runs; memory does not vary between runs, keep the largest.
TResult Best(TCase Case, const QByteArray& Bytes, int Runs)
{
    TResult Out;
    for (int I = 0; I < Runs; ++I) {
        const TResult R = MeasureCase(Case, Bytes);
        if (!R.Ok)
            return R;
        Out.Ms = I == 0 ? R.Ms : std::min(Out.Ms, R.Ms);
        Out.WallMs = I == 0 ? R.WallMs : std::min(Out.WallMs, R.WallMs);
        Out.PeakKb = std::max(Out.PeakKb, R.PeakKb);
        Out.KeptKb = std::max(Out.KeptKb, R.KeptKb);
        Out.Ok = true;
    }
    return Out;
}

} // namespace

int main(int Argc, char** Argv)
{
    std::vector<int> Sizes;
    for (int I = 1; I < Argc; ++I)
        Sizes.push_back(std::atoi(Argv[I]));
    if (Sizes.empty())
        Sizes = {100000, 1000000};

    std::printf("%-8s %7s | %8s %8s %6s | %8s %8s | %9s %9s %6s | %9s %9s | %8s %8s\n", "records", "doc MB",
                "ours ms", "Qt ms", "Qt/us", "ours", "Qt", "ours peak", "Qt peak", "Qt/us", "ours kept", "Qt kept",
                "parse ms", "tree");
    std::printf("%-8s %7s | %8s %8s %6s | %8s %8s | %9s %9s %6s | %9s %9s | %8s %8s\n", "", "", "CPU", "CPU", "",
                "wall ms", "wall ms", "MB", "MB", "", "MB", "MB", "CPU", "MB");
    bool AllOk = true;
    for (int Records : Sizes) {
        const QByteArray Bytes = GenerateReportDocument(Records);
        const int Runs = Records >= 1000000 ? 3 : 7;
        const TResult Ours = Best(caOurs, Bytes, Runs);
        const TResult Qt = Best(caQt, Bytes, Runs);
        const TResult Tree = Best(caTree, Bytes, Runs);
        if (!Ours.Ok || !Qt.Ok || !Tree.Ok) {
            std::printf("%-8d parse failed (ours %d, Qt %d)\n", Records, int(Ours.Ok), int(Qt.Ok));
            AllOk = false;
            continue;
        }
        std::printf("%-8d %7.1f | %8.1f %8.1f %6.2f | %8.1f %8.1f | %9.1f %9.1f %6.2f | %9.1f %9.1f | %8.1f %8.1f\n",
                    Records, Bytes.size() / 1048576.0, Ours.Ms, Qt.Ms, Qt.Ms / Ours.Ms, Ours.WallMs, Qt.WallMs,
                    Ours.PeakKb / 1024.0, Qt.PeakKb / 1024.0,
                    double(Qt.PeakKb) / double(std::max<qint64>(1, Ours.PeakKb)), Ours.KeptKb / 1024.0,
                    Qt.KeptKb / 1024.0, Tree.Ms, Tree.KeptKb / 1024.0);
        std::fflush(stdout);
    }
    std::printf("ours = DecodeOutput + ParseJson (the text is kept: the report window holds it); "
                "best of several runs, each in a fresh child;\n"
                "peak/kept = growth of VmHWM/VmRSS while parsing / while the result is held;\n"
                "parse/tree = ParseJson alone on decoded text. Goal: Qt/us >= 2 (time) and >= 1 (memory).\n");
    return AllOk ? 0 : 1;
}
