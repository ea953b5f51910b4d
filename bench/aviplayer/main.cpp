// aviplayer_bench [--frames N] [--samples N] [--runs N] [--keep DIR] [--only h264|mpeg2]
//                 [--cache-mb N] [--read-ahead N] [--part all|decoded|bgra|random]
// Generates a 1080p H.264 file (GOP 250, B-frames) and a 720x576 MPEG-2 file, then
// measures the player against ffmpeg decoding the same file with the same thread count, in
// the same run: sequential decoded frames and BGRA display frames as ratios to ffmpeg's
// decode loop (its -benchmark real time) and to its whole command, each run on its own and
// summed up as median and spread (BGRA also against ffmpeg converting to BGRA, for scale);
// then random-access latency next to ffmpeg's time for one GOP, cached-frame and step-back
// latency, and the peak resident memory. Exits with 1 when a median ratio is more than 20%
// below its goal.
#include "bench/common/reference.h"
#include "components/aviplayer/aviplayer.h"
#include "tests/support/clips.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

using benchref::Clock;
using benchref::secondsSince;

bool run(const std::string &command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Case {
    std::string key;
    std::string name;
    std::string file;
    int gop;
};

struct Options {
    int samples = 200;
    int runs = 3;
    int threads = 1;
    std::string part = "all";
    aviplayer::ReaderSettings settings;
};

// Seconds to take every frame of the file in order from a freshly opened player (the open
// not counted): the decoded frames, or the BGRA display images. Negative on failure.
double sequential(const Case &c, const Options &o, bool bgra) {
    aviplayer::AviPlayer player(o.settings);
    if (player.open(c.file, 0) != aviplayer::kOpenOk) {
        std::printf("cannot open %s: %s\n", c.file.c_str(), player.lastError().c_str());
        return -1;
    }
    const int count = player.frameCount();
    const int restartsAtOpen = player.reader().seekCount();
    int missing = 0;
    const auto start = Clock::now();
    for (int n = 0; n < count; ++n)
        missing += bgra ? !player.image(n) : !player.sourceFrame(n);
    const double seconds = secondsSince(start);
    // A run in order needs no restart of the decoder; one means frames were decoded twice.
    if (const int restarts = player.reader().seekCount() - restartsAtOpen)
        std::printf(" (%d decoder restarts)", restarts);
    if (missing) {
        std::printf("%d frames missing\n", missing);
        return -1;
    }
    return seconds;
}

void randomAccess(const Case &c, const Options &o) {
    const auto ffGop = [&] {
        const auto start = Clock::now();
        const bool ok =
            run("ffmpeg -nostdin -v error -threads " + std::to_string(o.threads) + " -i '" +
                c.file + "' -map 0:v:0 -frames:v " + std::to_string(c.gop) + " -f null -");
        return ok ? secondsSince(start) : -1.0;
    }();
    aviplayer::AviPlayer player(o.settings);
    player.open(c.file, 0);
    const int count = player.frameCount();
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, count - 1);
    std::vector<double> randomMs, cachedMs, backMs;
    for (int i = 0; i < o.samples; ++i) {
        const int n = pick(random);
        auto start = Clock::now();
        player.image(n);
        randomMs.push_back(secondsSince(start) * 1000.0);
        start = Clock::now();
        player.image(n);
        cachedMs.push_back(secondsSince(start) * 1000.0);
        if (n > 0) {
            start = Clock::now();
            player.image(n - 1);
            backMs.push_back(secondsSince(start) * 1000.0);
        }
    }
    std::printf("random access over %d frames: median %.1f ms, p95 %.1f ms; ffmpeg one GOP "
                "(%d frames, whole command) %.1f ms; p95 / GOP %.2f\n",
                o.samples, percentile(randomMs, 0.5), percentile(randomMs, 0.95), c.gop,
                ffGop * 1000.0, percentile(randomMs, 0.95) / (ffGop * 1000.0));
    std::printf("cached frame: median %.3f ms, p95 %.3f ms\n", percentile(cachedMs, 0.5),
                percentile(cachedMs, 0.95));
    std::printf("one step back: median %.3f ms, p95 %.3f ms\n", percentile(backMs, 0.5),
                percentile(backMs, 0.95));
    std::printf("cache held %.1f MB of %.1f MB; peak resident so far %.1f MB\n",
                static_cast<double>(player.reader().cachedBytes()) / 1048576.0,
                static_cast<double>(o.settings.cacheBytes) / 1048576.0,
                static_cast<double>(peakKb()) / 1024.0);
}

void measure(const Case &c, const Options &o, benchref::Goals &goals) {
    std::printf("\n== %s (%s)\n", c.name.c_str(), c.file.c_str());
    const bool decoded = o.part == "all" || o.part == "decoded";
    const bool bgra = o.part == "all" || o.part == "bgra";
    std::vector<double> seqLoop, seqCommand, bgraLoop, bgraCommand, bgraSameWork;
    for (int r = 0; r < o.runs && (decoded || bgra); ++r) {
        // ffmpeg right before the player in every run, so that both see the same load.
        const benchref::FfmpegTimes ff = benchref::ffmpegDecode(c.file, o.threads);
        if (!ff.ok()) {
            std::printf("ffmpeg cannot decode %s\n", c.file.c_str());
            return;
        }
        std::printf("run %d: ffmpeg decode loop %.3f s, whole command %.3f s", r + 1, ff.loop,
                    ff.command);
        if (decoded) {
            const double s = sequential(c, o, false);
            if (s <= 0)
                return;
            seqLoop.push_back(ff.loop / s);
            seqCommand.push_back(ff.command / s);
            std::printf("; decoded %.3f s", s);
        }
        if (bgra) {
            // For scale: ffmpeg doing the same work, every frame converted to BGRA as well.
            const benchref::FfmpegTimes ffBgra =
                benchref::ffmpegDecode(c.file, o.threads, "-pix_fmt bgra");
            const double s = sequential(c, o, true);
            if (s <= 0)
                return;
            bgraLoop.push_back(ff.loop / s);
            bgraCommand.push_back(ff.command / s);
            if (ffBgra.ok())
                bgraSameWork.push_back(ffBgra.loop / s);
            std::printf("; BGRA %.3f s (ffmpeg converting too %.3f s)", s, ffBgra.loop);
        }
        std::printf("\n");
    }
    if (decoded) {
        goals.add(c.key + " sequential decoded / ffmpeg decode loop", 0.9, seqLoop);
        goals.add(c.key + " sequential decoded / ffmpeg whole command", 0, seqCommand);
    }
    if (bgra) {
        goals.add(c.key + " BGRA display / ffmpeg decode loop", 0.8, bgraLoop);
        goals.add(c.key + " BGRA display / ffmpeg whole command", 0, bgraCommand);
        goals.add(c.key + " BGRA display / ffmpeg decode loop to BGRA", 0, bgraSameWork);
    }
    if (o.part == "all" || o.part == "random")
        randomAccess(c, o);
}

} // namespace

int main(int argc, char **argv) {
    av_log_set_level(AV_LOG_QUIET);
    int frames = 300;
    std::string keep, only;
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char *value = argv[i + 1];
        if (arg == "--frames")
            frames = std::max(30, std::atoi(value));
        else if (arg == "--samples")
            o.samples = std::max(1, std::atoi(value));
        else if (arg == "--runs")
            o.runs = std::max(1, std::atoi(value));
        else if (arg == "--keep")
            keep = value;
        else if (arg == "--only")
            only = value;
        else if (arg == "--part")
            o.part = value;
        else if (arg == "--read-ahead")
            o.settings.readAhead = std::max(0, std::atoi(value));
        else if (arg == "--cache-mb")
            o.settings.cacheBytes = static_cast<std::size_t>(std::max(1, std::atoi(value))) << 20;
    }
    namespace fs = std::filesystem;
    const fs::path dir =
        keep.empty() ? fs::temp_directory_path() / "aviplayer-bench" : fs::path(keep);
    fs::create_directories(dir);
    const std::string h264 = (dir / ("h264-1080p-" + std::to_string(frames) + ".mp4")).string();
    const std::string mpeg2 = (dir / ("mpeg2-576-" + std::to_string(frames) + ".mpg")).string();
    const std::string h264Options = "-c:v libx264 -preset veryfast -bf 3 -g 250 -keyint_min 250 "
                                    "-sc_threshold 0 -pix_fmt yuv420p";
    if (!fs::exists(h264) && !testsupport::makeClip(h264, h264Options, frames, "1920x1080"))
        return std::fprintf(stderr, "aviplayer_bench: cannot generate %s\n", h264.c_str()), 1;
    if (!fs::exists(mpeg2) &&
        !testsupport::makeClip(mpeg2, "-c:v mpeg2video -b:v 6M -bf 2 -g 12", frames, "720x576"))
        return std::fprintf(stderr, "aviplayer_bench: cannot generate %s\n", mpeg2.c_str()), 1;

    o.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    o.settings.threads = o.threads;
    std::printf("aviplayer_bench at commit %s\n%d decoder threads for the player and ffmpeg, "
                "%d runs, cache %.0f MB\n",
                benchref::measuredCommit().c_str(), o.threads, o.runs,
                static_cast<double>(o.settings.cacheBytes) / 1048576.0);
    benchref::Goals goals;
    if (only.empty() || only == "h264")
        measure({"h264 1080p", "H.264 1080p, GOP 250, B-frames", h264, 250}, o, goals);
    if (only.empty() || only == "mpeg2")
        measure({"mpeg2 576", "MPEG-2 720x576, GOP 12", mpeg2, 12}, o, goals);
    const bool pass = goals.report();
    if (keep.empty())
        fs::remove_all(dir);
    return pass ? 0 : 1;
}
