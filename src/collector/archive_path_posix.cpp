#include "archive_path.h"

#include "history_source.h"

#include <QDir>

QString DefaultArchivePath()
{
    QString Data = QDir::fromNativeSeparators(qEnvironmentVariable("XDG_DATA_HOME"));
    // Relative values are invalid by the XDG rules; a home given to the
    // collector takes the data folder with it.
    if (Data.isEmpty() || !QDir::isAbsolutePath(Data) || !qEnvironmentVariableIsEmpty(kHomeOverrideVar))
        Data = CurrentHome().Path + QStringLiteral("/.local/share");
    return Data + QStringLiteral("/Marrowkin/archive.sqlite");
}
