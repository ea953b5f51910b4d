#include "app/batch/batchtrack.h"

#include "app/batch/headlesswindow.h"
#include "app/common/settings.h"
#include "app/markers/spreadsheetexport.h"
#include "app/project/projectfile.h"
#include "app/shell/startup.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <map>

namespace batch {

namespace {

using markers::Channel;

// The project's data with every automatically tracked marker switched to `mode`: its whole
// track-method channel (the pass reads it at the frame it tracks into, the open at the
// marker's last point, where it teaches the engine) and its row's picture. A marker is
// tracked automatically when its `AutoTrack` at frame 0 is 1.0, the rule the table's popup
// and the project's rows use; hand-tracked markers stay as they are.
void switchEngine(project::ProjectData &data, int mode) {
    std::map<int, bool> automatic;
    // The newest group of a number is the one that counts, as when the data is put back.
    for (const project::Channel &c : data.channels)
        if (c.set == markers::kDataSetState1 && c.component == 1) {
            const long long at = -static_cast<long long>(c.firstFrame);
            automatic[c.marker] = at >= 0 && at < static_cast<long long>(c.values.size()) &&
                                  c.values[std::size_t(at)] == 1.0f;
        }
    for (project::Channel &c : data.channels)
        if (c.set == markers::kDataSetState2 && c.component == 0 && automatic[c.marker])
            std::fill(c.values.begin(), c.values.end(), static_cast<float>(mode));
    for (project::TableRow &r : data.rows)
        if (automatic[r.number])
            r.icon = static_cast<int>(mode == common::kTrackingMarkerTracking
                                          ? markers::MarkerIcon::MarkerTracking
                                          : markers::MarkerIcon::PatternMatching);
}

// The pass tried to track the marker into frame f and failed: it had a point in the frame
// before, has none in this one and is tracked automatically by an engine (the pass's own
// condition for a tracking step, read after it ran).
bool lostAt(const markers::MarkerChannels &ch, int f) {
    if (f <= 0 || ch.get(Channel::PointStatus, f - 1) != 1.0f ||
        ch.get(Channel::PointStatus, f) != 0.0f || ch.get(Channel::AutoTrack, f) != 1.0f)
        return false;
    const float mode = ch.get(Channel::TrackMode, f);
    return mode == float(common::kTrackingPatternMatching) ||
           mode == float(common::kTrackingMarkerTracking);
}

QString joined(const std::vector<QString> &messages) {
    QStringList list;
    for (const QString &m : messages)
        list << m;
    return list.join(QStringLiteral("; "));
}

} // namespace

std::optional<ExportFormat> exportFormatOf(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"txt")
        return ExportFormat::Text;
    if (suffix == u"xlsx")
        return ExportFormat::Spreadsheet;
    return std::nullopt;
}

QString usageText() {
    return QStringLiteral(
        "Usage: orvane-track PROJECT.oxp [--engine pattern|marker] [--to N]\n"
        "                    --export OUT.txt|OUT.xlsx [--kinematics] [--settings FILE]\n"
        "\n"
        "Tracks the markers of an Orvane project without a window, with the application's\n"
        "engines and tracking pass, from the first frame holding a stored point of any marker\n"
        "to the last frame of the video, one pass per frame in order. Then saves the project\n"
        "in place and writes the export.\n"
        "\n"
        "Options:\n"
        "  --engine pattern|marker  every automatically tracked marker is tracked by pattern\n"
        "                           matching or by marker tracking, and is saved so; markers\n"
        "                           tracked by hand stay as they are. Without it each marker\n"
        "                           keeps its own engine.\n"
        "  --to N                   track up to frame N (frames count from 0; beyond the\n"
        "                           video's last frame means the last frame).\n"
        "  --export FILE            the export: .txt the text export (tab-separated UTF-8),\n"
        "                           .xlsx the spreadsheet export. Decimal separator: \".\".\n"
        "  --kinematics             the velocity and acceleration columns, whatever the\n"
        "                           ExportKinematics setting says.\n"
        "  --settings FILE          the settings file to read instead of the application's\n"
        "                           (Orvane.INI); a file that does not exist means defaults.\n"
        "  --help, --version        this text, the version.\n"
        "\n"
        "Progress, lost markers and a summary go to standard error.\n"
        "\n"
        "Exit codes:\n"
        "  0  done: every marker tracked to the end frame\n"
        "  1  error: the project or its video cannot be opened, or saving or exporting\n"
        "     failed (a failed save leaves the project file as it was)\n"
        "  2  bad command line\n"
        "  3  markers lost: the run went to the end, at least one marker was lost; the\n"
        "     project is saved and the export written all the same\n");
}

CommandLine parseCommandLine(const QStringList &arguments) {
    CommandLine result;
    Options o;
    bool haveExport = false;
    QStringList positional;
    const auto refuse = [&result](const QString &why) {
        result.error = why;
        return result;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            value = arg.mid(arg.indexOf(u'=') + 1);
            arg = arg.left(arg.indexOf(u'='));
            inlineValue = true;
        }
        const auto takeValue = [&](QString *out) {
            if (inlineValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            *out = arguments[++i];
            return true;
        };
        if (arg == u"--help" || arg == u"-h") {
            result.help = true;
        } else if (arg == u"--version") {
            result.version = true;
        } else if (arg == u"--engine") {
            QString name;
            if (!takeValue(&name))
                return refuse(QStringLiteral("--engine needs pattern or marker"));
            if (name == u"pattern")
                o.engine = Engine::PatternMatching;
            else if (name == u"marker")
                o.engine = Engine::MarkerTracking;
            else
                return refuse(
                    QStringLiteral("unknown engine \"%1\" (pattern or marker)").arg(name));
        } else if (arg == u"--to") {
            QString number;
            if (!takeValue(&number))
                return refuse(QStringLiteral("--to needs a frame number"));
            bool ok = false;
            const int n = number.toInt(&ok);
            if (!ok || n < 0)
                return refuse(
                    QStringLiteral("--to needs a frame number from 0, not \"%1\"").arg(number));
            o.to = n;
        } else if (arg == u"--export") {
            if (!takeValue(&o.exportPath) || o.exportPath.isEmpty())
                return refuse(QStringLiteral("--export needs a file name"));
            haveExport = true;
        } else if (arg == u"--settings") {
            if (!takeValue(&o.settingsFile) || o.settingsFile.isEmpty())
                return refuse(QStringLiteral("--settings needs a file name"));
        } else if (arg == u"--kinematics" && !inlineValue) {
            o.kinematics = true;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            return refuse(QStringLiteral("unknown option %1").arg(arguments[i]));
        } else {
            positional << arguments[i];
        }
    }
    if (result.help || result.version)
        return result;
    if (positional.size() != 1)
        return refuse(positional.isEmpty() ? QStringLiteral("no project named")
                                           : QStringLiteral("more than one project named"));
    o.project = positional.front();
    if (!haveExport)
        return refuse(QStringLiteral("--export is missing"));
    const std::optional<ExportFormat> format = exportFormatOf(o.exportPath);
    if (!format)
        return refuse(QStringLiteral("the export must end in .txt or .xlsx: %1").arg(o.exportPath));
    o.format = *format;
    result.options = o;
    return result;
}

Outcome run(const Options &o, const Reporter &reporter) {
    Outcome out;
    const auto fail = [&out](const QString &why) {
        out.exitCode = kExitError;
        out.error = why;
        return out;
    };

    // Everything that can be refused is refused before the first frame is tracked.
    project::ReadError readError = project::ReadError::None;
    QString detail;
    std::optional<project::ProjectData> data =
        project::ProjectFile::read(o.project, &readError, &detail);
    if (!data) {
        switch (readError) {
        case project::ReadError::NewerVersion:
            return fail(QStringLiteral("%1 was written by a newer Orvane").arg(o.project));
        case project::ReadError::NotAProject:
            return fail(QStringLiteral("%1 is not an Orvane project or is damaged (%2)")
                            .arg(o.project, detail));
        default:
            return fail(
                QStringLiteral("cannot open the project %1 (%2)")
                    .arg(o.project, detail.isEmpty() ? QStringLiteral("unreadable") : detail));
        }
    }
    if (data->rows.empty())
        return fail(QStringLiteral("the project %1 has no markers").arg(o.project));
    if (!data->hasVideo)
        return fail(QStringLiteral("the project %1 has no video").arg(o.project));
    const QFileInfo exportFile(o.exportPath);
    if (!QFileInfo(exportFile.absolutePath()).isDir())
        return fail(QStringLiteral("the folder of the export %1 does not exist").arg(o.exportPath));
    if (o.format == ExportFormat::Spreadsheet &&
        QFileInfo::exists(markers::SpreadsheetExport::lockFileOf(o.exportPath)))
        return fail(
            QStringLiteral("the export %1 is open in a spreadsheet program").arg(o.exportPath));
    if (o.engine != Engine::Own)
        switchEngine(*data, o.engine == Engine::MarkerTracking ? common::kTrackingMarkerTracking
                                                               : common::kTrackingPatternMatching);

    // The state the start procedure leaves, in English: texts, and "." in the exports.
    common::AppState state;
    state.TextBase = 4000;
    state.UiLcid = 1033;
    state.IniFile = o.settingsFile;
    state.MarkerColors = common::defaultMarkerColors();
    // The start procedure's calibration object; a project's calibration is put into it.
    state.Calibration = shell::newCalibration();
    HeadlessWindow window(state);
    markers::MarkerController &work = window.markerWork();

    // Opened as File > Open does it, the video looked for where the project says.
    window.dialogs.take();
    window.projects().apply(*data, QFileInfo(o.project).absolutePath());
    const std::vector<QString> told = window.dialogs.take();
    const QString video =
        data->video.absolutePath.isEmpty() ? data->video.relativePath : data->video.absolutePath;
    if (state.NoVideo || !told.empty() || window.workingView().AVINumberOfFrames() < 1)
        return fail(
            QStringLiteral("cannot open the video %1 of the project %2%3")
                .arg(video, o.project,
                     told.empty() ? QString() : QStringLiteral(" (") + joined(told) + u')'));

    int first = INT_MAX;
    for (int row = 0; row < window.rowCount(); ++row) {
        const markers::MarkerChannels ch =
            work.store.bind(work.table.markerNumberOfRow(row), {Channel::PointStatus});
        for (int f = 0; f < ch.length(Channel::PointStatus) && f < first; ++f)
            if (ch.get(Channel::PointStatus, f) == 1.0f) {
                first = f;
                break;
            }
    }
    const int videoLast = window.scrollMaximum();
    if (first == INT_MAX)
        return fail(QStringLiteral("no marker of the project %1 has a point").arg(o.project));
    if (first > videoLast)
        return fail(QStringLiteral("the markers of %1 begin after the last frame of the video")
                        .arg(o.project));
    const int last = std::max(first, o.to ? std::min(*o.to, videoLast) : videoLast);
    out.first = first;
    out.last = last;
    out.markers = window.rowCount();

    // Played as the play loop does: the first frame shown, then one frame step at a time.
    window.setScrollValue(first);
    if (reporter.progress)
        reporter.progress(first, first, last);
    for (int f = first + 1; f <= last; ++f) {
        window.setScrollValue(f);
        ++out.frames;
        if (state.MarkerLost)
            for (int row = 0; row < window.rowCount(); ++row) {
                const platform::LONG marker = work.table.markerNumberOfRow(row);
                if (!lostAt(work.store.bind(marker), f))
                    continue;
                out.losses.push_back({window.rowText(row), f});
                if (reporter.lost)
                    reporter.lost(out.losses.back());
            }
        if (reporter.progress)
            reporter.progress(f, first, last);
    }
    // The run's message boxes (none are expected) are not the save's.
    window.dialogs.take();

    if (!window.projects().save(o.project))
        return fail(QStringLiteral("cannot save the project %1 (%2); the file is as it was")
                        .arg(o.project, joined(window.dialogs.take())));
    const bool withKinematics =
        o.kinematics ||
        (!state.IniFile.isEmpty() && common::readExportKinematicsSetting(state.IniFile));
    QString error;
    const bool exported = o.format == ExportFormat::Text
                              ? work.textExport.write(o.exportPath, withKinematics, &error)
                              : work.spreadsheetExport.write(o.exportPath, withKinematics, &error);
    if (!exported)
        return fail(QStringLiteral("cannot write the export %1 (%2)").arg(o.exportPath, error));
    out.exitCode = out.losses.empty() ? kExitDone : kExitMarkersLost;
    return out;
}

} // namespace batch
