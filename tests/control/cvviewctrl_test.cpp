#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "control/cvviewctrl.h"
#include "control/cvviewproppage.h"
#include "frmwriter.h"
#include "platform/classes.h"
#include "platform/stream.h"
#include "recordingdialogs.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

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
    if (!std::filesystem::exists(path)) {
        const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                "testsrc=size=64x48:rate=25 -frames:v 10 -c:v ffv1 '" +
                                path.string() + "'";
        if (std::system(cmd.c_str()) != 0)
            return {};
    }
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
