// One engine run over a video through the AVI player, in the application's calling orders:
// teach every start point at the start frame, then step frame by frame. A lost marker
// stays lost, as in the application.
#pragma once

#include "components/engines/engines.h"

#include <functional>
#include <string>
#include <vector>

namespace track {

enum class Engine { Pattern, Marker };

struct StartPoint {
    double x = 0, y = 0;
    int radius = 0; // pixels; the pattern size is twice this (0: the engine's default)
};

struct Row {
    int frame = 0;
    int marker = 0; // 1, 2, ... in the order of the start points
    double x = 0, y = 0, angle = 0, size = 0;
    bool found = false;
};

struct Options {
    Engine engine = Engine::Pattern;
    std::string video;
    int mode = 0;    // video mode handed to the player
    int start = 0;   // start frame
    int frames = -1; // frames to run from the start frame on; -1 to the end
    std::vector<StartPoint> points;
};

struct Timing {
    double engineSeconds = 0; // processor time inside the engine calls only
    long steps = 0;           // marker-frames searched
};

// Runs the engine; `emit` gets the rows in frame order. Returns 0, or an exit code with
// `error` set: 3 the video does not open, 4 bad start frame or point, 5 teaching failed.
int run(const Options &options, const std::function<void(const Row &)> &emit, std::string *error,
        Timing *timing = nullptr);

} // namespace track
