#include "app/markers/markerscommands.h"

#include "app/common/settings.h"
#include "app/markers/enginecalls.h"
#include "app/markers/markercontroller.h"
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
    m_markers.host.setTableEntryChecked(TableEntry::ShowAllPaths, checked);
    m_markers.state.settings.ShowAutoPath = checked;
    m_markers.overlay.ApplyPathVisibility();
}

void MarkersCommands::ShowPathForMarker(bool checked) {
    MarkersHost &host = m_markers.host;
    host.setTableEntryChecked(TableEntry::ShowPathForMarker, checked);
    const int row = host.selectedRow();
    if (row >= 0) {
        const LONG marker = m_markers.table.markerNumberOfRow(row);
        m_markers.store.bind(marker, {Channel::PathVisible})
            .fill(Channel::PathVisible, checked ? 1.0f : 0.0f);
    }
    m_markers.overlay.ApplyPathVisibility();
}

void MarkersCommands::ChooseColor() {
    MarkersHost &host = m_markers.host;
    const int row = host.selectedRow();
    if (row < 0)
        return;
    const LONG marker = m_markers.table.markerNumberOfRow(row);
    const MarkerChannels ch = m_markers.store.bind(marker, {Channel::MarkerColor});
    const auto start =
        static_cast<platform::COLORREF>(common::roundHalfEven(ch.get(Channel::MarkerColor, 0)));
    const std::optional<QColor> chosen =
        platform::ui::dialogs().chooseColor(host.dialogParent(), common::colorFromRef(start));
    if (!chosen || !chosen->isValid())
        return;
    const platform::COLORREF color = common::refFromColor(*chosen);
    ch.put(Channel::MarkerColor, 0, static_cast<float>(color));
    m_markers.overlay.RecolorMarkerItems(marker, color);
    m_markers.table.paintRowBands();
}

void MarkersCommands::DiscardFollowingValues(LONG marker) {
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
                              2 * common::roundHalfEven(r));
    const auto color =
        static_cast<platform::COLORREF>(common::roundHalfEven(ch.get(Channel::MarkerColor, 0)));
    overlay.DrawMarkerSymbol(x, y, r, marker, color, kStyleNormal);
}

} // namespace markers
