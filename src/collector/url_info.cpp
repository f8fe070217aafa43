#include "url_info.h"

#include <QByteArray>
#include <QHash>
#include <QStringView>

namespace {

// Start of the host part and its end (the first '/', '?' or '#').
bool HostSpan(const QString& Url, qsizetype& Begin, qsizetype& End)
{
    const qsizetype Scheme = Url.indexOf(QLatin1String("://"));
    if (Scheme <= 0)
        return false;
    Begin = Scheme + 3;
    End = Begin;
    const qsizetype N = Url.size();
    while (End < N) {
        const QChar C = Url.at(End);
        if (C == QChar('/') || C == QChar('?') || C == QChar('#') || C == QChar('\\'))
            break;
        ++End;
    }
    return true;
}

// "google.com", "google.com.hk", "www.google.de": the label followed by at
// most two short country or generic labels.
bool IsBrandHost(const QString& Host, QLatin1String Brand)
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

struct TRule
{
    const char* Suffix;
    int Cat;
};

enum { ctSearch, ctVideo, ctSocial, ctShop, ctNews, ctDev, ctWork, ctOther };

const TRule kRules[] = {
    {"baidu.com", ctSearch}, {"bing.com", ctSearch}, {"sogou.com", ctSearch},
    {"so.com", ctSearch}, {"sm.cn", ctSearch}, {"duckduckgo.com", ctSearch},
    {"yandex.ru", ctSearch}, {"yandex.com", ctSearch}, {"search.yahoo.com", ctSearch},

    {"bilibili.com", ctVideo}, {"youtube.com", ctVideo}, {"youtu.be", ctVideo},
    {"youku.com", ctVideo}, {"iqiyi.com", ctVideo}, {"v.qq.com", ctVideo},
    {"douyin.com", ctVideo}, {"ixigua.com", ctVideo}, {"netflix.com", ctVideo},
    {"twitch.tv", ctVideo}, {"mgtv.com", ctVideo}, {"huya.com", ctVideo},
    {"douyu.com", ctVideo}, {"kuaishou.com", ctVideo}, {"vimeo.com", ctVideo},

    {"weibo.com", ctSocial}, {"weibo.cn", ctSocial}, {"zhihu.com", ctSocial},
    {"douban.com", ctSocial}, {"tieba.baidu.com", ctSocial}, {"xiaohongshu.com", ctSocial},
    {"twitter.com", ctSocial}, {"x.com", ctSocial}, {"facebook.com", ctSocial},
    {"instagram.com", ctSocial}, {"reddit.com", ctSocial}, {"linkedin.com", ctSocial},
    {"qzone.qq.com", ctSocial}, {"wx.qq.com", ctSocial}, {"discord.com", ctSocial},
    {"telegram.org", ctSocial},

    {"taobao.com", ctShop}, {"tmall.com", ctShop}, {"jd.com", ctShop},
    {"pinduoduo.com", ctShop}, {"yangkeduo.com", ctShop}, {"amazon.com", ctShop},
    {"amazon.cn", ctShop}, {"ebay.com", ctShop}, {"suning.com", ctShop},
    {"dangdang.com", ctShop}, {"1688.com", ctShop}, {"aliexpress.com", ctShop},
    {"smzdm.com", ctShop}, {"vip.com", ctShop},

    {"sina.com.cn", ctNews}, {"news.qq.com", ctNews}, {"163.com", ctNews},
    {"sohu.com", ctNews}, {"ifeng.com", ctNews}, {"thepaper.cn", ctNews},
    {"people.com.cn", ctNews}, {"xinhuanet.com", ctNews}, {"toutiao.com", ctNews},
    {"36kr.com", ctNews}, {"bbc.com", ctNews}, {"bbc.co.uk", ctNews},
    {"cnn.com", ctNews}, {"nytimes.com", ctNews}, {"reuters.com", ctNews},
    {"theguardian.com", ctNews}, {"news.google.com", ctNews},

    {"github.com", ctDev}, {"githubusercontent.com", ctDev}, {"gitlab.com", ctDev},
    {"gitee.com", ctDev}, {"stackoverflow.com", ctDev}, {"stackexchange.com", ctDev},
    {"csdn.net", ctDev}, {"juejin.cn", ctDev}, {"cnblogs.com", ctDev},
    {"segmentfault.com", ctDev}, {"oschina.net", ctDev}, {"v2ex.com", ctDev},
    {"developer.mozilla.org", ctDev}, {"npmjs.com", ctDev}, {"pypi.org", ctDev},
    {"python.org", ctDev}, {"qt.io", ctDev}, {"cppreference.com", ctDev},
    {"rust-lang.org", ctDev}, {"go.dev", ctDev}, {"kernel.org", ctDev},
    {"debian.org", ctDev}, {"ubuntu.com", ctDev}, {"docker.com", ctDev},
    {"learn.microsoft.com", ctDev}, {"cmake.org", ctDev}, {"sqlite.org", ctDev},

    {"docs.qq.com", ctWork}, {"mail.qq.com", ctWork}, {"feishu.cn", ctWork},
    {"notion.so", ctWork}, {"office.com", ctWork}, {"outlook.com", ctWork},
    {"live.com", ctWork}, {"wps.cn", ctWork}, {"yuque.com", ctWork},
    {"shimo.im", ctWork}, {"dingtalk.com", ctWork}, {"mail.163.com", ctWork},
    {"mail.google.com", ctWork}, {"docs.google.com", ctWork}, {"drive.google.com", ctWork},
    {"translate.google.com", ctWork}, {"scholar.google.com", ctWork},
    {"fanyi.baidu.com", ctWork}, {"baike.baidu.com", ctWork}, {"wenku.baidu.com", ctWork},
    {"pan.baidu.com", ctWork}, {"wikipedia.org", ctWork}, {"coursera.org", ctWork},
    {"edx.org", ctWork}, {"icourse163.org", ctWork}, {"cnki.net", ctWork},
    {"arxiv.org", ctWork}, {"deepl.com", ctWork}, {"overleaf.com", ctWork},
    {"zoom.us", ctWork}, {"chatgpt.com", ctWork}, {"openai.com", ctWork},
    {"kimi.com", ctWork}, {"doubao.com", ctWork},
};

const QHash<QString, int>& RuleMap()
{
    static const QHash<QString, int> Map = [] {
        QHash<QString, int> M;
        for (const TRule& R : kRules)
            M.insert(QString::fromLatin1(R.Suffix), R.Cat);
        return M;
    }();
    return Map;
}

} // namespace

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

const QList<TCategory>& Categories()
{
    static const QList<TCategory> List = {
        {QStringLiteral("搜索"), QStringLiteral("#2f6bf5")},
        {QStringLiteral("视频"), QStringLiteral("#ef4444")},
        {QStringLiteral("社交"), QStringLiteral("#f59e0b")},
        {QStringLiteral("购物"), QStringLiteral("#10b981")},
        {QStringLiteral("新闻资讯"), QStringLiteral("#8b5cf6")},
        {QStringLiteral("开发技术"), QStringLiteral("#06b6d4")},
        {QStringLiteral("办公学习"), QStringLiteral("#ec4899")},
        {QStringLiteral("其他"), QStringLiteral("#9ca3af")},
    };
    return List;
}

int CategoryOf(const QString& Host)
{
    if (Host.isEmpty())
        return ctOther;
    const QHash<QString, int>& Map = RuleMap();
    // The longest matching suffix wins, so tieba.baidu.com is social, not search.
    qsizetype From = 0;
    while (From >= 0 && From < Host.size()) {
        const auto It = Map.constFind(Host.mid(From));
        if (It != Map.constEnd())
            return It.value();
        const qsizetype Dot = Host.indexOf(QChar('.'), From);
        From = Dot < 0 ? -1 : Dot + 1;
    }
    if (IsBrandHost(Host, QLatin1String("google")) || IsBrandHost(Host, QLatin1String("yandex")))
        return ctSearch;
    if (IsBrandHost(Host, QLatin1String("amazon")))
        return ctShop;
    if (HostIs(Host, QStringView(u"qq.com")))
        return ctSocial;
    return ctOther;
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
