// Calibration: the user states a distance of known length, its unit, the picture's aspect
// factor and the video frequency in the calibration dialog, then clicks the distance's two
// ends on the video. The calibration object turns image fractions into real coordinates
// from then on. This class is the dialog's logic and the clicks; the widget only shows it.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <optional>

namespace markers {

class MarkerController;

// Item number of the calibration marks (the points and the line between them).
inline constexpr int kCalibrationMarks = 1000;

// Named aspect factors of the aspect box, in its order.
inline constexpr float kAspectPal = 1.356337f;  // "DV-PAL"
inline constexpr float kAspectNtsc = 1.640625f; // "DV-NTSC"
inline constexpr float kAspectSquare = 1.0f;    // "1:1"

// The dialog's fields as texts and choices.
struct CalibrationForm {
    QString distance;     // txtCalibDist
    int unitIndex = 1;    // cboCalibDist: 0 "m", 1 "cm", 2 "mm"
    QString aspect;       // cboAspectRatio's text
    int aspectEntry = -1; // the entry of cboAspectRatio shown: 0 DV-PAL, 1 DV-NTSC, 2 1:1, -1 none
    QString frequency;    // txtHz
};

class Calibrator {
public:
    // What OK came to: accepted, or which field refuses (a beep and the focus there), or a
    // text that is no number (message 1627).
    enum class Outcome { Accepted, BadDistance, BadAspect, ZeroDistance, NotANumber };

    explicit Calibrator(MarkerController &markers);

    // Opening the dialog: the settings file's calibration keys become the values in memory,
    // the calibration marks are shown, and the form shows the values.
    CalibrationForm load();
    // OK: checks the form in its order; when it is accepted, writes the settings, prepares
    // the calibration object and waits for the two clicks. Nothing changes otherwise.
    Outcome accept(const CalibrationForm &form);
    // Whenever the dialog closes: the marks are hidden again.
    void unload();
    // A click on the video while calibrating, in image pixels.
    void SetCalibrationPoint(double x, double y);
    // A project reset: the calibration of the last video is no longer in force.
    void invalidate();

    // The aspect factor a text gives: a number, one of the words PAL, DVPAL, DV-PAL, NTSC,
    // DVNTSC, DV-NTSC, 1:1 in any case, or a ratio a:b; 0 when it is none of them.
    double aspectFactor(const QString &text) const;
    // A number typed by the user: the user's decimal separator or a period as the decimal
    // mark, no digit grouping; nothing when the text is no such number.
    std::optional<double> userNumber(const QString &text) const;
    // A value as the dialog shows it: up to 7 significant digits, the user's separator.
    QString numberText(double value) const;

    // The user's decimal separator (a test sets one).
    void setDecimalSeparator(const QString &separator) { m_separator = separator; }

private:
    void showMarks(bool visible);
    void drawMarks(int upTo);

    MarkerController &m_markers;
    QString m_separator;
};

} // namespace markers
