// Calibration: the aspect text, the dialog's checks in their order, what OK writes, the two
// clicks with their marks and messages, and the table switching to calibrated values.
#include "markersfixture.h"

#include "app/common/resources.h"
#include "app/common/settings.h"
#include "components/datalib/datalib.h"
#include "platform/classes.h"

#include <QFile>

using markers::CalibrationForm;
using markers::Calibrator;
using markers::Channel;
using platform::LONG;

namespace {

class CalibrationTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        state.IniFile = m_dir.filePath("Orvane.INI");
        state.Calibration = makeCalibration();
        ASSERT_TRUE(state.Calibration);
        calibrator().setDecimalSeparator(QStringLiteral("."));
        openBlank(10, QSize(400, 300));
    }
    Calibrator &calibrator() { return controller->calibrator; }
    static CalibrationForm form(const QString &distance, const QString &aspect,
                                const QString &hz = QStringLiteral("25"), int unit = 1) {
        CalibrationForm f;
        f.distance = distance;
        f.aspect = aspect;
        f.frequency = hz;
        f.unitIndex = unit;
        return f;
    }
    LONG calState() {
        LONG s = -1;
        state.Calibration->GetState(&s);
        return s;
    }
    std::vector<platform::BOOL> markVisibility() {
        std::vector<platform::BOOL> out;
        forEachItem([&](LONG id, const auto &item) {
            platform::BOOL v = -1;
            item->GetVisible(&v);
            if (id == markers::kCalibrationMarks)
                out.push_back(v);
        });
        return out;
    }
};

TEST_F(CalibrationTest, AspectTextsNumbersWordsAndRatios) {
    Calibrator &c = calibrator();
    EXPECT_FLOAT_EQ(float(c.aspectFactor("pal")), markers::kAspectPal);
    EXPECT_FLOAT_EQ(float(c.aspectFactor(" dv-pal ")), markers::kAspectPal);
    EXPECT_FLOAT_EQ(float(c.aspectFactor("DvNtsc")), markers::kAspectNtsc);
    EXPECT_EQ(c.aspectFactor("1:1"), 1.0);
    EXPECT_DOUBLE_EQ(c.aspectFactor("16:9"), 16.0 / 9.0);
    EXPECT_DOUBLE_EQ(c.aspectFactor("1.5:1"), 1.5);
    for (const char *none : {"16:", ":9", "0:9", "abc", "", "4/3"})
        EXPECT_EQ(c.aspectFactor(none), 0.0) << none;
    // A plain decimal number is that number, whatever the locale's separator: it is never
    // read as a grouped thousand.
    EXPECT_DOUBLE_EQ(c.aspectFactor("1.356337"), 1.356337);
    EXPECT_EQ(c.aspectFactor("1,356337"), 0.0) << "a comma is no decimal mark here";
    c.setDecimalSeparator(QStringLiteral(","));
    EXPECT_DOUBLE_EQ(c.aspectFactor("1,356337"), 1.356337);
    EXPECT_DOUBLE_EQ(c.aspectFactor("1.356337"), 1.356337);
    EXPECT_DOUBLE_EQ(c.aspectFactor("1,5:1"), 1.5);
    EXPECT_EQ(c.numberText(1.356337f), "1,356337");
}

TEST_F(CalibrationTest, OkChecksInOrderAndChangesNothingUntilAllPass) {
    Calibrator &c = calibrator();
    using O = Calibrator::Outcome;
    EXPECT_EQ(c.accept(form("", "1:1")), O::BadDistance);
    EXPECT_EQ(c.accept(form("1,000", "1:1")), O::BadDistance);
    EXPECT_EQ(c.accept(form("0", "abc")), O::BadAspect) << "the aspect is checked first";
    EXPECT_EQ(c.accept(form("10", "100.5")), O::BadAspect);
    EXPECT_EQ(c.accept(form("10", "0")), O::BadAspect);
    EXPECT_EQ(c.accept(form("0", "100")), O::ZeroDistance);
    // A frequency that is no number: message 1627, and nothing was written anywhere.
    const float rate = state.VideoFrameRate;
    EXPECT_EQ(c.accept(form("55", "100", "fast")), O::NotANumber);
    EXPECT_EQ(c.accept(form("55", "100", "0")), O::NotANumber);
    EXPECT_FALSE(QFile::exists(state.IniFile));
    double distance = -1;
    state.Calibration->GetDistance(0, &distance);
    EXPECT_NE(distance, 55.0);
    EXPECT_FLOAT_EQ(state.CalibDistance, 100.0f);
    EXPECT_EQ(state.VideoFrameRate, rate);
    EXPECT_NE(state.InteractionState, 2);

    // Accepted: a negative distance is a length too; mm.
    EXPECT_EQ(c.accept(form("-250", "PAL", "50", 2)), O::Accepted);
    EXPECT_EQ(state.InteractionState, 2);
    EXPECT_FLOAT_EQ(state.CalibDistance, -250.0f);
    EXPECT_EQ(state.CalibUnit, 3);
    EXPECT_FLOAT_EQ(state.AspectFactor, markers::kAspectPal);
    EXPECT_FLOAT_EQ(state.VideoFrameRate, 50.0f);
    EXPECT_FLOAT_EQ(host.view.AVIFrameRate(), 50.0f) << "times follow the given frequency";
    const common::CalibrationSettings stored = common::readCalibrationSettings(state.IniFile);
    EXPECT_FLOAT_EQ(stored.distance, -250.0f);
    EXPECT_EQ(stored.unit, 3);
    EXPECT_FLOAT_EQ(stored.aspect, markers::kAspectPal);
    LONG unit = 0;
    double ratio = 0;
    state.Calibration->GetParameter(1, &unit);
    state.Calibration->GetDistance(0, &distance);
    state.Calibration->GetWidthRatio(&ratio);
    EXPECT_EQ(unit, 3);
    EXPECT_EQ(distance, -250.0);
    EXPECT_DOUBLE_EQ(ratio, 399.0 / 400.0);
}

TEST_F(CalibrationTest, InFieldsAndCameraLayoutsTheFrequencyIsThatOfThePicturesShown) {
    const std::string pattern = host.view.AVIFilename();
    for (const auto &[mode, pictures] : {std::pair{1, 2}, {3, 2}, {4, 2}, {5, 4}, {0, 1}}) {
        ASSERT_EQ(host.view.AVIOpen(pattern, mode), 0) << mode;
        state.VideoMode = mode;
        state.VideoFrameRate = host.view.AVIFrameRate();
        ASSERT_EQ(calibrator().accept(form("10", "1:1", "200")), Calibrator::Outcome::Accepted);
        EXPECT_FLOAT_EQ(host.view.AVIFrameRate(), 200.0f) << "mode " << mode;
        EXPECT_FLOAT_EQ(host.view.FrameRateForced(), 200.0f / pictures) << "mode " << mode;
        EXPECT_FLOAT_EQ(state.VideoFrameRate, 200.0f);
    }
}

TEST_F(CalibrationTest, TheFormShowsTheStoredValuesAndTheMarksWhileOpen) {
    common::writeCalibrationSettings(state.IniFile, {12.5f, 1, markers::kAspectNtsc});
    state.VideoFrameRate = 29.97f;
    CalibrationForm f = calibrator().load();
    EXPECT_EQ(f.aspectEntry, 1);
    EXPECT_EQ(f.unitIndex, 0);
    EXPECT_EQ(f.distance, "12.5");
    EXPECT_EQ(f.frequency, "29.97");
    common::writeCalibrationSettings(state.IniFile, {100.0f, 9, 1.5f});
    f = calibrator().load();
    EXPECT_EQ(f.aspectEntry, -1);
    EXPECT_EQ(f.aspect, "1.5");
    EXPECT_EQ(f.unitIndex, 1) << "a damaged unit falls back to cm";
}

TEST_F(CalibrationTest, TwoClicksCalibrateAndTheTableSwitchesToCalibratedValues) {
    create(100, 150);
    EXPECT_EQ(host.rows[0].cells[1], "100");
    ASSERT_EQ(calibrator().accept(form("50", "4:3", "25", 1)), Calibrator::Outcome::Accepted);
    // First click: one red point mark, shown; still calibrating.
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 100, 150);
    EXPECT_EQ(state.InteractionState, 2);
    EXPECT_EQ(state.CalibPointIndex, 1);
    EXPECT_EQ(markVisibility(), std::vector<platform::BOOL>({1}));
    platform::COLORREF color = 0;
    firstItem(markers::kCalibrationMarks)->GetColor(&color);
    EXPECT_EQ(color, 255u);
    EXPECT_TRUE(dialogs.messages.empty());
    // Second click: two points and the blue line, then success, and the marks go.
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 300, 150);
    EXPECT_EQ(markVisibility(), std::vector<platform::BOOL>({0, 0, 0}));
    LONG kind = 0;
    forEachItem([&](LONG id, const auto &item) {
        if (id == markers::kCalibrationMarks)
            item->GetKind(&kind);
    });
    EXPECT_EQ(kind, datalib::ItemLines);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Calibration successful.");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Information);
    EXPECT_TRUE(state.VideoCalibrated);
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_EQ(state.CalibPointIndex, 0);
    EXPECT_EQ(calState(), 0);
    // 200 px between the points are 50 cm; the marker sits on point 0, the origin.
    EXPECT_EQ(host.rows[0].cells[1], "0.00");
    EXPECT_EQ(host.rows[0].cells[2], "0.00");
    channels(1).put(Channel::PosX, 0, 0.875f); // 350 px: 62.5 cm to the right
    step(0);
    EXPECT_EQ(host.rows[0].cells[1], "62.50");

    // Closing the dialog later leaves the calibration in force.
    calibrator().load();
    calibrator().unload();
    EXPECT_EQ(calState(), 0);
    // Another video: no longer.
    controller->discardMarkers();
    EXPECT_NE(calState(), 0);
}

TEST_F(CalibrationTest, APointClickedTwiceFailsAndChangesNothingElse) {
    ASSERT_EQ(calibrator().accept(form("50", "1:1")), Calibrator::Outcome::Accepted);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 100, 150);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 100, 150);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Calibration failed! Please try again.");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Exclamation);
    EXPECT_FALSE(state.VideoCalibrated);
    EXPECT_EQ(state.InteractionState, 1);
    EXPECT_EQ(state.CalibPointIndex, 0);
    EXPECT_EQ(markVisibility(), std::vector<platform::BOOL>({0, 0, 0}));
}

TEST_F(CalibrationTest, TheExportAddsCalibratedColumnsByTheLibrarysFormula) {
    create(100, 150);
    const auto ch = channels(1);
    ch.put(Channel::PointStatus, 1, 1.0f);
    ch.put(Channel::PosX, 1, float(123.25 / 400));
    ch.put(Channel::PosY, 1, float(77.5 / 300));
    ASSERT_EQ(calibrator().accept(form("50", "4:3", "25", 2)), Calibrator::Outcome::Accepted);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 100, 150);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 300, 250);
    ASSERT_EQ(calState(), 0);
    const QStringList lines = controller->textExport.text(QStringLiteral(".")).split(u'\n');
    EXPECT_EQ(lines[0], "Frame\tTime (s)\tPoint 1 X (mm)\tPoint 1 Y (mm)\tPoint 1 X (px)\t"
                        "Point 1 Y (px)\tPoint 1 Rotation");
    // The formula of the data library: span in picture widths, k = |D| / span.
    const double x0 = 100.0 / 400, y0 = 150.0 / 300, x1 = 300.0 / 400, y1 = 250.0 / 300;
    const double a = 4.0 / 3.0;
    const double k = 50.0 / std::hypot(x1 - x0, (y1 - y0) / a);
    for (int f : {0, 1}) {
        const QStringList cells = lines[f + 1].split(u'\t');
        const double fx = cells[4].toDouble() / 400, fy = cells[5].toDouble() / 300;
        EXPECT_NEAR(cells[2].toDouble(), k * (fx - x0), 1e-4) << f;
        EXPECT_NEAR(cells[3].toDouble(), -k * (fy - y0) / a, 1e-4) << f;
        EXPECT_EQ(cells[2].section(u'.', 1).size(), 6) << "six decimals";
    }
    // Frames without a point stay empty in every column.
    EXPECT_EQ(lines[3].split(u'\t').mid(2), QStringList({"", "", "", "", ""}));
}

TEST_F(CalibrationTest, MarkersNeedACalibrationWhenTheOptionsSaySo) {
    state.settings.CalibrationMandatory = true;
    create(100, 150);
    EXPECT_TRUE(host.rows.empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, common::res(state, 1036) + "\n" + common::res(state, 1043));
    ASSERT_EQ(calibrator().accept(form("50", "1:1")), Calibrator::Outcome::Accepted);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 100, 150);
    controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 300, 150);
    create(100, 150);
    EXPECT_EQ(host.rows.size(), 1u);
}

} // namespace
