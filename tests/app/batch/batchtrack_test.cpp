// Batch tracking on generated clips: the library and the `orvane-track` program against the
// application's marker controller playing the same project frame by frame through the same
// pass (the export byte for byte, the saved channels bit for bit), lost markers, and every
// way a run is refused.
#include "markersfixture.h"

#include "app/batch/batchtrack.h"
#include "app/markers/markercontroller.h"
#include "app/project/projectfile.h"
#include "tests/support/clips.h"
#include "tests/support/discs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

namespace {

using markers::Channel;

constexpr int kFrames = 40;
constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Two alike discs moving at sub-pixel steps, far enough apart never to be confused.
QPointF discA(int f) {
    return {50 + 1.63 * f, 60 + 1.07 * f};
}
QPointF discB(int f) {
    return {270 - 1.52 * f, 190 - 1.21 * f};
}

// A lossless grey clip (FFV1 in AVI) of bright discs on a dark ground, made with ffmpeg.
bool writeClip(const QString &file, const std::vector<DiscPath> &discs) {
    testsupport::RawClip clip(file.toStdString(), "gray", kWidth, kHeight, 25, "-c:v ffv1");
    for (int f = 0; f < kFrames; ++f) {
        std::vector<QPointF> centres;
        for (const DiscPath &disc : discs)
            if (const auto c = disc(f))
                centres.push_back(*c);
        const QImage grey = testsupport::discPicture(QSize(kWidth, kHeight), centres, 8.0)
                                .convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < kHeight; ++y)
            if (!clip.write(grey.constScanLine(y), kWidth))
                return false;
    }
    return clip.finish();
}

// The application's marker work on a test window, with the real engines: the video opened
// in its view as loading leaves it, frames stepped as the frame change does.
struct Application {
    explicit Application(const QString &clip) {
        state.TextBase = 4000;
        state.UiLcid = 1033;
        state.MarkerColors = common::defaultMarkerColors();
        state.settings.CalibrationMandatory = false;
        state.Calibration = makeCalibration();
        objects.patternMatcher = markers::createPatternMatcher(state.UiLcid);
        objects.markerTracker = markers::createMarkerTracker(state.UiLcid);
        objects.graphicItems = markers::createGraphicItems();
        markers::createDataSets(objects);
        controller = std::make_unique<markers::MarkerController>(host, state, objects);
        controller->table.setDecimalSeparator(QStringLiteral("."));
        EXPECT_EQ(host.view.AVIOpen(clip.toStdString(), 0), 0);
        state.VideoFile = clip;
        state.VideoWidth = host.view.AVIWidth();
        state.VideoHeight = host.view.AVIHeight();
        state.FrameCount = host.view.AVINumberOfFrames();
        state.VideoFrameRate = host.view.AVIFrameRate();
        state.NoVideo = false;
        state.InteractionState = 5;
        host.maximum = state.FrameCount - 1;
        step(0);
    }
    void step(int frame) {
        host.value = frame;
        host.view.SetAVIFrame(frame);
        controller->pass.UpdateFrameMarkers();
    }
    // A marker pressed on the disc's centre and sized to `radius`, tracked by `mode`.
    void create(QPointF centre, double radius, int mode) {
        state.settings.TrackingMode = mode;
        markers::MarkerMouse &mouse = controller->mouse;
        mouse.SpecialMouseDown(markers::kLeft, 0, 0, centre.x(), centre.y());
        mouse.SpecialMouseMove(markers::kLeft, 0, 0, centre.x() + radius, centre.y());
        mouse.SpecialMouseUp(markers::kLeft, 0, 0, centre.x() + radius, centre.y());
    }
    // The project as the program saves it: the video part and the markers' part.
    project::ProjectData capture(const QString &projectFolder) const {
        project::ProjectData d;
        d.hasVideo = true;
        d.video.absolutePath = state.VideoFile;
        d.video.relativePath = QDir(projectFolder).relativeFilePath(state.VideoFile);
        d.video.frameRate = state.VideoFrameRate;
        d.video.frameCount = state.FrameCount;
        d.video.width = state.VideoWidth;
        d.video.height = state.VideoHeight;
        d.video.frame = host.value;
        controller->project.capture(d);
        return d;
    }
    // Opened as File > Open puts a project in place: the table and channels, the saved frame
    // shown without tracking, the engines taught at each marker's last point.
    void open(const project::ProjectData &d) {
        controller->project.restore(d);
        controller->pass.setTrackingEnabled(false);
        step(d.video.frame);
        controller->project.rebuild();
        controller->pass.setTrackingEnabled(true);
    }

    FakeMarkersHost host;
    common::AppState state;
    markers::MarkerObjects objects;
    std::unique_ptr<markers::MarkerController> controller;
};

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The values of one channel of a saved project, by set and component.
std::vector<float> savedChannel(const project::ProjectData &d, int set, int marker, int component) {
    std::vector<float> values;
    for (const project::Channel &c : d.channels)
        if (c.set == set && c.marker == marker && c.component == component)
            values = c.values;
    return values;
}

struct ProcessResult {
    int exitCode = -1;
    QByteArray out, err;
};

// The program with its own settings file (none yet: the defaults), so that what a developer
// set in the build tree's Orvane.INI (say ExportKinematics) never reaches the tests.
ProcessResult runProgram(const QStringList &arguments, const QString &settingsFile) {
    QProcess p;
    p.start(QStringLiteral(ORVANE_TRACK), arguments + QStringList{"--settings", settingsFile});
    ProcessResult r;
    if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

class BatchTrackTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    ProcessResult runProgram(const QStringList &arguments) const {
        return ::runProgram(arguments, path("Orvane.INI"));
    }

    // A project of `discs` with a pattern-matching marker on the first disc, placed at frame
    // 2, and a marker-tracking one on the second, placed at frame 4; saved at frame 4.
    QString makeProject(const std::vector<DiscPath> &discs, const QString &name = "take.oxp") {
        const QString clip = path("take.avi");
        if (!QFileInfo::exists(clip)) {
            EXPECT_TRUE(writeClip(clip, discs));
        }
        Application app(clip);
        app.step(2);
        app.create(*discs[0](2), 12, common::kTrackingPatternMatching);
        app.step(3);
        app.step(4);
        app.create(*discs[1](4), 10, common::kTrackingMarkerTracking);
        EXPECT_EQ(app.host.rowCount(), 2);
        app.host.setRowText(0, QStringLiteral("Hip"));
        app.host.setRowText(1, QStringLiteral("Knee"));
        QString error;
        EXPECT_TRUE(project::ProjectFile::write(path(name), app.capture(m_dir.path()), &error))
            << error.toStdString();
        return path(name);
    }

    // What the application gives for the same project played from its first point to
    // `last`: the text export and the project as it then stands.
    struct Reference {
        QString text;
        project::ProjectData data;
    };
    Reference play(const QString &projectFile, int first, int last, bool kinematics) {
        project::ReadError error = project::ReadError::None;
        const auto saved = project::ProjectFile::read(projectFile, &error);
        EXPECT_TRUE(saved);
        Application app(saved->video.absolutePath);
        app.open(*saved);
        for (int f = first; f <= last; ++f)
            app.step(f);
        return {markers::TextExport::text(app.controller->textExport.table(kinematics),
                                          QStringLiteral(".")),
                app.capture(m_dir.path())};
    }

    static std::vector<DiscPath> bothDiscs() {
        return {[](int f) { return std::optional(discA(f)); },
                [](int f) {
                    return std::optional(discB(f));
                }};
    }

    QTemporaryDir m_dir;
};

TEST_F(BatchTrackTest, TracksSavesAndExportsWhatPlayingInTheApplicationGives) {
    const QString project = makeProject(bothDiscs());
    batch::Options o;
    o.project = project;
    o.exportPath = path("out.txt");
    std::vector<int> progress;
    batch::Reporter reporter;
    reporter.progress = [&](int frame, int, int) {
        progress.push_back(frame);
    };
    const batch::Outcome outcome = batch::run(o, reporter);
    ASSERT_EQ(outcome.exitCode, batch::kExitDone) << outcome.error.toStdString();
    EXPECT_EQ(outcome.first, 2);
    EXPECT_EQ(outcome.last, kFrames - 1);
    EXPECT_TRUE(outcome.losses.empty());
    ASSERT_EQ(progress.size(), std::size_t(kFrames - 2));
    EXPECT_EQ(progress.front(), 2);
    EXPECT_EQ(progress.back(), kFrames - 1);

    const Reference app = play(project, 2, kFrames - 1, false);
    EXPECT_EQ(readAll(o.exportPath), app.text.toUtf8());

    // The saved project holds the tracked points, bit for bit the application's, and opens.
    project::ReadError error = project::ReadError::None;
    const auto saved = project::ProjectFile::read(project, &error);
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->rows.size(), 2u);
    for (int marker : {1, 2}) {
        const auto status = savedChannel(*saved, markers::kDataSetState0, marker, 0);
        ASSERT_EQ(status.size(), std::size_t(kFrames));
        EXPECT_EQ(status[kFrames - 1], 1.0f) << marker;
        for (int component : {0, 1})
            EXPECT_EQ(savedChannel(*saved, markers::kDataSetRaw, marker, component),
                      savedChannel(app.data, markers::kDataSetRaw, marker, component))
                << marker;
    }
    // The tracked values are the discs' centres.
    const auto x = savedChannel(*saved, markers::kDataSetRaw, 1, 0);
    EXPECT_NEAR(x[kFrames - 1] * kWidth, discA(kFrames - 1).x(), 0.5);
    EXPECT_EQ(saved->video.relativePath, QStringLiteral("take.avi"));
}

TEST_F(BatchTrackTest, TheProgramTracksToTheEndWithKinematicsAndReportsOnStandardError) {
    const QString project = makeProject(bothDiscs());
    const Reference app = play(project, 2, kFrames - 1, true);
    const QString out = path("out.txt");
    // A frame beyond the end means the last one.
    const ProcessResult r = runProgram({project, "--to", "5000", "--export", out, "--kinematics"});
    EXPECT_EQ(r.exitCode, batch::kExitDone) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("orvane-track: frame 2 of 39 (0%)")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("orvane-track: frame 39 of 39 (100%)")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("lost at"));
    EXPECT_TRUE(r.err.contains("0 lost; project saved")) << r.err.toStdString();
    const QByteArray text = readAll(out);
    EXPECT_EQ(text, app.text.toUtf8());
    const QByteArray header = text.left(text.indexOf('\n'));
    EXPECT_TRUE(header.contains("Hip Vx (px/s)\tHip Vy (px/s)\tHip Speed (px/s)"));
    EXPECT_TRUE(header.contains("Knee Acc (px/s\xC2\xB2)"));
}

TEST_F(BatchTrackTest, UpToAGivenFrameAndIntoASpreadsheet) {
    const QString project = makeProject(bothDiscs());
    batch::Options o;
    o.project = project;
    o.to = 20;
    o.exportPath = path("out.xlsx");
    o.format = batch::ExportFormat::Spreadsheet;
    const batch::Outcome outcome = batch::run(o);
    ASSERT_EQ(outcome.exitCode, batch::kExitDone) << outcome.error.toStdString();
    EXPECT_EQ(outcome.last, 20);
    EXPECT_EQ(outcome.frames, 18);
    EXPECT_TRUE(readAll(o.exportPath).startsWith("PK"));
    project::ReadError error = project::ReadError::None;
    const auto saved = project::ProjectFile::read(project, &error);
    ASSERT_TRUE(saved);
    const auto status = savedChannel(*saved, markers::kDataSetState0, 1, 0);
    EXPECT_EQ(status.at(20), 1.0f);
    EXPECT_EQ(status.at(21), 0.0f);
}

TEST_F(BatchTrackTest, ALostMarkerGoesOnToTheEndAndExitsWithThree) {
    // The second disc leaves the picture at frame 25.
    const QString project =
        makeProject({[](int f) { return std::optional(discA(f)); },
                     [](int f) {
                         return f < 25 ? std::optional(discB(f)) : std::optional<QPointF>();
                     }});
    const QString out = path("out.txt");
    const ProcessResult r = runProgram({project, "--export", out});
    EXPECT_EQ(r.exitCode, batch::kExitMarkersLost) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("orvane-track: marker \"Knee\" lost at frame 25"))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count("lost at"), 1);
    // The export is written all the same; the other marker is tracked to the end.
    const QList<QByteArray> lines = readAll(out).split('\n');
    ASSERT_GE(lines.size(), kFrames + 1);
    const QList<QByteArray> lastRow = lines[kFrames].split('\t');
    ASSERT_EQ(lastRow.size(), 8);
    EXPECT_FALSE(lastRow[2].isEmpty());
    EXPECT_TRUE(lastRow[5].isEmpty());
    EXPECT_FALSE(lines[24].split('\t')[5].isEmpty());
}

TEST_F(BatchTrackTest, AFailedSaveLeavesTheProjectAsItWasAndWritesNoExport) {
    const QString project = makeProject(bothDiscs());
    const QByteArray before = readAll(project);
    // A folder where the save puts its new database: the save cannot begin.
    ASSERT_TRUE(QDir().mkpath(path(".take.oxp.saving-%1").arg(QCoreApplication::applicationPid())));
    batch::Options o;
    o.project = project;
    o.exportPath = path("out.txt");
    const batch::Outcome outcome = batch::run(o);
    EXPECT_EQ(outcome.exitCode, batch::kExitError);
    EXPECT_TRUE(outcome.error.startsWith("cannot save the project")) << outcome.error.toStdString();
    EXPECT_EQ(readAll(project), before);
    EXPECT_FALSE(QFileInfo::exists(o.exportPath));
}

TEST_F(BatchTrackTest, AnEngineForTheRunSwitchesTheAutomaticMarkersOnly) {
    const QString project = makeProject(bothDiscs());
    batch::Options o;
    o.project = project;
    o.engine = batch::Engine::PatternMatching;
    o.to = 10;
    o.exportPath = path("out.txt");
    ASSERT_EQ(batch::run(o).exitCode, batch::kExitDone);
    project::ReadError error = project::ReadError::None;
    const auto saved = project::ProjectFile::read(project, &error);
    ASSERT_TRUE(saved);
    for (int marker : {1, 2})
        for (float mode : savedChannel(*saved, markers::kDataSetState2, marker, 0))
            ASSERT_EQ(mode, float(common::kTrackingPatternMatching)) << marker;
    EXPECT_EQ(saved->rows[1].icon, int(markers::MarkerIcon::PatternMatching));
    EXPECT_EQ(savedChannel(*saved, markers::kDataSetState0, 2, 0).at(10), 1.0f);
}

TEST_F(BatchTrackTest, BadCommandLinesAreRefused) {
    using batch::parseCommandLine;
    const auto refused = [](const QStringList &args) {
        const batch::CommandLine c = parseCommandLine(args);
        return !c.options && !c.help && !c.version && !c.error.isEmpty();
    };
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused({"p.oxp"}));                        // no export
    EXPECT_TRUE(refused({"p.oxp", "--export", "out.csv"})); // unknown format
    EXPECT_TRUE(refused({"p.oxp", "--export"}));            // no file
    EXPECT_TRUE(refused({"p.oxp", "--export", "o.txt", "--to", "-1"}));
    EXPECT_TRUE(refused({"p.oxp", "--export", "o.txt", "--to", "ten"}));
    EXPECT_TRUE(refused({"p.oxp", "--export", "o.txt", "--to"}));
    EXPECT_TRUE(refused({"p.oxp", "--export", "o.txt", "--engine", "fast"}));
    EXPECT_TRUE(refused({"p.oxp", "--export", "o.txt", "--speed"}));
    EXPECT_TRUE(refused({"p.oxp", "q.oxp", "--export", "o.txt"}));

    const batch::CommandLine c = parseCommandLine(
        {"--engine=marker", "p.oxp", "--to", "12", "--export", "O.XLSX", "--kinematics"});
    ASSERT_TRUE(c.options) << c.error.toStdString();
    EXPECT_EQ(c.options->project, QStringLiteral("p.oxp"));
    EXPECT_EQ(c.options->engine, batch::Engine::MarkerTracking);
    EXPECT_EQ(c.options->to, 12);
    EXPECT_EQ(c.options->format, batch::ExportFormat::Spreadsheet);
    EXPECT_TRUE(c.options->kinematics);
    EXPECT_TRUE(c.options->settingsFile.isEmpty()) << "the application's, found by the program";
    EXPECT_TRUE(refused({"p.oxp", "--export", "o.txt", "--settings"}));
    const batch::CommandLine own =
        parseCommandLine({"p.oxp", "--export", "o.txt", "--settings", "lab.ini"});
    ASSERT_TRUE(own.options) << own.error.toStdString();
    EXPECT_EQ(own.options->settingsFile, QStringLiteral("lab.ini"));
    EXPECT_TRUE(parseCommandLine({"--help"}).help);

    const ProcessResult r = runProgram({"p.oxp", "--export", "out.csv"});
    EXPECT_EQ(r.exitCode, batch::kExitUsage);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("Usage: orvane-track")) << r.err.toStdString();
    const ProcessResult help = runProgram({"--help"});
    EXPECT_EQ(help.exitCode, batch::kExitDone);
    EXPECT_TRUE(help.out.contains("Exit codes:"));
    EXPECT_TRUE(help.err.isEmpty());
}

TEST_F(BatchTrackTest, ProjectsThatCannotBeTrackedAreErrorsAndStayUntouched) {
    batch::Options o;
    o.exportPath = path("out.txt");
    const auto refusedUntouched = [&](const QString &file) {
        const QByteArray before = readAll(file);
        o.project = file;
        const batch::Outcome outcome = batch::run(o);
        EXPECT_EQ(outcome.exitCode, batch::kExitError) << file.toStdString();
        EXPECT_FALSE(outcome.error.isEmpty());
        EXPECT_FALSE(outcome.error.contains(u'\n'));
        EXPECT_EQ(readAll(file), before);
        EXPECT_FALSE(QFileInfo::exists(o.exportPath));
        return outcome.error;
    };

    EXPECT_TRUE(refusedUntouched(path("missing.oxp")).contains("missing.oxp"));

    QFile damaged(path("damaged.oxp"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("SQLite format 3\0", 16) + QByteArray(4000, '\x5a'));
    damaged.close();
    EXPECT_TRUE(refusedUntouched(damaged.fileName()).contains("damaged"));

    // No markers.
    project::ProjectData empty;
    empty.hasVideo = true;
    empty.video.absolutePath = path("take.avi");
    QString error;
    ASSERT_TRUE(project::ProjectFile::write(path("empty.oxp"), empty, &error));
    EXPECT_TRUE(refusedUntouched(path("empty.oxp")).contains("no markers"));

    // The video gone.
    const QString project = makeProject(bothDiscs());
    ASSERT_TRUE(QFile::remove(path("take.avi")));
    EXPECT_TRUE(refusedUntouched(project).contains("take.avi"));

    // The program says so in one line and exits with 1.
    const ProcessResult r = runProgram({path("missing.oxp"), "--export", o.exportPath});
    EXPECT_EQ(r.exitCode, batch::kExitError);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

} // namespace
