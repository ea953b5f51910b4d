#include "app/common/numbertext.h"

#include "platform/locale.h"

#include <cmath>

namespace common {

int maskDecimals(const QString &mask) {
    const qsizetype dot = mask.indexOf(QLatin1Char('.'));
    return dot < 0 ? 0 : static_cast<int>(mask.size() - dot - 1);
}

QString formatFixed(double value, int decimals, const QString &separator) {
    if (!std::isfinite(value))
        value = 0.0;
    QString text = QString::number(value, 'f', decimals < 0 ? 0 : decimals);
    // "-0" and "-0.00" are shown without the sign, as a number format would.
    bool allZero = true;
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0'))
            allZero = false;
    if (allZero && text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    if (decimals > 0)
        text.replace(QLatin1Char('.'), separator);
    return text;
}

QString userSeparator() {
    return QString::fromStdString(platform::userDecimalSeparator());
}

} // namespace common
