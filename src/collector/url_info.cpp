#include "url_info.h"

#include <QByteArray>
#include <QStringView>

namespace {

int HexValue(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

// Form encoding: "+" is a blank, "%XX" a byte; a "%" without two hex digits
// stays as it is. Bytes that are not UTF-8 become U+FFFD.
QString DecodeQueryValue(QStringView Value)
{
    const QByteArray Raw = Value.toUtf8();
    QByteArray Bytes;
    Bytes.reserve(Raw.size());
    for (qsizetype I = 0; I < Raw.size(); ++I) {
        const char C = Raw[I];
        if (C == '+') {
            Bytes.append(' ');
        } else if (C == '%' && I + 2 < Raw.size() && HexValue(Raw[I + 1]) >= 0 && HexValue(Raw[I + 2]) >= 0) {
            Bytes.append(char(HexValue(Raw[I + 1]) * 16 + HexValue(Raw[I + 2])));
            I += 2;
        } else {
            Bytes.append(C);
        }
    }
    return QString::fromUtf8(Bytes).simplified();
}

QString QueryValue(const QString& Url, std::initializer_list<QLatin1String> Keys)
{
    const qsizetype Q = Url.indexOf(QChar('?'));
    if (Q < 0)
        return {};
    qsizetype End = Url.indexOf(QChar('#'), Q);
    if (End < 0)
        End = Url.size();
    const QStringView Query = QStringView(Url).mid(Q + 1, End - Q - 1);
    // The first key in the list wins over later ones, whatever the order in the URL.
    for (const QLatin1String Key : Keys) {
        for (const QStringView Pair : Query.split(QChar('&'))) {
            const qsizetype Eq = Pair.indexOf(QChar('='));
            if (Eq < 0 || Pair.left(Eq) != Key)
                continue;
            const QString V = DecodeQueryValue(Pair.mid(Eq + 1));
            if (!V.isEmpty())
                return V;
        }
    }
    return {};
}

QStringView PathOf(const QString& Url)
{
    qsizetype B = 0, E = 0;
    if (!HostSpan(Url, B, E))
        return {};
    qsizetype P = E;
    while (P < Url.size() && Url.at(P) != QChar('?') && Url.at(P) != QChar('#'))
        ++P;
    return QStringView(Url).mid(E, P - E);
}

} // namespace

QString StripQuery(const QString& Url)
{
    qsizetype Cut = Url.size();
    const qsizetype Q = Url.indexOf(QChar('?'));
    const qsizetype F = Url.indexOf(QChar('#'));
    if (Q >= 0)
        Cut = Q;
    if (F >= 0 && F < Cut)
        Cut = F;
    return Url.left(Cut);
}

QString SearchKeyword(const QString& Url, const QString& Host)
{
    if (Host.isEmpty() || !Url.contains(QChar('?')))
        return {};
    const QStringView Path = PathOf(Url);
    if (HostIs(Host, QStringView(u"baidu.com"))) {
        if (Host == QLatin1String("www.baidu.com") || Host == QLatin1String("baidu.com")
            || Host == QLatin1String("m.baidu.com"))
            return Path.startsWith(QLatin1String("/s")) || Path.startsWith(QLatin1String("/from"))
                       ? QueryValue(Url, {QLatin1String("wd"), QLatin1String("word")})
                       : QString();
        return {};
    }
    if (IsBrandHost(Host, QLatin1String("google")))
        return Path == QLatin1String("/search") ? QueryValue(Url, {QLatin1String("q")}) : QString();
    if (HostIs(Host, QStringView(u"bing.com")))
        return Path == QLatin1String("/search") ? QueryValue(Url, {QLatin1String("q")}) : QString();
    if (HostIs(Host, QStringView(u"sogou.com")))
        return QueryValue(Url, {QLatin1String("query"), QLatin1String("keyword")});
    if (Host == QLatin1String("so.com") || Host == QLatin1String("www.so.com")
        || Host == QLatin1String("m.so.com"))
        return Path == QLatin1String("/s") ? QueryValue(Url, {QLatin1String("q")}) : QString();
    if (IsBrandHost(Host, QLatin1String("yandex")))
        return Path.startsWith(QLatin1String("/search")) ? QueryValue(Url, {QLatin1String("text")}) : QString();
    if (HostIs(Host, QStringView(u"duckduckgo.com")))
        return QueryValue(Url, {QLatin1String("q")});
    return {};
}

bool DomainExcluded(const QString& Host, const QStringList& Patterns)
{
    if (Host.isEmpty())
        return false;
    for (const QString& P : Patterns) {
        if (P.startsWith(QLatin1String("*."))) {
            const QString Base = P.mid(2);
            if (!Base.isEmpty() && (Host == Base || HostIs(Host, Base)))
                return true;
            continue;
        }
        if (Host == P || (Host.size() == P.size() + 4 && Host.startsWith(QLatin1String("www."))
                          && QStringView(Host).mid(4) == P))
            return true;
    }
    return false;
}
