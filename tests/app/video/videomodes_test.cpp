// The zoom commands on a view without a control; modes, rotation, mirroring and check marks
// on the real view.
#include "videofixture.h"

using namespace video;

namespace {
QString small() {
    return Clips::instance().make("small.avi", 320, 240, 10, 25);
}
} // namespace

class ZoomTest : public FakeViewFixture {
protected:
    void openVideo(int width, int height) {
        host.view.next = {width, height, 10, 25.0f};
        open("clip.avi");
    }
    void openPal() { openVideo(720, 576); }
};

class ModesTest : public VideoFixture {};

TEST_F(ZoomTest, ZoomCommandsClampTo20And400) {
    openPal();
    host.view.SetZoom(25);
    modes().toolbarZoom(ToolButton::Minus10);
    EXPECT_EQ(host.view.Zoom(), 20);
    host.view.SetZoom(395);
    modes().toolbarZoom(ToolButton::Plus10);
    EXPECT_EQ(host.view.Zoom(), 400);
    modes().toolbarZoom(ToolButton::Plus10);
    EXPECT_EQ(host.view.Zoom(), 400);
    modes().toolbarZoom(ToolButton::To100);
    EXPECT_EQ(host.view.Zoom(), 100);
    EXPECT_EQ(host.panels[StatusPanel::Zoom], "Zoom: 100%");
    EXPECT_FALSE(modes().toolbarZoom(ToolButton::Scale));
}

TEST_F(ZoomTest, ZoomKeepsTheViewInsideTheScaledPicture) {
    openPal();
    host.view.resize(400, 300);
    host.view.SetZoom(100);
    host.view.SetHorizontalOffset(1200);
    host.view.SetVerticalOffset(900);
    modes().ZoomChange(200);
    EXPECT_EQ(host.view.HorizontalOffset(), 1440 - 400);
    EXPECT_EQ(host.view.VerticalOffset(), 1152 - 300);
    // Within the picture the offsets stay: 900 + 400 ends before 1440.
    host.view.SetHorizontalOffset(900);
    modes().ZoomChange(200);
    EXPECT_EQ(host.view.HorizontalOffset(), 900);
    // A picture smaller than the view has no offsets at all.
    modes().ZoomChange(50);
    EXPECT_EQ(host.view.HorizontalOffset(), 0);
    EXPECT_EQ(host.view.VerticalOffset(), 0);
    // Offsets inside the picture stay.
    modes().ZoomChange(200);
    host.view.SetHorizontalOffset(100);
    host.view.SetVerticalOffset(50);
    modes().ZoomChange(190);
    EXPECT_EQ(host.view.HorizontalOffset(), 100);
    EXPECT_EQ(host.view.VerticalOffset(), 50);
}

TEST_F(ZoomTest, TheWheelZoomsInToolbarStepsAroundThePointer) {
    // Without a video the wheel does nothing.
    host.view.SetZoom(100);
    modes().zoomAt(1, QPoint(10, 10));
    EXPECT_EQ(host.view.Zoom(), 100);

    openPal();
    host.view.resize(400, 300);
    modes().ZoomChange(100);
    host.view.SetHorizontalOffset(200);
    host.view.SetVerticalOffset(100);
    // Picture point (200 + 100, 100 + 60) = (300, 160) lies under the pointer at (100, 60).
    modes().zoomAt(2, QPoint(100, 60));
    EXPECT_EQ(host.view.Zoom(), 120);
    EXPECT_EQ(host.view.HorizontalOffset(), 300 * 120 / 100 - 100);
    EXPECT_EQ(host.view.VerticalOffset(), 160 * 120 / 100 - 60);
    EXPECT_EQ(host.panels[StatusPanel::Zoom], "Zoom: 120%");
    // Back out: the same point returns under the pointer.
    modes().zoomAt(-2, QPoint(100, 60));
    EXPECT_EQ(host.view.Zoom(), 100);
    EXPECT_EQ(host.view.HorizontalOffset(), 200);
    EXPECT_EQ(host.view.VerticalOffset(), 100);
    // Near the picture's edge the view stays inside it: (710, 566) would want offsets
    // (107, 106) at 70 %, beyond the scaled picture of 504 x 403.
    host.view.SetHorizontalOffset(320);
    host.view.SetVerticalOffset(276);
    modes().zoomAt(-3, QPoint(390, 290));
    EXPECT_EQ(host.view.Zoom(), 70);
    EXPECT_EQ(host.view.HorizontalOffset(), 504 - 400);
    EXPECT_EQ(host.view.VerticalOffset(), 403 - 300);
    modes().zoomAt(-1000000, QPoint(0, 0));
    EXPECT_EQ(host.view.Zoom(), 20);
    EXPECT_EQ(host.view.HorizontalOffset(), 0);
    modes().zoomAt(1000000, QPoint(0, 0));
    EXPECT_EQ(host.view.Zoom(), 400);
    EXPECT_EQ(host.view.HorizontalOffset(), 0) << "the point under the pointer was (0, 0)";
}

TEST_F(ZoomTest, FitTakesTheSmallerZoomAndIsNotClamped) {
    openPal();
    host.view.resize(360, 400);
    host.view.SetHorizontalOffset(30);
    modes().FitZoomToView();
    EXPECT_EQ(host.view.Zoom(), 50);
    EXPECT_EQ(host.view.HorizontalOffset(), 0);
    host.view.resize(2000, 2000);
    modes().toolbarZoom(ToolButton::FitView);
    EXPECT_EQ(host.view.Zoom(), 278);
    host.view.resize(2000, 4000);
    host.view.SetZoom(100);
    openVideo(320, 240); // fits at 625 by width, above the commands' 400
    EXPECT_EQ(host.view.Zoom(), 625);
}

TEST_F(ZoomTest, FitWithoutAPictureKeepsTheZoom) {
    host.view.SetZoom(130);
    modes().FitZoomToView();
    EXPECT_EQ(host.view.Zoom(), 130);
}

TEST_F(ModesTest, RotationTogglesAndReplaces) {
    open(small());
    modes().Rotate(kRotate90);
    EXPECT_EQ(modes().VideoRotation(), kRotate90);
    EXPECT_EQ(host.view.AVIWidth(), 240);
    EXPECT_EQ(host.view.AVIHeight(), 320);
    EXPECT_TRUE(host.checked[MenuEntry::Rotate90]);
    modes().Rotate(kRotate90);
    EXPECT_EQ(modes().VideoRotation(), 0);
    EXPECT_EQ(host.view.AVIWidth(), 320);
    EXPECT_FALSE(host.checked[MenuEntry::Rotate90]);
    modes().Rotate(kRotate90);
    modes().Rotate(kRotate180);
    EXPECT_EQ(modes().VideoRotation(), kRotate180);
    EXPECT_FALSE(host.checked[MenuEntry::Rotate90]);
    EXPECT_TRUE(host.checked[MenuEntry::Rotate180]);
    EXPECT_EQ(host.view.AVIWidth(), 320);
}

TEST_F(ModesTest, MirrorWithFieldsOpensWithBothBits) {
    open(small());
    modes().ApplyVideoMode(kModeFields);
    modes().ToggleMirror();
    EXPECT_EQ(modes().openMode(state.VideoMode), 2048 + 1 + 131072);
    EXPECT_TRUE(host.checked[MenuEntry::Mirror]);
    EXPECT_TRUE(host.checked[MenuEntry::Fields]);
    EXPECT_FALSE(host.checked[MenuEntry::FullFrames]);
    // Fields double the frames; the scroll range follows the view.
    EXPECT_EQ(host.maximum, 19);
    modes().ToggleMirror();
    EXPECT_EQ(modes().VideoMirror(), 0);
}

TEST_F(ModesTest, ModeChangeKeepsTheProjectAndTheZoomAndReturnsToFrameZero) {
    open(small());
    host.setScrollValue(7);
    host.view.SetZoom(170);
    state.VideoCalibrated = true;
    const int discards = host.markerDiscards;
    modes().ApplyVideoMode(kModeJvc100);
    EXPECT_EQ(host.markerDiscards, discards);
    EXPECT_TRUE(state.VideoCalibrated);
    EXPECT_EQ(host.value, 0);
    EXPECT_EQ(host.view.AVIFrame(), 0);
    EXPECT_EQ(host.view.Zoom(), 170);
    EXPECT_EQ(state.VideoMode, kModeJvc100);
    EXPECT_TRUE(host.checked[MenuEntry::Jvc100]);
    EXPECT_EQ(host.view.AVIHeight(), 120);
}

TEST_F(ModesTest, AModeTheVideoCannotTakeIsKept) {
    open(Clips::instance().make("tiny.avi", 16, 2, 4, 25));
    modes().ApplyVideoMode(kModeJvc200);
    EXPECT_EQ(state.VideoMode, kModeJvc200);
    EXPECT_TRUE(host.checked[MenuEntry::Jvc200]);
}

TEST_F(ModesTest, WithoutAVideoAModeOnlyMovesTheMarks) {
    modes().ApplyVideoMode(kModeJvc100Vertical);
    EXPECT_TRUE(host.checked[MenuEntry::Jvc100Vertical]);
    EXPECT_FALSE(host.scrollEnabled);
    EXPECT_FALSE(host.view.isVideoOpen());
}
