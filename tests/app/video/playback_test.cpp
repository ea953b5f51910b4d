// Frame changes, the status bar, playing, looping, stopping and the keys, on a view without a
// control; the last reachable frame of a long video and the rate a forced rate gives, on the
// real view.
#include "videofixture.h"

#include "app/common/settings.h"

#include <QDir>

using namespace video;

class PlaybackTest : public FakeViewFixture {
protected:
    void openVideo(FakeView::Video video) {
        host.view.next = video;
        open("clip.avi");
    }
    // 40 frames at 25 per second.
    void open25() { openVideo({160, 120, 40, 25.0f}); }
};

TEST_F(PlaybackTest, FrameChangeMovesTheViewTracksAndShowsFrameAndTime) {
    open25();
    ASSERT_EQ(host.maximum, 39);
    host.framesTracked.clear();
    // The new frame is not painted before the tracking pass has put its markers over it.
    host.onTrack = [&] {
        EXPECT_EQ(host.view.AVIFrame(), 25);
        EXPECT_EQ(host.view.holds, 1);
    };
    host.setScrollValue(25);
    host.onTrack = nullptr;
    EXPECT_EQ(host.view.holds, 0);
    EXPECT_EQ(host.view.AVIFrame(), 25);
    EXPECT_EQ(host.framesTracked, std::vector<int>{25});
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 25, Time: 1.00 seconds");
    EXPECT_EQ(host.panels[StatusPanel::Zoom], QString("Zoom: %1%").arg(host.view.Zoom()));

    playback().setDecimalSeparator(",");
    state.settings.DecDigits = 3;
    playback().UpdateStatusBar();
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 25, Time: 1,000 seconds");
    playback().setDecimalSeparator(".");
    state.settings.DecDigits = 0;
    host.setScrollValue(38);
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 38, Time: 2 seconds");
    // A damaged setting neither shows nonsense nor builds a huge mask.
    state.settings.DecDigits = 1000000000;
    playback().UpdateStatusBar();
    const QString info = host.panels[StatusPanel::Info];
    EXPECT_TRUE(info.startsWith("Frame: 38, Time: 1.5"));
    EXPECT_EQ(info.section('.', 1).section(' ', 0, 0).size(), 30);
    state.settings.DecDigits = -4;
    playback().UpdateStatusBar();
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 38, Time: 2 seconds");
}

TEST_F(PlaybackTest, WithoutARateEveryFrameIsAtTimeZero) {
    host.view.SetZoom(100);
    playback().UpdateStatusBar();
    EXPECT_EQ(host.view.AVIFrameRate(), 0.0f);
    EXPECT_TRUE(host.panels[StatusPanel::Info].endsWith(", Time: 0.00 seconds"));
    EXPECT_EQ(host.panels[StatusPanel::Zoom], "Zoom: 100%");
}

TEST_F(PlaybackTest, PlayRunsToTheEndAndStops) {
    open25();
    host.setScrollValue(30);
    host.framesTracked.clear();
    std::vector<bool> loopEntryWhilePlaying;
    host.onEvents = [&] {
        loopEntryWhilePlaying.push_back(host.menuEnabled[MenuEntry::Loop]);
        EXPECT_EQ(host.playImage, PlayPicture::Stop);
        EXPECT_TRUE(state.IsPlaying);
    };
    playback().Play();
    EXPECT_EQ(host.value, 39);
    EXPECT_EQ(host.framesTracked, (std::vector<int>{31, 32, 33, 34, 35, 36, 37, 38, 39}));
    EXPECT_FALSE(state.IsPlaying);
    EXPECT_EQ(host.playImage, PlayPicture::Start);
    EXPECT_TRUE(host.menuEnabled[MenuEntry::Loop]);
    EXPECT_EQ(loopEntryWhilePlaying, std::vector<bool>(9, false));
}

TEST_F(PlaybackTest, PlayAtTheLastFrameStartsAgainFromZero) {
    open25();
    host.setScrollValue(39);
    host.framesTracked.clear();
    playback().Play();
    ASSERT_EQ(host.framesTracked.size(), 40u);
    EXPECT_EQ(host.framesTracked.front(), 0);
    EXPECT_EQ(host.framesTracked.back(), 39);
}

TEST_F(PlaybackTest, LoopRestartsAtZeroUntilStoppedFromOutside) {
    open25();
    playback().ToggleLoop();
    EXPECT_TRUE(state.LoopPlayback);
    EXPECT_TRUE(host.checked[MenuEntry::Loop]);
    host.setScrollValue(35);
    host.framesTracked.clear();
    int restarts = 0;
    host.onTrack = [&] {
        if (host.value == 0)
            ++restarts;
    };
    // The second time round, a click on Play (served between frames) stops it.
    host.onEvents = [&] {
        EXPECT_FALSE(host.menuEnabled[MenuEntry::Loop]);
        if (restarts == 2 && host.value == 10)
            playback().Play();
    };
    playback().Play();
    EXPECT_EQ(restarts, 2);
    EXPECT_EQ(host.value, 10);
    EXPECT_FALSE(state.IsPlaying);
    EXPECT_EQ(host.playImage, PlayPicture::Start);
    EXPECT_TRUE(host.menuEnabled[MenuEntry::Loop]);
    // 36..39, 0..39, 0..10
    EXPECT_EQ(host.framesTracked.size(), 4u + 40u + 11u);
    playback().ToggleLoop();
    EXPECT_FALSE(state.LoopPlayback);
}

TEST_F(PlaybackTest, RewindAndFastForwardDuringPlaybackStopIt) {
    open25();
    host.onEvents = [&] {
        if (host.value == 5)
            playback().Rewind();
    };
    playback().Play();
    EXPECT_EQ(host.value, 0);
    EXPECT_EQ(host.view.AVIFrame(), 0);
    EXPECT_FALSE(state.IsPlaying);
    EXPECT_EQ(host.playImage, PlayPicture::Start);

    host.onEvents = [&] {
        if (host.value == 3)
            playback().FastForward();
    };
    playback().Play();
    EXPECT_EQ(host.value, 39);
    EXPECT_EQ(host.view.AVIFrame(), 39);
    EXPECT_FALSE(state.IsPlaying);
}

TEST_F(PlaybackTest, TrackingLossStopsAsTheSettingSays) {
    open25();
    host.onTrack = [&] {
        state.MarkerLost = host.value >= 3;
    };
    state.settings.StopAtDrop = false;
    playback().Play();
    EXPECT_EQ(host.value, 39);

    host.setScrollValue(0);
    state.settings.StopAtDrop = true;
    playback().Play();
    EXPECT_EQ(host.value, 3);
    EXPECT_FALSE(state.IsPlaying);

    // Losing the last tracked marker stops whatever the setting.
    host.setScrollValue(0);
    state.settings.StopAtDrop = false;
    host.onTrack = [&] {
        state.MarkerLost = false;
        state.AllMarkersLost = host.value == 7;
    };
    playback().Play();
    EXPECT_EQ(host.value, 7);
}

TEST_F(PlaybackTest, StopInTheLastPassDoesNotLoop) {
    open25();
    state.LoopPlayback = true;
    host.setScrollValue(30);
    host.onTrack = [&] {
        state.AllMarkersLost = host.value == 39;
    };
    playback().Play();
    EXPECT_EQ(host.value, 39);
    EXPECT_FALSE(state.IsPlaying);
}

TEST_F(PlaybackTest, ASingleFrameVideoWithLoopDoesNotSpin) {
    openVideo({64, 48, 1, 25.0f});
    ASSERT_EQ(host.maximum, 0);
    state.LoopPlayback = true;
    playback().Play();
    EXPECT_FALSE(state.IsPlaying);
    EXPECT_EQ(host.playImage, PlayPicture::Start);
}

TEST_F(PlaybackTest, ShiftShowsTheMovePointerUntilAKeyIsReleased) {
    playback().keyDown(false);
    EXPECT_FALSE(state.ShiftDown);
    EXPECT_EQ(host.pointer, Qt::ArrowCursor);
    playback().keyDown(true);
    EXPECT_TRUE(state.ShiftDown);
    EXPECT_EQ(host.pointer, Qt::SizeAllCursor);
    playback().keyUp();
    EXPECT_FALSE(state.ShiftDown);
    EXPECT_EQ(host.pointer, Qt::ArrowCursor);
}

TEST_F(PlaybackTest, KeysStepWithinTheRangeAndOnlyWithAVideo) {
    EXPECT_FALSE(playback().navigationKey(Qt::Key_Right));
    open25();
    EXPECT_TRUE(playback().navigationKey(Qt::Key_Left));
    EXPECT_EQ(host.value, 0);
    playback().navigationKey(Qt::Key_Right);
    playback().navigationKey(Qt::Key_Right);
    EXPECT_EQ(host.view.AVIFrame(), 2);
    playback().navigationKey(Qt::Key_End);
    EXPECT_EQ(host.value, 39);
    playback().navigationKey(Qt::Key_Right);
    EXPECT_EQ(host.value, 39);
    playback().navigationKey(Qt::Key_Home);
    EXPECT_EQ(host.value, 0);
    host.onEvents = [&] {
        if (host.value == 4)
            playback().navigationKey(Qt::Key_Space);
    };
    playback().navigationKey(Qt::Key_Space);
    EXPECT_EQ(host.value, 4);
    EXPECT_FALSE(state.IsPlaying);
    EXPECT_FALSE(playback().navigationKey(Qt::Key_A));
}

TEST_F(PlaybackTest, ScrollRangeFollowsCountsAndStopsAt32767) {
    open25();
    playback().SetupFrameScrollBar(40000);
    EXPECT_EQ(host.maximum, kMaxScrollFrame);
    playback().SetupFrameScrollBar(-3);
    EXPECT_EQ(host.maximum, 39);
    EXPECT_TRUE(host.scrollEnabled);
    EXPECT_EQ(host.value, 0);
}

TEST_F(PlaybackTest, AtRecordingSpeedEveryFrameWaitsForItsTimeAndNoneIsDropped) {
    open25(); // 40 frames at 25 per second
    host.setScrollValue(30);
    host.framesTracked.clear();
    // Off (the default): no waiting at all.
    playback().Play();
    EXPECT_TRUE(host.waits.empty());
    EXPECT_EQ(host.framesTracked.size(), 9u);

    const QString ini = state.IniFile = QDir::temp().filePath("orvane-pacing-test.ini");
    QFile::remove(ini);
    playback().setPacing(true);
    EXPECT_TRUE(host.checked[MenuEntry::PlayAtRecordingSpeed]);
    EXPECT_TRUE(state.settings.PlayAtRecordingSpeed);
    EXPECT_EQ(common::ReadIniString("Orvane", "PlayAtRecordingSpeed", "", ini), "1");

    host.setScrollValue(30);
    host.framesTracked.clear();
    const double start = host.clock;
    playback().Play();
    EXPECT_EQ(host.framesTracked, (std::vector<int>{31, 32, 33, 34, 35, 36, 37, 38, 39}));
    ASSERT_EQ(host.waits.size(), 9u);
    for (double w : host.waits)
        EXPECT_NEAR(w, 0.04, 1e-9);
    EXPECT_NEAR(host.clock - start, 9 * 0.04, 1e-9) << "nine frames after the first, 1/25 s each";

    playback().setPacing(false);
    EXPECT_EQ(common::ReadIniString("Orvane", "PlayAtRecordingSpeed", "", ini), "0");
    QFile::remove(ini);
}

TEST_F(PlaybackTest, AtRecordingSpeedALateFrameFollowsAtOnceWithoutARushAfterwards) {
    open25();
    state.settings.PlayAtRecordingSpeed = true;
    host.setScrollValue(10);
    // Tracking frames 12 to 14 takes 0.2 s each, far beyond the frame time of 0.04 s.
    host.onTrack = [&] {
        if (host.value >= 12 && host.value <= 14)
            host.clock += 0.2;
    };
    host.onEvents = [&] {
        if (host.value == 20)
            state.IsPlaying = false;
    };
    host.framesTracked.clear();
    playback().Play();
    EXPECT_EQ(host.framesTracked, (std::vector<int>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
    // Frames 11 and 12 wait their time; 13, 14 and 15 follow the slow ones at once; from
    // then on each waits a whole frame time again instead of being rushed to catch up.
    const std::vector<double> expected{0.04, 0.04, 0.04, 0.04, 0.04, 0.04, 0.04};
    ASSERT_EQ(host.waits.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(host.waits[i], expected[i], 1e-9) << i;
}

class PlaybackOnTheViewTest : public VideoFixture {};

TEST_F(PlaybackOnTheViewTest, AVideoOfMoreThan32768FramesScrollsTo32767) {
    const QString many = Clips::instance().make("many.avi", 16, 16, 33000, 1000);
    open(many);
    ASSERT_EQ(state.FrameCount, 33000);
    EXPECT_EQ(host.maximum, 32767);
    host.setScrollValue(32767);
    EXPECT_EQ(host.view.AVIFrame(), 32767);
}

TEST_F(PlaybackOnTheViewTest, AtRecordingSpeedTheRateFollowsAForcedRateAndLoopsRestartTheSchedule) {
    const QString first = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    open(first, 0, 100.0f); // forced: 100 frames per second
    state.settings.PlayAtRecordingSpeed = true;
    state.LoopPlayback = true;
    bool wrapped = false;
    host.onEvents = [&] {
        wrapped = wrapped || host.value == 0;
        if (wrapped && host.value == 3)
            state.IsPlaying = false;
    };
    host.setScrollValue(35);
    playback().Play();
    // Frames 36..39 wait their time, 0 is shown by the wrap, and the second pass schedules
    // 1, 2 and 3 from there: seven waits of one frame time of the forced rate.
    ASSERT_EQ(host.waits.size(), 7u);
    for (double w : host.waits)
        EXPECT_NEAR(w, 0.01, 1e-9);
}
