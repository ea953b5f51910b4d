#include "components/engines/markermodel.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace engines {

namespace {

// Less contrast than this (grey levels) is no marker to speak of: the markers are
// high-contrast by design, texture and noise are not.
constexpr double kMinContrast = 32.0;
// A thresholded disc smaller than this (pixels) is a speck, not a marker.
constexpr double kMinArea = 4.0;
// Absolute slack on the area of very small discs, whose thresholded area jumps with every
// sub-pixel move and every compression artefact.
constexpr double kAreaSlack = 6.0;

double medianOf(const cv::Mat &grey) {
    std::array<int, 256> histogram{};
    for (int y = 0; y < grey.rows; ++y) {
        const auto *row = grey.ptr<std::uint8_t>(y);
        for (int x = 0; x < grey.cols; ++x)
            ++histogram[row[x]];
    }
    const int half = (grey.rows * grey.cols + 1) / 2;
    int seen = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[std::size_t(v)];
        if (seen >= half)
            return v;
    }
    return 0;
}

} // namespace

std::optional<MarkerModel::Disc> MarkerModel::teach(const cv::Mat &grey, double x, double y,
                                                    int radius, int polarity) {
    if (grey.empty() || grey.type() != CV_8UC1 || !std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    const cv::Point at(cvRound(x), cvRound(y));
    const cv::Rect picture(0, 0, grey.cols, grey.rows);
    if (!picture.contains(at))
        return std::nullopt;
    radius = std::clamp(radius, 0, 100);
    // The window is mostly background, so its median is the background level.
    const int reach = std::max(2 * radius + 4, 12);
    const cv::Rect window =
        cv::Rect(at.x - reach, at.y - reach, 2 * reach + 1, 2 * reach + 1) & picture;
    const double background = medianOf(grey(window));
    const int core = std::max(radius, 2) + 1;
    const cv::Rect inner = cv::Rect(at.x - core, at.y - core, 2 * core + 1, 2 * core + 1) & picture;
    double lo = 0, hi = 0;
    cv::minMaxLoc(grey(inner), &lo, &hi);
    bool bright;
    if (polarity == 1 || polarity == 2) {
        bright = polarity == 1;
    } else {
        const cv::Rect centre = cv::Rect(at.x - 1, at.y - 1, 3, 3) & picture;
        bright = cv::mean(grey(centre))[0] >= background;
    }
    const double contrast = bright ? hi - background : background - lo;
    if (contrast < kMinContrast)
        return std::nullopt;

    MarkerModel learnt;
    learnt.m_bright = bright;
    learnt.m_background = background;
    learnt.m_contrast = contrast;
    const double maxDistance = std::max(radius, 4) + 2.0;
    const auto disc = learnt.measure(grey, window, {x, y}, maxDistance, nullptr);
    if (!disc)
        return std::nullopt;
    learnt.m_area = CV_PI * disc->diameter * disc->diameter / 4.0;
    *this = learnt;
    return disc;
}

std::optional<MarkerModel::Disc> MarkerModel::locate(const cv::Mat &grey, cv::Point2d predicted,
                                                     const Params &params) const {
    if (!taught() || grey.empty() || grey.type() != CV_8UC1 || !std::isfinite(predicted.x) ||
        !std::isfinite(predicted.y))
        return std::nullopt;
    const double radius = std::sqrt(m_area / CV_PI);
    const int reach = params.searchRange + static_cast<int>(std::ceil(radius)) + 3;
    const cv::Point at(cvRound(predicted.x), cvRound(predicted.y));
    const cv::Rect window = cv::Rect(at.x - reach, at.y - reach, 2 * reach + 1, 2 * reach + 1) &
                            cv::Rect(0, 0, grey.cols, grey.rows);
    if (window.empty())
        return std::nullopt;
    return measure(grey, window, predicted, params.searchRange + radius, &params);
}

std::optional<MarkerModel::Disc> MarkerModel::measure(const cv::Mat &grey, cv::Rect window,
                                                      cv::Point2d near, double maxDistance,
                                                      const Params *params) const {
    bool bright = m_bright;
    if (params && (params->polarity == 1 || params->polarity == 2))
        bright = params->polarity == 1;
    const double threshold = m_background + (bright ? 0.5 : -0.5) * m_contrast;
    const cv::Mat roi = grey(window);
    cv::Mat mask;
    cv::threshold(roi, mask, threshold, 255, bright ? cv::THRESH_BINARY : cv::THRESH_BINARY_INV);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);

    double low = kMinArea, high = 1e9;
    if (params && m_area > 0.0) {
        const double tolerance = 1.0 + params->sizeTolerance / 100.0;
        low = std::max(kMinArea, m_area / tolerance - kAreaSlack);
        high = m_area * tolerance + kAreaSlack;
    }
    int best = -1;
    double bestDistance = maxDistance;
    for (int k = 1; k < count; ++k) {
        const int area = stats.at<int>(k, cv::CC_STAT_AREA);
        if (area < low || area > high)
            continue;
        const double dx = window.x + centroids.at<double>(k, 0) - near.x;
        const double dy = window.y + centroids.at<double>(k, 1) - near.y;
        const double distance = std::hypot(dx, dy);
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = k;
        }
    }
    if (best < 0)
        return std::nullopt;
    const int left = stats.at<int>(best, cv::CC_STAT_LEFT);
    const int top = stats.at<int>(best, cv::CC_STAT_TOP);
    const int width = stats.at<int>(best, cv::CC_STAT_WIDTH);
    const int height = stats.at<int>(best, cv::CC_STAT_HEIGHT);
    // A disc cut by the picture's edge has its centroid pulled inwards: not a point to trust.
    if (window.x + left == 0 || window.y + top == 0 || window.x + left + width == grey.cols ||
        window.y + top + height == grey.rows)
        return std::nullopt;

    // Weighted centroid over the component grown by one pixel, so that the partly covered
    // rim pixels below the threshold count with their share. A pixel's weight is its
    // covered share estimated from its grey level: 0 at the local background plus its
    // noise (measured on a ring around the disc, so texture next to the marker adds
    // nothing), 1 at the marker's level.
    const cv::Rect box = cv::Rect(left - 3, top - 3, width + 6, height + 6) &
                         cv::Rect(0, 0, window.width, window.height);
    const cv::Mat own = labels(box) == best;
    cv::Mat grown, ring;
    cv::dilate(own, grown, cv::Mat());
    cv::dilate(own, ring, cv::getStructuringElement(cv::MORPH_ELLIPSE, {7, 7}));
    ring &= ~grown;
    std::vector<int> around;
    around.reserve(std::size_t(box.area()));
    for (int y = 0; y < box.height; ++y) {
        const auto *g = roi.ptr<std::uint8_t>(box.y + y) + box.x;
        const auto *r = ring.ptr<std::uint8_t>(y);
        for (int x = 0; x < box.width; ++x)
            if (r[x])
                around.push_back(g[x]);
    }
    const double sign = bright ? 1.0 : -1.0;
    double floor = m_background, base = m_background;
    if (around.size() >= 8) {
        const auto mid = around.begin() + std::ptrdiff_t(around.size() / 2);
        std::nth_element(around.begin(), mid, around.end());
        const double median = *mid;
        base = median;
        for (int &v : around)
            v = std::abs(v - int(median));
        std::nth_element(around.begin(), mid, around.end());
        // Median absolute deviation as the noise's standard deviation (x 1.4826), twice.
        floor = median + sign * 2.0 * 1.4826 * *mid;
    }
    const double level = m_background + sign * m_contrast;
    const double span = sign * (level - floor);
    const double fullSpan = sign * (level - base);
    if (span <= 0.0 || fullSpan <= 0.0)
        return std::nullopt;
    // The area counts every covered share above the background itself.
    double sum = 0, sx = 0, sy = 0, area = 0;
    for (int y = 0; y < box.height; ++y) {
        const auto *g = roi.ptr<std::uint8_t>(box.y + y) + box.x;
        const auto *m = grown.ptr<std::uint8_t>(y);
        for (int x = 0; x < box.width; ++x) {
            if (!m[x])
                continue;
            const double w = std::clamp(sign * (g[x] - floor) / span, 0.0, 1.0);
            sum += w;
            sx += w * x;
            sy += w * y;
            area += std::clamp(sign * (g[x] - base) / fullSpan, 0.0, 1.0);
        }
    }
    if (sum <= 0.0)
        return std::nullopt;
    Disc d;
    d.x = window.x + box.x + sx / sum;
    d.y = window.y + box.y + sy / sum;
    d.diameter = 2.0 * std::sqrt(area / CV_PI);
    return d;
}

} // namespace engines
