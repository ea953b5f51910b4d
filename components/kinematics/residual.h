// The cutoff by residual analysis (Winter): the RMS residual between raw and filtered data
// against the cutoff; the straight line fitted to its high-frequency part meets 0 Hz at the
// noise level, and the cutoff is the lowest one whose residual is down to that level.
#pragma once

#include "components/kinematics/kinematics.h"

#include <cstddef>
#include <vector>

namespace kinematics {

// One stretch of an axis that is filtered as a whole; `weight` marks the samples whose
// residual counts (stored points, not bridged ones).
struct SegmentView {
    const double *values = nullptr;
    const unsigned char *weight = nullptr;
    int n = 0;
};

// The cutoffs tried are k * frameRate / 200 for k = 1 .. kResidualSteps (0.5 to 24.5 Hz at
// 100 fps: up to just below half the Nyquist frequency); the noise line is fitted to
// k = kResidualSteps / 2 + 1 .. kResidualSteps.
inline constexpr int kResidualSteps = 49;
inline constexpr double kNoiseOnlyMargin = 1.05;
inline double residualCutoff(int k, double frameRate) {
    return k * frameRate / 200.0;
}

// The RMS residual of the segments filtered at cutoffHz, over at most maxSamples weighted
// samples taken as evenly spread windows (0: all). Segments shorter than kMinFilterSamples
// are skipped. Empty (NaN) when no sample counts.
double residualRms(const std::vector<SegmentView> &segments, double cutoffHz, double frameRate,
                   std::size_t maxSamples);

// The automatic choice. The noise level is taken at least `floor` (the data's resolution),
// so clean data get a cutoff where the residual is down to that resolution.
CutoffChoice chooseCutoff(const std::vector<SegmentView> &segments, double frameRate, double floor,
                          std::size_t maxSamples);

} // namespace kinematics
