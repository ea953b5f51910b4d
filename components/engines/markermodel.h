// The model of one round high-contrast marker: its polarity, grey levels and size, learnt
// at teaching, and its search by threshold segmentation and weighted centroid.
#pragma once

#include <opencv2/core.hpp>

#include <optional>

namespace engines {

class MarkerModel {
public:
    struct Params {
        int searchRange = 32;   // pixels beyond the prediction
        int polarity = 0;       // 0 as taught, 1 bright, 2 dark
        int sizeTolerance = 60; // percent
    };
    struct Disc {
        double x = 0, y = 0; // intensity-weighted centroid, pixels
        double diameter = 0; // of a disc of the same weighted area, pixels
    };

    // Learns the marker at (x, y) of an 8-bit grey picture; `radius` 0 lets the picture
    // decide the size. `polarity` as in Params (0: decided here). Nothing when no marker
    // of enough contrast is there.
    std::optional<Disc> teach(const cv::Mat &grey, double x, double y, int radius, int polarity);
    bool taught() const { return m_contrast > 0.0; }

    // The disc of plausible size nearest `predicted`; nothing when there is none, or when
    // the nearest touches the picture's edge (its centroid would be off).
    std::optional<Disc> locate(const cv::Mat &grey, cv::Point2d predicted,
                               const Params &params) const;

private:
    std::optional<Disc> measure(const cv::Mat &grey, cv::Rect window, cv::Point2d near,
                                double maxDistance, const Params *params) const;

    bool m_bright = true;
    double m_background = 0; // grey level around the marker
    double m_contrast = 0;   // marker level minus background, signed by polarity (> 0)
    double m_area = 0;       // thresholded area at teaching, pixels
};

} // namespace engines
