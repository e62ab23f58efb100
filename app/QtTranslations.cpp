#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool QtTranslations::installRussian()
{
    static const bool installed = [] {
        QCoreApplication* application = QCoreApplication::instance();
        if (!application)
            return false;
        auto* translator = new QTranslator(application);
        if (translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath))
            && QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
        qWarning("Qt's Russian texts are missing (Debian package qt6-translations-l10n): its buttons stay English");
        return false;
    }();
    return installed;
}
