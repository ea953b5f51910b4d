#include "trackrun.h"

#include "components/aviplayer/aviplayerobject.h"
#include "components/aviplayer/ctalvoravi.h"

#include "platform/classes.h"
#include "platform/variant.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace track {

using platform::ComPtr;
using platform::IPicture;
using platform::LONG;

namespace {

template <class I> ComPtr<I> take(I *raw) {
    return ComPtr<I>::attach(raw);
}

// Processor time of this thread, so that other programs on the machine do not count.
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

class Stopwatch {
public:
    explicit Stopwatch(Timing *t) : m_t(t), m_begin(threadSeconds()) {}
    ~Stopwatch() {
        if (m_t)
            m_t->engineSeconds += threadSeconds() - m_begin;
    }

private:
    Timing *m_t;
    double m_begin;
};

double valueOf(engines::IMarkerFrameContext *fc, LONG id) {
    platform::Variant v;
    return platform::succeeded(fc->Value(id, &v)) ? v.toDouble() : 0.0;
}

// The pattern matcher's calls for one marker in one frame (teaching when `teach`).
bool patternStep(engines::IPatternMatcher *m, LONG marker, LONG frame, IPicture *picture,
                 const StartPoint *teach, Row *row, Timing *timing) {
    Stopwatch watch(teach ? nullptr : timing);
    if (!teach)
        m->Prepare();
    engines::IPatternMarkerContext *mcRaw = nullptr;
    if (platform::failed(m->MarkerContext(marker, &mcRaw)))
        return false;
    auto mc = take(mcRaw);
    engines::IPatternFrameContext *fcRaw = nullptr;
    if (platform::failed(mc->FrameContext(engines::kMainView, frame, &fcRaw)))
        return false;
    auto fc = take(fcRaw);
    if (teach) {
        if (platform::failed(fc->Teach(picture, teach->x, teach->y, 0.0, 2 * teach->radius)) ||
            platform::failed(fc->Learn(engines::kLearnPattern, frame)))
            return false;
    } else if (platform::failed(fc->Search(picture, frame, engines::kMainView))) {
        return false;
    }
    LONG size = 0;
    fc->Result(0, &row->x);
    fc->Result(1, &row->y);
    fc->Result(2, &row->angle);
    fc->SymbolSize(&size);
    row->size = size;
    return true;
}

// The marker tracker's calls for one marker in one frame (teaching when `teach`).
bool markerStep(engines::IMarkerTracker *t, LONG marker, LONG frame, IPicture *picture,
                const StartPoint *teach, Row *row, Timing *timing) {
    Stopwatch watch(teach ? nullptr : timing);
    engines::IMarkerMarkerContext *mcRaw = nullptr;
    if (platform::failed(t->MarkerContext(marker, &mcRaw)))
        return false;
    auto mc = take(mcRaw);
    engines::IMarkerFrameContext *fcRaw = nullptr;
    if (platform::failed(mc->FrameContext(engines::kMainView, frame, &fcRaw)))
        return false;
    auto fc = take(fcRaw);
    if (platform::failed(fc->SetPicture(picture)))
        return false;
    if (teach) {
        if (platform::failed(fc->SetPoint(teach->x, teach->y, teach->radius)))
            return false;
    } else {
        ComPtr<engines::IMarkerFrameContext> two, one;
        if (frame > 1 && platform::succeeded(mc->FrameContext(0, frame - 2, &fcRaw)))
            two = take(fcRaw);
        if (platform::succeeded(mc->FrameContext(0, frame - 1, &fcRaw)))
            one = take(fcRaw);
        LONG status = 0;
        if (platform::failed(fc->Locate(two.get(), one.get(), engines::kMainView, &status)))
            return false;
    }
    row->x = valueOf(fc.get(), engines::MarkerX);
    row->y = valueOf(fc.get(), engines::MarkerY);
    row->size = valueOf(fc.get(), engines::MarkerDiameter);
    row->angle = 0.0;
    return true;
}

} // namespace

int run(const Options &options, const std::function<void(const Row &)> &emit, std::string *error,
        Timing *timing) {
    aviplayer::registerClasses();
    engines::registerClasses();
    auto player = aviplayer::CTalvorAVI::create();
    if (!player.valid() || player.open(options.video, options.mode) != 0) {
        *error = "cannot open the video " + options.video;
        return 3;
    }
    const LONG count = player.numberOfFrames();
    const LONG width = player.width(), height = player.height();
    if (options.start < 0 || options.start >= count) {
        *error = "the start frame lies outside the video (0 to " + std::to_string(count - 1) + ")";
        return 4;
    }
    if (options.points.empty()) {
        *error = "no start point";
        return 4;
    }
    for (const StartPoint &p : options.points) {
        if (!(p.x >= 0 && p.y >= 0 && p.x <= width - 1 && p.y <= height - 1) || p.radius < 0 ||
            p.radius > 100) {
            *error = "a start point lies outside the picture or its radius outside 0 to 100";
            return 4;
        }
    }
    ComPtr<engines::IPatternMatcher> matcher;
    ComPtr<engines::IMarkerTracker> tracker;
    if (options.engine == Engine::Pattern) {
        matcher = platform::createInstance<engines::IPatternMatcher>(engines::CLSID_PatternMatcher);
        if (matcher)
            matcher->Init(0, 1033);
    } else {
        tracker = platform::createInstance<engines::IMarkerTracker>(engines::CLSID_MarkerTracker);
        if (tracker)
            tracker->Init(0, 1033);
    }
    if (!matcher && !tracker) {
        *error = "the engine could not be created";
        return 5;
    }
    const LONG last = options.frames < 0
                          ? count - 1
                          : std::min<LONG>(count - 1, options.start + options.frames - 1);
    std::vector<bool> alive(options.points.size(), true);
    for (LONG f = options.start; f <= last; ++f) {
        // As the application asks for it: the whole frame at zoom 100.
        const auto picture = player.picturePart(f, 100, 0, 0, 0, 0);
        // Rows of one frame go out together, so a failed teaching prints nothing.
        std::vector<Row> rows;
        for (std::size_t i = 0; i < options.points.size(); ++i) {
            Row row;
            row.frame = f;
            row.marker = static_cast<int>(i + 1);
            const StartPoint *teach = f == options.start ? &options.points[i] : nullptr;
            if (alive[i] && picture) {
                const LONG marker = static_cast<LONG>(i + 1);
                row.found =
                    matcher
                        ? patternStep(matcher.get(), marker, f, picture.get(), teach, &row, timing)
                        : markerStep(tracker.get(), marker, f, picture.get(), teach, &row, timing);
                if (!teach && timing)
                    ++timing->steps;
            }
            if (teach && !row.found) {
                *error = "marker " + std::to_string(i + 1) + " could not be taught there";
                return 5;
            }
            alive[i] = row.found;
            rows.push_back(row);
        }
        for (const Row &row : rows)
            emit(row);
    }
    return 0;
}

} // namespace track
