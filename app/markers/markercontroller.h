// The marker part of the main window in one object: the marker table, the tracking pass,
// the mouse work, paths and appearance, and the text export, wired to one host. The parts
// share the window-level marker state and the window's marker objects through it.
#pragma once

#include "app/common/appstate.h"
#include "app/markers/calibrator.h"
#include "app/markers/markermouse.h"
#include "app/markers/markerobjects.h"
#include "app/markers/markeroverlay.h"
#include "app/markers/markerproject.h"
#include "app/markers/markerscommands.h"
#include "app/markers/markershost.h"
#include "app/markers/markerstate.h"
#include "app/markers/markerstore.h"
#include "app/markers/markertable.h"
#include "app/markers/spreadsheetexport.h"
#include "app/markers/textexport.h"
#include "app/markers/trackingpass.h"

namespace markers {

class MarkerController {
public:
    MarkerController(MarkersHost &host, common::AppState &state, MarkerObjects &objects);

    MarkersHost &host;
    common::AppState &state;
    MarkerObjects &objects;
    MarkerState marks;

    MarkerStore store;
    MarkerOverlay overlay;
    MarkerTable table;
    TrackingPass pass;
    MarkerMouse mouse;
    MarkersCommands commands;
    TextExport textExport;
    SpreadsheetExport spreadsheetExport;
    Calibrator calibrator;
    MarkerProject project;

    // Counts the changes to the markers' data, the table and the calibration: a project
    // holds unsaved work while this differs from the count when it was last saved.
    void touch() { ++changes; }
    unsigned changes = 0;

    // The engines; a use that finds one missing makes it then. Null when that fails.
    engines::IPatternMatcher *patternMatcher();
    engines::IMarkerTracker *markerTracker();

    // The current frame (the scroll bar's value) and the video's size in pixels.
    int frame() const;
    int videoWidth() const { return state.VideoWidth; }
    int videoHeight() const { return state.VideoHeight; }
    // The whole current frame at zoom 100, as the engines are handed it; null without one.
    platform::ComPtr<platform::IPicture> currentPicture();

    // The marker part of a project reset: every marker out of its engine, the five data sets
    // and the item collection emptied, the table cleared and its bands repainted, counters
    // and selection back to their start.
    void discardMarkers();
};

} // namespace markers
