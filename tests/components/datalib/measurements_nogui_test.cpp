// Angles and distances drawn in a process without a GUI application (a tool, a capture
// thread's host): the lines are drawn and the labels, which need fonts, are left out
// rather than crashing.
#include "components/datalib/datalib.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

using namespace datalib;
using platform::ComPtr;
using platform::S_OK;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

ComPtr<TalvorDatas> twoPoints() {
    auto factory = createDataFactory();
    TalvorDatas *raw = nullptr;
    EXPECT_EQ(factory->CreateDatas(-1, &raw), S_OK);
    auto datas = ComPtr<TalvorDatas>::attach(raw);
    datas->SetComponentCount(2);
    for (LONG marker : {1, 2, 3})
        EXPECT_EQ(addMarkerChannels(*factory, *datas, marker, 0, 1), S_OK);
    LONG status = 0;
    datas->WriteFrame(1, 0, 0.25f, 0.5f, -1.0f, &status);
    datas->WriteFrame(2, 0, 0.75f, 0.5f, -1.0f, &status);
    datas->WriteFrame(3, 0, 0.25f, 0.1f, -1.0f, &status);
    return datas;
}

// Painted pixels off the given row and columns.
int paintedElsewhere(const QImage &image, int row, std::initializer_list<int> columns) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (y != row && std::find(columns.begin(), columns.end(), x) == columns.end() &&
                image.pixel(x, y) != kWhite)
                ++n;
    return n;
}

} // namespace

TEST(MeasurementsWithoutApplication, DrawLinesAndLeaveOutLabels) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    auto datas = twoPoints();
    auto distances = createDistances();
    distances->SetDatas(datas.get());
    distances->Add(1, 2, 0x0000FF, nullptr);
    // Video 200 x 100 at zoom 100: (50, 50) to (150, 50).
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(kWhite);
    QPainter painter(&image);
    EXPECT_EQ(distances->Draw(0, &painter, image.rect(), 200, 100, 1.0f, 0, 0), S_OK);
    EXPECT_EQ(image.pixel(100, 50), qRgb(255, 0, 0));
    // The line and the two ticks (rows 46 to 54 of columns 50 and 150), no label.
    int tick = 0;
    for (int y = 0; y < 100; ++y)
        tick += image.pixel(150, y) != kWhite;
    EXPECT_EQ(tick, 9);
    EXPECT_EQ(paintedElsewhere(image, 50, {50, 150}), 0);

    // The angle at (50, 50) between (150, 50) and (50, 10): arms and arc, no label.
    image.fill(kWhite);
    auto angles = createAngles();
    angles->SetDatas(datas.get());
    angles->Add(2, 1, 3, 0x0000FF, nullptr);
    EXPECT_EQ(angles->Draw(0, &painter, image.rect(), 200, 100, 1.0f, 0, 0), S_OK);
    painter.end();
    EXPECT_EQ(image.pixel(100, 50), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(50, 20), qRgb(255, 0, 0));
    // Off the arms only the arc (radius 16) is painted.
    QImage outsideArc = image.copy();
    QPainter blank(&outsideArc);
    blank.fillRect(QRect(51, 33, 17, 17), kWhite);
    blank.end();
    EXPECT_NE(outsideArc, image); // there was an arc
    EXPECT_EQ(paintedElsewhere(outsideArc, 50, {50}), 0);
}
