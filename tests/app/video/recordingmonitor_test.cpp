#include "app/common/appstate.h"
#include "app/video/recordingmonitor.h"

#include <gtest/gtest.h>

using video::RecordingMonitor;

TEST(RecordingMonitor, CountsOnlyGrowAndAStalledCameraIsNoticed) {
    RecordingMonitor m;
    EXPECT_FALSE(m.stalled(100000)) << "nothing recorded, nothing stalls";
    m.start(1000);
    EXPECT_FALSE(m.stalled(1000 + RecordingMonitor::kStallMs - 1));
    EXPECT_TRUE(m.stalled(1000 + RecordingMonitor::kStallMs)) << "no frame since the start";

    m.update(10, 1, 400, 2000);
    EXPECT_FALSE(m.stalled(3999));
    // An event without a new frame does not count as progress.
    m.update(10, 1, 450, 3500);
    EXPECT_TRUE(m.stalled(4000));
    // A late event of smaller counts changes nothing.
    m.update(4, 0, 100, 3600);
    EXPECT_EQ(m.frames(), 10);
    EXPECT_EQ(m.dropped(), 1);
    EXPECT_EQ(m.written(), 9);

    m.stop();
    EXPECT_FALSE(m.stalled(100000)) << "a stopped recording never stalls";
    // A new recording starts from nothing.
    m.start(5000);
    EXPECT_EQ(m.frames(), 0);
    EXPECT_EQ(m.dropped(), 0);
}

TEST(RecordingMonitor, StatusTextSpeaksTheInterfaceLanguage) {
    RecordingMonitor m;
    m.start(0);
    m.update(75, 2, 3040, 10);
    common::AppState state;
    state.TextBase = 4000;
    EXPECT_EQ(m.statusText(state), QStringLiteral("Frames: 75   Dropped: 2   Time: 3.04 s"));
    state.TextBase = 0;
    EXPECT_TRUE(m.statusText(state).startsWith(QStringLiteral("Bilder: 75")));
    state.TextBase = 8000;
    EXPECT_TRUE(m.statusText(state).startsWith(QStringLiteral("Imagens: 75")));
}
