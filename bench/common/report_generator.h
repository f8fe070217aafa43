#pragma once

#include <QByteArray>
#include <QtGlobal>

// Synthetic collector output for benchmarks, screenshots and tests. The same
// arguments always give the same bytes: UTF-8 without a byte-order mark.

// A report document with every member the report window reads: header texts,
// stats, a 7x24 heat matrix, Days days (a year unless said), the ranking
// lists, browsers, categories, a few sources (one failed) and Records records,
// newest first, with mixed Chinese/ASCII titles and URLs and some escaped
// characters.
QByteArray GenerateReportDocument(int Records, quint32 Seed = 1, int Days = 365);

// A list document of a detection run with Sources data sources.
QByteArray GenerateListDocument(int Sources);
