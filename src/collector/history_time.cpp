#include "history_time.h"

#include <QTimeZone>

#include <optional>

namespace {

// Read once: the zone cannot change during a run.
const std::optional<QTimeZone>& ZoneOverride()
{
    static const std::optional<QTimeZone> Zone = []() -> std::optional<QTimeZone> {
        const QByteArray Id = qgetenv(kZoneOverrideVar);
        if (Id.isEmpty())
            return std::nullopt;
        QTimeZone Z(Id);
        return Z.isValid() ? std::optional<QTimeZone>(Z) : std::nullopt;
    }();
    return Zone;
}

qint64 FloorDiv(qint64 A, qint64 B)
{
    qint64 Q = A / B;
    if ((A % B != 0) && ((A < 0) != (B < 0)))
        --Q;
    return Q;
}

void Put2(char* Out, int V)
{
    Out[0] = char('0' + (V / 10) % 10);
    Out[1] = char('0' + V % 10);
}

qint64 LocalStartUs(const QDate& D)
{
    return ReportStartOfDay(D).toMSecsSinceEpoch() * 1000;
}

} // namespace

QDateTime ReportDateTime(qint64 UnixMSecs)
{
    const auto& Zone = ZoneOverride();
    return Zone ? QDateTime::fromMSecsSinceEpoch(UnixMSecs, *Zone) : QDateTime::fromMSecsSinceEpoch(UnixMSecs);
}

QDateTime ReportNow()
{
    return ReportDateTime(QDateTime::currentMSecsSinceEpoch());
}

QDateTime ReportStartOfDay(const QDate& Day)
{
    const auto& Zone = ZoneOverride();
    return Zone ? Day.startOfDay(*Zone) : Day.startOfDay();
}

QString DayText(qint64 DayNumber)
{
    int Y = 0, M = 0, D = 0;
    CivilFromDays(DayNumber, Y, M, D);
    char Buf[10];
    Put2(Buf, Y / 100);
    Put2(Buf + 2, Y % 100);
    Buf[4] = '-';
    Put2(Buf + 5, M);
    Buf[7] = '-';
    Put2(Buf + 8, D);
    return QString::fromLatin1(Buf, 10);
}

int TLocalClock::OffsetSecs(qint64 UnixSecs)
{
    // Zone changes fall on quarter hours everywhere in practice.
    const qint64 Bucket = FloorDiv(UnixSecs, 900);
    const auto It = FOffsets.find(Bucket);
    if (It != FOffsets.end())
        return It->second;
    const int Offset = ReportDateTime(Bucket * 900 * 1000).offsetFromUtc();
    FOffsets.emplace(Bucket, Offset);
    return Offset;
}

TLocalTime TLocalClock::Convert(qint64 UnixUs)
{
    const qint64 UtcSecs = FloorDiv(UnixUs, 1000000);
    const qint64 Local = UtcSecs + OffsetSecs(UtcSecs);
    TLocalTime T;
    T.DayNumber = FloorDiv(Local, 86400);
    const int SecOfDay = int(Local - T.DayNumber * 86400);
    T.Hour = SecOfDay / 3600;
    T.Minute = (SecOfDay / 60) % 60;
    T.Second = SecOfDay % 60;
    CivilFromDays(T.DayNumber, T.Year, T.Month, T.Day);
    // 1970-01-01 was a Thursday.
    T.Weekday = int(((T.DayNumber % 7) + 11) % 7);
    return T;
}

void TLocalClock::Format(const TLocalTime& T, char* Out)
{
    const int Y = qBound(0, T.Year, 9999);
    Put2(Out, Y / 100);
    Put2(Out + 2, Y % 100);
    Out[4] = '-';
    Put2(Out + 5, T.Month);
    Out[7] = '-';
    Put2(Out + 8, T.Day);
    Out[10] = ' ';
    Put2(Out + 11, T.Hour);
    Out[13] = ':';
    Put2(Out + 14, T.Minute);
    Out[16] = ':';
    Put2(Out + 17, T.Second);
}

QString TLocalClock::FormatText(qint64 UnixUs)
{
    char Buf[19];
    Format(Convert(UnixUs), Buf);
    return QString::fromLatin1(Buf, 19);
}

TTimeWindow MakeTimeWindow(int Days, const QDate& From, const QDate& To, const QDate& Today)
{
    TTimeWindow W;
    if (Days > 0) {
        W.FromUs = LocalStartUs(Today.addDays(-(Days - 1)));
        W.ToUs = LocalStartUs(Today.addDays(1));
        return W;
    }
    if (From.isValid())
        W.FromUs = LocalStartUs(From);
    if (To.isValid())
        W.ToUs = LocalStartUs(To.addDays(1));
    return W;
}
