#include "components/kinematics/kinematics.h"

#include "components/kinematics/butterworth.h"
#include "components/kinematics/residual.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kinematics {

namespace {

// Resolution floors of the noise level: stored single-precision fractions of a picture a
// few thousand pixels wide carry nothing below about 1e-3 px; angles likewise 1e-3 degrees.
constexpr double kPositionFloor = 1e-3;
constexpr double kAngleFloor = 1e-3;
// The longest gap, in frames, that is bridged.
constexpr int kMaxBridge = 2;

bool present(double v) {
    return std::isfinite(v) && v > kMissing;
}

// Not std::hypot: its care for overflow costs more than the rest of a frame, and motion in
// pixels or units is far from the range where x² overflows.
double magnitude(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// A run of frames [begin, end) with a value in every frame, stored or bridged.
struct Run {
    int begin, end;
    int size() const { return end - begin; }
};

// Bridges gaps of 1 or 2 frames by the cubic through the two stored points on either side
// (or the line through the nearest ones where a side has only one), and returns the runs.
// `bridged` marks the bridged frames.
std::vector<Run> bridgeAndSplit(std::vector<double> &v, std::vector<unsigned char> &bridged) {
    const int n = static_cast<int>(v.size());
    std::vector<Run> runs;
    int i = 0;
    while (i < n) {
        while (i < n && std::isnan(v[static_cast<std::size_t>(i)]))
            ++i;
        if (i == n)
            break;
        Run run{i, i};
        int j = i;
        for (;;) {
            while (j < n && !std::isnan(v[static_cast<std::size_t>(j)]))
                ++j;
            int next = j;
            while (next < n && std::isnan(v[static_cast<std::size_t>(next)]))
                ++next;
            const int gap = next - j;
            if (next == n || gap > kMaxBridge)
                break;
            // Up to two known points each side: before j and from next.
            std::array<std::pair<double, double>, 4> known{};
            int k = 0;
            for (int p = std::max(run.begin, j - 2); p < j; ++p)
                known[static_cast<std::size_t>(k++)] = {p, v[static_cast<std::size_t>(p)]};
            for (int p = next; p < std::min(n, next + 2); ++p) {
                if (std::isnan(v[static_cast<std::size_t>(p)]))
                    break;
                known[static_cast<std::size_t>(k++)] = {p, v[static_cast<std::size_t>(p)]};
            }
            // Use the same number of points on each side (the nearest ones), so the bridge
            // never leans on one side.
            const int before = std::min(j - std::max(run.begin, j - 2), 2);
            const int after = k - before;
            const int side = std::min(before, after);
            std::array<std::pair<double, double>, 4> pts{};
            int np = 0;
            for (int q = before - side; q < before; ++q)
                pts[static_cast<std::size_t>(np++)] = known[static_cast<std::size_t>(q)];
            for (int q = before; q < before + side; ++q)
                pts[static_cast<std::size_t>(np++)] = known[static_cast<std::size_t>(q)];
            for (int m = j; m < next; ++m) {
                double sum = 0; // Lagrange through pts
                for (int a = 0; a < np; ++a) {
                    double term = pts[static_cast<std::size_t>(a)].second;
                    for (int b = 0; b < np; ++b)
                        if (b != a)
                            term *= (m - pts[static_cast<std::size_t>(b)].first) /
                                    (pts[static_cast<std::size_t>(a)].first -
                                     pts[static_cast<std::size_t>(b)].first);
                    sum += term;
                }
                v[static_cast<std::size_t>(m)] = sum;
                bridged[static_cast<std::size_t>(m)] = 1;
            }
            j = next;
        }
        run.end = j;
        runs.push_back(run);
        i = j;
    }
    return runs;
}

std::vector<SegmentView> views(const std::vector<double> &v,
                               const std::vector<unsigned char> &weight,
                               const std::vector<Run> &runs) {
    std::vector<SegmentView> out;
    for (const Run &r : runs)
        out.push_back({v.data() + r.begin, weight.data() + r.begin, r.size()});
    return out;
}

// Chooses the cutoff (or takes the user's) and filters every run long enough in place.
CutoffChoice smooth(std::vector<double> &v, const std::vector<unsigned char> &measured,
                    const std::vector<Run> &runs, double frameRate, const Smoothing &smoothing,
                    double floor, std::size_t residualSamples) {
    CutoffChoice choice;
    if (smoothing.mode == SmoothingMode::Off)
        return choice;
    const bool anyLong = std::any_of(runs.begin(), runs.end(),
                                     [](const Run &r) { return r.size() >= kMinFilterSamples; });
    if (!anyLong) {
        choice.source = CutoffSource::NotEnoughData;
        return choice;
    }
    if (smoothing.mode == SmoothingMode::Fixed) {
        choice.source = CutoffSource::User;
        choice.hz = smoothing.cutoffHz;
    } else {
        choice = chooseCutoff(views(v, measured, runs), frameRate, floor, residualSamples);
    }
    const Biquad c = designDualPass(choice.hz, frameRate);
    const int pad = settlingSamples(choice.hz, frameRate);
    std::vector<double> work;
    for (const Run &r : runs)
        if (r.size() >= kMinFilterSamples)
            filterSegment(v.data() + r.begin, r.size(), c, pad, work, v.data() + r.begin);
    return choice;
}

// First derivative of a run: central differences inside, the three-point one-sided
// formulas at the ends; a run of 2 gets the plain difference; a run of 1 nothing.
void firstDerivative(const double *p, int n, double h, double *d) {
    if (n < 2)
        return;
    if (n == 2) {
        d[0] = d[1] = (p[1] - p[0]) / h;
        return;
    }
    d[0] = (-3 * p[0] + 4 * p[1] - p[2]) / (2 * h);
    for (int i = 1; i + 1 < n; ++i)
        d[i] = (p[i + 1] - p[i - 1]) / (2 * h);
    d[n - 1] = (3 * p[n - 1] - 4 * p[n - 2] + p[n - 3]) / (2 * h);
}

// Second derivative: central inside, the four-point one-sided formulas at the ends of runs
// of 4 or more; a run of 3 gets only its middle, shorter runs nothing.
void secondDerivative(const double *p, int n, double h, double *d) {
    if (n < 3)
        return;
    const double h2 = h * h;
    for (int i = 1; i + 1 < n; ++i)
        d[i] = (p[i + 1] - 2 * p[i] + p[i - 1]) / h2;
    if (n < 4)
        return;
    d[0] = (2 * p[0] - 5 * p[1] + 4 * p[2] - p[3]) / h2;
    d[n - 1] = (2 * p[n - 1] - 5 * p[n - 2] + 4 * p[n - 3] - p[n - 4]) / h2;
}

bool validCalibration(const Calibration &c) {
    if (c.transform)
        return true;
    return std::isfinite(c.unitsPerPixelX) && std::isfinite(c.unitsPerPixelY) &&
           c.unitsPerPixelX != 0 && c.unitsPerPixelY != 0;
}

bool validCutoff(const Smoothing &s, double frameRate) {
    return s.mode != SmoothingMode::Fixed ||
           (std::isfinite(s.cutoffHz) && s.cutoffHz > 0 && s.cutoffHz < frameRate / 2);
}

} // namespace

MarkerKinematics analyse(std::span<const Sample> samples, double frameRate,
                         const Calibration &calibration, const Options &options) {
    MarkerKinematics result;
    result.unit = calibration.unit;
    if (!std::isfinite(frameRate) || frameRate <= 0) {
        result.status = Status::InvalidFrameRate;
        return result;
    }
    if (!validCalibration(calibration)) {
        result.status = Status::InvalidCalibration;
        return result;
    }
    if (!validCutoff(options.position, frameRate) || !validCutoff(options.angle, frameRate)) {
        result.status = Status::InvalidCutoff;
        return result;
    }
    for (std::size_t i = 1; i < samples.size(); ++i)
        if (samples[i].frame <= samples[i - 1].frame) {
            result.status = Status::FramesOutOfOrder;
            return result;
        }
    if (samples.empty())
        return result;
    const long long first = samples.front().frame;
    const long long span = static_cast<long long>(samples.back().frame) - first + 1;
    if (span > kMaxFrames) {
        result.status = Status::TooManyFrames;
        return result;
    }
    const std::size_t n = static_cast<std::size_t>(span);

    std::vector<double> px(n, kEmpty), py(n, kEmpty), angle(n, kEmpty);
    std::vector<unsigned char> measured(n, 0), angleMeasured(n, 0);
    for (const Sample &s : samples) {
        const std::size_t i = static_cast<std::size_t>(s.frame - first);
        if (present(s.x) && present(s.y)) {
            px[i] = s.x;
            py[i] = s.y;
            measured[i] = 1;
        }
        if (present(s.angle)) {
            angle[i] = s.angle;
            angleMeasured[i] = 1;
        }
    }
    // Angles are unwrapped across ±180° jumps between stored angles that a bridge could
    // join; past a longer gap the next run starts from its own value.
    {
        std::ptrdiff_t last = -1;
        for (std::size_t i = 0; i < n; ++i) {
            if (!angleMeasured[i])
                continue;
            if (last >= 0 && static_cast<std::ptrdiff_t>(i) - last <= kMaxBridge + 1) {
                const double prev = angle[static_cast<std::size_t>(last)];
                const double d = angle[i] - prev;
                if (std::abs(d) > 180.0)
                    angle[i] = prev + (d - 360.0 * std::round(d / 360.0));
            }
            last = static_cast<std::ptrdiff_t>(i);
        }
    }

    std::vector<unsigned char> bridged(n, 0), bridgedY(n, 0), angleBridged(n, 0);
    const std::vector<Run> runs = bridgeAndSplit(px, bridged);
    bridgeAndSplit(py, bridgedY); // the same mask, so the same runs
    const std::vector<Run> angleRuns = bridgeAndSplit(angle, angleBridged);

    result.cutoffX = smooth(px, measured, runs, frameRate, options.position, kPositionFloor,
                            options.residualSamples);
    result.cutoffY = smooth(py, measured, runs, frameRate, options.position, kPositionFloor,
                            options.residualSamples);
    result.cutoffAngle = smooth(angle, angleMeasured, angleRuns, frameRate, options.angle,
                                kAngleFloor, options.residualSamples);

    // Pixels to units, in place (positions that the transform cannot map stay empty).
    std::vector<double> &ux = px, &uy = py;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(px[i]))
            continue;
        if (calibration.transform) {
            double x, y;
            const bool mapped = calibration.transform(px[i], py[i], x, y);
            ux[i] = mapped ? x : kEmpty;
            uy[i] = mapped ? y : kEmpty;
        } else {
            ux[i] = px[i] * calibration.unitsPerPixelX;
            uy[i] = py[i] * calibration.unitsPerPixelY;
        }
    }

    const double h = 1.0 / frameRate;
    std::vector<double> vx(n, kEmpty), vy(n, kEmpty), ax(n, kEmpty), ay(n, kEmpty),
        omega(n, kEmpty);
    for (const Run &r : runs) {
        const std::size_t b = static_cast<std::size_t>(r.begin);
        firstDerivative(ux.data() + b, r.size(), h, vx.data() + b);
        firstDerivative(uy.data() + b, r.size(), h, vy.data() + b);
        secondDerivative(ux.data() + b, r.size(), h, ax.data() + b);
        secondDerivative(uy.data() + b, r.size(), h, ay.data() + b);
        for (int i = r.begin + 1; i < r.end; ++i) {
            const std::size_t j = static_cast<std::size_t>(i);
            const double d = magnitude(ux[j] - ux[j - 1], uy[j] - uy[j - 1]);
            if (std::isfinite(d))
                result.pathLength += d;
        }
    }
    for (const Run &r : angleRuns)
        firstDerivative(angle.data() + r.begin, r.size(), h, omega.data() + r.begin);

    // Built in one pass: the frames are the bulk of the memory written.
    result.frames.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int frame = static_cast<int>(first + static_cast<long long>(i));
        result.frames.push_back({frame, frame / frameRate, measured[i] != 0, bridged[i] != 0, ux[i],
                                 uy[i], vx[i], vy[i], magnitude(vx[i], vy[i]), ax[i], ay[i],
                                 magnitude(ax[i], ay[i]), angle[i], omega[i]});
    }
    return result;
}

} // namespace kinematics
