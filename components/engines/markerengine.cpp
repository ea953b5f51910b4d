#include "components/engines/markerengine.h"

#include "components/engines/engineobject.h"
#include "components/engines/lumaview.h"
#include "components/engines/markermodel.h"
#include "components/engines/settingseditor.h"
#include "platform/com.h"

#include "platform/registry.h"

#include <cmath>
#include <iterator>
#include <map>
#include <memory>

namespace engines {

using platform::ComPtr;
using platform::E_INVALIDARG;
using platform::E_NOTIMPL;
using platform::E_POINTER;
using platform::IPicture;
using platform::S_FALSE;
using platform::S_OK;
using platform::Variant;

namespace {

using Shared = EngineShared<MarkerSettings>;

// Everything the engine knows of one marker; frame contexts are views of (marker, frame).
struct Marker {
    LONG number = 0;
    std::shared_ptr<Shared> shared;
    std::optional<MarkerSettings> local;
    MarkerModel model;
    std::map<LONG, MarkerModel::Disc> history; // found or taught discs by frame
    // The last taught frame: earlier points do not take part in predictions, so a marker
    // moved by hand does not inherit the velocity of its earlier path.
    LONG motionStart = 0;

    // The picture handed to one frame context, kept until that frame is located or taught;
    // one per marker, so memory does not grow with the video.
    ComPtr<IPicture> picture;
    LONG pictureFrame = -1;

    MarkerSettings settings() const { return local ? *local : shared->defaults; }
};

class FrameContext final : public platform::ComObject<IMarkerFrameContext> {
public:
    FrameContext(std::shared_ptr<Marker> marker, LONG frame)
        : m_marker(std::move(marker)), m_frame(frame) {}

    HRESULT SetPicture(IPicture *picture) override {
        m_marker->picture = ComPtr<IPicture>::share(picture);
        m_marker->pictureFrame = picture ? m_frame : -1;
        return S_OK;
    }

    HRESULT SetPoint(double x, double y, LONG radius) override {
        if (!std::isfinite(x) || !std::isfinite(y) || radius < 0)
            return E_INVALIDARG;
        Marker &m = *m_marker;
        const cv::Mat grey = held();
        if (grey.empty())
            return E_NO_PICTURE;
        m.motionStart = m_frame;
        const auto disc = m.model.teach(grey, x, y, radius, m.settings().polarity);
        if (!disc) {
            // The user's point stands, but there is no marker there to follow.
            m.model = MarkerModel();
            m.history[m_frame] = {x, y, 2.0 * radius};
            return E_INVALIDARG;
        }
        m.history[m_frame] = *disc;
        return S_OK;
    }

    HRESULT Locate(IMarkerFrameContext *twoBack, IMarkerFrameContext *oneBack, LONG view,
                   LONG *status) override {
        if (status)
            *status = 0;
        if (view != kMainView)
            return E_INVALIDARG;
        Marker &m = *m_marker;
        const cv::Mat grey = held();
        if (grey.empty())
            return E_NO_PICTURE;
        if (!m.model.taught())
            return E_NOT_TAUGHT;
        const auto one = positionOf(oneBack);
        const auto two = positionOf(twoBack);
        cv::Point2d predicted;
        if (one && two)
            predicted = 2.0 * *one - *two;
        else if (one)
            predicted = *one;
        else if (auto p = latestBefore())
            predicted = *p;
        else
            return E_MARKER_LOST;
        MarkerModel::Params params;
        const MarkerSettings s = m.settings();
        params.searchRange = s.searchRange;
        params.polarity = s.polarity;
        params.sizeTolerance = s.sizeTolerance;
        const auto disc = m.model.locate(grey, predicted, params);
        // The picture has served; the next frame brings its own.
        m.picture.reset();
        m.pictureFrame = -1;
        if (!disc) {
            m.history.erase(m_frame);
            return E_MARKER_LOST;
        }
        m.history[m_frame] = *disc;
        if (status)
            *status = 1;
        return S_OK;
    }

    HRESULT Value(LONG id, Variant *value) override {
        if (!value)
            return E_POINTER;
        const auto it = m_marker->history.find(m_frame);
        if (id != MarkerX && id != MarkerY && id != MarkerDiameter)
            return E_INVALIDARG;
        if (it == m_marker->history.end())
            return E_MARKER_LOST;
        const MarkerModel::Disc &d = it->second;
        *value = Variant(id == MarkerX ? d.x : id == MarkerY ? d.y : d.diameter);
        return S_OK;
    }

    HRESULT SettingsDialog(LONG view) override {
        if (view != kMainView)
            return E_INVALIDARG;
        Marker &m = *m_marker;
        if (m.shared->mode != kInteractive)
            return E_NO_USER;
        SettingsEditor *editor = settingsEditor();
        if (!editor)
            return E_NOTIMPL;
        MarkerSettings s = m.settings();
        if (!editor->editMarker(s, true, m.shared->lcid))
            return S_FALSE;
        m.local = s;
        return S_OK;
    }

    HRESULT Setting(LONG id, double *value) override {
        if (!value)
            return E_POINTER;
        const auto v = m_marker->settings().get(id);
        if (!v)
            return E_INVALIDARG;
        *value = *v;
        return S_OK;
    }

    HRESULT PutSetting(LONG id, double value) override {
        MarkerSettings s = m_marker->settings();
        if (!s.put(id, value))
            return E_INVALIDARG;
        m_marker->local = s;
        return S_OK;
    }

private:
    cv::Mat held() const {
        return m_marker->pictureFrame == m_frame ? lumaView(m_marker->picture.get()) : cv::Mat();
    }

    std::optional<cv::Point2d> positionOf(IMarkerFrameContext *context) const {
        if (!context)
            return std::nullopt;
        if (const auto *own = dynamic_cast<const FrameContext *>(context);
            own && own->m_marker == m_marker && own->m_frame < m_marker->motionStart)
            return std::nullopt;
        Variant x, y;
        if (platform::failed(context->Value(MarkerX, &x)) ||
            platform::failed(context->Value(MarkerY, &y)))
            return std::nullopt;
        return cv::Point2d(x.toDouble(), y.toDouble());
    }

    std::optional<cv::Point2d> latestBefore() const {
        const auto &h = m_marker->history;
        const auto after = h.lower_bound(m_frame);
        if (after == h.begin() || std::prev(after)->first < m_marker->motionStart)
            return std::nullopt;
        const auto &d = std::prev(after)->second;
        return cv::Point2d(d.x, d.y);
    }

    std::shared_ptr<Marker> m_marker;
    LONG m_frame;
};

using MarkerContext =
    MarkerContextObject<IMarkerMarkerContext, IMarkerFrameContext, Marker, engines::FrameContext>;

struct MarkerTrackerPolicy {
    using SettingsValues = MarkerSettings;
    static SettingsValues load(const platform::RegistryStore &store) {
        return loadMarkerSettings(store);
    }
    static bool save(platform::RegistryStore &store, const SettingsValues &s) {
        return saveMarkerSettings(store, s);
    }
    static bool edit(SettingsEditor &editor, SettingsValues &s, LCID lcid) {
        return editor.editMarker(s, false, lcid);
    }
    static void toUserDefaults(SettingsValues &) {}
};

class MarkerTracker final : public EngineObject<IMarkerTracker, IMarkerMarkerContext, Marker,
                                                engines::MarkerContext, MarkerTrackerPolicy> {};

} // namespace

ComPtr<IMarkerTracker> createMarkerTracker() {
    return ComPtr<IMarkerTracker>::attach(new MarkerTracker());
}

} // namespace engines
