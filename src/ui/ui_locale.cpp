#include "ui_locale.h"

#include "text_util.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallChineseUi(const QStringList& Folders)
{
    const QLocale Chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(Chinese);
    auto* App = QCoreApplication::instance();
    if (!App)
        return false;
    for (const QString& Folder : Folders) {
        if (Folder.isEmpty())
            continue;
        auto* Translator = new QTranslator(App);
        if (Translator->load(Chinese, QStringLiteral("qtbase"), QStringLiteral("_"), Folder)) {
            QCoreApplication::installTranslator(Translator);
            return true;
        }
        delete Translator;
    }
    return false;
}

QStringList TranslationFolders()
{
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            JoinPath(QCoreApplication::applicationDirPath(), QStringLiteral("translations"))};
}
