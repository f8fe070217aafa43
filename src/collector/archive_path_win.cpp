#include "archive_path.h"

#include "history_source.h"

QString DefaultArchivePath()
{
    // The local, not the roaming, application data: years of history do not
    // belong on every machine the user logs on to.
    return CurrentHome().LocalDir + QStringLiteral("/Marrowkin/archive.sqlite");
}
