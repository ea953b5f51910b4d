// Numbers as the program shows them: fixed decimals with a given decimal separator.
#pragma once

#include <QString>

namespace common {

// The decimals a number format mask asks for: "0" gives 0, "0.000" gives 3.
int maskDecimals(const QString &mask);

// `value` rounded to `decimals` places, with `separator` as the decimal point.
QString formatFixed(double value, int decimals, const QString &separator);

// The decimal separator of the user's locale.
QString userSeparator();

} // namespace common
