#pragma once

#include "filter_index.h"
#include "json.h"
#include "record_keys.h"
#include "report_content.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// A document made ready for its window: parsed, read into everything the
// window shows, and its records indexed for the filter. This is the slow
// part of opening a report (seconds for a million records), so it is done
// off the GUI thread: the functions below touch no widget and no shared
// state. The window then only copies the result into its controls.
struct TLoadedReport {
    QString Path;     // the report file, with the system's separators; empty for a run's output
    QByteArray Bytes; // the document as it was printed or stored; the tree points into it
    std::unique_ptr<TJsonValue> Data;
    TReportContent Content; // reports only
    TFilterIndex Filter; // reports only; points into Data
    TRecordKeys Keys;    // reports only: what the charts' chips select by
    std::vector<int> Rows; // reports only: every record's index, the rows the window shows first
    QString Error;       // without Data: why there is nothing to show

    bool Ok() const { return Data != nullptr; }
};

// A report run's output. NoData: the collector said the time range holds no
// records. Error is the parser's message when the output is not JSON.
TLoadedReport LoadRunReport(QByteArray Bytes, bool NoData);

// A detection run's output, the list document: parsed, nothing more.
TLoadedReport LoadSourceList(QByteArray Bytes);

// A report file from disk, checked to be a report; Error is the whole
// message for the user, naming the file.
TLoadedReport LoadReportFromFile(const QString& Path);

// Data, parsed from Bytes already, made ready as a report.
TLoadedReport PrepareReport(std::unique_ptr<TJsonValue> Data, QByteArray Bytes, bool NoData);
