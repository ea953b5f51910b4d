#include "app/shell/settings.h"

#include "platform/profile.h"

#include <QFile>
#include <cmath>
#include <limits>

namespace shell {

namespace {

// The private-profile buffer of every settings read; longer values are cut.
constexpr platform::DWORD kIniBufferSize = 300;
constexpr int kDefaultTextLimit = 30;
// Beyond this many decimals a time value has no meaningful digits left; a damaged
// `DecDigits` must not ask for a mask of millions of zeros.
constexpr int kMaxMaskDigits = 30;

std::string fileName(const QString &file) {
    return QFile::encodeName(file).toStdString();
}

bool isIgnoredBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

QString withoutBlanks(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isIgnoredBlank(c))
            out.append(c);
    return out;
}

int digitValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return 99;
}

// Parses the number at the start of `s` (blanks already removed). `used` gets the count of
// characters that belong to it; 0 when there is no number.
double scanNumber(const QString &s, qsizetype &used) {
    used = 0;
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        const int radix = kind == u'H' ? 16 : kind == u'O' ? 8 : 0;
        if (radix == 0)
            return 0.0;
        double value = 0.0;
        qsizetype i = 2;
        for (; i < s.size() && digitValue(s[i]) < radix; ++i)
            value = value * radix + digitValue(s[i]);
        used = i > 2 ? i : 0;
        return value;
    }
    qsizetype i = 0;
    std::string ascii;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ascii += static_cast<char>(s[i++].unicode());
    qsizetype digits = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        ascii += static_cast<char>(s[i++].unicode());
        ++digits;
    }
    if (i < s.size() && s[i] == u'.') {
        ascii += '.';
        ++i;
        while (i < s.size() && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
            ascii += static_cast<char>(s[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    used = i;
    // An exponent counts only with at least one digit after its letter and sign.
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent += static_cast<char>(s[j++].unicode());
        qsizetype expDigits = 0;
        while (j < s.size() && s[j].unicode() >= u'0' && s[j].unicode() <= u'9') {
            exponent += static_cast<char>(s[j++].unicode());
            ++expDigits;
        }
        if (expDigits > 0) {
            ascii += exponent;
            used = j;
        }
    }
    const double value = std::strtod(ascii.c_str(), nullptr);
    // An overflowing value is damaged data, read as 0 like any other damage.
    return std::isfinite(value) ? value : 0.0;
}

int toInt(double value) {
    return roundHalfEven(value);
}

platform::COLORREF toColor(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded >= 0.0 && rounded <= 0xFFFFFF))
        return 0;
    return static_cast<platform::COLORREF>(rounded);
}

} // namespace

QString ReadIniString(const QString &section, const QString &key, const QString &def,
                      const QString &file) {
    char buffer[kIniBufferSize];
    const auto count = platform::getPrivateProfileString(section.toStdString(), key.toStdString(),
                                                         def.toStdString(), buffer, kIniBufferSize,
                                                         fileName(file));
    // The value ends at the first NUL, as a C string would.
    const auto length = static_cast<qsizetype>(qstrnlen(buffer, count));
    if (length == 0)
        return QString();
    return QString::fromUtf8(buffer, length);
}

double ReadIniNumber(const QString &section, const QString &key, double def, const QString &file) {
    const QString defText = numberText(def).left(kDefaultTextLimit);
    return leadingNumber(ReadIniString(section, key, defText, file));
}

bool WriteIniValue(const QString &section, const QString &key, double value, const QString &file) {
    return WriteIniValue(section, key, numberText(value), file);
}

bool WriteIniValue(const QString &section, const QString &key, const QString &value,
                   const QString &file) {
    const std::string text = value.trimmed().toStdString();
    return platform::writePrivateProfileString(section.toStdString(), key.toStdString(),
                                               std::string_view(text), fileName(file)) != 0;
}

double leadingNumber(QStringView text) {
    qsizetype used = 0;
    return scanNumber(withoutBlanks(text), used);
}

bool isNumericText(QStringView text) {
    const QString s = text.toString().trimmed();
    if (s.isEmpty())
        return false;
    qsizetype used = 0;
    scanNumber(s, used);
    return used == s.size();
}

QString numberText(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<long long>(value));
    return QString::number(value, 'g', 15);
}

QString DecimalMask(int digits) {
    if (digits <= 0)
        return QStringLiteral("0");
    return QStringLiteral("0.") + QString(std::min(digits, kMaxMaskDigits), u'0');
}

int roundHalfEven(double value) {
    const double r = std::nearbyint(value); // the default rounding mode: ties to even
    if (!(r >= std::numeric_limits<int>::min()))
        return r != r ? 0 : std::numeric_limits<int>::min();
    if (r > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(r);
}

void readAllSettings(const QString &file, OrvaneSettings &o, TraceSettings &t) {
    const QString s = QString::fromLatin1(kSectionOrvane);
    auto number = [&](const QString &section, const char *key, double def) {
        return ReadIniNumber(section, QString::fromLatin1(key), def, file);
    };
    auto flag = [&](const char *key, bool def) {
        return number(s, key, def ? 1 : 0) != 0.0;
    };
    o.DefVideoMode = toInt(number(s, "DefVideoMode", 2));
    o.CalibrationMandatory = flag("CalibrationMandatory", true);
    o.LeaveExcelOpen = flag("LeaveExcelOpen", true);
    o.DiscardAutotracked = flag("DiscardAutotracked", true);
    o.ShowAutoPath = flag("ShowAutoPath", true);
    o.StopAtDrop = flag("StopAtDrop", true);
    o.ShowExitMsg = flag("ShowExitMsg", true);
    o.DecDigits = toInt(number(s, "DecDigits", 2));
    o.TrackingMode = toInt(number(s, "TrackingMode", 16));
    o.CalibDist = static_cast<float>(number(s, "CalibDist", 100));
    o.CalibUnit = toInt(number(s, "CalibUnit", 2));
    o.AspectRatio = static_cast<float>(number(s, "AspectRatio", 1));

    const QString tr = QString::fromLatin1(kSectionTrace);
    t.Item = toInt(number(tr, "Item", 1));
    t.Size = toInt(number(tr, "Size", 1));
    t.LineWidth = toInt(number(tr, "LineWidth", 0));
    t.Color = toColor(number(tr, "Color", 255));
    t.BackColor = toColor(number(tr, "BackColor", 255));
    t.Filled = number(tr, "Filled", 0) != 0.0;
}

} // namespace shell
