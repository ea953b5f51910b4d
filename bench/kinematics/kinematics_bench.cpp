// Kinematics of 20 markers over 100 000 frames at 100 fps with the automatic cutoff per marker
// and axis: noisy swinging and drifting tracks with short and long gaps, half of them with
// angles (the pattern matcher's markers). The cost has a ceiling of 200 ms per pass over all.
#include "bench/common/reference.h"
#include "components/kinematics/kinematics.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMarkers = 20;
constexpr int kFrames = 100000;
constexpr double kFps = 100;

std::vector<kinematics::Sample> track(int marker) {
    std::mt19937 rng(1000 + static_cast<unsigned>(marker));
    std::normal_distribution<double> noise(0, 0.3);
    std::uniform_real_distribution<double> u(0, 1);
    const double f1 = 0.2 + 2 * u(rng), f2 = 0.1 + u(rng), amp = 20 + 200 * u(rng);
    std::vector<kinematics::Sample> s;
    s.reserve(kFrames);
    for (int f = 0; f < kFrames; ++f) {
        const double t = f / kFps;
        kinematics::Sample p{f, 640 + amp * std::sin(2 * std::numbers::pi * f1 * t) + noise(rng),
                             360 + 0.5 * amp * std::cos(2 * std::numbers::pi * f2 * t) +
                                 noise(rng)};
        if (marker % 2 == 0)
            p.angle = std::remainder(40 * t + noise(rng), 360.0);
        // Now and then a point is lost for 1, 2 or 5 frames.
        if (f % 997 == 500 || (f % 4999 == 100 && f % 2 == 0) || f % 20011 < 5)
            p.x = p.y = kinematics::kMissing;
        s.push_back(p);
    }
    return s;
}

} // namespace

int main(int argc, char **argv) {
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--runs")
            runs = std::max(1, std::atoi(argv[++i]));
    std::printf("measured at commit %s; %d runs, %d markers x %d frames at %.0f fps, automatic "
                "cutoff\n",
                benchref::measuredCommit().c_str(), runs, kMarkers, kFrames, kFps);
    std::vector<std::vector<kinematics::Sample>> markers;
    for (int m = 0; m < kMarkers; ++m)
        markers.push_back(track(m));
    const kinematics::Calibration metres{0.002, -0.002, "m", {}};

    std::vector<double> ms;
    double checksum = 0;
    for (int r = 0; r < runs; ++r) {
        const auto start = benchref::Clock::now();
        for (const auto &samples : markers) {
            const kinematics::MarkerKinematics k = kinematics::analyse(samples, kFps, metres);
            if (k.status != kinematics::Status::Ok) {
                std::fprintf(stderr, "analysis refused the track\n");
                return 1;
            }
            checksum += k.pathLength + k.cutoffX.hz + k.cutoffY.hz;
            if (r == 0 && &samples == &markers.front())
                std::printf("marker 1: cutoffs x %.1f Hz, y %.1f Hz, angle %.1f Hz\n", k.cutoffX.hz,
                            k.cutoffY.hz, k.cutoffAngle.hz);
        }
        ms.push_back(1000 * benchref::secondsSince(start));
        std::printf("run %d: %.1f ms\n", r + 1, ms.back());
    }
    std::printf("(checksum %.6g)\n", checksum);
    benchref::Goals goals;
    goals.addCeiling("kinematics, 20 markers x 100000 frames, ms", 200, ms);
    return goals.report() ? 0 : 1;
}
