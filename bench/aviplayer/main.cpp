// aviplayer_bench [--frames N] [--samples N] [--keep DIR]
// Generates a 1080p H.264 file (GOP 250, B-frames) and a 720x576 MPEG-2 file, then
// measures the player against ffmpeg decoding the same file with the same thread count:
// sequential throughput as a ratio, random-access latency (median, 95th percentile) next
// to ffmpeg's time for one GOP from its keyframe, cached-frame and step-back latency, and
// the peak resident memory next to the cache setting.
#include "components/aviplayer/aviplayer.h"

#include <algorithm>
#include <chrono>
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

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool run(const std::string &command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

double timeCommand(const std::string &command) {
    const auto start = Clock::now();
    if (!run(command))
        return -1.0;
    return secondsSince(start);
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
    std::string name;
    std::string file;
    int gop;
};

void measure(const Case &c, int samples, int threads) {
    std::printf("\n== %s (%s)\n", c.name.c_str(), c.file.c_str());
    const std::string ff =
        "ffmpeg -nostdin -v error -threads " + std::to_string(threads) + " -i '" + c.file + "'";
    const double ffAll = timeCommand(ff + " -map 0:v:0 -f null -");
    const double ffGop =
        timeCommand(ff + " -map 0:v:0 -frames:v " + std::to_string(c.gop) + " -f null -");

    aviplayer::ReaderSettings settings;
    settings.threads = threads;
    {
        aviplayer::AviPlayer player(settings);
        const auto openStart = Clock::now();
        if (player.open(c.file, 0) != aviplayer::kOpenOk) {
            std::printf("cannot open: %s\n", player.lastError().c_str());
            return;
        }
        const double openTime = secondsSince(openStart);
        const int count = player.frameCount();

        auto start = Clock::now();
        for (int n = 0; n < count; ++n)
            if (!player.sourceFrame(n))
                std::printf("frame %d missing\n", n);
        const double seq = secondsSince(start);
        std::printf("open and index: %.3f s for %d frames\n", openTime, count);
        std::printf("sequential decoded frames: %.1f fps, ffmpeg %.1f fps, ratio %.2f\n",
                    count / seq, count / ffAll, ffAll / seq);
    }
    {
        // One player at a time, so that the peak memory reflects one cache.
        aviplayer::AviPlayer display(settings);
        display.open(c.file, 0);
        const int count = display.frameCount();
        const auto start = Clock::now();
        for (int n = 0; n < count; ++n)
            display.image(n);
        const double seqBgra = secondsSince(start);
        std::printf("sequential display frames (BGRA): %.1f fps, ratio to ffmpeg %.2f\n",
                    count / seqBgra, ffAll / seqBgra);
    }

    aviplayer::AviPlayer player(settings);
    player.open(c.file, 0);
    const int count = player.frameCount();
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, count - 1);
    std::vector<double> randomMs, cachedMs, backMs;
    for (int i = 0; i < samples; ++i) {
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
    std::printf("random access over %d frames: median %.1f ms, p95 %.1f ms; ffmpeg one GOP (%d "
                "frames) %.1f ms; "
                "p95 / GOP %.2f\n",
                samples, percentile(randomMs, 0.5), percentile(randomMs, 0.95), c.gop,
                ffGop * 1000.0, percentile(randomMs, 0.95) / (ffGop * 1000.0));
    std::printf("cached frame: median %.3f ms, p95 %.3f ms\n", percentile(cachedMs, 0.5),
                percentile(cachedMs, 0.95));
    std::printf("one step back: median %.3f ms, p95 %.3f ms\n", percentile(backMs, 0.5),
                percentile(backMs, 0.95));
    std::printf("cache held %.1f MB of %.1f MB; peak resident so far %.1f MB\n",
                static_cast<double>(player.reader().cachedBytes()) / 1048576.0,
                static_cast<double>(settings.cacheBytes) / 1048576.0,
                static_cast<double>(peakKb()) / 1024.0);
}

} // namespace

int main(int argc, char **argv) {
    av_log_set_level(AV_LOG_QUIET);
    int frames = 300, samples = 200;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--frames")
            frames = std::max(30, std::atoi(argv[i + 1]));
        else if (arg == "--samples")
            samples = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--keep")
            keep = argv[i + 1];
    }
    namespace fs = std::filesystem;
    const fs::path dir =
        keep.empty() ? fs::temp_directory_path() / "aviplayer-bench" : fs::path(keep);
    fs::create_directories(dir);
    const std::string h264 = (dir / ("h264-1080p-" + std::to_string(frames) + ".mp4")).string();
    const std::string mpeg2 = (dir / ("mpeg2-576-" + std::to_string(frames) + ".mpg")).string();
    const std::string source = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=";
    if (!fs::exists(h264) && !run(source + "1920x1080:rate=25 -frames:v " + std::to_string(frames) +
                                  " -c:v libx264 -preset veryfast -bf 3 -g 250 -keyint_min 250 "
                                  "-sc_threshold 0 -pix_fmt yuv420p '" +
                                  h264 + "'"))
        return std::fprintf(stderr, "aviplayer_bench: cannot generate %s\n", h264.c_str()), 1;
    if (!fs::exists(mpeg2) && !run(source + "720x576:rate=25 -frames:v " + std::to_string(frames) +
                                   " -c:v mpeg2video -b:v 6M -bf 2 -g 12 '" + mpeg2 + "'"))
        return std::fprintf(stderr, "aviplayer_bench: cannot generate %s\n", mpeg2.c_str()), 1;

    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::printf("aviplayer_bench: %d decoder threads for the player and ffmpeg\n", threads);
    measure({"H.264 1080p, GOP 250, B-frames", h264, 250}, samples, threads);
    measure({"MPEG-2 720x576, GOP 12", mpeg2, 12}, samples, threads);
    if (keep.empty())
        fs::remove_all(dir);
    return 0;
}
