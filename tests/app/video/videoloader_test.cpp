// Opening videos and sequences, automatic mode, the reset and the information box, and a
// run from the open dialog to the last frame checked against ffmpeg.
#include "videofixture.h"

#include "components/aviplayer/indexcache.h"
#include "components/aviplayer/streamdecoder.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <cmath>

using namespace video;

namespace {
QString writeSequence(const QString &folder, int files) {
    QDir().mkpath(folder);
    for (int i = 0; i < files; ++i) {
        QImage image(32, 24, QImage::Format_RGB888);
        image.fill(QColor(i * 4, 100, 200));
        image.save(QStringLiteral("%1/img%2.bmp").arg(folder).arg(i, 4, 10, QLatin1Char('0')));
    }
    return folder + "/img0000.bmp";
}
} // namespace

class LoaderTest : public VideoFixture {};

TEST_F(LoaderTest, OpeningSetsTheStateAndEnablesTheControls) {
    const QString file = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    open(file);
    EXPECT_FALSE(state.NoVideo);
    EXPECT_TRUE(state.VideoOpening);
    EXPECT_EQ(state.FrameCount, 40);
    EXPECT_FLOAT_EQ(state.VideoFrameRate, 25.0f);
    EXPECT_EQ(state.VideoWidth, 160);
    EXPECT_EQ(state.VideoHeight, 120);
    EXPECT_EQ(state.InteractionState, 5);
    EXPECT_EQ(host.caption, " " + file + " ");
    EXPECT_TRUE(host.buttonsEnabled);
    EXPECT_TRUE(host.scrollEnabled);
    for (ToolButton button : {ToolButton::Plus10, ToolButton::Minus10, ToolButton::To100,
                              ToolButton::FitView, ToolButton::Scale})
        EXPECT_TRUE(host.toolbar[button]) << static_cast<int>(button);
    EXPECT_TRUE(host.checked[MenuEntry::FullFrames]);
    EXPECT_EQ(host.view.AVIFrame(), 0);
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 0, Time: 0.00 seconds");
    EXPECT_EQ(host.helperUses, 0);
}

TEST_F(LoaderTest, AutomaticModeReadsFieldsOnlyForPalDv) {
    open(Clips::instance().make("pal.avi", 720, 576, 10, 25), kModeAutomatic);
    EXPECT_EQ(state.VideoMode, kModeFields);
    EXPECT_EQ(state.FrameCount, 20);
    EXPECT_TRUE(host.checked[MenuEntry::Fields]);
    EXPECT_FALSE(host.helper.isVideoOpen());
    open(Clips::instance().make("ntsc.avi", 720, 480, 10, 30), kModeAutomatic);
    EXPECT_EQ(state.VideoMode, kModeFullFrames);
    EXPECT_EQ(state.FrameCount, 10);
    EXPECT_EQ(VideoLoader::automaticMode(720, 640), kModeFields);
    EXPECT_EQ(VideoLoader::automaticMode(576, 720), kModeFullFrames);
}

TEST_F(LoaderTest, ASecondVideoResetsWithoutAQuestion) {
    AnsweringDialogs dialogs;
    open(Clips::instance().make("c25.avi", 160, 120, 40, 25));
    host.setScrollValue(12);
    modes().Rotate(kRotate90);
    state.VideoCalibrated = true;
    open(Clips::instance().make("small.avi", 320, 240, 10, 25));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(host.markerDiscards, 1);
    EXPECT_FALSE(state.VideoCalibrated);
    EXPECT_EQ(modes().VideoRotation(), 0);
    EXPECT_EQ(host.value, 0);
    EXPECT_EQ(state.FrameCount, 10);
    EXPECT_EQ(host.view.AVIWidth(), 320);
}

TEST_F(LoaderTest, NewAsksFirstAndNoKeepsEverything) {
    AnsweringDialogs dialogs;
    open(Clips::instance().make("c25.avi", 160, 120, 40, 25));
    dialogs.answers = {platform::ui::No};
    EXPECT_FALSE(loader().ResetProject(true));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "All data will be lost! Do you want to continue?");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::YesNo + platform::ui::Question);
    EXPECT_EQ(dialogs.messages[0].title, "Talvor Orvane");
    EXPECT_FALSE(state.NoVideo);
    EXPECT_EQ(host.markerDiscards, 0);
    EXPECT_TRUE(host.view.isVideoOpen());

    state.LoopPlayback = true;
    host.checked[MenuEntry::Loop] = true;
    dialogs.answers = {platform::ui::Yes};
    EXPECT_TRUE(loader().ResetProject(true));
    EXPECT_TRUE(state.NoVideo);
    EXPECT_FALSE(state.LoopPlayback);
    EXPECT_FALSE(host.checked[MenuEntry::Loop]);
    EXPECT_EQ(state.InteractionState, -1);
    EXPECT_EQ(host.markerDiscards, 1);
    EXPECT_FALSE(host.view.isVideoOpen());
    EXPECT_FALSE(host.scrollEnabled);
    EXPECT_FALSE(host.buttonsEnabled);
    for (ToolButton button :
         {ToolButton::Plus10, ToolButton::Minus10, ToolButton::To100, ToolButton::FitView})
        EXPECT_FALSE(host.toolbar[button]) << static_cast<int>(button);
    EXPECT_TRUE(host.toolbar[ToolButton::Scale]);
    EXPECT_EQ(host.caption, "");
    EXPECT_EQ(host.panels[StatusPanel::Info], "");
    EXPECT_EQ(host.panels[StatusPanel::Zoom], "");
}

TEST_F(LoaderTest, ResetDuringPlaybackEndsItVisibly) {
    AnsweringDialogs dialogs;
    open(Clips::instance().make("c25.avi", 160, 120, 40, 25));
    host.onEvents = [&] {
        if (host.value == 3) {
            dialogs.answers = {platform::ui::Yes};
            loader().ResetProject(true);
        }
    };
    playback().Play();
    EXPECT_FALSE(state.IsPlaying);
    EXPECT_EQ(host.playImage, PlayPicture::Start);
    EXPECT_TRUE(host.menuEnabled[MenuEntry::Loop]);
    EXPECT_EQ(host.value, 3);
}

TEST_F(LoaderTest, SequenceCountAndForcedRate) {
    const QString first = writeSequence(Clips::instance().dir() + "/seq60", 60);
    open(first, 0, 100.0f, 50);
    EXPECT_EQ(host.caption, " " + Clips::instance().dir() + "/seq60/img%04d.bmp ");
    EXPECT_EQ(state.FrameCount, 50);
    EXPECT_FLOAT_EQ(state.VideoFrameRate, 100.0f);
    EXPECT_FLOAT_EQ(host.view.AVIFrameRate(), 100.0f);
    // The last picture of the count is reachable.
    EXPECT_EQ(host.maximum, 49);
    host.setScrollValue(25);
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 25, Time: 0.25 seconds");
    host.setScrollValue(49);
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 49, Time: 0.49 seconds");
    // A single picture name with digits opens the whole sequence.
    open(first);
    EXPECT_EQ(state.FrameCount, 60);
    EXPECT_FLOAT_EQ(state.VideoFrameRate, 25.0f);
    // A count beyond the pictures that exist (a sequence information file's NumFiles) ends
    // at the last existing picture, and the frame bar with it.
    open(first, 0, 100.0f, 500);
    EXPECT_EQ(state.FrameCount, 60);
    EXPECT_EQ(state.VideoFileCount, 60);
    EXPECT_EQ(host.maximum, 59);
    host.setScrollValue(59);
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 59, Time: 0.59 seconds");
    EXPECT_EQ(host.view.AVIFrame(), 59);
}

TEST_F(LoaderTest, AFailedOpenIsReportedAndLeavesTheControlsEnabled) {
    AnsweringDialogs dialogs;
    open(Clips::instance().dir() + "/missing.avi");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "An error occured while opening this file.");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Critical);
    EXPECT_FALSE(state.NoVideo);
    EXPECT_TRUE(host.buttonsEnabled);
    EXPECT_EQ(host.maximum, 0);
    EXPECT_EQ(state.FrameCount, 0);
    // The information box of such a video has no rate and a duration of 0.
    const QStringList lines = loader().videoInfoText().split(QChar(13));
    EXPECT_EQ(lines.value(3), "Frames per second: 0.000");
    EXPECT_EQ(lines.value(4), "Duration: 0.000 seconds");
}

TEST_F(LoaderTest, CancelledDialogChangesNothing) {
    AnsweringDialogs dialogs;
    const QString file = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    open(file);
    dialogs.files = {std::nullopt};
    loader().LoadVideo(true, kModeAutomatic, 0, 0);
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, "Load video file");
    EXPECT_TRUE(dialogs.openRequests[0].filter.contains("*.avi"));
    EXPECT_TRUE(dialogs.openRequests[0].mustExist);
    EXPECT_EQ(state.VideoFile, file);
    EXPECT_EQ(host.markerDiscards, 0);
    EXPECT_TRUE(host.view.isVideoOpen());
    // An empty name does nothing either.
    state.VideoFile.clear();
    loader().LoadVideo(false);
    EXPECT_EQ(host.markerDiscards, 0);
}

TEST_F(LoaderTest, InformationBoxListsTheVideo) {
    AnsweringDialogs dialogs;
    const QString file = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    open(file);
    loader().showVideoInfo();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const QChar cr(13);
    EXPECT_EQ(dialogs.messages[0].text,
              file + cr + cr + "Number of frames: 40" + cr + "Frames per second: 25.000" + cr +
                  "Duration: 1.600 seconds" + cr + "Width: 160" + cr + "Height: 120");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::OkOnly);
}

// From the open dialog to the end of the video; the frame shown is ffmpeg's last frame.
TEST_F(LoaderTest, EndToEndPlayShowsFfmpegsLastFrame) {
    AnsweringDialogs dialogs;
    const QString file = Clips::instance().make("e2e.mp4", 176, 144, 30, 25, "libx264");
    dialogs.files = {file};
    loader().LoadVideo(true, kModeAutomatic, 0, 0);
    playback().Play();
    EXPECT_EQ(host.value, 29);
    EXPECT_EQ(host.panels[StatusPanel::Info], "Frame: 29, Time: 1.16 seconds");

    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", file, "-vf", "select=eq(n\\,29)", "-frames:v", "1",
                            "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    const QByteArray expected = ffmpeg.readAllStandardOutput();
    ASSERT_EQ(expected.size(), 176 * 144 * 4);

    const auto picture = host.view.Picture(host.view.AVIFrame(), 100, 0, 0);
    ASSERT_TRUE(picture);
    const platform::ImageView image = picture->image();
    ASSERT_EQ(image.width, 176);
    ASSERT_EQ(image.height, 144);
    double difference = 0;
    for (int y = 0; y < 144; ++y)
        for (int x = 0; x < 176 * 4; ++x)
            if (x % 4 != 3)
                difference += std::abs(int(image.row(y)[x]) -
                                       int(static_cast<unsigned char>(expected[y * 176 * 4 + x])));
    EXPECT_LT(difference / (176 * 144 * 3), 3.0);
    // The view paints that frame.
    const QImage shown = host.view.composeView(QSize(176, 144));
    EXPECT_FALSE(shown.isNull());
}

// A file above the threshold is indexed with progress first; a cancel there keeps the
// open project and opens nothing.
TEST_F(LoaderTest, LongOpensShowProgressAndCanBeCancelled) {
    struct ProgressHost : FakeHost {
        void beginLongOperation(const QString &text) override { began.push_back(text); }
        bool longOperationProgress(double f) override {
            fractions.push_back(f);
            return !cancel;
        }
        void endLongOperation() override { ++ended; }
        std::vector<QString> began;
        std::vector<double> fractions;
        int ended = 0;
        bool cancel = false;
    };
    common::AppState local;
    local.TextBase = 4000;
    ProgressHost progressHost;
    VideoController c(progressHost, local);
    progressHost.controller = &c;
    c.loader.setLongOpenBytes(1000);
    const QString first = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    const QString second = Clips::instance().make("small.avi", 320, 240, 10, 25);
    local.VideoFile = first;
    aviplayer::IndexCache::clear();
    const long scans = aviplayer::StreamDecoder::indexScans();
    c.loader.LoadVideo(false);
    // The views' own opens (the helper's and the shown one's) take the pass's index: the
    // window never reads the long file while it cannot serve events.
    EXPECT_EQ(aviplayer::StreamDecoder::indexScans(), scans + 1);
    ASSERT_EQ(progressHost.began.size(), 1u);
    EXPECT_EQ(progressHost.began[0], "Load video file");
    EXPECT_EQ(progressHost.ended, 1);
    ASSERT_FALSE(progressHost.fractions.empty());
    EXPECT_EQ(progressHost.fractions.back(), 1.0);
    EXPECT_EQ(local.FrameCount, 40);

    progressHost.cancel = true;
    local.VideoFile = second;
    c.loader.LoadVideo(false);
    EXPECT_EQ(progressHost.ended, 2);
    EXPECT_EQ(progressHost.markerDiscards, 0);
    EXPECT_EQ(progressHost.view.AVIWidth(), 160);
    EXPECT_FALSE(local.NoVideo);

    // Small files and sequence patterns open directly.
    c.loader.setLongOpenBytes(IndexPass::kDefaultThreshold);
    progressHost.cancel = false;
    c.loader.LoadVideo(false);
    EXPECT_EQ(progressHost.began.size(), 2u);
    EXPECT_EQ(progressHost.view.AVIWidth(), 320);
    progressHost.controller = nullptr;
}
