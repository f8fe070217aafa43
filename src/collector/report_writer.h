#pragma once

#include <QList>
#include <QString>

class TTextOut;
struct TReport;
struct TSourceResult;

// The report document: every member the front end reads, records newest first.
void WriteReportJson(const TReport& Report, TTextOut& Out);

// The source-detection document: generated time and one entry per source.
void WriteListJson(const QString& Generated, const QList<TSourceResult>& Sources, TTextOut& Out);

// A single self-contained HTML page: inline CSS and SVG, no scripts, nothing
// loaded from the network. Shows at most MaxRecords detail rows.
void WriteReportHtml(const TReport& Report, TTextOut& Out, size_t MaxRecords);
