// "Record from camera" without a camera: the user is told and nothing is opened.
#include "answeringdialogs.h"
#include "app/common/appstate.h"
#include "app/shell/frmrecord.h"
#include "control/cvviewctrl.h"

#include <QPushButton>

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
