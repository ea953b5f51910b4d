#include "scenes.h"

#include "tests/support/scene.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace bench {

namespace {

constexpr double kDiscRadius = 4.5;
constexpr double kDiscLevel = 235.0;

// Which part of a disc of radius r at x lies inside [0, width).
Seen inside(double x, double y, double r, cv::Size size) {
    if (x - r > size.width - 0.5 || y - r > size.height - 0.5 || x + r < -0.5 || y + r < -0.5)
        return Seen::Hidden;
    if (x - r < 0.0 || y - r < 0.0 || x + r > size.width - 1.0 || y + r > size.height - 1.0)
        return Seen::Partly;
    return Seen::Full;
}

Scene turningPatch() {
    Scene s;
    s.name = "turning patch";
    s.frames = 60;
    s.marker = false;
    s.radii = {16}; // the pattern matcher's default pattern size, 32
    const cv::Mat background = scene::texture(s.size, 31, 110, 40, 3.0);
    const cv::Mat patch = scene::texture({121, 121}, 37, 120, 120, 1.5);
    s.truth.resize(1);
    for (int f = 0; f < s.frames; ++f) {
        Truth t{200.0 + 4.0 * f + 0.03 * f * f, 180.0 + 2.5 * f + 0.02 * f * f, 2.0 * f};
        cv::Mat g = background.clone();
        scene::paste(g, patch, t.x, t.y, t.angle, 40.0);
        s.truth[0].push_back(t);
        s.rendered.push_back(g);
    }
    return s;
}

Scene fastMarkers() {
    Scene s;
    s.name = "fast markers";
    s.frames = 80;
    const cv::Mat background = scene::texture(s.size, 41, 90, 30, 2.0);
    // Each marker swings through its own quarter of the picture: up to 23.7 px per frame,
    // accelerations up to 2.9 px per frame squared.
    s.truth.resize(4);
    s.radii.assign(4, 8);
    for (int f = 0; f < s.frames; ++f) {
        cv::Mat g = background.clone();
        for (int m = 0; m < 4; ++m) {
            const double cx = 180.0 + 360.0 * (m % 2), cy = 144.0 + 288.0 * (m / 2);
            Truth t{cx + 150.0 * std::sin(0.14 * f + 0.9 * m),
                    cy + 110.0 * std::sin(0.1 * f + 1.7 * m)};
            scene::disc(g, t.x, t.y, kDiscRadius, kDiscLevel);
            s.truth[std::size_t(m)].push_back(t);
        }
        s.rendered.push_back(g);
    }
    return s;
}

Scene hiddenMarker() {
    Scene s;
    s.name = "hidden marker";
    s.frames = 60;
    const cv::Mat background = scene::texture(s.size, 43, 90, 30, 2.0);
    const cv::Rect cover(280, 250, 90, 80);
    s.truth.resize(1);
    s.radii = {8};
    for (int f = 0; f < s.frames; ++f) {
        cv::Mat g = background.clone();
        Truth t{100.0 + 6.0 * f + 0.01 * f * f, 290.0 + 6.0 * std::sin(f / 6.0)};
        scene::disc(g, t.x, t.y, kDiscRadius, kDiscLevel);
        // A grey board in front of the marker's path.
        cv::rectangle(g, cover, cv::Scalar(95), cv::FILLED);
        const double r = kDiscRadius + 1.0;
        if (t.x - r >= cover.x && t.x + r <= cover.x + cover.width - 1)
            t.seen = Seen::Hidden;
        else if (t.x + r >= cover.x && t.x - r <= cover.x + cover.width - 1)
            t.seen = Seen::Partly;
        s.truth[0].push_back(t);
        s.rendered.push_back(g);
    }
    return s;
}

Scene leavingMarker() {
    Scene s;
    s.name = "leaving marker";
    s.frames = 40;
    const cv::Mat background = scene::texture(s.size, 47, 90, 30, 2.0);
    s.truth.resize(1);
    s.radii = {8};
    for (int f = 0; f < s.frames; ++f) {
        cv::Mat g = background.clone();
        Truth t{560.0 + 7.0 * f, 200.0 + 1.5 * f};
        scene::disc(g, t.x, t.y, kDiscRadius, kDiscLevel);
        t.seen = inside(t.x, t.y, kDiscRadius + 1.0, s.size);
        s.truth[0].push_back(t);
        s.rendered.push_back(g);
    }
    return s;
}

} // namespace

std::vector<Scene> makeScenes() {
    return {turningPatch(), fastMarkers(), hiddenMarker(), leavingMarker()};
}

} // namespace bench
