#include "url_host.h"

#include <QStringList>

namespace {

// Where the host part ends: the rule is ASCII, so it reads UTF-16 and UTF-8 alike.
bool EndsHost(char16_t C)
{
    return C == u'/' || C == u'?' || C == u'#' || C == u'\\';
}

} // namespace

bool HostSpan(const QString& Url, qsizetype& Begin, qsizetype& End)
{
    const qsizetype Scheme = Url.indexOf(QLatin1String("://"));
    if (Scheme <= 0)
        return false;
    Begin = Scheme + 3;
    End = Begin;
    while (End < Url.size() && !EndsHost(Url.at(End).unicode()))
        ++End;
    return true;
}

bool HostSpan(std::string_view Url, size_t& Begin, size_t& End)
{
    const size_t Scheme = Url.find("://");
    if (Scheme == std::string_view::npos || Scheme == 0)
        return false;
    Begin = Scheme + 3;
    End = Begin;
    while (End < Url.size() && !EndsHost(char16_t(uchar(Url[End]))))
        ++End;
    return true;
}

bool IsBrandHost(const QString& Host, QLatin1StringView Brand)
{
    const QStringList Labels = Host.split(QChar('.'));
    for (qsizetype I = 0; I < Labels.size(); ++I) {
        if (Labels[I] != Brand)
            continue;
        const qsizetype Rest = Labels.size() - I - 1;
        if (Rest < 1 || Rest > 2)
            return false;
        for (qsizetype J = I + 1; J < Labels.size(); ++J)
            if (Labels[J].isEmpty() || Labels[J].size() > 3)
                return false;
        return true;
    }
    return false;
}

bool HostIs(const QString& Host, QStringView Domain)
{
    return Host == Domain
           || (Host.endsWith(Domain) && Host.size() > Domain.size()
               && Host.at(Host.size() - Domain.size() - 1) == QChar('.'));
}

QString HostOf(const QString& Url)
{
    qsizetype B = 0, E = 0;
    if (!HostSpan(Url, B, E))
        return {};
    QStringView H = QStringView(Url).mid(B, E - B);
    const qsizetype At = H.lastIndexOf(QChar('@'));
    if (At >= 0)
        H = H.mid(At + 1);
    if (H.startsWith(QChar('['))) {
        const qsizetype Close = H.indexOf(QChar(']'));
        return (Close > 0 ? H.left(Close + 1) : H).toString().toLower();
    }
    const qsizetype Colon = H.indexOf(QChar(':'));
    if (Colon >= 0)
        H = H.left(Colon);
    while (H.endsWith(QChar('.')))
        H.chop(1);
    return H.toString().toLower();
}

QString DomainOf(const QString& Host)
{
    if (Host.startsWith(QLatin1String("www.")) && Host.size() > 4)
        return Host.mid(4);
    return Host;
}

