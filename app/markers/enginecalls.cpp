#include "app/markers/enginecalls.h"

#include "platform/variant.h"

namespace markers {

using platform::ComPtr;
using platform::LONG;

namespace {

template <class I> ComPtr<I> take(I *raw) {
    return ComPtr<I>::attach(raw);
}

// The marker context of `marker` (kept in `mc`) and its frame context for `frame`; null when
// the engine is missing or refuses either.
template <class Engine, class MarkerContext, class FrameContext>
ComPtr<FrameContext> frameContext(Engine *engine, LONG marker, int frame,
                                  ComPtr<MarkerContext> *mc) {
    if (!engine)
        return {};
    MarkerContext *mcRaw = nullptr;
    if (platform::failed(engine->MarkerContext(marker, &mcRaw)) || !mcRaw)
        return {};
    *mc = take(mcRaw);
    FrameContext *fcRaw = nullptr;
    if (platform::failed((*mc)->FrameContext(engines::kMainView, frame, &fcRaw)) || !fcRaw)
        return {};
    return take(fcRaw);
}

ComPtr<engines::IPatternFrameContext> patternContext(engines::IPatternMatcher *matcher, LONG marker,
                                                     int frame,
                                                     ComPtr<engines::IPatternMarkerContext> *mc) {
    return frameContext<engines::IPatternMatcher, engines::IPatternMarkerContext,
                        engines::IPatternFrameContext>(matcher, marker, frame, mc);
}

ComPtr<engines::IMarkerFrameContext> markerContext(engines::IMarkerTracker *tracker, LONG marker,
                                                   int frame,
                                                   ComPtr<engines::IMarkerMarkerContext> *mc) {
    return frameContext<engines::IMarkerTracker, engines::IMarkerMarkerContext,
                        engines::IMarkerFrameContext>(tracker, marker, frame, mc);
}

bool value(engines::IMarkerFrameContext *fc, LONG id, double *out) {
    platform::Variant v;
    if (platform::failed(fc->Value(id, &v)))
        return false;
    *out = v.toDouble();
    return true;
}

} // namespace

std::optional<EnginePoint> EngineCalls::trackPattern(engines::IPatternMatcher *matcher, LONG marker,
                                                     int frame, platform::IPicture *picture) {
    if (!matcher || platform::failed(matcher->Prepare()))
        return std::nullopt;
    ComPtr<engines::IPatternMarkerContext> mc;
    const auto fc = patternContext(matcher, marker, frame, &mc);
    if (!fc || platform::failed(fc->Search(picture, frame, engines::kMainView)))
        return std::nullopt;
    EnginePoint p;
    LONG size = 0;
    if (platform::failed(fc->Result(0, &p.x)) || platform::failed(fc->Result(1, &p.y)) ||
        platform::failed(fc->Result(2, &p.angle)) || platform::failed(mc->Number(&p.number)) ||
        platform::failed(fc->SymbolSize(&size)))
        return std::nullopt;
    p.size = size;
    return p;
}

std::optional<EnginePoint> EngineCalls::trackMarker(engines::IMarkerTracker *tracker, LONG marker,
                                                    int frame, platform::IPicture *picture) {
    ComPtr<engines::IMarkerMarkerContext> mc;
    const auto fc = markerContext(tracker, marker, frame, &mc);
    if (!fc || platform::failed(fc->SetPicture(picture)))
        return std::nullopt;
    // The frame before the first has no context: none is passed for it.
    ComPtr<engines::IMarkerFrameContext> twoBack, oneBack;
    engines::IMarkerFrameContext *raw = nullptr;
    if (frame > 1) {
        if (platform::failed(mc->FrameContext(engines::kMainView, frame - 2, &raw)) || !raw)
            return std::nullopt;
        twoBack = take(raw);
    }
    raw = nullptr;
    if (platform::failed(mc->FrameContext(engines::kMainView, frame - 1, &raw)) || !raw)
        return std::nullopt;
    oneBack = take(raw);
    LONG status = 0; // not examined: a lost marker fails the reads below
    if (platform::failed(fc->Locate(twoBack.get(), oneBack.get(), engines::kMainView, &status)))
        return std::nullopt;
    EnginePoint p;
    if (!value(fc.get(), engines::MarkerX, &p.x) || !value(fc.get(), engines::MarkerY, &p.y) ||
        platform::failed(mc->Number(&p.number)) ||
        !value(fc.get(), engines::MarkerDiameter, &p.size))
        return std::nullopt;
    return p;
}

bool EngineCalls::teachPattern(engines::IPatternMatcher *matcher, LONG marker, int frame,
                               platform::IPicture *picture, double x, double y, LONG size) {
    ComPtr<engines::IPatternMarkerContext> mc;
    const auto fc = patternContext(matcher, marker, frame, &mc);
    return fc && platform::succeeded(fc->SetPicture(picture)) &&
           platform::succeeded(fc->SetPoint(x, y, size));
}

bool EngineCalls::learnPattern(engines::IPatternMatcher *matcher, LONG marker, int frame,
                               platform::IPicture *picture, double x, double y, double angle,
                               LONG size, int learnFrame) {
    ComPtr<engines::IPatternMarkerContext> mc;
    const auto fc = patternContext(matcher, marker, frame, &mc);
    return fc && platform::succeeded(fc->Teach(picture, x, y, angle, size)) &&
           platform::succeeded(fc->Learn(engines::kLearnPattern, learnFrame));
}

std::optional<int> EngineCalls::patternSettingsDialog(engines::IPatternMatcher *matcher,
                                                      LONG marker, int frame) {
    ComPtr<engines::IPatternMarkerContext> mc;
    const auto fc = patternContext(matcher, marker, frame, &mc);
    if (!fc)
        return std::nullopt;
    fc->SettingsDialog(); // a cancelled dialog changes nothing; the teaching follows anyway
    double mode = 0.0, reference = 0.0;
    if (platform::failed(fc->Setting(engines::ReferenceMode, &mode)))
        return std::nullopt;
    if (mode == 0.0)
        return frame > 0 ? frame - 1 : 0;
    if (platform::failed(fc->Setting(engines::ReferenceFrame, &reference)))
        return std::nullopt;
    return static_cast<int>(reference);
}

void EngineCalls::markerSettingsDialog(engines::IMarkerTracker *tracker, LONG marker, int frame) {
    ComPtr<engines::IMarkerMarkerContext> mc;
    if (const auto fc = markerContext(tracker, marker, frame, &mc))
        fc->SettingsDialog(engines::kMainView);
}

std::optional<EnginePoint> EngineCalls::teachMarker(engines::IMarkerTracker *tracker, LONG marker,
                                                    int frame, platform::IPicture *picture,
                                                    double x, double y, LONG radius) {
    ComPtr<engines::IMarkerMarkerContext> mc;
    const auto fc = markerContext(tracker, marker, frame, &mc);
    if (!fc || platform::failed(fc->SetPicture(picture)) ||
        platform::failed(fc->SetPoint(x, y, radius)))
        return std::nullopt;
    EnginePoint p;
    if (!value(fc.get(), engines::MarkerDiameter, &p.size) ||
        !value(fc.get(), engines::MarkerX, &p.x) || !value(fc.get(), engines::MarkerY, &p.y))
        return std::nullopt;
    p.number = marker;
    return p;
}

std::optional<EnginePoint> EngineCalls::heldPattern(engines::IPatternMatcher *matcher, LONG marker,
                                                    int frame) {
    ComPtr<engines::IPatternMarkerContext> mc;
    const auto fc = patternContext(matcher, marker, frame, &mc);
    EnginePoint p;
    if (!fc || platform::failed(fc->Result(0, &p.x)) || platform::failed(fc->Result(1, &p.y)))
        return std::nullopt;
    p.number = marker;
    return p;
}

std::optional<EnginePoint> EngineCalls::heldMarker(engines::IMarkerTracker *tracker, LONG marker,
                                                   int frame) {
    ComPtr<engines::IMarkerMarkerContext> mc;
    const auto fc = markerContext(tracker, marker, frame, &mc);
    EnginePoint p;
    if (!fc || !value(fc.get(), engines::MarkerX, &p.x) || !value(fc.get(), engines::MarkerY, &p.y))
        return std::nullopt;
    p.number = marker;
    return p;
}

double EngineCalls::patternSize(engines::IPatternMatcher *matcher) {
    double size = 0.0;
    if (!matcher || platform::failed(matcher->Setting(engines::PatternSize, &size)))
        return 0.0;
    return size;
}

} // namespace markers
