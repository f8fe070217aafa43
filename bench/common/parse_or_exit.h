#pragma once

#include "json.h"

#include <QByteArray>

#include <memory>

// Raw parsed for a benchmark; a document that does not parse ends the
// benchmark with the parser's message, as no figure would mean anything.
// The tree points into Raw, which must outlive it.
std::unique_ptr<TJsonValue> ParseOrExit(const QByteArray& Raw);

// A synthetic report of Count records (seed 1), parsed, and its records.
struct TParsedReport {
    QByteArray Raw;
    std::unique_ptr<TJsonValue> Tree; // points into Raw
    const TJsonValue* Records = nullptr;
};
TParsedReport ParsedReport(int Count);
