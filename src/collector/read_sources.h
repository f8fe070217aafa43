#pragma once

#include "history_reader.h"
#include "history_source.h"

#include <QList>
#include <QString>

#include <functional>

using TTakeSource = std::function<void(const TSourceInfo& Source, bool Ok, TSourceData&& Data, const QString& ErrMsg)>;

// Reads the sources on worker threads, one per source but no more than the
// cores, and hands each result to Take in source order on the calling thread,
// so the report does not depend on which database happened to be read first.
// A source that runs out of memory fails alone.
void ReadSources(const QList<TSourceInfo>& Sources, TReadRule Rule, const TTakeSource& Take);
