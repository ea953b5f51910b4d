#include "components/kinematics/residual.h"

#include "components/kinematics/butterworth.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kinematics {

namespace {

// Windows of the track the residual is measured on: [from, to) of a segment.
struct Window {
    const SegmentView *segment;
    int from, to;
};

constexpr int kWindow = 2000;

std::vector<Window> windows(const std::vector<SegmentView> &segments, std::size_t maxSamples) {
    std::vector<Window> all;
    std::size_t total = 0;
    for (const SegmentView &s : segments) {
        if (s.n < kMinFilterSamples)
            continue;
        total += static_cast<std::size_t>(s.n);
        for (int from = 0; from < s.n; from += kWindow)
            all.push_back({&s, from, std::min(s.n, from + kWindow)});
    }
    if (maxSamples == 0 || total <= maxSamples)
        return all;
    // Evenly spread windows, so a track that changes along its length is sampled along
    // all of it.
    const std::size_t wanted = std::max<std::size_t>(1, (maxSamples + kWindow - 1) / kWindow);
    if (wanted >= all.size())
        return all;
    std::vector<Window> picked;
    const double stride = static_cast<double>(all.size()) / static_cast<double>(wanted);
    for (std::size_t i = 0; i < wanted; ++i)
        picked.push_back(all[static_cast<std::size_t>((static_cast<double>(i) + 0.5) * stride)]);
    return picked;
}

// The residual is measured for kLanes cutoffs in one sweep over the data: the lanes' filters
// are independent recurrences, so running them side by side keeps the processor busy where
// one alone waits on its own previous output. Each lane filters exactly as filterRange does.
constexpr int kLanes = 8;

struct Lanes {
    std::array<double, kLanes> a0, b1, b2, delay;
};

// The lanes' filter states, side by side; each lane runs as the segment filter's pass does.
struct LaneStates {
    std::array<double, kLanes> x1, x2, y1, y2;

    // Lane l in the steady state of the ramp through `first` with `slope` per sample.
    void startRamp(const Lanes &c, int l, double first, double slope) {
        x1[l] = first - slope;
        x2[l] = first - 2 * slope;
        y1[l] = x1[l] - slope * c.delay[l];
        y2[l] = x2[l] - slope * c.delay[l];
    }
    // Lane l's output for input x0.
    double step(const Lanes &c, int l, double x0) {
        const double y0 = c.a0[l] * (x0 + 2 * x1[l] + x2[l]) + c.b1[l] * y1[l] + c.b2[l] * y2[l];
        x2[l] = x1[l];
        x1[l] = x0;
        y2[l] = y1[l];
        y1[l] = y0;
        return y0;
    }
};

// The residual RMS of each cutoff (unused lanes repeat the last one).
std::vector<double> sweep(const std::vector<Window> &ws, const std::vector<double> &cutoffs,
                          double frameRate, std::vector<double> &ext, std::vector<double> &fw) {
    Lanes c;
    int pad = 0;
    for (int l = 0; l < kLanes; ++l) {
        const double hz = cutoffs[std::min<std::size_t>(l, cutoffs.size() - 1)];
        const Biquad q = designDualPass(hz, frameRate);
        c.a0[l] = q.a0;
        c.b1[l] = q.b1;
        c.b2[l] = q.b2;
        c.delay[l] = rampDelay(q);
        pad = std::max(pad, settlingSamples(hz, frameRate));
    }
    std::array<double, kLanes> sum{};
    std::size_t count = 0;
    for (const Window &w : ws) {
        const SegmentView &s = *w.segment;
        const int lo = w.from - pad, hi = w.to + pad;
        const std::size_t m = static_cast<std::size_t>(hi - lo);
        ext.resize(m);
        for (int i = lo; i < hi; ++i)
            ext[static_cast<std::size_t>(i - lo)] = reflected(s.values, s.n, i);
        fw.resize(m * kLanes);
        // Forward, every lane from the ramp through the first two inputs.
        LaneStates st;
        const double slope = m > 1 ? ext[1] - ext[0] : 0;
        for (int l = 0; l < kLanes; ++l)
            st.startRamp(c, l, ext[0], slope);
        for (std::size_t i = 0; i < m; ++i) {
            const double x0 = ext[i];
            double *out = fw.data() + i * kLanes;
            for (int l = 0; l < kLanes; ++l)
                out[l] = st.step(c, l, x0);
        }
        // Backward over each lane's forward output, from the ramp through its last two
        // outputs, summing the residual inside the window.
        const double *last = fw.data() + (m - 1) * kLanes;
        for (int l = 0; l < kLanes; ++l)
            st.startRamp(c, l, last[l], m > 1 ? last[l - kLanes] - last[l] : 0);
        for (std::size_t k = m; k-- > 0;) {
            const int i = lo + static_cast<int>(k);
            const double *in = fw.data() + k * kLanes;
            const bool counted = i >= w.from && i < w.to && s.weight[i];
            const double raw = counted ? s.values[i] : 0;
            for (int l = 0; l < kLanes; ++l) {
                const double y0 = st.step(c, l, in[l]);
                const double d = counted ? raw - y0 : 0;
                sum[l] += d * d;
            }
            count += counted;
        }
    }
    std::vector<double> out(cutoffs.size(), kEmpty);
    if (count)
        for (std::size_t l = 0; l < cutoffs.size(); ++l)
            out[l] = std::sqrt(sum[l] / static_cast<double>(count));
    return out;
}

} // namespace

double residualRms(const std::vector<SegmentView> &segments, double cutoffHz, double frameRate,
                   std::size_t maxSamples) {
    std::vector<double> ext, fw;
    const std::vector<Window> ws = windows(segments, maxSamples);
    return ws.empty() ? kEmpty : sweep(ws, {cutoffHz}, frameRate, ext, fw)[0];
}

CutoffChoice chooseCutoff(const std::vector<SegmentView> &segments, double frameRate, double floor,
                          std::size_t maxSamples) {
    CutoffChoice choice;
    const std::vector<Window> ws = windows(segments, maxSamples);
    if (ws.empty()) {
        choice.source = CutoffSource::NotEnoughData;
        return choice;
    }
    choice.source = CutoffSource::Automatic;
    std::vector<double> ext, fw;
    std::vector<double> residual(kResidualSteps + 1, kEmpty);
    // Measures the grid points asked for that are not measured yet, kLanes per sweep.
    auto measure = [&](const std::vector<int> &ks) {
        std::vector<int> todo;
        for (int k : ks)
            if (std::isnan(residual[static_cast<std::size_t>(k)]))
                todo.push_back(k);
        for (std::size_t b = 0; b < todo.size(); b += kLanes) {
            std::vector<double> hz;
            for (std::size_t j = b; j < std::min(todo.size(), b + kLanes); ++j)
                hz.push_back(residualCutoff(todo[j], frameRate));
            const std::vector<double> r = sweep(ws, hz, frameRate, ext, fw);
            for (std::size_t j = 0; j < hz.size(); ++j)
                residual[static_cast<std::size_t>(todo[b + j])] = r[j];
        }
    };
    auto at = [&](int k) {
        return residual[static_cast<std::size_t>(k)];
    };

    // The noise line: least squares over every 4th cutoff of the upper half, where the
    // residual is (nearly) all noise and falls linearly. The lowest cutoff is measured in the
    // same sweep.
    std::vector<int> fit;
    for (int k = kResidualSteps / 2 + 1; k <= kResidualSteps; k += 4)
        fit.push_back(k);
    fit.push_back(1);
    measure(fit);
    fit.pop_back();
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double m = static_cast<double>(fit.size());
    for (int k : fit) {
        const double f = residualCutoff(k, frameRate), r = at(k);
        sx += f;
        sy += r;
        sxx += f * f;
        sxy += f * r;
    }
    const double slope = (m * sxy - sx * sy) / (m * sxx - sx * sx);
    const double intercept = (sy - slope * sx) / m;
    const double level = std::max(intercept, floor);
    choice.noiseLevel = level;

    // Noise only: at the lowest cutoff the residual is within kNoiseOnlyMargin of the noise
    // level, i.e. what the lowest cutoff removes beyond the noise has an RMS below a third
    // of the noise's (1.05² - 1 < 1/3²). The lowest cutoff is taken.
    if (at(1) <= kNoiseOnlyMargin * level) {
        choice.noiseOnly = true;
        choice.hz = residualCutoff(1, frameRate);
        return choice;
    }
    if (at(kResidualSteps) > level) {
        choice.hz = residualCutoff(kResidualSteps, frameRate);
        return choice;
    }
    // The residual falls as the cutoff rises, so the crossing is bracketed ever closer by
    // sweeps of evenly spread grid points: residual(lo) > level >= residual(hi).
    int lo = 1, hi = kResidualSteps;
    while (hi - lo > 1) {
        std::vector<int> ks;
        const int inner = hi - lo - 1;
        const int take = std::min(inner, kLanes);
        for (int j = 1; j <= take; ++j)
            ks.push_back(lo + static_cast<int>(std::lround(j * (hi - lo) / (take + 1.0))));
        measure(ks);
        for (int k = lo + 1; k < hi; ++k) {
            if (std::isnan(at(k)))
                continue;
            if (at(k) > level)
                lo = k;
            else {
                hi = k;
                break;
            }
        }
    }
    choice.hz = residualCutoff(hi, frameRate);
    return choice;
}

} // namespace kinematics
