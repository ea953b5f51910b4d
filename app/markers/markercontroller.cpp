#include "app/markers/markercontroller.h"

#include "control/cvviewctrl.h"

namespace markers {

using platform::LONG;

MarkersHost::~MarkersHost() = default;

MarkerController::MarkerController(MarkersHost &host_, common::AppState &state_,
                                   MarkerObjects &objects_)
    : host(host_), state(state_), objects(objects_), store(objects_), overlay(*this), table(*this),
      pass(*this), mouse(*this), commands(*this), textExport(*this) {}

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
    const int f = frame();
    for (int row = host.rowCount() - 1; row >= 0; --row) {
        const LONG marker = table.markerNumberOfRow(row);
        const float mode = store.bind(marker, {Channel::TrackMode}).get(Channel::TrackMode, f);
        if (mode == float(common::kTrackingPatternMatching)) {
            if (auto *engine = patternMatcher())
                engine->DropMarkerContext(marker);
        } else if (auto *engine = markerTracker()) {
            engine->DropMarkerContext(marker);
        }
    }
    store.clear(true);
    host.clearRows();
    table.paintRowBands();
    if (objects.graphicItems)
        objects.graphicItems->Clear();
    marks = MarkerState{};
}

} // namespace markers
