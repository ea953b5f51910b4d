// The tracking pass of one frame: every marker of the table is shown at the current frame,
// or, when it had a point in the frame before and has none in this one, tracked into it by
// its engine. It runs on every frame change; there is no other tracking loop. It sets the
// shared loss flags that playback stops on.
#pragma once

#include "platform/picture.h"
#include "platform/wintypes.h"

namespace markers {

class MarkerController;

class TrackingPass {
public:
    explicit TrackingPass(MarkerController &markers) : m_markers(markers) {}

    // One pass at the scroll bar's frame.
    void UpdateFrameMarkers();
    // Marker N drawn again at the current frame from its stored point, without tracking.
    void RedrawMarker(platform::LONG marker);
    // Off, passes only show what is stored (while a project is put back in place, so that
    // opening it never changes its data).
    void setTrackingEnabled(bool enabled) { m_trackingEnabled = enabled; }

private:
    enum class RowOutcome { Untouched, Shown, Tracked, Lost };
    RowOutcome trackRow(int row, platform::LONG marker, int frame, bool *attempted);

    MarkerController &m_markers;
    // The current frame's picture of this pass: fetched at the first tracking step and
    // shared by all markers.
    platform::ComPtr<platform::IPicture> m_picture;
    bool m_pictureFetched = false;
    bool m_trackingEnabled = true;
};

} // namespace markers
