// The main window's layout rule as arithmetic: minimum size and the placement of the frames.
#include "app/shell/layout.h"

#include <gtest/gtest.h>

namespace shell {
namespace {

TEST(LayoutRule, MinimumOuterSizeIsTheTwipsRuleInPixels) {
    EXPECT_EQ(minimumOuterSize(), QSize(960, 708));
    // At 12 twips per pixel (120 dots per inch) the same twips are more pixels.
    EXPECT_EQ(minimumOuterSize(12, 12), QSize(1200, 885));
}

TEST(LayoutRule, ClampSnapsEachSideOnItsOwn) {
    EXPECT_EQ(clampOuterSize(QSize(500, 400)), QSize(960, 708));
    EXPECT_EQ(clampOuterSize(QSize(1200, 400)), QSize(1200, 708));
    EXPECT_EQ(clampOuterSize(QSize(800, 900)), QSize(960, 900));
    EXPECT_EQ(clampOuterSize(QSize(960, 708)), QSize(960, 708));
    EXPECT_EQ(clampOuterSize(QSize(1920, 1080)), QSize(1920, 1080));
}

TEST(LayoutRule, PlacesFramesViewMagnifierAndTableByTheRule) {
    const MainLayout l = layoutMainWindow(QSize(944, 650), QSize(120, 120));
    // 0.77 x 944 = 726.88 and 0.21 x 944 = 198.24, each to the nearest pixel.
    EXPECT_EQ(l.fraVideo, QRect(8, 32, 727, 589));
    EXPECT_EQ(l.qvxVideo, QRect(16, 48, 710, 564));
    EXPECT_EQ(l.fraRight, QRect(742, 32, 198, 589));
    EXPECT_EQ(l.imgLupe, QRect(8, 16, 120, 120));
    EXPECT_EQ(l.lvwPoints, QRect(8, 144, 182, 433));
}

TEST(LayoutRule, TableFollowsTheMagnifierSize) {
    const MainLayout small = layoutMainWindow(QSize(1200, 800), QSize(64, 48));
    EXPECT_EQ(small.imgLupe, QRect(8, 16, 64, 48));
    EXPECT_EQ(small.lvwPoints.top(), 16 + 48 + 8);
    EXPECT_EQ(small.lvwPoints.height(), small.fraRight.height() - 36 - 48);
}

TEST(LayoutRule, FramesStayInsideTheWindowFromTheMinimumUp) {
    for (int width = 944; width <= 2600; width += 7) {
        const MainLayout l = layoutMainWindow(QSize(width, 700));
        SCOPED_TRACE(width);
        EXPECT_GT(l.fraRight.left(), l.fraVideo.left() + l.fraVideo.width());
        EXPECT_LE(l.fraRight.left() + l.fraRight.width(), width);
        EXPECT_EQ(l.fraRight.height(), l.fraVideo.height());
        EXPECT_LT(l.qvxVideo.left() + l.qvxVideo.width(), l.fraVideo.left() + l.fraVideo.width());
    }
}

TEST(LayoutRule, TinyOrEmptyInnerSizesGiveNoNegativeSizes) {
    for (const QSize inner : {QSize(0, 0), QSize(10, 10), QSize(-5, -5), QSize(100, 60)}) {
        const MainLayout l = layoutMainWindow(inner);
        for (const QRect &r : {l.fraVideo, l.qvxVideo, l.fraRight, l.lvwPoints}) {
            EXPECT_GE(r.width(), 0);
            EXPECT_GE(r.height(), 0);
        }
    }
}

} // namespace
} // namespace shell
