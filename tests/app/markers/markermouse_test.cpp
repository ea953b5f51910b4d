// Mouse work on the video and the table with scripted engines: creating, sizing, placing
// and moving markers, the key-state cases, pan and zoom limits, and the popups.
#include "markersfixture.h"

#include "app/common/resources.h"

#include <QRegularExpression>

using markers::Channel;
using markers::kLeft;
using markers::kRight;
using platform::LONG;

namespace {

class MouseTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(30);
    }
    markers::MarkerMouse &mouse() { return controller->mouse; }
};

TEST_F(MouseTest, PressDragReleaseCreatesTheFirstMarkerTaughtWithLearnCode8) {
    ASSERT_EQ(state.InteractionState, 5);
    mouse().SpecialMouseDown(kLeft, 0, 0, 100.4, 60.6);
    // The first press after opening leaves state 5 and creates at once.
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_TRUE(controller->marks.placing);
    EXPECT_EQ(controller->marks.pressX, 100);
    EXPECT_EQ(controller->marks.pressY, 61);
    EXPECT_EQ(countItems(markers::kTemporaryMarker), 1) << "the green cross-hair";
    ASSERT_EQ(host.magnifier.size(), 1u);
    EXPECT_TRUE(host.magnifier[0]);
    mouse().SpecialMouseMove(kLeft, 0, 0, 112.7, 64);
    // The first sizing move takes the cross-hair away with the temporary symbol and draws
    // the sizing symbol: a box under the temporary number, its cross and a path mark.
    EXPECT_EQ(countItems(markers::kTemporaryMarker), 1);
    EXPECT_EQ(countItems(markers::kTemporaryMarker + markers::kCrossOffset), 1);
    mouse().SpecialMouseUp(kLeft, 0, 0, 112.7, 64);

    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].text, "Point 1");
    EXPECT_EQ(host.rows[0].tag, "1");
    EXPECT_EQ(host.rows[0].icon, markers::MarkerIcon::PatternMatching);
    EXPECT_EQ(host.rows[0].cells[1], "100");
    EXPECT_EQ(host.rows[0].cells[2], "61");
    EXPECT_EQ(host.rows[0].cells[3], "0");
    EXPECT_EQ(host.selected, 0);
    EXPECT_EQ(pattern->log.filter(QRegularExpression("^(Teach|Learn)")),
              QStringList({"Teach", "Learn 8 0"}));
    EXPECT_EQ(pattern->taught, QStringList({"1 0 100 61 26"})); // size 2r, r = |100 - 112.7|
    const auto ch = channels(1);
    EXPECT_EQ(ch.get(Channel::PointStatus, 0), 1.0f);
    EXPECT_EQ(ch.get(Channel::PointSource, 0), 3.0f);
    EXPECT_EQ(ch.get(Channel::AutoTrack, 0), 1.0f);
    EXPECT_FLOAT_EQ(ch.get(Channel::PosX, 0), 100.0f / 320);
    EXPECT_EQ(ch.get(Channel::PointRadius, 29), 13.0f) << "every frame gets the radius";
    // The first marker after a reset gets colour entry 1: (255, 255, 128).
    EXPECT_EQ(ch.get(Channel::MarkerColor, 17), float(0x80FFFF));
    EXPECT_EQ(ch.get(Channel::TrackMode, 0), 16.0f);
    // Only the marker's own items remain, in its colour; the temporary ones are gone.
    EXPECT_EQ(countItems(markers::kTemporaryMarker), 0);
    EXPECT_EQ(countItems(markers::kTemporaryMarker + markers::kPathOffset), 0);
    platform::COLORREF color = 0;
    firstItem(1)->GetColor(&color);
    EXPECT_EQ(color, 0x80FFFFu);
    EXPECT_EQ(host.bands, std::vector<QColor>({QColor(255, 255, 128)}));
    EXPECT_EQ(controller->marks.pressX, -1);
    EXPECT_FALSE(controller->marks.releaseBusy);
}

TEST_F(MouseTest, RadiusRules) {
    // Press and release at one point: radius 0 at the release, half the pattern size while
    // sizing.
    mouse().SpecialMouseDown(kLeft, 0, 0, 50, 50);
    mouse().SpecialMouseMove(kLeft, 0, 0, 50, 50);
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    const auto box = firstItem(markers::kTemporaryMarker);
    ASSERT_TRUE(box);
    box->GetPoint1(&x1, &y1);
    box->GetPoint2(&x2, &y2);
    EXPECT_EQ(x2 - x1, 32.0f) << "2 x round(32 / 2)";
    mouse().SpecialMouseUp(kLeft, 0, 0, 51, 50);
    EXPECT_EQ(channels(1).get(Channel::PointRadius, 0), 0.0f) << "a radius below 2 is 0";

    // More than 100 pixels sideways: 100.
    create(150, 100, 170);
    EXPECT_EQ(channels(2).get(Channel::PointRadius, 0), 100.0f);
}

TEST_F(MouseTest, APressOnTheBorderIsInsideAndStoredOnTheLastPixel) {
    create(320, 240, -10);
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_FLOAT_EQ(channels(1).get(Channel::PosX, 0), 319.0f / 320);
    EXPECT_FLOAT_EQ(channels(1).get(Channel::PosY, 0), 239.0f / 240);
    // Outside: nothing is created.
    mouse().SpecialMouseDown(kLeft, 0, 0, 320.5, 10);
    EXPECT_FALSE(controller->marks.placing);
    mouse().SpecialMouseDown(kLeft, 0, 0, -0.1, 10);
    EXPECT_FALSE(controller->marks.placing);
    // A release outside leaves the creation pending until the next press.
    mouse().SpecialMouseDown(kLeft, 0, 0, 10, 10);
    mouse().SpecialMouseUp(kLeft, 0, 0, 400, 10);
    EXPECT_EQ(host.rows.size(), 1u);
    EXPECT_TRUE(controller->marks.placing);
}

TEST_F(MouseTest, MarkerTrackingTakesTheCentreTheTrackerFound) {
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    create(100, 60, 6);
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].icon, markers::MarkerIcon::MarkerTracking);
    EXPECT_EQ(tracker->taught, QStringList({"1 0 100 60 6"}));
    // The fake tracker finds the centre a quarter pixel off and a diameter of 2r + 1.
    const auto ch = channels(1);
    EXPECT_FLOAT_EQ(ch.get(Channel::PosX, 0), 100.25f / 320);
    EXPECT_FLOAT_EQ(ch.get(Channel::PosY, 0), 59.75f / 240);
    EXPECT_EQ(ch.get(Channel::PointRadius, 5), 6.5f);
    EXPECT_EQ(ch.get(Channel::TrackMode, 0), 32.0f);
}

TEST_F(MouseTest, ATeachingFailureIsToldAndLeavesNoHalfMarkerOrBusyFlag) {
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    tracker->teachFails = true;
    create(100, 60, 6);
    EXPECT_TRUE(host.rows.empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, common::res(state, 1057));
    EXPECT_FALSE(controller->marks.releaseBusy) << "the next release must be handled";
    EXPECT_TRUE(itemNumbers().empty());

    state.settings.TrackingMode = common::kTrackingPatternMatching;
    pattern->teachFails = true;
    create(100, 60, 6);
    EXPECT_TRUE(host.rows.empty());
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(itemNumbers().empty());

    pattern->teachFails = false;
    create(100, 60, 6);
    ASSERT_EQ(host.rows.size(), 1u);
    // Numbers are never given back: the failed ones used 1 and 2.
    EXPECT_EQ(host.rows[0].text, "Point 3");
}

TEST_F(MouseTest, CalibrationRequiredRefusesWithTheTwoMessages) {
    state.settings.CalibrationMandatory = true;
    mouse().SpecialMouseDown(kLeft, 0, 0, 10, 10);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "The video has not been calibrated. Please calibrate first.\n"
              "The need for a calibration before tracking can be deactivated in the options.");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Information);
    EXPECT_FALSE(controller->marks.placing);
    EXPECT_EQ(controller->marks.colorCounter, 0);
    EXPECT_TRUE(itemNumbers().empty());
    state.VideoCalibrated = true;
    create(10, 10);
    EXPECT_EQ(host.rows.size(), 1u);
}

TEST_F(MouseTest, WhileAVideoOpensNothingIsCreatedOrMoved) {
    state.InteractionState = 1;
    state.VideoOpening = true;
    mouse().CreateMarker(10, 10);
    EXPECT_FALSE(controller->marks.placing);
    mouse().SpecialMouseMove(kLeft | markers::kShift, 30, 30, 10, 10);
    EXPECT_EQ(controller->marks.panAnchorX, -1);
}

TEST_F(MouseTest, OnlyLeftShiftCtrlReachesMarkerWorkAmongModifiers) {
    for (LONG keys : {kLeft | markers::kShift, kLeft | markers::kCtrl, markers::kShift | kRight,
                      kLeft | markers::kShift | markers::kCtrl | 16}) {
        mouse().SpecialMouseDown(keys, 0, 0, 10, 10);
        EXPECT_TRUE(controller->marks.modifierDrag) << keys;
        EXPECT_FALSE(controller->marks.placing) << keys;
        mouse().SpecialMouseUp(keys, 0, 0, 10, 10);
        EXPECT_FALSE(controller->marks.modifierDrag) << keys;
    }
    mouse().SpecialMouseDown(markers::kMoveKeys, 0, 0, 10, 10);
    EXPECT_FALSE(controller->marks.modifierDrag);
    EXPECT_TRUE(controller->marks.placing);
}

TEST_F(MouseTest, ShiftCtrlReleaseMovesTheSelectedMarkerAndDiscardsItsLaterValues) {
    create(100, 60, 8);
    const auto ch = channels(1);
    for (int f = 1; f <= 5; ++f) {
        ch.put(Channel::PointStatus, f, 1.0f);
        ch.put(Channel::PosX, f, 0.5f);
        ch.put(Channel::PosY, f, 0.5f);
        ch.put(Channel::PointSource, f, 1.0f);
    }
    step(2);
    pattern->taught.clear();
    mouse().SpecialMouseDown(markers::kMoveKeys, 0, 0, 140.5, 70.25);
    mouse().SpecialMouseUp(markers::kMoveKeys, 0, 0, 140.5, 70.25);
    EXPECT_EQ(host.rows.size(), 1u) << "a move makes no row";
    EXPECT_FLOAT_EQ(ch.get(Channel::PosX, 2), float(140.5 / 320));
    EXPECT_FLOAT_EQ(ch.get(Channel::PosY, 2), float(70.25 / 240));
    EXPECT_EQ(ch.get(Channel::PointSource, 2), 2.0f);
    EXPECT_EQ(ch.get(Channel::PointStatus, 2), 1.0f);
    // Later values are gone and ready for automatic tracking; earlier ones stay.
    for (int f = 3; f <= 5; ++f) {
        EXPECT_EQ(ch.get(Channel::PointStatus, f), 0.0f) << f;
        EXPECT_EQ(ch.get(Channel::PosX, f), datalib::kMissing) << f;
    }
    EXPECT_EQ(ch.get(Channel::PointStatus, 1), 1.0f);
    // The discard re-teaches at the stored point, the move teaches at the new one.
    ASSERT_EQ(pattern->taught.size(), 2);
    EXPECT_EQ(pattern->taught[1], "1 2 140.5 70.25 16");
    // The rebuilt path: a mark for each of frames 0..2, one for the symbol the discard draws
    // at the stored point, one for the symbol at the new point.
    EXPECT_EQ(countItems(1 + markers::kPathOffset), 5);
}

TEST_F(MouseTest, PanAndZoomByDraggingStayInTheirLimits) {
    host.view.SetZoom(200); // 640 x 480 zoomed, the view is 640 x 480
    host.view.resize(300, 200);
    mouse().SpecialMouseDown(kLeft | markers::kShift, 50, 50, 0, 0);
    mouse().SpecialMouseMove(kLeft | markers::kShift, 50, 50, 0, 0); // sets the anchor
    mouse().SpecialMouseMove(kLeft | markers::kShift, 10, 20, 0, 0);
    EXPECT_EQ(host.view.HorizontalOffset(), 40);
    EXPECT_EQ(host.view.VerticalOffset(), 30);
    mouse().SpecialMouseMove(kLeft | markers::kShift, 5000, 5000, 0, 0);
    EXPECT_EQ(host.view.HorizontalOffset(), 0);
    EXPECT_EQ(host.view.VerticalOffset(), 0);
    mouse().SpecialMouseMove(kLeft | markers::kShift, 1, 1, 0, 0);
    EXPECT_EQ(host.view.HorizontalOffset(), 640 - 300);
    EXPECT_EQ(host.view.VerticalOffset(), 480 - 200);
    // A move left of the view leaves an anchor that is not positive: the next move only
    // takes a new anchor.
    mouse().SpecialMouseMove(kLeft | markers::kShift, -5, -5, 0, 0);
    mouse().SpecialMouseMove(kLeft | markers::kShift, 200, 200, 0, 0);
    EXPECT_EQ(host.view.HorizontalOffset(), 640 - 300);
    mouse().SpecialMouseMove(kLeft | markers::kShift, 210, 220, 0, 0);
    EXPECT_EQ(host.view.HorizontalOffset(), 640 - 300 - 10);
    EXPECT_EQ(host.view.VerticalOffset(), 480 - 200 - 20);

    mouse().SpecialMouseDown(kLeft | markers::kCtrl, 50, 300, 0, 0);
    mouse().SpecialMouseMove(kLeft | markers::kCtrl, 50, 300, 0, 0);
    mouse().SpecialMouseMove(kLeft | markers::kCtrl, 50, 250, 0, 0); // up enlarges
    EXPECT_EQ(host.view.Zoom(), 250);
    mouse().SpecialMouseMove(kLeft | markers::kCtrl, 50, 10, 0, 0);
    EXPECT_EQ(host.view.Zoom(), 400);
    mouse().SpecialMouseMove(kLeft | markers::kCtrl, 50, 900, 0, 0);
    EXPECT_EQ(host.view.Zoom(), 20);
    EXPECT_GE(host.statusUpdates, 3);
    // A press always starts a new anchor: the first move after it does not zoom.
    mouse().SpecialMouseDown(kLeft | markers::kCtrl, 50, 500, 0, 0);
    mouse().SpecialMouseMove(kLeft | markers::kCtrl, 50, 100, 0, 0);
    EXPECT_EQ(host.view.Zoom(), 20);
}

TEST_F(MouseTest, TheEmptyViewOpensAVideoAndTheRightButtonShowsThePopup) {
    mouse().SpecialMouseDown(kRight, 0, 0, 10, 10);
    EXPECT_EQ(host.popups, std::vector<markers::Popup>({markers::Popup::Video}));
    EXPECT_FALSE(controller->marks.placing);
    state.NoVideo = true;
    state.settings.DefVideoMode = 1;
    mouse().SpecialMouseDown(kRight, 0, 0, 10, 10);
    EXPECT_EQ(host.popups.size(), 1u) << "no popup without a video";
    mouse().SpecialMouseDown(kLeft, 0, 0, 10, 10);
    ASSERT_EQ(host.videoRequests.size(), 1u);
    EXPECT_EQ(host.videoRequests[0], std::make_pair(true, 1));
}

TEST_F(MouseTest, HandPlacementPutsTheSelectedMarkerAndTeachesThePattern) {
    create(100, 60, 8);
    channels(1).fill(Channel::AutoTrack, 0.0f);
    controller->mouse.tableItemClick(0);
    EXPECT_EQ(state.InteractionState, 4);
    step(3);
    pattern->taught.clear();
    mouse().SpecialMouseDown(kLeft, 0, 0, 120, 80);
    const auto ch = channels(1);
    EXPECT_FLOAT_EQ(ch.get(Channel::PosX, 3), 120.0f / 320);
    EXPECT_EQ(ch.get(Channel::PointStatus, 3), 1.0f);
    EXPECT_EQ(ch.get(Channel::AutoTrack, 3), 0.0f);
    EXPECT_EQ(ch.get(Channel::PointSource, 3), 0.0f);
    EXPECT_EQ(ch.get(Channel::MarkerColor, 3), ch.get(Channel::MarkerColor, 0));
    EXPECT_EQ(pattern->taught, QStringList({"1 3 120 80 16"}));
    EXPECT_FALSE(controller->marks.placing) << "placing creates no marker";
    EXPECT_EQ(host.rows.size(), 1u);
}

TEST_F(MouseTest, TableClicksSelectAndTheEmptyAreaReturnsToCreating) {
    create(100, 60, 8);
    create(200, 60, 8);
    host.selected = 0;
    controller->mouse.tableItemClick(0);
    EXPECT_EQ(controller->marks.lastSelectedMarker, 1);
    EXPECT_EQ(state.InteractionState, 1);
    // The selection look is drawn under the marker's number.
    LONG style = -1; // of the last box of marker 1
    forEachItem([&](LONG id, const auto &item) {
        if (id == 1)
            item->GetStyle(&style);
    });
    EXPECT_EQ(style, markers::kStyleSelection);
    host.selected = 1;
    controller->mouse.tableItemClick(1);
    EXPECT_EQ(controller->marks.lastSelectedMarker, 2);

    // A right release over a row shows the popup with its marks.
    state.settings.ShowAutoPath = true;
    controller->mouse.tableMouseUp(kRight, true);
    EXPECT_EQ(host.popups.back(), markers::Popup::Table);
    EXPECT_TRUE(host.checked[markers::TableEntry::ShowAllPaths]);
    EXPECT_FALSE(host.enabled[markers::TableEntry::ShowPathForMarker]);
    EXPECT_FALSE(host.checked[markers::TableEntry::TrackManually]);
    // A release on the empty area clears the selection and goes back to creating.
    state.InteractionState = 4;
    state.VideoOpening = true;
    controller->mouse.tableMouseUp(kLeft, false);
    EXPECT_EQ(host.selected, -1);
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_FALSE(state.VideoOpening);
    // Without a selected row a right release shows no popup.
    const auto popups = host.popups.size();
    controller->mouse.tableMouseUp(kRight, false);
    EXPECT_EQ(host.popups.size(), popups);
}

TEST_F(MouseTest, DiscardingEmptiesLaterFramesForTrackingAndTeachesAgain) {
    create(100, 60, 7);
    const auto ch = channels(1);
    for (int f = 1; f <= 6; ++f) {
        ch.put(Channel::PointStatus, f, 1.0f);
        ch.put(Channel::PosX, f, 0.25f);
        ch.put(Channel::PosY, f, 0.5f);
        ch.put(Channel::PointRadius, f, 6.5f);
        ch.put(Channel::AutoTrack, f, 0.0f);
    }
    step(3);
    pattern->taught.clear();
    controller->commands.DiscardFollowingValues(1);
    for (int f = 4; f <= 29; ++f) {
        EXPECT_EQ(ch.get(Channel::PointStatus, f), 0.0f) << f;
        EXPECT_EQ(ch.get(Channel::AutoTrack, f), 1.0f) << f;
        EXPECT_EQ(ch.get(Channel::Angle, f), datalib::kMissing) << f;
    }
    EXPECT_EQ(ch.get(Channel::PointStatus, 3), 1.0f);
    EXPECT_EQ(ch.get(Channel::AutoTrack, 3), 0.0f) << "up to the current frame nothing changes";
    // Taught at the stored point with twice the rounded radius (6.5 -> 6), learn code 8.
    EXPECT_EQ(pattern->taught, QStringList({"1 3 80 120 12"}));
    EXPECT_TRUE(pattern->log.contains("Learn 8 3"));
    // A path mark for frames 0..3 and the symbol's own.
    EXPECT_EQ(countItems(1 + markers::kPathOffset), 5);
    EXPECT_EQ(countItems(1), 1);

    // "Set new marker" makes the next press create one.
    state.InteractionState = 4;
    state.VideoOpening = true;
    controller->commands.SetNewMarker();
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_FALSE(state.VideoOpening);
}

} // namespace
