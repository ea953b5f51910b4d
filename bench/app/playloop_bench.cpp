// The play loop with the view shown (offscreen platform): frames per second from the first
// to the last frame of a 1080p H.264 clip and a 720x576 DV clip, as a ratio to ffmpeg
// decoding the same file in the same run (median and spread of three rounds); and the time
// from a one-frame step to the painted frame when both frames are cached. Prints the ratios
// after the table, and exits with 1 when a median ratio is more than 20% below its goal.
#include "app/common/appstate.h"
#include "app/shell/frmmain.h"
#include "bench/common/reference.h"
#include "control/cvviewctrl.h"
#include "tests/support/clips.h"

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

// FFmpeg's test pattern at 25 frames per second.
struct Clip {
    const char *name;
    const char *size;
    const char *codec; // ffmpeg's output options
};
const Clip k1080{"orvane-bench-play-1080p.mp4", "1920x1080", "-c:v libx264 -pix_fmt yuv420p"};
const Clip kPal{"orvane-bench-play-pal.avi", "720x576", "-c:v dvvideo -pix_fmt yuv420p"};

std::string clipPath(const Clip &clip) {
    const auto path = std::filesystem::temp_directory_path() / clip.name;
    if (!std::filesystem::exists(path) &&
        !testsupport::makeClip(path.string(), clip.codec, kFrames, clip.size))
        std::fprintf(stderr, "ffmpeg failed to make %s\n", clip.name);
    return path.string();
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
benchref::Goals g_goals;

double median(std::vector<double> values) {
    return benchref::Goals::median(std::move(values));
}

// One round plays the whole clip once in a freshly opened window, right after ffmpeg has
// decoded it once. The machine's load changes between rounds, so each round gives its own
// ratio and the median of several is reported.
void playLoop(benchmark::State &st, const Clip *clip, double goal) {
    constexpr int kRounds = 3;
    const std::string path = clipPath(*clip);
    std::vector<double> ratios, commandRatios, played, reference;
    for (auto _ : st) {
        for (int round = 0; round < kRounds; ++round) {
            // ffmpeg with its own choice of threads, as the player's decoder makes it.
            const benchref::FfmpegTimes ff = benchref::ffmpegDecode(path, 0);
            const double ffLoop = ff.ok() ? kFrames / ff.loop : 0;
            const double ffCommand = ff.ok() ? kFrames / ff.command : 0;
            const auto window = openWindow(path);
            const int frames = window->hscScroll->maximum() + 1;
            const auto start = Clock::now();
            window->btnPlayClick();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            played.push_back((frames - 1) / seconds);
            reference.push_back(ffLoop);
            ratios.push_back(ffLoop > 0 ? played.back() / ffLoop : 0);
            commandRatios.push_back(ffCommand > 0 ? played.back() / ffCommand : 0);
        }
    }
    st.counters["play_fps"] = median(played);
    st.counters["ffmpeg_fps"] = median(reference);
    g_goals.add(std::string("play / ffmpeg decode loop, ") + clip->name, goal, ratios);
    g_goals.add(std::string("play / ffmpeg whole command, ") + clip->name, 0, commandRatios);
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
BENCHMARK_CAPTURE(playLoop, h264_1080p, &k1080, 0.6)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(playLoop, dv_720x576, &kPal, 0.8)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(stepLatency)->Iterations(200)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("app_playloop_bench at commit %s\n", benchref::measuredCommit().c_str());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nStep latency and the loop's wrap:\n");
    for (const auto &[name, value] : g_results)
        std::printf("  %-60s %.2f\n", name.c_str(), value);
    return g_goals.report() ? 0 : 1;
}
