#include "components/engines/settings.h"

#include "platform/registry.h"

#include <algorithm>
#include <cmath>

namespace engines {

namespace {

constexpr auto kUser = platform::RegistryHive::CurrentUser;

// Settings are whole numbers; a value is rounded and limited, never refused for its size.
bool store(int &field, double value, int low, int high) {
    if (!std::isfinite(value))
        return false;
    field = static_cast<int>(std::clamp(std::round(value), double(low), double(high)));
    return true;
}

struct Field {
    LONG id;
    const char *name;
};

constexpr Field kPatternFields[] = {
    {ReferenceMode, "ReferenceMode"}, {SearchRange, "SearchRange"}, {MinScore, "MinScore"},
    {RotationRange, "RotationRange"}, {PatternSize, "PatternSize"}, {UpdateRate, "UpdateRate"},
};

constexpr Field kMarkerFields[] = {
    {MarkerSearchRange, "SearchRange"},
    {MarkerPolarity, "Polarity"},
    {MarkerSizeTolerance, "SizeTolerance"},
};

template <class S, std::size_t N>
S load(const platform::RegistryStore &reg, const char *key, const Field (&fields)[N]) {
    S s;
    for (const Field &f : fields) {
        // Stored as 32-bit values; negative settings do not exist, so a huge value is damage
        // and is limited like any other.
        if (const auto v = reg.readDword(kUser, key, f.name))
            s.put(f.id, static_cast<double>(*v));
    }
    return s;
}

template <class S, std::size_t N>
bool save(platform::RegistryStore &reg, const char *key, const S &s, const Field (&fields)[N]) {
    bool ok = true;
    for (const Field &f : fields)
        ok = reg.writeDword(kUser, key, f.name, static_cast<platform::DWORD>(*s.get(f.id))) && ok;
    return ok;
}

} // namespace

std::optional<double> PatternSettings::get(LONG id) const {
    switch (id) {
    case ReferenceMode:
        return referenceMode;
    case SearchRange:
        return searchRange;
    case MinScore:
        return minScore;
    case RotationRange:
        return rotationRange;
    case PatternSize:
        return patternSize;
    case UpdateRate:
        return updateRate;
    case ReferenceFrame:
        return referenceFrame;
    default:
        return std::nullopt;
    }
}

bool PatternSettings::put(LONG id, double value) {
    switch (id) {
    case ReferenceMode:
        if (!std::isfinite(value))
            return false;
        referenceMode = value != 0.0 ? 1 : 0;
        return true;
    case SearchRange:
        return store(searchRange, value, 2, 200);
    case MinScore:
        return store(minScore, value, 0, 100);
    case RotationRange:
        return store(rotationRange, value, 0, 90);
    case PatternSize:
        return store(patternSize, value, 8, 128);
    case UpdateRate:
        return store(updateRate, value, 0, 100);
    case ReferenceFrame:
        return store(referenceFrame, value, 0, 32767); // frames are 16-bit numbers
    default:
        return false;
    }
}

std::optional<double> MarkerSettings::get(LONG id) const {
    switch (id) {
    case MarkerSearchRange:
        return searchRange;
    case MarkerPolarity:
        return polarity;
    case MarkerSizeTolerance:
        return sizeTolerance;
    default:
        return std::nullopt;
    }
}

bool MarkerSettings::put(LONG id, double value) {
    switch (id) {
    case MarkerSearchRange:
        return store(searchRange, value, 2, 200);
    case MarkerPolarity:
        return store(polarity, value, 0, 2);
    case MarkerSizeTolerance:
        return store(sizeTolerance, value, 10, 400);
    default:
        return false;
    }
}

PatternSettings loadPatternSettings(const platform::RegistryStore &store) {
    return load<PatternSettings>(store, kPatternSettingsKey, kPatternFields);
}

bool savePatternSettings(platform::RegistryStore &store, const PatternSettings &settings) {
    return save(store, kPatternSettingsKey, settings, kPatternFields);
}

MarkerSettings loadMarkerSettings(const platform::RegistryStore &store) {
    return load<MarkerSettings>(store, kMarkerSettingsKey, kMarkerFields);
}

bool saveMarkerSettings(platform::RegistryStore &store, const MarkerSettings &settings) {
    return save(store, kMarkerSettingsKey, settings, kMarkerFields);
}

} // namespace engines
