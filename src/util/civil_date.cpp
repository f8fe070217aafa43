#include "civil_date.h"

namespace {

qint64 FloorDiv(qint64 A, qint64 B)
{
    qint64 Q = A / B;
    if ((A % B != 0) && ((A < 0) != (B < 0)))
        --Q;
    return Q;
}

} // namespace

// Howard Hinnant's civil_from_days.
void CivilFromDays(qint64 Days, int& Year, int& Month, int& Day)
{
    const qint64 Z = Days + 719468;
    const qint64 Era = FloorDiv(Z, 146097);
    const qint64 Doe = Z - Era * 146097;
    const qint64 Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
    const qint64 Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
    const qint64 Mp = (5 * Doy + 2) / 153;
    Day = int(Doy - (153 * Mp + 2) / 5 + 1);
    Month = int(Mp < 10 ? Mp + 3 : Mp - 9);
    Year = int(Yoe + Era * 400 + (Month <= 2 ? 1 : 0));
}

// Howard Hinnant's days_from_civil.
qint64 DaysFromCivil(int Year, int Month, int Day)
{
    const qint64 Y = qint64(Year) - (Month <= 2 ? 1 : 0);
    const qint64 Era = FloorDiv(Y, 400);
    const qint64 Yoe = Y - Era * 400;
    const qint64 Doy = (153 * (Month > 2 ? Month - 3 : Month + 9) + 2) / 5 + Day - 1;
    const qint64 Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
    return Era * 146097 + Doe - 719468;
}
