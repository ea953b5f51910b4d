// Batch tracking: a project's markers tracked headless from their first stored point to the
// end of the video (or a given frame), one tracking pass per frame in order, as playing it in
// the main window does; then the project saved in place and the export written. The program
// `orvane-track` is this library behind a command line.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace batch {

// Exit codes of `orvane-track`.
inline constexpr int kExitDone = 0;        // every marker tracked to the end frame
inline constexpr int kExitError = 1;       // nothing done, or saving or exporting failed
inline constexpr int kExitUsage = 2;       // a bad command line
inline constexpr int kExitMarkersLost = 3; // went to the end; at least one marker was lost

// Which engine the automatically tracked markers use for the run.
enum class Engine { Own, PatternMatching, MarkerTracking };
enum class ExportFormat { Text, Spreadsheet };

struct Options {
    QString project;
    Engine engine = Engine::Own;
    std::optional<int> to; // the last frame to track (frame numbers from 0); none: the last
    QString exportPath;
    ExportFormat format = ExportFormat::Text;
    bool kinematics = false; // the kinematics columns whatever the settings file says
    // The application's settings file (its tracking and export settings); empty: defaults.
    QString settingsFile;
};

struct CommandLine {
    std::optional<Options> options; // set when the run may go ahead
    bool help = false;
    bool version = false;
    QString error; // why the command line was refused
};

// The arguments after the program's name.
CommandLine parseCommandLine(const QStringList &arguments);
// The --help text.
QString usageText();
// The export's format by the file's suffix (case ignored); none for any other suffix.
std::optional<ExportFormat> exportFormatOf(const QString &path);

struct Loss {
    QString marker; // the row's name
    int frame = 0;
};

struct Outcome {
    int exitCode = kExitError;
    QString error;  // with kExitError: what failed, one line
    int first = 0;  // the first frame with a stored point
    int last = 0;   // the last frame tracked into
    int frames = 0; // passes run after the first frame
    int markers = 0;
    std::vector<Loss> losses;
};

// What a run reports while it goes.
struct Reporter {
    // After the pass at `frame`, every frame from `first` to `last`.
    std::function<void(int frame, int first, int last)> progress;
    std::function<void(const Loss &loss)> lost;
};

// Tracks, saves and exports as the options say. Needs a QApplication; shows nothing.
Outcome run(const Options &options, const Reporter &reporter = {});

} // namespace batch
