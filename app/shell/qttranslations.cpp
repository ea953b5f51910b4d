#include "app/shell/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace shell {

QString qtCatalogueFor(platform::LCID uiLcid) {
    return uiLcid == 1031 ? QStringLiteral("qtbase_de") : QString();
}

bool installQtTranslations(QCoreApplication &app, platform::LCID uiLcid, const QString &folder) {
    const QString catalogue = qtCatalogueFor(uiLcid);
    if (catalogue.isEmpty())
        return false;
    const QString from =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // Owned by the application: it translates for as long as the program runs.
    auto *translator = new QTranslator(&app);
    if (!translator->load(catalogue, from)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace shell
