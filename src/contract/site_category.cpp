#include "site_category.h"

#include "url_host.h"

#include <QHash>

namespace {

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

int CategoryOfUrl(const QString& Url)
{
    return CategoryOf(DomainOf(HostOf(Url)));
}
