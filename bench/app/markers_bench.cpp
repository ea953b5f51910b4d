// The marker work in the main window (offscreen platform), each figure against a reference
// measured in the same run:
// 1. the play loop with 4 markers (2 pattern matching, 2 marker tracking) against the same
//    loop without markers, on 1080p H.264 clips (with and without sensor noise) and a
//    720x576 DV clip (median of rounds, with the lowest and highest);
// 2. the tracking pass's own cost per marker beyond the engine calls: the pass with engines
//    that answer at once, on frames already decoded;
// 3. the repaint of the view at frame 10 000 of a long video with 10 markers whose paths are
//    all shown (100 000 path items), against the repaint at frame 0, and a frame step there.
// Prints the ratios after Google Benchmark's table.
#include "app/common/appstate.h"
#include "app/markers/markercontroller.h"
#include "app/shell/frmmain.h"
#include "control/cvviewctrl.h"
#include "tests/support/clips.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using platform::HRESULT;
using platform::LONG;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::map<std::string, std::string> g_results;

void result(const std::string &name, double value, const char *format = "%.2f") {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    g_results[name] = text;
}

// --- Clips ---------------------------------------------------------------------------------

// A scene with what each engine follows best, moving a little every frame over a textured
// ground: two textured patches (pattern matching) and two bright discs (marker tracking).
struct Scene {
    QSize size;
    QImage ground;
    QImage patch;

    explicit Scene(QSize s)
        : size(s), ground(s, QImage::Format_RGB32), patch(48, 48, QImage::Format_RGB32) {
        QRandomGenerator rng(7);
        for (int y = 0; y < s.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(ground.scanLine(y));
            for (int x = 0; x < s.width(); ++x) {
                const int g = 70 + int(rng.bounded(20)) + (x / 64 + y / 64) % 2 * 15;
                line[x] = qRgb(g, g, g);
            }
        }
        for (int y = 0; y < patch.height(); ++y)
            for (int x = 0; x < patch.width(); ++x) {
                const int g = ((x / 6 + y / 6) % 2) ? 200 : 30;
                patch.setPixel(x, y, qRgb(g, 255 - g, (x * 5) % 256));
            }
    }
    // Where the four markers are in a frame, as fractions of the size (patches first).
    static QPointF place(int marker, int frame) {
        const double t = frame;
        switch (marker) {
        case 0:
            return {0.25 + 0.0005 * t, 0.30 + 0.0003 * t};
        case 1:
            return {0.70 - 0.0004 * t, 0.35 + 0.0004 * t};
        case 2:
            return {0.30 + 0.0004 * t, 0.70 - 0.0003 * t};
        default:
            return {0.75 - 0.0005 * t, 0.72 - 0.0004 * t};
        }
    }
    QPointF pixel(int marker, int frame) const {
        const QPointF p = place(marker, frame);
        return {p.x() * size.width(), p.y() * size.height()};
    }
    QImage frame(int f) const {
        QImage image = ground.copy();
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (int m = 0; m < 2; ++m)
            painter.drawImage(pixel(m, f) - QPointF(patch.width() / 2.0, patch.height() / 2.0),
                              patch);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(240, 240, 240));
        const double radius = size.width() / 120.0;
        for (int m = 2; m < 4; ++m)
            painter.drawEllipse(pixel(m, f), radius, radius);
        return image;
    }
};

// Encodes the scene's frames with ffmpeg, once per temporary folder.
std::string sceneClip(const char *name, QSize size, int frames, const char *codec) {
    const auto path = std::filesystem::temp_directory_path() / name;
    if (std::filesystem::exists(path))
        return path.string();
    const Scene scene(size);
    testsupport::RawClip clip(path.string(), "bgra", size.width(), size.height(), 25, codec);
    for (int f = 0; f < frames; ++f) {
        const QImage image = scene.frame(f);
        for (int y = 0; y < image.height(); ++y)
            clip.write(image.constScanLine(y), 4 * std::size_t(image.width()));
    }
    if (!clip.finish())
        std::fprintf(stderr, "ffmpeg failed to make %s\n", name);
    return path.string();
}

constexpr int kPlayFrames = 250;

// Camera pictures carry sensor noise that changes from frame to frame, and decoding them
// costs accordingly; the noiseless synthetic ground decodes several times faster than a
// recording does, so the markers' share of a frame is largest there. Both are measured.
std::string clip1080() {
    return sceneClip("orvane-bench-markers-1080p-noise.mp4", QSize(1920, 1080), kPlayFrames,
                     "-vf noise=alls=8:allf=t -c:v libx264 -pix_fmt yuv420p");
}
std::string clip1080Clean() {
    return sceneClip("orvane-bench-markers-1080p.mp4", QSize(1920, 1080), kPlayFrames,
                     "-c:v libx264 -pix_fmt yuv420p");
}
std::string clipPal() {
    return sceneClip("orvane-bench-markers-pal.avi", QSize(720, 576), kPlayFrames,
                     "-vf noise=alls=8:allf=t -c:v dvvideo -pix_fmt yuv420p");
}

// --- The window ------------------------------------------------------------------------------

std::unique_ptr<shell::frmMain> openWindow(const std::string &path) {
    common::resetAppState();
    common::AppState &s = common::appState();
    s.TextBase = 4000;
    s.settings.ShowExitMsg = false;
    s.settings.CalibrationMandatory = false;
    s.settings.StopAtDrop = false;
    auto window = std::make_unique<shell::frmMain>([] { return LONG(9); });
    window->show();
    QApplication::processEvents();
    s.VideoFile = QString::fromStdString(path);
    window->LoadVideo(false, 0, 0.0f, 0);
    // Settings are read when the window loads; these runs must not need a calibration.
    s.settings.CalibrationMandatory = false;
    s.settings.StopAtDrop = false;
    return window;
}

// Creates the scene's four markers at frame 0 as the mouse does: press, drag, release.
void createSceneMarkers(shell::frmMain &w, QSize size) {
    markers::MarkerMouse &mouse = w.markerWork().mouse;
    for (int m = 0; m < 4; ++m) {
        common::appState().settings.TrackingMode =
            m < 2 ? common::kTrackingPatternMatching : common::kTrackingMarkerTracking;
        const QPointF p(Scene::place(m, 0).x() * size.width(),
                        Scene::place(m, 0).y() * size.height());
        const double r = m < 2 ? 20 : size.width() / 120.0 + 3;
        mouse.SpecialMouseDown(markers::kLeft, 0, 0, p.x(), p.y());
        mouse.SpecialMouseMove(markers::kLeft, 0, 0, p.x() + r, p.y());
        mouse.SpecialMouseUp(markers::kLeft, 0, 0, p.x() + r, p.y());
    }
}

int markersWithPointAt(shell::frmMain &w, int frame) {
    int found = 0;
    for (LONG m = 1; m <= 4; ++m)
        found += w.markerWork().store.bind(m).get(markers::Channel::PointStatus, frame) == 1.0f;
    return found;
}

// --- 1. The play loop with and without markers ------------------------------------------------

struct PlayClip {
    const char *label;
    std::string (*path)();
    QSize size;
};
const PlayClip k1080{"1080p H.264, sensor noise", &clip1080, QSize(1920, 1080)};
const PlayClip k1080Clean{"1080p H.264, noiseless", &clip1080Clean, QSize(1920, 1080)};
const PlayClip kPal{"720x576 DV, sensor noise", &clipPal, QSize(720, 576)};

double playFps(const PlayClip &clip, bool withMarkers, int *tracked) {
    const auto w = openWindow(clip.path());
    if (withMarkers)
        createSceneMarkers(*w, clip.size);
    const int frames = w->hscScroll->maximum();
    const auto start = Clock::now();
    w->btnPlayClick();
    const double seconds = secondsSince(start);
    if (tracked)
        *tracked = markersWithPointAt(*w, w->hscScroll->maximum());
    return frames / seconds;
}

void playLoop(benchmark::State &st, const PlayClip *clip) {
    constexpr int kRounds = 5;
    std::vector<double> ratios, with, without;
    int tracked = 0;
    for (auto _ : st) {
        for (int round = 0; round < kRounds; ++round) {
            // Alternating, so that a change of the machine's load falls on both.
            without.push_back(playFps(*clip, false, nullptr));
            with.push_back(playFps(*clip, true, &tracked));
            ratios.push_back(with.back() / without.back());
        }
    }
    st.counters["fps_markers"] = median(with);
    st.counters["fps_plain"] = median(without);
    std::sort(ratios.begin(), ratios.end());
    const std::string name = std::string("play with 4 markers / without, ") + clip->label;
    result(name + " (median)", median(ratios));
    result(name + " (lowest)", ratios.front());
    result(name + " (highest)", ratios.back());
    result(std::string("markers still tracked at the last frame, ") + clip->label, tracked, "%.0f");
}

// --- 2. The pass's own cost ---------------------------------------------------------------

// Engines that answer at once: the marker stays where it was in the frame before.
template <class Interface, class FrameInterface, class Frame>
class InstantMarker final : public platform::ComObject<Interface> {
public:
    explicit InstantMarker(LONG n) : m_n(n) {}
    HRESULT FrameContext(LONG, LONG, FrameInterface **c) override {
        *c = new Frame;
        return platform::S_OK;
    }
    HRESULT Number(LONG *n) override {
        *n = m_n;
        return platform::S_OK;
    }

private:
    LONG m_n;
};

class InstantMatcher final : public platform::ComObject<engines::IPatternMatcher> {
public:
    class Frame final : public platform::ComObject<engines::IPatternFrameContext> {
    public:
        HRESULT Search(platform::IPicture *, LONG, LONG) override { return platform::S_OK; }
        HRESULT Result(LONG index, double *value) override {
            *value = index == 0 ? 400.0 : index == 1 ? 300.0 : 0.0;
            return platform::S_OK;
        }
        HRESULT SymbolSize(LONG *size) override {
            *size = 40;
            return platform::S_OK;
        }
        HRESULT SetPicture(platform::IPicture *) override { return platform::S_OK; }
        HRESULT SetPoint(double, double, LONG) override { return platform::S_OK; }
        HRESULT Teach(platform::IPicture *, double, double, double, LONG) override {
            return platform::S_OK;
        }
        HRESULT Learn(LONG, LONG) override { return platform::S_OK; }
        HRESULT Setting(LONG, double *v) override {
            *v = 0;
            return platform::S_OK;
        }
        HRESULT PutSetting(LONG, double) override { return platform::S_OK; }
        HRESULT SettingsDialog() override { return platform::S_OK; }
    };
    using Marker =
        InstantMarker<engines::IPatternMarkerContext, engines::IPatternFrameContext, Frame>;
    HRESULT Init(LONG, platform::LCID) override { return platform::S_OK; }
    HRESULT Prepare() override { return platform::S_OK; }
    HRESULT MarkerContext(LONG n, engines::IPatternMarkerContext **c) override {
        *c = new Marker(n);
        return platform::S_OK;
    }
    HRESULT DropMarkerContext(LONG) override { return platform::S_OK; }
    HRESULT Settings() override { return platform::S_OK; }
    HRESULT Setting(LONG, double *v) override {
        *v = 32;
        return platform::S_OK;
    }
    HRESULT PutSetting(LONG, double) override { return platform::S_OK; }
};

class InstantTracker final : public platform::ComObject<engines::IMarkerTracker> {
public:
    class Frame final : public platform::ComObject<engines::IMarkerFrameContext> {
    public:
        HRESULT SetPicture(platform::IPicture *) override { return platform::S_OK; }
        HRESULT SetPoint(double, double, LONG) override { return platform::S_OK; }
        HRESULT Locate(engines::IMarkerFrameContext *, engines::IMarkerFrameContext *, LONG,
                       LONG *status) override {
            *status = 1;
            return platform::S_OK;
        }
        HRESULT Value(LONG id, platform::Variant *value) override {
            *value = platform::Variant(id == engines::MarkerX   ? 200.0
                                       : id == engines::MarkerY ? 150.0
                                                                : 12.0);
            return platform::S_OK;
        }
        HRESULT SettingsDialog(LONG) override { return platform::S_OK; }
        HRESULT Setting(LONG, double *v) override {
            *v = 0;
            return platform::S_OK;
        }
        HRESULT PutSetting(LONG, double) override { return platform::S_OK; }
    };
    using Marker =
        InstantMarker<engines::IMarkerMarkerContext, engines::IMarkerFrameContext, Frame>;
    HRESULT Init(LONG, platform::LCID) override { return platform::S_OK; }
    HRESULT MarkerContext(LONG n, engines::IMarkerMarkerContext **c) override {
        *c = new Marker(n);
        return platform::S_OK;
    }
    HRESULT DropMarkerContext(LONG) override { return platform::S_OK; }
    HRESULT Settings() override { return platform::S_OK; }
    HRESULT Setting(LONG, double *v) override {
        *v = 0;
        return platform::S_OK;
    }
    HRESULT PutSetting(LONG, double) override { return platform::S_OK; }
};

// Times the tracking pass alone over frames whose pictures are decoded beforehand: once with
// the real engines, once with engines that answer at once.
void passCost(benchmark::State &st) {
    const auto w = openWindow(clipPal());
    createSceneMarkers(*w, kPal.size);
    markers::MarkerController &work = w->markerWork();
    QScrollBar *bar = w->hscScroll;
    const auto timePasses = [&](int from, int to) {
        std::vector<double> ms;
        for (int f = from; f < to; ++f) {
            // The frame change without its pass, and the picture decoded and held by the
            // player's recent images, so that the pass's own fetch finds it.
            bar->blockSignals(true);
            bar->setValue(f);
            bar->blockSignals(false);
            w->qvxVideo->SetAVIFrame(f);
            const auto picture = work.currentPicture();
            // As the frame change runs it: the view repaints once, after the pass; that
            // repaint is the frame's own, with or without markers, and is not counted.
            quivex::CVViewCtrl::RepaintHold hold(*w->qvxVideo);
            const auto start = Clock::now();
            work.pass.UpdateFrameMarkers();
            ms.push_back(secondsSince(start) * 1000.0);
        }
        return ms;
    };
    std::vector<double> real, instant;
    int tracked = 0;
    for (auto _ : st) {
        real = timePasses(1, 101);
        tracked = markersWithPointAt(*w, 100);
        work.objects.patternMatcher =
            platform::ComPtr<engines::IPatternMatcher>::attach(new InstantMatcher);
        work.objects.markerTracker =
            platform::ComPtr<engines::IMarkerTracker>::attach(new InstantTracker);
        // Every marker has a point in the frame before the first instant pass.
        for (LONG m = 1; m <= 4; ++m)
            work.store.bind(m).put(markers::Channel::PointStatus, 100, 1.0f);
        instant = timePasses(101, 201);
    }
    st.counters["pass_ms_real"] = median(real);
    result("markers tracked by the real engines to frame 100", tracked, "%.0f");
    st.counters["pass_ms_instant"] = median(instant);
    result("pass per marker with the engine, ms", median(real) / 4, "%.3f");
    result("pass per marker beyond the engine call, ms (goal < 0.2)", median(instant) / 4, "%.3f");
}

// --- 3. Repaint with long paths ---------------------------------------------------------------

constexpr int kLongFrames = 10050;
constexpr int kPathFrame = 10000;
constexpr int kPathMarkers = 10;

std::string longClip() {
    const auto path = std::filesystem::temp_directory_path() / "orvane-bench-long.mp4";
    if (!std::filesystem::exists(path)) {
        if (!testsupport::makeClip(path.string(), "-c:v libx264 -preset ultrafast -pix_fmt yuv420p",
                                   kLongFrames, "960x540"))
            std::fprintf(stderr, "ffmpeg failed to make the long clip\n");
    }
    return path.string();
}

double repaintMs(shell::frmMain &w, int repeats) {
    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        w.qvxVideo->repaint();
        ms.push_back(secondsSince(start) * 1000.0);
    }
    return median(ms);
}

// Ten markers with a point in every frame, on circles over the picture.
void fillLongMarkers(shell::frmMain &w) {
    markers::MarkerController &work = w.markerWork();
    common::AppState &s = common::appState();
    for (LONG m = 1; m <= kPathMarkers; ++m) {
        work.store.createMarkerData(m, kLongFrames, 0x00FFFF - 0x1000 * m, 16);
        const int row = w.addRow(work.table.markerName(m), markers::MarkerIcon::PatternMatching);
        w.setRowTag(row, QString::number(m));
        const auto ch = work.store.bind(m);
        for (int f = 0; f < kLongFrames; ++f) {
            const double a = f * 0.01 + m;
            ch.put(markers::Channel::PosX, f, float(0.5 + 0.04 * m * std::cos(a) * 0.9));
            ch.put(markers::Channel::PosY, f, float(0.5 + 0.04 * m * std::sin(a) * 0.9));
            ch.put(markers::Channel::PointStatus, f, 1.0f);
            ch.put(markers::Channel::PointRadius, f, 8.0f);
        }
    }
    work.marks.markerCounter = kPathMarkers;
    s.settings.ShowAutoPath = true;
}

void longPaths(benchmark::State &st) {
    const std::string path = longClip();
    double atStart = 0, atEnd = 0, stepStart = 0, stepEnd = 0;
    LONG items = 0;
    for (auto _ : st) {
        const auto w = openWindow(path);
        w->ZoomChange(100);
        fillLongMarkers(*w);
        markers::MarkerController &work = w->markerWork();
        // Frame 0: each marker drawn once.
        w->hscScroll->setValue(1);
        w->hscScroll->setValue(0);
        repaintMs(*w, 3);
        atStart = repaintMs(*w, 41);
        std::vector<double> steps;
        for (int f = 1; f <= 40; ++f) {
            const auto start = Clock::now();
            w->hscScroll->setValue(f);
            steps.push_back(secondsSince(start) * 1000.0);
        }
        stepStart = median(steps);
        // The paths of frames 0 to 9 999 as the passes drew them: one mark per marker and
        // frame (drawing them through 10 000 passes would decode 10 000 frames first).
        w->hscScroll->blockSignals(true);
        w->hscScroll->setValue(kPathFrame);
        w->hscScroll->blockSignals(false);
        const double wv = common::appState().VideoWidth, hv = common::appState().VideoHeight;
        for (int f = 0; f < kPathFrame; ++f)
            for (LONG m = 1; m <= kPathMarkers; ++m) {
                const auto ch =
                    work.store.bind(m, {markers::Channel::PosX, markers::Channel::PosY});
                work.overlay.DrawPathMark(ch.get(markers::Channel::PosX, f) * wv,
                                          ch.get(markers::Channel::PosY, f) * hv, 8, m);
            }
        w->hscScroll->setValue(kPathFrame - 1);
        w->hscScroll->setValue(kPathFrame);
        w->objects().graphicItems->GetCount(&items);
        repaintMs(*w, 3);
        atEnd = repaintMs(*w, 41);
        steps.clear();
        for (int f = kPathFrame + 1; f <= kPathFrame + 40; ++f) {
            const auto start = Clock::now();
            w->hscScroll->setValue(f);
            steps.push_back(secondsSince(start) * 1000.0);
        }
        stepEnd = median(steps);
    }
    st.counters["repaint_ms_frame0"] = atStart;
    st.counters["repaint_ms_frame10000"] = atEnd;
    result("items in the collection at frame 10 000", double(items), "%.0f");
    result("repaint at frame 10 000 / at frame 0 (goal < 2)", atStart > 0 ? atEnd / atStart : 0);
    result("repaint at frame 0, ms", atStart, "%.3f");
    result("repaint at frame 10 000, ms", atEnd, "%.3f");
    result("frame step with 10 markers near frame 0, ms", stepStart, "%.3f");
    result("frame step with 10 markers near frame 10 000, ms", stepEnd, "%.3f");
}

} // namespace

BENCHMARK_CAPTURE(playLoop, h264_1080p, &k1080)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(playLoop, h264_1080p_noiseless, &k1080Clean)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(playLoop, dv_720x576, &kPal)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(passCost)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(longPaths)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nMarkers in the application (play loop goals: >= 0.8 at 1080p, >= 0.6 at "
                "720x576; plain fps in the table above):\n");
    for (const auto &[name, value] : g_results)
        std::printf("  %-66s %s\n", name.c_str(), value.c_str());
    return 0;
}
