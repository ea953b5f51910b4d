// The zero-lag low-pass filter: a 2nd-order Butterworth run forward and backward, with its
// design frequency corrected for the double pass, and odd reflection at segment ends.
#pragma once

#include <algorithm>
#include <vector>

namespace kinematics {

// y[i] = a0 x[i] + a1 x[i-1] + a2 x[i-2] + b1 y[i-1] + b2 y[i-2]; a1 = 2 a0, a2 = a0.
struct Biquad {
    double a0 = 1, b1 = 0, b2 = 0;
};

// (2^(1/2) - 1)^(1/4): a 2nd-order filter run twice is 3 dB down where one pass is down
// by this factor of its cutoff, so one pass is designed at cutoff / kDualPassCorrection.
inline constexpr double kDualPassCorrection = 0.8022;

// The single-pass coefficients whose forward-backward run is 3 dB down at cutoffHz.
// Requires 0 < cutoffHz < frameRate / 2.
Biquad designDualPass(double cutoffHz, double frameRate);

// Samples for the filter's response to die out (to about 1e-3), the padding it needs.
int settlingSamples(double cutoffHz, double frameRate);

// The delay of one pass at 0 Hz, in samples: its output lags a ramp input by this much, so a
// pass started in the ramp's steady state starts without a transient.
inline double rampDelay(const Biquad &c) {
    return 1 + (c.b1 + 2 * c.b2) / (1 - c.b1 - c.b2);
}

// Sample i of a segment seg[0, n) continued past its ends by odd reflection about the end
// sample (2 seg[0] - seg[-i] before it, 2 seg[n - 1] - seg[2 (n - 1) - i] after it), which
// keeps the end's value and slope; reflected indices are clamped to the segment.
inline double reflected(const double *seg, int n, int i) {
    if (i < 0)
        return 2 * seg[0] - seg[std::min(-i, n - 1)];
    if (i >= n)
        return 2 * seg[n - 1] - seg[std::max(2 * (n - 1) - i, 0)];
    return seg[i];
}

// Fewer samples than this in a segment: it is left unfiltered.
inline constexpr int kMinFilterSamples = 10;

// Filters seg[from, to) of a segment seg[0, n) forward and backward and writes the to - from
// results to out (which may alias seg + from). Up to `pad` samples of the segment on either
// side are read as lead-in; past the segment's ends the data are continued as reflected()
// says, and each pass starts in the steady state of its first input.
void filterRange(const double *seg, int n, int from, int to, const Biquad &c, int pad,
                 std::vector<double> &work, double *out);

inline void filterSegment(const double *seg, int n, const Biquad &c, int pad,
                          std::vector<double> &work, double *out) {
    filterRange(seg, n, 0, n, c, pad, work, out);
}

} // namespace kinematics
