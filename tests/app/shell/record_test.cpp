// "Record from camera": without a camera the user is told and nothing is opened; with the
// synthetic test camera a recording is kept when stopped and when the camera stops delivering.
#include "answeringdialogs.h"
#include "app/common/appstate.h"
#include "app/shell/frmrecord.h"
#include "control/cvviewctrl.h"
#include "tests/support/tempdir.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(RecordFromCamera, WithoutACameraTheUserIsToldAndNothingRuns) {
    // No real camera on a build machine, and the test camera switched off.
    qputenv("ORVANE_NO_TEST_CAMERA", "1");
    AnsweringDialogs dialogs;
    common::appState().TextBase = 4000;
    shell::frmRecord recorder(QStringLiteral("/tmp/never-recorded.avi"));
    EXPECT_FALSE(recorder.startLive());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("No camera was found."));
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Exclamation);
    EXPECT_FALSE(recorder.qvxLive->LiveVideo());
    EXPECT_EQ(recorder.recordedFrames(), 0);
    EXPECT_EQ(recorder.btnRecord->text(), QStringLiteral("&Record"));
    EXPECT_FALSE(recorder.btnStop->isEnabled());
    qunsetenv("ORVANE_NO_TEST_CAMERA");
}

} // namespace

namespace {

// The synthetic test camera: record until `frames` frames were seen, then stop.
class RecordWithTestCamera : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv("ORVANE_NO_TEST_CAMERA");
        common::appState().TextBase = 4000;
    }
    void TearDown() override { qunsetenv("ORVANE_TEST_CAMERA_FRAMES"); }
    AnsweringDialogs dialogs;
    testsupport::TempDir dir;
};

TEST_F(RecordWithTestCamera, StopKeepsARecordingOfEveryFrameWritten) {
    const QString file = dir.filePath(QStringLiteral("take.avi"));
    shell::frmRecord recorder(file);
    recorder.show();
    ASSERT_TRUE(recorder.startLive());
    EXPECT_TRUE(dialogs.messages.empty());
    recorder.btnRecord_Click();
    EXPECT_FALSE(recorder.btnRecord->isEnabled());
    EXPECT_TRUE(recorder.btnStop->isEnabled());
    // A bound against a hang, not a measurement.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.monitor().frames() >= 25; }, 60000));
    EXPECT_TRUE(recorder.lblStatus->text().startsWith(QStringLiteral("Frames: ")));
    recorder.btnStop_Click();
    EXPECT_EQ(recorder.result(), QDialog::Accepted);
    EXPECT_FALSE(recorder.qvxLive->LiveVideo());
    EXPECT_GE(recorder.recordedFrames(), 25);
    EXPECT_EQ(dialogs.beeps, 1) << "the view's stop beeps once";

    quivex::CVViewCtrl player;
    ASSERT_EQ(player.AVIOpen(file.toStdString(), 0), 0);
    EXPECT_EQ(player.AVINumberOfFrames(), recorder.recordedFrames());
}

TEST_F(RecordWithTestCamera, CancelDuringARecordingStopsItAndKeepsAPlayableFile) {
    const QString file = dir.filePath(QStringLiteral("cancelled.avi"));
    shell::frmRecord recorder(file);
    recorder.show();
    ASSERT_TRUE(recorder.startLive());
    recorder.btnRecord_Click();
    // A bound against a hang, not a measurement.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.monitor().frames() >= 5; }, 60000));
    recorder.btnCancel->click();
    EXPECT_EQ(recorder.result(), QDialog::Rejected);
    EXPECT_FALSE(recorder.qvxLive->LiveVideo());
    EXPECT_FALSE(recorder.monitor().recording());
    ASSERT_GE(recorder.recordedFrames(), 5);
    quivex::CVViewCtrl player;
    ASSERT_EQ(player.AVIOpen(file.toStdString(), 0), 0) << "a closed, playable file";
    EXPECT_EQ(player.AVINumberOfFrames(), recorder.recordedFrames());
}

TEST_F(RecordWithTestCamera, ACameraThatStopsDeliveringEndsTheRecordingAndKeepsIt) {
    qputenv("ORVANE_TEST_CAMERA_FRAMES", "40"); // the camera is "unplugged" after 40 frames
    const QString file = dir.filePath(QStringLiteral("unplugged.avi"));
    shell::frmRecord recorder(file);
    recorder.show();
    ASSERT_TRUE(recorder.startLive());
    recorder.btnRecord_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.isVisible(); }, 60000));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("The camera stopped delivering pictures. The recording so far is "
                             "kept."));
    EXPECT_EQ(recorder.result(), QDialog::Accepted);
    ASSERT_GT(recorder.recordedFrames(), 0);
    quivex::CVViewCtrl player;
    ASSERT_EQ(player.AVIOpen(file.toStdString(), 0), 0) << "a closed, playable file";
    EXPECT_EQ(player.AVINumberOfFrames(), recorder.recordedFrames());
}

} // namespace
