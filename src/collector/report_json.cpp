#include "visit_report.h"
#include "report_writer.h"
#include "text_out.h"
#include "utf8.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

void NameCounts(TTextOut& Out, const char* Key, const QList<TNameCount>& List)
{
    Out.Raw(",\n\"").Raw(Key).Raw("\":[");
    for (qsizetype I = 0; I < List.size(); ++I) {
        Out.Raw(I ? ",[" : "[").Json(List[I].Name).Raw(",").Int(List[I].Count).Raw("]");
    }
    Out.Raw("]");
}

void SourceObject(TTextOut& Out, const TSourceResult& S)
{
    Out.Raw("{\"name\":").Json(S.Info.Name)
        .Raw(",\"profile\":").Json(S.Info.Profile)
        .Raw(",\"status\":").Json(S.Status())
        .Raw(",\"path\":").Json(S.Info.Path)
        .Raw(",\"msg\":").Json(S.Msg)
        .Raw(",\"count\":").Int(S.Count)
        .Raw(",\"ok\":").Raw(S.Ok ? "true" : "false").Raw("}");
}

void FormatRecords(const TReport& R, const std::vector<std::string>& SourcePart, size_t From, size_t To,
                   TLocalClock& Clock, std::string& Out)
{
    char Time[19];
    for (size_t I = From; I < To; ++I) {
        const TVisit& V = R.Visits[I];
        TLocalClock::Format(Clock.Convert(V.UnixUs), Time);
        Out.append(I ? ",\n{\"time\":\"" : "\n{\"time\":\"");
        Out.append(Time, sizeof Time);
        Out.append(SourcePart[size_t(V.Source)]);
        AppendJsonUtf8(Out, BytesOf(R.TitleOf(V)));
        Out.append(",\"url\":");
        AppendJsonString(Out, R.EntryOf(V).Url);
        Out.push_back('}');
    }
}

// Formatting is most of the time of writing a large report, so with a second
// core the records go in blocks: a helper formats the odd blocks while the
// writer formats the even ones, and everything is written in order. One block
// waits at most; both threads reuse their buffers.
void WriteRecords(const TReport& R, const std::vector<std::string>& SourcePart, TTextOut& Out)
{
    constexpr size_t kBlock = 8192;
    const size_t Blocks = (R.RecordCount + kBlock - 1) / kBlock;
    auto Range = [&](size_t B, TLocalClock& Clock, std::string& Buf) {
        Buf.clear();
        FormatRecords(R, SourcePart, B * kBlock, std::min(R.RecordCount, (B + 1) * kBlock), Clock, Buf);
    };

    std::mutex Lock;
    std::condition_variable Changed;
    std::string Slot;               // a finished odd block, handed over by swapping
    size_t SlotBlock = SIZE_MAX;    // which block Slot holds; SIZE_MAX: free
    bool Stop = false, Broken = false;
    std::jthread Helper;
    if (Blocks > 1 && std::thread::hardware_concurrency() > 1) {
        try {
            Helper = std::jthread([&] {
                TLocalClock Clock;
                std::string Buf;
                try {
                    for (size_t B = 1; B < Blocks; B += 2) {
                        Range(B, Clock, Buf);
                        std::unique_lock<std::mutex> Guard(Lock);
                        Changed.wait(Guard, [&] { return SlotBlock == SIZE_MAX || Stop; });
                        if (Stop)
                            return;
                        std::swap(Slot, Buf);
                        SlotBlock = B;
                        Changed.notify_all();
                    }
                } catch (...) {
                    // The writer formats what is left itself.
                    const std::lock_guard<std::mutex> Guard(Lock);
                    Broken = true;
                    Changed.notify_all();
                }
            });
        } catch (const std::system_error&) {
        }
    }
    struct TStopper
    {
        std::mutex& Lock;
        std::condition_variable& Changed;
        bool& Stop;
        ~TStopper()
        {
            const std::lock_guard<std::mutex> Guard(Lock);
            Stop = true;
            Changed.notify_all();
        }
    } const Stopper{Lock, Changed, Stop};

    TLocalClock Clock;
    std::string Buf;
    for (size_t B = 0; B < Blocks && !Out.Failed(); ++B) {
        bool Mine = B % 2 == 0 || !Helper.joinable();
        if (!Mine) {
            std::unique_lock<std::mutex> Guard(Lock);
            Changed.wait(Guard, [&] { return SlotBlock == B || Broken; });
            if (SlotBlock == B) {
                std::swap(Slot, Buf);
                SlotBlock = SIZE_MAX;
                Changed.notify_all();
            } else {
                Mine = true;
            }
        }
        if (Mine)
            Range(B, Clock, Buf);
        Out.Block(Buf);
    }
}

} // namespace

void WriteReportJson(const TReport& R, TTextOut& Out)
{
    Out.Raw("{\"title\":").Json(R.Title)
        .Raw(",\n\"range\":").Json(R.Range)
        .Raw(",\n\"scope\":").Json(R.Scope)
        .Raw(",\n\"generated\":").Json(R.Generated)
        .Raw(",\n\"stats\":{\"total\":").Int(R.Total)
        .Raw(",\"uniqueUrl\":").Int(R.UniqueUrl)
        .Raw(",\"uniqueDomain\":").Int(R.UniqueDomain)
        .Raw(",\"activeDays\":").Int(R.ActiveDays)
        .Raw(",\"peak\":").Json(R.Peak)
        .Raw(",\"first\":").Json(R.First)
        .Raw(",\"last\":").Json(R.Last).Raw("}");

    Out.Raw(",\n\"heat\":[");
    for (size_t D = 0; D < 7; ++D) {
        Out.Raw(D ? ",[" : "[");
        for (size_t H = 0; H < 24; ++H)
            Out.Raw(H ? "," : "").Int(R.Heat[D][H]);
        Out.Raw("]");
    }
    Out.Raw("]");
    NameCounts(Out, "days", R.Days);
    NameCounts(Out, "domains", R.Domains);
    Out.Raw(",\n\"pages\":[");
    for (qsizetype I = 0; I < R.Pages.size(); ++I)
        Out.Raw(I ? ",[" : "[").Json(R.Pages[I].Url).Raw(",").Json(R.Pages[I].Title)
            .Raw(",").Int(R.Pages[I].Count).Raw("]");
    Out.Raw("]");
    NameCounts(Out, "keywords", R.Keywords);
    NameCounts(Out, "browsers", R.Browsers);
    Out.Raw(",\n\"cats\":[");
    for (qsizetype I = 0; I < R.Cats.size(); ++I)
        Out.Raw(I ? ",[" : "[").Json(R.Cats[I].Name).Raw(",").Int(R.Cats[I].Count)
            .Raw(",").Json(R.Cats[I].Color).Raw("]");
    Out.Raw("]");
    Out.Raw(",\n\"sources\":[");
    bool First = true;
    for (const TSourceResult& S : R.Sources) {
        if (S.Hidden)
            continue;
        Out.Raw(First ? "\n" : ",\n");
        SourceObject(Out, S);
        First = false;
    }
    Out.Raw("]");

    // Millions of records share a few sources: their escaped part is built once.
    // Titles and URLs are escaped straight into reused buffers, so a record
    // costs no allocation.
    std::vector<std::string> SourcePart(size_t(R.Sources.size()));
    for (qsizetype I = 0; I < R.Sources.size(); ++I) {
        std::string& P = SourcePart[size_t(I)];
        P = "\",\"browser\":";
        AppendJsonString(P, R.Sources[I].Info.Name);
        P += ",\"profile\":";
        AppendJsonString(P, R.Sources[I].Info.Profile);
        P += ",\"title\":";
    }
    Out.Raw(",\n\"records\":[");
    WriteRecords(R, SourcePart, Out);
    Out.Raw("],\n\"truncated\":").Raw(R.Truncated ? "true" : "false").Raw("}\n");
}

void WriteListJson(const QString& Generated, const QList<TSourceResult>& Sources, TTextOut& Out)
{
    Out.Raw("{\"generated\":").Json(Generated).Raw(",\n\"sources\":[");
    for (qsizetype I = 0; I < Sources.size(); ++I) {
        Out.Raw(I ? ",\n" : "\n");
        SourceObject(Out, Sources[I]);
    }
    Out.Raw("]}\n");
}
