// The exports' velocity and acceleration columns: off unless the settings file switches them
// on, named per marker in pixels or the calibration's unit, their values for tracks of known
// motion, and empty cells where there is nothing to differentiate.
#include "markersfixture.h"

#include "app/common/settings.h"
#include "app/markers/markerkinematics.h"
#include "app/markers/textexport.h"

using markers::Channel;
using markers::ExportTable;

namespace {

constexpr double kRate = 25.0;
constexpr int kFrames = 40;

class KinematicsExportTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(kFrames);
        state.VideoFrameRate = float(kRate);
        state.IniFile = m_dir.filePath("Orvane.INI");
    }
    void switchOn() { ASSERT_TRUE(common::writeExportKinematicsSetting(state.IniFile, true)); }
    static int columnOf(const ExportTable &t, const QString &name) {
        const int c = static_cast<int>(t.header.indexOf(name));
        EXPECT_GE(c, 0) << name.toStdString();
        return c;
    }
    // The six column names of a marker in a unit.
    static QStringList kinematicsNames(const QString &marker, const QString &unit) {
        QStringList out;
        for (const char *q : {" Vx", " Vy", " Speed"})
            out << marker + QLatin1String(q) + " (" + unit + "/s)";
        for (const char *q : {" Ax", " Ay", " Acc"})
            out << marker + QLatin1String(q) + " (" + unit + QString::fromUtf8("/s\u00B2)");
        return out;
    }
};

TEST_F(KinematicsExportTest, OffByDefaultTheColumnsAreAbsent) {
    create(100, 60);
    const ExportTable t = controller->textExport.table();
    EXPECT_EQ(t.header, QStringList({"Frame", "Time (s)", "Point 1 X (px)", "Point 1 Y (px)",
                                     "Point 1 Rotation"}));
    // Switched off again in the file: absent again.
    switchOn();
    ASSERT_TRUE(common::writeExportKinematicsSetting(state.IniFile, false));
    EXPECT_EQ(controller->textExport.table().header, t.header);
}

TEST_F(KinematicsExportTest, OnEachMarkerGainsSixPixelColumnsAfterItsOwn) {
    create(100, 60);
    create(200, 120, 5);
    host.rows[1].text = "Heel";
    switchOn();
    const ExportTable t = controller->textExport.table();
    const QStringList expected =
        QStringList({"Frame", "Time (s)", "Point 1 X (px)", "Point 1 Y (px)", "Point 1 Rotation"}) +
        kinematicsNames("Point 1", "px") +
        QStringList({"Heel X (px)", "Heel Y (px)", "Heel Rotation"}) +
        kinematicsNames("Heel", "px");
    EXPECT_EQ(t.header, expected);
    ASSERT_EQ(t.decimals.size(), std::size_t(expected.size()));
    for (const QString &name : kinematicsNames("Heel", "px"))
        EXPECT_EQ(t.decimals[std::size_t(columnOf(t, name))], 4) << name.toStdString();
    for (const ExportTable::Row &row : t.rows)
        EXPECT_EQ(row.size(), std::size_t(expected.size()));
    // The text has the same header line, in UTF-8.
    const QString text = controller->textExport.text(QStringLiteral("."));
    EXPECT_TRUE(text.startsWith(expected.join(u'\t') + u'\n'));
    EXPECT_TRUE(text.toUtf8().contains("Heel Acc (px/s\xC2\xB2)"));
}

TEST_F(KinematicsExportTest, ConstantVelocityGivesItsSpeedAndNoAcceleration) {
    create(100, 60);
    // 2 px per frame to the right, 1 px per frame up, at 25 frames per second.
    track(
        1, [](int f) { return 20.0 + 2.0 * f; }, [](int f) { return 200.0 - 1.0 * f; });
    switchOn();
    const ExportTable t = controller->textExport.table();
    const QStringList names = kinematicsNames("Point 1", "px");
    const int vx = columnOf(t, names[0]), vy = columnOf(t, names[1]), speed = columnOf(t, names[2]),
              ax = columnOf(t, names[3]), ay = columnOf(t, names[4]), acc = columnOf(t, names[5]);
    for (int f = 5; f < kFrames - 5; ++f) {
        const ExportTable::Row &row = t.rows[std::size_t(f)];
        ASSERT_TRUE(row[std::size_t(vx)] && row[std::size_t(ax)]) << f;
        EXPECT_NEAR(*row[std::size_t(vx)], 2.0 * kRate, 0.05) << f;
        // Image y grows downwards; pixels keep the image's direction.
        EXPECT_NEAR(*row[std::size_t(vy)], -1.0 * kRate, 0.05) << f;
        EXPECT_NEAR(*row[std::size_t(speed)], std::hypot(2.0, 1.0) * kRate, 0.05) << f;
        EXPECT_NEAR(*row[std::size_t(ax)], 0.0, 0.5) << f;
        EXPECT_NEAR(*row[std::size_t(ay)], 0.0, 0.5) << f;
        EXPECT_NEAR(*row[std::size_t(acc)], 0.0, 0.5) << f;
    }
}

TEST_F(KinematicsExportTest, ConstantAccelerationGivesItsRampAndItsAcceleration) {
    create(100, 60);
    // x = 10 + 0.1 f² px: 0.2 f px per frame, 0.2 px per frame².
    track(
        1, [](int f) { return 10.0 + 0.1 * f * f; }, [](int) { return 100.0; });
    switchOn();
    const ExportTable t = controller->textExport.table();
    const int vx = columnOf(t, "Point 1 Vx (px/s)");
    const int ax = columnOf(t, QString::fromUtf8("Point 1 Ax (px/s\u00B2)"));
    const int vy = columnOf(t, "Point 1 Vy (px/s)");
    const double a = 0.2 * kRate * kRate;
    for (int f = 10; f < kFrames - 10; ++f) {
        const ExportTable::Row &row = t.rows[std::size_t(f)];
        ASSERT_TRUE(row[std::size_t(vx)] && row[std::size_t(ax)] && row[std::size_t(vy)]) << f;
        EXPECT_NEAR(*row[std::size_t(vx)], 0.2 * f * kRate, 0.01 * 0.2 * f * kRate + 0.1) << f;
        EXPECT_NEAR(*row[std::size_t(ax)], a, 0.02 * a) << f;
        EXPECT_NEAR(*row[std::size_t(vy)], 0.0, 0.05) << f;
    }
}

TEST_F(KinematicsExportTest, CalibratedColumnsUseTheUnitAndFollowTheCalibration) {
    calibrateFiftyCentimetres();
    ASSERT_TRUE(controller->table.calibrated());
    state.VideoFrameRate = float(kRate);
    create(100, 60);
    track(
        1, [](int f) { return 20.0 + 2.0 * f; }, [](int f) { return 50.0 + 3.0 * f; });
    switchOn();
    const ExportTable t = controller->textExport.table();
    for (const QString &name : kinematicsNames("Point 1", "mm"))
        EXPECT_EQ(t.decimals[std::size_t(columnOf(t, name))], 6) << name.toStdString();
    EXPECT_FALSE(t.header.contains("Point 1 Vx (px/s)"));

    // Millimetres per pixel along each axis, from the calibration itself.
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    platform::LONG status = 0;
    ASSERT_TRUE(platform::succeeded(state.Calibration->Transform(0.0, 0.0, &x0, &y0, &status)));
    ASSERT_TRUE(platform::succeeded(state.Calibration->Transform(
        100.0 / state.VideoWidth, 100.0 / state.VideoHeight, &x1, &y1, &status)));
    const double perPxX = (x1 - x0) / 100.0, perPxY = (y1 - y0) / 100.0;
    ASSERT_GT(perPxX, 0.0);
    ASSERT_LT(perPxY, 0.0); // calibrated y grows upwards
    const int vx = columnOf(t, "Point 1 Vx (mm/s)"), vy = columnOf(t, "Point 1 Vy (mm/s)");
    const int ax = columnOf(t, QString::fromUtf8("Point 1 Ax (mm/s\u00B2)"));
    const ExportTable::Row &row = t.rows[kFrames / 2];
    ASSERT_TRUE(row[std::size_t(vx)] && row[std::size_t(vy)] && row[std::size_t(ax)]);
    EXPECT_NEAR(*row[std::size_t(vx)], 2.0 * kRate * perPxX, 1e-3 * std::fabs(perPxX) * kRate);
    EXPECT_NEAR(*row[std::size_t(vy)], 3.0 * kRate * perPxY, 1e-3 * std::fabs(perPxY) * kRate);
    EXPECT_NEAR(*row[std::size_t(ax)], 0.0, 0.02 * std::fabs(perPxX) * kRate * kRate);
}

TEST_F(KinematicsExportTest, CellsStayEmptyWithoutPointsOrWithoutAFrameRate) {
    create(100, 60);
    create(200, 120, 5);
    track(
        1, [](int f) { return 20.0 + 2.0 * f; }, [](int) { return 100.0; });
    // The second marker loses its only point; the first has a gap of five frames.
    channels(2).put(Channel::PointStatus, 0, 0.0f);
    for (int f = 20; f < 25; ++f)
        channels(1).put(Channel::PointStatus, f, 0.0f);
    switchOn();
    ExportTable t = controller->textExport.table();
    const QStringList first = kinematicsNames("Point 1", "px");
    const QStringList second = kinematicsNames("Point 2", "px");
    for (int f = 0; f < kFrames; ++f) {
        const ExportTable::Row &row = t.rows[std::size_t(f)];
        for (const QString &name : second)
            EXPECT_FALSE(row[std::size_t(columnOf(t, name))]) << f << name.toStdString();
        const bool inGap = f >= 20 && f < 25;
        EXPECT_EQ(bool(row[std::size_t(columnOf(t, first[0]))]), !inGap) << f;
    }
    // A text line of the second marker keeps its columns: empty between the tabs.
    const QStringList lines = controller->textExport.text(QStringLiteral(".")).split(u'\n');
    EXPECT_TRUE(lines[10].endsWith(QString(u'\t').repeated(9))) << lines[10].toStdString();

    state.VideoFrameRate = 0.0f;
    t = controller->textExport.table();
    ASSERT_TRUE(t.rows[10][std::size_t(columnOf(t, "Point 1 X (px)"))]);
    for (const ExportTable::Row &row : t.rows)
        for (const QString &name : first)
            EXPECT_FALSE(row[std::size_t(columnOf(t, name))]) << name.toStdString();
}

} // namespace
