// The calls the marker work makes on the two tracking engines, each in its fixed order.
// An engine reports failure through a failing result from any call; every function here
// stops at the first one and answers "nothing".
#pragma once

#include "components/engines/engines.h"
#include "platform/picture.h"

#include <optional>

namespace markers {

// What an engine answers for a marker in a frame: the point in pixels of the picture, the
// angle (0 from the marker tracker), the marker context's number and the symbol size in
// pixels (the pattern's side, or the marker's diameter).
struct EnginePoint {
    double x = 0.0;
    double y = 0.0;
    double angle = 0.0;
    platform::LONG number = 0;
    double size = 0.0;
};

class EngineCalls {
public:
    // Tracking into frame f: preparation, marker and frame context, search, results 0 to 2,
    // the context's number and the symbol size.
    static std::optional<EnginePoint> trackPattern(engines::IPatternMatcher *matcher,
                                                   platform::LONG marker, int frame,
                                                   platform::IPicture *picture);
    // Tracking into frame f from the frame contexts of f - 2 (only when f > 1) and f - 1:
    // values 52 and 53, the context's number and value 88.
    static std::optional<EnginePoint> trackMarker(engines::IMarkerTracker *tracker,
                                                  platform::LONG marker, int frame,
                                                  platform::IPicture *picture);

    // Teaching the pattern at once: the picture, then the point with a size (0: the pattern
    // size setting).
    static bool teachPattern(engines::IPatternMatcher *matcher, platform::LONG marker, int frame,
                             platform::IPicture *picture, double x, double y, platform::LONG size);
    // Teaching through the frame context of `frame`: picture, point, angle and size handed
    // over, then the learn operation (code 8) for `learnFrame`.
    static bool learnPattern(engines::IPatternMatcher *matcher, platform::LONG marker, int frame,
                             platform::IPicture *picture, double x, double y, double angle,
                             platform::LONG size, int learnFrame);
    // Teaching the marker tracker the disc at (x, y) of about that radius (0: the picture
    // decides); the point it then holds.
    static std::optional<EnginePoint> teachMarker(engines::IMarkerTracker *tracker,
                                                  platform::LONG marker, int frame,
                                                  platform::IPicture *picture, double x, double y,
                                                  platform::LONG radius);

    // Where the engine holds the marker at frame f (results 0 and 1 / values 52 and 53).
    static std::optional<EnginePoint> heldPattern(engines::IPatternMatcher *matcher,
                                                  platform::LONG marker, int frame);
    static std::optional<EnginePoint> heldMarker(engines::IMarkerTracker *tracker,
                                                 platform::LONG marker, int frame);

    // The marker's own settings dialog in the frame context of `frame`. For the pattern
    // matcher, the frame the pattern is then taught from: the frame before (0 at frame 0)
    // when it follows the previous frame (setting 0 is 0), else its reference frame
    // (setting 8); nothing when the engine failed.
    static std::optional<int> patternSettingsDialog(engines::IPatternMatcher *matcher,
                                                    platform::LONG marker, int frame);
    static void markerSettingsDialog(engines::IMarkerTracker *tracker, platform::LONG marker,
                                     int frame);

    // The pattern matcher's size setting (setting 4), 0 without an engine.
    static double patternSize(engines::IPatternMatcher *matcher);
};

} // namespace markers
