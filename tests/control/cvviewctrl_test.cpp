#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "components/lingmod/lingmod.h"
#include "control/cvviewctrl.h"
#include "control/cvviewproppage.h"
#include "frmwriter.h"
#include "platform/classes.h"
#include "platform/stream.h"
#include "recordingdialogs.h"
#include "tests/support/clips.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <limits>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quivex;
using namespace testing_frm;
using platform::ComPtr;

namespace {

QColor pixel(const QImage &image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// A short lossless clip generated once by ffmpeg: 64 x 48, 10 frames at 25 fps.
std::filesystem::path testClip() {
    const auto path = tempDir() / "clip.avi";
    if (!std::filesystem::exists(path) &&
        !testsupport::makeClip(path.string(), "-c:v ffv1", 10, "64x48", 25, "testsrc"))
        return {};
    return path;
}

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        ctrl.resize(200, 150);
        ctrl.SetBackColor(0x00000000); // black, so "nothing drawn" is easy to see
    }
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
};

} // namespace

TEST_F(Control, RangeChecksIgnoreOutOfRangePutsWithoutEvents) {
    QSignalSpy zoomed(&ctrl, &CVViewCtrl::ZoomChange);
    ctrl.SetZoom(5);
    ctrl.SetZoom(2000);
    EXPECT_EQ(ctrl.Zoom(), 100);
    EXPECT_EQ(zoomed.count(), 0);
    ctrl.SetZoom(6);
    EXPECT_EQ(ctrl.Zoom(), 6);
    ctrl.SetZoom(1999);
    EXPECT_EQ(ctrl.Zoom(), 1999);
    ASSERT_EQ(zoomed.count(), 2);
    EXPECT_EQ(zoomed.at(1).at(0).value<LONG>(), 1999);

    ctrl.SetHorizontalOffset(-1001);
    EXPECT_EQ(ctrl.HorizontalOffset(), 0);
    ctrl.SetHorizontalOffset(-1000);
    EXPECT_EQ(ctrl.HorizontalOffset(), -1000);
    ctrl.SetHorizontalOffset(4000);
    EXPECT_EQ(ctrl.HorizontalOffset(), 4000);
    ctrl.SetVerticalOffset(4001);
    EXPECT_EQ(ctrl.VerticalOffset(), 0);
    ctrl.SetPenWidth(10);
    EXPECT_EQ(ctrl.PenWidth(), 5);
    ctrl.SetPenWidth(0);
    EXPECT_EQ(ctrl.PenWidth(), 0);
}

TEST_F(Control, ImageSizeWithoutVideoAndWithTheOverlayOnlyFlag) {
    EXPECT_EQ(ctrl.AVIWidth(), 1);
    EXPECT_EQ(ctrl.AVIHeight(), 1);
    ctrl.SetOverlayFlags(TALVOROVL_ONLY);
    EXPECT_EQ(ctrl.AVIWidth(), 640);
    EXPECT_EQ(ctrl.AVIHeight(), 480);
    EXPECT_EQ(ctrl.AVINumberOfFrames(), 0);
    EXPECT_EQ(ctrl.AVIFrameRate(), 0.0f);
    EXPECT_EQ(ctrl.Copy(), 0);
    EXPECT_FALSE(ctrl.PicturePart(0, 100, 0, 0, 0, 0, 0, 0));
}

TEST_F(Control, CloseWithoutVideoAndSaveWriteNothing) {
    EXPECT_EQ(ctrl.AVIClose(), 0);
    auto stream = platform::createMemoryStream();
    EXPECT_EQ(ctrl.Save(ComPtr<platform::IUnknown>::share(stream.get())), 0);
    EXPECT_TRUE(platform::memoryStreamBytes(stream.get()).empty());
    EXPECT_EQ(ctrl.Save({}), -1);
    EXPECT_EQ(ctrl.Load({}), -1);
    auto notAStream = platform::createPicture(1, 1, platform::PixelFormat::Gray8);
    EXPECT_EQ(ctrl.Save(ComPtr<platform::IUnknown>::share(notAStream.get())), -2);
    EXPECT_EQ(ctrl.Load(ComPtr<platform::IUnknown>::share(notAStream.get())), -2);
}

TEST_F(Control, RawFrameFilesOpenShowFramesAndRefuseDamage) {
    FrmSpec s;
    s.version = 102;
    const auto path = writeFrm(tempDir() / "view.frm", s).string();
    EXPECT_EQ(ctrl.AVIOpen(path, 0), 0);
    EXPECT_TRUE(ctrl.isVideoOpen());
    EXPECT_EQ(ctrl.AVIWidth(), 8);
    EXPECT_EQ(ctrl.AVIHeight(), 6);
    EXPECT_EQ(ctrl.AVINumberOfFrames(), 3);
    EXPECT_EQ(ctrl.AVIFrameRate(), 50.0f);
    EXPECT_EQ(ctrl.AVIFilename(), path);

    // Zoom 200 with a 2-pixel horizontal offset: screen (sx, sy) shows source
    // ((sx + 2) / 2, sy / 2).
    ctrl.SetZoom(200);
    ctrl.SetHorizontalOffset(2);
    ctrl.SetAVIFrame(1);
    EXPECT_EQ(ctrl.AVIFrame(), 1);
    QImage view = ctrl.composeView(QSize(40, 30));
    for (const auto &[sx, sy] : {std::pair{0, 0}, {5, 3}, {13, 11}}) {
        const int g = grey((sx + 2) / 2, sy / 2, 1);
        EXPECT_EQ(pixel(view, sx, sy), QColor(g, g, g)) << sx << "," << sy;
    }
    // Beyond the zoomed frame the back colour shows.
    EXPECT_EQ(pixel(view, 20, 5), QColor(0, 0, 0));
    EXPECT_EQ(pixel(view, 3, 12), QColor(0, 0, 0));

    // A frame past the end shows an empty frame.
    ctrl.SetAVIFrame(7);
    view = ctrl.composeView(QSize(40, 30));
    EXPECT_EQ(pixel(view, 5, 3), QColor(0, 0, 0));
    EXPECT_TRUE(dialogs.messages.empty());

    EXPECT_EQ(ctrl.AVIClose(), 0);
    EXPECT_FALSE(ctrl.isVideoOpen());
    EXPECT_EQ(ctrl.AVIFilename(), "");
    EXPECT_EQ(ctrl.AVIFrame(), 0);
}

TEST_F(Control, UpdateFrameOffKeepsTheFrozenFrame) {
    FrmSpec s;
    const auto path = writeFrm(tempDir() / "frozen.frm", s).string();
    ASSERT_EQ(ctrl.AVIOpen(path, 0), 0);
    ctrl.SetAVIFrame(0);
    ctrl.SetUpdateFrame(0);
    ctrl.SetUpdateFrame(1); // switching on takes the current frame as the frozen one
    ctrl.SetUpdateFrame(0);
    ctrl.SetAVIFrame(2);
    EXPECT_EQ(ctrl.AVIFrame(), 2);
    const QImage view = ctrl.composeView(QSize(8, 6));
    EXPECT_EQ(pixel(view, 4, 2), QColor(grey(4, 2, 0), grey(4, 2, 0), grey(4, 2, 0)));
}

TEST_F(Control, DamagedRawFrameFilesGiveTheirResultsAndMessages) {
    FrmSpec s;
    s.magic1 = "ABCD";
    EXPECT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "bad.frm", s).string(), 0), -1);
    s = {};
    s.version = 101;
    EXPECT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "old.frm", s).string(), 0), -2);
    s = {};
    s.headerSize = 256;
    EXPECT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "big.frm", s).string(), 0), -2);
    EXPECT_FALSE(ctrl.isVideoOpen());
    ASSERT_EQ(dialogs.messages.size(), 3u);
    for (const auto &m : dialogs.messages) {
        EXPECT_FALSE(m.title.isEmpty());
        EXPECT_EQ(m.style, platform::ui::Critical);
    }
    // One text for "no raw frame file", another for "version not supported".
    EXPECT_NE(dialogs.messages[0].text, dialogs.messages[1].text);
    EXPECT_EQ(dialogs.messages[1].text, dialogs.messages[2].text);
    EXPECT_FALSE(dialogs.messages[0].text.isEmpty());
}

TEST_F(Control, PlayerServedVideoStartsAtFrameMinusOneAndChecksFrames) {
    const auto clip = testClip();
    ASSERT_FALSE(clip.empty()) << "ffmpeg could not generate the test clip";
    EXPECT_EQ(ctrl.AVIOpen(clip.string(), 0x20000), 0);
    EXPECT_TRUE(ctrl.isVideoOpen());
    EXPECT_EQ(ctrl.AVIFrame(), -1);
    EXPECT_EQ(ctrl.AVIWidth(), 64);
    EXPECT_EQ(ctrl.AVIHeight(), 48);
    EXPECT_EQ(ctrl.AVINumberOfFrames(), 10);
    EXPECT_FLOAT_EQ(ctrl.AVIFrameRate(), 25.0f);
    EXPECT_EQ(ctrl.Flag(100), 0x20000);

    ctrl.SetAVIFrame(10); // the frame count itself is out of range
    EXPECT_EQ(ctrl.AVIFrame(), -1);
    ctrl.SetAVIFrame(9);
    EXPECT_EQ(ctrl.AVIFrame(), 9);

    // The painted frame equals the player's own picture of that frame.
    auto part = ctrl.PicturePart(9, 100, 0, 0, 0, 0, 0, 0).query<platform::IPicture>();
    ASSERT_TRUE(part);
    const auto v = part->image();
    ASSERT_EQ(v.width, 64);
    const QImage reference(v.data, v.width, v.height, v.stride, QImage::Format_RGB32);
    const QImage view = ctrl.composeView(QSize(64, 48));
    for (const auto &[x, y] : {std::pair{0, 0}, {31, 20}, {63, 47}})
        EXPECT_EQ(pixel(view, x, y), QColor(reference.pixel(x, y))) << x << "," << y;

    // Copy puts the zoomed view on the clipboard.
    ctrl.SetZoom(50);
    EXPECT_EQ(ctrl.Copy(), 1);
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(32, 24));

    // A damaged file fails to open and the control stays usable.
    std::ofstream(tempDir() / "damaged.avi") << "RIFF this is not a video";
    EXPECT_EQ(ctrl.AVIOpen((tempDir() / "damaged.avi").string(), 0), -1);
    EXPECT_FALSE(ctrl.isVideoOpen());
    EXPECT_EQ(ctrl.AVIOpen(clip.string(), 0), 0);
    EXPECT_TRUE(ctrl.isVideoOpen());
}

// The background is filled only around the frame; every pixel of a repaint must still come
// from this repaint, at any zoom and offset, and what the window shows must be the composed
// view. Rendering over two different old contents catches a pixel left unpainted.
TEST_F(Control, EveryPixelOfARepaintIsPaintedAtAnyZoomAndOffset) {
    const auto clip = testClip();
    ASSERT_FALSE(clip.empty()) << "ffmpeg could not generate the test clip";
    ASSERT_EQ(ctrl.AVIOpen(clip.string(), 0x20000), 0);
    ctrl.SetAVIFrame(3);
    ctrl.SetBackColor(0x00204060);
    const QColor back(0x60, 0x40, 0x20);
    for (const LONG zoom : {37, 100, 113, 150, 333}) {
        for (const auto &[h, v] : {std::pair<LONG, LONG>{0, 0}, {7, 5}, {-9, -4}}) {
            ctrl.SetZoom(zoom);
            ctrl.SetHorizontalOffset(h);
            ctrl.SetVerticalOffset(v);
            QImage first(ctrl.size(), QImage::Format_RGB32);
            QImage second(ctrl.size(), QImage::Format_RGB32);
            first.fill(QColor(1, 2, 3));
            second.fill(QColor(250, 251, 252));
            ctrl.render(&first);
            ctrl.render(&second);
            ASSERT_EQ(first, second) << "zoom " << zoom << " offsets " << h << "," << v;
            EXPECT_EQ(first, ctrl.composeView(ctrl.size()));
            // Right of and below the zoomed frame the back colour shows.
            const int right = (64 * zoom + 50) / 100 - static_cast<int>(h);
            const int bottom = (48 * zoom + 50) / 100 - static_cast<int>(v);
            if (right + 2 < ctrl.width()) {
                EXPECT_EQ(pixel(first, right + 2, 1), back) << zoom;
            }
            if (bottom + 2 < ctrl.height()) {
                EXPECT_EQ(pixel(first, 1, bottom + 2), back) << zoom;
            }
        }
    }
}

TEST_F(Control, DrawFitsTheViewAndRestoresTheZoom) {
    FrmSpec s;
    s.width = 640;
    s.height = 480;
    s.framesWritten = 1;
    s.countA = 1;
    const auto path = writeFrm(tempDir() / "vga.frm", s).string();
    ASSERT_EQ(ctrl.AVIOpen(path, 0), 0);
    ctrl.SetAVIFrame(0);
    QImage target(320, 240, QImage::Format_RGB32);
    target.fill(Qt::blue);
    QPainter painter(&target);
    EXPECT_EQ(ctrl.Draw(&painter, 0, 0, 320, 240), 0);
    painter.end();
    EXPECT_EQ(ctrl.Zoom(), 100);
    // Zoom 50: target (x, y) shows source (2x, 2y).
    const int g = grey(200, 100, 0);
    EXPECT_EQ(pixel(target, 100, 50), QColor(g, g, g));
    EXPECT_EQ(pixel(target, 319, 239),
              QColor(grey(638, 478, 0), grey(638, 478, 0), grey(638, 478, 0)));
}

TEST_F(Control, PictureRendersAtItsOwnZoomAndRestoresState) {
    FrmSpec s;
    const auto path = writeFrm(tempDir() / "pic.frm", s).string();
    ASSERT_EQ(ctrl.AVIOpen(path, 0), 0);
    ctrl.SetAVIFrame(1);
    ctrl.SetHorizontalOffset(3);
    auto pic = ctrl.Picture(1, 200, 0, 0);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->image().width, 16);
    EXPECT_EQ(pic->image().height, 12);
    const QImage img(pic->image().data, 16, 12, pic->image().stride, QImage::Format_RGB32);
    EXPECT_EQ(pixel(img, 5, 7), QColor(grey(2, 3, 1), grey(2, 3, 1), grey(2, 3, 1)));
    EXPECT_EQ(ctrl.Zoom(), 100);
    EXPECT_EQ(ctrl.HorizontalOffset(), 3);
    EXPECT_EQ(ctrl.AVIFrame(), 1);
    EXPECT_FALSE(ctrl.Picture(1, 0, 0, 0));
    EXPECT_FALSE(ctrl.Picture(1, 1999999, 0, 0)); // refused, not allocated
}

TEST_F(Control, MouseEventsCarryImageCoordinatesAtEachZoom) {
    ctrl.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ctrl));
    QSignalSpy down(&ctrl, &CVViewCtrl::SpecialMouseDown);
    QSignalSpy up(&ctrl, &CVViewCtrl::SpecialMouseUp);
    QSignalSpy move(&ctrl, &CVViewCtrl::SpecialMouseMove);

    struct Case {
        LONG zoom, h, v;
        QPoint at;
        double fx, fy;
    };
    for (const Case c :
         {Case{100, 0, 0, {10, 20}, 10.0, 20.0}, Case{200, 0, 0, {10, 20}, 4.5, 9.5},
          Case{50, 0, 0, {10, 20}, 20.0, 40.0}, Case{200, 30, 10, {10, 20}, 19.5, 14.5},
          Case{50, -20, 40, {10, 20}, -20.0, 120.0}}) {
        ctrl.SetZoom(c.zoom);
        ctrl.SetHorizontalOffset(c.h);
        ctrl.SetVerticalOffset(c.v);
        down.clear();
        up.clear();
        QTest::mousePress(&ctrl, Qt::LeftButton, Qt::ShiftModifier, c.at);
        QTest::mouseRelease(&ctrl, Qt::LeftButton, Qt::ShiftModifier, c.at);
        ASSERT_EQ(down.count(), 1);
        const auto args = down.takeFirst();
        EXPECT_EQ(args.at(0).value<LONG>(), MK_LBUTTON | MK_SHIFT);
        EXPECT_EQ(args.at(1).value<LONG>(), c.at.x());
        EXPECT_EQ(args.at(2).value<LONG>(), c.at.y());
        EXPECT_DOUBLE_EQ(args.at(3).toDouble(), c.fx);
        EXPECT_DOUBLE_EQ(args.at(4).toDouble(), c.fy);
        ASSERT_EQ(up.count(), 1);
        EXPECT_EQ(up.first().at(0).value<LONG>(), MK_LBUTTON | MK_SHIFT);
        EXPECT_DOUBLE_EQ(up.first().at(3).toDouble(), c.fx);
    }

    // Right button with Ctrl, and moves report the buttons held.
    down.clear();
    QTest::mousePress(&ctrl, Qt::RightButton, Qt::ControlModifier, QPoint(5, 5));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.first().at(0).value<LONG>(), MK_RBUTTON | MK_CONTROL);
    QTest::mouseRelease(&ctrl, Qt::RightButton, Qt::ControlModifier, QPoint(5, 5));
    move.clear();
    QTest::mouseMove(&ctrl, QPoint(30, 40));
    ASSERT_GE(move.count(), 1);
    EXPECT_EQ(move.last().at(1).value<LONG>(), 30);

    // While rectangle tracking is on, a left press raises no event.
    ctrl.ActivateRectangle(1, 18, 0, 0, 50, 50);
    down.clear();
    QTest::mousePress(&ctrl, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&ctrl, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(down.count(), 0);
}

TEST_F(Control, MovePointerMovesTheRealPointerAndScrolls) {
    ctrl.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ctrl));
    EXPECT_EQ(ctrl.MovePointer(50.0, 40.0), 0);
    EXPECT_EQ(ctrl.mapFromGlobal(QCursor::pos()), QPoint(51, 41));
    EXPECT_EQ(ctrl.HorizontalOffset(), 0);
    // Right of the 200-pixel window: the point comes to about the middle of the width.
    EXPECT_EQ(ctrl.MovePointer(500.0, 40.0), 0);
    EXPECT_EQ(ctrl.HorizontalOffset(), 501 - 100);
    EXPECT_EQ(ctrl.mapFromGlobal(QCursor::pos()), QPoint(99, 41));
}

TEST_F(Control, GraphicItemsArePaintedOverTheFrameAsTheLastLayer) {
    datalib::registerClasses();
    auto items = platform::createInstance<datalib::TalvorGraphicItems>(datalib::CLSID_GraphicItems);
    ASSERT_TRUE(items);
    datalib::TalvorGraphicItem *raw = nullptr;
    ASSERT_EQ(items->Add(datalib::ItemBox, &raw), platform::S_OK);
    auto box = ComPtr<datalib::TalvorGraphicItem>::attach(raw);
    FrmSpec s;
    s.width = 40;
    s.height = 30;
    s.framesWritten = 1;
    s.countA = 1;
    ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "items.frm", s).string(), 0), 0);
    ctrl.SetGraphicItems(ComPtr<platform::IUnknown>::share(items.get()));
    EXPECT_TRUE(ctrl.GraphicItems());
    ctrl.SetAVIFrame(0);
    const QImage before = ctrl.composeView(QSize(40, 30));
    box.get()->SetPoint1(10, 10);
    box.get()->SetPoint2(20, 20);
    box.get()->SetLineColor(0x0000FF); // red in the control's colour order
    const QImage after = ctrl.composeView(QSize(40, 30));
    EXPECT_NE(before, after);
    EXPECT_EQ(pixel(after, 10, 15).red(), 255);
    EXPECT_EQ(pixel(after, 10, 15).green(), 0);
    // Inside the box the frame still shows.
    EXPECT_EQ(pixel(after, 15, 15), QColor(grey(15, 15, 0), grey(15, 15, 0), grey(15, 15, 0)));
    // Before the first frame put nothing is laid over.
    ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "items.frm", s).string(), 0), 0);
}

TEST_F(Control, LoadRestoresTheStreamLayoutWithoutRangeChecks) {
    FrmSpec s;
    const auto path = writeFrm(tempDir() / "load.frm", s).string();
    auto stream = platform::createMemoryStream();
    auto put = [&](std::int32_t v) {
        stream->Write(&v, 4, nullptr);
    };
    put(123);
    put(0x00112233); // BackColor
    put(1);          // Appearance
    put(static_cast<std::int32_t>(path.size()));
    stream->Write(path.c_str(), static_cast<platform::ULONG>(path.size()), nullptr);
    put(2);    // frame
    put(3000); // zoom: stored as it stands
    put(7);    // pen width
    put(11);   // horizontal offset
    put(-12);  // vertical offset
    put(1);    // points visible
    put(0);    // connections visible
    put(30);   // capture frame rate
    put(1);    // fire status enabled
    const float offset = 0.25f;
    stream->Write(&offset, 4, nullptr);
    put(8);    // overlay flags
    put(0xFF); // overlay transparent colour
    put(0);    // open mode
    put(1);    // update frame
    put(2);    // frozen frame
    stream->Seek(0, platform::SeekOrigin::Set, nullptr);

    EXPECT_EQ(ctrl.Load(ComPtr<platform::IUnknown>::share(stream.get())), 0);
    EXPECT_EQ(ctrl.BackColor(), 0x00112233u);
    EXPECT_EQ(ctrl.Zoom(), 3000);
    EXPECT_EQ(ctrl.PenWidth(), 7);
    EXPECT_EQ(ctrl.HorizontalOffset(), 11);
    EXPECT_EQ(ctrl.VerticalOffset(), -12);
    EXPECT_EQ(ctrl.PointsVisible(), 1);
    EXPECT_EQ(ctrl.FireStatusEnabled(), 1);
    EXPECT_FLOAT_EQ(ctrl.AVIFrameOffset(), 0.25f);
    EXPECT_EQ(ctrl.OverlayFlags(), 8);
    EXPECT_EQ(ctrl.AVIFilename(), path);
    EXPECT_TRUE(ctrl.isVideoOpen());
    ctrl.SetZoom(3000);
    EXPECT_EQ(ctrl.Zoom(), 3000); // unchanged: a put of 3000 is ignored

    // Another layout version is ignored after its first value.
    CVViewCtrl other;
    auto wrong = platform::createMemoryStream();
    std::int32_t v = 122;
    wrong->Write(&v, 4, nullptr);
    v = 0x00445566;
    wrong->Write(&v, 4, nullptr);
    wrong->Seek(0, platform::SeekOrigin::Set, nullptr);
    EXPECT_EQ(other.Load(ComPtr<platform::IUnknown>::share(wrong.get())), 0);
    EXPECT_NE(other.BackColor(), 0x00445566u);
}

TEST_F(Control, CaptureMembersWithoutADevice) {
    EXPECT_EQ(ctrl.Flag(1), -1);
    EXPECT_EQ(ctrl.Flag(4), -1);
    EXPECT_EQ(ctrl.Flag(17), 0);
    ctrl.SetFlag(8, 5); // no put for 8
    EXPECT_EQ(ctrl.Flag(8), 0);
    ctrl.SetFlag(22, 1);
    EXPECT_EQ(ctrl.Flag(22), 1);
    ctrl.SetFlag(101, 14);
    EXPECT_EQ(ctrl.Flag(101), 14);
    EXPECT_EQ(ctrl.CaptureDeviceName(2), "");
    EXPECT_EQ(ctrl.CaptureDeviceName(0), "");
    const LONG rate = ctrl.CaptureFrameRate();
    ctrl.SetCaptureFrameRate(99);
    EXPECT_EQ(ctrl.CaptureFrameRate(), rate);
    ctrl.SetCaptureFileSize(0);
    EXPECT_EQ(ctrl.CaptureFileSize(), 20);
    ctrl.SetCaptureDevice(3);
    ctrl.SetLiveVideo(1); // no device attaches: live video stays off, the device stays
    EXPECT_EQ(ctrl.LiveVideo(), 0);
    EXPECT_EQ(ctrl.CaptureDevice(), 3);
    EXPECT_EQ(ctrl.CaptureInit(), 0);
    EXPECT_EQ(ctrl.CaptureStart(), 0);
    EXPECT_EQ(ctrl.CaptureSequence(), 0);
    EXPECT_EQ(ctrl.DoDialogVideoSource(), -2);
    platform::Variant a, b, c, d;
    EXPECT_EQ(ctrl.GetCaptureStatistics(&a, &b, &c, &d), 0);
    EXPECT_EQ(
        ctrl.CaptureInitStartMultiple(platform::Variant(LONG{1}), platform::Variant(), nullptr, 0),
        platform::E_INVALIDARG);
    EXPECT_EQ(ctrl.CaptureFilename(), "c:\\capture.avi");
}

TEST_F(Control, PropertyPageBindsZoomAndUpdateFrameInTheControlsLanguage) {
    // The page's own seam answer: accept with new values typed in.
    struct Answering : RecordingDialogs {
        int exec(QDialog &dialog) override {
            auto &page = static_cast<CVViewPropPage &>(dialog);
            seenZoom = page.zoomBox()->value();
            seenMaximum = page.zoomBox()->maximum();
            title = page.findChild<QWidget *>(QStringLiteral("updateFrame_209"))
                        ->property("text")
                        .toString();
            page.zoomBox()->setValue(250);
            page.updateFrameBox()->setChecked(false);
            page.accept();
            return page.result();
        }
        int seenZoom = 0;
        int seenMaximum = 0;
        QString title;
    } answering;
    QSignalSpy help(&ctrl, &CVViewCtrl::HelpInfo);
    ctrl.SetZoom(120);
    ctrl.SetLCID(1033);
    ctrl.EditProperties(nullptr);
    EXPECT_EQ(answering.seenZoom, 120);
    EXPECT_EQ(answering.seenMaximum, 400);
    EXPECT_EQ(answering.title, QStringLiteral("&Update picture continuously"));
    EXPECT_EQ(ctrl.Zoom(), 250);
    EXPECT_EQ(ctrl.UpdateFrame(), 0);

    // A zoom outside 10..400 is refused by the page.
    CVViewPropPage page(ctrl, nullptr);
    page.zoomBox()->setRange(0, 1000);
    page.zoomBox()->setValue(401);
    EXPECT_FALSE(page.applyToControl());
    EXPECT_EQ(ctrl.Zoom(), 250);
    QEvent whatsThis(QEvent::WhatsThis);
    QCoreApplication::sendEvent(&page, &whatsThis);
    EXPECT_EQ(help.count(), 1);
}

namespace {
// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
} // namespace

TEST_F(Control, HeldRepaintsPaintOnceWhenTheLastHoldEnds) {
    const auto clip = testClip();
    ASSERT_FALSE(clip.empty()) << "ffmpeg could not generate the test clip";
    ASSERT_EQ(ctrl.AVIOpen(clip.string(), 0), 0);
    ctrl.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ctrl));
    QCoreApplication::processEvents();
    PaintCounter counter;
    ctrl.installEventFilter(&counter);
    ctrl.SetAVIFrame(1);
    EXPECT_EQ(counter.paints, 1) << "a frame put repaints at once";
    {
        const CVViewCtrl::RepaintHold outer(ctrl);
        ctrl.SetAVIFrame(2);
        {
            const CVViewCtrl::RepaintHold inner(ctrl);
            ctrl.QuickRefresh();
            ctrl.Refresh();
        }
        EXPECT_EQ(counter.paints, 1) << "nothing painted while a hold lasts";
        EXPECT_EQ(ctrl.AVIFrame(), 2);
    }
    EXPECT_EQ(counter.paints, 2) << "one repaint for all that was held";
    { const CVViewCtrl::RepaintHold idle(ctrl); }
    EXPECT_EQ(counter.paints, 2) << "a hold with nothing due paints nothing";
    // A release without a hold changes nothing.
    ctrl.releaseRepaints();
    ctrl.QuickRefresh();
    EXPECT_EQ(counter.paints, 3);
}

namespace {

// A message of the control's section in a language, as Lingmod holds it.
std::string controlString(platform::LCID lcid, LONG number) {
    const auto handle =
        lingmod::talvorSetLanguage(-1, QStringLiteral("tests"), lcid, QStringLiteral("COM_"));
    const QString text = lingmod::talvorGetNLSString(handle, 30004, number);
    lingmod::talvorFreeLanguage(handle);
    return text.toStdString();
}

} // namespace

TEST_F(Control, RefusedRawFrameFilesSpeakTheLanguageTheHostSetsAfterConstruction) {
    FrmSpec s;
    s.magic1 = "ABCD";
    const auto bad = writeFrm(tempDir() / "lang-bad.frm", s).string();
    s = {};
    s.version = 101;
    const auto old = writeFrm(tempDir() / "lang-old.frm", s).string();
    ASSERT_NE(controlString(1031, 11), controlString(1033, 11));

    // A new control speaks German, as the container's exchange leaves it.
    EXPECT_EQ(ctrl.LCID(), 1031);
    EXPECT_EQ(ctrl.AVIOpen(old, 0), -2);
    ctrl.SetLCID(1033);
    EXPECT_EQ(ctrl.AVIOpen(bad, 0), -1);
    EXPECT_EQ(ctrl.AVIOpen(old, 0), -2);
    // A host that knows only DISPIDs puts LCID as 32.
    EXPECT_TRUE(platform::invoke(ctrl.dispatch().get(), 32, platform::DispatchKind::PropertyPut,
                                 {platform::Variant(LONG{1046})})
                    .ok());
    EXPECT_EQ(ctrl.AVIOpen(old, 0), -2);

    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(), controlString(1031, 12));
    EXPECT_EQ(dialogs.messages[0].title.toStdString(), controlString(1031, 10));
    EXPECT_EQ(dialogs.messages[1].text.toStdString(), controlString(1033, 11));
    EXPECT_EQ(dialogs.messages[1].title.toStdString(), controlString(1033, 10));
    EXPECT_EQ(dialogs.messages[2].text.toStdString(), controlString(1033, 12));
    EXPECT_EQ(dialogs.messages[3].text.toStdString(), controlString(1046, 12));
    EXPECT_EQ(dialogs.messages[3].title.toStdString(), controlString(1046, 10));
}

TEST_F(Control, AProbingControlLeavesTheMessageToTheView) {
    // A host probes a file in a second, hidden control before it opens the file in its
    // view (Orvane's size probe): the refusal is shown once, by the view.
    FrmSpec s;
    s.headerSize = 256;
    const auto file = writeFrm(tempDir() / "probe.frm", s).string();
    CVViewCtrl probe;
    EXPECT_TRUE(probe.messageBoxesEnabled());
    probe.setMessageBoxesEnabled(false);
    EXPECT_EQ(probe.AVIOpen(file, 0), -2);
    EXPECT_FALSE(probe.isVideoOpen());
    EXPECT_EQ(probe.AVIClose(), 0);
    EXPECT_EQ(ctrl.AVIOpen(file, 0), -2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(), controlString(1031, 12));
}

TEST_F(Control, AForcedFrameRateHoldsForRawFrameFiles) {
    FrmSpec s; // 50 frames per second
    const auto path = writeFrm(tempDir() / "forced.frm", s).string();
    // Forced before the open, as a sequence information file's rate is.
    ctrl.SetFrameRateForced(29.97f);
    ASSERT_EQ(ctrl.AVIOpen(path, 0), 0);
    EXPECT_FLOAT_EQ(ctrl.AVIFrameRate(), 29.97f);
    EXPECT_FLOAT_EQ(ctrl.FrameRateForced(), 29.97f);
    // 0 gives the file's own rate back; a rate forced after the open holds at once.
    ctrl.SetFrameRateForced(0.0f);
    EXPECT_FLOAT_EQ(ctrl.AVIFrameRate(), 50.0f);
    ctrl.SetFrameRateForced(100.0f);
    EXPECT_FLOAT_EQ(ctrl.AVIFrameRate(), 100.0f);
    EXPECT_FLOAT_EQ(platform::invoke(ctrl.dispatch().get(), 18, platform::DispatchKind::PropertyGet)
                        .value.toFloat(),
                    100.0f);
    ctrl.AVIClose();
    EXPECT_EQ(ctrl.AVIFrameRate(), 0.0f);
}

TEST_F(Control, HugeFramesZoomsAndOffsetsPaintSoundly) {
    // 2^28 pixels in one row, only its header on disk: the geometry at zoom 100 overflowed
    // 32 bits. The frame lies outside the file, so the back colour shows.
    FrmSpec s;
    s.width = 1 << 28;
    s.height = 1;
    s.framesWritten = 0;
    ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "row.frm", s).string(), 0), 0);
    ctrl.SetAVIFrame(0);
    EXPECT_EQ(pixel(ctrl.composeView(QSize(40, 30)), 5, 0), QColor(0, 0, 0));
    ctrl.AVIClose();

    // 1 100 000 x 2 at zoom 1999, scrolled right by 4000: screen x shows column
    // trunc((x + 4000) * 100 / 1999) = 200 + trunc((x + 2) / 19.99), screen y row y / 20.
    s = {};
    s.width = 1100000;
    s.height = 2;
    s.framesWritten = 1;
    s.countA = 1;
    ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "wide.frm", s).string(), 0), 0);
    ctrl.SetZoom(1999);
    ctrl.SetHorizontalOffset(4000);
    ctrl.SetAVIFrame(0);
    const QImage view = ctrl.composeView(QSize(200, 100));
    for (const auto &[x, y, column, row] :
         {std::tuple{5, 5, 200, 0}, {30, 10, 201, 0}, {100, 30, 205, 1}, {190, 25, 209, 1}}) {
        const int g = grey(column, row, 0);
        EXPECT_EQ(pixel(view, x, y), QColor(g, g, g)) << x << "," << y;
    }
    EXPECT_EQ(pixel(view, 100, 60), QColor(0, 0, 0)); // below the 40 zoomed rows
    ctrl.AVIClose();

    // Columns past 32767 in view (zoom 12, 0.12 screen pixels per column, scrolled by
    // 4000): screen x shows column 33333 + trunc((x + 0.04) / 0.12), row y / 0.12.
    s.width = 70000;
    s.height = 100;
    ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "far.frm", s).string(), 0), 0);
    ctrl.SetZoom(12);
    ctrl.SetHorizontalOffset(4000);
    ctrl.SetAVIFrame(0);
    const QImage far = ctrl.composeView(QSize(200, 100));
    for (const auto &[x, y, column, row] :
         {std::tuple{10, 5, 33420, 45}, {100, 2, 34170, 20}, {190, 10, 34920, 87}}) {
        const int g = grey(column, row, 0);
        EXPECT_EQ(pixel(far, x, y), QColor(g, g, g)) << x << "," << y;
    }
    EXPECT_EQ(pixel(far, 100, 20), QColor(0, 0, 0)); // below the 12 zoomed rows

    // Draw into a rectangle whose size does not fit a LONG draws nothing and keeps the zoom.
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::blue);
    QPainter painter(&target);
    EXPECT_EQ(ctrl.Draw(&painter, std::numeric_limits<LONG>::min(), 0,
                        std::numeric_limits<LONG>::max(), 10),
              0);
    painter.end();
    EXPECT_EQ(ctrl.Zoom(), 12);
    EXPECT_EQ(pixel(target, 5, 5), QColor(Qt::blue));
}

namespace {

// A stream of the control's layout that opens `path` at a zoom and offsets that no put
// would accept, at frame 1.
ComPtr<platform::IStream> loadedState(const std::string &path, LONG zoom, LONG h, LONG v) {
    auto stream = platform::createMemoryStream();
    auto put = [&](std::int32_t value) {
        stream->Write(&value, 4, nullptr);
    };
    put(123);
    put(0); // BackColor
    put(0); // Appearance
    put(static_cast<std::int32_t>(path.size()));
    stream->Write(path.c_str(), static_cast<platform::ULONG>(path.size()), nullptr);
    put(1); // frame
    put(zoom);
    put(5); // pen width
    put(h);
    put(v);
    for (int i = 0; i < 4; ++i)
        put(0);
    const float offset = 0.0f;
    stream->Write(&offset, 4, nullptr);
    put(0); // overlay flags
    put(0); // overlay transparent colour
    put(0); // open mode
    put(1); // update frame
    put(1); // frozen frame
    stream->Seek(0, platform::SeekOrigin::Set, nullptr);
    return stream;
}

} // namespace

TEST_F(Control, ALoadedStateBeyondThePutRangesPaintsSoundly) {
    // The stream layout is read without range checks, so zoom and offsets may be anything a
    // LONG holds.
    FrmSpec s;
    s.width = 640;
    s.height = 2;
    const auto path = writeFrm(tempDir() / "extreme.frm", s).string();
    constexpr LONG kMax = std::numeric_limits<LONG>::max();
    auto load = [&](LONG zoom, LONG h, LONG v) {
        ASSERT_EQ(ctrl.Load(ComPtr<platform::IUnknown>::share(loadedState(path, zoom, h, v).get())),
                  0);
        ASSERT_EQ(ctrl.Zoom(), zoom);
        ctrl.SetAVIFrame(1);
    };
    // The frame lies 2^31 pixels right of the view.
    load(kMax, std::numeric_limits<LONG>::min(), kMax - 1);
    EXPECT_EQ(pixel(ctrl.composeView(QSize(40, 30)), 5, 5), QColor(0, 0, 0));
    // A zoomed frame 1.4e10 pixels wide, scrolled by 1.08e9: each column is 21 474 836.47
    // screen pixels wide, and the view shows column 50 (1 083 741 824 / 21 474 836.47 =
    // 50.47), as it would without the clamping.
    load(kMax, (1 << 30) + 10000000, 0);
    const int g = grey(50, 0, 1);
    EXPECT_EQ(pixel(ctrl.composeView(QSize(40, 30)), 5, 5), QColor(g, g, g));

    // The overlay picture alone (flag 8) at such offsets.
    load(kMax, std::numeric_limits<LONG>::min(), kMax - 1);
    auto picture = platform::createPicture(4, 4, platform::PixelFormat::Bgra32);
    std::memset(picture->mutableData(), 0xFF,
                4 * static_cast<std::size_t>(picture->image().stride));
    ctrl.SetOverlayPicture(ComPtr<platform::IUnknown>::share(picture.get()));
    ctrl.SetOverlayFlags(TALVOROVL_ONLY);
    EXPECT_EQ(pixel(ctrl.composeView(QSize(40, 30)), 5, 5), QColor(0, 0, 0));
}

TEST_F(Control, AMixSyncOffsetBeyondAnyFrameMixesNoSecondFrame) {
    const auto clip = testClip();
    ASSERT_FALSE(clip.empty()) << "ffmpeg could not generate the test clip";
    ASSERT_EQ(ctrl.AVIOpen(clip.string(), 0), 0);
    ctrl.SetAVIFrame(5);
    // Frame 5 plus the largest sync offset is past any LONG: the second video has no frame
    // there, and the view still composes.
    ASSERT_EQ(ctrl.DoMixPicture({}, clip.string(), 0, std::numeric_limits<LONG>::max(), 0, 0.5f, 0),
              0);
    EXPECT_EQ(ctrl.composeView(QSize(64, 48)).size(), QSize(64, 48));
}

TEST_F(Control, AFifoIsRefusedAsNoRawFrameFileWithoutWaiting) {
    FrmSpec s;
    const auto regular = writeFrm(tempDir() / "fifo-source.frm", s);
    std::ifstream in(regular, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    // Both ends are the test's, opened without blocking, with a whole file waiting in the
    // FIFO: a reader that opened it would take bytes, never hang.
    const auto fifo = tempDir() / "view-pipe.frm";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int readEnd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const int writeEnd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    ASSERT_GE(writeEnd, 0);
    ASSERT_EQ(::write(writeEnd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));

    EXPECT_EQ(ctrl.AVIOpen(fifo.string(), 0), -1);
    EXPECT_FALSE(ctrl.isVideoOpen());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(), controlString(1031, 11));
    std::vector<char> left(bytes.size() + 1);
    EXPECT_EQ(::read(readEnd, left.data(), left.size()), static_cast<ssize_t>(bytes.size()));

    // The host tool refuses it as well, whatever the name, and says why.
    for (const char *name : {"host-pipe.frm", "host-pipe.avi"}) {
        const auto hostFifo = tempDir() / name;
        std::filesystem::remove(hostFifo);
        ASSERT_EQ(::mkfifo(hostFifo.c_str(), 0600), 0);
        const int hostRead = ::open(hostFifo.c_str(), O_RDONLY | O_NONBLOCK);
        const int hostWrite = ::open(hostFifo.c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(hostRead, 0);
        ASSERT_GE(hostWrite, 0);
        ASSERT_EQ(::write(hostWrite, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        QProcess host;
        host.start(QStringLiteral(QVXHOST_PATH),
                   {QString::fromStdString(hostFifo.string()), QStringLiteral("--screenshot"),
                    QString::fromStdString((tempDir() / "never.png").string())});
        // A bound, not a measurement: a host that read from the FIFO would wait for more
        // data from the open write end, and the test must fail rather than hang then.
        const bool finished = host.waitForFinished(120000);
        if (!finished)
            host.kill();
        EXPECT_TRUE(finished) << name;
        EXPECT_EQ(host.exitCode(), 1) << name;
        EXPECT_TRUE(host.readAllStandardError().contains("not a regular file")) << name;
        EXPECT_EQ(::read(hostRead, left.data(), left.size()), static_cast<ssize_t>(bytes.size()))
            << name;
        ::close(hostWrite);
        ::close(hostRead);
    }
    ::close(writeEnd);
    ::close(readEnd);
}

TEST_F(Control, WheelEventsOverTheViewAreLeftToTheHost) {
    // A host zooms around the pointer with the wheel: an event filter on the view sees the
    // event with the position in view pixels, and the view does not accept it, so a real
    // (spontaneous) wheel event goes on to the view's parent as well.
    struct Filter : QObject {
        QPoint at;
        int notches = 0;
        bool eventFilter(QObject *, QEvent *event) override {
            if (event->type() == QEvent::Wheel) {
                const auto *wheel = static_cast<QWheelEvent *>(event);
                at = wheel->position().toPoint();
                notches = wheel->angleDelta().y() / 120;
            }
            return false;
        }
    } filter;
    ctrl.installEventFilter(&filter);
    const QPoint at(30, 40);
    QWheelEvent wheel(at, ctrl.mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    wheel.setAccepted(true);
    QCoreApplication::sendEvent(&ctrl, &wheel);
    EXPECT_EQ(filter.at, at);
    EXPECT_EQ(filter.notches, 2);
    EXPECT_FALSE(wheel.isAccepted());
}
