#include "sample_profiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <sqlite3.h>

#include <cmath>
#include <memory>
#include <utility>
#include <random>

namespace {

struct TSite
{
    const char* Host;
    const char* Title;
    int Weight;
    const char* Paths[4];
};

const TSite kSites[] = {
    {"www.bilibili.com", "哔哩哔哩 (゜-゜)つロ 干杯~-bilibili", 14, {"/", "/video/BV1xx411c7mD", "/video/BV1GJ411x7h7", "/anime/"}},
    {"www.zhihu.com", "知乎 - 有问题，就会有答案", 12, {"/", "/question/19550225", "/hot", "/people/me"}},
    {"github.com", "GitHub: Let's build from here", 12, {"/", "/qt/qtbase", "/sqlite/sqlite", "/notifications"}},
    {"stackoverflow.com", "Stack Overflow - Where Developers Learn, Share, & Build Careers", 8, {"/questions/tagged/c%2B%2B", "/questions/1642028/what-is-the-operator-in-c", "/questions", "/"}},
    {"www.taobao.com", "淘宝网 - 淘！我喜欢", 7, {"/", "/list/product/机械键盘.htm", "/markets/3c/shuma", "/"}},
    {"item.jd.com", "京东(JD.COM)-正品低价、品质保障", 6, {"/100012043978.html", "/100038004389.html", "/10072517382.html", "/"}},
    {"weibo.com", "微博-随时随地发现新鲜事", 7, {"/", "/hot/search", "/u/1195230310", "/"}},
    {"www.youtube.com", "YouTube", 6, {"/", "/watch?v=dQw4w9WgXcQ", "/watch?v=jNQXAC9IVRw", "/feed/subscriptions"}},
    {"news.sina.com.cn", "新浪新闻_新浪网", 5, {"/", "/china/", "/world/", "/roll/"}},
    {"www.thepaper.cn", "澎湃新闻-专注时政与思想", 3, {"/", "/newsDetail_forward_12345678", "/channel_25950", "/"}},
    {"blog.csdn.net", "CSDN博客 - 专业IT技术发表平台", 6, {"/", "/qq_41453285/article/details/103398400", "/nav/cpp", "/"}},
    {"juejin.cn", "稀土掘金", 3, {"/", "/post/7012345678901234567", "/frontend", "/"}},
    {"doc.qt.io", "Qt Documentation | Home", 5, {"/qt-6/qstring.html", "/qt-6/qprocess.html", "/qt-6/qdatetime.html", "/qt-6/index.html"}},
    {"en.cppreference.com", "cppreference.com", 4, {"/w/cpp/container/vector", "/w/cpp/algorithm/sort", "/w/cpp/chrono", "/w/"}},
    {"docs.qq.com", "腾讯文档-在线文档", 4, {"/desktop", "/doc/DUnpPRmxLZ2VyZ3dx", "/sheet/DUkFjcnBvdGVzdA", "/desktop/mydoc"}},
    {"mail.qq.com", "QQ邮箱", 4, {"/", "/cgi-bin/frame_html", "/cgi-bin/readmail", "/"}},
    {"www.douban.com", "豆瓣", 3, {"/", "/group/", "/movie/subject/1292052/", "/"}},
    {"movie.douban.com", "豆瓣电影", 2, {"/subject/1292052/", "/chart", "/top250", "/"}},
    {"v.qq.com", "腾讯视频-中国领先的在线视频媒体平台", 3, {"/", "/x/cover/mzc00200abcdefg.html", "/channel/tv", "/"}},
    {"www.iqiyi.com", "爱奇艺-在线视频网站", 2, {"/", "/v_19rrok4nt0.html", "/dianshiju/", "/"}},
    {"zh.wikipedia.org", "维基百科，自由的百科全书", 3, {"/wiki/SQLite", "/wiki/Qt", "/wiki/浏览器", "/wiki/Wikipedia:首页"}},
    {"www.reddit.com", "Reddit - Dive into anything", 2, {"/r/cpp/", "/r/programming/", "/r/linux/", "/"}},
    {"www.163.com", "网易", 3, {"/", "/news/article/J0ABCDEF0001899O.html", "/dy/", "/"}},
    {"www.xiaohongshu.com", "小红书 - 你的生活指南", 3, {"/explore", "/explore/6512345678abcdef", "/", "/"}},
    {"cn.bing.com", "必应", 0, {"/", "/", "/", "/"}},
    {"localhost:8080", "Local dev server", 2, {"/", "/api/health", "/admin", "/"}},
    {"www.example.com", "Example Domain", 1, {"/", "/a?x=1#top", "/b", "/"}},
};

struct TEngine
{
    const char* Prefix; // everything before the encoded terms
    const char* TitleFormat;
    int Weight;
};

const TEngine kEngines[] = {
    {"https://www.baidu.com/s?ie=utf-8&wd=", "%1_百度搜索", 10},
    {"https://www.google.com/search?q=", "%1 - Google 搜索", 7},
    {"https://cn.bing.com/search?q=", "%1 - 搜索", 5},
    {"https://www.sogou.com/web?query=", "%1 - 搜狗搜索", 2},
    {"https://www.so.com/s?q=", "%1_360搜索", 1},
    {"https://duckduckgo.com/?q=", "%1 at DuckDuckGo", 1},
    {"https://yandex.com/search/?text=", "%1 — Яндекс", 1},
};

const char* const kTerms[] = {
    "Qt6 QProcess 用法", "sqlite wal 模式", "天气预报", "C++20 ranges", "春节放假安排",
    "机械键盘 推荐", "python 读取 json", "高铁票", "cmake find_package", "翻译",
    "linux 查看端口", "QDateTime 时区", "北京 美食", "git rebase", "电影 排行榜",
    "油价", "std::format", "周杰伦 新歌", "docker compose", "房贷计算器",
};

int Pick(std::mt19937& Rng, const std::vector<int>& Weights, int Total)
{
    int R = std::uniform_int_distribution<int>(0, Total - 1)(Rng);
    for (size_t I = 0; I < Weights.size(); ++I) {
        R -= Weights[I];
        if (R < 0)
            return int(I);
    }
    return int(Weights.size()) - 1;
}

struct TDbCloser
{
    void operator()(sqlite3* Db) const { sqlite3_close(Db); }
};
struct TStmtCloser
{
    void operator()(sqlite3_stmt* S) const { sqlite3_finalize(S); }
};
using TDb = std::unique_ptr<sqlite3, TDbCloser>;
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtCloser>;

class TWriter final
{
public:
    bool Open(const QString& Path, TSampleJournal Journal, QString& ErrMsg)
    {
        QDir().mkpath(QFileInfo(Path).absolutePath());
        QFile::remove(Path);
        QFile::remove(Path + QStringLiteral("-wal"));
        QFile::remove(Path + QStringLiteral("-shm"));
        QFile::remove(Path + QStringLiteral("-journal"));
        sqlite3* Raw = nullptr;
        const int Rc = sqlite3_open(QFile::encodeName(Path).constData(), &Raw);
        FDb.reset(Raw);
        if (Rc != SQLITE_OK)
            return Fail(ErrMsg);
        FErr = &ErrMsg;
        if (Journal != sjDelete) {
            if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA wal_autocheckpoint=0"))
                return false;
        }
        if (Journal == sjWalLeft)
            sqlite3_db_config(FDb.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        return true;
    }
    bool Exec(const char* Sql)
    {
        if (sqlite3_exec(FDb.get(), Sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            return Fail(*FErr);
        return true;
    }
    bool Prepare(const char* Sql, TStmt& Stmt)
    {
        sqlite3_stmt* S = nullptr;
        const int Rc = sqlite3_prepare_v2(FDb.get(), Sql, -1, &S, nullptr);
        Stmt.reset(S);
        return Rc == SQLITE_OK || Fail(*FErr);
    }
    bool Step(sqlite3_stmt* S)
    {
        const int Rc = sqlite3_step(S);
        sqlite3_reset(S);
        return Rc == SQLITE_DONE || Fail(*FErr);
    }
    void Checkpoint() { sqlite3_wal_checkpoint_v2(FDb.get(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr); }
    sqlite3* Db() const { return FDb.get(); }

private:
    bool Fail(QString& ErrMsg)
    {
        ErrMsg = QString::fromUtf8(FDb ? sqlite3_errmsg(FDb.get()) : "out of memory");
        return false;
    }
    TDb FDb;
    QString* FErr = nullptr;
};

// Chromium counts microseconds from 1601-01-01, Unix from 1970-01-01.
constexpr qint64 kChromiumEpochShiftUs = 11644473600LL * 1000000;

void BindText(sqlite3_stmt* S, int Col, const QString& Text)
{
    const QByteArray U = Text.toUtf8();
    sqlite3_bind_text(S, Col, U.constData(), int(U.size()), SQLITE_TRANSIENT);
}

// The visits that go into the -wal file when a WAL is to be left behind: the
// newest tenth, so a reader that ignores the WAL visibly misses them.
size_t SplitPoint(const TSampleHistory& H, TSampleJournal Journal)
{
    return Journal == sjWalLeft ? H.Visits.size() - H.Visits.size() / 10 : H.Visits.size();
}

// Visit count and latest visit time per URL, times shifted by Offset into the
// browser's own epoch.
void CountVisits(const TSampleHistory& H, qint64 Offset, std::vector<qint64>& Counts, std::vector<qint64>& Last)
{
    Counts.assign(H.Urls.size(), 0);
    Last.assign(H.Urls.size(), 0);
    for (const auto& V : H.Visits) {
        ++Counts[size_t(V.Url)];
        Last[size_t(V.Url)] = std::max(Last[size_t(V.Url)], V.UnixUs + Offset);
    }
}

// Inserts every visit through BindAndStep(index, visit) inside the open
// transaction, committing (and checkpointing) at the split point so the newest
// visits can be left in the WAL, then commits the rest.
template <typename TFn>
bool WriteVisits(TWriter& W, const TSampleHistory& H, TSampleJournal Journal, TFn&& BindAndStep)
{
    const size_t Split = SplitPoint(H, Journal);
    for (size_t I = 0; I < H.Visits.size(); ++I) {
        if (I == Split) {
            if (!W.Exec("COMMIT"))
                return false;
            W.Checkpoint();
            if (!W.Exec("BEGIN"))
                return false;
        }
        if (!BindAndStep(I, H.Visits[I]))
            return false;
    }
    if (!W.Exec("COMMIT"))
        return false;
    if (Journal == sjWal)
        W.Checkpoint();
    return true;
}

const char kChromiumSchema[] = R"(
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title LONGVARCHAR,visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 NOT NULL,last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL);
CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT,url INTEGER NOT NULL,visit_time INTEGER NOT NULL,from_visit INTEGER,transition INTEGER DEFAULT 0 NOT NULL,segment_id INTEGER,visit_duration INTEGER DEFAULT 0 NOT NULL,incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT NULL,opener_visit INTEGER,originator_cache_guid TEXT,originator_visit_id INTEGER,originator_from_visit INTEGER,originator_opener_visit INTEGER,is_known_to_sync BOOLEAN DEFAULT FALSE NOT NULL,consider_for_ntp_most_visited BOOLEAN DEFAULT FALSE NOT NULL,external_referrer_url TEXT,visited_link_id INTEGER);
CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL,url_id INTEGER NOT NULL,term LONGVARCHAR NOT NULL,normalized_term LONGVARCHAR NOT NULL);
CREATE TABLE segments (id INTEGER PRIMARY KEY,name VARCHAR,url_id INTEGER NON NULL);
CREATE TABLE segment_usage (id INTEGER PRIMARY KEY,segment_id INTEGER NOT NULL,time_slot INTEGER NOT NULL,visit_count INTEGER DEFAULT 0 NOT NULL);
CREATE TABLE downloads (id INTEGER PRIMARY KEY,guid VARCHAR NOT NULL,current_path LONGVARCHAR NOT NULL,target_path LONGVARCHAR NOT NULL,start_time INTEGER NOT NULL,received_bytes INTEGER NOT NULL,total_bytes INTEGER NOT NULL,state INTEGER NOT NULL);
CREATE INDEX visits_url_index ON visits (url);
CREATE INDEX visits_from_index ON visits (from_visit);
CREATE INDEX visits_time_index ON visits (visit_time);
CREATE INDEX urls_url_index ON urls (url);
CREATE INDEX keyword_search_terms_index1 ON keyword_search_terms (keyword_id,normalized_term);
CREATE INDEX keyword_search_terms_index2 ON keyword_search_terms (url_id);
INSERT INTO meta VALUES('mmap_status','-1'),('version','67'),('last_compatible_version','16');
)";

const char kFirefoxSchema[] = R"(
CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host));
CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER, guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL, description TEXT, preview_image_url TEXT, site_name TEXT, origin_id INTEGER REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);
CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 NOT NULL, triggeringPlaceId INTEGER);
CREATE TABLE moz_inputhistory (place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, use_count INTEGER, PRIMARY KEY (place_id, input));
CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, syncChangeCounter INTEGER NOT NULL DEFAULT 1);
CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash);
CREATE INDEX moz_places_hostindex ON moz_places (rev_host);
CREATE UNIQUE INDEX moz_places_guid_uniqueindex ON moz_places (guid);
CREATE INDEX moz_places_originidindex ON moz_places (origin_id);
CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date);
CREATE INDEX moz_historyvisits_dateindex ON moz_historyvisits (visit_date);
PRAGMA user_version = 75;
)";

QString HostOfSample(const QString& Url)
{
    return QUrl(Url).host();
}

} // namespace

TSampleHistory::TVisit& TSampleHistory::Add(const QString& Url, const QString& Title, qint64 UnixUs)
{
    int Index = -1;
    for (size_t I = 0; I < Urls.size(); ++I)
        if (Urls[I].Url == Url)
            Index = int(I);
    if (Index < 0) {
        Index = int(Urls.size());
        Urls.push_back({Url, Title, false});
    }
    Visits.push_back({Index, UnixUs, kChromiumLink, 1});
    return Visits.back();
}

TSampleHistory MakeSampleHistory(int Visits, qint64 EndUnixUs, int Days, quint32 Seed)
{
    std::mt19937 Rng(Seed);
    TSampleHistory H;
    QHash<QString, int> Index;
    auto UrlIndex = [&](const QString& Url, const QString& Title) {
        const auto It = Index.constFind(Url);
        if (It != Index.constEnd())
            return It.value();
        const int I = int(H.Urls.size());
        H.Urls.push_back({Url, Title, false});
        Index.insert(Url, I);
        return I;
    };

    std::vector<int> SiteW;
    int SiteTotal = 0;
    for (const TSite& S : kSites)
        SiteW.push_back(S.Weight), SiteTotal += S.Weight;
    std::vector<int> EngineW;
    int EngineTotal = 0;
    for (const TEngine& E : kEngines)
        EngineW.push_back(E.Weight), EngineTotal += E.Weight;
    // Evening peak, quiet nights.
    const std::vector<int> HourW = {2, 1, 1, 1, 1, 1, 2, 4, 8, 10, 11, 10, 8, 9, 10, 10, 9, 8, 9, 12, 14, 15, 11, 6};
    int HourTotal = 0;
    for (int W : HourW)
        HourTotal += W;

    const qint64 DayUs = 86400LL * 1000000;
    // Days start at local midnight so the hourly rhythm shows in local time.
    const QDate LastDay = QDateTime::fromMSecsSinceEpoch(EndUnixUs / 1000).date();
    const qint64 StartUs = LastDay.addDays(-(Days - 1)).startOfDay().toMSecsSinceEpoch() * 1000;
    H.Visits.reserve(size_t(Visits) + size_t(Visits) / 5);
    // The unlisted rows draw from their own generator, so the listed visits
    // stay what they were for a given seed.
    std::mt19937 Extra(Seed ^ 0x5eedu);
    auto AddHidden = [&](const QString& Url, qint64 When, qint64 Transition, int VisitType) {
        const int I = UrlIndex(Url, QString());
        H.Urls[size_t(I)].Hidden = true;
        H.Visits.push_back({I, When, Transition, VisitType});
    };
    for (int V = 0; V < Visits; ++V) {
        // Days closer to the end are a little busier; weekends a little quieter.
        const double U = std::uniform_real_distribution<double>(0, 1)(Rng);
        qint64 Day = qint64(std::sqrt(U) * Days);
        Day = std::min<qint64>(Day, Days - 1);
        const int Hour = Pick(Rng, HourW, HourTotal);
        const qint64 Within = std::uniform_int_distribution<qint64>(0, 3600LL * 1000000 - 1)(Rng);
        qint64 When = StartUs + Day * DayUs + qint64(Hour) * 3600LL * 1000000 + Within;
        if (When >= EndUnixUs)
            When = EndUnixUs - 1 - std::uniform_int_distribution<qint64>(0, DayUs / 2)(Rng);

        int Url;
        if (std::uniform_int_distribution<int>(0, 99)(Rng) < 22) {
            const TEngine& E = kEngines[Pick(Rng, EngineW, EngineTotal)];
            const QString Term = QString::fromUtf8(kTerms[std::uniform_int_distribution<int>(0, std::size(kTerms) - 1)(Rng)]);
            const QString Url0 = QString::fromLatin1(E.Prefix) + QString::fromLatin1(QUrl::toPercentEncoding(Term));
            Url = UrlIndex(Url0, QString::fromUtf8(E.TitleFormat).arg(Term));
        } else {
            const TSite& S = kSites[Pick(Rng, SiteW, SiteTotal)];
            const char* Path = S.Paths[std::uniform_int_distribution<int>(0, 3)(Rng)];
            const QString Scheme = QString::fromLatin1(S.Host).startsWith(QLatin1String("localhost"))
                                       ? QStringLiteral("http://") : QStringLiteral("https://");
            QString Title = QString::fromUtf8(S.Title);
            if (qstrcmp(Path, "/") != 0)
                Title = QUrl::fromPercentEncoding(QByteArray(Path)).section(QChar('/'), -1, -1, QString::SectionSkipEmpty)
                        + QStringLiteral(" - ") + Title;
            QString Full = Scheme + QString::fromLatin1(S.Host) + QString::fromUtf8(Path);
            // A long tail of pages seen once or twice, as in a real history.
            if (std::uniform_int_distribution<int>(0, 99)(Rng) < 40) {
                const int Item = std::uniform_int_distribution<int>(1, std::max(100, Visits / 4))(Rng);
                Full += (Full.endsWith(QChar('/')) ? QString() : QStringLiteral("/")) + QStringLiteral("item/%1").arg(Item);
                Title = QStringLiteral("第 %1 条 - ").arg(Item) + Title;
            }
            Url = UrlIndex(Full, Title);
        }
        H.Visits.push_back({Url, When, TSampleHistory::kChromiumLink, 1});
        const int Roll = std::uniform_int_distribution<int>(0, 47)(Extra);
        if (Roll < 6)
            AddHidden(QStringLiteral("https://googleads.g.doubleclick.net/pagead/ads?slot=%1").arg(Roll * 7 + V % 7),
                      When, TSampleHistory::kChromiumSubframe, 4);
        else if (Roll < 8)
            AddHidden(QStringLiteral("https://t.cn/A6%1").arg(V % 211), When - 1, TSampleHistory::kChromiumRedirectHop, 1);
    }
    std::sort(H.Visits.begin(), H.Visits.end(),
              [](const TSampleHistory::TVisit& A, const TSampleHistory::TVisit& B) { return A.UnixUs < B.UnixUs; });
    return H;
}

bool WriteChromiumHistory(const QString& Path, const TSampleHistory& History, TSampleJournal Journal,
                          QString& ErrMsg)
{
    TWriter W;
    if (!W.Open(Path, Journal, ErrMsg) || !W.Exec(kChromiumSchema))
        return false;
    TStmt Url, Visit, Term;
    if (!W.Prepare("INSERT INTO urls(id,url,title,visit_count,typed_count,last_visit_time,hidden) VALUES(?1,?2,?3,?4,0,?5,0)", Url)
        || !W.Prepare("INSERT INTO visits(url,visit_time,from_visit,transition,segment_id,visit_duration) VALUES(?1,?2,0,?4,0,?3)", Visit)
        || !W.Prepare("INSERT INTO keyword_search_terms VALUES(2,?1,?2,?3)", Term))
        return false;
    std::vector<qint64> Counts, Last;
    CountVisits(History, kChromiumEpochShiftUs, Counts, Last);
    if (!W.Exec("BEGIN"))
        return false;
    for (size_t I = 0; I < History.Urls.size(); ++I) {
        sqlite3_bind_int64(Url.get(), 1, qint64(I) + 1);
        BindText(Url.get(), 2, History.Urls[I].Url);
        BindText(Url.get(), 3, History.Urls[I].Title);
        sqlite3_bind_int64(Url.get(), 4, Counts[I]);
        sqlite3_bind_int64(Url.get(), 5, Last[I]);
        if (!W.Step(Url.get()))
            return false;
        const QString Q = QUrl(History.Urls[I].Url).query(QUrl::FullyDecoded);
        if (History.Urls[I].Title.contains(QLatin1String("搜索")) && !Q.isEmpty()) {
            const QString T = Q.section(QChar('='), -1);
            sqlite3_bind_int64(Term.get(), 1, qint64(I) + 1);
            BindText(Term.get(), 2, T);
            BindText(Term.get(), 3, T.toLower());
            if (!W.Step(Term.get()))
                return false;
        }
    }
    return WriteVisits(W, History, Journal, [&](size_t I, const TSampleHistory::TVisit& V) {
        sqlite3_bind_int64(Visit.get(), 1, V.Url + 1);
        sqlite3_bind_int64(Visit.get(), 2, V.UnixUs + kChromiumEpochShiftUs);
        sqlite3_bind_int64(Visit.get(), 3, qint64(I % 97) * 1000000);
        sqlite3_bind_int64(Visit.get(), 4, V.Transition);
        return W.Step(Visit.get());
    });
}

bool WriteFirefoxPlaces(const QString& Path, const TSampleHistory& History, TSampleJournal Journal,
                        QString& ErrMsg)
{
    TWriter W;
    if (!W.Open(Path, Journal, ErrMsg) || !W.Exec(kFirefoxSchema))
        return false;
    TStmt Origin, Place, Visit;
    if (!W.Prepare("INSERT OR IGNORE INTO moz_origins(prefix,host,frecency) VALUES(?1,?2,100)", Origin)
        || !W.Prepare("INSERT INTO moz_places(id,url,title,rev_host,visit_count,frecency,last_visit_date,guid,url_hash,origin_id,hidden) "
                      "VALUES(?1,?2,?3,?4,?5,100,?6,?7,?8,(SELECT id FROM moz_origins WHERE prefix=?9 AND host=?10),?11)", Place)
        || !W.Prepare("INSERT INTO moz_historyvisits(from_visit,place_id,visit_date,visit_type,session,source) VALUES(0,?1,?2,?3,0,0)", Visit))
        return false;
    std::vector<qint64> Counts, Last;
    CountVisits(History, 0, Counts, Last);
    if (!W.Exec("BEGIN"))
        return false;
    for (size_t I = 0; I < History.Urls.size(); ++I) {
        const QString& U = History.Urls[I].Url;
        const QString Host = HostOfSample(U);
        const QString Prefix = U.section(QStringLiteral("://"), 0, 0) + QStringLiteral("://");
        QString Rev = Host;
        std::reverse(Rev.begin(), Rev.end());
        BindText(Origin.get(), 1, Prefix);
        BindText(Origin.get(), 2, Host);
        if (!W.Step(Origin.get()))
            return false;
        sqlite3_bind_int64(Place.get(), 1, qint64(I) + 1);
        BindText(Place.get(), 2, U);
        BindText(Place.get(), 3, History.Urls[I].Title);
        BindText(Place.get(), 4, Rev + QChar('.'));
        sqlite3_bind_int64(Place.get(), 5, Counts[I]);
        sqlite3_bind_int64(Place.get(), 6, Last[I]);
        BindText(Place.get(), 7, QStringLiteral("g%1").arg(I, 11, 10, QChar('0')));
        sqlite3_bind_int64(Place.get(), 8, qHash(U));
        BindText(Place.get(), 9, Prefix);
        BindText(Place.get(), 10, Host);
        sqlite3_bind_int(Place.get(), 11, History.Urls[I].Hidden ? 1 : 0);
        if (!W.Step(Place.get()))
            return false;
    }
    return WriteVisits(W, History, Journal, [&](size_t, const TSampleHistory::TVisit& V) {
        sqlite3_bind_int64(Visit.get(), 1, V.Url + 1);
        sqlite3_bind_int64(Visit.get(), 2, V.UnixUs);
        if (V.VisitType == TSampleHistory::kNullType)
            sqlite3_bind_null(Visit.get(), 3);
        else
            sqlite3_bind_int(Visit.get(), 3, V.VisitType);
        return W.Step(Visit.get());
    });
}

bool MakeSampleHome(const QString& Home, int Visits, QString& ErrMsg)
{
    const qint64 Now = QDateTime::currentMSecsSinceEpoch() * 1000;
    const int Days = 90;
    struct TProfile
    {
        QString Dir;
        double Share;
        quint32 Seed;
        TSampleJournal Journal;
        bool Firefox;
    };
    const QString Chrome = BrowserPath(Home, QStringLiteral(".config/google-chrome"));
    const QString Edge = BrowserPath(Home, QStringLiteral(".config/microsoft-edge"));
    const QString Firefox = BrowserPath(Home, QStringLiteral(".mozilla/firefox"));
    const QList<TProfile> Profiles = {
        {Chrome + QStringLiteral("/Default"), 0.40, 11, sjWalLeft, false},
        {Chrome + QStringLiteral("/Profile 1"), 0.15, 12, sjDelete, false},
        {Edge + QStringLiteral("/Default"), 0.15, 21, sjDelete, false},
        {Edge + QStringLiteral("/Profile 1"), 0.05, 22, sjDelete, false},
        {Firefox + QStringLiteral("/a1b2c3d4.default-release"), 0.25, 31, sjWalLeft, true},
    };
    for (const TProfile& P : Profiles) {
        if (!QDir().mkpath(P.Dir)) {
            ErrMsg = QStringLiteral("无法创建目录 %1").arg(P.Dir);
            return false;
        }
        const TSampleHistory H = MakeSampleHistory(std::max(1, int(Visits * P.Share)), Now, Days, P.Seed);
        const bool Ok = P.Firefox ? WriteFirefoxPlaces(P.Dir + QStringLiteral("/places.sqlite"), H, P.Journal, ErrMsg)
                                  : WriteChromiumHistory(P.Dir + QStringLiteral("/History"), H, P.Journal, ErrMsg);
        if (!Ok)
            return false;
    }
    auto WriteText = [&](const QString& Path, const QByteArray& Text) {
        QFile F(Path);
        if (F.open(QIODevice::WriteOnly) && F.write(Text) == Text.size())
            return true;
        ErrMsg = QStringLiteral("无法写入 %1").arg(Path);
        return false;
    };
    return WriteText(Chrome + QStringLiteral("/Local State"),
                     R"({"profile":{"info_cache":{"Default":{"name":"个人"},"Profile 1":{"name":"工作"}}}})")
           && WriteText(Edge + QStringLiteral("/Local State"),
                        R"({"profile":{"info_cache":{"Default":{"name":"默认"},"Profile 1":{"name":"学习"}}}})")
           && WriteText(Firefox + QStringLiteral("/profiles.ini"),
                        "[Install4F96D1932A9F858E]\nDefault=a1b2c3d4.default-release\nLocked=1\n\n"
                        "[Profile0]\nName=default-release\nIsRelative=1\nPath=a1b2c3d4.default-release\nDefault=1\n\n"
                        "[General]\nStartWithLastProfile=1\nVersion=2\n");
}
