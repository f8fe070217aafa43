#pragma once

#include "json.h"

#include <QByteArray>

#include <memory>

// Raw parsed for a benchmark; a document that does not parse ends the
// benchmark with the parser's message, as no figure would mean anything.
// The tree points into Raw, which must outlive it.
std::unique_ptr<TJsonValue> ParseOrExit(const QByteArray& Raw);
