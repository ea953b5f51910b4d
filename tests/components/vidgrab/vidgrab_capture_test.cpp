// Capture from the synthetic camera: the preview in the host's window, the per-frame
// callback, AVI recordings read back by the ffmpeg and ffprobe programs, the camera running
// out of frames, and many starts and stops. Waits are bounded generously; nothing is timed.
#include "components/vidgrab/avirecorder.h"
#include "components/vidgrab/capfilter.h"
#include "components/vidgrab/cornercode.h"
#include "components/vidgrab/previewwidget.h"
#include "components/vidgrab/vidgrab.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

using namespace vidgrab;

namespace {

constexpr int kWidth = 640, kHeight = 480;

// Runs the event loop until `done` holds, at most about a minute.
bool waitFor(const std::function<bool()> &done) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > bound)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

LONG testCamera() {
    CCapFilter filter;
    filter.Enum(kVideoInputDeviceCategory);
    return filter.Count() - 1;
}

struct Counts {
    float elapsed = 0;
    LONG dropped = 0, written = 0, captured = 0, sourceGaps = 0;
};

Counts counts(LONG device) {
    Counts c;
    EXPECT_EQ(
        captureStatistics(device, &c.elapsed, &c.dropped, &c.written, &c.captured, &c.sourceGaps),
        0);
    return c;
}

// The frames of a video file, decoded by the ffmpeg program to BGRA.
std::vector<std::vector<std::uint8_t>> decodeFrames(const std::string &file) {
    std::vector<std::vector<std::uint8_t>> frames;
    std::FILE *pipe = popen(testsupport::ffmpegCommand("-i " + testsupport::shellQuote(file) +
                                                       " -fps_mode passthrough"
                                                       " -f rawvideo -pix_fmt bgra -")
                                .c_str(),
                            "r");
    if (!pipe)
        return frames;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kWidth) * kHeight * 4);
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        frames.push_back(frame);
    EXPECT_EQ(pclose(pipe), 0) << "ffmpeg could not decode " << file;
    return frames;
}

// What ffprobe says of the file's video stream: codec, rate and the frames it counts.
std::string probe(const std::string &file) {
    const std::string command = "ffprobe -v error -count_frames -select_streams v:0 "
                                "-show_entries stream=codec_name,width,height,r_frame_rate,"
                                "nb_read_frames -of default=nw=1 " +
                                testsupport::shellQuote(file);
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    pclose(pipe);
    return out;
}

std::vector<std::uint32_t> frameNumbers(const std::vector<std::vector<std::uint8_t>> &frames) {
    std::vector<std::uint32_t> numbers;
    for (const auto &f : frames) {
        const auto n = readFrameNumber(f.data(), kWidth * 4, kWidth, kHeight);
        EXPECT_TRUE(n.has_value()) << "frame " << numbers.size() << " has no corner code";
        numbers.push_back(n.value_or(0));
    }
    return numbers;
}

// The frames the numbers skip, between the first and the last.
LONG gapsIn(const std::vector<std::uint32_t> &numbers) {
    LONG gaps = 0;
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_GT(numbers[i], numbers[i - 1]) << "frames out of order at " << i;
        gaps += static_cast<LONG>(numbers[i] - numbers[i - 1] - 1);
    }
    return gaps;
}

// The per-frame callback of the tests: records each frame's number and paints a red square,
// which must then be in the preview and the recording.
struct CallbackLog {
    std::mutex mutex;
    std::vector<std::uint32_t> numbers;
    std::atomic<int> badFrames{0};
    LONG device = -1;
    std::atomic<int> frameDoneFailures{0};
};

constexpr int kSquareX = 320, kSquareY = 240, kSquare = 32;

void paintSquare(void *context, void *sample, const BitmapInfoHeader *header, FrameBuffer *frame) {
    auto *log = static_cast<CallbackLog *>(context);
    if (sample != nullptr || !header || !frame || frame->width != kWidth ||
        header->width != kWidth || std::abs(header->height) != kHeight ||
        frame->stride < kWidth * 4) {
        ++log->badFrames;
        return;
    }
    const auto n = readFrameNumber(frame->data, frame->stride, frame->width, frame->height);
    {
        std::lock_guard lock(log->mutex);
        log->numbers.push_back(n.value_or(0xFFFFFFFFu));
    }
    for (int y = kSquareY; y < kSquareY + kSquare; ++y)
        for (int x = kSquareX; x < kSquareX + kSquare; ++x) {
            std::uint8_t *p = frame->data + static_cast<std::ptrdiff_t>(y) * frame->stride + x * 4;
            p[0] = 0;   // blue
            p[1] = 0;   // green
            p[2] = 255; // red
        }
    if (frameDone(log->device, 0) != 0)
        ++log->frameDoneFailures;
}

bool hasRedSquare(const std::uint8_t *bgra, int stride) {
    const std::uint8_t *p = bgra + static_cast<std::ptrdiff_t>(kSquareY + kSquare / 2) * stride +
                            (kSquareX + kSquare / 2) * 4;
    return p[2] > 200 && p[1] < 60 && p[0] < 60;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("ORVANE_NO_TEST_CAMERA");
        unsetenv("ORVANE_TEST_CAMERA_FRAMES");
        device = testCamera();
        host.resize(320, 240);
    }
    void TearDown() override {
        releaseDevice(device);
        unsetenv("ORVANE_TEST_CAMERA_FRAMES");
    }
    // Attaches the test camera to the host and starts it.
    void start() {
        ASSERT_EQ(attachDevice(&host, device), 0);
        ASSERT_EQ(preview(device, 1), 0);
    }

    testsupport::TempDir dir;
    QWidget host;
    LONG device = 0;
};

} // namespace

TEST_F(Capture, ThePreviewShowsTheCameraInAChildOfTheHost) {
    start();
    EXPECT_EQ(captureReady(device), 0);
    LONG width = 0, height = 0;
    EXPECT_EQ(captureSize(device, &width, &height), 0);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    LONG a = 9, b = 9;
    EXPECT_EQ(captureFormat(device, &a, &b, &width, &height), 0);
    EXPECT_EQ(a + b, 0);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(captureFrameRate(device), 25);
    EXPECT_EQ(cameraType(device), 2);

    const auto previews = host.findChildren<PreviewWidget *>();
    ASSERT_EQ(previews.size(), 1);
    PreviewWidget *view = previews.front();
    EXPECT_EQ(setPreviewWindow(device, 10, 20, 200, 150, 1, 0), 0);
    EXPECT_EQ(view->geometry(), QRect(10, 20, 200, 150));
    // Frames arrive through the event loop; the preview holds whole camera frames.
    ASSERT_TRUE(waitFor([&] { return !view->frame().isNull(); }));
    const QImage shown = view->frame();
    EXPECT_EQ(shown.size(), QSize(kWidth, kHeight));
    EXPECT_TRUE(readFrameNumber(shown.constBits(), static_cast<int>(shown.bytesPerLine()),
                                shown.width(), shown.height())
                    .has_value());

    // Device -1 is the device attached last.
    EXPECT_EQ(captureReady(-1), 0);
    EXPECT_EQ(setMode(-1, 1, 42), 0);
    EXPECT_EQ(getMode(device, 1), 42);
    EXPECT_EQ(getMode(device, 0), 0);
    EXPECT_EQ(setMode(device, 2, 1), kBadArgument);

    // The statistics see a camera at 25 frames per second on its own clock (400000 x 100 ns).
    ASSERT_TRUE(waitFor([&] { return counts(device).captured >= 5; }));
    LONG count = 0;
    LONGLONG mn = 0, mx = 0, avg = 0;
    EXPECT_EQ(frameTimeStatistics(device, &count, &mn, &mx, &avg), platform::TRUE_);
    EXPECT_GE(count, 4);
    EXPECT_EQ(mn, 400000);
    EXPECT_EQ(mx, 400000);
    EXPECT_EQ(avg, 400000);
    const LONGLONG streamTime = referenceTime(device, 0);
    EXPECT_EQ(streamTime % 400000, 0);
    EXPECT_GT(referenceTime(device, 1), 0);
    EXPECT_EQ(referenceTime(device, 7), 0);

    EXPECT_EQ(preview(device, 0), 0);
    EXPECT_TRUE(view->isHidden());
    EXPECT_NE(captureReady(device), 0) << "the preview off stopped the camera";
    EXPECT_EQ(releaseDevice(device), 0);
    EXPECT_TRUE(host.findChildren<PreviewWidget *>().isEmpty());
    EXPECT_EQ(releaseDevice(device), 0) << "releasing twice is harmless";
}

TEST_F(Capture, RecordsEveryFrameIntoAPlayableAviWithItsNumber) {
    start();
    const std::string file = dir.path("capture.avi");
    EXPECT_EQ(captureInit(device), kBadArgument) << "no capture file yet";
    ASSERT_EQ(setCaptureFile(device, file.c_str(), 20), 0);
    ASSERT_EQ(captureInit(device), 0);
    ASSERT_EQ(captureSequence(device), 0);
    EXPECT_EQ(captureStart(device), kNotReady) << "already recording";
    ASSERT_TRUE(waitFor([&] {
        const Counts c = counts(device);
        return c.written + c.dropped >= 75; // three seconds of the camera
    }));
    const float fill = bufferFillState(device, 2);
    EXPECT_GE(fill, 0.0f);
    EXPECT_LE(fill, 1.0f);
    ASSERT_EQ(captureStop(device), 0);
    const Counts c = counts(device);
    EXPECT_GT(c.elapsed, 0.0f);
    EXPECT_GE(c.written + c.dropped, 75);
    EXPECT_GE(c.captured, c.written);
    EXPECT_EQ(c.sourceGaps, 0) << "the synthetic camera skips nothing";
    // The counts stand after the stop.
    const Counts later = counts(device);
    EXPECT_EQ(later.written, c.written);
    EXPECT_EQ(later.elapsed, c.elapsed);

    const std::string info = probe(file);
    EXPECT_NE(info.find("codec_name=mjpeg"), std::string::npos) << info;
    EXPECT_NE(info.find("r_frame_rate=25/1"), std::string::npos) << info;
    EXPECT_NE(info.find("width=640"), std::string::npos) << info;
    EXPECT_NE(info.find("nb_read_frames=" + std::to_string(c.written) + "\n"), std::string::npos)
        << info;
    const auto numbers = frameNumbers(decodeFrames(file));
    ASSERT_EQ(static_cast<LONG>(numbers.size()), c.written);
    // Every frame lost to the recording is counted, and lost frames are the only gaps (a frame
    // lost at the very end leaves no gap).
    EXPECT_LE(gapsIn(numbers), c.dropped);
    if (c.dropped == 0) {
        EXPECT_EQ(numbers.back() - numbers.front() + 1, numbers.size());
    }

    // The finished file is copied on request; a second recording replaces the first.
    const std::string copy = dir.path("copy.avi");
    EXPECT_EQ(saveCaptureAs(device, copy.c_str(), 0, 0), 0);
    EXPECT_EQ(decodeFrames(copy).size(), numbers.size());
    EXPECT_EQ(saveCaptureAs(device, nullptr, 0, 0), kBadArgument);
    EXPECT_EQ(saveCaptureAs(device, dir.path("no/such/folder/x.avi").c_str(), 0, 0), kFailed);
    ASSERT_EQ(captureStart(device), 0) << "start prepares a file itself";
    ASSERT_TRUE(waitFor([&] { return counts(device).written >= 3; }));
    EXPECT_EQ(saveCaptureAs(device, copy.c_str(), 0, 0), kNotReady) << "still recording";
    ASSERT_EQ(captureStop(device), 0);
    EXPECT_EQ(static_cast<LONG>(decodeFrames(file).size()), counts(device).written);
}

TEST_F(Capture, TheCallbackSeesEveryFrameAndItsDrawingIsRecorded) {
    start();
    CallbackLog log;
    log.device = device;
    EXPECT_EQ(setFrameCallback(device, 1, &paintSquare, 1, &log), kBadArgument);
    ASSERT_EQ(setFrameCallback(device, 0, &paintSquare, 1, &log), 0);
    // Installed but not enabled: not called.
    const LONG before = counts(device).captured;
    ASSERT_TRUE(waitFor([&] { return counts(device).captured >= before + 3; }));
    {
        std::lock_guard lock(log.mutex);
        EXPECT_TRUE(log.numbers.empty());
    }
    const std::string file = dir.path("drawn.avi");
    ASSERT_EQ(setCaptureFile(device, file.c_str(), 20), 0);
    ASSERT_EQ(enableFrameGrabber(device, 0, 1), 0);
    ASSERT_EQ(captureStart(device), 0);
    ASSERT_TRUE(waitFor([&] { return counts(device).written >= 25; }));
    ASSERT_EQ(captureStop(device), 0);
    ASSERT_EQ(enableFrameGrabber(device, 0, 0), 0);
    const Counts c = counts(device);
    const LONG after = c.captured;

    std::vector<std::uint32_t> seen;
    {
        std::lock_guard lock(log.mutex);
        seen = log.numbers;
    }
    EXPECT_EQ(log.badFrames.load(), 0);
    EXPECT_EQ(log.frameDoneFailures.load(), 0);
    ASSERT_FALSE(seen.empty());
    // Every frame between enabling and disabling went through the callback, in order.
    EXPECT_EQ(seen.back() - seen.front() + 1, seen.size());
    EXPECT_LE(static_cast<LONG>(seen.size()), after - before);

    const auto frames = decodeFrames(file);
    ASSERT_EQ(static_cast<LONG>(frames.size()), c.written);
    const std::set<std::uint32_t> called(seen.begin(), seen.end());
    for (const auto &f : frames) {
        EXPECT_TRUE(hasRedSquare(f.data(), kWidth * 4));
        const auto n = readFrameNumber(f.data(), kWidth * 4, kWidth, kHeight);
        ASSERT_TRUE(n.has_value());
        EXPECT_TRUE(called.count(*n)) << "frame " << *n << " was recorded without the callback";
    }
    // The preview shows the drawing too.
    const auto previews = host.findChildren<PreviewWidget *>();
    ASSERT_EQ(previews.size(), 1);
    ASSERT_TRUE(waitFor([&] { return !previews.front()->frame().isNull(); }));
    ASSERT_EQ(enableFrameGrabber(device, 0, 1), 0);
    ASSERT_TRUE(waitFor([&] {
        const QImage shown = previews.front()->frame();
        return !shown.isNull() &&
               hasRedSquare(shown.constBits(), static_cast<int>(shown.bytesPerLine()));
    }));
    EXPECT_EQ(releaseDevice(device), 0); // stops the callback before `log` goes
}

TEST_F(Capture, ACameraThatStopsDeliveringEndsTheRecordingWithAClosedFile) {
    setenv("ORVANE_TEST_CAMERA_FRAMES", "30", 1);
    start();
    const std::string file = dir.path("short.avi");
    ASSERT_EQ(setCaptureFile(device, file.c_str(), 20), 0);
    ASSERT_EQ(captureStart(device), 0);
    ASSERT_TRUE(waitFor([&] { return captureReady(device) != 0; }));
    EXPECT_NE(captureReady(device), 0);
    EXPECT_EQ(captureStart(device), kNotReady);
    const Counts c = counts(device);
    EXPECT_EQ(c.captured, 30);
    EXPECT_GT(c.written, 0);

    // Without any stop: the file is complete, and holds the camera's frames up to its last.
    const auto numbers = frameNumbers(decodeFrames(file));
    ASSERT_EQ(static_cast<LONG>(numbers.size()), c.written);
    EXPECT_LE(gapsIn(numbers), c.dropped);
    if (c.dropped == 0) {
        EXPECT_EQ(numbers.back(), 29u);
        EXPECT_EQ(static_cast<LONG>(numbers.back() - numbers.front() + 1), c.written);
    }
    EXPECT_NE(probe(file).find("nb_read_frames=" + std::to_string(c.written) + "\n"),
              std::string::npos);
    EXPECT_EQ(captureStop(device), 0) << "the recording is already closed";
    EXPECT_EQ(counts(device).written, c.written) << "the final counts stay";

    // Switching on again opens the camera afresh.
    EXPECT_EQ(preview(device, 1), 0);
    EXPECT_TRUE(waitFor([&] { return counts(device).captured > 0; }));
}

TEST_F(Capture, ReleasingDuringARecordingClosesTheFile) {
    start();
    const std::string file = dir.path("released.avi");
    ASSERT_EQ(setCaptureFile(device, file.c_str(), 20), 0);
    ASSERT_EQ(captureStart(device), 0);
    ASSERT_TRUE(waitFor([&] { return counts(device).written >= 5; }));
    // Preview off keeps a recording going.
    ASSERT_EQ(preview(device, 0), 0);
    EXPECT_EQ(captureReady(device), 0);
    const LONG written = counts(device).written;
    ASSERT_TRUE(waitFor([&] { return counts(device).written > written; }));
    ASSERT_EQ(releaseDevice(device), 0);
    EXPECT_GE(decodeFrames(file).size(), static_cast<std::size_t>(written + 1));
}

TEST_F(Capture, StartsAndStopsAHundredTimes) {
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(attachDevice(&host, device), 0);
        ASSERT_EQ(preview(device, 1), 0);
        EXPECT_EQ(setPreviewWindow(-1, 0, 0, 100, 80, 1, 0), 0);
        QCoreApplication::processEvents();
        ASSERT_EQ(preview(device, 0), 0);
        if (i % 2)
            ASSERT_EQ(releaseDevice(device), 0);
        else
            ASSERT_EQ(attachDevice(nullptr, device), 0); // detaching releases too
        ASSERT_TRUE(host.findChildren<QWidget *>().isEmpty());
    }
    EXPECT_NE(captureReady(device), 0);
}

TEST_F(Capture, AHostWindowDestroyedFirstLeavesNothingDangling) {
    auto *window = new QWidget;
    ASSERT_EQ(attachDevice(window, device), 0);
    ASSERT_EQ(preview(device, 1), 0);
    ASSERT_TRUE(waitFor([&] { return counts(device).captured >= 2; }));
    delete window; // takes the preview widget with it; the camera keeps running
    ASSERT_TRUE(waitFor([&] { return counts(device).captured >= 4; }));
    EXPECT_EQ(setPreviewWindow(device, 0, 0, 50, 50, 1, 0), 0);
    EXPECT_EQ(preview(device, 0), 0);
    EXPECT_EQ(releaseDevice(device), 0);
}

TEST_F(Capture, AttachingToAnotherWindowMovesThePreview) {
    start();
    QWidget other;
    ASSERT_EQ(attachDevice(&other, device), 0);
    EXPECT_TRUE(host.findChildren<QWidget *>().isEmpty());
    EXPECT_EQ(other.findChildren<PreviewWidget *>().size(), 1);
    EXPECT_NE(captureReady(device), 0) << "a new attachment starts switched off";
    ASSERT_EQ(preview(device, 1), 0);
    EXPECT_EQ(captureReady(device), 0);
    EXPECT_EQ(attachDevice(&other, device), 0) << "the same window again changes nothing";
    EXPECT_EQ(captureReady(device), 0);
    EXPECT_EQ(releaseDevice(device), 0);
}

TEST_F(Capture, TheCameraFormatGoesToAndComesFromASettingsFile) {
    ASSERT_EQ(attachDevice(&host, device), 0);
    const QString ini = dir.filePath("camera.ini");
    const std::string iniPath = ini.toStdString();
    EXPECT_EQ(saveCameraProperties(device, "Cam", iniPath.c_str()), kNotReady)
        << "no format is known before the camera opened";
    ASSERT_EQ(preview(device, 1), 0);
    ASSERT_EQ(saveCameraProperties(device, "Cam", iniPath.c_str()), 0);
    const QByteArray saved = dir.read("camera.ini");
    EXPECT_TRUE(saved.contains("Width=640")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("Height=480"));
    EXPECT_TRUE(saved.contains("FrameRate=25"));

    // A damaged or missing value refuses the whole section.
    dir.write("bad.ini", "[Cam]\nWidth=320\nHeight=abc\nFrameRate=10\n");
    EXPECT_EQ(loadCameraProperties(device, "Cam", dir.filePath("bad.ini").toUtf8().constData()),
              kBadArgument);
    dir.write("huge.ini", "[Cam]\nWidth=320\nHeight=240\nFrameRate=100000\n");
    EXPECT_EQ(loadCameraProperties(device, "Cam", dir.filePath("huge.ini").toUtf8().constData()),
              kBadArgument);
    EXPECT_EQ(loadCameraProperties(device, "Other", iniPath.c_str()), kBadArgument);
    EXPECT_EQ(loadCameraProperties(device, nullptr, iniPath.c_str()), kBadArgument);

    // A loaded format applies from the next opening.
    dir.write("small.ini", "[Cam]\nWidth=320\nHeight=240\nFrameRate=10\n");
    ASSERT_EQ(loadCameraProperties(device, "Cam", dir.filePath("small.ini").toUtf8().constData()),
              0);
    LONG width = 0, height = 0;
    EXPECT_EQ(captureSize(device, &width, &height), 0);
    EXPECT_EQ(width, kWidth) << "the running camera keeps its format";
    ASSERT_EQ(preview(device, 0), 0);
    ASSERT_EQ(preview(device, 1), 0);
    EXPECT_EQ(captureSize(device, &width, &height), 0);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(captureFrameRate(device), 10);
    EXPECT_EQ(cameraPropertiesAvailable(device), 0);
}

namespace {

QImage filled(QRgb colour) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Counts the queued calls an object receives.
struct QueuedCalls : QObject {
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

} // namespace

TEST(PreviewRelay, AnInterfaceThatLagsGetsTheNewestFrameNotAQueue) {
    QWidget host;
    host.resize(64, 48);
    PreviewRelay relay(&host);
    QueuedCalls handOvers;
    relay.installEventFilter(&handOvers);
    relay.offer(filled(qRgb(255, 0, 0)), {});
    // Posted after the first hand-over and before the later offers: it runs right after
    // whatever the first hand-over delivered.
    QImage afterFirstHandOver;
    QMetaObject::invokeMethod(
        &host, [&] { afterFirstHandOver = relay.widget()->frame(); }, Qt::QueuedConnection);
    relay.offer(filled(qRgb(0, 255, 0)), {});
    relay.offer(filled(qRgb(0, 0, 255)), {});
    QCoreApplication::processEvents();
    EXPECT_EQ(handOvers.count, 1) << "one hand-over for three frames offered in a row";
    ASSERT_FALSE(afterFirstHandOver.isNull());
    EXPECT_EQ(afterFirstHandOver.pixel(0, 0), qRgb(0, 0, 255))
        << "the one queued hand-over carries the newest frame";
    QCoreApplication::processEvents();
    EXPECT_EQ(relay.widget()->frame().pixel(0, 0), qRgb(0, 0, 255)) << "no older frame follows";

    // A widget gone with its parent takes no more frames, and the relay survives it.
    delete relay.widget();
    relay.offer(filled(qRgb(255, 255, 255)), {});
    QCoreApplication::processEvents();
    EXPECT_EQ(relay.widget(), nullptr);
}

TEST(PreviewLatency, CountsEveryFrameOnceAtItsFirstPaint) {
    resetPreviewLatency();
    PreviewWidget view(nullptr);
    view.resize(32, 24);
    view.setFrame(filled(qRgb(10, 20, 30)), std::chrono::steady_clock::now());
    view.grab();
    EXPECT_EQ(previewLatency().count, 1);
    view.grab();
    EXPECT_EQ(previewLatency().count, 1) << "a repaint of the same frame is not a new frame";
    view.setFrame(filled(qRgb(40, 50, 60)));
    view.grab();
    EXPECT_EQ(previewLatency().count, 1) << "a frame without its capture time is not counted";
    view.setFrame(filled(qRgb(70, 80, 90)), std::chrono::steady_clock::now());
    view.grab();
    const PreviewLatency latency = previewLatency();
    EXPECT_EQ(latency.count, 2);
    EXPECT_GE(latency.meanMs, 0.0);
    EXPECT_GE(latency.maxMs, latency.meanMs);
    resetPreviewLatency();
    EXPECT_EQ(previewLatency().count, 0);
}

TEST(AviRecorder, RefusesWhatCannotBeAFile) {
    testsupport::TempDir dir;
    const std::string file = dir.path("r.avi");
    EXPECT_EQ(AviRecorder::create("", kWidth, kHeight, 25, 1), nullptr);
    EXPECT_EQ(AviRecorder::create(file, 0, kHeight, 25, 1), nullptr);
    EXPECT_EQ(AviRecorder::create(file, kWidth, -4, 25, 1), nullptr);
    EXPECT_EQ(AviRecorder::create(file, kWidth, kHeight, 0, 1), nullptr);
    EXPECT_EQ(AviRecorder::create(file, kWidth, kHeight, 25, 0), nullptr);
    EXPECT_EQ(AviRecorder::create(dir.path("no/such/folder/r.avi"), kWidth, kHeight, 25, 1),
              nullptr);
}

TEST(AviRecorder, WritesEveryQueuedFrameInOrderAndNothingAfterTheFinish) {
    testsupport::TempDir dir;
    const std::string file = dir.path("frames.avi");
    auto recorder = AviRecorder::create(file, kWidth, kHeight, 25, 1);
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(recorder->push(std::vector<std::uint8_t>(16)), AviRecorder::Push::Dropped)
        << "a frame of another size";
    // Pushed as fast as possible: the queue may fill, and what it refuses is not written.
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kWidth) * kHeight * 4, 128);
    std::vector<std::uint32_t> queued;
    for (std::uint32_t n = 0; n < 3 * AviRecorder::kQueueCapacity; ++n) {
        stampFrameNumber(frame.data(), kWidth * 4, kWidth, kHeight, n);
        const AviRecorder::Push result = recorder->push(frame);
        ASSERT_NE(result, AviRecorder::Push::Closed);
        if (result == AviRecorder::Push::Queued)
            queued.push_back(n);
        const float fill = recorder->fillState();
        EXPECT_GE(fill, 0.0f);
        EXPECT_LE(fill, 1.0f);
    }
    ASSERT_GE(queued.size(), AviRecorder::kQueueCapacity) << "an empty queue takes a whole queue";
    recorder->finish();
    recorder->finish(); // harmless
    EXPECT_EQ(recorder->push(frame), AviRecorder::Push::Closed);
    EXPECT_EQ(recorder->written(), static_cast<std::int64_t>(queued.size()));
    EXPECT_EQ(recorder->failed(), 0);
    EXPECT_EQ(recorder->fillState(), 0.0f);
    EXPECT_EQ(frameNumbers(decodeFrames(file)), queued);
}

namespace {

// What the calls that would stop the capture thread answer from that thread's callback.
struct StopFromCallback {
    LONG device = -1;
    std::atomic<bool> done{false};
    LONG detached = 0, released = 0, previewOff = 0, stopped = 0;
};

void tryToStop(void *context, void *, const BitmapInfoHeader *, FrameBuffer *) {
    auto *log = static_cast<StopFromCallback *>(context);
    if (log->done.load())
        return;
    log->detached = attachDevice(nullptr, log->device);
    log->released = releaseDevice(log->device);
    log->previewOff = preview(log->device, 0);
    log->stopped = captureStop(log->device);
    log->done = true;
}

} // namespace

TEST_F(Capture, TheCallbackCannotStopItsOwnThread) {
    start();
    StopFromCallback log;
    log.device = device;
    ASSERT_EQ(setFrameCallback(device, 0, &tryToStop, 1, &log), 0);
    ASSERT_EQ(enableFrameGrabber(device, 0, 1), 0);
    ASSERT_TRUE(waitFor([&] { return log.done.load(); }));
    EXPECT_EQ(log.detached, kNotReady);
    EXPECT_EQ(log.released, kNotReady);
    EXPECT_EQ(log.previewOff, kNotReady);
    EXPECT_EQ(log.stopped, kNotReady);
    // The device is still attached and delivering.
    const LONG captured = counts(device).captured;
    ASSERT_TRUE(waitFor([&] { return counts(device).captured > captured; }));
    EXPECT_EQ(captureReady(device), 0);
    EXPECT_EQ(releaseDevice(device), 0); // from the host's thread it stops
    EXPECT_NE(captureReady(device), 0);
}
