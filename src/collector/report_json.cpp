#include "visit_report.h"
#include "report_writer.h"
#include "text_out.h"

#include <string>

namespace {

void NameCounts(TTextOut& Out, const char* Key, const QList<TNameCount>& List)
{
    Out.Raw(",\n\"").Raw(Key).Raw("\":[");
    for (qsizetype I = 0; I < List.size(); ++I) {
        Out.Raw(I ? ",[" : "[").Json(List[I].Name).Raw(",").Int(List[I].Count).Raw("]");
    }
    Out.Raw("]");
}

void SourceObject(TTextOut& Out, const TSourceResult& S, bool WithMsg)
{
    Out.Raw("{\"name\":").Json(S.Info.Name)
        .Raw(",\"profile\":").Json(S.Info.Profile)
        .Raw(",\"status\":").Json(S.Status())
        .Raw(",\"path\":").Json(S.Info.Path);
    if (WithMsg)
        Out.Raw(",\"msg\":").Json(S.Msg);
    Out.Raw(",\"count\":").Int(S.Count)
        .Raw(",\"ok\":").Raw(S.Ok ? "true" : "false").Raw("}");
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
    for (qsizetype I = 0; I < R.Sources.size(); ++I) {
        Out.Raw(I ? ",\n" : "\n");
        SourceObject(Out, R.Sources[I], true);
    }
    Out.Raw("]");

    // Millions of records share a few sources: their escaped part is built once.
    // Titles and URLs are escaped straight into the output buffer, so a record
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
    TLocalClock Clock;
    char Time[19];
    Out.Raw(",\n\"records\":[");
    for (size_t I = 0; I < R.RecordCount; ++I) {
        const TVisit& V = R.Visits[I];
        TLocalClock::Format(Clock.Convert(V.UnixUs), Time);
        Out.Raw(I ? ",\n{\"time\":\"" : "\n{\"time\":\"").Raw(Time, sizeof Time)
            .Raw(SourcePart[size_t(V.Source)]).Json(R.TitleOf(V)).Raw(",\"url\":")
            .Json(R.RecordUrl(R.EntryOf(V))).Raw("}");
    }
    Out.Raw("],\n\"truncated\":").Raw(R.Truncated ? "true" : "false").Raw("}\n");
}

void WriteListJson(const QString& Generated, const QList<TSourceResult>& Sources, TTextOut& Out)
{
    Out.Raw("{\"generated\":").Json(Generated).Raw(",\n\"sources\":[");
    for (qsizetype I = 0; I < Sources.size(); ++I) {
        Out.Raw(I ? ",\n" : "\n");
        SourceObject(Out, Sources[I], true);
    }
    Out.Raw("]}\n");
}
