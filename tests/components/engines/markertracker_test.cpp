// The marker tracker through its objects, in the application's calling orders.
#include "components/engines/engines.h"
#include "tests/support/scene.h"

#include "platform/classes.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

using namespace engines;
using platform::ComPtr;
using platform::Variant;

namespace {

const cv::Size kFrame(320, 240);

ComPtr<IMarkerTracker> newTracker() {
    registerClasses();
    auto t = platform::createInstance<IMarkerTracker>(CLSID_MarkerTracker);
    EXPECT_TRUE(t);
    if (t) {
        EXPECT_EQ(t->Init(kInteractive, 1031), platform::S_OK);
    }
    return t;
}

template <class I> ComPtr<I> take(I *raw) {
    return ComPtr<I>::attach(raw);
}

ComPtr<IMarkerFrameContext> frameOf(IMarkerTracker *t, LONG marker, LONG frame) {
    IMarkerMarkerContext *mc = nullptr;
    EXPECT_EQ(t->MarkerContext(marker, &mc), platform::S_OK);
    auto markerContext = take(mc);
    IMarkerFrameContext *fc = nullptr;
    EXPECT_EQ(markerContext->FrameContext(0, frame, &fc), platform::S_OK);
    return take(fc);
}

double value(IMarkerFrameContext *fc, LONG id) {
    Variant v;
    EXPECT_EQ(fc->Value(id, &v), platform::S_OK) << id;
    return v.toDouble();
}

// Bright (or dark) discs of radius 4.3 accelerating over a textured background.
struct MarkerClip {
    cv::Mat background = scene::texture(kFrame, 5, 90, 30, 2.0);
    bool dark = false;
    cv::Point2d at(int f) const { return {40.0 + 4.0 * f + 0.35 * f * f, 60.0 + 2.5 * f}; }
    cv::Mat frame(int f) const {
        cv::Mat g = background.clone();
        const auto p = at(f);
        scene::disc(g, p.x, p.y, 4.3, dark ? 10.0 : 240.0);
        return g;
    }
};

// Teaches marker 1 at frame 0 the way a new marker is finished, with radius 0.
void teach(IMarkerTracker *t, const MarkerClip &clip) {
    auto fc = frameOf(t, 1, 0);
    const auto pic = scene::picture(clip.frame(0));
    ASSERT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    ASSERT_EQ(fc->SetPoint(std::round(clip.at(0).x), std::round(clip.at(0).y), 0), platform::S_OK);
    EXPECT_NEAR(value(fc.get(), MarkerX), clip.at(0).x, 0.1);
    EXPECT_NEAR(value(fc.get(), MarkerY), clip.at(0).y, 0.1);
    EXPECT_NEAR(value(fc.get(), MarkerDiameter), 8.6, 0.3);
}

// The tracking pass's calls 1 to 8 for frame f; the error of the found point, or -1.
double step(IMarkerTracker *t, const MarkerClip &clip, int f, HRESULT *status = nullptr) {
    IMarkerMarkerContext *mc = nullptr;
    EXPECT_EQ(t->MarkerContext(1, &mc), platform::S_OK);
    auto markerContext = take(mc);
    IMarkerFrameContext *raw = nullptr;
    EXPECT_EQ(markerContext->FrameContext(0, f, &raw), platform::S_OK);
    auto fc = take(raw);
    const auto pic = scene::colourPicture(clip.frame(f));
    EXPECT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    ComPtr<IMarkerFrameContext> two, one;
    if (f > 1) {
        markerContext->FrameContext(0, f - 2, &raw);
        two = take(raw);
    }
    markerContext->FrameContext(0, f - 1, &raw);
    one = take(raw);
    LONG found = -1;
    const HRESULT hr = fc->Locate(two.get(), one.get(), 0, &found);
    if (status)
        *status = hr;
    LONG number = 0;
    EXPECT_EQ(markerContext->Number(&number), platform::S_OK);
    EXPECT_EQ(number, 1);
    if (platform::failed(hr)) {
        EXPECT_EQ(found, 0);
        return -1;
    }
    EXPECT_EQ(found, 1);
    const auto p = clip.at(f);
    return std::hypot(value(fc.get(), MarkerX) - p.x, value(fc.get(), MarkerY) - p.y);
}

} // namespace

TEST(MarkerTracker, FollowsFastAcceleratingDiscsToAFewHundredthsOfAPixel) {
    for (bool dark : {false, true}) {
        auto t = newTracker();
        MarkerClip clip;
        clip.dark = dark;
        if (dark) // the same contrast to the texture as the bright markers have
            clip.background = scene::texture(kFrame, 5, 160, 30, 2.0);
        teach(t.get(), clip);
        double sum = 0, worst = 0;
        const int frames = 20; // the last step moves 17.7 px
        for (int f = 1; f < frames; ++f) {
            const double e = step(t.get(), clip, f);
            ASSERT_GE(e, 0.0) << "lost at frame " << f << (dark ? " (dark)" : " (bright)");
            sum += e;
            worst = std::max(worst, e);
        }
        EXPECT_LT(sum / (frames - 1), 0.08) << (dark ? "dark" : "bright");
        EXPECT_LT(worst, 0.2) << (dark ? "dark" : "bright");
    }
}

TEST(MarkerTracker, HiddenMarkerIsLostNotGuessed) {
    auto t = newTracker();
    MarkerClip clip;
    teach(t.get(), clip);
    for (int f = 1; f < 5; ++f)
        ASSERT_GE(step(t.get(), clip, f), 0.0);
    // A cover over the marker's path: frame 5 is searched and must fail.
    auto fc = frameOf(t.get(), 1, 5);
    cv::Mat g = clip.frame(5);
    cv::circle(g, clip.at(5), 9, cv::Scalar(90), cv::FILLED);
    const auto pic = scene::picture(g);
    ASSERT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    auto one = frameOf(t.get(), 1, 4), two = frameOf(t.get(), 1, 3);
    LONG found = -1;
    EXPECT_EQ(fc->Locate(two.get(), one.get(), 0, &found), E_MARKER_LOST);
    EXPECT_EQ(found, 0);
    Variant v;
    EXPECT_EQ(fc->Value(MarkerX, &v), E_MARKER_LOST);
}

TEST(MarkerTracker, MarkerLeavingThePictureIsLostBeforeItsPointGoesWrong) {
    auto t = newTracker();
    MarkerClip clip;
    clip.background = scene::texture(kFrame, 5, 90, 30, 2.0);
    teach(t.get(), clip);
    // at(f).x passes 320 near f = 24; nothing may be reported more than 0.3 px off.
    bool lost = false;
    for (int f = 1; f < 30 && !lost; ++f) {
        HRESULT hr = 0;
        const double e = step(t.get(), clip, f, &hr);
        if (platform::failed(hr)) {
            lost = true;
            EXPECT_GT(clip.at(f).x + 4.3, kFrame.width - 1.0) << "lost too early, frame " << f;
        } else {
            EXPECT_LT(e, 0.3) << f;
        }
    }
    EXPECT_TRUE(lost);
}

TEST(MarkerTracker, FrameOneHasNoContextTwoBackAndReteachingMovesTheMarker) {
    auto t = newTracker();
    MarkerClip clip;
    teach(t.get(), clip);
    EXPECT_GE(step(t.get(), clip, 1), 0.0); // passes null for frame -1
    // Teaching again on another disc, as a move by the user does.
    cv::Mat g = clip.frame(1);
    scene::disc(g, 200.25, 150.5, 6.0, 250.0);
    const auto pic = scene::picture(g);
    auto fc = frameOf(t.get(), 1, 1);
    ASSERT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    ASSERT_EQ(fc->SetPoint(200, 150, 6), platform::S_OK);
    EXPECT_NEAR(value(fc.get(), MarkerX), 200.25, 0.05);
    EXPECT_NEAR(value(fc.get(), MarkerY), 150.5, 0.05);
    EXPECT_NEAR(value(fc.get(), MarkerDiameter), 12.0, 0.3);
    // Frame 2 predicts from frame 1 alone: the hand-moved point has no velocity from the
    // path before, and the earlier point stays readable.
    cv::Mat g2 = clip.frame(2);
    scene::disc(g2, 200.25, 150.5, 6.0, 250.0);
    const auto pic2 = scene::picture(g2);
    auto next = frameOf(t.get(), 1, 2), zero = frameOf(t.get(), 1, 0);
    ASSERT_EQ(next->SetPicture(pic2.get()), platform::S_OK);
    LONG found = 0;
    ASSERT_EQ(next->Locate(zero.get(), fc.get(), 0, &found), platform::S_OK);
    EXPECT_NEAR(value(next.get(), MarkerX), 200.25, 0.05);
    EXPECT_NEAR(value(zero.get(), MarkerX), clip.at(0).x, 0.1);
}

TEST(MarkerTracker, TeachingWithoutAMarkerKeepsTheUsersPointButTracksNothing) {
    auto t = newTracker();
    const auto flat = scene::picture(cv::Mat(kFrame, CV_8U, cv::Scalar(100)));
    auto fc = frameOf(t.get(), 1, 0);
    EXPECT_EQ(fc->SetPoint(10, 10, 3), E_NO_PICTURE); // no picture handed yet
    ASSERT_EQ(fc->SetPicture(flat.get()), platform::S_OK);
    EXPECT_EQ(fc->SetPoint(50, 60, 5), platform::E_INVALIDARG);
    EXPECT_EQ(value(fc.get(), MarkerX), 50.0);
    EXPECT_EQ(value(fc.get(), MarkerDiameter), 10.0);
    auto next = frameOf(t.get(), 1, 1);
    ASSERT_EQ(next->SetPicture(flat.get()), platform::S_OK);
    LONG found = -1;
    EXPECT_EQ(next->Locate(nullptr, fc.get(), 0, &found), E_NOT_TAUGHT);
    EXPECT_EQ(found, 0);
}

TEST(MarkerTracker, LocateWithoutPictureOrWithBadArgumentsFails) {
    auto t = newTracker();
    MarkerClip clip;
    teach(t.get(), clip);
    auto fc = frameOf(t.get(), 1, 1);
    LONG found = -1;
    EXPECT_EQ(fc->Locate(nullptr, nullptr, 0, &found), E_NO_PICTURE);
    const auto pic = scene::picture(clip.frame(1));
    // A picture handed to another frame's context is not this frame's picture.
    auto other = frameOf(t.get(), 1, 7);
    ASSERT_EQ(other->SetPicture(pic.get()), platform::S_OK);
    EXPECT_EQ(fc->Locate(nullptr, nullptr, 0, &found), E_NO_PICTURE);
    ASSERT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    EXPECT_EQ(fc->Locate(nullptr, nullptr, 3, &found), platform::E_INVALIDARG);
    // No contexts before: predicts from the marker's latest point.
    EXPECT_EQ(fc->Locate(nullptr, nullptr, 0, nullptr), platform::S_OK);
    Variant v;
    EXPECT_EQ(fc->Value(12, &v), platform::E_INVALIDARG);
    EXPECT_EQ(fc->Value(MarkerX, nullptr), platform::E_POINTER);
}

TEST(MarkerTracker, DroppingAndSettings) {
    auto t = newTracker();
    MarkerClip clip;
    teach(t.get(), clip);
    auto held = frameOf(t.get(), 1, 0);
    EXPECT_EQ(t->DropMarkerContext(1), platform::S_OK);
    EXPECT_EQ(t->DropMarkerContext(1), platform::S_FALSE);
    EXPECT_NEAR(value(held.get(), MarkerX), clip.at(0).x, 0.1);
    auto fresh = frameOf(t.get(), 1, 0);
    Variant v;
    EXPECT_EQ(fresh->Value(MarkerX, &v), E_MARKER_LOST);

    double s = 0;
    ASSERT_EQ(fresh->PutSetting(MarkerSearchRange, 12), platform::S_OK);
    ASSERT_EQ(fresh->Setting(MarkerSearchRange, &s), platform::S_OK);
    EXPECT_EQ(s, 12.0);
    ASSERT_EQ(t->Setting(MarkerSearchRange, &s), platform::S_OK);
    EXPECT_EQ(s, 32.0); // the user's default is not a marker's own setting
    EXPECT_EQ(fresh->PutSetting(MarkerPolarity, 9), platform::S_OK);
    ASSERT_EQ(fresh->Setting(MarkerPolarity, &s), platform::S_OK);
    EXPECT_EQ(s, 2.0);
    EXPECT_EQ(fresh->Setting(4, &s), platform::E_INVALIDARG);
}

TEST(MarkerTracker, SpecksAndFaintBlobsAreNotTaughtAsMarkers) {
    auto t = newTracker();
    cv::Mat g(kFrame, CV_8U, cv::Scalar(100));
    g.at<std::uint8_t>(50, 50) = 250;         // a one-pixel speck
    scene::disc(g, 150.0, 100.0, 5.0, 125.0); // a blob of too little contrast
    scene::disc(g, 250.0, 100.0, 5.0, 140.0); // enough contrast: a marker
    const auto pic = scene::picture(g);
    auto fc = frameOf(t.get(), 1, 0);
    ASSERT_EQ(fc->SetPicture(pic.get()), platform::S_OK);
    EXPECT_EQ(fc->SetPoint(50, 50, 3), platform::E_INVALIDARG);
    EXPECT_EQ(fc->SetPoint(150, 100, 5), platform::E_INVALIDARG);
    EXPECT_EQ(fc->SetPoint(250, 100, 5), platform::S_OK);
    EXPECT_NEAR(value(fc.get(), MarkerDiameter), 10.0, 0.3);
}
