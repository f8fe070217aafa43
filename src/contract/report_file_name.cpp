#include "report_file_name.h"

QString ReportFileName(const QDateTime& When, QStringView Ext, int Copy)
{
    const QString Stamp = When.toString(QStringLiteral("yyyyMMdd_hhmmss"));
    if (Copy > 1)
        return QStringLiteral("Marrowkin_Report_%1_%2.%3").arg(Stamp).arg(Copy).arg(Ext);
    return QStringLiteral("Marrowkin_Report_%1.%2").arg(Stamp, Ext);
}

QString ReportFileNamePattern()
{
    return QStringLiteral("Marrowkin_Report_\\d{8}_\\d{6}(?:_\\d+)?\\.(?:json|html)");
}
