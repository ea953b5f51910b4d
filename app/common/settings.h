// Reading and writing the settings file (private-profile INI) and the number rules that
// every numeric setting goes through.
#pragma once

#include "app/common/appstate.h"

#include <QString>
#include <QStringView>

namespace common {

inline constexpr const char *kSectionOrvane = "Orvane";
inline constexpr const char *kSectionTrace = "Trace";
// Keys read and written outside the two tables of settings.cpp: the language, read at
// start, and the calibration keys, which the calibration dialog reads and writes itself.
inline constexpr const char *kLcidKey = "LCID";
inline constexpr const char *kCalibDistKey = "CalibDist";
inline constexpr const char *kCalibUnitKey = "CalibUnit";
inline constexpr const char *kAspectRatioKey = "AspectRatio";

// Reads with a 300-character buffer; the result is cut at the first NUL. A missing file or
// key gives `def`; an empty stored value gives "".
QString ReadIniString(const QString &section, const QString &key, const QString &def,
                      const QString &file);

// The default is turned into text (at most 30 characters), the stored text is read with
// ReadIniString and converted with the leading-number rule: a damaged value reads as 0.
double ReadIniNumber(const QString &section, const QString &key, double def, const QString &file);

// Writes the value as text with surrounding blanks trimmed. Returns false when the file
// could not be written.
bool WriteIniValue(const QString &section, const QString &key, double value, const QString &file);
bool WriteIniValue(const QString &section, const QString &key, const QString &value,
                   const QString &file);

// The leading-number rule: blanks, tabs and line feeds are ignored anywhere; the number is
// read up to the first character that cannot continue it (period as decimal point, an
// optional exponent, "&H" hexadecimal and "&O" octal); text without a leading number is 0.
double leadingNumber(QStringView text);

// True when the whole text, blanks aside, is one number in that form (a "numeric" text).
bool isNumericText(QStringView text);

// A number as the settings file stores it: integers without a decimal point, others with
// up to 15 significant digits and a period.
QString numberText(double value);

// "0" for digits <= 0, else "0." and that many zeros.
QString DecimalMask(int digits);

// Rounds half to even (the rounding of every integer conversion of a setting).
int roundHalfEven(double value);

// Reads every key of the sections `Orvane` (but `LCID` and the calibration keys) and `Trace`
// into `orvane` / `trace`.
void readAllSettings(const QString &file, OrvaneSettings &orvane, TraceSettings &trace);

// Writes the keys the Options dialog owns: section `Orvane` but `LCID` and the three
// calibration keys, and all of `Trace`. False when any write failed (all are still tried).
bool writeAllSettings(const QString &file, const OrvaneSettings &orvane,
                      const TraceSettings &trace);

// The calibration dialog's keys, with the defaults it reads them with.
struct CalibrationSettings {
    float distance = 100.0f; // `CalibDist`, in the unit
    int unit = 2;            // `CalibUnit`: 1 m, 2 cm, 3 mm
    float aspect = 1.0f;     // `AspectRatio`: the picture's real width over its real height
};
CalibrationSettings readCalibrationSettings(const QString &file);
bool writeCalibrationSettings(const QString &file, const CalibrationSettings &calibration);

// Writes `LCID` as the given text ("0x0407", "0x0409"; empty for none).
bool writeLanguageSetting(const QString &file, const QString &lcidText);
// Writes `PlayAtRecordingSpeed` alone, as its menu entry changes it.
bool writePacingSetting(const QString &file, bool playAtRecordingSpeed);

// `ExportKinematics` (section `Orvane`, 1 / 0, default 0): the text and spreadsheet exports
// add each marker's velocities and accelerations. Not among the Options dialog's keys; the
// exports read it when they run.
bool readExportKinematicsSetting(const QString &file);
bool writeExportKinematicsSetting(const QString &file, bool exportKinematics);

} // namespace common
