#pragma once

#include "json.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// Test documents are written with ' for " to keep them readable in C++ strings.
inline QString J(const char* Text)
{
    return QString::fromUtf8(Text).replace(u'\'', u'"');
}

// A test document that does not parse is a broken test, not a finding. Read
// from its UTF-8 bytes, as the windows read a collector's output.
inline std::unique_ptr<TJsonValue> Parse(const QString& Text)
{
    QString Err;
    auto V = ParseJsonBytes(Text.toUtf8(), Err);
    if (!V)
        qFatal("bad test document: %s", qPrintable(Err));
    return V;
}
