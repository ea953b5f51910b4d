#include "app/markers/markercontroller.h"

#include "control/cvviewctrl.h"

namespace markers {

using platform::LONG;

MarkersHost::~MarkersHost() = default;

MarkerController::MarkerController(MarkersHost &host_, common::AppState &state_,
                                   MarkerObjects &objects_)
    : host(host_), state(state_), objects(objects_), store(objects_), overlay(*this), table(*this),
      pass(*this), mouse(*this), commands(*this), textExport(*this), spreadsheetExport(*this),
      calibrator(*this), project(*this) {}

engines::IPatternMatcher *MarkerController::patternMatcher() {
    if (!objects.patternMatcher)
        objects.patternMatcher = createPatternMatcher(state.UiLcid);
    return objects.patternMatcher.get();
}

engines::IMarkerTracker *MarkerController::markerTracker() {
    if (!objects.markerTracker)
        objects.markerTracker = createMarkerTracker(state.UiLcid);
    return objects.markerTracker.get();
}

int MarkerController::frame() const {
    return host.scrollValue();
}

platform::ComPtr<platform::IPicture> MarkerController::currentPicture() {
    return host.videoView().PicturePart(frame(), 100, 0, 0, 0, 0, 0, 0).query<platform::IPicture>();
}

void MarkerController::discardMarkers() {
    for (int row = host.rowCount() - 1; row >= 0; --row)
        commands.dropFromEngine(table.markerNumberOfRow(row));
    store.clear(true);
    host.clearRows();
    table.paintRowBands();
    if (objects.graphicItems)
        objects.graphicItems->Clear();
    marks = MarkerState{};
    calibrator.invalidate();
}

} // namespace markers
