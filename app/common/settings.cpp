#include "app/common/settings.h"

#include "platform/profile.h"

#include <QFile>
#include <cmath>
#include <limits>

namespace common {

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

namespace {

// Every key of the two sections but `LCID`, once: the defaults live here and nowhere else.
// The tables run in the order the keys are written, so a new settings file lists them so.
struct IntKey {
    const char *key;
    int OrvaneSettings::*member;
    int def;
};
struct FlagKey {
    const char *key;
    bool OrvaneSettings::*member;
    bool def;
};
constexpr IntKey kVideoModeKey{"DefVideoMode", &OrvaneSettings::DefVideoMode, 2};
constexpr FlagKey kFlagKeys[] = {
    {"CalibrationMandatory", &OrvaneSettings::CalibrationMandatory, true},
    {"LeaveExcelOpen", &OrvaneSettings::LeaveExcelOpen, true},
    {"DiscardAutotracked", &OrvaneSettings::DiscardAutotracked, true},
    {"ShowAutoPath", &OrvaneSettings::ShowAutoPath, true},
    {"StopAtDrop", &OrvaneSettings::StopAtDrop, true},
    {"ShowExitMsg", &OrvaneSettings::ShowExitMsg, true},
};
// Not among the Options dialog's keys: its menu entry writes it alone (writePacingSetting), so
// an OK leaves the file's keys as they were.
constexpr FlagKey kPacingKey{"PlayAtRecordingSpeed", &OrvaneSettings::PlayAtRecordingSpeed, false};
// Not among the Options dialog's keys either: the exports read it when they run.
constexpr const char *kExportKinematicsKey = "ExportKinematics";
constexpr bool kExportKinematicsDefault = false;
constexpr IntKey kTrackingModeKey{"TrackingMode", &OrvaneSettings::TrackingMode, 16};
constexpr IntKey kDigitsKey{"DecDigits", &OrvaneSettings::DecDigits, 2};

struct TraceIntKey {
    const char *key;
    int TraceSettings::*member;
    int def;
};
struct TraceColorKey {
    const char *key;
    platform::COLORREF TraceSettings::*member;
    platform::COLORREF def;
};
constexpr TraceIntKey kTraceIntKeys[] = {{"Item", &TraceSettings::Item, 1},
                                         {"Size", &TraceSettings::Size, 1},
                                         {"LineWidth", &TraceSettings::LineWidth, 0}};
constexpr TraceColorKey kTraceColorKeys[] = {{"Color", &TraceSettings::Color, 255},
                                             {"BackColor", &TraceSettings::BackColor, 255}};
constexpr const char *kFilledKey = "Filled";

} // namespace

void readAllSettings(const QString &file, OrvaneSettings &o, TraceSettings &t) {
    const QString s = QString::fromLatin1(kSectionOrvane);
    auto number = [&](const QString &section, const char *key, double def) {
        return ReadIniNumber(section, QString::fromLatin1(key), def, file);
    };
    auto readInt = [&](const IntKey &k) {
        o.*k.member = toInt(number(s, k.key, k.def));
    };
    readInt(kVideoModeKey);
    for (const FlagKey &k : kFlagKeys)
        o.*k.member = number(s, k.key, k.def ? 1 : 0) != 0.0;
    o.*kPacingKey.member = number(s, kPacingKey.key, kPacingKey.def ? 1 : 0) != 0.0;
    readInt(kDigitsKey);
    readInt(kTrackingModeKey);

    const QString tr = QString::fromLatin1(kSectionTrace);
    for (const TraceIntKey &k : kTraceIntKeys)
        t.*k.member = toInt(number(tr, k.key, k.def));
    for (const TraceColorKey &k : kTraceColorKeys)
        t.*k.member = toColor(number(tr, k.key, k.def));
    t.Filled = number(tr, kFilledKey, 0) != 0.0;
}

bool writeAllSettings(const QString &file, const OrvaneSettings &o, const TraceSettings &t) {
    const QString s = QString::fromLatin1(kSectionOrvane);
    const QString tr = QString::fromLatin1(kSectionTrace);
    bool ok = true;
    auto write = [&](const QString &section, const char *key, double value) {
        ok = WriteIniValue(section, QString::fromLatin1(key), value, file) && ok;
    };
    write(s, kVideoModeKey.key, o.*kVideoModeKey.member);
    for (const FlagKey &k : kFlagKeys)
        write(s, k.key, o.*k.member ? 1 : 0);
    write(s, kTrackingModeKey.key, o.*kTrackingModeKey.member);
    write(s, kDigitsKey.key, o.*kDigitsKey.member);
    for (const TraceIntKey &k : kTraceIntKeys)
        write(tr, k.key, t.*k.member);
    for (const TraceColorKey &k : kTraceColorKeys)
        write(tr, k.key, t.*k.member);
    write(tr, kFilledKey, t.Filled ? 1 : 0);
    return ok;
}

CalibrationSettings readCalibrationSettings(const QString &file) {
    const QString s = QString::fromLatin1(kSectionOrvane);
    CalibrationSettings c;
    c.aspect = static_cast<float>(ReadIniNumber(s, QString::fromLatin1(kAspectRatioKey), 1, file));
    c.unit = toInt(ReadIniNumber(s, QString::fromLatin1(kCalibUnitKey), 2, file));
    c.distance =
        static_cast<float>(ReadIniNumber(s, QString::fromLatin1(kCalibDistKey), 100, file));
    return c;
}

bool writeCalibrationSettings(const QString &file, const CalibrationSettings &c) {
    const QString s = QString::fromLatin1(kSectionOrvane);
    bool ok = WriteIniValue(s, QString::fromLatin1(kAspectRatioKey), c.aspect, file);
    ok = WriteIniValue(s, QString::fromLatin1(kCalibUnitKey), c.unit, file) && ok;
    return WriteIniValue(s, QString::fromLatin1(kCalibDistKey), c.distance, file) && ok;
}

bool writeLanguageSetting(const QString &file, const QString &lcidText) {
    return WriteIniValue(QString::fromLatin1(kSectionOrvane), QString::fromLatin1(kLcidKey),
                         lcidText, file);
}

bool writePacingSetting(const QString &file, bool playAtRecordingSpeed) {
    return WriteIniValue(QString::fromLatin1(kSectionOrvane), QLatin1String(kPacingKey.key),
                         playAtRecordingSpeed ? 1 : 0, file);
}

bool readExportKinematicsSetting(const QString &file) {
    return ReadIniNumber(QString::fromLatin1(kSectionOrvane), QLatin1String(kExportKinematicsKey),
                         kExportKinematicsDefault ? 1 : 0, file) != 0.0;
}

bool writeExportKinematicsSetting(const QString &file, bool exportKinematics) {
    return WriteIniValue(QString::fromLatin1(kSectionOrvane), QLatin1String(kExportKinematicsKey),
                         exportKinematics ? 1 : 0, file);
}

} // namespace common
