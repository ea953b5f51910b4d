// Commands of the marker table's popup menu that work on the selected row's marker: the
// path switches, the colour, and discarding a marker's values after the current frame.
#pragma once

#include "platform/wintypes.h"

namespace markers {

class MarkerController;

class MarkersCommands {
public:
    explicit MarkersCommands(MarkerController &markers) : m_markers(markers) {}

    // "Set new marker": the next left press on the picture creates a marker.
    void SetNewMarker();
    // Check marks and states of the table popup for the selected row, before it is shown.
    void UpdateTablePopup(int row);
    // "Show all paths" after its mark was toggled to `checked`: the in-memory setting follows
    // (the settings file is not written), then the path visibility is applied.
    void ShowAllPaths(bool checked);
    // "Show path for this marker" after its mark was toggled to `checked`: the selected
    // marker's `PathVisible` of every frame follows, then the path visibility is applied.
    void ShowPathForMarker(bool checked);
    // "Color": the colour dialog starting at the marker's colour; a chosen colour becomes
    // `MarkerColor` at frame 0, recolours the marker's items and the table's bands.
    void ChooseColor();
    // "Local tracking settings": the engine's settings dialog for the selected marker at the
    // current frame; a pattern-matching marker is then taught again at its reference frame.
    void LocalTrackingSettings();
    // "Track manually": the selected marker switches between automatic tracking and hand
    // placement ("M-" before its name, icon 19).
    void TrackManually();
    // "Delete marker": the selected marker out of its engine, its items, data and row.
    void DeleteMarker();
    // "Delete all markers": every marker, its items and data; numbers and colours start again.
    void DeleteAllMarkers();
    // The marker's values after the current frame are emptied and left ready for automatic
    // tracking; its path is rebuilt up to the current frame and the pattern matcher taught
    // again at it.
    void DiscardFollowingValues(platform::LONG marker);

    // Out of the engine of the marker's tracking mode at the current frame.
    void dropFromEngine(platform::LONG marker);

private:
    MarkerController &m_markers;
};

} // namespace markers
