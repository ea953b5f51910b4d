// Batch tracking against the application: frames tracked per second by `batch::run` (what
// `orvane-track` runs: open, track, save, export) and by the main window's play loop (shown,
// offscreen) tracking the same project from the same first frame to the same last one with
// the same markers. 300 frames of a 1280x720 H.264 clip with three moving discs, one marker
// on each (two by pattern matching, one by marker tracking). Three rounds, each from the
// untracked project; the ratio batch / application per round, median and spread, goal 1.0.
#include "app/batch/batchtrack.h"
#include "app/batch/headlesswindow.h"
#include "app/common/appstate.h"
#include "app/shell/frmmain.h"
#include "bench/common/reference.h"
#include "tests/support/clips.h"
#include "tests/support/discs.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFrames = 300;
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

QPointF disc(int which, int f) {
    const double t = f / 25.0;
    switch (which) {
    case 0:
        return {200 + 3.1 * f, 150 + 60 * std::sin(t)};
    case 1:
        return {1100 - 2.7 * f, 400 + 80 * std::cos(0.7 * t)};
    default:
        return {640 + 200 * std::sin(0.5 * t), 600 - 0.9 * f};
    }
}

bool writeClip(const QString &file) {
    testsupport::RawClip clip(file.toStdString(), "gray", kWidth, kHeight, 25,
                              "-c:v libx264 -pix_fmt yuv420p -crf 18");
    for (int f = 0; f < kFrames; ++f) {
        const QImage grey = testsupport::discPicture(QSize(kWidth, kHeight),
                                                     {disc(0, f), disc(1, f), disc(2, f)}, 10.0)
                                .convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < kHeight; ++y)
            if (!clip.write(grey.constScanLine(y), kWidth))
                return false;
    }
    return clip.finish();
}

// The project: three markers placed on the discs at frame 0, nothing tracked yet.
bool writeProject(const QString &clip, const QString &project) {
    common::AppState state;
    state.TextBase = 4000;
    state.UiLcid = 1033;
    state.MarkerColors = common::defaultMarkerColors();
    batch::HeadlessWindow window(state);
    state.settings.CalibrationMandatory = false;
    state.VideoFile = clip;
    window.LoadVideo(false, 0, 0.0f, 0);
    if (state.NoVideo)
        return false;
    markers::MarkerMouse &mouse = window.markerWork().mouse;
    for (int d = 0; d < 3; ++d) {
        state.settings.TrackingMode =
            d == 2 ? common::kTrackingMarkerTracking : common::kTrackingPatternMatching;
        const QPointF c = disc(d, 0);
        mouse.SpecialMouseDown(markers::kLeft, 0, 0, c.x(), c.y());
        mouse.SpecialMouseMove(markers::kLeft, 0, 0, c.x() + 14, c.y());
        mouse.SpecialMouseUp(markers::kLeft, 0, 0, c.x() + 14, c.y());
    }
    return window.rowCount() == 3 && window.projects().save(project);
}

bool fresh(const QString &from, const QString &to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("app_batchtrack_bench at commit %s\n", benchref::measuredCommit().c_str());
    QTemporaryDir dir;
    const QString clip = dir.filePath("batch-720p.mp4");
    const QString original = dir.filePath("original.oxp");
    const QString work = dir.filePath("work.oxp");
    if (!writeClip(clip) || !writeProject(clip, original)) {
        std::fprintf(stderr, "could not make the clip or the project\n");
        return 1;
    }

    constexpr int kRounds = 3;
    std::vector<double> ratios, batchLoopRatios, batchFps, batchLoopFps, appFps;
    for (int round = 0; round < kRounds; ++round) {
        // orvane-track's work, whole: open, track, save, export.
        if (!fresh(original, work))
            return 1;
        batch::Options o;
        o.project = work;
        o.exportPath = dir.filePath("out.txt");
        benchref::Clock::time_point loopStart, loopEnd;
        batch::Reporter reporter;
        reporter.progress = [&](int frame, int first, int last) {
            if (frame == first)
                loopStart = benchref::Clock::now();
            if (frame == last)
                loopEnd = benchref::Clock::now();
        };
        const auto start = benchref::Clock::now();
        const batch::Outcome outcome = batch::run(o, reporter);
        const double seconds = benchref::secondsSince(start);
        if (outcome.exitCode != batch::kExitDone) {
            std::fprintf(stderr, "batch run: exit %d %s, %zu lost\n", outcome.exitCode,
                         outcome.error.toLocal8Bit().constData(), outcome.losses.size());
            return 1;
        }
        const int tracked = outcome.last - outcome.first;
        batchFps.push_back(tracked / seconds);
        batchLoopFps.push_back(tracked /
                               std::chrono::duration<double>(loopEnd - loopStart).count());

        // The application: the project opened in the shown main window, played from the
        // same first frame to the end.
        if (!fresh(original, work))
            return 1;
        common::resetAppState();
        common::appState().TextBase = 4000;
        common::appState().UiLcid = 1033;
        common::appState().settings.ShowExitMsg = false;
        double appSeconds = 0;
        {
            batch::RecordingDialogs quiet; // no question may wait for a click
            shell::frmMain window([] { return platform::LONG(9); });
            window.show();
            QApplication::processEvents();
            if (!window.projects().open(work))
                return 1;
            window.hscScroll->setValue(outcome.first);
            const auto playStart = benchref::Clock::now();
            window.btnPlayClick();
            appSeconds = benchref::secondsSince(playStart);
            if (window.hscScroll->value() != outcome.last) {
                std::fprintf(stderr, "the play loop stopped at frame %d\n",
                             window.hscScroll->value());
                return 1;
            }
            window.projects().endSession();
        }
        appFps.push_back(tracked / appSeconds);
        ratios.push_back(batchFps.back() / appFps.back());
        batchLoopRatios.push_back(batchLoopFps.back() / appFps.back());
        std::printf("round %d: batch %.1f frames/s (tracking loop alone %.1f), application "
                    "%.1f frames/s\n",
                    round + 1, batchFps.back(), batchLoopFps.back(), appFps.back());
    }
    std::printf("\nframes tracked per second, median: batch %.1f, batch loop %.1f, "
                "application %.1f\n",
                benchref::Goals::median(batchFps), benchref::Goals::median(batchLoopFps),
                benchref::Goals::median(appFps));
    benchref::Goals goals;
    goals.add("orvane-track whole run / play loop, 720p, 3 markers", 1.0, ratios);
    goals.add("orvane-track tracking loop / play loop, 720p, 3 markers", 0, batchLoopRatios);
    return goals.report() ? 0 : 1;
}
