// The tracking pass against scripted engines: which markers are tracked into a frame, the
// calling orders, what is written, the cells, and the two loss flags.
#include "markersfixture.h"

#include "components/datalib/datalib.h"
#include "platform/classes.h"

using markers::Channel;
using markers::Column;
using platform::LONG;

namespace {

class PassTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(60);
    }
    // A marker as its release leaves it, with a point at `frame` only.
    LONG addMarker(int frame, double x, double y, int mode = common::kTrackingPatternMatching) {
        const LONG marker = ++controller->marks.markerCounter;
        controller->store.createMarkerData(marker, 60, 0x0000FF, mode);
        host.addRow(controller->table.markerName(marker), markers::MarkerIcon::PatternMatching);
        host.setRowTag(host.rowCount() - 1, QString::number(marker));
        setPoint(marker, frame, x, y);
        return marker;
    }
    void setPoint(LONG marker, int frame, double x, double y) {
        const auto ch = channels(marker);
        ch.put(Channel::PosX, frame, float(x / state.VideoWidth));
        ch.put(Channel::PosY, frame, float(y / state.VideoHeight));
        ch.put(Channel::Angle, frame, 0.0f);
        ch.put(Channel::PointStatus, frame, 1.0f);
        ch.put(Channel::PointRadius, frame, 5.0f);
    }
    void answer(fake::Script &s, LONG marker, int frame, double x, double y, double angle = 0,
                double size = 21) {
        s.answers[{marker, frame}] = fake::Answer{x, y, angle, size};
    }
};

TEST_F(PassTest, AMarkerIsTrackedIntoTheNextFrameAndWrittenAsFractions) {
    const LONG m = addMarker(10, 100, 50);
    channels(m).put(Channel::PathVisible, 10, 1.0f);
    answer(*pattern, m, 11, 104.4, 52.5, 3.25, 21);
    step(10);
    pattern->log.clear();
    step(11);
    EXPECT_EQ(pattern->log,
              QStringList({"Prepare", "MarkerContext 1", "FrameContext 0 11", "Search 11 0 1",
                           "Result 0", "Result 1", "Result 2", "Number", "SymbolSize"}));
    const auto ch = channels(m);
    EXPECT_EQ(ch.get(Channel::PointStatus, 11), 1.0f);
    EXPECT_EQ(ch.get(Channel::PointSource, 11), 1.0f);
    EXPECT_FLOAT_EQ(ch.get(Channel::PosX, 11), float(104.4 / 320));
    EXPECT_FLOAT_EQ(ch.get(Channel::PosY, 11), float(52.5 / 240));
    EXPECT_FLOAT_EQ(ch.get(Channel::Angle, 11), 3.25f);
    // 21 / 2 = 10.5 rounds to the even 10; the path setting is copied forward.
    EXPECT_EQ(ch.get(Channel::PointRadius, 11), 10.0f);
    EXPECT_EQ(ch.get(Channel::PathVisible, 11), 1.0f);
    // Whole pixels with halves to even; the angle with two decimals.
    EXPECT_EQ(host.rows[0].cells[1], "104");
    EXPECT_EQ(host.rows[0].cells[2], "52");
    EXPECT_EQ(host.rows[0].cells[3], "3.25");
    EXPECT_FALSE(state.MarkerLost || state.AllMarkersLost);
}

TEST_F(PassTest, NothingIsTrackedWithoutAPointInTheFrameBeforeOrByHand) {
    const LONG m = addMarker(0, 100, 50);
    step(0);
    EXPECT_TRUE(pattern->log.filter("Search").isEmpty()) << "frame 0 has no frame before it";
    // A jump from 0 to 30: frame 29 has no point, so nothing is tracked.
    step(30);
    EXPECT_TRUE(pattern->log.filter("Search").isEmpty());
    EXPECT_EQ(channels(m).get(Channel::PointStatus, 30), 0.0f);
    // Tracked by hand in frame 1: shown where it has a point, otherwise left alone.
    channels(m).put(Channel::AutoTrack, 1, 0.0f);
    host.rows[0].cells[1] = "untouched";
    step(1);
    EXPECT_TRUE(pattern->log.filter("Search").isEmpty());
    EXPECT_EQ(host.rows[0].cells[1], "untouched");
    EXPECT_FALSE(state.MarkerLost);
    // An unknown tracking mode leaves the row alone too.
    channels(m).put(Channel::AutoTrack, 1, 1.0f);
    channels(m).put(Channel::TrackMode, 1, 8.0f);
    step(1);
    EXPECT_TRUE(pattern->log.filter("Search").isEmpty());
}

TEST_F(PassTest, BackwardsOnlyWhereTheFrameBeforeHasAPoint) {
    const LONG m = addMarker(50, 100, 50);
    answer(*pattern, m, 51, 101, 50);
    step(51);
    EXPECT_EQ(pattern->log.filter("Search").size(), 1);
    // From 60 back to 40: frame 39 has no point; nothing happens.
    step(40);
    EXPECT_EQ(pattern->log.filter("Search").size(), 1);
}

TEST_F(PassTest, MarkerTrackingPassesNoContextBeforeTheFirstFrame) {
    const LONG m = addMarker(0, 100, 50, common::kTrackingMarkerTracking);
    answer(*tracker, m, 1, 102, 51, 0, 13);
    step(1);
    EXPECT_EQ(tracker->log,
              QStringList({"MarkerContext 1", "FrameContext 0 1", "SetPicture", "FrameContext 0 0",
                           "Locate none one 0", "Value 52", "Value 53", "Number", "Value 88"}));
    EXPECT_EQ(host.rows[0].cells[3], "0.00");
    EXPECT_EQ(channels(m).get(Channel::PointRadius, 1), 6.0f); // 13 / 2 = 6.5 -> 6
    answer(*tracker, m, 2, 104, 52, 0, 13);
    tracker->log.clear();
    step(2);
    EXPECT_TRUE(tracker->log.contains("FrameContext 0 0"));
    EXPECT_TRUE(tracker->log.contains("Locate two one 0"));
}

TEST_F(PassTest, LossFlagsCountOnlyFromTheFirstAttempt) {
    // Both tracked: the first found, the second lost.
    const LONG a = addMarker(4, 50, 50);
    const LONG b = addMarker(4, 150, 50);
    answer(*pattern, a, 5, 51, 50);
    step(5);
    EXPECT_TRUE(state.MarkerLost);
    EXPECT_FALSE(state.AllMarkersLost);
    EXPECT_EQ(channels(b).get(Channel::PointStatus, 5), 0.0f) << "nothing written for the lost";

    // Row 1 already has a point here, row 2 fails: rows before the first attempt do not
    // count, so both flags are set.
    setPoint(a, 20, 60, 60);
    setPoint(b, 19, 150, 60);
    step(20);
    EXPECT_TRUE(state.MarkerLost);
    EXPECT_TRUE(state.AllMarkersLost);

    // The lost marker comes first and a marker with a point follows: not all are lost.
    setPoint(b, 29, 150, 60);
    setPoint(a, 30, 60, 60);
    std::swap(host.rows[0], host.rows[1]);
    step(30);
    EXPECT_TRUE(state.MarkerLost);
    EXPECT_FALSE(state.AllMarkersLost);

    // With no attempt the flags stay clear; the next pass clears them.
    step(40);
    EXPECT_FALSE(state.MarkerLost || state.AllMarkersLost);
}

TEST_F(PassTest, ALostMarkerKeepsItsCellsAndLosesItsSymbol) {
    const LONG m = addMarker(7, 80, 90);
    step(7);
    EXPECT_EQ(countItems(m), 1);
    host.rows[0].cells[1] = "old";
    step(8);
    EXPECT_TRUE(state.AllMarkersLost);
    EXPECT_EQ(host.rows[0].cells[1], "old");
    EXPECT_EQ(countItems(m), 0);
    EXPECT_EQ(countItems(m + markers::kCrossOffset), 0);
}

TEST_F(PassTest, ThePictureIsFetchedOnceAndOnlyWhenSomethingIsTracked) {
    const LONG a = addMarker(2, 50, 50);
    const LONG b = addMarker(2, 150, 50);
    answer(*pattern, a, 3, 50, 50);
    answer(*pattern, b, 3, 150, 50);
    step(3);
    // Both searches were handed a picture.
    EXPECT_EQ(pattern->log.filter("Search 3 0 1").size(), 2);
}

TEST_F(PassTest, CalibratedCellsShowTwoDecimalsOfTheCalibration) {
    datalib::registerClasses();
    auto factory = platform::createInstance<datalib::TalvorCalFactory>(datalib::CLSID_CalFactory);
    ASSERT_TRUE(factory);
    datalib::TalvorCal2D *raw = nullptr;
    factory->CreateCal2D(&raw);
    state.Calibration = platform::ComPtr<datalib::TalvorCal2D>::attach(raw);
    // Reference points at x = 0 and x = 0.5 of the width, 100 units apart, square pixels.
    auto &cal = state.Calibration;
    cal->SetPointX(0, 0.0);
    cal->SetPointY(0, 1.0);
    cal->SetPointX(1, 0.5);
    cal->SetPointY(1, 1.0);
    cal->SetDistance(0, 100.0);
    cal->SetAspect(320.0f / 240.0f);
    cal->SetOrigin(0, 0);
    const LONG m = addMarker(3, 80, 60);
    step(3);
    // x = 80 / 320 = 0.25 of the width -> 50 units; y is a quarter of the height from the top,
    // three quarters of it (180 px) above the reference line: 180 px at 160 px per 100 units.
    EXPECT_EQ(host.rows[0].cells[1], "50.00");
    EXPECT_EQ(host.rows[0].cells[2], "112.50");
    EXPECT_EQ(host.rows[0].cells[3], "0.00");
    (void)m;
}

TEST_F(PassTest, ARowWhoseTagIsNoNumberNamesNoMarker) {
    addMarker(3, 80, 60);
    host.rows[0].tag = "abc";
    EXPECT_EQ(controller->table.markerNumberOfRow(0), 0);
    host.rows[0].tag = " 12.5";
    EXPECT_EQ(controller->table.markerNumberOfRow(0), 12); // halves to even
    host.rows[0].tag = "13.5x";
    EXPECT_EQ(controller->table.markerNumberOfRow(0), 14);
    host.rows[0].tag = "abc";
    step(4); // nothing to show or track, and nothing breaks
    EXPECT_FALSE(state.MarkerLost);
}

} // namespace
