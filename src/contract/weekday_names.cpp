#include "weekday_names.h"

const QStringList& WeekdayNames()
{
    static const QStringList Names = {
        QStringLiteral("周日"), QStringLiteral("周一"), QStringLiteral("周二"), QStringLiteral("周三"),
        QStringLiteral("周四"), QStringLiteral("周五"), QStringLiteral("周六"),
    };
    return Names;
}
