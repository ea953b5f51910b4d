// The objects the main window owns for its lifetime and the marker work runs on: the two
// tracking engines, the overlay item collection, the data-set factory and the five data sets
// of the marker store. The load sequence creates them in its fixed order.
#pragma once

#include "components/datalib/interfaces.h"
#include "components/engines/engines.h"
#include "platform/com.h"
#include "platform/wintypes.h"

#include <array>

namespace markers {

// The five data sets, by index: "Rohdaten" RAW, "Rotation" PMRO, "Restdaten" PMD0, PMD1, PMD2.
enum DataSet : int {
    kDataSetRaw = 0,      // PosX, PosY
    kDataSetRotation = 1, // Angle
    kDataSetState0 = 2,   // PointStatus, PointRadius, PathVisible
    kDataSetState1 = 3,   // MarkerColor, AutoTrack, PointSource
    kDataSetState2 = 4,   // TrackMode
};
inline constexpr int kDataSetCount = 5;

struct MarkerObjects {
    platform::ComPtr<engines::IPatternMatcher> patternMatcher;
    platform::ComPtr<engines::IMarkerTracker> markerTracker;
    platform::ComPtr<datalib::TalvorGraphicItems> graphicItems;
    platform::ComPtr<datalib::TalvorDataFactory> dataFactory;
    std::array<platform::ComPtr<datalib::TalvorDatas>, kDataSetCount> dataSets;
};

// Four characters as a 32-bit tag, the first in the lowest byte ("RAW " = 0x20574152).
platform::LONG typeTag(const char (&code)[5]);

// Both engines, started with dialogs allowed and the interface locale. Null when the class
// cannot be made; any later use that finds one missing makes it then.
platform::ComPtr<engines::IPatternMatcher> createPatternMatcher(platform::LCID lcid);
platform::ComPtr<engines::IMarkerTracker> createMarkerTracker(platform::LCID lcid);

// The overlay item collection.
platform::ComPtr<datalib::TalvorGraphicItems> createGraphicItems();

// The data-set factory and the five named, tagged data sets; entries stay null where the
// data library could not make them.
void createDataSets(MarkerObjects &objects);

} // namespace markers
