#include "report_generator.h"

#include "civil_date.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// Small, fast and the same on every platform (std distributions are not).
class TRandom
{
public:
    explicit TRandom(quint32 Seed) : FState(Seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    quint32 Next()
    {
        FState += 0x9E3779B97F4A7C15ull;
        quint64 Z = FState;
        Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
        Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
        return quint32((Z ^ (Z >> 31)) >> 32);
    }
    // 0 .. N-1
    int Below(int N) { return int((quint64(Next()) * quint64(N)) >> 32); }
    bool OneIn(int N) { return Below(N) == 0; }

private:
    quint64 FState;
};

// Appends JSON pieces to one preallocated buffer.
class TWriter
{
public:
    explicit TWriter(QByteArray& Out) : FOut(Out) {}

    void Raw(const char* Text) { FOut.append(Text, qsizetype(std::strlen(Text))); }
    void Raw(const QByteArray& Text) { FOut.append(Text); }
    void Raw(char C) { FOut.append(C); }

    void Int(qint64 N)
    {
        char Buf[24];
        char* P = Buf + sizeof(Buf);
        const bool Negative = N < 0;
        quint64 U = Negative ? quint64(0) - quint64(N) : quint64(N);
        do {
            *--P = char('0' + U % 10);
            U /= 10;
        } while (U);
        if (Negative)
            *--P = '-';
        FOut.append(P, qsizetype(Buf + sizeof(Buf) - P));
    }

    // A JSON string of UTF-8 text, escaping what JSON requires.
    void Str(const char* Text) { Str(Text, std::strlen(Text)); }
    void Str(const QByteArray& Text) { Str(Text.constData(), size_t(Text.size())); }
    void Str(const char* Text, size_t Len)
    {
        FOut.append('"');
        AppendEscaped(Text, Len);
        FOut.append('"');
    }
    void AppendEscaped(const char* Text, size_t Len)
    {
        static const char Hex[] = "0123456789abcdef";
        size_t Plain = 0;
        for (size_t I = 0; I < Len; ++I) {
            const unsigned char C = static_cast<unsigned char>(Text[I]);
            if (C >= 0x20 && C != '"' && C != '\\')
                continue;
            FOut.append(Text + Plain, qsizetype(I - Plain));
            Plain = I + 1;
            if (C == '"' || C == '\\') {
                FOut.append('\\');
                FOut.append(char(C));
            } else {
                const char Esc[] = {'\\', 'u', '0', '0', Hex[C >> 4], Hex[C & 15]};
                FOut.append(Esc, 6);
            }
        }
        FOut.append(Text + Plain, qsizetype(Len - Plain));
    }

    // "yyyy-mm-dd"
    void Date(qint64 Days)
    {
        int Y, M, D;
        CivilFromDays(Days, Y, M, D);
        char Buf[10];
        Put4(Buf, Y);
        Buf[4] = '-';
        Put2(Buf + 5, M);
        Buf[7] = '-';
        Put2(Buf + 8, D);
        FOut.append(Buf, 10);
    }
    // "yyyy-mm-dd hh:nn:ss" from seconds since 1970
    void DateTime(qint64 Secs)
    {
        Date(Secs / 86400);
        const int S = int(Secs % 86400);
        char Buf[9];
        Buf[0] = ' ';
        Put2(Buf + 1, S / 3600);
        Buf[3] = ':';
        Put2(Buf + 4, S / 60 % 60);
        Buf[6] = ':';
        Put2(Buf + 7, S % 60);
        FOut.append(Buf, 9);
    }

private:
    static void Put2(char* P, int N)
    {
        P[0] = char('0' + N / 10 % 10);
        P[1] = char('0' + N % 10);
    }
    static void Put4(char* P, int N)
    {
        Put2(P, N / 100);
        Put2(P + 2, N % 100);
    }

    QByteArray& FOut;
};

struct TSite
{
    const char* Domain;
    const char* Category;  // index into kCats by name
    const char* Titles[4];
    const char* Paths[3];  // appended to https://<domain>
};

// Titles already hold their JSON escapes where they have any (\" \\ \/ \u):
// they are written raw, as the collector would print them.
const TSite kSites[] = {
    {"www.baidu.com", "搜索引擎",
     {"百度一下，你就知道", "Qt 6 QString 性能_百度搜索", "C++20 协程 教程_百度搜索", "天气预报 北京_百度搜索"},
     {"/s?wd=qt6+qstring&ie=utf-8", "/s?wd=%E5%A4%A9%E6%B0%94&rsv_spt=1", "/"}},
    {"github.com", "开发",
     {"GitHub - qt/qtbase: Qt Base (Core, Gui, Widgets, Network, ...)", "Pull requests · microsoft/vscode",
      "Issues · nlohmann/json", "google/benchmark: A microbenchmark support library"},
     {"/qt/qtbase", "/microsoft/vscode/pulls?q=is%3Aopen", "/nlohmann/json/issues/"}},
    {"www.bilibili.com", "视频",
     {"哔哩哔哩 (゜-゜)つロ 干杯~-bilibili", "【4K】城市夜景延时摄影 合集_哔哩哔哩_bilibili",
      "\\u3010\\u5b98\\u65b9\\u3011 年度总结 \\ud83c\\udf89_哔哩哔哩_bilibili", "C++ 从入门到放弃 第 12 集"},
     {"/video/BV1xK4y1C7", "/", "/bangumi/play/ep"}},
    {"www.zhihu.com", "社区",
     {"如何评价 C++20 的 \\\"模块\\\"？ - 知乎", "知乎 - 有问题，就会有答案", "有哪些值得推荐的 Qt 开源项目？ - 知乎",
      "为什么 JSON 不支持注释？ - 知乎"},
     {"/question/", "/hot", "/search?type=content&q=json"}},
    {"stackoverflow.com", "开发",
     {"c++ - Why is std::vector faster than std::list? - Stack Overflow", "qt - QString vs std::string - Stack Overflow",
      "Stack Overflow - Where Developers Learn, Share, & Build Careers", "json - Escaping \\\\u sequences - Stack Overflow"},
     {"/questions/", "/questions/tagged/qt", "/"}},
    {"www.taobao.com", "购物",
     {"淘宝网 - 淘！我喜欢", "机械键盘 青轴-淘宝搜索", "我的购物车 - 淘宝网", "订单详情"},
     {"/", "/search?q=%E9%94%AE%E7%9B%98", "/cart"}},
    {"item.jd.com", "购物",
     {"京东(JD.COM)-正品低价、品质保障、配送及时、轻松购物！", "【京东超市】牛奶 250ml*24 盒", "显示器 27英寸 4K - 京东", "商品评价"},
     {"/100012043978.html", "/", "/comment"}},
    {"weibo.com", "社交",
     {"微博 – 随时随地发现新鲜事", "热搜榜 - 微博", "我的首页 微博-随时随地发现新鲜事", ""},
     {"/", "/hot/search", "/u/"}},
    {"mail.qq.com", "邮箱",
     {"QQ邮箱", "收件箱 - QQ邮箱", "写信 - QQ邮箱", "Re: 周报 \\/ 第 49 周"},
     {"/cgi-bin/frame_html?sid=", "/", "/cgi-bin/readmail"}},
    {"docs.qq.com", "办公",
     {"腾讯文档-在线文档", "2026 年度计划.xlsx - 腾讯文档", "会议纪要（12 月）", "项目排期表"},
     {"/doc/DQ", "/sheet/", "/desktop"}},
    {"www.youtube.com", "视频",
     {"YouTube", "CppCon 2024: Modern C++ Performance - YouTube", "Lo-fi beats to code to \\ud83c\\udfa7 - YouTube",
      "Qt Widgets Tutorial #5 - YouTube"},
     {"/watch?v=dQw4w9WgXcQ", "/", "/results?search_query=qt"}},
    {"news.qq.com", "新闻",
     {"腾讯新闻", "科技频道_腾讯新闻", "\\\"双十二\\\" 消费观察", "财经要闻 - 腾讯网"},
     {"/rain/a/", "/ch/tech/", "/"}},
    {"doc.qt.io", "开发",
     {"QString Class | Qt Core 6.4.2", "QJsonDocument Class | Qt Core 6.4.2", "Qt Widgets 6.4.2", "Signals & Slots | Qt Core 6.4.2"},
     {"/qt-6/qstring.html", "/qt-6/qjsondocument.html", "/qt-6/qtwidgets-index.html"}},
    {"map.baidu.com", "生活",
     {"百度地图", "北京南站 - 百度地图", "路线规划 - 百度地图", ""},
     {"/", "/search/", "/dir/"}},
    {"www.douban.com", "社区",
     {"豆瓣", "豆瓣电影 Top 250", "读书 - 豆瓣", "小组讨论：周末去哪儿 \\u2014 豆瓣"},
     {"/", "/top250", "/group/topic/"}},
    {"localhost:8080", "其他",
     {"Dashboard - Local Dev", "React App", "Swagger UI", "localhost:8080/api/health"},
     {"/", "/swagger-ui/index.html", "/api/health"}},
};
constexpr int kSiteCount = int(sizeof(kSites) / sizeof(kSites[0]));

struct TCat
{
    const char* Name;
    const char* Color;
};
const TCat kCats[] = {
    {"搜索引擎", "#2F6BF5"}, {"开发", "#10B981"}, {"视频", "#F59E0B"}, {"社区", "#EF4444"}, {"购物", "#8B5CF6"},
    {"社交", "#EC4899"},     {"邮箱", "#14B8A6"}, {"办公", "#6366F1"}, {"新闻", "#84CC16"}, {"生活", "#F97316"},
    {"其他", "#9CA3AF"},
};

struct TProfile
{
    const char* Browser;
    const char* Profile;
    const char* Path;  // JSON-escaped already
    int Weight;
};
const TProfile kProfiles[] = {
    {"Chrome", "Default", "C:\\\\Users\\\\zhang\\\\AppData\\\\Local\\\\Google\\\\Chrome\\\\User Data\\\\Default\\\\History", 40},
    {"Chrome", "Profile 1", "C:\\\\Users\\\\zhang\\\\AppData\\\\Local\\\\Google\\\\Chrome\\\\User Data\\\\Profile 1\\\\History", 10},
    {"Edge", "Default", "C:\\\\Users\\\\zhang\\\\AppData\\\\Local\\\\Microsoft\\\\Edge\\\\User Data\\\\Default\\\\History", 25},
    {"Firefox", "k3x9q2lm.default-release",
     "C:\\\\Users\\\\zhang\\\\AppData\\\\Roaming\\\\Mozilla\\\\Firefox\\\\Profiles\\\\k3x9q2lm.default-release\\\\places.sqlite", 15},
    {"360安全浏览器", "Default", "C:\\\\Users\\\\zhang\\\\AppData\\\\Roaming\\\\360se6\\\\User Data\\\\Default\\\\History", 10},
};
constexpr int kProfileCount = int(sizeof(kProfiles) / sizeof(kProfiles[0]));

const char* const kKeywords[] = {
    "qt6 qstring", "天气", "c++20 协程", "json 解析 性能", "机械键盘", "北京 到 上海 高铁", "cmake ninja", "年终总结 模板",
    "google benchmark", "显示器 推荐", "火锅 附近", "valgrind massif", "react hooks", "双十二 优惠",
};

// The newest visit of every document: a fixed moment, so output is stable.
constexpr qint64 kLastSecs = 1796774399;  // 2026-12-08 23:59:59 UTC

int PickProfile(TRandom& Rand)
{
    int R = Rand.Below(100);
    for (int I = 0; I < kProfileCount; ++I) {
        if (R < kProfiles[I].Weight)
            return I;
        R -= kProfiles[I].Weight;
    }
    return 0;
}

// Sites follow a steep popularity curve, as real histories do.
int PickSite(TRandom& Rand)
{
    const int R = Rand.Below(1000);
    const int Idx = int(quint64(R) * quint64(R) * quint64(kSiteCount) / 1000000);
    return std::min(Idx, kSiteCount - 1);
}

void WriteRecord(TWriter& W, TRandom& Rand, qint64 Secs)
{
    const TSite& Site = kSites[PickSite(Rand)];
    const TProfile& Prof = kProfiles[PickProfile(Rand)];
    W.Raw("{\"time\":\"");
    W.DateTime(Secs);
    W.Raw("\",\"browser\":");
    W.Str(Prof.Browser);
    W.Raw(",\"profile\":");
    W.Str(Prof.Profile);
    W.Raw(",\"title\":\"");
    W.Raw(Site.Titles[Rand.Below(4)]);
    if (Rand.OneIn(3)) {
        W.Raw(" - 第 ");
        W.Int(1 + Rand.Below(50));
        W.Raw(" 页");
    }
    // Some collectors escape slashes; a share of the URLs shows that form.
    const bool Slashes = Rand.OneIn(40);
    W.Raw(Slashes ? "\",\"url\":\"https:\\/\\/" : "\",\"url\":\"https://");
    W.Raw(Site.Domain);
    const char* Path = Site.Paths[Rand.Below(3)];
    if (Slashes && Path[0] == '/') {
        W.Raw("\\/");
        ++Path;
    }
    W.Raw(Path);
    const size_t PathLen = std::strlen(Path);
    if (PathLen && (Path[PathLen - 1] == '/' || Path[PathLen - 1] == '=' || Path[PathLen - 1] == 'p'))
        W.Int(100000 + Rand.Below(90000000));
    W.Raw("\"}");
}

} // namespace

QByteArray GenerateReportDocument(int Records, quint32 Seed, int Days)
{
    Records = std::max(Records, 0);
    const int DayCount = std::max(Days, 1);
    TRandom Rand(Seed);
    QByteArray Out;
    Out.reserve(qsizetype(Records) * 230 + 65536);
    TWriter W(Out);

    // Visits spread over the year; the detail list is capped for big runs.
    const qint64 Total = Records >= 50000 ? qint64(Records) + Records / 8 : Records;
    const qint64 Span = qint64(DayCount) * 86400;
    const qint64 AvgStep = Records > 0 ? std::max<qint64>(1, Span / Records) : 1;
    // Walk the record times first so stats.first is known up front.
    qint64 FirstSecs = kLastSecs;
    {
        TRandom Probe(Seed ^ 0xA5A5A5A5u);
        for (int I = 1; I < Records; ++I)
            FirstSecs -= 1 + Probe.Below(int(2 * AvgStep - 1));
    }

    W.Raw("{\n\"title\":");
    W.Str("浏览器访问记录报告");
    W.Raw(",\n\"range\":\"");
    W.Date(kLastSecs / 86400 - DayCount + 1);
    W.Raw(" 00:00:00 ~ ");
    W.DateTime(kLastSecs);
    W.Raw("\",\n\"scope\":");
    W.Str("当前用户 · 5 个浏览器配置");
    W.Raw(",\n\"generated\":\"");
    W.DateTime(kLastSecs + 3600 * 15 + 62);
    W.Raw("\",\n\"stats\":{\"total\":");
    W.Int(Total);
    W.Raw(",\"uniqueUrl\":");
    W.Int(Total * 2 / 5);
    W.Raw(",\"uniqueDomain\":");
    W.Int(std::min<qint64>(Total, 40 + Total / 300));
    W.Raw(",\"activeDays\":");
    W.Int(Records > 0 ? std::min<qint64>(DayCount, (kLastSecs - FirstSecs) / 86400 + 1) : 0);
    W.Raw(",\"peak\":");
    W.Str("周三 21:00-22:00");
    W.Raw(",\"first\":\"");
    if (Records > 0)
        W.DateTime(FirstSecs);
    W.Raw("\",\"last\":\"");
    if (Records > 0)
        W.DateTime(kLastSecs);
    W.Raw("\"},\n\"heat\":[");
    // Evenings and weekdays are busiest; the cells add up to roughly Total.
    static const int HourShape[24] = {3, 2, 1, 1, 1, 1, 2, 4, 8, 12, 14, 13, 10, 12, 14, 14, 13, 12, 11, 13, 16, 18, 14, 7};
    for (int D = 0; D < 7; ++D) {
        W.Raw(D ? ",\n[" : "\n[");
        const int DayWeight = (D == 0 || D == 6) ? 7 : 10;
        for (int H = 0; H < 24; ++H) {
            if (H)
                W.Raw(',');
            W.Int(Total * DayWeight * HourShape[H] / (66 * 247) + Rand.Below(3));
        }
        W.Raw(']');
    }
    W.Raw("],\n\"days\":[");
    const qint64 LastDay = kLastSecs / 86400;
    for (int I = 0; I < DayCount; ++I) {
        W.Raw(I ? ",[\"" : "[\"");
        W.Date(LastDay - DayCount + 1 + I);
        W.Raw("\",");
        W.Int(Total / DayCount / 2 + Rand.Below(int(std::max<qint64>(1, Total / DayCount))));
        W.Raw(']');
    }
    W.Raw("],\n\"domains\":[");
    qint64 Count = Total / 6;
    for (int I = 0; I < 15; ++I) {
        W.Raw(I ? ",[" : "[");
        W.Str(kSites[I].Domain);
        W.Raw(',');
        W.Int(Count);
        W.Raw(']');
        Count = Count * 4 / 5;
    }
    W.Raw("],\n\"pages\":[");
    Count = Total / 30;
    for (int I = 0; I < 12; ++I) {
        const TSite& Site = kSites[I];
        W.Raw(I ? ",[\"https://" : "[\"https://");
        W.Raw(Site.Domain);
        W.Raw(Site.Paths[0]);
        W.Raw("\",\"");
        W.Raw(Site.Titles[I % 4]);
        W.Raw("\",");
        W.Int(Count);
        W.Raw(']');
        Count = Count * 3 / 4;
    }
    W.Raw("],\n\"keywords\":[");
    Count = Total / 200 + 12;
    for (int I = 0; I < 12; ++I) {
        W.Raw(I ? ",[" : "[");
        W.Str(kKeywords[I]);
        W.Raw(',');
        W.Int(Count);
        W.Raw(']');
        Count = Count * 5 / 6;
    }
    W.Raw("],\n\"browsers\":[");
    const char* const Browsers[] = {"Chrome", "Edge", "Firefox", "360安全浏览器"};
    const int BrowserShare[] = {50, 25, 15, 10};
    for (int I = 0; I < 4; ++I) {
        W.Raw(I ? ",[" : "[");
        W.Str(Browsers[I]);
        W.Raw(',');
        W.Int(Total * BrowserShare[I] / 100);
        W.Raw(']');
    }
    W.Raw("],\n\"cats\":[");
    Count = Total / 4;
    for (size_t I = 0; I < std::size(kCats); ++I) {
        W.Raw(I ? ",[" : "[");
        W.Str(kCats[I].Name);
        W.Raw(',');
        W.Int(Count);
        W.Raw(',');
        W.Str(kCats[I].Color);
        W.Raw(']');
        Count = Count * 3 / 4;
    }
    W.Raw("],\n\"sources\":[");
    for (int I = 0; I < kProfileCount; ++I) {
        const TProfile& P = kProfiles[I];
        // The 360 profile stands for a database the collector could not open.
        const bool Failed = I == kProfileCount - 1;
        W.Raw(I ? ",\n{\"name\":" : "\n{\"name\":");
        W.Str(P.Browser);
        W.Raw(",\"profile\":");
        W.Str(P.Profile);
        W.Raw(",\"status\":");
        W.Str(Failed ? "读取失败" : "已采集");
        W.Raw(",\"path\":\"");
        W.Raw(P.Path);
        W.Raw("\",\"msg\":");
        W.Str(Failed ? "数据库被占用（database is locked），请关闭浏览器后重试" : "");
        W.Raw(",\"count\":");
        W.Int(Failed ? 0 : Total * P.Weight / 90);
        W.Raw(Failed ? ",\"ok\":false}" : ",\"ok\":true}");
    }
    W.Raw("],\n\"records\":[");
    TRandom Steps(Seed ^ 0xA5A5A5A5u);
    qint64 Secs = kLastSecs;
    for (int I = 0; I < Records; ++I) {
        W.Raw(I ? ",\n" : "\n");
        WriteRecord(W, Rand, Secs);
        Secs -= 1 + Steps.Below(int(2 * AvgStep - 1));
    }
    W.Raw("],\n\"truncated\":");
    W.Raw(Total > Records ? "true" : "false");
    W.Raw("\n}\n");
    return Out;
}

QByteArray GenerateListDocument(int Sources)
{
    Sources = std::max(Sources, 0);
    TRandom Rand(7);
    QByteArray Out;
    Out.reserve(qsizetype(Sources) * 260 + 256);
    TWriter W(Out);
    W.Raw("{\n\"generated\":\"");
    W.DateTime(kLastSecs + 3600 * 15 + 62);
    W.Raw("\",\n\"sources\":[");
    for (int I = 0; I < Sources; ++I) {
        const TProfile& P = kProfiles[I % kProfileCount];
        const int Kind = I % 7 == 6 ? 2 : (I % 5 == 4 ? 1 : 0);  // failed, empty, read
        W.Raw(I ? ",\n{\"name\":" : "\n{\"name\":");
        W.Str(P.Browser);
        W.Raw(",\"profile\":\"");
        W.Raw(P.Profile);
        if (I >= kProfileCount) {
            W.Raw(" (");
            W.Int(I / kProfileCount + 1);
            W.Raw(')');
        }
        W.Raw("\",\"status\":");
        W.Str(Kind == 2 ? "读取失败" : (Kind == 1 ? "无记录" : "可读取"));
        W.Raw(",\"count\":");
        W.Int(Kind == 0 ? 100 + Rand.Below(200000) : 0);
        W.Raw(",\"path\":\"");
        W.Raw(P.Path);
        W.Raw(Kind == 2 ? "\",\"ok\":false}" : "\",\"ok\":true}");
    }
    W.Raw("]\n}\n");
    return Out;
}
