// Reading a collector report: ours (as the main window reads the collector's
// output) against QJsonDocument, RapidJSON and simdjson parsing the same bytes
// into their DOM, time and memory side by side. Every measurement runs in a
// forked child, so one case's freed heap cannot hide the next case's growth.
//
//   bench_parse [records...]      default: 100000 1000000

#include "child_measure.h"
#include "json.h"
#include "json_peers.h"
#include "report_bytes.h"
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

// caTree: ParseJson alone on text decoded beforehand, to show what the text
// parser itself costs and what its tree alone takes.
enum TCase { caOurs, caTree, caQt, caRapid, caSimd, caCount };
const char* const kCaseNames[caCount] = {"ours", "ParseJson on text", "QJsonDocument", "RapidJSON", "simdjson"};

struct TResult
{
    double Ms = 0;      // CPU time: the machine may be busy with other work
    double WallMs = 0;
    qint64 PeakKb = 0;  // growth of the peak resident size while parsing
    qint64 KeptKb = 0;  // growth of the resident size while the result is held
    bool Ok = false;
    bool Built = true;  // false for a peer this build did not find
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

// Times Parse, which parses into a result its caller holds and says whether
// that worked, and measures the memory while the result is still held.
template <typename TParse>
TResult Time(TParse&& Parse)
{
    TResult R;
    ResetPeak();
    const qint64 Before = StatusKib("VmHWM");
    const qint64 RssBefore = StatusKib("VmRSS");
    const auto Start = std::chrono::steady_clock::now();
    const double CpuStart = CpuMs();
    R.Ok = Parse();
    R.Ms = CpuMs() - CpuStart;
    R.WallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
    R.KeptKb = StatusKib("VmRSS") - RssBefore;
    R.PeakKb = StatusKib("VmHWM") - Before;
    return R;
}

bool HasRecords(const std::unique_ptr<TJsonValue>& Root)
{
    return Root && Root->Get("records") && Root->Get("records")->Count() > 0;
}

TResult Measure(TCase Case, const QByteArray& Bytes)
{
    switch (Case) {
    case caOurs: {
        std::unique_ptr<TJsonValue> Root;
        QString Err;
        return Time([&] { return HasRecords(Root = ParseReportBytes(Bytes, Err)); });
    }
    case caTree: {
        const QString Text = DecodeOutput(Bytes);
        std::unique_ptr<TJsonValue> Root;
        QString Err;
        return Time([&] { return HasRecords(Root = ParseJson(Text, Err)); });
    }
    case caQt: {
        QJsonDocument Doc;
        return Time([&] {
            QJsonParseError Error;
            Doc = QJsonDocument::fromJson(Bytes, &Error);
            return Error.error == QJsonParseError::NoError && Doc.isObject();
        });
    }
    case caRapid: {
#if MK_HAVE_RAPIDJSON
        rapidjson::Document Doc;
        return Time([&] { return ParseRapidJson(Bytes, Doc); });
#else
        break;
#endif
    }
    case caSimd: {
#if MK_HAVE_SIMDJSON
        // simdjson reads past the end of its input, so it gets a padded copy,
        // made beforehand as a program would read its file into one.
        const simdjson::padded_string Padded(Bytes.constData(), size_t(Bytes.size()));
        simdjson::dom::parser Parser;
        simdjson::dom::element Root;
        return Time([&] { return !Parser.parse(Padded).get(Root) && Root.is_object(); });
#else
        break;
#endif
    }
    case caCount:
        break;
    }
    TResult R;
    R.Built = false;
    return R;
}

// Best time of a few runs; memory does not vary between runs, keep the largest.
TResult Best(TCase Case, const QByteArray& Bytes, int Runs)
{
    TResult Out;
    for (int I = 0; I < Runs; ++I) {
        const TResult R = MeasureInChild<TResult>([&] { return Measure(Case, Bytes); });
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

    bool AllOk = true;
    for (int Records : Sizes) {
        const QByteArray Bytes = GenerateReportDocument(Records);
        const int Runs = Records >= 1000000 ? 3 : 7;
        std::printf("\n== %d records, document %.1f MB, best of %d runs ==\n", Records, Bytes.size() / 1048576.0,
                    Runs);
        std::printf("%-18s %8s %8s %8s %8s %8s %8s\n", "parser", "CPU ms", "wall ms", "peak MB", "kept MB",
                    "time/RJ", "peak/RJ");
        TResult R[caCount];
        for (int C = 0; C < caCount; ++C)
            R[C] = Best(TCase(C), Bytes, Runs);
        const TResult& Rapid = R[caRapid];
        for (int C = 0; C < caCount; ++C) {
            std::printf("%-18s ", kCaseNames[C]);
            if (!R[C].Built) {
                std::printf("not built\n");
            } else if (!R[C].Ok) {
                std::printf("parse failed\n");
                AllOk = false;
            } else if (Rapid.Ok) {
                std::printf("%8.1f %8.1f %8.1f %8.1f %8.2f %8.2f\n", R[C].Ms, R[C].WallMs, R[C].PeakKb / 1024.0,
                            R[C].KeptKb / 1024.0, R[C].Ms / Rapid.Ms,
                            double(R[C].PeakKb) / double(std::max<qint64>(1, Rapid.PeakKb)));
            } else {
                std::printf("%8.1f %8.1f %8.1f %8.1f %8s %8s\n", R[C].Ms, R[C].WallMs, R[C].PeakKb / 1024.0,
                            R[C].KeptKb / 1024.0, "-", "-");
            }
        }
        std::fflush(stdout);
    }
    std::printf("\nours = the collector's bytes to a tree as the main window reads them; each run in a fresh child;\n"
                "peak/kept = growth of VmHWM/VmRSS while parsing / while the result is held; "
                "time/RJ and peak/RJ against RapidJSON\n"
                "(default flags, strings copied into its DOM); simdjson parses a padded copy made beforehand.\n"
                "Goal: ours time/RJ <= 0.50 and peak/RJ <= 1.00.\n");
    return AllOk ? 0 : 1;
}
