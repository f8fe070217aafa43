#pragma once

#include "chart_types.h"
#include "source_list.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>

class TJsonValue;

// The cells of the report window's source list: browser, profile/user,
// status, count (plain decimal), message, database file.
QStringList ReportSourceCells(const TSourceRow& Row);

// Everything the report window shows that follows from the document alone:
// the texts of the header, cards and status bar, and every chart input. The
// window only copies these into its controls, so the reading rules can be
// tested without a widget.
struct TReportContent {
    QString Caption;
    QString Title;
    QString Detail;  // already without the generated part when there is no data
    QString CountText;
    std::array<QString, 5> KpiVal;
    std::array<QString, 6> InfoVal;
    std::array<QString, 5> BrsInfoVal;
    QString TrendSpan;
    QString BrsNote;

    THeatMatrix Heat{};
    TDayPoints Days;
    TRankEntries Doms;
    TRankEntries Pgs;
    TRankEntries Kws;
    TRankEntries Brs;
    QStringList PageUrls;  // URL of each entry of Pgs, same index
    TSlices Cats;
    TSourceRows Sources;

    qint64 Total = 0;
    int BrCount = 0;
    bool NoData = false;
    bool Truncated = false;
    QString First;
    QString Last;
};

// The placeholder every figure shows until (or unless) the document fills it.
QString EmDash();
QString DefaultReportTitle();

// Reads the document leniently: a null or non-object root, missing members and
// members of another kind all fall back to defaults; nothing is ever reported.
TReportContent ReadReportContent(const TJsonValue* Data, bool NoData);

// Status bar text once the records page shows Shown records with an empty filter.
QString ReportStatusText(const TReportContent& Content, qint64 Shown);

// The element text of a positional item: a string's characters or a number's
// literal as written; empty for anything else or a missing item.
QString ElementText(const TJsonValue* Element);
// The element text read as a signed 32-bit decimal integer, else 0.
qint32 JsonInt(const TJsonValue* Element);
// Rank entries from the array member Key of the root; Wide reads [url, title, n].
TRankEntries ReadRankList(const TJsonValue* Data, const QString& Key, bool Wide, QStringList* PageUrls = nullptr);
// Host part of a URL text: after the first "://", cut at the first "/", then "?".
QString UrlHost(const QString& Url);


// Nearest integer to Num / Den with exact halves going to the even neighbour;
// both positive. Integer arithmetic keeps it exact beyond 2^53.
qint64 DivRoundHalfEven(qint64 Num, qint64 Den);
