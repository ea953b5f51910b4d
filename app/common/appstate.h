// The application's shared state: the globals set at start and by video loading, the
// in-memory settings and the calibration object kept for the whole run. One instance,
// reached through appState(); tests reset it with resetAppState().
#pragma once

#include "components/datalib/interfaces.h"
#include "platform/com.h"
#include "platform/wintypes.h"

#include <QColor>
#include <QString>
#include <array>

namespace common {

// Pictures one stored frame gives in a video mode (`VideoMode`): fields and the 100/120 Hz
// camera layouts two, the 200/240 Hz layout four, full frames one. A forced rate is the rate
// of the stored frames; the view's rate is that times these.
inline int picturesPerFrame(int videoMode) {
    switch (videoMode) {
    case 1: // fields
    case 3: // JVC 100/120 Hz
    case 4: // JVC 100/120 Hz, vertically separated
        return 2;
    case 5: // JVC 200/240 Hz
        return 4;
    default:
        return 1;
    }
}

// Section `Orvane` of the settings file (all but `LCID`, which takes effect at start only).
struct OrvaneSettings {
    int DefVideoMode = 2; // 0 full frames, 1 fields, 2 automatic
    bool CalibrationMandatory = true;
    bool LeaveExcelOpen = true;
    bool DiscardAutotracked = true;
    bool ShowAutoPath = true;
    bool StopAtDrop = true;
    bool ShowExitMsg = true;
    // Playing waits for each frame's time at the video's rate (the tracking pass still sees
    // every frame); off, frames follow as fast as they come, which suits tracking.
    bool PlayAtRecordingSpeed = false;
    int DecDigits = 2;
    int TrackingMode = 16; // 16 pattern matching, 32 marker tracking
    // The calibration keys are not here: the calibration dialog reads and writes them itself
    // (readCalibrationSettings) into the state's calibration values.
};

// Section `Trace`: appearance of marker paths.
struct TraceSettings {
    int Item = 1;                       // 1 lines, 2 rectangles, 3 circles, 6 crosshairs
    int Size = 1;                       // size of the path marks
    int LineWidth = 0;                  // twice the Options entry index: 0, 2, ..., 12
    platform::COLORREF Color = 255;     // 0x00BBGGRR, pure red
    platform::COLORREF BackColor = 255; // fill colour of filled marks
    bool Filled = false;
};

inline constexpr int kTrackingPatternMatching = 16;
inline constexpr int kTrackingMarkerTracking = 32;

// The 26 colours given to new markers, numbered 0 to 25.
inline constexpr int kMarkerColorCount = 26;

struct AppState {
    // Program directory with a trailing '/'.
    QString ProgramDir;
    QString IniFile;
    int TextBase = 0; // 0, 4000 or 8000
    platform::LCID UiLcid = 1031;
    // Full path of the help file for the interface language; empty when none is known.
    QString HelpFile;
    QString ExcelTemplateFile;
    QString SequenceInfoFile;
    std::array<QColor, kMarkerColorCount> MarkerColors{};

    // Video (set by video loading).
    QString VideoFile;
    int VideoMode = 0;
    int FrameCount = 0;
    // The picture count a sequence was opened with; 0 for a video opened on its own.
    int VideoFileCount = 0;
    float VideoFrameRate = 0.0f;
    int VideoWidth = 0;
    int VideoHeight = 0;
    bool NoVideo = true;
    bool VideoOpening = false;
    bool IsPlaying = false;
    bool LoopPlayback = false;
    bool ShiftDown = false;

    // Markers and tracking. What a left press on the picture does: -1 nothing (a calibration
    // is needed first), 1 create a marker, 2 a calibration point, 4 place the selected
    // hand-tracked marker, 5 a video was just opened (the next press switches to 1).
    int InteractionState = -1;
    bool VideoCalibrated = false;
    // The outcome of the last tracking pass; playback stops on them.
    bool MarkerLost = false;
    bool AllMarkersLost = false;

    // Calibration values in memory (`CalibDist`, `CalibUnit` 1 m / 2 cm / 3 mm, `AspectRatio`);
    // the calibration dialog replaces them from the settings file when it opens.
    float CalibDistance = 100.0f;
    int CalibUnit = 2;
    float AspectFactor = 1.3563370f;
    // Which reference point the next calibration click sets: 0 or 1.
    int CalibPointIndex = 0;

    // The 2-D calibration object, owned for the whole run; may be null when the data
    // library could not make one.
    platform::ComPtr<datalib::TalvorCal2D> Calibration;

    OrvaneSettings settings;
    TraceSettings trace;
};

AppState &appState();
// Back to the start values of a fresh process (for tests and the start procedure).
void resetAppState();

// The 26 start colours of `MarkerColors`, in order.
std::array<QColor, kMarkerColorCount> defaultMarkerColors();

} // namespace common
