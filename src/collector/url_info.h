#pragma once

#include <QString>
#include <QStringList>

// Lower-case host of a URL: after "://", before the path, query or fragment,
// without user information or port. Empty for URLs without a host
// (file:, about:, data:).
QString HostOf(const QString& Url);

// The name a host is counted under in the domain ranking: the host without a
// leading "www.".
QString DomainOf(const QString& Host);

// URL without query and fragment, for the privacy switch.
QString StripQuery(const QString& Url);

// The search terms of a search-engine results URL (Baidu, Google, Bing, Sogou,
// 360, Yandex, DuckDuckGo): percent-decoded, "+" read as a blank, blanks
// collapsed. Empty when the URL is not a search or the terms are empty.
QString SearchKeyword(const QString& Url, const QString& Host);

struct TCategory
{
    QString Name;
    QString Color; // "#rrggbb"
};

// The site categories in display order; the last one ("其他") takes every
// host no rule names.
const QList<TCategory>& Categories();
int CategoryOf(const QString& Host);

// Patterns are normalised (see NormaliseDomainPattern). "a.com" matches a.com
// and www.a.com; "*.a.com" matches a.com and every host under it.
bool DomainExcluded(const QString& Host, const QStringList& Patterns);
