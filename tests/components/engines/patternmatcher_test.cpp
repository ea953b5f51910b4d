// The pattern matcher through its objects, in the application's calling orders.
#include "components/engines/engines.h"
#include "tests/support/scene.h"

#include "platform/classes.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace engines;
using platform::ComPtr;
using platform::IPicture;

namespace {

const cv::Size kFrame(320, 240);

ComPtr<IPatternMatcher> newMatcher() {
    registerClasses();
    HRESULT hr = 0;
    auto m = platform::createInstance<IPatternMatcher>(CLSID_PatternMatcher, &hr);
    EXPECT_EQ(hr, platform::S_OK);
    if (m) {
        EXPECT_EQ(m->Init(0, 1033), platform::S_OK);
    }
    return m;
}

template <class I> ComPtr<I> take(I *raw) {
    return ComPtr<I>::attach(raw);
}

ComPtr<IPatternFrameContext> frameOf(IPatternMatcher *m, LONG marker, LONG frame) {
    IPatternMarkerContext *mc = nullptr;
    EXPECT_EQ(m->MarkerContext(marker, &mc), platform::S_OK);
    auto markerContext = take(mc);
    IPatternFrameContext *fc = nullptr;
    EXPECT_EQ(markerContext->FrameContext(kMainView, frame, &fc), platform::S_OK);
    return take(fc);
}

struct Truth {
    double x, y, angle;
};

// A textured patch moving on a textured background; `angle` turns it.
class PatchClip {
public:
    PatchClip()
        : m_background(scene::texture(kFrame, 7, 110, 40, 3.0)),
          m_patch(scene::texture({81, 81}, 11, 120, 120, 1.5)) {}

    Truth truth(int f, double turn) const {
        return {80.0 + 3.1 * f + 0.05 * f * f, 90.0 + 1.7 * f, turn * f};
    }
    cv::Mat frame(int f, double turn) const {
        cv::Mat g = m_background.clone();
        const Truth t = truth(f, turn);
        scene::paste(g, m_patch, t.x, t.y, t.angle, 28.0);
        return g;
    }

private:
    cv::Mat m_background, m_patch;
};

struct Errors {
    std::vector<double> position, angle;
    double mean() const {
        double s = 0;
        for (double e : position)
            s += e;
        return position.empty() ? 0 : s / double(position.size());
    }
    double worst() const {
        return position.empty() ? 0 : *std::max_element(position.begin(), position.end());
    }
    double worstAngle() const {
        return angle.empty() ? 0 : *std::max_element(angle.begin(), angle.end());
    }
};

// Teaches marker 1 at frame 0 as a new marker is created, then steps frame by frame with
// the tracking pass's calls 1 to 7.
Errors track(IPatternMatcher *m, const PatchClip &clip, double turn, int frames) {
    const Truth t0 = clip.truth(0, turn);
    {
        auto fc = frameOf(m, 1, 0);
        const auto pic = scene::picture(clip.frame(0, turn));
        EXPECT_EQ(fc->Teach(pic.get(), t0.x, t0.y, 0.0, 32), platform::S_OK);
        EXPECT_EQ(fc->Learn(kLearnPattern, 0), platform::S_OK);
    }
    Errors e;
    for (int f = 1; f < frames; ++f) {
        const auto pic = scene::colourPicture(clip.frame(f, turn));
        EXPECT_EQ(m->Prepare(), platform::S_OK);
        IPatternMarkerContext *mc = nullptr;
        EXPECT_EQ(m->MarkerContext(1, &mc), platform::S_OK);
        auto markerContext = take(mc);
        IPatternFrameContext *raw = nullptr;
        EXPECT_EQ(markerContext->FrameContext(0, f, &raw), platform::S_OK);
        auto fc = take(raw);
        EXPECT_EQ(fc->Search(pic.get(), f, 0), platform::S_OK) << "frame " << f;
        double x = 0, y = 0, a = 0;
        EXPECT_EQ(fc->Result(0, &x), platform::S_OK);
        EXPECT_EQ(fc->Result(1, &y), platform::S_OK);
        EXPECT_EQ(fc->Result(2, &a), platform::S_OK);
        LONG number = 0, size = 0;
        EXPECT_EQ(markerContext->Number(&number), platform::S_OK);
        EXPECT_EQ(number, 1);
        EXPECT_EQ(fc->SymbolSize(&size), platform::S_OK);
        EXPECT_EQ(size, 32);
        const Truth t = clip.truth(f, turn);
        e.position.push_back(std::hypot(x - t.x, y - t.y));
        e.angle.push_back(std::abs(a - t.angle));
    }
    return e;
}

} // namespace

TEST(PatternMatcher, FollowsAnAcceleratingPatchToWellUnderAPixel) {
    auto m = newMatcher();
    PatchClip clip;
    const Errors e = track(m.get(), clip, 0.0, 25);
    EXPECT_LT(e.mean(), 0.2);
    EXPECT_LT(e.worst(), 0.45);
    EXPECT_LT(e.worstAngle(), 0.5);
}

TEST(PatternMatcher, FollowsATurningPatchAndReportsItsAngleCounterClockwise) {
    auto m = newMatcher();
    PatchClip clip;
    const Errors e = track(m.get(), clip, 2.5, 30); // ends at 72.5 degrees
    EXPECT_LT(e.mean(), 0.25);
    EXPECT_LT(e.worst(), 0.55);
    EXPECT_LT(e.worstAngle(), 0.8);
}

TEST(PatternMatcher, ClockwiseTurnGivesNegativeAngles) {
    auto m = newMatcher();
    PatchClip clip;
    const Errors e = track(m.get(), clip, -2.0, 12);
    EXPECT_LT(e.worstAngle(), 0.8);
    auto fc = frameOf(m.get(), 1, 11);
    double a = 0;
    ASSERT_EQ(fc->Result(2, &a), platform::S_OK);
    EXPECT_NEAR(a, -22.0, 0.8);
}

TEST(PatternMatcher, LostPatchIsAnErrorAndLeavesNoResult) {
    auto m = newMatcher();
    PatchClip clip;
    track(m.get(), clip, 0.0, 5);
    // The patch is gone: only background.
    const auto pic = scene::picture(scene::texture(kFrame, 7, 110, 40, 3.0));
    auto fc = frameOf(m.get(), 1, 5);
    EXPECT_EQ(fc->Search(pic.get(), 5, 0), E_MARKER_LOST);
    double x = 0;
    EXPECT_EQ(fc->Result(0, &x), E_MARKER_LOST);
    // The frame before keeps its point.
    auto before = frameOf(m.get(), 1, 4);
    EXPECT_EQ(before->Result(0, &x), platform::S_OK);
    EXPECT_NEAR(x, clip.truth(4, 0).x, 0.5);
}

TEST(PatternMatcher, SetPointTeachesAtOnceAndRestartsTheMotion) {
    auto m = newMatcher();
    PatchClip clip;
    track(m.get(), clip, 0.0, 8);
    // The user moves the marker (press and release with Shift and Ctrl) at frame 3 onto a
    // second, still patch; tracking from there must follow it, with no velocity left over
    // from the first run.
    cv::Mat still = scene::texture(kFrame, 7, 110, 40, 3.0);
    scene::paste(still, scene::texture({81, 81}, 23, 120, 120, 1.5), 240.0, 170.0, 0.0, 28.0);
    const auto pic = scene::picture(still);
    auto fc = frameOf(m.get(), 1, 3);
    ASSERT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    ASSERT_EQ(fc->SetPoint(240.0, 170.0, 40), platform::S_OK);
    LONG size = 0;
    EXPECT_EQ(fc->SymbolSize(&size), platform::S_OK);
    EXPECT_EQ(size, 40);
    // A marker drawn larger than any useful pattern keeps its drawn size as its symbol.
    ASSERT_EQ(fc->SetPoint(240.0, 170.0, 200), platform::S_OK);
    EXPECT_EQ(fc->SymbolSize(&size), platform::S_OK);
    EXPECT_EQ(size, 200);
    ASSERT_EQ(fc->SetPoint(240.0, 170.0, 40), platform::S_OK);
    for (int f = 4; f < 7; ++f) {
        auto next = frameOf(m.get(), 1, f);
        ASSERT_EQ(m->Prepare(), platform::S_OK);
        ASSERT_EQ(next->Search(pic.get(), f, 0), platform::S_OK);
        double x = 0, y = 0;
        next->Result(0, &x);
        next->Result(1, &y);
        EXPECT_NEAR(x, 240.0, 0.2);
        EXPECT_NEAR(y, 170.0, 0.2);
    }
    // Points before the move are kept.
    auto before = frameOf(m.get(), 1, 2);
    double x = 0;
    ASSERT_EQ(before->Result(0, &x), platform::S_OK);
    EXPECT_NEAR(x, clip.truth(2, 0).x, 0.3);
}

TEST(PatternMatcher, PrepareLetsGoOfTheHandedPicture) {
    auto m = newMatcher();
    PatchClip clip;
    auto pic = scene::picture(clip.frame(0, 0));
    auto fc = frameOf(m.get(), 1, 0);
    ASSERT_EQ(fc->Teach(pic.get(), 80, 90, 0, 0), platform::S_OK);
    ASSERT_EQ(fc->Learn(kLearnPattern, 0), platform::S_OK);
    LONG size = 0;
    fc->SymbolSize(&size);
    EXPECT_EQ(size, 32); // size 0 means the pattern size setting
    pic->AddRef();
    EXPECT_GT(pic->Release(), 1u);
    ASSERT_EQ(m->Prepare(), platform::S_OK);
    pic->AddRef();
    EXPECT_EQ(pic->Release(), 1u);
    // Learning again needs a picture again.
    EXPECT_EQ(fc->Learn(kLearnPattern, 0), E_NO_PICTURE);
}

TEST(PatternMatcher, DroppedMarkerStartsAfreshButOldContextsStaySafe) {
    auto m = newMatcher();
    PatchClip clip;
    track(m.get(), clip, 0.0, 4);
    auto old = frameOf(m.get(), 1, 3);
    EXPECT_EQ(m->DropMarkerContext(1), platform::S_OK);
    EXPECT_EQ(m->DropMarkerContext(1), platform::S_FALSE);
    double x = 0;
    EXPECT_EQ(old->Result(0, &x), platform::S_OK); // still answers, harmlessly
    const auto pic = scene::picture(clip.frame(4, 0));
    auto fresh = frameOf(m.get(), 1, 4);
    EXPECT_EQ(fresh->Search(pic.get(), 4, 0), E_NOT_TAUGHT);
    EXPECT_EQ(fresh->Result(0, &x), E_MARKER_LOST);
}

TEST(PatternMatcher, MarkersAreKeptApartAndNumbered) {
    auto m = newMatcher();
    PatchClip clip;
    track(m.get(), clip, 0.0, 3);
    IPatternMarkerContext *raw = nullptr;
    ASSERT_EQ(m->MarkerContext(42, &raw), platform::S_OK);
    auto other = take(raw);
    LONG n = 0;
    other->Number(&n);
    EXPECT_EQ(n, 42);
    IPatternFrameContext *fraw = nullptr;
    ASSERT_EQ(other->FrameContext(0, 2, &fraw), platform::S_OK);
    auto fc = take(fraw);
    double x = 0;
    EXPECT_EQ(fc->Result(0, &x), E_MARKER_LOST);
}

TEST(PatternMatcher, LocalSettingsAndReferenceChoice) {
    auto m = newMatcher();
    PatchClip clip;
    const auto pic = scene::picture(clip.frame(0, 0));
    auto fc = frameOf(m.get(), 1, 5);
    ASSERT_EQ(fc->Teach(pic.get(), 80, 90, 0, 32), platform::S_OK);
    ASSERT_EQ(fc->Learn(kLearnPattern, 5), platform::S_OK);
    double v = -1;
    ASSERT_EQ(fc->Setting(ReferenceMode, &v), platform::S_OK);
    EXPECT_EQ(v, 0.0);
    ASSERT_EQ(fc->Setting(ReferenceFrame, &v), platform::S_OK);
    EXPECT_EQ(v, 5.0); // the taught frame
    ASSERT_EQ(fc->PutSetting(ReferenceMode, 1), platform::S_OK);
    ASSERT_EQ(fc->PutSetting(MinScore, 250), platform::S_OK); // limited, not refused
    ASSERT_EQ(fc->Setting(MinScore, &v), platform::S_OK);
    EXPECT_EQ(v, 100.0);
    EXPECT_EQ(fc->PutSetting(77, 1), platform::E_INVALIDARG);
    EXPECT_EQ(fc->PutSetting(SearchRange, std::nan("")), platform::E_INVALIDARG);
    // Another marker and the engine's defaults are untouched.
    auto other = frameOf(m.get(), 2, 5);
    ASSERT_EQ(other->Setting(MinScore, &v), platform::S_OK);
    EXPECT_EQ(v, 60.0);
    ASSERT_EQ(m->Setting(MinScore, &v), platform::S_OK);
    EXPECT_EQ(v, 60.0);
    ASSERT_EQ(m->Setting(PatternSize, &v), platform::S_OK);
    EXPECT_EQ(v, 32.0);
}

TEST(PatternMatcher, RefusesBadInputWithResultCodes) {
    auto m = newMatcher();
    EXPECT_EQ(m->Init(7, 1033), platform::E_INVALIDARG);
    auto fc = frameOf(m.get(), 1, 0);
    PatchClip clip;
    const auto pic = scene::picture(clip.frame(0, 0));
    EXPECT_EQ(fc->Search(nullptr, 0, 0), platform::E_POINTER);
    EXPECT_EQ(fc->Search(pic.get(), 0, 1), platform::E_INVALIDARG);
    EXPECT_EQ(fc->Search(pic.get(), 0, 0), E_NOT_TAUGHT);
    EXPECT_EQ(fc->Learn(3, 0), platform::E_INVALIDARG);
    EXPECT_EQ(fc->Teach(pic.get(), std::nan(""), 0, 0, 32), platform::E_INVALIDARG);
    // A point outside the picture and a square without structure teach nothing.
    EXPECT_EQ(fc->Teach(pic.get(), 500, 90, 0, 32), platform::S_OK);
    EXPECT_EQ(fc->Learn(kLearnPattern, 0), platform::E_INVALIDARG);
    const auto flat = scene::picture(cv::Mat(kFrame, CV_8U, cv::Scalar(90)));
    EXPECT_EQ(fc->Teach(flat.get(), 100, 90, 0, 32), platform::S_OK);
    EXPECT_EQ(fc->Learn(kLearnPattern, 0), platform::E_INVALIDARG);
    EXPECT_EQ(fc->Search(pic.get(), 1, 0), E_NOT_TAUGHT);
    // An empty picture and a picture smaller than the pattern.
    const auto empty = platform::createPicture(0, 0, platform::PixelFormat::Gray8);
    EXPECT_EQ(fc->Search(empty.get(), 1, 0), E_NO_PICTURE);
    ASSERT_EQ(fc->Teach(pic.get(), 80, 90, 0, 32), platform::S_OK);
    ASSERT_EQ(fc->Learn(kLearnPattern, 0), platform::S_OK);
    const auto tiny = scene::picture(cv::Mat(10, 10, CV_8U, cv::Scalar(90)));
    auto next = frameOf(m.get(), 1, 1);
    EXPECT_EQ(next->Search(tiny.get(), 1, 0), E_MARKER_LOST);
    IPatternMarkerContext *mc = nullptr;
    ASSERT_EQ(m->MarkerContext(1, &mc), platform::S_OK);
    auto markerContext = take(mc);
    IPatternFrameContext *raw = reinterpret_cast<IPatternFrameContext *>(1);
    EXPECT_EQ(markerContext->FrameContext(0, -1, &raw), platform::E_INVALIDARG);
    EXPECT_EQ(raw, nullptr);
    // Without a user, no dialog.
    EXPECT_EQ(m->Settings(), E_NO_USER);
    EXPECT_EQ(next->SettingsDialog(), E_NO_USER);
}

TEST(PatternMatcher, FixedReferenceDoesNotLearnTheOccluder) {
    // A bar slides over a third of the patch: the fixed reference keeps its look and
    // finds the patch again once the bar has gone.
    auto m = newMatcher();
    PatchClip clip;
    const Truth t0 = clip.truth(0, 0);
    auto teach = frameOf(m.get(), 1, 0);
    const auto pic0 = scene::picture(clip.frame(0, 0));
    ASSERT_EQ(teach->Teach(pic0.get(), t0.x, t0.y, 0, 32), platform::S_OK);
    ASSERT_EQ(teach->Learn(kLearnPattern, 0), platform::S_OK);
    ASSERT_EQ(teach->PutSetting(ReferenceMode, 1), platform::S_OK);
    for (int f = 1; f < 12; ++f) {
        cv::Mat g = clip.frame(f, 0);
        const Truth t = clip.truth(f, 0);
        if (f >= 3 && f <= 6)
            cv::rectangle(g, cv::Rect(int(t.x) - 16, int(t.y) + 6, 32, 10), cv::Scalar(128),
                          cv::FILLED);
        const auto pic = scene::picture(g);
        auto fc = frameOf(m.get(), 1, f);
        ASSERT_EQ(m->Prepare(), platform::S_OK);
        ASSERT_EQ(fc->Search(pic.get(), f, 0), platform::S_OK) << f;
        double x = 0, y = 0;
        fc->Result(0, &x);
        fc->Result(1, &y);
        EXPECT_LT(std::hypot(x - t.x, y - t.y), f >= 3 && f <= 6 ? 1.5 : 0.5) << f;
    }
}

TEST(PatternMatcher, FaintLookalikeIsLostRatherThanReported) {
    // Correlation alone cannot tell a bright marker from a faint blob of the same shape.
    auto m = newMatcher();
    const cv::Mat background = scene::texture(kFrame, 3, 100, 20, 2.0);
    cv::Mat first = background.clone();
    scene::disc(first, 150.0, 120.0, 4.5, 240.0);
    const auto pic0 = scene::picture(first);
    auto fc = frameOf(m.get(), 1, 0);
    ASSERT_EQ(fc->Teach(pic0.get(), 150.0, 120.0, 0, 16), platform::S_OK);
    ASSERT_EQ(fc->Learn(kLearnPattern, 0), platform::S_OK);
    cv::Mat faint = background.clone();
    scene::disc(faint, 152.0, 121.0, 4.5, 125.0);
    const auto pic1 = scene::picture(faint);
    auto next = frameOf(m.get(), 1, 1);
    EXPECT_EQ(next->Search(pic1.get(), 1, 0), E_MARKER_LOST);
    // The bright marker itself is found, with the same settings.
    cv::Mat bright = background.clone();
    scene::disc(bright, 152.0, 121.0, 4.5, 240.0);
    const auto pic2 = scene::picture(bright);
    ASSERT_EQ(next->Search(pic2.get(), 1, 0), platform::S_OK);
    double x = 0;
    next->Result(0, &x);
    EXPECT_NEAR(x, 152.0, 0.25);
}

TEST(PatternMatcher, PatternLeavingThePictureIsLostNotPinnedToTheEdge) {
    auto m = newMatcher();
    const cv::Mat background = scene::texture(kFrame, 3, 100, 20, 2.0);
    const cv::Mat patch = scene::texture({81, 81}, 29, 120, 120, 1.5);
    auto at = [](int f) {
        return cv::Point2d(250.0 + 6.0 * f, 100.0);
    };
    auto frame = [&](int f) {
        cv::Mat g = background.clone();
        scene::paste(g, patch, at(f).x, at(f).y, 0.0, 28.0);
        return scene::picture(g);
    };
    auto teach = frameOf(m.get(), 1, 0);
    const auto pic0 = frame(0);
    ASSERT_EQ(teach->Teach(pic0.get(), at(0).x, at(0).y, 0, 32), platform::S_OK);
    ASSERT_EQ(teach->Learn(kLearnPattern, 0), platform::S_OK);
    int lostAt = -1;
    for (int f = 1; f < 20 && lostAt < 0; ++f) {
        const auto pic = frame(f);
        auto fc = frameOf(m.get(), 1, f);
        if (platform::failed(fc->Search(pic.get(), f, 0))) {
            lostAt = f;
            break;
        }
        double x = 0, y = 0;
        fc->Result(0, &x);
        fc->Result(1, &y);
        EXPECT_LT(std::hypot(x - at(f).x, y - at(f).y), 0.5) << f;
    }
    // The pattern's square (half-side 16) reaches the edge (x = 319) at frame 9.
    EXPECT_GE(lostAt, 8);
    EXPECT_LE(lostAt, 12);
}

namespace {

// A round marker like a pendulum's bob: a light disc in a dark ring on a textured wall.
constexpr double kRing = 26.0, kDisc = 10.0;

struct Tracked {
    std::vector<Truth> truth, found;
    double worstPosition() const {
        double w = 0;
        for (std::size_t i = 0; i < found.size(); ++i)
            w = std::max(w, std::hypot(found[i].x - truth[i].x, found[i].y - truth[i].y));
        return w;
    }
    double worstAngle() const {
        double w = 0;
        for (std::size_t i = 0; i < found.size(); ++i)
            w = std::max(w, std::abs(found[i].angle - truth[i].angle));
        return w;
    }
};

// Teaches marker 1 on frame 0 with size 32 at angle 0, as a new marker is set, and tracks
// the following frames; `truth` gives the point and the angle against the taught look.
template <class Render, class Where>
Tracked trackTarget(IPatternMatcher *m, Render render, Where truth, int frames) {
    Tracked t;
    {
        const Truth t0 = truth(0);
        auto fc = frameOf(m, 1, 0);
        const auto pic = scene::picture(render(0));
        EXPECT_EQ(fc->Teach(pic.get(), t0.x, t0.y, 0.0, 32), platform::S_OK);
        EXPECT_EQ(fc->Learn(kLearnPattern, 0), platform::S_OK);
    }
    for (int f = 1; f < frames; ++f) {
        const auto pic = scene::picture(render(f));
        EXPECT_EQ(m->Prepare(), platform::S_OK);
        auto fc = frameOf(m, 1, f);
        if (fc->Search(pic.get(), f, 0) != platform::S_OK) {
            ADD_FAILURE() << "lost at frame " << f;
            break;
        }
        Truth found{};
        EXPECT_EQ(fc->Result(0, &found.x), platform::S_OK);
        EXPECT_EQ(fc->Result(1, &found.y), platform::S_OK);
        EXPECT_EQ(fc->Result(2, &found.angle), platform::S_OK);
        t.found.push_back(found);
        t.truth.push_back(truth(f));
    }
    return t;
}

} // namespace

TEST(PatternMatcherRoundTarget, KeepsItsAngleWhileTheTargetLooksAlikeAtEveryAngle) {
    // Every angle matches the disc equally well up to noise; an angle taken from that noise
    // and extrapolated as angular velocity would run away. Taught off the disc's centre, as
    // a click lands, a wrong angle would also swing the point around the centre.
    const cv::Mat wall = scene::texture(kFrame, 5, 150, 30, 3.0);
    const auto centre = [](int f) {
        return cv::Point2d(60.0 + 1.6 * f, 120.0 + 40.0 * std::sin(f / 12.0));
    };
    const auto render = [&](int f) {
        cv::Mat g = wall.clone();
        scene::disc(g, centre(f).x, centre(f).y, kRing, 70.0);
        scene::disc(g, centre(f).x, centre(f).y, kDisc, 235.0);
        return g;
    };
    for (const cv::Point2d click : {cv::Point2d(0, 0), cv::Point2d(0.5, -0.4)}) {
        SCOPED_TRACE(testing::Message() << "taught " << click << " off the centre");
        auto m = newMatcher();
        const auto truth = [&](int f) {
            return Truth{centre(f).x + click.x, centre(f).y + click.y, 0.0};
        };
        const Tracked t = trackTarget(m.get(), render, truth, 130);
        ASSERT_EQ(t.found.size(), 129u);
        EXPECT_LT(t.worstAngle(), 2.0);
        EXPECT_LT(t.worstPosition(), 0.3);
    }
}

TEST(PatternMatcherRoundTarget, FollowsThePendulumItHangsFromWithoutRunningAway) {
    // The same disc with its rod, swinging 25 degrees either way from the lowest point,
    // fastest there: the rod in the pattern makes the angle visible.
    auto m = newMatcher();
    const cv::Mat wall = scene::texture(kFrame, 5, 150, 30, 3.0);
    cv::Mat bob(81, 81, CV_8U, cv::Scalar(150));
    scene::disc(bob, 40.0, 40.0, kRing, 70.0);
    cv::rectangle(bob, cv::Rect(37, 0, 7, 41), cv::Scalar(25), cv::FILLED);
    scene::disc(bob, 40.0, 40.0, kDisc, 235.0);
    const cv::Point2d pivot(160.0, -40.0);
    const double length = 200.0;
    const auto swing = [](int f) {
        return 25.0 * std::sin(2.0 * CV_PI * f / 80.0);
    };
    const auto truth = [&](int f) {
        const double a = swing(f) * CV_PI / 180.0;
        return Truth{pivot.x + length * std::sin(a), pivot.y + length * std::cos(a), swing(f)};
    };
    const auto render = [&](int f) {
        cv::Mat g = wall.clone();
        const Truth t = truth(f);
        // The rod outside the bob, sub-pixel (4 fraction bits), then the bob turned with it.
        cv::line(g, cv::Point(cvRound(pivot.x * 16), cvRound(pivot.y * 16)),
                 cv::Point(cvRound(t.x * 16), cvRound(t.y * 16)), cv::Scalar(25), 7, cv::LINE_AA,
                 4);
        scene::paste(g, bob, t.x, t.y, t.angle, kRing);
        return g;
    };
    const Tracked t = trackTarget(m.get(), render, truth, 170);
    ASSERT_EQ(t.found.size(), 169u);
    EXPECT_LT(t.worstAngle(), 2.0);
    EXPECT_LT(t.worstPosition(), 0.5);
    // It swings both ways, as far as the pendulum does.
    double lo = 0, hi = 0;
    for (const Truth &f : t.found) {
        lo = std::min(lo, f.angle);
        hi = std::max(hi, f.angle);
    }
    EXPECT_NEAR(lo, -25.0, 2.0);
    EXPECT_NEAR(hi, 25.0, 2.0);
}
