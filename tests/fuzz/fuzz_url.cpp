// The collector's reading of URLs, search keywords and excluded domains. The
// input is a URL; after a first tab, the rest is an exclusion pattern.

#include "collector_options.h"
#include "url_info.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const QString Input = QString::fromUtf8(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const qsizetype Tab = Input.indexOf(u'\t');
    const QString Url = Tab < 0 ? Input : Input.left(Tab);
    const QString Pattern = NormaliseDomainPattern(Tab < 0 ? Input : Input.mid(Tab + 1));

    const QString Host = HostOf(Url);
    const QString Domain = DomainOf(Host);
    (void)SearchKeyword(Url, Host);
    const int Category = CategoryOf(Host);
    if (Category < 0 || Category >= Categories().size())
        std::abort();
    // A stripped URL has nothing left to strip.
    const QString Stripped = StripQuery(Url);
    if (StripQuery(Stripped) != Stripped)
        std::abort();
    (void)Domain;
    (void)DomainExcluded(Host, {Pattern});
    return 0;
}
