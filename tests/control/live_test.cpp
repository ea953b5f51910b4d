// Live video and recording through the control with the synthetic test camera (the only
// camera on a build machine): the capture members' results, the statistics events, and a
// recording the player opens frame-accurately with every frame's corner code in order.
#include "components/datalib/datalib.h"
#include "components/vidgrab/cornercode.h"
#include "control/cvviewctrl.h"
#include "platform/picture.h"
#include "recordingdialogs.h"
#include "tests/support/tempdir.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quivex;
using platform::ComPtr;

namespace {

// Generous bounds against a hang, never measurements: a loaded machine only waits longer.
constexpr int kWaitMs = 60000;

class Live : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv("ORVANE_NO_TEST_CAMERA");
        ctrl.resize(320, 240);
        ctrl.show();
    }
    void TearDown() override { ctrl.SetLiveVideo(0); }
    RecordingDialogs dialogs;
    testsupport::TempDir dir;
    CVViewCtrl ctrl;
};

TEST(LiveWithoutCamera, EveryCaptureMemberAnswersAsForAnAbsentDevice) {
    qputenv("ORVANE_NO_TEST_CAMERA", "1");
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    ctrl.SetLiveVideo(1);
    EXPECT_FALSE(ctrl.LiveVideo());
    EXPECT_EQ(ctrl.CaptureDevice(), -1) << "no device worked, none is chosen";
    EXPECT_EQ(ctrl.CaptureStart(), 0);
    EXPECT_EQ(ctrl.CaptureDeviceName(0), "");
    platform::Variant count, lo, hi, avg;
    EXPECT_EQ(ctrl.GetCaptureStatistics(&count, &lo, &hi, &avg), 0);
    qunsetenv("ORVANE_NO_TEST_CAMERA");
}

TEST_F(Live, ADeviceNumberThatDoesNotExistStartsNothing) {
    ctrl.SetCaptureDevice(5); // the test camera is the only device: number 0
    ctrl.SetLiveVideo(1);
    EXPECT_FALSE(ctrl.LiveVideo());
    EXPECT_EQ(ctrl.CaptureDevice(), 5) << "an explicit device is kept and no other is tried";
}

TEST_F(Live, TheTestCameraShowsItsPictureAndNamesItself) {
    ctrl.SetLiveVideo(1);
    ASSERT_TRUE(ctrl.LiveVideo());
    EXPECT_EQ(ctrl.CaptureDevice(), 0);
    EXPECT_EQ(ctrl.CaptureDeviceName(0), "Orvane test camera");
    EXPECT_FALSE(ctrl.CaptureDeviceName(1).empty());
    EXPECT_EQ(ctrl.CaptureDeviceName(2), "");
    EXPECT_EQ(ctrl.CaptureWidth(), 640);
    EXPECT_EQ(ctrl.CaptureHeight(), 480);
    EXPECT_EQ(ctrl.CaptureFrameRate(), 25);
    // The preview shows frames: some pixel of the grabbed view leaves the back colour.
    const QColor back = ctrl.translateColor(ctrl.BackColor());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QImage shot = ctrl.grab().toImage();
            for (int y = 0; y < shot.height(); y += 7)
                for (int x = 0; x < shot.width(); x += 7)
                    if (shot.pixelColor(x, y) != back)
                        return true;
            return false;
        },
        kWaitMs));
    ctrl.SetLiveVideo(0);
    EXPECT_FALSE(ctrl.LiveVideo());
}

TEST_F(Live, ARecordingOpensFrameAccuratelyWithEveryCornerCodeInOrder) {
    const std::filesystem::path file = dir.path("recording.avi");
    ctrl.SetCaptureFilename(file.string());
    ctrl.SetFireStatusEnabled(1);
    ctrl.SetLiveVideo(1);
    ASSERT_TRUE(ctrl.LiveVideo());
    QSignalSpy events(&ctrl, &CVViewCtrl::VideoStream);
    ctrl.CaptureStart();
    // Three seconds at 25 fps.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !events.isEmpty() && events.last().at(1).toInt() >= 75; }, kWaitMs));
    const int ticks = events.size();
    EXPECT_GT(ticks, 1) << "the statistics tick while recording";
    ctrl.CaptureStop();
    EXPECT_EQ(events.size(), ticks + 1) << "one last event at the stop";
    EXPECT_EQ(dialogs.beeps, 1);
    const int seen = events.last().at(1).toInt();
    const int dropped = events.last().at(2).toInt();
    EXPECT_EQ(events.last().at(0).toInt(), -1);
    ctrl.SetLiveVideo(0);

    CVViewCtrl player;
    ASSERT_EQ(player.AVIOpen(file.string(), 0), 0);
    const int frames = player.AVINumberOfFrames();
    EXPECT_EQ(frames, seen - dropped);
    EXPECT_FLOAT_EQ(player.AVIFrameRate(), 25.0f);
    // The numbers the camera stamped: rising, and missing exactly the dropped ones.
    std::optional<std::uint32_t> previous;
    int gaps = 0;
    for (int n = 0; n < frames; ++n) {
        auto picture = player.PicturePart(n, 100, 0, 0, 0, 0, 0, 0).query<platform::IPicture>();
        ASSERT_TRUE(picture) << n;
        const auto v = picture->image();
        const auto number = vidgrab::readFrameNumber(v.data, v.stride, v.width, v.height);
        ASSERT_TRUE(number) << "frame " << n << " carries no readable code";
        if (previous) {
            ASSERT_GT(*number, *previous) << n;
            gaps += static_cast<int>(*number - *previous - 1);
        }
        previous = number;
    }
    EXPECT_EQ(gaps, dropped);
}

TEST_F(Live, StartingAndStoppingAHundredTimesLeavesNothingBehind) {
    for (int i = 0; i < 100; ++i) {
        ctrl.SetLiveVideo(1);
        ASSERT_TRUE(ctrl.LiveVideo()) << i;
        ctrl.SetLiveVideo(0);
        ASSERT_FALSE(ctrl.LiveVideo()) << i;
    }
}

} // namespace
