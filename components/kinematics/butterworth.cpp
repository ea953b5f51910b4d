#include "components/kinematics/butterworth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kinematics {

Biquad designDualPass(double cutoffHz, double frameRate) {
    // Bilinear transform with the cutoff pre-warped; the correction applies to the warped
    // angular frequency, so the double pass is 3 dB down exactly at cutoffHz.
    const double wc = std::tan(std::numbers::pi * cutoffHz / frameRate) / kDualPassCorrection;
    const double k1 = std::numbers::sqrt2 * wc;
    const double k2 = wc * wc;
    Biquad c;
    c.a0 = k2 / (1 + k1 + k2);
    const double k3 = 2 * c.a0 / k2;
    c.b1 = -2 * c.a0 + k3;
    c.b2 = 1 - 2 * c.a0 - k3;
    return c;
}

int settlingSamples(double cutoffHz, double frameRate) {
    // The poles decay as exp(-zeta * wn * t) with zeta = 1/sqrt(2) and wn = 2 pi fc / 0.802;
    // seven time constants bring the response below 1e-3.
    const double wn = 2 * std::numbers::pi * cutoffHz / kDualPassCorrection;
    const double seconds = 7.0 / (std::numbers::sqrt2 / 2 * wn);
    return static_cast<int>(std::ceil(seconds * frameRate)) + 2;
}

namespace {

// One pass, started in the steady state of the ramp through its first two inputs (the
// output of a ramp lags it by the filter's delay at 0 Hz), so a segment end moving at
// constant speed starts without a transient.
void pass(double *w, std::ptrdiff_t m, const Biquad &c) {
    const double a0 = c.a0, b1 = c.b1, b2 = c.b2;
    const double slope = m > 1 ? w[1] - w[0] : 0;
    const double delay = rampDelay(c);
    double x1 = w[0] - slope, x2 = w[0] - 2 * slope;
    double y1 = x1 - slope * delay, y2 = x2 - slope * delay;
    for (std::ptrdiff_t i = 0; i < m; ++i) {
        const double x0 = w[i];
        const double y0 = a0 * (x0 + 2 * x1 + x2) + b1 * y1 + b2 * y2;
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y0;
        w[i] = y0;
    }
}

} // namespace

void filterRange(const double *seg, int n, int from, int to, const Biquad &c, int pad,
                 std::vector<double> &work, double *out) {
    if (n <= 0 || to <= from)
        return;
    const int lo = from - pad, hi = to + pad;
    const std::size_t m = static_cast<std::size_t>(hi - lo);
    work.resize(m);
    double *w = work.data();
    for (int i = lo; i < hi; ++i)
        w[i - lo] = reflected(seg, n, i);
    pass(w, static_cast<std::ptrdiff_t>(m), c);
    std::reverse(w, w + m);
    pass(w, static_cast<std::ptrdiff_t>(m), c);
    // w is reversed: index i of the range [lo, hi) sits at m - 1 - (i - lo).
    for (int i = from; i < to; ++i)
        out[i - from] = w[m - 1 - static_cast<std::size_t>(i - lo)];
}

} // namespace kinematics
