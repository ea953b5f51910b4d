// The marker work's window-level state: counters, the last selected marker and what the
// mouse handling carries from one event to the next.
#pragma once

namespace markers {

// Item number under which the symbol of a marker being created is drawn.
inline constexpr int kTemporaryMarker = 4000000;

struct MarkerState {
    // Last marker number issued; 0 = none. Deleting one marker does not give its number back.
    int markerCounter = 0;
    // Markers created since the last reset; picks the default colour of the next one.
    int colorCounter = 0;
    // Number of the marker whose row was clicked last; -1 = none.
    int lastSelectedMarker = -1;

    // Mouse handling.
    bool placing = false;      // a press created a marker's data; its release finishes it
    bool modifierDrag = false; // the press had Shift or Ctrl alone: the release only ends it
    bool releaseBusy = false;  // the release handling runs; a nested release is ignored
    int pressX = -1;           // pixel position of the marker being created; -1 none
    int pressY = -1;
    int panAnchorX = -1; // client position of the previous move of a Shift drag
    int panAnchorY = -1;
    int zoomAnchor = -1; // client y of the previous move of a Ctrl drag
};

} // namespace markers
