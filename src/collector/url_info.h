#pragma once

#include "site_category.h"
#include "url_host.h"

#include <QString>
#include <QStringList>

// URL without query and fragment, for the privacy switch.
QString StripQuery(const QString& Url);

// The search terms of a search-engine results URL (Baidu, Google, Bing, Sogou,
// 360, Yandex, DuckDuckGo): percent-decoded, "+" read as a blank, blanks
// collapsed. Empty when the URL is not a search or the terms are empty.
QString SearchKeyword(const QString& Url, const QString& Host);

// Patterns are normalised (see NormaliseDomainPattern). "a.com" matches a.com
// and www.a.com; "*.a.com" matches a.com and every host under it.
bool DomainExcluded(const QString& Host, const QStringList& Patterns);
