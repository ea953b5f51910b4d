// engines_bench: tracking quality and speed of both engines on generated scenes with exact
// ground truth, each scene encoded losslessly (FFV1), with H.264 and with MPEG-4 and read
// back through the AVI player. OpenCV's CSRT and KCF trackers run on the same decoded
// frames in the same run. Everything runs on one core.
#include "scenes.h"
#include "tests/support/clips.h"
#include "tools/track/trackrun.h"

#include "components/aviplayer/aviplayerobject.h"
#include "components/aviplayer/ctalvoravi.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#ifdef ORVANE_HAVE_CV_TRACKING
#include <opencv2/tracking.hpp>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Scene;
using bench::Seen;

struct Codec {
    const char *name;
    const char *container;
    const char *args;
};

// H.264 with B-frames goes into MP4: the player does not yet read B-frames from AVI.
const Codec kCodecs[] = {
    {"FFV1", "avi", "-c:v ffv1"},
    {"H.264", "mp4", "-c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p"},
    {"MPEG-4", "avi", "-c:v mpeg4 -q:v 3 -pix_fmt yuv420p"},
};

bool encode(const Scene &s, const Codec &c, const fs::path &file) {
    testsupport::RawClip clip(file.string(), "gray", s.size.width, s.size.height, 25, c.args);
    for (const cv::Mat &g : s.rendered)
        for (int y = 0; y < g.rows; ++y)
            clip.write(g.ptr(y), std::size_t(g.cols));
    return clip.finish();
}

// One tracker's result on one marker in one frame.
struct Report {
    bool found = false;
    double x = 0, y = 0, angle = 0;
};

struct Outcome {
    std::vector<std::vector<Report>> reports; // [marker][frame]
    double seconds = 0;
    long steps = 0;
};

struct Stats {
    std::vector<double> errors;
    double worstAngle = 0;
    int lost = 0, wrong = 0, hidden = 0, lostHidden = 0;
    double msPerStep = 0;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = std::size_t(std::ceil(p * double(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

// Where the point a tracker was started on should be: the start offset from the marker's
// centre turns and moves with the marker.
cv::Point2d expected(const Scene &s, std::size_t m, int f, cv::Point2d start) {
    const auto &t0 = s.truth[m][0];
    const auto &t = s.truth[m][std::size_t(f)];
    const double a = (t.angle - t0.angle) * CV_PI / 180.0, c = std::cos(a), sn = std::sin(a);
    const double dx = start.x - t0.x, dy = start.y - t0.y;
    return {t.x + c * dx + sn * dy, t.y - sn * dx + c * dy};
}

Stats evaluate(const Scene &s, const Outcome &o, const std::vector<cv::Point2d> &starts,
               bool angles) {
    Stats st;
    for (std::size_t m = 0; m < s.truth.size(); ++m) {
        bool wasHidden = false;
        for (int f = 1; f < s.frames; ++f) {
            const auto &t = s.truth[m][std::size_t(f)];
            // A marker lost stays lost: once it was hidden, its return is not counted.
            if (wasHidden && t.seen != Seen::Hidden)
                break;
            wasHidden = wasHidden || t.seen == Seen::Hidden;
            const Report &r = o.reports[m][std::size_t(f)];
            const cv::Point2d e = expected(s, m, f, starts[m]);
            const double error = std::hypot(r.x - e.x, r.y - e.y);
            if (t.seen == Seen::Hidden) {
                ++st.hidden;
                if (r.found)
                    ++st.wrong;
                else
                    ++st.lostHidden;
                continue;
            }
            if (t.seen == Seen::Partly) {
                if (r.found && error > 3.0)
                    ++st.wrong;
                continue;
            }
            if (!r.found) {
                ++st.lost;
                continue;
            }
            if (error > 3.0)
                ++st.wrong;
            st.errors.push_back(error);
            if (angles)
                st.worstAngle = std::max(st.worstAngle, std::abs(r.angle - t.angle));
        }
    }
    st.msPerStep = o.steps ? 1000.0 * o.seconds / double(o.steps) : 0.0;
    return st;
}

Outcome runEngine(const Scene &s, const fs::path &video, track::Engine engine,
                  std::vector<cv::Point2d> *starts) {
    track::Options options;
    options.engine = engine;
    options.video = video.string();
    options.start = 0;
    starts->clear();
    for (std::size_t m = 0; m < s.truth.size(); ++m) {
        const auto &t = s.truth[m][0];
        track::StartPoint p;
        // The marker tracker gets a click on a whole pixel and finds the centre itself; the
        // pattern matcher follows the point it was given, exactly.
        p.x = engine == track::Engine::Marker ? std::round(t.x) : t.x;
        p.y = engine == track::Engine::Marker ? std::round(t.y) : t.y;
        p.radius = s.radii[m];
        options.points.push_back(p);
        starts->push_back(engine == track::Engine::Marker ? cv::Point2d(t.x, t.y)
                                                          : cv::Point2d(p.x, p.y));
    }
    Outcome o;
    o.reports.assign(s.truth.size(), std::vector<Report>(std::size_t(s.frames)));
    track::Timing timing;
    std::string error;
    const int code = track::run(
        options,
        [&](const track::Row &r) {
            if (r.frame < s.frames)
                o.reports[std::size_t(r.marker - 1)][std::size_t(r.frame)] = {r.found, r.x, r.y,
                                                                              r.angle};
        },
        &error, &timing);
    if (code != 0)
        std::fprintf(stderr, "engines_bench: %s\n", error.c_str());
    o.seconds = timing.engineSeconds;
    o.steps = timing.steps;
    return o;
}

#ifdef ORVANE_HAVE_CV_TRACKING
Outcome runOpenCv(const Scene &s, const fs::path &video, bool csrt,
                  std::vector<cv::Point2d> *starts) {
    Outcome o;
    o.reports.assign(s.truth.size(), std::vector<Report>(std::size_t(s.frames)));
    auto player = aviplayer::CTalvorAVI::create();
    if (player.open(video.string(), 0) != 0)
        return o;
    std::vector<cv::Ptr<cv::Tracker>> trackers;
    std::vector<bool> alive(s.truth.size(), true);
    starts->clear();
    for (int f = 0; f < s.frames; ++f) {
        const auto picture = player.picturePart(f, 100, 0, 0, 0, 0);
        if (!picture)
            break;
        const auto v = picture->image();
        const cv::Mat bgra(v.height, v.width, CV_8UC4, const_cast<std::uint8_t *>(v.data),
                           std::size_t(v.stride));
        cv::Mat bgr;
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        for (std::size_t m = 0; m < s.truth.size(); ++m) {
            Report &r = o.reports[m][std::size_t(f)];
            if (f == 0) {
                const auto &t = s.truth[m][0];
                // A box twice the start radius wide, at least 20 pixels: both trackers need
                // some context around a small marker.
                const int side = std::max(2 * s.radii[m], 20);
                const cv::Rect box(int(std::lround(t.x - (side - 1) / 2.0)),
                                   int(std::lround(t.y - (side - 1) / 2.0)), side, side);
                cv::Ptr<cv::Tracker> tracker;
                if (csrt)
                    tracker = cv::TrackerCSRT::create();
                else
                    tracker = cv::TrackerKCF::create();
                tracker->init(bgr, box);
                trackers.push_back(tracker);
                starts->push_back({box.x + (side - 1) / 2.0, box.y + (side - 1) / 2.0});
                r = {true, starts->back().x, starts->back().y, 0};
                continue;
            }
            if (!alive[m])
                continue;
            cv::Rect box;
            timespec t0{}, t1{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
            const bool ok = trackers[m]->update(bgr, box);
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
            o.seconds += double(t1.tv_sec - t0.tv_sec) + 1e-9 * double(t1.tv_nsec - t0.tv_nsec);
            ++o.steps;
            alive[m] = ok;
            if (ok)
                r = {true, box.x + (box.width - 1) / 2.0, box.y + (box.height - 1) / 2.0, 0};
        }
    }
    return o;
}
#endif

void print(const char *tracker, const Stats &st, bool angles, bool hidden) {
    std::printf("  %-16s mean %6.3f  p95 %6.3f  max %7.3f px", tracker,
                st.errors.empty() ? 0.0 :
                    [&] { double a = 0; for (double e : st.errors) a += e; return a / double(st.errors.size()); }(),
                percentile(st.errors, 0.95),
                st.errors.empty() ? 0.0 : *std::max_element(st.errors.begin(), st.errors.end()));
    std::printf("  lost %3d  wrong %3d", st.lost, st.wrong);
    if (angles)
        std::printf("  angle err max %5.2f deg", st.worstAngle);
    if (hidden)
        std::printf("  hidden lost %d/%d", st.lostHidden, st.hidden);
    std::printf("  %7.3f ms/marker/frame\n", st.msPerStep);
}

} // namespace

int main(int argc, char **argv) {
    cv::setNumThreads(1); // one core, for us and for the trackers we compare with
    aviplayer::registerClasses();
    // --keep DIR keeps the encoded videos there (for the track tool), --only TEXT runs the
    // scenes whose name holds TEXT.
    fs::path dir = fs::temp_directory_path() / "orvane-engines-bench";
    bool keep = false;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--keep") {
            dir = argv[i + 1];
            keep = true;
        } else if (std::string(argv[i]) == "--only") {
            only = argv[i + 1];
        }
    }
    fs::create_directories(dir);
    const auto scenes = bench::makeScenes();
    std::map<std::string, double> time, timeCsrt;
    std::map<std::string, long> steps, stepsCsrt;
    for (const Scene &s : scenes) {
        if (s.name.find(only) == std::string::npos)
            continue;
        for (const Codec &c : kCodecs) {
            const fs::path video =
                dir / (std::to_string(&s - scenes.data()) + "-" + c.name + "." + c.container);
            if (!encode(s, c, video)) {
                std::fprintf(stderr, "engines_bench: ffmpeg could not encode %s\n", video.c_str());
                return 1;
            }
            std::printf("%s, %s (%dx%d, %d frames, %zu marker%s)\n", s.name.c_str(), c.name,
                        s.size.width, s.size.height, s.frames, s.truth.size(),
                        s.truth.size() > 1 ? "s" : "");
            const bool angles = !s.marker;
            const bool hidden = s.name.find("hidden") != std::string::npos ||
                                s.name.find("leaving") != std::string::npos;
            std::vector<cv::Point2d> starts;
            if (s.pattern) {
                const Outcome o = runEngine(s, video, track::Engine::Pattern, &starts);
                print("pattern matcher", evaluate(s, o, starts, angles), angles, hidden);
                time["pattern " + s.name] += o.seconds;
                steps["pattern " + s.name] += o.steps;
            }
            if (s.marker) {
                const Outcome o = runEngine(s, video, track::Engine::Marker, &starts);
                print("marker tracker", evaluate(s, o, starts, false), false, hidden);
                time["marker"] += o.seconds;
                steps["marker"] += o.steps;
            }
#ifdef ORVANE_HAVE_CV_TRACKING
            {
                const Outcome o = runOpenCv(s, video, true, &starts);
                print("OpenCV CSRT", evaluate(s, o, starts, false), false, hidden);
                timeCsrt["csrt"] += o.seconds;
                stepsCsrt["csrt"] += o.steps;
                const Outcome k = runOpenCv(s, video, false, &starts);
                print("OpenCV KCF", evaluate(s, k, starts, false), false, hidden);
                timeCsrt["kcf"] += k.seconds;
                stepsCsrt["kcf"] += k.steps;
            }
#endif
        }
    }
    auto ms = [](double seconds, long n) {
        return n ? 1000.0 * seconds / double(n) : 0.0;
    };
    const double pattern = ms(time["pattern turning patch"], steps["pattern turning patch"]);
    const double marker = ms(time["marker"], steps["marker"]);
    std::printf("\nspeed, one core, ms per marker per frame:\n");
    std::printf("  pattern matcher (default pattern size, 720x576): %.3f\n", pattern);
    std::printf("  marker tracker:                                  %.3f\n", marker);
#ifdef ORVANE_HAVE_CV_TRACKING
    const double csrt = ms(timeCsrt["csrt"], stepsCsrt["csrt"]);
    const double kcf = ms(timeCsrt["kcf"], stepsCsrt["kcf"]);
    std::printf("  OpenCV CSRT: %.3f   OpenCV KCF: %.3f\n", csrt, kcf);
    if (pattern > 0 && marker > 0)
        std::printf("  CSRT / pattern matcher: %.1fx   CSRT / marker tracker: %.1fx   "
                    "KCF / pattern matcher: %.1fx   KCF / marker tracker: %.1fx\n",
                    csrt / pattern, csrt / marker, kcf / pattern, kcf / marker);
#else
    std::printf("  (CSRT and KCF left out: libopencv-contrib-dev is not installed)\n");
#endif
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
