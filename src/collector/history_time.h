#pragma once

#include "civil_date.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <limits>
#include <unordered_map>

// Chromium counts microseconds from 1601-01-01 UTC, Firefox and Unix from 1970.
inline constexpr qint64 kChromeEpochDeltaUs = 11644473600LL * 1000000LL;

constexpr qint64 ChromeToUnixUs(qint64 ChromeUs) { return ChromeUs - kChromeEpochDeltaUs; }
constexpr qint64 UnixToChromeUs(qint64 UnixUs) { return UnixUs + kChromeEpochDeltaUs; }
constexpr qint64 FirefoxToUnixUs(qint64 FirefoxUs) { return FirefoxUs; }

// Names an IANA time zone (e.g. "Asia/Shanghai") to report local times in
// instead of the system's; Windows programs ignore TZ.
inline constexpr char kZoneOverrideVar[] = "MARROWKIN_TZ";

// Local wall-clock time in the report's zone, and the current time there.
QDateTime ReportDateTime(qint64 UnixMSecs);
QDateTime ReportNow();
QDateTime ReportStartOfDay(const QDate& Day);

struct TLocalTime
{
    qint64 DayNumber = 0; // days since 1970-01-01 in local time
    int Year = 1970, Month = 1, Day = 1;
    int Hour = 0, Minute = 0, Second = 0;
    int Weekday = 4;      // 0 = Sunday
};

// Converts visit times to local wall-clock time. Millions of visits go through
// here, so the zone offset is looked up once per quarter hour and cached.
class TLocalClock final
{
public:
    TLocalTime Convert(qint64 UnixUs);
    // "yyyy-MM-dd hh:mm:ss", written into Out (19 bytes, no terminator).
    static void Format(const TLocalTime& T, char* Out);
    QString FormatText(qint64 UnixUs);

private:
    int OffsetSecs(qint64 UnixSecs);
    std::unordered_map<qint64, int> FOffsets;
};

// "yyyy-mm-dd" for a day count since 1970-01-01.
QString DayText(qint64 DayNumber);

// Visits with From <= time < To (Unix microseconds) are in range; an open end
// is the matching extreme.
struct TTimeWindow
{
    qint64 FromUs = std::numeric_limits<qint64>::min() / 2;
    qint64 ToUs = std::numeric_limits<qint64>::max() / 2;
};

// The last Days local days including Today, or From..To local dates both
// included; invalid dates leave that end open.
TTimeWindow MakeTimeWindow(int Days, const QDate& From, const QDate& To, const QDate& Today);
