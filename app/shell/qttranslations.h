// Qt's own texts (the standard buttons of message boxes, the file dialog) in the interface
// language, from the translations Debian ships with Qt (qt6-translations-l10n).
#pragma once

#include "platform/wintypes.h"

#include <QString>

class QCoreApplication;

namespace shell {

// The Qt translation catalogue for an interface language: "qtbase_de" for German; empty for
// English and for the third language, whose texts are English too.
QString qtCatalogueFor(platform::LCID uiLcid);

// Installs Qt's translation for the language on the application; false when there is none to
// install (English) or the catalogue is missing, in which case Qt's English texts stay.
bool installQtTranslations(QCoreApplication &app, platform::LCID uiLcid,
                           const QString &folder = QString());

} // namespace shell
