// Marker table, store and appearance: names and numbers, default colours, row bands, the
// symbol and path-mark geometry, path visibility and recolouring.
#include "markersfixture.h"
#include "platform/colorref.h"

using markers::Channel;
using markers::kPathOffset;
using platform::LONG;

namespace {

class AppearanceTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(20);
    }
    QRectF rectOf(const platform::ComPtr<datalib::TalvorGraphicItem> &item) {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        item->GetPoint1(&x1, &y1);
        item->GetPoint2(&x2, &y2);
        return QRectF(QPointF(x1, y1), QPointF(x2, y2));
    }
    platform::BOOL visible(LONG number) {
        platform::BOOL v = -1;
        if (auto item = firstItem(number))
            item->GetVisible(&v);
        return v;
    }
    // The visibility of every item with the number, in order.
    std::vector<platform::BOOL> visibilities(LONG number) {
        std::vector<platform::BOOL> out;
        forEachItem([&](LONG id, const auto &item) {
            platform::BOOL v = -1;
            item->GetVisible(&v);
            if (id == number)
                out.push_back(v);
        });
        return out;
    }
};

TEST_F(AppearanceTest, NumbersAndColoursAcrossResets) {
    create(50, 50);
    EXPECT_EQ(host.rows[0].text, "Point 1");
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(255, 255, 128))));
    // Deleting a marker's data and row does not give its number back.
    controller->store.removeMarkerData(1);
    host.removeRow(0);
    create(60, 50);
    EXPECT_EQ(host.rows[0].text, "Point 2");
    EXPECT_EQ(host.rows[0].tag, "2");
    // The colour continues with the colour counter: entry 2.
    EXPECT_EQ(channels(2).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(128, 255, 128))));
    EXPECT_FALSE(channels(1).has(Channel::PosX)) << "removed markers have no channels";
    EXPECT_TRUE(channels(1).has(Channel::TrackMode)) << "the track-method set keeps them";

    // The 26th marker gets entry 0, the 27th entry 1 again.
    controller->marks.colorCounter = 25;
    create(70, 50);
    EXPECT_EQ(channels(3).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(255, 128, 128))));
    create(80, 50);
    EXPECT_EQ(channels(4).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(255, 255, 128))));

    // A reset starts numbers and colours again and empties everything.
    controller->discardMarkers();
    EXPECT_TRUE(host.rows.empty());
    EXPECT_TRUE(itemNumbers().empty());
    EXPECT_FALSE(channels(2).has(Channel::TrackMode));
    EXPECT_TRUE(host.bands.empty());
    create(90, 50);
    EXPECT_EQ(host.rows[0].text, "Point 1");
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 0),
              float(platform::refFromColor(QColor(255, 255, 128))));
}

TEST_F(AppearanceTest, ResettingDropsEveryMarkerFromItsOwnEngine) {
    create(50, 50);
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    create(150, 50);
    controller->discardMarkers();
    EXPECT_TRUE(pattern->log.contains("Drop 1"));
    EXPECT_FALSE(pattern->log.contains("Drop 2"));
    EXPECT_TRUE(tracker->log.contains("Drop 2"));
    EXPECT_EQ(controller->marks.markerCounter, 0);
    EXPECT_EQ(controller->marks.colorCounter, 0);
    EXPECT_EQ(controller->marks.lastSelectedMarker, -1);
}

TEST_F(AppearanceTest, NewerChannelsWinAfterTheTrackMethodSetKeptOldOnes) {
    create(50, 50);
    controller->store.clear(false); // what "Delete all markers" empties
    host.clearRows();
    controller->marks.markerCounter = 0;
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    create(60, 50);
    EXPECT_EQ(channels(1).get(Channel::TrackMode, 0), 32.0f);
}

TEST_F(AppearanceTest, BandsFollowRowsAndLeaveOutsideTheReportView) {
    controller->table.paintRowBands();
    EXPECT_TRUE(host.bands.empty());
    EXPECT_EQ(host.autoSizes, 1) << "columns are sized even without rows";
    create(50, 50);
    create(90, 50);
    EXPECT_EQ(host.bands, std::vector<QColor>({QColor(255, 255, 128), QColor(128, 255, 128)}));
    host.reportView = false;
    const int sized = host.autoSizes;
    controller->table.paintRowBands();
    EXPECT_TRUE(host.bands.empty());
    EXPECT_EQ(host.autoSizes, sized);
    // A row without data ends the painting with no bands at all.
    host.reportView = true;
    host.rows[1].tag = "77";
    controller->table.paintRowBands();
    EXPECT_TRUE(host.bands.empty());
}

TEST_F(AppearanceTest, SymbolAndPathMarkGeometryFollowTheTraceSettings) {
    state.trace.Size = 1;
    state.trace.Item = 2;
    state.trace.LineWidth = 4;
    state.trace.Filled = true;
    state.trace.BackColor = 0x123456;
    controller->overlay.DrawMarkerSymbol(100, 50, 8, 5, 0xFF00FF, 0);
    EXPECT_EQ(rectOf(firstItem(5)), QRectF(QPointF(92, 42), QPointF(108, 58)));
    float cx = 0, cy = 0, size = 0;
    firstItem(5 + markers::kCrossOffset)->GetPoint1(&cx, &cy);
    firstItem(5 + markers::kCrossOffset)->GetSize(&size);
    EXPECT_EQ(QPointF(cx, cy), QPointF(100, 50));
    EXPECT_EQ(size, 3.0f);
    // Size 1: half size round(0.5) + 1 = 1 (halves to even); Filled with code 4: style 5.
    const auto mark = firstItem(5 + kPathOffset);
    EXPECT_EQ(rectOf(mark), QRectF(QPointF(99, 49), QPointF(101, 51)));
    LONG style = 0, kind = 0;
    mark->GetStyle(&style);
    mark->GetKind(&kind);
    EXPECT_EQ(style, 5);
    EXPECT_EQ(kind, 2);
    platform::COLORREF fill = 0;
    mark->GetFillColor(&fill);
    EXPECT_EQ(fill, 0x123456u);

    // Size 3: round(1.5) + 1 = 3; crosshairs sit on the point itself.
    state.trace.Size = 3;
    state.trace.Item = 6;
    controller->overlay.DrawMarkerSymbol(10, 20, 4, 6, 0xFF00FF, 0);
    const auto cross = firstItem(6 + kPathOffset);
    EXPECT_EQ(rectOf(cross), QRectF(QPointF(10, 20), QPointF(13, 23)));
    // A damaged kind makes no path mark but still the symbol.
    state.trace.Item = 5;
    controller->overlay.DrawMarkerSymbol(10, 20, 4, 7, 0xFF00FF, 0);
    EXPECT_EQ(countItems(7), 1);
    EXPECT_EQ(countItems(7 + kPathOffset), 0);
}

TEST_F(AppearanceTest, PathsGrowPerDrawnFrameAndFollowBothSwitches) {
    create(50, 50);
    create(150, 50);
    for (int f = 1; f <= 5; ++f)
        for (LONG m : {1, 2}) {
            const auto ch = channels(m);
            ch.put(Channel::PointStatus, f, 1.0f);
            ch.put(Channel::PosX, f, 0.1f * float(m));
            ch.put(Channel::PosY, f, 0.2f);
        }
    for (int f = 1; f <= 5; ++f)
        step(f);
    EXPECT_EQ(countItems(1 + kPathOffset), 6);
    EXPECT_EQ(countItems(2 + kPathOffset), 6);
    EXPECT_EQ(countItems(1), 1) << "one symbol at a time";

    state.settings.ShowAutoPath = false;
    controller->overlay.ApplyPathVisibility();
    EXPECT_EQ(visible(1 + kPathOffset), 0);
    EXPECT_EQ(visible(2 + kPathOffset), 0);
    // "Show path for this marker" on marker 2 only.
    host.selected = 1;
    controller->commands.ShowPathForMarker(true);
    EXPECT_EQ(visible(1 + kPathOffset), 0);
    EXPECT_EQ(visible(2 + kPathOffset), 1);
    EXPECT_EQ(channels(2).get(Channel::PathVisible, 19), 1.0f);
    EXPECT_EQ(channels(1).get(Channel::PathVisible, 0), 0.0f);
    // "Show all paths" shows every path, also marker 1's.
    controller->commands.ShowAllPaths(true);
    EXPECT_TRUE(state.settings.ShowAutoPath);
    EXPECT_TRUE(host.checked[markers::TableEntry::ShowAllPaths]);
    EXPECT_EQ(visible(1 + kPathOffset), 1);
    // Every mark of a path has one state, also the marks a pass adds.
    controller->commands.ShowAllPaths(false);
    step(5);
    EXPECT_EQ(visibilities(1 + kPathOffset), std::vector<platform::BOOL>(7, 0));
    EXPECT_EQ(visibilities(2 + kPathOffset), std::vector<platform::BOOL>(7, 1));
}

TEST_F(AppearanceTest, ColourChangesTheItemsTheBandAndOnlyFrameZero) {
    create(50, 50);
    host.selected = 0;
    const float before = channels(1).get(Channel::MarkerColor, 5);
    dialogs.colors = {std::nullopt};
    controller->commands.ChooseColor();
    ASSERT_EQ(dialogs.colorRequests.size(), 1u);
    EXPECT_EQ(dialogs.colorRequests[0], QColor(255, 255, 128));
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 0), before) << "cancelled: no change";

    dialogs.colors = {QColor(10, 20, 30)};
    controller->commands.ChooseColor();
    const platform::COLORREF chosen = platform::refFromColor(QColor(10, 20, 30));
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 0), float(chosen));
    EXPECT_EQ(channels(1).get(Channel::MarkerColor, 5), before);
    for (LONG number : {LONG(1), LONG(1 + markers::kCrossOffset), LONG(1 + kPathOffset)}) {
        platform::COLORREF c = 0;
        firstItem(number)->GetColor(&c);
        EXPECT_EQ(c, chosen) << number;
    }
    EXPECT_EQ(host.bands, std::vector<QColor>({QColor(10, 20, 30)}));
}

TEST_F(AppearanceTest, RedrawingAMarkerMovesItsSymbolAndAddsAPathMark) {
    create(50, 50);
    const int marks = countItems(1 + kPathOffset);
    channels(1).put(Channel::PosX, 0, 0.5f);
    controller->pass.RedrawMarker(1);
    EXPECT_EQ(countItems(1), 1);
    EXPECT_EQ(rectOf(firstItem(1)).center(), QPointF(160, 50));
    EXPECT_EQ(countItems(1 + kPathOffset), marks + 1);
    controller->overlay.RemoveMarkerItems(1);
    EXPECT_TRUE(itemNumbers().empty());
}

TEST_F(AppearanceTest, APathMarkOfAMarkerWithoutDataIsGreen) {
    controller->overlay.DrawPathMark(5, 5, 3, 42);
    platform::COLORREF c = 0;
    firstItem(42 + kPathOffset)->GetColor(&c);
    EXPECT_EQ(c, 65280u);
    EXPECT_EQ(visible(42 + kPathOffset), 0);
}

} // namespace
