#include "url_reader.h"

#include "url_info.h"

#include <QSet>

#include <system_error>

namespace {

// What one record may carry into a report; longer texts are cut and marked.
constexpr int kMaxTitleBytes = 4 * 1024;
constexpr int kMaxUrlBytes = 64 * 1024;

} // namespace

bool ReadUrls(sqlite3* Db, const TSchema& Schema, const char* Sql, std::vector<TRawUrl>& Out, QString& ErrMsg)
{
    Out.reserve(RowsToReserve(Db, Schema.UrlTable));
    TStmt Urls;
    if (!Prepare(Db, Sql, Urls, ErrMsg))
        return false;
    QSet<QString> Hosts;
    int Rc;
    while ((Rc = sqlite3_step(Urls.get())) == SQLITE_ROW) {
        if (sqlite3_column_type(Urls.get(), 1) == SQLITE_NULL)
            continue;
        TRawUrl& U = Out.emplace_back();
        U.Id = sqlite3_column_int64(Urls.get(), 0);
        U.Url = ColumnText(Urls.get(), 1, kMaxUrlBytes);
        // Few hosts recur in many rows: each is kept once and shared.
        const QString Host = HostOf(U.Url);
        auto Known = Hosts.constFind(Host);
        if (Known == Hosts.constEnd())
            Known = Hosts.insert(Host);
        U.Host = *Known;
        U.Keyword = SearchKeyword(U.Url, U.Host);
        U.Title = ColumnUtf8(Urls.get(), 2, kMaxTitleBytes);
        if (sqlite3_column_count(Urls.get()) > 3)
            U.Shown = sqlite3_column_int(Urls.get(), 3) != 0;
    }
    return !StepFailed(Db, Rc, ErrMsg);
}

TUrlReader::TUrlReader(const QByteArray& OpenName, int Flags, const TSchema& Schema, const char* Sql,
                       std::vector<TRawUrl>& Out)
{
    if (OpenForReading(OpenName.constData(), Flags, FDb) != SQLITE_OK)
        return;
    try {
        FThread = std::jthread([this, &Schema, Sql, &Out] {
            try {
                FOk = ReadUrls(FDb.get(), Schema, Sql, Out, FErrMsg);
            } catch (...) {
                FErrMsg = QStringLiteral("读取时内存不足");
            }
        });
    } catch (const std::system_error&) {
    }
}

bool TUrlReader::Finish(QString& ErrMsg)
{
    FThread.join();
    if (!FOk)
        ErrMsg = FErrMsg;
    return FOk;
}
