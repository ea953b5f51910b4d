#include "control/cvviewctrl.h"
#include "control/rectangletracker.h"
#include "control/viewgeometry.h"
#include "frmwriter.h"
#include "recordingdialogs.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using namespace quivex;
using namespace testing_frm;
using Hit = RectangleTracker::Hit;

namespace {

constexpr LONG kDotted = RectangleTracker::DottedLine | RectangleTracker::ResizeOutside;

// Over a 160 x 120 image at zoom 100, holding (40, 40) - (120, 100); with outside handles of
// 8 pixels the top-left one covers (32..39, 32..39).
RectangleTracker trackerAt100(LONG style = kDotted) {
    RectangleTracker t;
    EXPECT_TRUE(t.activate(style, 40, 40, 120, 100, 100, 160, 120));
    return t;
}

TrackerEdges dragged(RectangleTracker t, QPoint from, QPoint to) {
    EXPECT_TRUE(t.beginDrag(from));
    t.dragTo(to);
    t.endDrag(to);
    return t.rect();
}

} // namespace

TEST(RectangleTracker, ActivationAndZoomPutsScaleIntoZoomedPixels) {
    RectangleTracker t;
    ASSERT_TRUE(t.activate(kDotted, 10.25f, 21.0f, 50.5f, 60.0f, 100, 160, 120));
    EXPECT_EQ(t.rect(), (TrackerEdges{10, 21, 51, 60})); // + 0.5, truncated
    ASSERT_TRUE(t.activate(kDotted, 10.25f, 21.0f, 50.5f, 60.0f, 200, 160, 120));
    EXPECT_EQ(t.rect(), (TrackerEdges{21, 42, 101, 120}));
    EXPECT_EQ(t.limitRight(), 320);
    EXPECT_FLOAT_EQ(t.imageRect()[0], 10.5f);

    // A zoom put keeps the image position: 42 / 2 * 0.33 + 0.5 = 7.43, 7 / 0.33 = 21.2.
    t.rescale(33);
    EXPECT_EQ(t.rect(), (TrackerEdges{3, 7, 17, 20}));
    t.rescale(100);
    EXPECT_EQ(t.rect(), (TrackerEdges{9, 21, 52, 61}));

    // Edges the wrong way round are put in order, NaN and huge values stay bounded, and a
    // zoom of 0 (only a loaded state holds one) is refused.
    ASSERT_TRUE(t.activate(1, 50, std::numeric_limits<float>::quiet_NaN(), 3e38f, 20, 100, 1, 1));
    EXPECT_EQ(t.rect(), (TrackerEdges{50, 0, kFarCoordinate, 20}));
    EXPECT_FALSE(t.activate(1, 0, 0, 10, 10, 0, 1, 1));
    EXPECT_EQ(t.rect().left, 50);
}

TEST(RectangleTracker, HitTestFindsHandlesOnlyWithAResizeStyle) {
    const RectangleTracker t = trackerAt100();
    EXPECT_EQ(t.hitTest({35, 35}), Hit::TopLeft);
    EXPECT_EQ(t.hitTest({123, 103}), Hit::BottomRight);
    EXPECT_EQ(t.hitTest({80, 35}), Hit::Top); // x 76..83 round the middle of the top edge
    EXPECT_EQ(t.hitTest({75, 35}), Hit::None);
    EXPECT_EQ(t.hitTest({120, 70}), Hit::Right); // the right edge lies just outside
    EXPECT_EQ(t.hitTest({119, 99}), Hit::Middle);
    EXPECT_EQ(trackerAt100(RectangleTracker::ResizeInside).hitTest({42, 42}), Hit::TopLeft);
    EXPECT_EQ(trackerAt100(RectangleTracker::SolidLine).hitTest({35, 35}), Hit::None);
    // A hatched border is grabbed like the middle.
    const RectangleTracker hatched = trackerAt100(RectangleTracker::HatchedBorder);
    EXPECT_EQ(hatched.hitTest({32, 70}), Hit::Middle);
    EXPECT_EQ(hatched.hitTest({31, 70}), Hit::None);
}

TEST(RectangleTracker, AMoveKeepsItsSizeAtTheLimitsAResizeClipsOnlyTheMovedEdge) {
    // The limits of a 160 x 120 image at zoom 100 are (0, 0) - (160, 120).
    EXPECT_EQ(dragged(trackerAt100(), {80, 70}, {130, 70}), (TrackerEdges{80, 40, 160, 100}));
    EXPECT_EQ(dragged(trackerAt100(), {80, 70}, {0, 0}), (TrackerEdges{0, 0, 80, 60}));
    EXPECT_EQ(dragged(trackerAt100(), {123, 70}, {200, 70}), (TrackerEdges{40, 40, 160, 100}));
    EXPECT_EQ(dragged(trackerAt100(), {35, 35}, {-20, 45}), (TrackerEdges{0, 50, 120, 100}));
    // Past the opposite edge the result is in order; exactly its own width past it, the size
    // comes out unchanged and still only the moved edge is clipped.
    EXPECT_EQ(dragged(trackerAt100(), {123, 70}, {13, 70}), (TrackerEdges{10, 40, 40, 100}));
    RectangleTracker narrow;
    ASSERT_TRUE(narrow.activate(kDotted, 10, 40, 40, 100, 100, 160, 120));
    EXPECT_EQ(dragged(narrow, {43, 70}, {-17, 70}), (TrackerEdges{0, 40, 10, 100}));
    // A rectangle larger than the limits cannot keep its size.
    EXPECT_EQ(RectangleTracker::limited({-10, 5, 190, 25}, true, 160, 120),
              (TrackerEdges{0, 5, 160, 25}));

    // A drag that comes back, or is cancelled, changes nothing, even outside the limits.
    RectangleTracker t;
    ASSERT_TRUE(t.activate(kDotted, 100, 40, 200, 100, 100, 160, 120));
    ASSERT_TRUE(t.beginDrag({150, 70}));
    t.dragTo({140, 75});
    EXPECT_EQ(t.rect(), (TrackerEdges{60, 45, 160, 105})); // shown as the release would keep
    EXPECT_FALSE(t.endDrag({150, 70}));
    EXPECT_EQ(t.rect(), (TrackerEdges{100, 40, 200, 100}));
    ASSERT_TRUE(t.beginDrag({150, 70}));
    t.dragTo({140, 70});
    t.rescale(100); // a zoom put cancels the drag
    EXPECT_FALSE(t.dragging());
    EXPECT_EQ(t.rect(), (TrackerEdges{100, 40, 200, 100}));
}

namespace {

class TrackerView : public ::testing::Test {
protected:
    void SetUp() override {
        ctrl.resize(200, 150);
        ctrl.SetBackColor(0x00FFFFFF); // white, so the tracker's black shows everywhere
        ctrl.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&ctrl));
    }
    // A 160 x 120 raw frame file, so that the limits are the image's.
    void openVideo() {
        FrmSpec s;
        s.width = 160;
        s.height = 120;
        s.countA = s.framesWritten = 1;
        ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "tracker.frm", s).string(), 0), 0);
    }
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(&ctrl, Qt::LeftButton, {}, from);
        QTest::mouseMove(&ctrl, to);
        QTest::mouseRelease(&ctrl, Qt::LeftButton, {}, to);
    }
    static std::array<float, 4> edgesOf(const QList<QVariant> &event) {
        return {event.at(0).toFloat(), event.at(1).toFloat(), event.at(2).toFloat(),
                event.at(3).toFloat()};
    }
    QRgb at(const QImage &image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    QSignalSpy rect{&ctrl, &CVViewCtrl::NewRectangle};
    QSignalSpy down{&ctrl, &CVViewCtrl::SpecialMouseDown};
    QSignalSpy move{&ctrl, &CVViewCtrl::SpecialMouseMove};
    QSignalSpy up{&ctrl, &CVViewCtrl::SpecialMouseUp};
};

constexpr QRgb kBlack = 0x000000, kWhite = 0xFFFFFF;

} // namespace

TEST_F(TrackerView, DragsReportImagePixelsAndOwnTheMouseEvents) {
    openVideo();
    ctrl.SetZoom(200);
    ASSERT_EQ(ctrl.ActivateRectangle(1, kDotted, 10, 10, 40, 30), 0); // (20, 20) - (80, 60)
    drag({50, 40}, {61, 45});
    ASSERT_EQ(rect.count(), 1);
    EXPECT_EQ(edgesOf(rect.takeFirst()), (std::array<float, 4>{15.5f, 12.5f, 45.5f, 32.5f}));
    EXPECT_EQ(down.count() + move.count() + up.count(), 0);

    // A zoom put keeps the image position: at 400 % a 4-pixel move is one image pixel.
    ctrl.SetZoom(400); // (62, 50) - (182, 130)
    drag({100, 80}, {104, 80});
    ASSERT_EQ(rect.count(), 1);
    EXPECT_EQ(edgesOf(rect.takeFirst()), (std::array<float, 4>{16.5f, 12.5f, 46.5f, 32.5f}));

    // A second button cancels the drag and the rest of the gesture stays the tracker's.
    QTest::mousePress(&ctrl, Qt::LeftButton, {}, QPoint(100, 80));
    QTest::mouseMove(&ctrl, QPoint(120, 80));
    QTest::mousePress(&ctrl, Qt::RightButton, {}, QPoint(120, 80));
    QTest::mouseRelease(&ctrl, Qt::LeftButton, {}, QPoint(120, 80));
    EXPECT_EQ(rect.count() + down.count() + up.count(), 0);
    QTest::mouseRelease(&ctrl, Qt::RightButton, {}, QPoint(120, 80));

    // A drag whose release never came does not swallow the next left press.
    QTest::mousePress(&ctrl, Qt::LeftButton, {}, QPoint(100, 80));
    drag({100, 80}, {104, 80});
    ASSERT_EQ(rect.count(), 1);
    EXPECT_FLOAT_EQ(edgesOf(rect.first())[0], 17.5f);

    // Moves with no button still report.
    QTest::mouseMove(&ctrl, QPoint(150, 120));
    EXPECT_GE(move.count(), 1);
}

TEST_F(TrackerView, APressBesideTheRectangleChangesAndFiresNothing) {
    openVideo();
    ctrl.SetAVIFrame(0);
    ASSERT_EQ(ctrl.ActivateRectangle(1, kDotted, 20, 20, 60, 60), 0);
    const QImage before = ctrl.composeView(ctrl.size());
    drag({150, 100}, {40, 40});
    EXPECT_EQ(rect.count() + down.count(), 0);
    EXPECT_EQ(ctrl.composeView(ctrl.size()), before);
    EXPECT_EQ(up.count(), 1); // the tracker never took that gesture
}

TEST_F(TrackerView, TheCursorShowsTheHandleUnderThePointerAndIsRestored) {
    ctrl.setCursor(Qt::CrossCursor); // a cursor of the host's
    ASSERT_EQ(ctrl.ActivateRectangle(1, kDotted, 40, 40, 120, 100), 0);
    for (const auto &[point, shape] : {std::pair{QPoint(35, 35), Qt::SizeFDiagCursor},
                                       {QPoint(123, 35), Qt::SizeBDiagCursor},
                                       {QPoint(123, 70), Qt::SizeHorCursor},
                                       {QPoint(80, 103), Qt::SizeVerCursor},
                                       {QPoint(80, 70), Qt::SizeAllCursor},
                                       {QPoint(180, 130), Qt::CrossCursor},
                                       {QPoint(81, 70), Qt::SizeAllCursor}}) {
        QTest::mouseMove(&ctrl, point);
        EXPECT_EQ(ctrl.cursor().shape(), shape) << point.x() << "," << point.y();
    }
    ASSERT_EQ(ctrl.ActivateRectangle(0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(ctrl.cursor().shape(), Qt::CrossCursor);
}

TEST_F(TrackerView, TheRectangleIsDrawnUnshiftedByTheOffsetsWhileTrackingIsOn) {
    ctrl.SetHorizontalOffset(30);
    ctrl.SetVerticalOffset(10);
    const QImage without = ctrl.composeView(ctrl.size());
    const LONG solid = RectangleTracker::SolidLine | RectangleTracker::ResizeOutside;
    ASSERT_EQ(ctrl.ActivateRectangle(1, solid, 20, 30, 80, 70), 0);
    QImage img = ctrl.composeView(ctrl.size());
    for (const QPoint p : {QPoint(20, 30), QPoint(79, 69), QPoint(50, 30),  // the outline
                           QPoint(15, 25), QPoint(50, 25), QPoint(84, 74)}) // three handles
        EXPECT_EQ(at(img, p.x(), p.y()), kBlack) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(50, 31), QPoint(80, 40), QPoint(19, 31), QPoint(50, 20)})
        EXPECT_EQ(at(img, p.x(), p.y()), kWhite) << p.x() << "," << p.y();

    // The default dotted line alternates black and white.
    ASSERT_EQ(ctrl.ActivateRectangle(1, kDotted, 20, 30, 80, 70), 0);
    img = ctrl.composeView(ctrl.size());
    EXPECT_EQ(at(img, 30, 30) ^ at(img, 31, 30), kWhite);

    // Every style bit on a rectangle far beyond the view still paints its inside.
    ASSERT_EQ(ctrl.ActivateRectangle(1, 63, -1e9f, -1e9f, 1e9f, 1e9f), 0);
    EXPECT_NE(ctrl.composeView(ctrl.size()), without);

    // Switched off, nothing is drawn and a left press is the host's again.
    ASSERT_EQ(ctrl.ActivateRectangle(0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(ctrl.composeView(ctrl.size()), without);
    QTest::mouseClick(&ctrl, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(down.count(), 1);
}
