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

// A test document that does not parse is a broken test, not a finding.
inline std::unique_ptr<TJsonValue> Parse(const QString& Text)
{
    QString Err;
    auto V = ParseJson(Text, Err);
    if (!V)
        qFatal("bad test document: %s", qPrintable(Err));
    return V;
}
