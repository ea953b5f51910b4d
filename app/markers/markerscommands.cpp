#include "app/markers/markerscommands.h"

#include "app/common/settings.h"
#include "app/markers/enginecalls.h"
#include "app/markers/markercontroller.h"
#include "control/cvviewctrl.h"
#include "platform/colorref.h"
#include "platform/ui/dialogs.h"

namespace markers {

using platform::LONG;

void MarkersCommands::SetNewMarker() {
    m_markers.state.InteractionState = 1;
    m_markers.state.VideoOpening = false;
}

void MarkersCommands::UpdateTablePopup(int row) {
    MarkersHost &host = m_markers.host;
    const bool all = m_markers.state.settings.ShowAutoPath;
    host.setTableEntryChecked(TableEntry::ShowAllPaths, all);
    host.setTableEntryEnabled(TableEntry::ShowPathForMarker, !all);
    const LONG marker = m_markers.table.markerNumberOfRow(row);
    const MarkerChannels ch = m_markers.store.bind(marker, {Channel::PathVisible});
    host.setTableEntryChecked(TableEntry::ShowPathForMarker,
                              ch.get(Channel::PathVisible, 0) == 1.0f);
    host.setTableEntryChecked(TableEntry::TrackManually,
                              host.rowText(row).startsWith(QLatin1String("M-")));
}

void MarkersCommands::ShowAllPaths(bool checked) {
    m_markers.touch();
    m_markers.host.setTableEntryChecked(TableEntry::ShowAllPaths, checked);
    m_markers.state.settings.ShowAutoPath = checked;
    m_markers.overlay.ApplyPathVisibility();
}

void MarkersCommands::ShowPathForMarker(bool checked) {
    m_markers.touch();
    MarkersHost &host = m_markers.host;
    host.setTableEntryChecked(TableEntry::ShowPathForMarker, checked);
    if (const auto marker = m_markers.table.selectedMarker())
        m_markers.store.bind(*marker, {Channel::PathVisible})
            .fill(Channel::PathVisible, checked ? 1.0f : 0.0f);
    m_markers.overlay.ApplyPathVisibility();
}

void MarkersCommands::ChooseColor() {
    const auto selected = m_markers.table.selectedMarker();
    if (!selected)
        return;
    const LONG marker = *selected;
    const MarkerChannels ch = m_markers.store.bind(marker, {Channel::MarkerColor});
    const auto start = ch.color();
    const std::optional<QColor> chosen = platform::ui::dialogs().chooseColor(
        m_markers.host.dialogParent(), platform::colorFromRef(start));
    if (!chosen || !chosen->isValid())
        return;
    const platform::COLORREF color = platform::refFromColor(*chosen);
    m_markers.touch();
    ch.put(Channel::MarkerColor, 0, static_cast<float>(color));
    m_markers.overlay.RecolorMarkerItems(marker, color);
    m_markers.table.paintRowBands();
}

void MarkersCommands::LocalTrackingSettings() {
    const auto selected = m_markers.table.selectedMarker();
    if (!selected)
        return;
    const LONG marker = *selected;
    const int f = m_markers.frame();
    const MarkerChannels ch = m_markers.store.bind(marker);
    if (ch.get(Channel::TrackMode, f) != float(common::kTrackingPatternMatching)) {
        EngineCalls::markerSettingsDialog(m_markers.markerTracker(), marker, f);
        return;
    }
    // The pattern follows the frame before, or a fixed reference frame: it is taught again
    // from there with what the dialog left, whether or not the user cancelled it.
    const auto reference =
        EngineCalls::patternSettingsDialog(m_markers.patternMatcher(), marker, f);
    if (!reference)
        return;
    const int ref = *reference;
    const float px = ch.get(Channel::PosX, ref), py = ch.get(Channel::PosY, ref);
    if (px == datalib::kMissing || py == datalib::kMissing)
        return;
    const auto picture = m_markers.host.videoView()
                             .PicturePart(ref, 100, 0, 0, 0, 0, 0, 0)
                             .query<platform::IPicture>();
    EngineCalls::learnPattern(m_markers.patternMatcher(), marker, f, picture.get(),
                              px * m_markers.videoWidth(), py * m_markers.videoHeight(),
                              ch.get(Channel::Angle, ref),
                              common::roundHalfEven(2.0 * ch.get(Channel::PointRadius, ref)), ref);
}

void MarkersCommands::TrackManually() {
    m_markers.touch();
    MarkersHost &host = m_markers.host;
    const int row = host.selectedRow();
    if (row < 0)
        return;
    const LONG marker = m_markers.table.markerNumberOfRow(row);
    const MarkerChannels ch =
        m_markers.store.bind(marker, {Channel::AutoTrack, Channel::TrackMode});
    QString name = host.rowText(row);
    if (ch.get(Channel::AutoTrack, 0) == 0.0f) {
        // Back to automatic tracking.
        name = name.mid(2);
        ch.fill(Channel::AutoTrack, 1.0f);
        m_markers.state.InteractionState = 1;
        const float mode = ch.get(Channel::TrackMode, m_markers.frame());
        if (mode == float(common::kTrackingPatternMatching))
            host.setRowIcon(row, MarkerIcon::PatternMatching);
        else if (mode == float(common::kTrackingMarkerTracking))
            host.setRowIcon(row, MarkerIcon::MarkerTracking);
    } else {
        name = QStringLiteral("M-") + name;
        ch.fill(Channel::AutoTrack, 0.0f);
        m_markers.state.InteractionState = 4;
        host.setRowIcon(row, MarkerIcon::Manual);
    }
    host.setRowText(row, name);
}

void MarkersCommands::dropFromEngine(LONG marker) {
    const float mode = m_markers.store.bind(marker, {Channel::TrackMode})
                           .get(Channel::TrackMode, m_markers.frame());
    if (mode == float(common::kTrackingPatternMatching)) {
        if (auto *engine = m_markers.patternMatcher())
            engine->DropMarkerContext(marker);
    } else if (auto *engine = m_markers.markerTracker()) {
        engine->DropMarkerContext(marker);
    }
}

void MarkersCommands::DeleteMarker() {
    m_markers.touch();
    MarkersHost &host = m_markers.host;
    const int row = host.selectedRow();
    if (row < 0)
        return;
    const LONG marker = m_markers.table.markerNumberOfRow(row);
    dropFromEngine(marker);
    m_markers.overlay.RemoveMarkerItems(marker);
    m_markers.store.removeMarkerData(marker);
    host.removeRow(row);
    m_markers.table.paintRowBands();
    m_markers.marks.lastSelectedMarker = -1;
    if (host.rowCount() == 0) {
        m_markers.marks.markerCounter = 0;
        m_markers.state.InteractionState = 1;
    }
}

void MarkersCommands::DeleteAllMarkers() {
    m_markers.touch();
    MarkersHost &host = m_markers.host;
    MarkerState &m = m_markers.marks;
    m.markerCounter = 0;
    m.colorCounter = 0;
    m_markers.state.InteractionState = 1;
    m.pressX = m.pressY = -1;
    for (int row = host.rowCount() - 1; row >= 0; --row)
        dropFromEngine(m_markers.table.markerNumberOfRow(row));
    host.clearRows();
    m_markers.table.paintRowBands();
    m.lastSelectedMarker = -1;
    if (const auto &items = m_markers.objects.graphicItems)
        items->Clear();
    m_markers.store.clear(false);
    m_markers.overlay.QuickRefresh();
}

void MarkersCommands::DiscardFollowingValues(LONG marker) {
    m_markers.touch();
    const int f = m_markers.frame();
    const MarkerChannels ch = m_markers.store.bind(marker);
    MarkerOverlay &overlay = m_markers.overlay;
    const MarkerOverlay::Batch batch(overlay);
    overlay.RebuildPath(marker, f);
    ch.emptyAfter(f, m_markers.host.scrollMaximum(), true);
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    const double x = ch.get(Channel::PosX, f) * w, y = ch.get(Channel::PosY, f) * h;
    const float r = ch.get(Channel::PointRadius, f);
    const auto picture = m_markers.currentPicture();
    EngineCalls::learnPattern(m_markers.patternMatcher(), marker, f, picture.get(), x, y, 0.0,
                              2 * common::roundHalfEven(r), f);
    const auto color = ch.color();
    overlay.DrawMarkerSymbol(x, y, r, marker, color, kStyleNormal);
}

} // namespace markers
