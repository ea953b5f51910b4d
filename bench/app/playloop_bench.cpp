// The play loop with the view shown (offscreen platform): frames per second from the first
// to the last frame of a 1080p H.264 clip and a 720x576 DV clip, as a ratio to ffmpeg
// decoding the same file in the same run (the median of five rounds); and the time from a
// one-frame step to the painted frame when both frames are cached. Prints the ratios after
// the table.
#include "app/common/appstate.h"
#include "app/shell/frmmain.h"
#include "control/cvviewctrl.h"

#include <QApplication>
#include <QScrollBar>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 250;

struct Clip {
    const char *name;
    const char *args; // ffmpeg source and codec
};
const Clip k1080{"orvane-bench-play-1080p.mp4",
                 "-f lavfi -i testsrc2=size=1920x1080:rate=25 -c:v libx264 -pix_fmt yuv420p"};
const Clip kPal{"orvane-bench-play-pal.avi",
                "-f lavfi -i testsrc2=size=720x576:rate=25 -c:v dvvideo -pix_fmt yuv420p"};

std::string clipPath(const Clip &clip) {
    const auto path = std::filesystem::temp_directory_path() / clip.name;
    if (!std::filesystem::exists(path)) {
        const std::string cmd = std::string("ffmpeg -nostdin -loglevel error -y ") + clip.args +
                                " -frames:v " + std::to_string(kFrames) + " '" + path.string() +
                                "'";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "ffmpeg failed to make %s\n", clip.name);
    }
    return path.string();
}

// ffmpeg decoding the file, as two rates: over the real time of its decoding loop as its
// -benchmark report gives it (the strict reference: start-up not counted), and over the
// wall time of the whole command (start-up included, which on a short clip is a good part
// of it). Both are zero when ffmpeg fails.
struct FfmpegRates {
    double decode = 0;
    double command = 0;
};

FfmpegRates ffmpegFps(const std::string &path) {
    const std::string cmd =
        "ffmpeg -nostdin -hide_banner -nostats -benchmark -i '" + path + "' -f null - 2>&1";
    const auto start = Clock::now();
    FILE *pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return {};
    double loop = 0;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        if (const char *at = std::strstr(line, "rtime="))
            loop = std::atof(at + 6);
    const bool ok = pclose(pipe) == 0;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (!ok || loop <= 0 || wall <= 0)
        return {};
    return {kFrames / loop, kFrames / wall};
}

// The main window itself, shown, with the video part wired in.
std::unique_ptr<shell::frmMain> openWindow(const std::string &path) {
    common::resetAppState();
    common::appState().TextBase = 4000;
    common::appState().settings.ShowExitMsg = false;
    auto window = std::make_unique<shell::frmMain>([] { return platform::LONG(9); });
    window->show();
    QApplication::processEvents();
    common::appState().VideoFile = QString::fromStdString(path);
    window->LoadVideo(false, 0, 0.0f, 0);
    return window;
}

std::map<std::string, double> g_results;

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One round plays the whole clip once in a freshly opened window, right after ffmpeg has
// decoded it once. The machine's load changes between rounds, so each round gives its own
// ratio and the median of several is reported.
void playLoop(benchmark::State &st, const Clip *clip) {
    constexpr int kRounds = 5;
    const std::string path = clipPath(*clip);
    std::vector<double> ratios, commandRatios, played, reference;
    for (auto _ : st) {
        for (int round = 0; round < kRounds; ++round) {
            const FfmpegRates ffmpeg = ffmpegFps(path);
            const auto window = openWindow(path);
            const int frames = window->hscScroll->maximum() + 1;
            const auto start = Clock::now();
            window->btnPlayClick();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            played.push_back((frames - 1) / seconds);
            reference.push_back(ffmpeg.decode);
            ratios.push_back(ffmpeg.decode > 0 ? played.back() / ffmpeg.decode : 0);
            commandRatios.push_back(ffmpeg.command > 0 ? played.back() / ffmpeg.command : 0);
        }
    }
    st.counters["play_fps"] = median(played);
    st.counters["ffmpeg_fps"] = median(reference);
    g_results[std::string("play/ffmpeg decode loop, ") + clip->name] = median(ratios);
    g_results[std::string("play/ffmpeg whole command, ") + clip->name] = median(commandRatios);
}

void stepLatency(benchmark::State &st) {
    const std::string path = clipPath(k1080);
    const auto window = openWindow(path);
    window->ZoomChange(100);
    window->hscScroll->setValue(10);
    window->qvxVideo->repaint();
    window->hscScroll->setValue(11);
    window->qvxVideo->repaint(); // both frames are decoded and cached now
    int next = 10;
    double total = 0;
    long count = 0;
    for (auto _ : st) {
        const auto start = Clock::now();
        window->hscScroll->setValue(next);
        window->qvxVideo->repaint();
        total += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ++count;
        next = next == 10 ? 11 : 10;
    }
    st.counters["step_ms"] = count ? total / count : 0;
    g_results["step to painted frame, ms (goal < 16)"] = count ? total / count : 0;
}

// Looping playback: the time from the last frame to the first of the next cycle, against
// the median time from one frame to the next, as the play loop itself steps (events served,
// each frame painted). Three cycles, then the loop is stopped.
void loopWrap(benchmark::State &st, const Clip *clip) {
    const std::string path = clipPath(*clip);
    std::vector<double> steps, wraps;
    for (auto _ : st) {
        const auto window = openWindow(path);
        const int last = window->hscScroll->maximum();
        common::appState().LoopPlayback = true;
        int cycles = 0, previous = -1;
        auto before = Clock::now();
        QObject::connect(window->hscScroll, &QScrollBar::valueChanged, [&](int value) {
            const auto now = Clock::now();
            const double ms = std::chrono::duration<double, std::milli>(now - before).count();
            before = now;
            if (previous == last && value == 0) {
                wraps.push_back(ms);
                ++cycles;
            } else if (previous >= 0 && value == previous + 1) {
                steps.push_back(ms);
                // A stop takes effect in the cycle's steps, not at its wrap.
                if (cycles == 3)
                    common::appState().IsPlaying = false;
            }
            previous = value;
        });
        window->btnPlayClick();
    }
    const double step = median(steps), wrap = median(wraps);
    st.counters["step_ms"] = step;
    st.counters["wrap_ms"] = wrap;
    g_results[std::string("loop wrap / step, ") + clip->name] = step > 0 ? wrap / step : 0;
    g_results[std::string("loop wrap, ms, ") + clip->name] = wrap;
}

} // namespace

BENCHMARK_CAPTURE(loopWrap, h264_1080p, &k1080)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(playLoop, h264_1080p, &k1080)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(playLoop, dv_720x576, &kPal)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(stepLatency)->Iterations(200)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nPlay loop against ffmpeg's decode loop (goals: 1080p >= 0.5, 720x576 >= 0.8),"
                "\nagainst the whole ffmpeg command (start-up included), and step latency:\n");
    for (const auto &[name, value] : g_results)
        std::printf("  %-60s %.2f\n", name.c_str(), value);
    return 0;
}
