#include "app/markers/markermouse.h"

#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/markers/enginecalls.h"
#include "app/markers/markercontroller.h"
#include "control/cvviewctrl.h"
#include "platform/colorref.h"
#include "platform/ui/dialogs.h"

#include <algorithm>
#include <cmath>

namespace markers {

using platform::LONG;

namespace {

// Interaction states: what a left press on the picture does.
constexpr int kStateNewMarker = 1;
constexpr int kStateCalibration = 2;
constexpr int kStatePlace = 4;
constexpr int kStateVideoOpened = 5;

// Clears the release-busy flag on every way out of the release handling, errors included:
// a flag left set would swallow every later release.
class BusyGuard {
public:
    explicit BusyGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~BusyGuard() { m_flag = false; }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    bool &m_flag;
};

} // namespace

bool MarkerMouse::insideVideo(double fx, double fy) const {
    return fx >= 0.0 && fx <= m_markers.videoWidth() && fy >= 0.0 && fy <= m_markers.videoHeight();
}

void MarkerMouse::SpecialMouseDown(LONG keys, LONG, LONG, double fx, double fy) {
    common::AppState &s = m_markers.state;
    MarkerState &m = m_markers.marks;
    if (s.InteractionState == kStateVideoOpened) {
        s.InteractionState = kStateNewMarker;
        s.VideoOpening = false;
    }
    m.placing = false;
    m.panAnchorX = m.panAnchorY = -1;
    m.zoomAnchor = -1;
    if (keys != kMoveKeys && (keys & (kShift | kCtrl))) {
        m.modifierDrag = true;
        return;
    }
    if (s.NoVideo && keys == kLeft)
        m_markers.host.LoadVideo(true, s.settings.DefVideoMode, 0.0f, 0);
    if (!s.NoVideo && keys == kRight) {
        m_markers.host.showPopup(Popup::Video);
        return;
    }
    if (s.InteractionState == kStateCalibration) {
        m_markers.calibrator.SetCalibrationPoint(fx, fy);
        return;
    }
    // A new marker (state 1) or the selected hand-tracked one (state 4), inside the video
    // only; then the magnifier shows the pattern's square around the press.
    if (!insideVideo(fx, fy))
        return;
    if (s.InteractionState == kStateNewMarker)
        CreateMarker(fx, fy);
    else if (s.InteractionState == kStatePlace)
        PlaceSelectedMarker(fx, fy);
    else
        return;
    const double size = EngineCalls::patternSize(m_markers.patternMatcher());
    ShowMagnifier(common::roundHalfEven(fx - size / 2), common::roundHalfEven(fy - size / 2), size);
}

void MarkerMouse::CreateMarker(double x, double y) {
    common::AppState &s = m_markers.state;
    MarkerState &m = m_markers.marks;
    if (s.VideoOpening)
        return;
    if (s.settings.CalibrationMandatory && !s.VideoCalibrated) {
        // Windows breaks message lines at a carriage return; Qt needs a line feed.
        platform::ui::dialogs().messageBox(m_markers.host.dialogParent(),
                                           common::res(s, 1036) + u'\n' + common::res(s, 1043),
                                           common::productTitle(s), platform::ui::Information);
        return;
    }
    m.placing = true;
    m_markers.overlay.DrawPressCross(x, y);
    const int w = m_markers.videoWidth(), h = m_markers.videoHeight();
    m.pressX = x >= w ? w - 1 : common::roundHalfEven(x);
    m.pressY = y >= h ? h - 1 : common::roundHalfEven(y);
    ++m.colorCounter;
    m_markers.store.createMarkerData(m.markerCounter + 1,
                                     m_markers.host.videoView().AVINumberOfFrames(), counterColor(),
                                     s.settings.TrackingMode);
}

void MarkerMouse::SpecialMouseMove(LONG keys, LONG x, LONG y, double fx, double fy) {
    const common::AppState &s = m_markers.state;
    const MarkerState &m = m_markers.marks;
    if (s.VideoOpening)
        return;
    if (keys == (kLeft | kShift))
        pan(x, y);
    else if (keys == (kLeft | kCtrl))
        zoom(y);
    else if (keys == kLeft && s.InteractionState == kStateNewMarker && !m.modifierDrag &&
             m.placing && insideVideo(fx, fy))
        sizeNewMarker(fx, fy);
}

LONG MarkerMouse::limitOffset(LONG offset, LONG zoomedSize, LONG viewSize) {
    if (zoomedSize - offset < viewSize)
        offset = zoomedSize - viewSize;
    return std::max<LONG>(offset, 0);
}

void MarkerMouse::setLimitedOffsets(LONG horizontal, LONG vertical, LONG zoom) {
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    const LONG zoomedW = common::roundHalfEven(view.AVIWidth() * zoom / 100.0);
    const LONG zoomedH = common::roundHalfEven(view.AVIHeight() * zoom / 100.0);
    view.SetHorizontalOffset(limitOffset(horizontal, zoomedW, view.width()));
    view.SetVerticalOffset(limitOffset(vertical, zoomedH, view.height()));
}

platform::COLORREF MarkerMouse::counterColor() const {
    const MarkerState &m = m_markers.marks;
    return platform::refFromColor(
        m_markers.state
            .MarkerColors[static_cast<std::size_t>(m.colorCounter % common::kMarkerColorCount)]);
}

void MarkerMouse::pan(LONG x, LONG y) {
    MarkerState &m = m_markers.marks;
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    if (m.panAnchorX > 0)
        setLimitedOffsets(view.HorizontalOffset() - (x - m.panAnchorX),
                          view.VerticalOffset() - (y - m.panAnchorY), view.Zoom());
    m.panAnchorX = x;
    m.panAnchorY = y;
}

void MarkerMouse::zoom(LONG y) {
    MarkerState &m = m_markers.marks;
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    if (m.zoomAnchor > 0) {
        // Dragging up enlarges.
        const LONG zoom =
            std::clamp<LONG>(view.Zoom() - (y - m.zoomAnchor), kMinDragZoom, kMaxDragZoom);
        view.SetZoom(zoom);
        setLimitedOffsets(view.HorizontalOffset(), view.VerticalOffset(), zoom);
        m_markers.host.UpdateStatusBar();
    }
    m.zoomAnchor = y;
}

void MarkerMouse::sizeNewMarker(double fx, double fy) {
    MarkerState &m = m_markers.marks;
    if (m.pressX == -1 || m.pressY == -1) {
        m.pressX = common::roundHalfEven(fx);
        m.pressY = common::roundHalfEven(fy);
    }
    int r = std::min(common::roundHalfEven(std::fabs(m.pressX - fx)), kMaxRadius);
    if (r == 0)
        r = common::roundHalfEven(EngineCalls::patternSize(m_markers.patternMatcher()) / 2);
    MarkerOverlay &overlay = m_markers.overlay;
    overlay.RemoveMarkerSymbol(kTemporaryMarker);
    overlay.DrawMarkerSymbol(m.pressX, m.pressY, r, kTemporaryMarker, counterColor(), kStyleNormal);
    overlay.QuickRefresh();
    ShowMagnifier(m.pressX - r, m.pressY - r, 2.0 * r);
}

void MarkerMouse::SpecialMouseUp(LONG keys, LONG, LONG, double fx, double fy) {
    MarkerState &m = m_markers.marks;
    if (m.modifierDrag) {
        m.modifierDrag = false;
        return;
    }
    if (!insideVideo(fx, fy) || m_markers.state.InteractionState != kStateNewMarker ||
        m.releaseBusy || !m.placing)
        return;
    const BusyGuard busy(m.releaseBusy);
    m.placing = false;
    const MarkerOverlay::Batch batch(m_markers.overlay);
    if (keys == kMoveKeys)
        moveSelectedMarker(fx, fy);
    else if (keys == kLeft)
        finishNewMarker(fx, fy);
}

void MarkerMouse::moveSelectedMarker(double fx, double fy) {
    const auto selected = m_markers.table.selectedMarker();
    if (!selected)
        return; // nothing selected: nothing to move
    const LONG marker = *selected;
    const int f = m_markers.frame();
    const auto picture = m_markers.currentPicture();
    const MarkerChannels ch = m_markers.store.bind(marker);
    const double r = ch.get(Channel::PointRadius, f);
    MarkerOverlay &overlay = m_markers.overlay;
    overlay.RemoveMarkerSymbol(kTemporaryMarker);
    overlay.QuickRefresh();
    if (m_markers.state.settings.DiscardAutotracked) {
        overlay.RemoveMarkerSymbol(marker);
        m_markers.commands.DiscardFollowingValues(marker);
        overlay.RemoveMarkerSymbol(marker);
    }
    overlay.DrawMarkerSymbol(fx, fy, r, marker, ch.color(), kStyleNormal);
    const LONG size = common::roundHalfEven(2 * r);
    if (m_markers.state.settings.TrackingMode == common::kTrackingMarkerTracking)
        // The marker tracker takes the disc's radius where the pattern matcher takes a side.
        EngineCalls::teachMarker(m_markers.markerTracker(), marker, f, picture.get(), fx, fy,
                                 common::roundHalfEven(r));
    else
        EngineCalls::teachPattern(m_markers.patternMatcher(), marker, f, picture.get(), fx, fy,
                                  size);
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    ch.put(Channel::PosX, f, static_cast<float>(fx / w));
    ch.put(Channel::PosY, f, static_cast<float>(fy / h));
    ch.put(Channel::Angle, f, 0.0f);
    ch.put(Channel::PointStatus, f, 1.0f);
    ch.put(Channel::PointRadius, f, static_cast<float>(r));
    ch.put(Channel::PointSource, f, kSourceMoved);
    m_markers.touch();
}

// Nothing to follow where the marker was placed: say so rather than leave the press without a
// trace.
void MarkerMouse::refuseTeaching() {
    const common::AppState &s = m_markers.state;
    m_markers.marks.pressX = m_markers.marks.pressY = -1;
    platform::ui::dialogs().messageBox(m_markers.host.dialogParent(), common::res(s, 1057),
                                       common::productTitle(s), platform::ui::Information);
}

void MarkerMouse::finishNewMarker(double fx, double) {
    common::AppState &s = m_markers.state;
    MarkerState &m = m_markers.marks;
    MarkerOverlay &overlay = m_markers.overlay;
    overlay.RemoveMarkerSymbol(kTemporaryMarker);
    // The sizing symbol's path marks are never shown; they go with it.
    if (auto &items = m_markers.objects.graphicItems)
        items->Remove(itemNumber(kTemporaryMarker, kPathOffset));
    int r = std::min(common::roundHalfEven(std::fabs(m.pressX - fx)), kMaxRadius);
    if (r < 2)
        r = 0;
    const LONG marker = ++m.markerCounter;
    const int f = m_markers.frame();
    const MarkerChannels ch =
        m_markers.store.bind(marker, {Channel::AutoTrack, Channel::PointSource,
                                      Channel::MarkerColor, Channel::PointRadius});
    const auto picture = m_markers.currentPicture();

    double x = m.pressX, y = m.pressY;
    double radius = r;
    if (s.settings.TrackingMode == common::kTrackingMarkerTracking) {
        const auto taught = EngineCalls::teachMarker(m_markers.markerTracker(), marker, f,
                                                     picture.get(), m.pressX, m.pressY, r);
        if (!taught) {
            overlay.QuickRefresh();
            refuseTeaching();
            return;
        }
        // The marker's point is the centre the tracker found, where its symbol is drawn and
        // from which tracking goes on.
        x = taught->x;
        y = taught->y;
        radius = taught->size / 2;
        overlay.DrawMarkerSymbol(x, y, radius, marker, 0, kStyleNormal);
    } else {
        overlay.DrawMarkerSymbol(x, y, r, marker, 0, kStyleNormal);
        if (!EngineCalls::learnPattern(m_markers.patternMatcher(), marker, f, picture.get(), x, y,
                                       0.0, 2 * r, f)) {
            overlay.RemoveMarkerItems(marker);
            refuseTeaching();
            return;
        }
    }
    m_markers.table.addRow(marker, x, y);

    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    const platform::COLORREF color = counterColor();
    m_markers.store.writePoint(marker, f, x / w, y / h, 0.0, radius, 0.0f);
    ch.put(Channel::AutoTrack, f, 1.0f);
    ch.put(Channel::PointSource, f, kSourceCreated);
    overlay.RecolorMarkerItems(marker, color);
    ch.fill(Channel::PointRadius, static_cast<float>(radius));
    ch.fill(Channel::MarkerColor, static_cast<float>(color));

    m.pressX = m.pressY = -1;
    overlay.QuickRefresh();
    m_markers.table.paintRowBands();
    m_markers.touch();
}

void MarkerMouse::PlaceSelectedMarker(double x, double y) {
    const auto selected = m_markers.table.selectedMarker();
    if (!selected)
        return;
    const LONG marker = *selected;
    const int f = m_markers.frame();
    const MarkerChannels ch = m_markers.store.bind(marker);
    const double r = ch.get(Channel::PointRadius, f);
    MarkerOverlay &overlay = m_markers.overlay;
    const MarkerOverlay::Batch batch(overlay);
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    if (m_markers.state.settings.DiscardAutotracked) {
        overlay.RebuildPath(marker, f);
        ch.emptyAfter(f, m_markers.host.scrollMaximum(), false);
    }
    overlay.RemoveMarkerSymbol(kTemporaryMarker);
    overlay.RemoveMarkerSymbol(marker);
    overlay.DrawMarkerSymbol(x, y, r, marker, ch.color(), kStyleNormal);
    const auto picture = m_markers.currentPicture();
    EngineCalls::teachPattern(m_markers.patternMatcher(), marker, f, picture.get(), x, y,
                              common::roundHalfEven(2 * r));
    MarkerStore &store = m_markers.store;
    store.writePoint(marker, f, x / w, y / h, 0.0, r, ch.get(Channel::PathVisible, f));
    store.writeFrame(kDataSetState1, marker, f, ch.get(Channel::MarkerColor, f), 0.0f, 0.0f);
    m_markers.touch();
}

void MarkerMouse::tableItemClick(int row) {
    common::AppState &s = m_markers.state;
    MarkerState &m = m_markers.marks;
    const LONG marker = m_markers.table.markerNumberOfRow(row);
    const int f = m_markers.frame();
    const MarkerChannels ch = m_markers.store.bind(marker);
    s.InteractionState = ch.get(Channel::AutoTrack, 0) == 1.0f ? kStateNewMarker : kStatePlace;
    const MarkerOverlay::Batch batch(m_markers.overlay);
    const float px = ch.get(Channel::PosX, f), py = ch.get(Channel::PosY, f);
    const float pr = ch.get(Channel::PointRadius, f);
    if (px != datalib::kMissing && py != datalib::kMissing && pr != datalib::kMissing)
        ShowMagnifier(px * m_markers.videoWidth() - pr, py * m_markers.videoHeight() - pr,
                      2.0 * pr);
    if (m.lastSelectedMarker != -1) {
        // The marker selected before gets its normal look back.
        const LONG previous = m.lastSelectedMarker;
        const MarkerChannels before = m_markers.store.bind(previous);
        const std::optional<EnginePoint> held =
            before.get(Channel::TrackMode, f) == float(common::kTrackingPatternMatching)
                ? EngineCalls::heldPattern(m_markers.patternMatcher(), previous, f)
                : EngineCalls::heldMarker(m_markers.markerTracker(), previous, f);
        if (held)
            m_markers.overlay.DrawMarkerSymbol(held->x, held->y,
                                               before.get(Channel::PointRadius, 0), previous,
                                               before.color(), kStyleNormal);
        m_markers.pass.RedrawMarker(previous);
    }
    ShowSelection();
    m.lastSelectedMarker = marker;
}

void MarkerMouse::ShowSelection() {
    const auto selected = m_markers.table.selectedMarker();
    if (!selected)
        return;
    const LONG marker = *selected;
    const int f = m_markers.frame();
    const MarkerChannels ch = m_markers.store.bind(
        marker, {Channel::PosX, Channel::PosY, Channel::PointRadius, Channel::MarkerColor});
    m_markers.overlay.DrawMarkerSymbol(ch.get(Channel::PosX, f) * m_markers.videoWidth(),
                                       ch.get(Channel::PosY, f) * m_markers.videoHeight(),
                                       ch.get(Channel::PointRadius, f), marker, ch.color(),
                                       kStyleSelection);
}

void MarkerMouse::tableMouseUp(LONG button, bool overRow) {
    common::AppState &s = m_markers.state;
    MarkersHost &host = m_markers.host;
    if (button == kRight && host.selectedRow() >= 0) {
        m_markers.commands.UpdateTablePopup(host.selectedRow());
        host.showPopup(Popup::Table);
    }
    if (!overRow) {
        s.InteractionState = kStateNewMarker;
        s.VideoOpening = false;
        host.clearSelection();
    }
}

void MarkerMouse::ShowMagnifier(double left, double top, double size) {
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    const LONG side = common::roundHalfEven(size);
    const auto part = view.PicturePart(view.AVIFrame(), view.Zoom(), common::roundHalfEven(left),
                                       common::roundHalfEven(top), side, side, 0, 0);
    m_markers.host.showMagnifier(part.query<platform::IPicture>());
}

} // namespace markers
