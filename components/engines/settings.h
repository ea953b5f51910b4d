// Tracking settings of both engines: values, their limits, access by setting number and
// the per-user store (settings store, current user).
#pragma once

#include "components/engines/engines.h"

#include <optional>

namespace platform {
class RegistryStore;
}

namespace engines {

struct PatternSettings {
    int referenceMode = 0; // 0 follow the previous frame, else fixed reference
    int referenceFrame = 0;
    int searchRange = 32;   // pixels beyond the prediction
    int minScore = 60;      // percent correlation
    int rotationRange = 10; // degrees beyond the predicted angle; 0 switches rotation off
    int patternSize = 32;   // pixels; suits markers of a 720x576 picture
    int updateRate = 10;    // percent per frame

    // Value of a setting by number; nothing for an unknown number.
    std::optional<double> get(LONG id) const;
    // Stores the value limited to its range; false for an unknown number.
    bool put(LONG id, double value);

    friend bool operator==(const PatternSettings &, const PatternSettings &) = default;
};

struct MarkerSettings {
    int searchRange = 32;   // pixels beyond the prediction
    int polarity = 0;       // 0 taught, 1 bright, 2 dark
    int sizeTolerance = 60; // percent

    std::optional<double> get(LONG id) const;
    bool put(LONG id, double value);

    friend bool operator==(const MarkerSettings &, const MarkerSettings &) = default;
};

// Per-user defaults. Missing or damaged values read as the built-in defaults.
PatternSettings loadPatternSettings(const platform::RegistryStore &store);
bool savePatternSettings(platform::RegistryStore &store, const PatternSettings &settings);
MarkerSettings loadMarkerSettings(const platform::RegistryStore &store);
bool saveMarkerSettings(platform::RegistryStore &store, const MarkerSettings &settings);

inline constexpr const char *kPatternSettingsKey = "Software\\Talvor\\Orvane\\PatternMatcher";
inline constexpr const char *kMarkerSettingsKey = "Software\\Talvor\\Orvane\\MarkerTracker";

} // namespace engines
