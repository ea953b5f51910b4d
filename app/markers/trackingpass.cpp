#include "app/markers/trackingpass.h"

#include "app/common/settings.h"
#include "app/markers/enginecalls.h"
#include "app/markers/markercontroller.h"

namespace markers {

using platform::LONG;

void TrackingPass::UpdateFrameMarkers() {
    common::AppState &s = m_markers.state;
    MarkersHost &host = m_markers.host;
    const int f = m_markers.frame();
    s.MarkerLost = false;
    s.AllMarkersLost = false;
    // Counts from the first row at which a tracking attempt is made: rows before it do not
    // count as present, so markers that merely sit in this frame cannot hide a loss.
    int present = 1;
    int attempts = 0;
    m_picture = nullptr;
    m_pictureFetched = false;

    const MarkerOverlay::Batch batch(m_markers.overlay);
    const int rows = host.rowCount();
    for (int row = 0; row < rows; ++row) {
        if (attempts == 0)
            present = 0;
        const LONG marker = m_markers.table.markerNumberOfRow(row);
        bool attempted = false;
        const RowOutcome outcome = trackRow(row, marker, f, &attempted);
        if (attempted)
            ++attempts;
        if (outcome == RowOutcome::Shown || outcome == RowOutcome::Tracked)
            ++present;
        else if (outcome == RowOutcome::Lost)
            s.MarkerLost = true;
    }
    if (present == 0 && attempts > 0)
        s.AllMarkersLost = true;
    m_picture = nullptr; // the frame's pixels go back to the player with the pass
    m_markers.overlay.ApplyPathVisibility();
    m_markers.overlay.QuickRefresh();
}

TrackingPass::RowOutcome TrackingPass::trackRow(int row, LONG marker, int f, bool *attempted) {
    const MarkerChannels ch = m_markers.store.bind(marker);
    MarkerOverlay &overlay = m_markers.overlay;
    overlay.RemoveMarkerSymbol(marker);
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    const auto color = ch.color();

    if (ch.get(Channel::PointStatus, f) != 0.0f) {
        // The marker already has a point here: show it.
        const double fx = ch.get(Channel::PosX, f), fy = ch.get(Channel::PosY, f);
        m_markers.table.setValueCells(row, fx, fy, ch.get(Channel::Angle, f));
        overlay.DrawMarkerSymbol(fx * w, fy * h, ch.get(Channel::PointRadius, f), marker, color,
                                 kStyleNormal);
        return RowOutcome::Shown;
    }

    // Tracked only forward from a point in the frame before, and only automatically.
    if (!m_trackingEnabled || !(f > 0) ||
        !(ch.get(Channel::PointStatus, f - 1) == 1.0f && ch.get(Channel::PointStatus, f) == 0.0f) ||
        ch.get(Channel::AutoTrack, f) != 1.0f)
        return RowOutcome::Untouched;
    const float mode = ch.get(Channel::TrackMode, f);
    if (mode != float(common::kTrackingPatternMatching) &&
        mode != float(common::kTrackingMarkerTracking))
        return RowOutcome::Untouched;

    *attempted = true;
    if (!m_pictureFetched) {
        m_picture = m_markers.currentPicture();
        m_pictureFetched = true;
    }
    const std::optional<EnginePoint> found =
        mode == float(common::kTrackingPatternMatching)
            ? EngineCalls::trackPattern(m_markers.patternMatcher(), marker, f, m_picture.get())
            : EngineCalls::trackMarker(m_markers.markerTracker(), marker, f, m_picture.get());
    if (!found)
        return RowOutcome::Lost;

    const double r = common::roundHalfEven(found->size / 2.0);
    const double fx = w > 0 ? found->x / w : 0.0, fy = h > 0 ? found->y / h : 0.0;
    m_markers.table.setValueCells(row, fx, fy, found->angle);
    m_markers.host.setRowTag(row, QString::number(found->number));
    m_markers.store.writePoint(marker, f, fx, fy, found->angle, r,
                               ch.get(Channel::PathVisible, f - 1));
    ch.put(Channel::PointSource, f, kSourceTracked);
    overlay.DrawMarkerSymbol(found->x, found->y, r, marker, color, kStyleNormal);
    m_markers.touch();
    return RowOutcome::Tracked;
}

void TrackingPass::RedrawMarker(LONG marker) {
    const MarkerChannels ch = m_markers.store.bind(
        marker, {Channel::PosX, Channel::PosY, Channel::PointRadius, Channel::MarkerColor});
    m_markers.overlay.RemoveMarkerSymbol(marker);
    const int f = m_markers.frame();
    m_markers.overlay.DrawMarkerSymbol(ch.get(Channel::PosX, f) * m_markers.videoWidth(),
                                       ch.get(Channel::PosY, f) * m_markers.videoHeight(),
                                       ch.get(Channel::PointRadius, f), marker, ch.color(),
                                       kStyleNormal);
}

} // namespace markers
