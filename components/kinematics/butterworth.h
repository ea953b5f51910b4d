// The zero-lag low-pass filter: a 2nd-order Butterworth run forward and backward, with its
// design frequency corrected for the double pass, and odd reflection at segment ends.
#pragma once

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

// Fewer samples than this in a segment: it is left unfiltered.
inline constexpr int kMinFilterSamples = 10;

// Filters seg[from, to) of a segment seg[0, n) forward and backward and writes the to - from
// results to out (which may alias seg + from). Up to `pad` samples
// of the segment on either side are read as lead-in; past the segment's ends the data are
// continued by odd reflection about the end sample (2 seg[0] - seg[j]), which keeps the
// end's value and slope, and each pass starts in the steady state of its first input.
void filterRange(const double *seg, int n, int from, int to, const Biquad &c, int pad,
                 std::vector<double> &work, double *out);

inline void filterSegment(const double *seg, int n, const Biquad &c, int pad,
                          std::vector<double> &work, double *out) {
    filterRange(seg, n, 0, n, c, pad, work, out);
}

} // namespace kinematics
