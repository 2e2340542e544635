#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ostrel {

void LoadTranslations(QCoreApplication& app, const QString& appFolder) {
    const QLocale locale;
    auto* qt = new QTranslator(&app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
    auto* own = new QTranslator(&app);
    if (own->load(locale, QStringLiteral("ostrel"), QStringLiteral("_"),
                  appFolder + QStringLiteral("/translations"))) {
        QCoreApplication::installTranslator(own);
    } else {
        delete own;
    }
}

}  // namespace ostrel
