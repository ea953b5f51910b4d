#include "app/video/sequencepattern.h"

namespace video {

namespace {
bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

bool isSequencePicture(const QString &name) {
    const QString tail = name.right(3).toUpper();
    return tail == QLatin1String("BMP") || tail == QLatin1String("JPG");
}

SequencePattern sequencePattern(const QString &name) {
    SequencePattern result;
    // The extension is the last three characters and the character before them is taken to
    // be the dot; a shorter name has no room for digits.
    if (name.size() < 4) {
        result.pattern = QStringLiteral("%d.") + name.right(3);
        return result;
    }
    const QString stem = name.left(name.size() - 4);
    const QString extension = name.right(3);
    qsizetype digits = 0;
    while (digits < stem.size() && isAsciiDigit(stem.at(stem.size() - 1 - digits)))
        ++digits;
    // A percent sign of the name itself must reach the player as a literal ("%%"), or it
    // would be read as a second conversion and the sequence would not open.
    QString prefix = stem.left(stem.size() - digits);
    const bool firstIsZero = digits > 0 && stem.at(prefix.size()) == QLatin1Char('0');
    prefix.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (firstIsZero) {
        result.pattern = prefix + QStringLiteral("%0") + QString::number(digits) +
                         QStringLiteral("d.") + extension;
    } else {
        result.pattern = prefix + QStringLiteral("%d.") + extension;
    }
    result.use = digits > 0;
    return result;
}

QString videoOpenName(const QString &name) {
    if (!isSequencePicture(name))
        return name;
    const SequencePattern p = sequencePattern(name);
    return p.use ? p.pattern : name;
}

} // namespace video
