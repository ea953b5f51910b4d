// The zero-lag filter and the residual choice of its cutoff, on signals whose answer is known.
#include "components/kinematics/butterworth.h"
#include "components/kinematics/kinematics.h"
#include "components/kinematics/residual.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace kinematics;

namespace {

std::vector<double> sine(int n, double fs, double hz, double amplitude) {
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = amplitude * std::sin(2 * std::numbers::pi * hz * i / fs);
    return v;
}

// A sine with Gaussian noise of standard deviation `sigma` added, drawn from `seed`.
std::vector<double> noisySine(int n, double fs, double hz, double amplitude, double sigma,
                              unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, sigma);
    auto v = sine(n, fs, hz, amplitude);
    for (double &x : v)
        x += noise(rng);
    return v;
}

double rmsOver(const std::vector<double> &v, int from, int to) {
    double s = 0;
    for (int i = from; i < to; ++i)
        s += v[static_cast<std::size_t>(i)] * v[static_cast<std::size_t>(i)];
    return std::sqrt(s / (to - from));
}

std::vector<double> filtered(const std::vector<double> &v, double hz, double fs) {
    std::vector<double> out(v.size()), work;
    filterSegment(v.data(), static_cast<int>(v.size()), designDualPass(hz, fs),
                  settlingSamples(hz, fs), work, out.data());
    return out;
}

} // namespace

// The forward-backward run is 3 dB down at the cutoff asked for (the double-pass correction),
// passes a slow sine and stops a fast one, without shifting its phase.
TEST(DualPassFilter, GainAtCutoffPassAndStopWithoutLag) {
    const double fs = 100;
    const int n = 4000;
    for (double fc : {2.0, 6.0, 15.0}) {
        const auto atCutoff = filtered(sine(n, fs, fc, 1), fc, fs);
        EXPECT_NEAR(rmsOver(atCutoff, 1000, 3000) / (1 / std::sqrt(2.0)), 1 / std::sqrt(2.0), 0.01)
            << fc;
    }
    const auto slow = sine(n, fs, 1, 10);
    const auto passed = filtered(slow, 8, fs);
    for (int i = 0; i < n; ++i) // zero lag: the output follows the input sample for sample
        ASSERT_NEAR(passed[static_cast<std::size_t>(i)], slow[static_cast<std::size_t>(i)], 0.01)
            << i;
    const auto stopped = filtered(sine(n, fs, 30, 10), 3, fs);
    EXPECT_LT(rmsOver(stopped, 500, 3500), 0.01 * 10 / std::sqrt(2.0));
}

// Odd reflection keeps an end's value and slope: a straight line and a constant come out
// untouched to the last sample, however low the cutoff.
TEST(DualPassFilter, SegmentEndsKeepLinesAndConstants) {
    std::vector<double> line(300), constant(300, 42.0);
    for (int i = 0; i < 300; ++i)
        line[static_cast<std::size_t>(i)] = 3.0 - 0.25 * i;
    const auto l = filtered(line, 1, 100);
    const auto c = filtered(constant, 1, 100);
    for (std::size_t i = 0; i < line.size(); ++i) {
        ASSERT_NEAR(l[i], line[i], 1e-9) << i;
        ASSERT_NEAR(c[i], 42.0, 1e-9) << i;
    }
}

// Filtering a window of a segment with real neighbours as lead-in gives the same values as
// filtering the whole segment (the residual is measured on such windows).
TEST(DualPassFilter, WindowMatchesWholeSegment) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 1);
    std::vector<double> v(5000);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = 20 * std::sin(0.01 * static_cast<double>(i)) + noise(rng);
    const double fs = 100, fc = 4;
    const auto whole = filtered(v, fc, fs);
    std::vector<double> window(1000), work;
    filterRange(v.data(), 5000, 2000, 3000, designDualPass(fc, fs), settlingSamples(fc, fs), work,
                window.data());
    for (int i = 0; i < 1000; ++i)
        ASSERT_NEAR(window[static_cast<std::size_t>(i)], whole[static_cast<std::size_t>(2000 + i)],
                    1e-3)
            << i;
}

namespace {

CutoffChoice automaticCutoff(const std::vector<double> &v, double fs) {
    std::vector<unsigned char> weight(v.size(), 1);
    return chooseCutoff({{v.data(), weight.data(), static_cast<int>(v.size())}}, fs, 1e-3, 0);
}

} // namespace

// Pure noise: the residual is at the noise level already at the lowest cutoff, so the choice
// is that cutoff, flagged as noise, and the level found is the noise's RMS.
TEST(ResidualCutoff, PureNoiseIsReportedAsNoise) {
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0, 0.5);
    std::vector<double> v(3000);
    for (double &x : v)
        x = 100 + noise(rng);
    const CutoffChoice c = automaticCutoff(v, 100);
    EXPECT_EQ(c.source, CutoffSource::Automatic);
    EXPECT_TRUE(c.noiseOnly);
    EXPECT_DOUBLE_EQ(c.hz, residualCutoff(1, 100));
    EXPECT_NEAR(c.noiseLevel, 0.5, 0.05);
}

// A clean sine: no noise to speak of, so the cutoff is where the residual is down to the
// resolution floor, comfortably above the sine, which passes nearly unchanged.
TEST(ResidualCutoff, CleanSinePasses) {
    for (double hz : {0.5, 1.0, 2.0}) {
        const auto v = sine(2000, 100, hz, 50);
        const CutoffChoice c = automaticCutoff(v, 100);
        EXPECT_FALSE(c.noiseOnly) << hz;
        EXPECT_GE(c.hz, 4 * hz) << hz;
        const auto f = filtered(v, c.hz, 100);
        std::vector<double> diff(v.size());
        for (std::size_t i = 0; i < v.size(); ++i)
            diff[i] = f[i] - v[i];
        EXPECT_LT(rmsOver(diff, 0, 2000), 1e-3 * rmsOver(v, 0, 2000)) << hz;
    }
}

// A sine under noise: the cutoff lands between the signal and the noise, and the noise level
// found is that of the noise added.
TEST(ResidualCutoff, NoisySineSeparatesSignalFromNoise) {
    const auto v = noisySine(4000, 100, 1.5, 40, 0.3, 3);
    const CutoffChoice c = automaticCutoff(v, 100);
    EXPECT_FALSE(c.noiseOnly);
    EXPECT_GT(c.hz, 1.5);
    EXPECT_LT(c.hz, 15.0);
    EXPECT_NEAR(c.noiseLevel, 0.3, 0.05);
}

// Measuring the residual on spread windows estimates the residual of the whole track.
TEST(ResidualCutoff, WindowedResidualEstimatesTheWhole) {
    const auto v = noisySine(60000, 100, 0.7, 30, 0.2, 5);
    std::vector<unsigned char> weight(v.size(), 1);
    const std::vector<SegmentView> s{{v.data(), weight.data(), 60000}};
    for (double fc : {1.0, 6.0, 20.0}) {
        const double whole = residualRms(s, fc, 100, 0);
        EXPECT_NEAR(residualRms(s, fc, 100, 10000) / whole, 1.0, 0.03) << fc;
    }
}

namespace {

// The RMS residual of filterSegment's output against `v` over the samples `weight` counts.
double segmentFilterResidual(const std::vector<double> &v, const std::vector<unsigned char> &weight,
                             double fc) {
    const auto f = filtered(v, fc, 100);
    double sum = 0;
    int counted = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (weight[i]) {
            sum += (v[i] - f[i]) * (v[i] - f[i]);
            ++counted;
        }
    return std::sqrt(sum / counted);
}

} // namespace

// The residual sweep filters exactly as the segment filter does: its RMS equals the one
// computed from filterSegment's output, for cutoffs across the grid.
TEST(ResidualCutoff, SweepMatchesTheSegmentFilter) {
    const auto v = noisySine(1500, 100, 0.8, 25, 0.4, 9);
    std::vector<unsigned char> weight(v.size(), 1);
    weight[700] = 0; // a bridged sample does not count
    const std::vector<SegmentView> s{{v.data(), weight.data(), 1500}};
    for (int k : {1, 7, 25, 49}) {
        const double fc = residualCutoff(k, 100);
        EXPECT_NEAR(residualRms(s, fc, 100, 0), segmentFilterResidual(v, weight, fc), 1e-9) << k;
    }
}

// The same on segments far shorter than the filter's lead-in, where the reflection past
// both ends runs out of samples and repeats the far end: the sweep still matches.
TEST(ResidualCutoff, SweepMatchesTheSegmentFilterOnShortSegments) {
    for (int n : {kMinFilterSamples, 23}) {
        const auto v = noisySine(n, 100, 2.0, 10, 0.5, 13);
        const std::vector<unsigned char> weight(v.size(), 1);
        const std::vector<SegmentView> s{{v.data(), weight.data(), n}};
        for (int k : {1, 6, 12}) {
            const double fc = residualCutoff(k, 100);
            ASSERT_GT(settlingSamples(fc, 100), n) << k;
            EXPECT_NEAR(residualRms(s, fc, 100, 0), segmentFilterResidual(v, weight, fc), 1e-9)
                << n << " " << k;
        }
    }
}
