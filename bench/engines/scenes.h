// The benchmark's scenes: rendered frames and the exact path of every marker.
#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

namespace bench {

enum class Seen { Full, Partly, Hidden };

struct Truth {
    double x = 0, y = 0, angle = 0;
    Seen seen = Seen::Full;
};

struct Scene {
    std::string name;
    cv::Size size{720, 576};
    int frames = 0;
    std::vector<int> radii;                // per marker: the start radius handed to the engines
    std::vector<std::vector<Truth>> truth; // [marker][frame]
    bool pattern = true, marker = true;    // which of our engines the scene is for
    // Renders frame f, 8-bit grey.
    std::vector<cv::Mat> rendered;
};

// The four scenes: a turning textured patch, fast small markers, a hidden marker and a
// marker that leaves the picture.
std::vector<Scene> makeScenes();

} // namespace bench
