#include "sqlite_util.h"

#include "utf8.h"

#include <QByteArray>

#include <algorithm>

QString SqliteText(sqlite3* Db)
{
    return Db ? QString::fromUtf8(sqlite3_errmsg(Db)) : QStringLiteral("out of memory");
}

bool Prepare(sqlite3* Db, const char* Sql, TStmt& Stmt, QString& ErrMsg)
{
    sqlite3_stmt* S = nullptr;
    const int Rc = sqlite3_prepare_v2(Db, Sql, -1, &S, nullptr);
    Stmt.reset(S);
    if (Rc != SQLITE_OK) {
        ErrMsg = QStringLiteral("数据库已损坏或无法读取：%1").arg(SqliteText(Db));
        return false;
    }
    return true;
}

bool StepFailed(sqlite3* Db, int Rc, QString& ErrMsg)
{
    if (Rc == SQLITE_DONE)
        return false;
    ErrMsg = QStringLiteral("读取数据库失败：%1").arg(SqliteText(Db));
    return true;
}

size_t RowsToReserve(sqlite3* Db, const char* Table)
{
    TStmt Count;
    QString Ignored;
    const QByteArray Sql = QByteArray("SELECT count(*) FROM ") + Table;
    if (!Prepare(Db, Sql.constData(), Count, Ignored) || sqlite3_step(Count.get()) != SQLITE_ROW)
        return 0;
    return size_t(std::clamp<qint64>(sqlite3_column_int64(Count.get(), 0), 0, 1 << 26));
}

namespace {

// The column's bytes, as many of them as a text of at most MaxBytes keeps:
// cut at a character boundary.
struct TColumnBytes
{
    const char* Text = nullptr;
    int Size = 0;
    bool Cut = false;
};

TColumnBytes ColumnBytes(sqlite3_stmt* S, int Col, int MaxBytes)
{
    TColumnBytes B;
    B.Text = reinterpret_cast<const char*>(sqlite3_column_text(S, Col));
    if (!B.Text)
        return B;
    B.Size = sqlite3_column_bytes(S, Col);
    B.Cut = B.Size > MaxBytes;
    if (B.Cut) {
        B.Size = MaxBytes;
        while (B.Size > 0 && (static_cast<unsigned char>(B.Text[B.Size]) & 0xC0) == 0x80)
            --B.Size;
    }
    return B;
}

} // namespace

QString ColumnText(sqlite3_stmt* S, int Col, int MaxBytes)
{
    const TColumnBytes B = ColumnBytes(S, Col, MaxBytes);
    if (!B.Text)
        return {};
    QString Text = QString::fromUtf8(B.Text, B.Size);
    if (B.Cut)
        Text += QChar(0x2026);
    return Text;
}

QByteArray ColumnUtf8(sqlite3_stmt* S, int Col, int MaxBytes)
{
    const TColumnBytes B = ColumnBytes(S, Col, MaxBytes);
    if (!B.Text)
        return {};
    QByteArray Utf8 = IsValidUtf8(B.Text, B.Size) ? QByteArray(B.Text, B.Size) : QString::fromUtf8(B.Text, B.Size).toUtf8();
    if (B.Cut)
        Utf8 += "\u2026";
    return Utf8;
}

int OpenForReading(const char* Name, int Flags, TDb& Db)
{
    constexpr int kLockWaitMs = 5000;
    sqlite3* Raw = nullptr;
    const int Rc = sqlite3_open_v2(Name, &Raw, Flags | SQLITE_OPEN_NOMUTEX, nullptr);
    Db.reset(Raw);
    if (Rc == SQLITE_OK)
        sqlite3_busy_timeout(Raw, kLockWaitMs);
    return Rc;
}
