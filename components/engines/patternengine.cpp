#include "components/engines/patternengine.h"

#include "components/engines/engineobject.h"
#include "components/engines/lumaview.h"
#include "components/engines/patternmodel.h"
#include "components/engines/settingseditor.h"
#include "platform/com.h"

#include "platform/registry.h"

#include <algorithm>
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

namespace {

// What the engine and all its markers share: the user's defaults and the start values.
using Shared = EngineShared<PatternSettings>;

struct Point {
    double x = 0, y = 0, angle = 0, score = 0;
    // False when the search could not see the angle and kept the predicted one.
    bool angleSeen = true;
};

// Everything the engine knows of one marker. Frame contexts are views of (marker, frame),
// so dropping a marker while the application still holds its contexts is safe.
struct Marker {
    LONG number = 0;
    std::shared_ptr<Shared> shared;
    std::optional<PatternSettings> local; // set once the marker's own settings were changed
    int referenceFrame = 0;               // the last taught frame, unless set by the user
    PatternModel model;
    std::map<LONG, Point> history; // found or taught points by frame
    // The last taught frame: motion is predicted from points at or after it only, so a
    // point moved by hand does not inherit the velocity of its earlier path.
    LONG motionStart = 0;

    // Handed over for teaching; the picture is let go at the next tracking step.
    ComPtr<IPicture> picture;
    Point handed;
    LONG handedSize = 0;

    PatternSettings settings() const {
        PatternSettings s = local ? *local : shared->defaults;
        if (!local)
            s.referenceFrame = referenceFrame;
        return s;
    }

    // Constant velocity (and angular velocity) from the two frames before, when the frame
    // before has a point; otherwise the latest point before the frame, or the taught one.
    // The angle turns on only when both frames saw it: an angle kept from the prediction
    // carries no speed, and extrapolating it would let the angle run away on a target that
    // looks alike at every angle.
    Point predict(LONG frame) const {
        const auto usable = [&](LONG f) {
            return f >= motionStart ? history.find(f) : history.end();
        };
        const auto one = usable(frame - 1);
        if (one == history.end()) {
            const auto after = history.lower_bound(frame);
            if (after != history.begin() && std::prev(after)->first >= motionStart)
                return std::prev(after)->second;
            const auto taught = history.find(motionStart);
            return taught != history.end() ? taught->second : Point{};
        }
        Point p = one->second;
        const auto two = usable(frame - 2);
        if (two != history.end()) {
            p.x += one->second.x - two->second.x;
            p.y += one->second.y - two->second.y;
            if (one->second.angleSeen && two->second.angleSeen)
                p.angle += one->second.angle - two->second.angle;
        }
        return p;
    }

    HRESULT teach(LONG frame) {
        if (!picture)
            return E_NO_PICTURE;
        const cv::Mat grey = lumaView(picture.get());
        if (grey.empty())
            return E_NO_PICTURE;
        const int size = handedSize > 0 ? handedSize : settings().patternSize;
        history[frame] = {handed.x, handed.y, handed.angle, 1.0, true};
        motionStart = frame;
        if (!local)
            referenceFrame = frame;
        if (!model.teach(grey, handed.x, handed.y, handed.angle, size)) {
            model = PatternModel(); // never search for the pattern of before
            return E_INVALIDARG;
        }
        return S_OK;
    }
};

HRESULT editLocal(Marker &marker) {
    if (marker.shared->mode != kInteractive)
        return E_NO_USER;
    SettingsEditor *editor = settingsEditor();
    if (!editor)
        return E_NOTIMPL;
    PatternSettings s = marker.settings();
    if (!editor->editPattern(s, true, marker.shared->lcid))
        return S_FALSE;
    marker.local = s;
    return S_OK;
}

class FrameContext final : public platform::ComObject<IPatternFrameContext> {
public:
    FrameContext(std::shared_ptr<Marker> marker, LONG frame)
        : m_marker(std::move(marker)), m_frame(frame) {}

    HRESULT Search(IPicture *picture, LONG frame, LONG view) override {
        if (view != kMainView)
            return E_INVALIDARG;
        if (!picture)
            return E_POINTER;
        const cv::Mat grey = lumaView(picture);
        if (grey.empty())
            return E_NO_PICTURE;
        Marker &m = *m_marker;
        if (!m.model.taught())
            return E_NOT_TAUGHT;
        const PatternSettings s = m.settings();
        PatternModel::Params params;
        params.searchRange = s.searchRange;
        params.minScore = s.minScore / 100.0;
        params.rotationRange = s.rotationRange;
        params.updateRate = s.referenceMode == 0 ? s.updateRate / 100.0 : 0.0;
        const Point predicted = m.predict(frame);
        const auto found =
            m.model.search(grey, {predicted.x, predicted.y}, predicted.angle, params);
        if (!found) {
            m.history.erase(frame);
            return E_MARKER_LOST;
        }
        m.history[frame] = {found->x, found->y, found->angle, found->score, found->angleSeen};
        return S_OK;
    }

    HRESULT Result(LONG index, double *value) override {
        if (!value)
            return E_POINTER;
        const auto it = m_marker->history.find(m_frame);
        if (it == m_marker->history.end())
            return E_MARKER_LOST;
        switch (index) {
        case 0:
            *value = it->second.x;
            return S_OK;
        case 1:
            *value = it->second.y;
            return S_OK;
        case 2:
            *value = it->second.angle;
            return S_OK;
        case 3:
            *value = it->second.score;
            return S_OK;
        default:
            return E_INVALIDARG;
        }
    }

    // The size the marker was taught with, as the user drew it; the pattern itself is
    // limited to what correlates well (8 to 128 pixels).
    HRESULT SymbolSize(LONG *size) override {
        if (!size)
            return E_POINTER;
        const Marker &m = *m_marker;
        *size = m.handedSize > 0 ? m.handedSize : m.settings().patternSize;
        return S_OK;
    }

    HRESULT SetPicture(IPicture *picture) override {
        m_marker->picture = ComPtr<IPicture>::share(picture);
        return S_OK;
    }

    HRESULT SetPoint(double x, double y, LONG size) override {
        if (!std::isfinite(x) || !std::isfinite(y))
            return E_INVALIDARG;
        Marker &m = *m_marker;
        m.handed = {x, y, 0.0, 0.0, true};
        m.handedSize = std::clamp<LONG>(size, 0, 32767);
        return m.teach(m_frame);
    }

    HRESULT Teach(IPicture *picture, double x, double y, double angle, LONG size) override {
        if (!picture)
            return E_POINTER;
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(angle))
            return E_INVALIDARG;
        Marker &m = *m_marker;
        m.picture = ComPtr<IPicture>::share(picture);
        m.handed = {x, y, angle, 0.0, true};
        m.handedSize = std::clamp<LONG>(size, 0, 32767);
        return S_OK;
    }

    HRESULT Learn(LONG code, LONG frame) override {
        if (code != kLearnPattern || frame < 0)
            return E_INVALIDARG;
        return m_marker->teach(frame);
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
        PatternSettings s = m_marker->settings();
        if (!s.put(id, value))
            return E_INVALIDARG;
        m_marker->local = s;
        return S_OK;
    }

    HRESULT SettingsDialog() override { return editLocal(*m_marker); }

private:
    std::shared_ptr<Marker> m_marker;
    LONG m_frame;
};

using MarkerContext =
    MarkerContextObject<IPatternMarkerContext, IPatternFrameContext, Marker, engines::FrameContext>;

struct PatternMatcherPolicy {
    using SettingsValues = PatternSettings;
    static SettingsValues load(const platform::RegistryStore &store) {
        return loadPatternSettings(store);
    }
    static bool save(platform::RegistryStore &store, const SettingsValues &s) {
        return savePatternSettings(store, s);
    }
    static bool edit(SettingsEditor &editor, SettingsValues &s, LCID lcid) {
        return editor.editPattern(s, false, lcid);
    }
    // The reference frame belongs to markers; the user's defaults never carry one.
    static void toUserDefaults(SettingsValues &s) { s.referenceFrame = 0; }
};

class PatternMatcher final : public EngineObject<IPatternMatcher, IPatternMarkerContext, Marker,
                                                 engines::MarkerContext, PatternMatcherPolicy> {
public:
    HRESULT Prepare() override {
        for (auto &[number, marker] : m_markers)
            marker->picture.reset();
        return S_OK;
    }
};

} // namespace

ComPtr<IPatternMatcher> createPatternMatcher() {
    return ComPtr<IPatternMatcher>::attach(new PatternMatcher());
}

} // namespace engines
