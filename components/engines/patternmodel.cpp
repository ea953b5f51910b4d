#include "components/engines/patternmodel.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace engines {

namespace {

constexpr double kRadPerDeg = CV_PI / 180.0;
// Half-width, in pixels, of the full-resolution window around the coarse estimate.
constexpr int kFineMargin = 3;
// The largest angle step of the rotation search; finer steps buy little once the
// correlation curve over the angle is interpolated.
constexpr double kMaxAngleStep = 3.0;
// The angle span over which teaching measures how much the pattern's look changes when it
// turns: 1 - correlation of the pattern turned by minus and plus half of it.
constexpr double kTurnSpan = 6.0;
// Below this change over kTurnSpan the pattern looks alike at every angle (a disc in a
// ring: what remains is the pixel grid and the resampling), and its angle cannot be seen.
// A thin dark rod entering such a disc changes it by about 0.003, a texture by 0.01 to 0.2.
constexpr double kMinTurnChange = 0.0015;
// Correlation differences below this are ties: the rotation search keeps the nearer angle.
constexpr double kAngleTie = 0.0005;
// A curvature over three neighbouring angles (centre above their mean) no noise produces.
constexpr double kClearPeak = 0.005;
// Share of the pattern's own change the picture must show before a faint peak is believed.
constexpr double kSeenShare = 0.5;
// Below this standard deviation (grey levels) a square holds nothing to correlate.
constexpr double kMinStructure = 2.0;
// The pattern only learns from frames it matched this well, so an occluder or a wrong
// match never enters it.
constexpr double kMinUpdateScore = 0.8;
// How much the contrast of a found look may differ from the pattern's (factor either way).
constexpr double kMaxContrastChange = 2.0;

// Offset of a maximum from three samples one unit apart; 0 when c is no maximum.
double vertex(double l, double c, double r) {
    const double den = l - 2.0 * c + r;
    if (!(den < 0.0))
        return 0.0;
    return std::clamp(0.5 * (l - r) / den, -0.5, 0.5);
}

// Height of a parabola's top above its centre sample, from three samples one unit apart;
// 0 when c is no maximum.
double rise(double l, double c, double r) {
    const double den = l - 2.0 * c + r;
    if (!(den < 0.0))
        return 0.0;
    return -(l - r) * (l - r) / (8.0 * den);
}

struct Peak {
    cv::Point at;
    double score = -2.0;
    // The correlation between the grid points: the score raised to the parabolas' tops in x
    // and y. Angles are compared by it, so a look that happens to fall on the pixel grid at
    // one angle does not outweigh the others.
    double level = -2.0;
};

Peak peakOf(const cv::Mat &result) {
    Peak p;
    double lo = 0.0;
    cv::minMaxLoc(result, &lo, &p.score, nullptr, &p.at);
    if (!std::isfinite(p.score)) {
        p.score = -2.0;
        return p;
    }
    const auto at = [&](int y, int x) {
        return double(result.at<float>(y, x));
    };
    p.level = p.score;
    const int x = p.at.x, y = p.at.y;
    if (x > 0 && x < result.cols - 1)
        p.level += rise(at(y, x - 1), p.score, at(y, x + 1));
    if (y > 0 && y < result.rows - 1)
        p.level += rise(at(y - 1, x), p.score, at(y + 1, x));
    return p;
}

// The full-resolution neighbourhood of a top-left estimate, as float.
struct Fine {
    cv::Rect window;
    cv::Mat pixels;
};

Fine fineWindow(const cv::Mat &grey, cv::Point topLeft, int side) {
    Fine f;
    f.window = cv::Rect(topLeft.x - kFineMargin, topLeft.y - kFineMargin, side + 2 * kFineMargin,
                        side + 2 * kFineMargin) &
               cv::Rect(0, 0, grey.cols, grey.rows);
    if (f.window.width >= side && f.window.height >= side)
        grey(f.window).convertTo(f.pixels, CV_32F);
    return f;
}

cv::Mat correlate(const Fine &fine, const cv::Mat &pattern) {
    cv::Mat result;
    cv::matchTemplate(fine.pixels, pattern, result, cv::TM_CCOEFF_NORMED);
    return result;
}

double deviation(const cv::Mat &m) {
    cv::Scalar mean, sd;
    cv::meanStdDev(m, mean, sd);
    return sd[0];
}

} // namespace

bool PatternModel::teach(const cv::Mat &grey, double x, double y, double angle, int size) {
    if (grey.empty() || grey.type() != CV_8UC1 || !std::isfinite(x) || !std::isfinite(y) ||
        !std::isfinite(angle))
        return false;
    if (x < -0.5 || y < -0.5 || x > grey.cols - 0.5 || y > grey.rows - 0.5)
        return false;
    size = std::clamp(size, 8, 128);
    // Covers the pattern square at every angle, plus the interpolation's neighbours.
    const int side = static_cast<int>(std::ceil(size * std::sqrt(2.0))) + 4;
    cv::Mat reference;
    cv::getRectSubPix(grey, cv::Size(side, side), cv::Point2f(float(x), float(y)), reference,
                      CV_32F);
    const int inset = (side - size) / 2;
    cv::Scalar mean, deviation;
    cv::meanStdDev(reference(cv::Rect(inset, inset, size, size)), mean, deviation);
    if (deviation[0] < kMinStructure)
        return false;
    m_reference = reference;
    m_angle = angle;
    m_size = size;
    cv::Mat change;
    cv::matchTemplate(patternAt(-kTurnSpan / 2.0), patternAt(kTurnSpan / 2.0), change,
                      cv::TM_CCOEFF_NORMED);
    m_turnChange = std::isfinite(change.at<float>(0, 0)) ? 1.0 - change.at<float>(0, 0) : 0.0;
    return true;
}

cv::Mat PatternModel::patternAt(double relative) const {
    const double c = std::cos(relative * kRadPerDeg);
    const double s = std::sin(relative * kRadPerDeg);
    const double cb = (m_reference.cols - 1) / 2.0;
    const double cs = (m_size - 1) / 2.0;
    // Maps a pattern pixel q to the reference: cb + R(-relative) (q - cs), where R(a) turns
    // counter-clockwise on screen (y points down).
    const cv::Matx23d m(c, -s, cb - c * cs + s * cs, s, c, cb - s * cs - c * cs);
    cv::Mat out;
    cv::warpAffine(m_reference, out, m, cv::Size(m_size, m_size),
                   cv::INTER_CUBIC | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
    return out;
}

std::optional<PatternModel::Match> PatternModel::search(const cv::Mat &grey, cv::Point2d predicted,
                                                        double predictedAngle,
                                                        const Params &params) {
    if (!taught() || grey.empty() || grey.type() != CV_8UC1 || !std::isfinite(predicted.x) ||
        !std::isfinite(predicted.y) || !std::isfinite(predictedAngle))
        return std::nullopt;
    const int s = m_size;
    const double half = (s - 1) / 2.0;
    const cv::Rect picture(0, 0, grey.cols, grey.rows);
    const bool rotating = params.rotationRange > 0.0;
    const double relative0 = rotating ? predictedAngle - m_angle : 0.0;
    const int range = std::max(params.searchRange, 1);

    // Coarse: the predicted look over the whole search window, at half resolution when the
    // window is wide enough for that to pay.
    const cv::Point predictedTopLeft(cvRound(predicted.x - half), cvRound(predicted.y - half));
    const cv::Rect window = cv::Rect(predictedTopLeft.x - range, predictedTopLeft.y - range,
                                     s + 2 * range, s + 2 * range) &
                            picture;
    if (window.width < s || window.height < s)
        return std::nullopt;
    const cv::Mat pattern0 = patternAt(relative0);
    cv::Mat windowF;
    grey(window).convertTo(windowF, CV_32F);
    cv::Point topLeft;
    cv::Mat result;
    if (range > kFineMargin && window.width >= s + 4 && window.height >= s + 4) {
        cv::Mat smallWindow, smallPattern;
        cv::pyrDown(windowF, smallWindow);
        cv::pyrDown(pattern0, smallPattern);
        cv::matchTemplate(smallWindow, smallPattern, result, cv::TM_CCOEFF_NORMED);
        topLeft = window.tl() + 2 * peakOf(result).at;
    } else {
        cv::matchTemplate(windowF, pattern0, result, cv::TM_CCOEFF_NORMED);
        topLeft = window.tl() + peakOf(result).at;
    }

    // Rotation: from the predicted angle, step towards the better neighbour until the
    // correlation peaks (at most the rotation range away), then interpolate the angle. The
    // angle found counts only when the curve shows a peak as strong as the pattern's own
    // change with angle leads us to expect; otherwise the predicted angle stays, and the
    // position is taken with the pattern at that angle. Following a flat curve's noise would
    // hand the next prediction an angular velocity that feeds on itself.
    double relative = relative0;
    bool angleSeen = false;
    Fine fine = fineWindow(grey, topLeft, s);
    if (fine.pixels.empty())
        return std::nullopt;
    if (rotating && m_turnChange >= kMinTurnChange) {
        const double step = std::min(kMaxAngleStep, params.rotationRange);
        const int n = static_cast<int>(std::ceil(params.rotationRange / step));
        // The drop of the correlation two steps away from its peak, for a parabolic peak.
        const double expectedDrop = m_turnChange * std::pow(2.0 * step / kTurnSpan, 2.0);
        std::map<int, Peak> tried;
        auto at = [&](int k) -> const Peak & {
            auto it = tried.find(k);
            if (it == tried.end())
                it = tried.emplace(k, peakOf(correlate(fine, patternAt(relative0 + k * step))))
                         .first;
            return it->second;
        };
        int best = 0;
        for (;;) {
            const double here = at(best).level + kAngleTie;
            const double left = best > -n ? at(best - 1).level : -2.0;
            const double right = best < n ? at(best + 1).level : -2.0;
            if (left > here && left >= right)
                --best;
            else if (right > here)
                ++best;
            else
                break;
        }
        double offset = 0.0;
        if (best > -n && best < n) {
            const double l = at(best - 1).level, c = at(best).level, r = at(best + 1).level;
            if (c - 0.5 * (l + r) > kClearPeak) {
                angleSeen = true;
                offset = vertex(l, c, r);
            } else {
                // A faint peak (a thin rod on a disc): a parabola fitted over two steps either
                // way sees it where three neighbours drown in noise.
                cv::Matx33d normal = cv::Matx33d::zeros();
                cv::Vec3d moments(0, 0, 0);
                int used = 0;
                for (int k = std::max(best - 2, -n); k <= std::min(best + 2, n); ++k, ++used) {
                    const double u = k - best;
                    const cv::Vec3d basis(u * u, u, 1.0);
                    normal += basis * basis.t();
                    moments += basis * at(k).level;
                }
                cv::Vec3d fit;
                if (used >= 4 && cv::solve(normal, moments, fit) && fit[0] < 0.0 &&
                    -4.0 * fit[0] > std::max(kSeenShare * expectedDrop, kAngleTie)) {
                    angleSeen = true;
                    offset = std::clamp(-fit[1] / (2.0 * fit[0]), -1.0, 1.0);
                }
            }
        } else {
            // At the range's end: believed when the last two steps rose as a peak falls.
            const int back = best > 0 ? std::max(best - 2, -n) : std::min(best + 2, n);
            const double span = std::abs(best - back) / 2.0;
            angleSeen = at(best).level - at(back).level >
                        std::max(kSeenShare * expectedDrop * span * span, kAngleTie);
        }
        if (!angleSeen) {
            best = 0;
            offset = 0.0;
        }
        relative = relative0 + (best + offset) * step;
        const cv::Point moved = fine.window.tl() + at(best).at;
        if (moved != topLeft) {
            topLeft = moved;
            fine = fineWindow(grey, topLeft, s);
            if (fine.pixels.empty())
                return std::nullopt;
        }
    }

    // Fine: the pattern at the found angle; re-centred once when the peak lies on the
    // window's edge, so the interpolation sees both neighbours. A peak still on the edge is
    // no maximum we can vouch for: the pattern is pressing against the picture's edge or
    // moved further than predicted.
    const cv::Mat pattern = rotating ? patternAt(relative) : pattern0;
    Peak peak;
    for (int pass = 0;; ++pass) {
        result = correlate(fine, pattern);
        peak = peakOf(result);
        const bool inside = peak.at.x > 0 && peak.at.y > 0 && peak.at.x < result.cols - 1 &&
                            peak.at.y < result.rows - 1;
        if (inside)
            break;
        if (pass == 1)
            return std::nullopt;
        topLeft = fine.window.tl() + peak.at;
        fine = fineWindow(grey, topLeft, s);
        if (fine.pixels.empty())
            return std::nullopt;
    }
    if (!(peak.score >= params.minScore))
        return std::nullopt;
    // Correlation does not see contrast: a faint texture blob can correlate as well as a
    // bright marker. The look found must have about the pattern's contrast.
    const double found = deviation(fine.pixels(cv::Rect(peak.at.x, peak.at.y, s, s)));
    const double expectedContrast = deviation(pattern);
    if (!(found >= expectedContrast / kMaxContrastChange &&
          found <= expectedContrast * kMaxContrastChange))
        return std::nullopt;
    double dx = 0.0, dy = 0.0;
    const int px = peak.at.x, py = peak.at.y;
    if (px > 0 && px < result.cols - 1)
        dx = vertex(result.at<float>(py, px - 1), result.at<float>(py, px),
                    result.at<float>(py, px + 1));
    if (py > 0 && py < result.rows - 1)
        dy = vertex(result.at<float>(py - 1, px), result.at<float>(py, px),
                    result.at<float>(py + 1, px));

    Match m;
    m.x = fine.window.x + px + dx + half;
    m.y = fine.window.y + py + dy + half;
    m.angle = m_angle + relative;
    m.angleSeen = angleSeen;
    m.score = std::min(peak.score, 1.0);
    if (params.updateRate > 0.0 && m.score >= std::max(params.minScore, kMinUpdateScore))
        update(grey, m, std::min(params.updateRate, 1.0));
    return m;
}

void PatternModel::update(const cv::Mat &grey, const Match &match, double rate) {
    const int side = m_reference.cols;
    const double cb = (side - 1) / 2.0;
    // Learn only from looks entirely inside the picture; a clipped border would teach the
    // pattern the picture's edge.
    const int reach = static_cast<int>(std::ceil(cb * std::sqrt(2.0))) + 2;
    const cv::Rect around(cvFloor(match.x) - reach, cvFloor(match.y) - reach, 2 * reach + 2,
                          2 * reach + 2);
    if ((around & cv::Rect(0, 0, grey.cols, grey.rows)) != around)
        return;
    cv::Mat roi;
    grey(around).convertTo(roi, CV_32F);
    const double relative = (match.angle - m_angle) * kRadPerDeg;
    const double c = std::cos(relative), s = std::sin(relative);
    const double px = match.x - around.x, py = match.y - around.y;
    // Reference pixel q -> picture: p + R(relative) (q - cb).
    const cv::Matx23d m(c, s, px - c * cb - s * cb, -s, c, py + s * cb - c * cb);
    cv::Mat look;
    cv::warpAffine(roi, look, m, m_reference.size(), cv::INTER_CUBIC | cv::WARP_INVERSE_MAP,
                   cv::BORDER_REPLICATE);
    cv::addWeighted(m_reference, 1.0 - rate, look, rate, 0.0, m_reference);
}

} // namespace engines
