// Recording 640x480 at 25 fps from the synthetic test camera through the video view control,
// `--seconds S` (default 20) each run, `--runs N` times (default 3). Reports per run the
// dropped frames, the process's CPU use, and the latency from a frame leaving the device to
// its first paint in the preview; and, as the reference measured in the same run, ffmpeg
// encoding the same source with the same codec: our CPU time over its CPU time.
// Goals: no dropped frame, a mean latency below two frame intervals.
#include "bench/common/reference.h"
#include "components/vidgrab/vidgrab.h"
#include "control/cvviewctrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr double kFrameIntervalMs = 40.0; // 25 fps

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) {
        return t.tv_sec + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    long seen = 0;
    long dropped = 0;
    double cpuSeconds = 0;
    double wallSeconds = 0;
    vidgrab::PreviewLatency latency;
};

Run record(const std::string &file, double seconds) {
    Run run;
    quivex::CVViewCtrl ctrl;
    ctrl.resize(640, 480);
    ctrl.show();
    ctrl.SetCaptureFilename(file);
    ctrl.SetLiveVideo(1);
    if (!ctrl.LiveVideo())
        return run;
    QObject::connect(&ctrl, &quivex::CVViewCtrl::VideoStream,
                     [&](quivex::LONG, quivex::LONG frames, quivex::LONG dropped, quivex::LONG) {
                         run.seen = frames;
                         run.dropped = dropped;
                     });
    vidgrab::resetPreviewLatency();
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    ctrl.CaptureStart();
    QTimer::singleShot(static_cast<int>(seconds * 1000), qApp, [] { qApp->quit(); });
    qApp->exec();
    ctrl.CaptureStop();
    run.cpuSeconds = processCpuSeconds() - cpuBefore;
    run.wallSeconds = wall.elapsed() / 1000.0;
    run.latency = vidgrab::previewLatency();
    ctrl.SetLiveVideo(0);
    return run;
}

// ffmpeg encoding the same real-time test source with the same codec and quality: its CPU
// seconds (user + system, from its -benchmark report); 0 when it fails.
double ffmpegCpuSeconds(const std::string &file, double seconds) {
    const std::string cmd = "ffmpeg -nostdin -hide_banner -nostats -benchmark -y -f lavfi -i "
                            "'testsrc2=size=640x480:rate=25,realtime' -t " +
                            std::to_string(seconds) + " -c:v mjpeg -q:v 2 -pix_fmt yuvj420p '" +
                            file + "' 2>&1";
    FILE *pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return 0;
    double utime = 0, stime = 0;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        if (const char *at = std::strstr(line, "utime="))
            utime = std::atof(at + 6);
        if (const char *at = std::strstr(line, "stime="))
            stime = std::atof(at + 6);
    }
    return pclose(pipe) == 0 ? utime + stime : 0;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 3;
    double seconds = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--runs")
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::string(argv[i]) == "--seconds")
            seconds = std::max(1.0, std::atof(argv[++i]));
    }
    std::printf("measured at commit %s; %d runs of %.0f s at 640x480, 25 fps, %ld cores\n",
                benchref::measuredCommit().c_str(), runs, seconds, sysconf(_SC_NPROCESSORS_ONLN));
    QTemporaryDir dir;
    std::vector<double> dropped, latencyIntervals, maxLatencyIntervals, cpuShare, cpuRatio;
    for (int r = 0; r < runs; ++r) {
        const Run run = record(dir.filePath("record.avi").toStdString(), seconds);
        const double reference =
            ffmpegCpuSeconds(dir.filePath("reference.avi").toStdString(), seconds);
        if (run.seen == 0) {
            std::fprintf(stderr, "no frames: the test camera did not start\n");
            return 1;
        }
        std::printf("run %d: %ld frames, %ld dropped, CPU %.1f%% of one core, latency mean "
                    "%.1f ms max %.1f ms over %ld frames, ffmpeg CPU %.2f s vs ours %.2f s\n",
                    r + 1, run.seen, run.dropped, 100.0 * run.cpuSeconds / run.wallSeconds,
                    run.latency.meanMs, run.latency.maxMs, run.latency.count, reference,
                    run.cpuSeconds);
        dropped.push_back(static_cast<double>(run.dropped));
        latencyIntervals.push_back(run.latency.meanMs / kFrameIntervalMs);
        maxLatencyIntervals.push_back(run.latency.maxMs / kFrameIntervalMs);
        cpuShare.push_back(100.0 * run.cpuSeconds / run.wallSeconds);
        if (reference > 0)
            cpuRatio.push_back(run.cpuSeconds / reference);
    }
    benchref::Goals goals;
    goals.addCeiling("mean latency, capture to preview paint / frame interval", 2.0,
                     latencyIntervals);
    goals.add("max latency / frame interval", 0, maxLatencyIntervals);
    goals.add("CPU time / ffmpeg recording the same source", 0, cpuRatio);
    goals.add("CPU use, percent of one core", 0, cpuShare);
    goals.add("dropped frames (goal: none)", 0, dropped);
    const bool pass = goals.report();
    const bool noneDropped = benchref::Goals::median(dropped) == 0;
    if (!noneDropped)
        std::printf("REGRESSED: frames were dropped\n");
    return pass && noneDropped ? 0 : 1;
}
