// track: runs one tracking engine over a video through the AVI player and prints CSV
// (frame,marker,x,y,angle,size,status), one row per marker and frame from the start frame.
#include "trackrun.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char *const kUsage =
    "usage: track --engine pattern|marker --video FILE [--mode N] --start F --point X,Y "
    "--radius R [--point X,Y --radius R ...] [--frames N]";

bool parseNumber(const char *text, double *out) {
    if (!text || !*text)
        return false;
    char *end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool parseInt(const char *text, int *out) {
    double v = 0;
    if (!parseNumber(text, &v) || v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0)
        return false;
    *out = static_cast<int>(v);
    return true;
}

int usage(const std::string &message) {
    std::fprintf(stderr, "track: %s\n%s\n", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    track::Options options;
    bool haveEngine = false, haveStart = false;
    int radii = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\n", kUsage);
            return 0;
        }
        if (!value)
            return usage(arg + " needs a value");
        ++i;
        if (arg == "--engine") {
            if (std::strcmp(value, "pattern") == 0)
                options.engine = track::Engine::Pattern;
            else if (std::strcmp(value, "marker") == 0)
                options.engine = track::Engine::Marker;
            else
                return usage("unknown engine " + std::string(value));
            haveEngine = true;
        } else if (arg == "--video") {
            options.video = value;
        } else if (arg == "--mode") {
            if (!parseInt(value, &options.mode))
                return usage("bad mode");
        } else if (arg == "--start") {
            if (!parseInt(value, &options.start) || options.start < 0)
                return usage("bad start frame");
            haveStart = true;
        } else if (arg == "--frames") {
            if (!parseInt(value, &options.frames) || options.frames < 1)
                return usage("bad frame count");
        } else if (arg == "--point") {
            const char *comma = std::strchr(value, ',');
            track::StartPoint p;
            if (!comma || !parseNumber(std::string(value, comma).c_str(), &p.x) ||
                !parseNumber(comma + 1, &p.y))
                return usage("a point is X,Y");
            options.points.push_back(p);
        } else if (arg == "--radius") {
            int r = 0;
            if (!parseInt(value, &r) || r < 0 || r > 100)
                return usage("a radius is a whole number from 0 to 100");
            if (radii >= static_cast<int>(options.points.size()))
                return usage("--radius must follow its --point");
            options.points[std::size_t(radii++)].radius = r;
        } else {
            return usage("unknown option " + arg);
        }
    }
    if (!haveEngine || options.video.empty() || !haveStart || options.points.empty())
        return usage("--engine, --video, --start and --point are required");
    if (radii != static_cast<int>(options.points.size()))
        return usage("every --point needs its --radius");

    std::printf("frame,marker,x,y,angle,size,status\n");
    std::string error;
    const int code = track::run(
        options,
        [](const track::Row &r) {
            if (r.found)
                std::printf("%d,%d,%.3f,%.3f,%.3f,%.2f,1\n", r.frame, r.marker, r.x, r.y, r.angle,
                            r.size);
            else
                std::printf("%d,%d,,,,,0\n", r.frame, r.marker);
        },
        &error);
    if (code != 0)
        std::fprintf(stderr, "track: %s\n", error.c_str());
    return code;
}
