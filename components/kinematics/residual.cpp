#include "components/kinematics/residual.h"

#include "components/kinematics/butterworth.h"

#include <algorithm>
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

double rms(const std::vector<Window> &ws, double cutoffHz, double frameRate,
           std::vector<double> &work, std::vector<double> &out) {
    const Biquad c = designDualPass(cutoffHz, frameRate);
    const int pad = settlingSamples(cutoffHz, frameRate);
    double sum = 0;
    std::size_t count = 0;
    for (const Window &w : ws) {
        out.resize(static_cast<std::size_t>(w.to - w.from));
        filterRange(w.segment->values, w.segment->n, w.from, w.to, c, pad, work, out.data());
        for (int i = w.from; i < w.to; ++i) {
            if (!w.segment->weight[i])
                continue;
            const double d = w.segment->values[i] - out[static_cast<std::size_t>(i - w.from)];
            sum += d * d;
            ++count;
        }
    }
    return count ? std::sqrt(sum / static_cast<double>(count)) : kEmpty;
}

} // namespace

double residualRms(const std::vector<SegmentView> &segments, double cutoffHz, double frameRate,
                   std::size_t maxSamples) {
    std::vector<double> work, out;
    return rms(windows(segments, maxSamples), cutoffHz, frameRate, work, out);
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
    std::vector<double> work, out;
    std::vector<double> residual(kResidualSteps + 1, kEmpty);
    auto at = [&](int k) {
        if (std::isnan(residual[static_cast<std::size_t>(k)]))
            residual[static_cast<std::size_t>(k)] =
                rms(ws, residualCutoff(k, frameRate), frameRate, work, out);
        return residual[static_cast<std::size_t>(k)];
    };

    // The noise line: least squares over every 4th cutoff of the upper half, where the
    // residual is (nearly) all noise and falls linearly.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int m = 0;
    for (int k = kResidualSteps / 2 + 1; k <= kResidualSteps; k += 4) {
        const double f = residualCutoff(k, frameRate), r = at(k);
        sx += f;
        sy += r;
        sxx += f * f;
        sxy += f * r;
        ++m;
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
    // The residual falls as the cutoff rises, so the lowest cutoff at or below the level is
    // found by bisection over the grid.
    int lo = 1, hi = kResidualSteps; // residual(lo) > level >= residual(hi)
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        (at(mid) > level ? lo : hi) = mid;
    }
    choice.hz = residualCutoff(hi, frameRate);
    return choice;
}

} // namespace kinematics
