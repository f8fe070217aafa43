#include "sample_profiles.h"

#include <utility>

QString BrowserPath(const QString& Home, const QString& LinuxRelative)
{
    static const std::pair<const char*, const char*> Places[] = {
        {".config/google-chrome", "AppData/Local/Google/Chrome/User Data"},
        {".config/chromium", "AppData/Local/Chromium/User Data"},
        {".config/microsoft-edge", "AppData/Local/Microsoft/Edge/User Data"},
        {".config/BraveSoftware/Brave-Browser", "AppData/Local/BraveSoftware/Brave-Browser/User Data"},
        {".config/vivaldi", "AppData/Local/Vivaldi/User Data"},
        {".config/opera", "AppData/Roaming/Opera Software/Opera Stable"},
        {".mozilla/firefox", "AppData/Roaming/Mozilla/Firefox"},
    };
    for (const auto& [Linux, Windows] : Places) {
        const QString Prefix = QString::fromLatin1(Linux);
        if (LinuxRelative == Prefix || LinuxRelative.startsWith(Prefix + u'/'))
            return Home + u'/' + QString::fromLatin1(Windows) + LinuxRelative.mid(Prefix.size());
    }
    return Home + u'/' + LinuxRelative;
}
