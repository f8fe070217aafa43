#include "recent_reports.h"

#include "file_name_case.h"

#include <QDir>
#include <QSettings>
#include <QUrl>

#include <memory>

namespace {

std::unique_ptr<QSettings> OpenStore(const QString& Store)
{
    if (!Store.isEmpty())
        return std::make_unique<QSettings>(Store, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("Marrowkin"), QStringLiteral("MarrowkinWin"));
}

const QString kKey = QStringLiteral("RecentReports");

QString CleanPath(const QString& Path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(Path)));
}

} // namespace

bool SameReportFile(const QString& A, const QString& B)
{
    return CleanPath(A).compare(CleanPath(B), FileNameCase()) == 0;
}

QStringList AddRecentReport(QStringList List, const QString& Path, int Max)
{
    List.removeIf([&](const QString& P) { return SameReportFile(P, Path); });
    List.prepend(CleanPath(Path));
    while (List.size() > Max)
        List.removeLast();
    return List;
}

QStringList PruneRecentReports(const QStringList& List, const std::function<bool(const QString&)>& Exists)
{
    QStringList Kept;
    for (const QString& P : List)
        if (Exists(P))
            Kept.append(P);
    return Kept;
}

QStringList DroppedReportFiles(const QList<QUrl>& Urls)
{
    QStringList Files;
    for (const QUrl& Url : Urls) {
        const QString Local = Url.toLocalFile();
        if (!Local.isEmpty() && Local.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
            Files.append(QDir::toNativeSeparators(Local));
    }
    return Files;
}

QStringList LoadRecentReports(const QString& Store)
{
    const QStringList List = OpenStore(Store)->value(kKey).toStringList();
    // A hand-edited store may hold more than the menu shows.
    return List.mid(0, kMaxRecentReports);
}

void SaveRecentReports(const QStringList& List, const QString& Store)
{
    OpenStore(Store)->setValue(kKey, List);
}
