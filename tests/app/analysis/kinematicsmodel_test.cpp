// The Kinematics window's model on the fake window: series per marker and quantity for tracks
// of known motion, runs split at gaps the library does not bridge, colours as the table's
// bands, axis titles in the unit in force, the cutoff texts of every smoothing mode, and the
// mapping between plot time and frames at its ends.
#include "markersfixture.h"

#include "app/analysis/kinematicsmodel.h"
#include "app/common/resources.h"
#include "platform/colorref.h"

#include <QRegularExpression>

#include <cmath>

using analysis::Availability;
using analysis::KinematicsModel;
using analysis::MarkerSeries;
using analysis::Quantity;
using markers::Channel;

namespace {

constexpr double kRate = 25.0;
constexpr int kFrames = 40;

class KinematicsModelTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(kFrames);
        state.VideoFrameRate = float(kRate);
    }
    // A throw: steady to the right, a parabola downwards (image y grows downwards).
    void parabola(
        platform::LONG marker, const std::function<bool(int)> &has = [](int) { return true; }) {
        track(
            marker, [](int f) { return 20.0 + 2.0 * f; }, [](int f) { return 30.0 + 0.1 * f * f; },
            has);
    }
    MarkerSeries only(const KinematicsModel &model, platform::LONG marker) {
        const auto all = model.series({marker});
        EXPECT_EQ(all.size(), std::size_t(1));
        return all.empty() ? MarkerSeries{} : all.front();
    }
};

TEST_F(KinematicsModelTest, ATrackGivesOneRunPerQuantityInPixelsAndSeconds) {
    create(100, 60);
    parabola(1);
    const KinematicsModel model(*controller);
    ASSERT_EQ(model.availability(), Availability::Ready);
    const MarkerSeries s = only(model, 1);
    EXPECT_EQ(s.entry.name, "Point 1");
    for (Quantity q : analysis::kQuantities)
        ASSERT_EQ(s.of(q).size(), std::size_t(1)) << int(q);
    const analysis::Run &x = s.of(Quantity::X).front();
    ASSERT_EQ(x.size(), std::size_t(kFrames));
    for (int f = 0; f < kFrames; ++f) {
        EXPECT_NEAR(x[std::size_t(f)].x(), f / kRate, 1e-12) << f;
        // A straight line passes the filter unchanged, to the stored single precision.
        EXPECT_NEAR(x[std::size_t(f)].y(), 20.0 + 2.0 * f, 1e-3) << f;
    }
    // Speed: the steady 2 px per frame to the right with 0.2 f px per frame downwards.
    for (const QPointF &p : s.of(Quantity::Speed).front()) {
        const int f = int(std::lround(p.x() * kRate));
        if (f < 8 || f > kFrames - 8)
            continue;
        EXPECT_NEAR(p.y(), std::hypot(2.0, 0.2 * f) * kRate,
                    0.02 * std::hypot(2.0, 0.2 * f) * kRate)
            << f;
    }
    // The acceleration over the middle of the flight: 0.2 px per frame².
    const double a = 0.2 * kRate * kRate;
    for (const QPointF &p : s.of(Quantity::Acceleration).front()) {
        const int f = int(std::lround(p.x() * kRate));
        if (f >= 12 && f <= kFrames - 12) {
            EXPECT_NEAR(p.y(), a, 0.03 * a) << f;
        }
    }
}

TEST_F(KinematicsModelTest, OnlyTheChosenMarkersComeInTableOrderWithTheBandColours) {
    create(100, 60);
    create(200, 120, 5);
    create(150, 90, 5);
    parabola(1);
    parabola(2);
    parabola(3);
    controller->table.paintRowBands();
    ASSERT_EQ(host.bands.size(), std::size_t(3));
    const KinematicsModel model(*controller);

    const auto entries = model.markers();
    ASSERT_EQ(entries.size(), std::size_t(3));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].marker, platform::LONG(i + 1));
        EXPECT_EQ(entries[i].color, host.bands[i]) << i;
    }
    // The markers' default colours differ, so a mix-up would show.
    EXPECT_NE(entries[0].color, entries[1].color);

    // Chosen out of order, with a number that is no marker: table order, the stranger left out.
    const auto chosen = model.series({3, 99, 1});
    ASSERT_EQ(chosen.size(), std::size_t(2));
    EXPECT_EQ(chosen[0].entry.marker, 1);
    EXPECT_EQ(chosen[1].entry.marker, 3);
    EXPECT_EQ(chosen[1].entry.color, host.bands[2]);
    EXPECT_TRUE(model.series({}).empty());
}

TEST_F(KinematicsModelTest, GapsOfThreeFramesSplitTheRunsShorterOnesAreBridged) {
    create(100, 60);
    create(200, 120, 5);
    parabola(1, [](int f) { return f < 15 || f > 17; });   // frames 15 to 17 missing
    parabola(2, [](int f) { return f != 15 && f != 16; }); // two frames missing
    const KinematicsModel model(*controller);

    const MarkerSeries split = only(model, 1);
    const auto &x = split.of(Quantity::X);
    ASSERT_EQ(x.size(), std::size_t(2));
    EXPECT_EQ(x[0].size(), std::size_t(15));
    EXPECT_EQ(x[1].size(), std::size_t(kFrames - 18));
    EXPECT_NEAR(x[0].back().x(), 14 / kRate, 1e-12);
    EXPECT_NEAR(x[1].front().x(), 18 / kRate, 1e-12);
    for (Quantity q : analysis::kQuantities)
        EXPECT_EQ(split.of(q).size(), std::size_t(2)) << int(q);
    EXPECT_EQ(split.pointCount(Quantity::X), std::size_t(kFrames - 3));

    const MarkerSeries bridged = only(model, 2);
    ASSERT_EQ(bridged.of(Quantity::X).size(), std::size_t(1));
    EXPECT_EQ(bridged.pointCount(Quantity::X), std::size_t(kFrames));
    EXPECT_EQ(bridged.of(Quantity::Acceleration).size(), std::size_t(1));
}

TEST_F(KinematicsModelTest, AMarkerWithOnePointHasAPositionButNoDerivatives) {
    create(100, 60); // its point at frame 0 only
    const KinematicsModel model(*controller);
    const MarkerSeries s = only(model, 1);
    EXPECT_EQ(s.pointCount(Quantity::X), std::size_t(1));
    EXPECT_EQ(s.pointCount(Quantity::Y), std::size_t(1));
    EXPECT_TRUE(s.of(Quantity::Speed).empty());
    EXPECT_TRUE(s.of(Quantity::Acceleration).empty());
    EXPECT_EQ(s.cutoffText, "Point 1: x not enough data, y not enough data");

    // Without any point left it says so.
    channels(1).put(Channel::PointStatus, 0, 0.0f);
    EXPECT_EQ(only(model, 1).cutoffText, "Point 1: no points");
    EXPECT_EQ(only(model, 1).pointCount(Quantity::X), std::size_t(0));
}

TEST_F(KinematicsModelTest, AxisTitlesCarryTheUnitInForceAndTheLanguage) {
    create(100, 60);
    KinematicsModel model(*controller);
    EXPECT_EQ(model.timeTitle(), "Time (s)");
    EXPECT_EQ(model.axisTitle(Quantity::X), "x (px)");
    EXPECT_EQ(model.axisTitle(Quantity::Y), "y (px)");
    EXPECT_EQ(model.axisTitle(Quantity::Speed), "Speed (px/s)");
    EXPECT_EQ(model.axisTitle(Quantity::Acceleration), QString::fromUtf8("Acceleration (px/s²)"));

    calibrateFiftyCentimetres();
    ASSERT_TRUE(controller->table.calibrated());
    EXPECT_EQ(model.unit(), "mm");
    EXPECT_EQ(model.axisTitle(Quantity::X), "x (mm)");
    EXPECT_EQ(model.axisTitle(Quantity::Speed), "Speed (mm/s)");
    EXPECT_EQ(model.axisTitle(Quantity::Acceleration), QString::fromUtf8("Acceleration (mm/s²)"));

    state.TextBase = common::kGermanBase;
    EXPECT_EQ(model.timeTitle(), "Zeit (s)");
    EXPECT_EQ(model.axisTitle(Quantity::Speed), "Geschwindigkeit (mm/s)");
    state.TextBase = common::kThirdBase;
    EXPECT_EQ(model.axisTitle(Quantity::Acceleration), QString::fromUtf8("Aceleração (mm/s²)"));
}

TEST_F(KinematicsModelTest, CalibratedSeriesAreInTheUnitWithYUpwards) {
    calibrateFiftyCentimetres();
    state.VideoFrameRate = float(kRate);
    create(100, 60);
    parabola(1);
    const KinematicsModel model(*controller);
    const MarkerSeries s = only(model, 1);
    const auto &y = s.of(Quantity::Y).front();
    ASSERT_EQ(y.size(), std::size_t(kFrames));
    // The marker falls in the image: calibrated y decreases.
    EXPECT_LT(y.back().y(), y.front().y());
    // Units per pixel along y, from the calibration itself.
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    platform::LONG status = 0;
    ASSERT_TRUE(platform::succeeded(state.Calibration->Transform(0.0, 0.0, &x0, &y0, &status)));
    ASSERT_TRUE(platform::succeeded(
        state.Calibration->Transform(0.0, 100.0 / state.VideoHeight, &x1, &y1, &status)));
    const double perPxY = (y1 - y0) / 100.0;
    const double fall = 0.1 * (kFrames - 1) * (kFrames - 1); // px
    EXPECT_NEAR(y.back().y() - y.front().y(), fall * perPxY, 0.02 * std::fabs(fall * perPxY));
}

TEST_F(KinematicsModelTest, CutoffTextsNameHowEachAxisWasSmoothed) {
    create(100, 60);
    parabola(1);
    KinematicsModel model(*controller);

    MarkerSeries s = only(model, 1);
    ASSERT_EQ(s.cutoffX.source, kinematics::CutoffSource::Automatic);
    const QRegularExpression automatic(
        QStringLiteral("^Point 1: x (\\d+\\.\\d) Hz, y (\\d+\\.\\d) Hz \\(automatic\\)$"));
    const auto match = automatic.match(s.cutoffText);
    ASSERT_TRUE(match.hasMatch()) << s.cutoffText.toStdString();
    EXPECT_NEAR(match.captured(1).toDouble(), s.cutoffX.hz, 0.05);
    EXPECT_NEAR(match.captured(2).toDouble(), s.cutoffY.hz, 0.05);

    model.setSmoothing({kinematics::SmoothingMode::Fixed, 5.0});
    EXPECT_EQ(only(model, 1).cutoffText, "Point 1: x 5.0 Hz, y 5.0 Hz (fixed)");
    model.setSmoothing({kinematics::SmoothingMode::Off, 0});
    s = only(model, 1);
    EXPECT_EQ(s.cutoffText, "Point 1: off");
    // Off: the raw points, so the steady x comes through exactly.
    EXPECT_NEAR(s.of(Quantity::X).front()[7].y(), 34.0, 1e-3);

    // A fixed cutoff at or above half the frame rate is refused, with no series.
    EXPECT_DOUBLE_EQ(model.cutoffLimit(), kRate / 2);
    model.setSmoothing({kinematics::SmoothingMode::Fixed, kRate / 2});
    s = only(model, 1);
    EXPECT_EQ(s.cutoffText, "Point 1: invalid cutoff");
    EXPECT_EQ(s.pointCount(Quantity::X), std::size_t(0));

    // German: the decimal comma and German words.
    state.TextBase = common::kGermanBase;
    state.UiLcid = 1031;
    model.setSmoothing({kinematics::SmoothingMode::Fixed, 5.0});
    EXPECT_EQ(only(model, 1).cutoffText, "Point 1: x 5,0 Hz, y 5,0 Hz (fest)");
}

TEST_F(KinematicsModelTest, TimesMapToTheNearestFrameWithinTheVideo) {
    const KinematicsModel model(*controller);
    EXPECT_EQ(model.lastFrame(), kFrames - 1);
    EXPECT_DOUBLE_EQ(model.timeOfFrame(0), 0.0);
    EXPECT_DOUBLE_EQ(model.timeOfFrame(kFrames - 1), (kFrames - 1) / kRate);
    EXPECT_DOUBLE_EQ(model.duration(), (kFrames - 1) / kRate);
    EXPECT_EQ(model.frameOfTime(0.0), 0);
    EXPECT_EQ(model.frameOfTime(10.4 / kRate), 10);
    EXPECT_EQ(model.frameOfTime(10.6 / kRate), 11);
    EXPECT_EQ(model.frameOfTime((kFrames - 1) / kRate), kFrames - 1);
    // Beyond either end: the end.
    EXPECT_EQ(model.frameOfTime(-3.0), 0);
    EXPECT_EQ(model.frameOfTime(1e6), kFrames - 1);
    EXPECT_EQ(model.frameOfTime(std::nan("")), 0);
    for (int f = 0; f < kFrames; ++f)
        EXPECT_EQ(model.frameOfTime(model.timeOfFrame(f)), f);

    // Without a frame rate every time is frame 0.
    state.VideoFrameRate = 0.0f;
    EXPECT_EQ(model.frameOfTime(1.0), 0);
    EXPECT_DOUBLE_EQ(model.timeOfFrame(12), 0.0);
}

TEST_F(KinematicsModelTest, NothingToPlotSaysWhy) {
    const KinematicsModel model(*controller);
    EXPECT_EQ(model.availability(), Availability::NoMarkers);
    EXPECT_EQ(model.availabilityText(), "No markers have been set.");
    create(100, 60);
    EXPECT_EQ(model.availability(), Availability::Ready);
    EXPECT_TRUE(model.availabilityText().isEmpty());

    state.VideoFrameRate = 0.0f;
    EXPECT_EQ(model.availability(), Availability::NoFrameRate);
    EXPECT_TRUE(model.series({1}).empty());
    state.VideoFrameRate = std::numeric_limits<float>::infinity();
    EXPECT_EQ(model.availability(), Availability::NoFrameRate);

    state.NoVideo = true;
    EXPECT_EQ(model.availability(), Availability::NoVideo);
    EXPECT_EQ(model.availabilityText(), "No video is open.");
    EXPECT_EQ(model.lastFrame(), -1);
    EXPECT_TRUE(model.series({1}).empty());
}

} // namespace
