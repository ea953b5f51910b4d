// The measurement layers over the frame, pixel by pixel: where crosses, lines and circles
// land at zoom 100 and 200 with offsets, what missing data leave out, the order and
// switches of the layers in a composed view, the overlay picture's transparent colour, and
// the second video mixed into the view.
#include "components/aviplayer/picturemix.h"
#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "control/cvviewctrl.h"
#include "control/overlaylayers.h"
#include "frmwriter.h"
#include "platform/classes.h"
#include "platform/picture.h"
#include "recordingdialogs.h"
#include "tests/support/clips.h"

#include <QPainter>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

using namespace quivex;
using namespace testing_frm;
using platform::ComPtr;
using platform::IUnknown;

namespace {

constexpr QRgb kRed = 0xFFFF0000;

bool isRed(const QImage &image, int x, int y) {
    return image.rect().contains(x, y) && image.pixel(x, y) == kRed;
}

// A line or circle of one pixel passes within a pixel of where its geometry says.
bool colourNear(const QImage &image, int x, int y, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.rect().contains(x + dx, y + dy) && image.pixel(x + dx, y + dy) == colour)
                return true;
    return false;
}

QImage canvas(int w = 200, int h = 100) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

ComPtr<IUnknown> unknown(platform::IUnknown *object) {
    return ComPtr<IUnknown>::share(object);
}

// A data set of `components` components holding, per marker, frames 0..99.
class Data {
public:
    explicit Data(LONG components) {
        datalib::TalvorDatas *raw = nullptr;
        factory->CreateDatas(-1, &raw);
        set = ComPtr<datalib::TalvorDatas>::attach(raw);
        set->SetComponentCount(components);
    }
    void addMarker(LONG marker) {
        ASSERT_EQ(datalib::addMarkerChannels(*factory, *set, marker, 0, 100), platform::S_OK);
    }
    void put(LONG marker, LONG frame, float a, float b, float c = -1.0f) {
        LONG status = 0;
        set->WriteFrame(marker, static_cast<platform::SHORT>(frame), a, b, c, &status);
    }
    ComPtr<datalib::TalvorDatas> set;

private:
    ComPtr<datalib::TalvorDataFactory> factory = datalib::createDataFactory();
};

ComPtr<datalib::TalvorSpec> layout(std::initializer_list<LONG> points) {
    auto shape = datalib::createPointLayout();
    for (LONG id : points)
        shape->AddPoint(id);
    return shape;
}

// An affine camera (a special case of the projective model): u = 0.3 + 0.01 x + 0.002 z,
// v = 0.6 - 0.01 y + 0.001 z, calibrated on the corners of a 10-unit cube.
ComPtr<datalib::TalvorCal3D> cubeCalibration() {
    auto cal = datalib::createCal3D();
    LONG id = 1;
    for (int x : {0, 10})
        for (int y : {0, 10})
            for (int z : {0, 10})
                cal->SetPoint(id++, x, y, z, 0.3 + 0.01 * x + 0.002 * z,
                              0.6 - 0.01 * y + 0.001 * z);
    return cal;
}

TEST(OverlayLayers, FractionsLandThroughZoomAndOffsets) {
    // Half of a 640-pixel image at zoom 200 lands at 641 before the drawing's rounding.
    const OverlayMapping zoomed{200, 640, 480, 0, 0};
    EXPECT_EQ(zoomed.toWindow(0.5, 0.5).x(), 641);
    EXPECT_EQ(zoomed.toWindow(0.5, 0.5).y(), 481);
    const OverlayMapping shifted{200, 640, 480, 100, -20};
    EXPECT_EQ(shifted.toWindow(0.5, 0.5), QPoint(541, 501));
    OverlayMapping live{200, 640, 480, 100, -20};
    live.live = true;
    live.captureWidth = 320;
    live.captureHeight = 240;
    EXPECT_EQ(live.toWindow(0.5, 0.25), QPoint(160, 60)); // the capture size alone
}

TEST(OverlayLayers, RawDataDrawCrossesLinesAndCirclesAtTheMappedPixels) {
    Data data(2);
    for (LONG m : {1, 2, 3})
        data.addMarker(m);
    data.put(1, 5, 0.25f, 0.5f); // (50, 50) in a 200 x 100 image
    data.put(2, 5, 0.75f, 0.5f); // (150, 50)
    // Marker 3 has no value at frame 5.
    auto shape = layout({1, 2, 3});
    shape->AddConnection(1, 2, 0x00FF00);   // green line
    shape->AddConnection(2, -10, 0xFF0000); // blue circle of radius 10 image pixels
    shape->AddConnection(3, 1, 0x00FFFF);   // first point missing: skipped
    shape->AddConnection(1, 3, 0x00FFFF);   // second point missing: no line

    for (LONG zoom : {100, 200}) {
        SCOPED_TRACE(zoom);
        QImage image = canvas(500, 300);
        QPainter painter(&image);
        const OverlayMapping mapping{zoom, 200, 100, 10, 5};
        drawRawData(painter, *shape, *data.set, 5, mapping, {true, true, 1, CrossKind::Data});
        painter.end();
        const QPoint a = mapping.toWindow(0.25, 0.5), b = mapping.toWindow(0.75, 0.5);
        // Crosses: two pixels each side of the centre.
        for (int d = -2; d <= 2; ++d) {
            EXPECT_TRUE(isRed(image, a.x(), a.y() + d)) << d;
            EXPECT_TRUE(isRed(image, a.x() + d, a.y())) << d;
        }
        EXPECT_FALSE(isRed(image, a.x(), a.y() + 3));
        EXPECT_FALSE(isRed(image, a.x() - 3, a.y()));
        // The line between the two points, in its colour.
        const int mid = (a.x() + b.x()) / 2;
        EXPECT_EQ(image.pixel(mid, a.y()), 0xFF00FF00u);
        // The circle around point 2: radius 10 at zoom 100, 20 at zoom 200; no fill.
        const int r = 10 * zoom / 100;
        EXPECT_EQ(image.pixel(b.x(), b.y() + r), 0xFF0000FFu);
        EXPECT_EQ(image.pixel(b.x(), b.y() + r + 2), 0xFF000000u);
        EXPECT_EQ(image.pixel(b.x(), b.y() + r / 2), 0xFF000000u);
        // Nothing in the missing point's colour anywhere.
        bool cyan = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                cyan = cyan || image.pixel(x, y) == 0xFF00FFFFu;
        EXPECT_FALSE(cyan);
    }
}

TEST(OverlayLayers, SwitchesAndMissingValuesLeaveThingsOut) {
    Data data(2);
    data.addMarker(1);
    data.addMarker(2);
    data.put(1, 0, 0.25f, 0.5f);
    data.put(2, 0, -1.0e9f, 0.5f); // missing x
    auto shape = layout({1, 2});
    shape->AddConnection(1, 2, 0x00FF00);
    const OverlayMapping mapping{100, 200, 100, 0, 0};

    QImage lines = canvas();
    {
        QPainter painter(&lines);
        drawRawData(painter, *shape, *data.set, 0, mapping, {true, false, 3, CrossKind::Data});
    }
    EXPECT_EQ(lines, canvas()) << "a line to a missing point is not drawn";

    QImage points = canvas();
    {
        QPainter painter(&points);
        drawRawData(painter, *shape, *data.set, 0, mapping, {false, true, 3, CrossKind::Data});
    }
    EXPECT_TRUE(isRed(points, 50, 50));
    int red = 0;
    for (int y = 0; y < points.height(); ++y)
        for (int x = 0; x < points.width(); ++x)
            red += isRed(points, x, y);
    EXPECT_EQ(red, 9) << "one cross of 5 + 5 pixels sharing its centre, none for the missing";

    // A frame the data do not hold reads as missing: nothing at all.
    QImage outside = canvas();
    {
        QPainter painter(&outside);
        drawRawData(painter, *shape, *data.set, 500, mapping, {true, true, 3, CrossKind::Data});
    }
    EXPECT_EQ(outside, canvas());
}

TEST(OverlayLayers, CalibrationPointsUseTheirOwnLayoutsAndShorterCrosses) {
    auto cal3D = cubeCalibration();
    cal3D->AddConnection(1, 8, 0x00FF00);
    QImage image = canvas();
    {
        QPainter painter(&image);
        drawCal3DPoints(painter, *cal3D, {100, 200, 100, 0, 0},
                        {true, true, 1, CrossKind::Calibration});
    }
    // Point 1 at (0.3, 0.6) -> (60, 60): arms from two before to one after the centre.
    EXPECT_TRUE(isRed(image, 60, 58));
    EXPECT_TRUE(isRed(image, 60, 61));
    EXPECT_FALSE(isRed(image, 60, 62));
    EXPECT_TRUE(isRed(image, 58, 60));
    EXPECT_TRUE(isRed(image, 61, 60));
    EXPECT_FALSE(isRed(image, 62, 60));
    // Point 8 (10, 10, 10) at (0.42, 0.51) -> (84, 51); the connection runs between them.
    EXPECT_TRUE(isRed(image, 84, 51));
    EXPECT_TRUE(colourNear(image, 72, 56, 0xFF00FF00u));
    EXPECT_FALSE(colourNear(image, 72, 45, 0xFF00FF00u));

    auto calFactory = datalib::createCalFactory();
    datalib::TalvorCal2D *raw = nullptr;
    calFactory->CreateCal2D(&raw);
    auto cal2D = ComPtr<datalib::TalvorCal2D>::attach(raw);
    cal2D->SetPointX(0, 0.1);
    cal2D->SetPointY(0, 0.2);
    cal2D->SetPointX(1, 0.9);
    cal2D->SetPointY(1, 0.2);
    QImage flat = canvas();
    {
        QPainter painter(&flat);
        drawCal2DPoints(painter, *cal2D, {200, 200, 100, 0, 0},
                        {false, true, 1, CrossKind::Calibration});
    }
    // (0.1, 0.2) at zoom 200: 0.1 * 200 * 200 * 0.01 + 1 = 41, 0.2 * 200 * 100 * 0.01 + 1 = 41.
    EXPECT_TRUE(isRed(flat, 41, 41));
    EXPECT_TRUE(isRed(flat, 41, 39));
    EXPECT_FALSE(isRed(flat, 41, 43));
    EXPECT_FALSE(isRed(flat, 361, 41)) << "the second point lies outside this canvas";
}

TEST(OverlayLayers, ThreeDimensionalDataProjectThroughTheCamera) {
    auto cal = cubeCalibration();
    auto projection = datalib::createProjection();
    ASSERT_EQ(projection->SetCalibration(cal.get()), platform::S_OK);
    Data data(3);
    data.addMarker(1);
    data.addMarker(2);
    data.set->SetFrameRate(50.0f);
    data.put(1, 10, 5, 5, 5);   // (0.36, 0.555) -> (72, 56)
    data.put(2, 10, 0, 10, 0);  // (0.3, 0.5) -> (60, 50)
    data.put(2, 20, 10, 0, 10); // (0.42, 0.61) -> (84, 61)
    auto shape = layout({1, 2});
    shape->AddConnection(1, -4, 0x00FF00);
    const OverlayMapping mapping{100, 200, 100, 0, 0};

    // By time 0.2 s (frame 10 at 50 fps): crosses and the circle at the projected points.
    QImage image = canvas();
    {
        QPainter painter(&image);
        draw3DData(painter, *shape, *data.set, *projection, 10, 0.2, mapping,
                   {true, true, 1, CrossKind::Data});
    }
    EXPECT_TRUE(isRed(image, 72, 56));
    EXPECT_TRUE(isRed(image, 60, 50));
    EXPECT_TRUE(colourNear(image, 72, 60, 0xFF00FF00u));
    EXPECT_FALSE(colourNear(image, 72, 63, 0xFF00FF00u));

    // Time 0 reads the connections by frame and the points by time: the circle follows
    // frame 20, the crosses stay at time 0, where nothing is stored.
    QImage byFrame = canvas();
    data.put(1, 20, 10, 0, 10);
    {
        QPainter painter(&byFrame);
        draw3DData(painter, *shape, *data.set, *projection, 20, 0.0, mapping,
                   {true, true, 1, CrossKind::Data});
    }
    EXPECT_TRUE(colourNear(byFrame, 84, 65, 0xFF00FF00u));
    EXPECT_FALSE(colourNear(byFrame, 72, 60, 0xFF00FF00u));
    EXPECT_FALSE(isRed(byFrame, 84, 61));

    // An uncalibrated helper projects nothing.
    auto blind = datalib::createProjection();
    QImage none = canvas();
    {
        QPainter painter(&none);
        draw3DData(painter, *shape, *data.set, *blind, 10, 0.2, mapping,
                   {true, true, 1, CrossKind::Data});
    }
    EXPECT_EQ(none, canvas());
}

// A 4 x 3 picture: white with one transparent-coloured (magenta) column and one blue pixel.
ComPtr<platform::IPicture> smallPicture() {
    auto picture = platform::createPicture(4, 3, platform::PixelFormat::Bgra32);
    QImage target(picture->mutableData(), 4, 3, picture->image().stride, QImage::Format_RGB32);
    target.fill(Qt::white);
    for (int y = 0; y < 3; ++y)
        target.setPixel(1, y, 0xFFFF00FF);
    target.setPixel(3, 2, 0xFF0000FF);
    return picture;
}

QImage pictureImage(platform::IPicture &picture) {
    const auto v = picture.image();
    return QImage(v.data, v.width, v.height, v.stride, QImage::Format_RGB32).copy();
}

// A canvas of the size with the keyed picture drawn over it.
QImage overlaid(const KeyedPicture &keyed, int width, int height, LONG zoom, bool stretch,
                LONG videoWidth, LONG videoHeight, QPoint at) {
    QImage image = canvas(width, height);
    QPainter painter(&image);
    drawOverlayPicture(painter, keyed, zoom, stretch, videoWidth, videoHeight, at);
    painter.end();
    return image;
}

TEST(OverlayLayers, OverlayPictureMasksItsTransparentColourAndFollowsTheZoom) {
    const auto picture = smallPicture();
    const auto keyed = keyTransparent(pictureImage(*picture), QColor(255, 0, 255));
    ASSERT_EQ(keyed.tiles.size(), 1u);
    EXPECT_EQ(keyed.tiles.front(), QRect(0, 0, 4, 3));
    // A picture of the transparent colour alone, but for one pixel, keeps one tile of many.
    QImage wide(100, 70, QImage::Format_RGB32);
    wide.fill(QColor(255, 0, 255));
    wide.setPixel(70, 40, qRgb(1, 2, 3));
    const auto sparse = keyTransparent(wide, QColor(255, 0, 255));
    ASSERT_EQ(sparse.tiles.size(), 1u);
    EXPECT_TRUE(sparse.tiles.front().contains(70, 40));
    QImage sparseView = overlaid(sparse, 100, 70, 100, false, 100, 70, QPoint(0, 0));
    EXPECT_EQ(sparseView.pixel(70, 40), qRgb(1, 2, 3));
    sparseView.setPixel(70, 40, 0xFF000000u);
    EXPECT_EQ(sparseView, canvas(100, 70));

    // Zoom 100: unscaled, clipped to the video's size (3 x 3 here).
    QImage at100 = overlaid(keyed, 20, 10, 100, true, 3, 3, QPoint(5, 2));
    EXPECT_EQ(at100.pixel(5, 2), 0xFFFFFFFFu);
    EXPECT_EQ(at100.pixel(6, 2), 0xFF000000u) << "the transparent colour shows the view";
    EXPECT_EQ(at100.pixel(7, 4), 0xFFFFFFFFu);
    EXPECT_EQ(at100.pixel(8, 4), 0xFF000000u) << "clipped to the video's width";

    // Zoom 200 stretched: every picture pixel becomes 2 x 2, still keyed, within 6 x 6.
    QImage stretched = overlaid(keyed, 20, 10, 200, true, 3, 3, QPoint(0, 0));
    EXPECT_EQ(stretched.pixel(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(stretched.pixel(2, 5), 0xFF000000u);
    EXPECT_EQ(stretched.pixel(3, 0), 0xFF000000u);
    EXPECT_EQ(stretched.pixel(5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(stretched.pixel(6, 4), 0xFF000000u) << "the blue pixel lies beyond 6 x 6";

    // Zoom 200 without the stretch bit: drawn unscaled, within the zoomed video size.
    QImage unscaled = overlaid(keyed, 20, 10, 200, false, 3, 3, QPoint(0, 0));
    EXPECT_EQ(unscaled.pixel(1, 0), 0xFF000000u);
    EXPECT_EQ(unscaled.pixel(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(unscaled.pixel(3, 2), 0xFF0000FFu);
    EXPECT_EQ(unscaled.pixel(4, 0), 0xFF000000u);

    // Far-off positions and sizes from a host are held, never overflowing.
    QImage far = overlaid(keyed, 20, 10, 1999, true, 2000000000, 2000000000,
                          QPoint(2000000000, -2000000000));
    EXPECT_EQ(far, canvas(20, 10));
}

// The composed view of a control showing a 200 x 100 raw frame file (grey pixels, 50 fps).
class Overlays : public ::testing::Test {
protected:
    void SetUp() override {
        datalib::registerClasses();
        ctrl.resize(400, 300);
        ctrl.SetBackColor(0x00000000);
        FrmSpec s;
        s.width = 200;
        s.height = 100;
        s.countA = 40;
        s.framesWritten = 40;
        s.rate = 25.0f;
        ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "overlays.frm", s).string(), 0), 0);
        ctrl.SetAVIFrame(20);
        for (LONG m : {1, 2})
            data.addMarker(m);
        ctrl.SetRawDatas(unknown(data.set.get()));
        shape = layout({1, 2});
        ctrl.SetSpecification(unknown(shape.get()));
        ctrl.SetPointsVisible(1);
    }
    int redPixels(const QImage &image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += isRed(image, x, y);
        return n;
    }
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    Data data{2};
    ComPtr<datalib::TalvorSpec> shape;
};

TEST_F(Overlays, RawDataNeedTheirSwitchAndFollowTheFrameOffset) {
    data.put(1, 20, 0.5f, 0.5f);
    EXPECT_EQ(redPixels(ctrl.composeView(ctrl.size())), 0) << "Flag 21 is off";
    ctrl.SetFlag(QVXW_DRAW_STICK, 1);
    EXPECT_TRUE(isRed(ctrl.composeView(ctrl.size()), 100, 50));

    // 0.5 s at 25 fps reads 12.5 frames on, rounded away from zero: frame 33, or 7 back.
    data.put(2, 33, 0.25f, 0.25f);
    data.put(2, 7, 0.75f, 0.75f);
    ctrl.SetAVIFrameOffset(0.5f);
    QImage ahead = ctrl.composeView(ctrl.size());
    EXPECT_TRUE(isRed(ahead, 50, 25));
    EXPECT_FALSE(isRed(ahead, 100, 50));
    ctrl.SetAVIFrameOffset(-0.5f);
    QImage behind = ctrl.composeView(ctrl.size());
    EXPECT_TRUE(isRed(behind, 150, 75));
    EXPECT_FALSE(isRed(behind, 50, 25));
}

TEST_F(Overlays, LayersFollowZoomAndOffsetsInTheComposedView) {
    data.put(1, 20, 0.5f, 0.5f);
    ctrl.SetFlag(QVXW_DRAW_STICK, 1);
    ctrl.SetZoom(200);
    ctrl.SetHorizontalOffset(30);
    ctrl.SetVerticalOffset(10);
    // 0.5 * 200 * 200 * 0.01 + 1 - 30 = 171; 0.5 * 200 * 100 * 0.01 + 1 - 10 = 91.
    const QImage view = ctrl.composeView(ctrl.size());
    EXPECT_TRUE(isRed(view, 171, 91));
    EXPECT_TRUE(isRed(view, 171, 93));
    EXPECT_FALSE(isRed(view, 171, 94));
}

TEST_F(Overlays, CalibrationLayersAndTheCal3DPutsResult) {
    auto dispatch = ctrl.dispatch();
    // Too few points for a camera: the put reports the failure and keeps the calibration.
    auto few = datalib::createCal3D();
    few->SetPoint(1, 0, 0, 0, 0.5, 0.5);
    const auto refused = platform::invoke(dispatch.get(), 28, platform::DispatchKind::PropertyPut,
                                          {platform::Variant(unknown(few.get()))});
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(ctrl.Cal3D().get(), static_cast<IUnknown *>(few.get()));
    ctrl.SetFlag(QVXW_DRAW_CALIB3D, 1);
    EXPECT_TRUE(isRed(ctrl.composeView(ctrl.size()), 100, 50)) << "its own points still show";

    auto cal = cubeCalibration();
    const auto accepted = platform::invoke(dispatch.get(), 28, platform::DispatchKind::PropertyPut,
                                           {platform::Variant(unknown(cal.get()))});
    EXPECT_TRUE(accepted.ok());
    EXPECT_EQ(platform::invoke(dispatch.get(), 28, platform::DispatchKind::PropertyPut,
                               {platform::Variant(LONG{0})})
                  .status,
              platform::S_OK)
        << "clearing is no failure";
}

TEST_F(Overlays, ThreeDimensionalDataNeedEveryObjectAndTheirSwitch) {
    Data data3(3);
    data3.addMarker(1);
    data3.set->SetFrameRate(25.0f);
    data3.put(1, 20, 5, 5, 5); // (0.36, 0.555) -> (72, 56)
    ctrl.SetDatas3D(unknown(data3.set.get()));
    ctrl.SetFlag(QVXW_DRAW_3D, 1);
    EXPECT_FALSE(isRed(ctrl.composeView(ctrl.size()), 72, 56)) << "no calibration yet";
    auto cal = cubeCalibration();
    EXPECT_EQ(ctrl.SetCal3D(unknown(cal.get())), platform::S_OK);
    EXPECT_TRUE(isRed(ctrl.composeView(ctrl.size()), 72, 56));
    ctrl.SetFlag(QVXW_DRAW_3D, 0);
    EXPECT_FALSE(isRed(ctrl.composeView(ctrl.size()), 72, 56));
}

TEST_F(Overlays, OverlayPictureSitsAtItsPositionLessTheOffsets) {
    ctrl.SetOverlayFlags(TALVOROVL_SHOW);
    const QImage bare = ctrl.composeView(ctrl.size());
    EXPECT_EQ(ctrl.composeView(ctrl.size()), bare) << "bit 1 without a picture lays nothing";
    ctrl.SetOverlayPicture(unknown(smallPicture().get()));
    ctrl.SetOverlayTransparentColor(0x00FF00FF); // magenta
    ctrl.SetFlag(QVXW_OVERLAY_X, 50);
    ctrl.SetFlag(QVXW_OVERLAY_Y, 20);
    ctrl.SetHorizontalOffset(10);
    QImage view = ctrl.composeView(ctrl.size());
    EXPECT_EQ(view.pixel(40, 20), 0xFFFFFFFFu);
    EXPECT_EQ(view.pixel(41, 20), bare.pixel(51, 20)) << "the transparent column shows the frame";
    EXPECT_EQ(view.pixel(43, 22), 0xFF0000FFu);
    // Picture() lays it over only when asked to.
    auto with = ctrl.Picture(20, 100, 0, 1);
    auto without = ctrl.Picture(20, 100, 0, 0);
    ASSERT_TRUE(with && without);
    EXPECT_EQ(pictureImage(*with).pixel(53, 22), 0xFF0000FFu);
    EXPECT_NE(pictureImage(*without).pixel(53, 22), 0xFF0000FFu);
}

TEST_F(Overlays, LiveDrawingRacesNoObjectSwap) {
    // The capture thread draws while the interface thread replaces every object it reads;
    // under the address sanitizer a use after release shows here.
    auto cal = cubeCalibration();
    Data data3(3);
    data3.addMarker(1);
    data3.put(1, 0, 5, 5, 5);
    auto items = datalib::createGraphicItems();
    ctrl.SetFlag(QVXW_DRAW_3D, 1);
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread capture([&] {
        QImage frame(64, 48, QImage::Format_RGB32);
        while (!stop) {
            QPainter painter(&frame);
            ctrl.drawLiveImage(painter, frame.size());
            ++drawn;
        }
    });
    while (drawn == 0)
        std::this_thread::yield(); // the capture thread is drawing before the swaps start
    for (int i = 0; i < 300; ++i) {
        auto freshSpec = layout({1});
        ctrl.SetSpecification(unknown(freshSpec.get()));
        auto freshCal = cubeCalibration();
        ctrl.SetCal3D(unknown(freshCal.get()));
        Data fresh(3);
        fresh.addMarker(1);
        fresh.put(1, 0, 5, 5, 5);
        ctrl.SetDatas3D(unknown(fresh.set.get()));
        auto freshItems = datalib::createGraphicItems();
        ctrl.SetGraphicItems(unknown(freshItems.get()));
    }
    const int drawnDuringSwaps = drawn;
    stop = true;
    capture.join();
    EXPECT_GT(drawnDuringSwaps, 0);
    EXPECT_TRUE(ctrl.Datas3D());
}

// Two grey clips of 40 frames with a moving square each: white in the first, black in the
// second, never at the same place.
std::filesystem::path squareClip(const std::string &name, int value, int column) {
    const auto path = tempDir() / name;
    if (std::filesystem::exists(path))
        return path;
    testsupport::RawClip clip(path.string(), "gray", 160, 120, 25, "-c:v ffv1");
    std::vector<std::uint8_t> frame(160 * 120);
    for (int f = 0; f < 40; ++f) {
        std::fill(frame.begin(), frame.end(), std::uint8_t{100});
        for (int y = 50; y < 60; ++y)
            for (int x = 0; x < 10; ++x)
                frame[static_cast<std::size_t>(y * 160 + column + x + 3 * f)] =
                    static_cast<std::uint8_t>(value);
        clip.write(frame.data(), frame.size());
    }
    return clip.finish() ? path : std::filesystem::path();
}

TEST(Mixing, LaysTheSecondVideosSubjectOverTheFirst) {
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    ctrl.resize(160, 120);
    const auto first = squareClip("mix-first.avi", 255, 0);
    const auto second = squareClip("mix-second.avi", 0, 20);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    ASSERT_EQ(ctrl.AVIOpen(first.string(), 0), 0);
    ctrl.SetAVIFrame(10);

    EXPECT_EQ(ctrl.DoMixPicture({}, "", 0, 0, 0, 30.0f, 0), 0) << "empty name: mixing off";
    EXPECT_EQ(ctrl.DoMixPicture({}, (tempDir() / "none.avi").string(), 0, 0, 0, 30.0f, 0), -1);

    // The background is the median of frames 2, 20 and 38 of the first video: the square
    // is at a different place in each, so the background is plain grey.
    ASSERT_EQ(ctrl.DoMixPicture({}, second.string(), 0, 0, aviplayer::MIX_UNTINTED, 30.0f, 0), 0);
    const QImage view = ctrl.composeView(ctrl.size());
    // Frame 10: the first video's white square at x 30..39, the second's black at 50..59.
    EXPECT_GT(qGray(view.pixel(35, 55)), 240);
    EXPECT_LT(qGray(view.pixel(55, 55)), 15);
    EXPECT_NEAR(qGray(view.pixel(100, 20)), 100, 3);
    // The sync offset moves the second video: 5 frames on, its square is 15 pixels further.
    ASSERT_EQ(ctrl.DoMixPicture({}, second.string(), 0, 5, aviplayer::MIX_UNTINTED, 30.0f, 0), 0);
    const QImage synced = ctrl.composeView(ctrl.size());
    EXPECT_LT(qGray(synced.pixel(70, 55)), 15);
    EXPECT_NEAR(qGray(synced.pixel(52, 55)), 100, 3);
    // Switching off shows the first video alone.
    EXPECT_EQ(ctrl.DoMixPicture({}, "", 0, 0, 0, 30.0f, 0), 0);
    EXPECT_NEAR(qGray(ctrl.composeView(ctrl.size()).pixel(55, 55)), 100, 3);
}

} // namespace

namespace {

// Runs the host tool; its exit code, with standard error gathered.
int runHost(const QStringList &arguments, QByteArray *errors = nullptr) {
    QProcess host;
    host.start(QStringLiteral(QVXHOST_PATH), arguments);
    if (!host.waitForFinished(120000)) { // a bound against a hang, not a measurement
        host.kill();
        return -1;
    }
    if (errors)
        *errors = host.readAllStandardError();
    return host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
}

void writeText(const std::filesystem::path &path, const char *text) {
    std::ofstream(path) << text;
}

TEST(HostTool, ScreenshotsEveryLayerFromTheCommandLine) {
    FrmSpec s;
    s.width = 200;
    s.height = 100;
    const auto video = writeFrm(tempDir() / "host.frm", s);
    const auto points = tempDir() / "host-points.csv";
    writeText(points, "# frame,id,x,y\n0,1,0.25,0.5\n0,2,0.75,0.5\n");
    const auto connections = tempDir() / "host-connections.csv";
    writeText(connections, "1,2,0x00FF00\n");
    const auto picturePath = tempDir() / "host-overlay.png";
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(QColor(255, 0, 255));
    picture.setPixel(0, 0, qRgb(0, 0, 255));
    ASSERT_TRUE(picture.save(QString::fromStdString(picturePath.string())));
    const auto shot = tempDir() / "host-shot.png";

    ASSERT_EQ(runHost({QString::fromStdString(video.string()), "--frame", "0", "--size", "300x150",
                       "--points", QString::fromStdString(points.string()), "--connections",
                       QString::fromStdString(connections.string()), "--overlay-picture",
                       QString::fromStdString(picturePath.string()), "--transparent", "0xFF00FF",
                       "--overlay-at", "180,90", "--rect", "10,10,40,30", "--screenshot",
                       QString::fromStdString(shot.string())}),
              0);
    const QImage image(QString::fromStdString(shot.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(isRed(image, 50, 50));
    EXPECT_TRUE(isRed(image, 150, 50));
    EXPECT_TRUE(colourNear(image, 100, 50, 0xFF00FF00u));
    EXPECT_EQ(image.pixel(180, 90), 0xFF0000FFu) << "the picture's one opaque pixel";
    EXPECT_NE(image.pixel(181, 91), 0xFFFF00FFu) << "its transparent colour is left out";
    int outline = 0; // the tracker's dotted top edge, black on white
    for (int x = 12; x < 38; ++x)
        outline += image.pixel(x, 10) == 0xFF000000u;
    EXPECT_GE(outline, 8);

    QByteArray errors;
    writeText(points, "0,1,half,0.5\n");
    EXPECT_EQ(runHost({QString::fromStdString(video.string()), "--points",
                       QString::fromStdString(points.string()), "--screenshot",
                       QString::fromStdString(shot.string())},
                      &errors),
              2);
    EXPECT_TRUE(errors.contains("frame")) << errors.toStdString();
}

} // namespace
