#pragma once

#include <QList>
#include <QString>

// The site categories of a report: the collector counts visits by them, the
// window filters records by them, so both use this one rule.

struct TCategory
{
    QString Name;
    QString Color; // "#rrggbb"
};

// The site categories in display order; the last one ("其他") takes every
// host no rule names.
const QList<TCategory>& Categories();

// The index in Categories() of a host (or a domain: "www." changes nothing).
int CategoryOf(const QString& Host);

// The category of a record's URL, as the collector counts its visit.
int CategoryOfUrl(const QString& Url);
