#include "control/typelib.h"

#include <QFile>
#include <QJsonDocument>

namespace quivex {

QJsonObject typeLibrary() {
    static const QJsonObject description = [] {
        QFile file(QString::fromLatin1(kTypeLibraryResource));
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        return document.isObject() ? document.object() : QJsonObject();
    }();
    return description;
}

} // namespace quivex
