#include "sample_profiles.h"

// The places are given as on Linux already.
QString BrowserPath(const QString& Home, const QString& LinuxRelative)
{
    return Home + u'/' + LinuxRelative;
}
