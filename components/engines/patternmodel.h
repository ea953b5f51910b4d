// The pattern of one marker and its search: normalised cross-correlation around a
// predicted point, coarse-to-fine, with a rotation search and sub-pixel peak refinement.
#pragma once

#include <opencv2/core.hpp>

#include <optional>

namespace engines {

class PatternModel {
public:
    struct Params {
        int searchRange = 32;      // pixels beyond the prediction
        double minScore = 0.6;     // correlation below which the point is lost
        double rotationRange = 10; // degrees beyond the predicted angle; 0: no rotation
        double updateRate = 0.1;   // share of the new appearance per frame; 0: fixed pattern
    };
    struct Match {
        double x = 0, y = 0; // pixels
        double angle = 0;    // degrees, counter-clockwise on screen, absolute
        double score = 0;    // correlation, 0..1
        // False when the angle is the predicted one because the look gave none: rotation
        // off, or a target that looks alike at every angle the search tried.
        bool angleSeen = false;
    };

    // Takes the square of side `size` centred on (x, y) of an 8-bit grey picture as the
    // pattern, as it looks at `angle`. False (and nothing changed) when the point lies
    // outside the picture or the square holds no structure to correlate.
    bool teach(const cv::Mat &grey, double x, double y, double angle, int size);
    bool taught() const { return !m_reference.empty(); }
    int size() const { return m_size; }

    // Finds the pattern near `predicted` and `predictedAngle`; nothing when the best
    // correlation stays below params.minScore or the pattern would leave the picture.
    std::optional<Match> search(const cv::Mat &grey, cv::Point2d predicted, double predictedAngle,
                                const Params &params);

private:
    // The pattern rotated by `relative` degrees against the taught look, size x size.
    cv::Mat patternAt(double relative) const;
    void update(const cv::Mat &grey, const Match &match, double rate);

    // The taught look in a square large enough to cover the pattern at any angle, centred
    // on the point, 32-bit float.
    cv::Mat m_reference;
    double m_angle = 0; // the angle the reference was seen at
    // How much the taught look changes when turned by a few degrees (1 - correlation); about
    // 0 for a target that looks alike at every angle, whose angle the search leaves alone.
    double m_turnChange = 0;
    int m_size = 0;
};

} // namespace engines
