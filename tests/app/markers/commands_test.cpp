// The marker table's popup commands with scripted engines: deleting markers and the counter
// rules, tracking by hand and back, local tracking settings, and discarding values.
#include "markersfixture.h"
#include "platform/colorref.h"

using markers::Channel;
using platform::LONG;

namespace {

class CommandsTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(30);
    }
    QStringList names() {
        QStringList out;
        for (const auto &row : host.rows)
            out << row.text;
        return out;
    }
    markers::MarkersCommands &commands() { return controller->commands; }
};

TEST_F(CommandsTest, DeletingMarkersKeepsNumbersAndFollowsTheCounterRules) {
    create(50, 50);
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    create(150, 50);
    state.settings.TrackingMode = common::kTrackingPatternMatching;
    create(250, 50);
    ASSERT_EQ(names(), QStringList({"Point 1", "Point 2", "Point 3"}));

    // Delete the middle one: the others keep their numbers, rows and colours.
    host.selected = 1;
    controller->marks.lastSelectedMarker = 2;
    state.InteractionState = 4;
    commands().DeleteMarker();
    EXPECT_EQ(names(), QStringList({"Point 1", "Point 3"}));
    EXPECT_TRUE(tracker->log.contains("Drop 2")) << "out of the engine it was tracked by";
    EXPECT_FALSE(pattern->log.contains("Drop 2"));
    EXPECT_EQ(countItems(2), 0);
    EXPECT_EQ(countItems(2 + markers::kPathOffset), 0);
    EXPECT_FALSE(channels(2).has(Channel::PosX));
    EXPECT_EQ(host.bands, std::vector<QColor>({QColor(255, 255, 128), QColor(128, 255, 255)}));
    EXPECT_EQ(controller->marks.lastSelectedMarker, -1);
    EXPECT_EQ(state.InteractionState, 4) << "other markers remain: the state stays";
    commands().SetNewMarker();
    create(300, 60);
    EXPECT_EQ(host.rows.back().text, "Point 4");

    // Delete all: numbers and colours start again, the items are all gone.
    commands().DeleteAllMarkers();
    EXPECT_TRUE(host.rows.empty());
    EXPECT_TRUE(itemNumbers().empty());
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_TRUE(host.bands.empty());
    EXPECT_TRUE(channels(1).has(Channel::TrackMode)) << "the track-method set is kept";
    EXPECT_FALSE(channels(1).has(Channel::PosX));
    create(60, 60);
    EXPECT_EQ(names(), QStringList({"Point 1"}));
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(255, 255, 128))));
}

TEST_F(CommandsTest, DeletingTheLastMarkerRestartsNumbersButNotColours) {
    create(50, 50);
    host.selected = 0;
    state.InteractionState = 4;
    commands().DeleteMarker();
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_EQ(controller->marks.markerCounter, 0);
    create(60, 60);
    EXPECT_EQ(names(), QStringList({"Point 1"}));
    // The colour counter went on: entry 2.
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(128, 255, 128))));
}

TEST_F(CommandsTest, TrackingByHandAndBackThenPlacingWithState4) {
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    create(100, 60, 6);
    host.selected = 0;
    commands().TrackManually();
    EXPECT_EQ(host.rows[0].text, "M-Point 1");
    EXPECT_EQ(host.rows[0].icon, markers::MarkerIcon::Manual);
    EXPECT_EQ(state.InteractionState, 4);
    EXPECT_EQ(channels(1).get(Channel::AutoTrack, 17), 0.0f);
    commands().UpdateTablePopup(0);
    EXPECT_TRUE(host.checked[markers::TableEntry::TrackManually]);

    // A press now places the marker at the current frame.
    step(5);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 140, 90);
    EXPECT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(channels(1).get(Channel::PointStatus, 5), 1.0f);
    EXPECT_FLOAT_EQ(channels(1).get(Channel::PosX, 5), 140.0f / 320);
    // Hand-tracked markers are not tracked into the next frame.
    step(6);
    EXPECT_EQ(channels(1).get(Channel::PointStatus, 6), 0.0f);

    // Twice: back to the first name and the icon of its tracking mode.
    commands().TrackManually();
    EXPECT_EQ(host.rows[0].text, "Point 1");
    EXPECT_EQ(host.rows[0].icon, markers::MarkerIcon::MarkerTracking);
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_EQ(channels(1).get(Channel::AutoTrack, 17), 1.0f);
}

TEST_F(CommandsTest, LocalSettingsTeachThePatternAgainAtItsReferenceFrame) {
    create(100, 60, 8);
    const auto ch = channels(1);
    for (int f = 1; f <= 4; ++f) {
        ch.put(Channel::PointStatus, f, 1.0f);
        ch.put(Channel::PosX, f, 0.25f + 0.01f * f);
        ch.put(Channel::PosY, f, 0.5f);
        ch.put(Channel::Angle, f, 2.0f * f);
        ch.put(Channel::PointRadius, f, 7.25f);
    }
    step(4);
    host.selected = 0;
    pattern->log.clear();
    pattern->taught.clear();
    // Following the frame before: taught from frame 3, in the frame context of frame 4.
    commands().LocalTrackingSettings();
    EXPECT_TRUE(pattern->log.contains("SettingsDialog 4"));
    EXPECT_TRUE(pattern->log.contains("Learn 8 3"));
    ASSERT_EQ(pattern->taught.size(), 1);
    EXPECT_EQ(pattern->taught[0], QStringLiteral("1 4 %1 120 14").arg(double(0.28f) * 320));
    // A fixed reference frame: taught from it.
    pattern->localSettings = {{engines::ReferenceMode, 1}, {engines::ReferenceFrame, 2}};
    commands().LocalTrackingSettings();
    EXPECT_TRUE(pattern->log.contains("Learn 8 2"));
    // A reference frame without a point teaches nothing.
    pattern->localSettings = {{engines::ReferenceMode, 1}, {engines::ReferenceFrame, 20}};
    pattern->taught.clear();
    commands().LocalTrackingSettings();
    EXPECT_TRUE(pattern->taught.isEmpty());

    // Marker tracking: only the tracker's dialog for the frame.
    ch.fill(Channel::TrackMode, 32.0f);
    commands().LocalTrackingSettings();
    EXPECT_TRUE(tracker->log.contains("SettingsDialog 4 0"));
}

TEST_F(CommandsTest, DiscardingFromTheMiddleLetsTrackingGoOnFromThere) {
    create(100, 60, 8);
    for (int f = 1; f <= 10; ++f)
        pattern->answers[{1, f}] = fake::Answer{100.0 + f, 60, 0, 16};
    for (int f = 1; f <= 10; ++f)
        step(f);
    EXPECT_EQ(channels(1).get(Channel::PointStatus, 10), 1.0f);
    // Back to frame 4, discard: frames 5.. are empty, then tracking continues from 4.
    step(4);
    host.selected = 0;
    commands().DiscardFollowingValues(1);
    EXPECT_EQ(channels(1).get(Channel::PointStatus, 5), 0.0f);
    EXPECT_EQ(channels(1).get(Channel::PointStatus, 4), 1.0f);
    pattern->answers[{1, 5}] = fake::Answer{200, 70, 0, 16};
    step(5);
    EXPECT_EQ(channels(1).get(Channel::PointStatus, 5), 1.0f);
    EXPECT_FLOAT_EQ(channels(1).get(Channel::PosX, 5), 200.0f / 320);
    EXPECT_EQ(channels(1).get(Channel::PointSource, 5), 1.0f);
}

TEST_F(CommandsTest, ThePopupShowsThePathSwitchesOfTheSelectedMarker) {
    create(100, 60);
    state.settings.ShowAutoPath = false;
    channels(1).fill(Channel::PathVisible, 1.0f);
    commands().UpdateTablePopup(0);
    EXPECT_FALSE(host.checked[markers::TableEntry::ShowAllPaths]);
    EXPECT_TRUE(host.enabled[markers::TableEntry::ShowPathForMarker]);
    EXPECT_TRUE(host.checked[markers::TableEntry::ShowPathForMarker]);
    EXPECT_FALSE(host.checked[markers::TableEntry::TrackManually]);
}

} // namespace
