#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <string_view>

// The host of a URL as both programs read it: the collector counts domains
// and categories by it, the window finds a record's category by it.

// Start of the host part of Url (after "://") and its end (the first '/',
// '?', '#' or '\\'); false for URLs without "://".
bool HostSpan(const QString& Url, qsizetype& Begin, qsizetype& End);
// The same over UTF-8 bytes, for URLs read where a document holds them.
bool HostSpan(std::string_view Url, size_t& Begin, size_t& End);

// Lower-case host of a URL: after "://", before the path, query or fragment,
// without user information or port. Empty for URLs without a host
// (file:, about:, data:).
QString HostOf(const QString& Url);

// The name a host is counted under in the domain ranking: the host without a
// leading "www.".
QString DomainOf(const QString& Host);

// Host is Domain or a host under it.
bool HostIs(const QString& Host, QStringView Domain);

// "google.com", "google.com.hk", "www.google.de": the label followed by at
// most two short country or generic labels.
bool IsBrandHost(const QString& Host, QLatin1StringView Brand);
