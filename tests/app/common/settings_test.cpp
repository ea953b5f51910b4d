#include "app/common/settings.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

namespace {

using common::leadingNumber;

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    EXPECT_DOUBLE_EQ(leadingNumber(u"42"), 42);
    EXPECT_DOUBLE_EQ(leadingNumber(u"-3.25"), -3.25);
    EXPECT_DOUBLE_EQ(leadingNumber(u"+7"), 7);
    EXPECT_DOUBLE_EQ(leadingNumber(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber(u"12abc"), 12);
    EXPECT_DOUBLE_EQ(leadingNumber(u"1.5.6"), 1.5);
    // The decimal point is always a period, whatever the locale.
    EXPECT_DOUBLE_EQ(leadingNumber(u"2,75"), 2);
}

TEST(LeadingNumber, IgnoresBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_DOUBLE_EQ(leadingNumber(u"  1 2\t3\n4 "), 1234);
    EXPECT_DOUBLE_EQ(leadingNumber(u"- 5"), -5);
    // A carriage return is not among them: it ends the number.
    EXPECT_DOUBLE_EQ(leadingNumber(u"1\r2"), 1);
}

TEST(LeadingNumber, ReadsExponentsOnlyWithDigits) {
    EXPECT_DOUBLE_EQ(leadingNumber(u"1e3"), 1000);
    EXPECT_DOUBLE_EQ(leadingNumber(u"2.5E-2"), 0.025);
    EXPECT_DOUBLE_EQ(leadingNumber(u"1D2"), 100);
    EXPECT_DOUBLE_EQ(leadingNumber(u"3e"), 3);
    EXPECT_DOUBLE_EQ(leadingNumber(u"3e+x"), 3);
}

TEST(LeadingNumber, ReadsHexadecimalAndOctalPrefixes) {
    EXPECT_DOUBLE_EQ(leadingNumber(u"&HFF"), 255);
    EXPECT_DOUBLE_EQ(leadingNumber(u"&hff"), 255);
    EXPECT_DOUBLE_EQ(leadingNumber(u"&O17"), 15);
    EXPECT_DOUBLE_EQ(leadingNumber(u"&O19"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber(u"&H"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(u"&X12"), 0);
}

TEST(LeadingNumber, TextWithoutANumberAndDamagedValuesGiveZero) {
    for (const char16_t *text : {u"", u"abc", u"-", u".", u"e5", u"x12", u"1e999999"})
        EXPECT_DOUBLE_EQ(leadingNumber(text), 0) << QString::fromUtf16(text).toStdString();
}

TEST(NumericText, AcceptsWholeNumbersOnly) {
    for (const char16_t *ok : {u"100", u" 1.5 ", u"-2", u"1e2", u"&H10"})
        EXPECT_TRUE(common::isNumericText(ok)) << QString::fromUtf16(ok).toStdString();
    for (const char16_t *bad : {u"", u" ", u"12a", u"1,5", u"abc", u"1 0", u"."})
        EXPECT_FALSE(common::isNumericText(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(DecimalMask, HasOneZeroPerDigit) {
    EXPECT_EQ(common::DecimalMask(0), QStringLiteral("0"));
    EXPECT_EQ(common::DecimalMask(-4), QStringLiteral("0"));
    EXPECT_EQ(common::DecimalMask(1), QStringLiteral("0.0"));
    EXPECT_EQ(common::DecimalMask(3), QStringLiteral("0.000"));
    // A damaged digit count must not ask for an enormous mask.
    EXPECT_LE(common::DecimalMask(2000000000).size(), 40);
}

TEST(NumberRounding, TiesGoToEven) {
    EXPECT_EQ(common::roundHalfEven(0.5), 0);
    EXPECT_EQ(common::roundHalfEven(1.5), 2);
    EXPECT_EQ(common::roundHalfEven(2.5), 2);
    EXPECT_EQ(common::roundHalfEven(-2.5), -2);
    EXPECT_EQ(common::roundHalfEven(2.6), 3);
    EXPECT_EQ(common::roundHalfEven(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(common::roundHalfEven(-1e300), std::numeric_limits<int>::min());
    EXPECT_EQ(common::roundHalfEven(std::nan("")), 0);
}

TEST(NumberText, WritesWhatTheLeadingNumberRuleReadsBack) {
    EXPECT_EQ(common::numberText(16), QStringLiteral("16"));
    EXPECT_EQ(common::numberText(-1), QStringLiteral("-1"));
    EXPECT_EQ(common::numberText(1.5), QStringLiteral("1.5"));
    for (double v : {0.1, 1.3563370, 123456.789, -0.25, 16777215.0})
        EXPECT_DOUBLE_EQ(leadingNumber(common::numberText(v)), v) << v;
}

class IniAccess : public ::testing::Test {
protected:
    testsupport::TempDir m_tmp;
};

TEST_F(IniAccess, ReadIniStringGivesDefaultsAndEmptyValues) {
    const QString file = m_tmp.write(QStringLiteral("a.ini"), "[Orvane]\nEmpty=\nName = x \n");
    EXPECT_EQ(common::ReadIniString("Orvane", "Missing", "def", file), QStringLiteral("def"));
    EXPECT_EQ(common::ReadIniString("Orvane", "Empty", "def", file), QString());
    EXPECT_EQ(common::ReadIniString("Orvane", "Name", "def", file), QStringLiteral("x"));
    EXPECT_EQ(common::ReadIniString("Orvane", "Name", "def", m_tmp.filePath("none.ini")),
              QStringLiteral("def"));
}

TEST_F(IniAccess, ReadIniStringCutsAtNulAndAtTheBuffer) {
    QByteArray content("[S]\nk=ab");
    content.append('\0').append("cd\nlong=").append(QByteArray(500, 'z')).append('\n');
    const QString file = m_tmp.write(QStringLiteral("a.ini"), content);
    EXPECT_EQ(common::ReadIniString("S", "k", "", file), QStringLiteral("ab"));
    EXPECT_EQ(common::ReadIniString("S", "long", "", file).size(), 299);
}

TEST_F(IniAccess, ReadIniNumberUsesTheLeadingNumberRule) {
    const QString file =
        m_tmp.write(QStringLiteral("a.ini"), "[S]\nGood=12\nDamaged=x12\nHalf=3.7cm\nEmpty=\n");
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("S", "Good", 5, file), 12);
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("S", "Half", 5, file), 3.7);
    // A damaged or empty value reads as 0, not as the default.
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("S", "Damaged", 5, file), 0);
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("S", "Empty", 5, file), 0);
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("S", "Missing", 1.3563370, file), 1.3563370);
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("S", "Missing", -1, file), -1);
}

TEST_F(IniAccess, WriteIniValueTrimsAndKeepsForeignLines) {
    const QString file =
        m_tmp.write(QStringLiteral("Orvane.INI"),
                    "; my notes\n[Orvane]\nLCID=1033\nMine=keep\n\n[Trace]\nItem=6\n"
                    "[Foreign]\nz=1\n");
    ASSERT_TRUE(common::WriteIniValue("Orvane", "DecDigits", 3, file));
    ASSERT_TRUE(common::WriteIniValue("Orvane", "LCID", QStringLiteral("  0x0407  "), file));
    ASSERT_TRUE(common::WriteIniValue("Trace", "Color", 16711680, file));
    ASSERT_TRUE(common::WriteIniValue("Orvane", "CalibDist", 12.5, file));
    EXPECT_EQ(m_tmp.read(QStringLiteral("Orvane.INI")),
              QByteArray("; my notes\n[Orvane]\nLCID=0x0407\nMine=keep\nDecDigits=3\n"
                         "CalibDist=12.5\n\n[Trace]\nItem=6\nColor=16711680\n[Foreign]\nz=1\n"));
    EXPECT_DOUBLE_EQ(common::ReadIniNumber("Orvane", "CalibDist", 0, file), 12.5);
}

TEST_F(IniAccess, WriteIniValueReportsAFileItCannotWrite) {
    EXPECT_FALSE(common::WriteIniValue("S", "k", 1, m_tmp.filePath("missing/dir/x.ini")));
}

TEST_F(IniAccess, AllSettingsWithoutAFileAreTheDefaults) {
    common::OrvaneSettings o;
    o.DecDigits = 99;
    common::TraceSettings t;
    t.Item = 99;
    common::readAllSettings(m_tmp.filePath("none.ini"), o, t);
    EXPECT_EQ(o.DefVideoMode, 2);
    EXPECT_TRUE(o.CalibrationMandatory && o.LeaveExcelOpen && o.DiscardAutotracked &&
                o.ShowAutoPath && o.StopAtDrop && o.ShowExitMsg);
    EXPECT_EQ(o.DecDigits, 2);
    EXPECT_EQ(o.TrackingMode, 16);
    EXPECT_EQ(t.Item, 1);
    EXPECT_EQ(t.Size, 1);
    EXPECT_EQ(t.LineWidth, 0);
    EXPECT_EQ(t.Color, 255u);
    EXPECT_EQ(t.BackColor, 255u);
    EXPECT_FALSE(t.Filled);
}

TEST_F(IniAccess, AllSettingsAreReadFromBothSections) {
    const QString file = m_tmp.write(
        QStringLiteral("a.ini"),
        "[orvane]\nDefVideoMode=1\nCalibrationMandatory=0\nLeaveExcelOpen=0\n"
        "DiscardAutotracked=0\nShowAutoPath=0\nStopAtDrop=-1\nShowExitMsg=0\nDecDigits=4\n"
        "TrackingMode=32\nCalibDist=2.5\nCalibUnit=3\nAspectRatio=1.25\n"
        "[TRACE]\nItem=6\nSize=12\nLineWidth=4\nColor=65280\nBackColor=&HFF0000\nFilled=1\n");
    common::OrvaneSettings o;
    common::TraceSettings t;
    common::readAllSettings(file, o, t);
    EXPECT_EQ(o.DefVideoMode, 1);
    EXPECT_FALSE(o.CalibrationMandatory || o.LeaveExcelOpen || o.DiscardAutotracked ||
                 o.ShowAutoPath || o.ShowExitMsg);
    EXPECT_TRUE(o.StopAtDrop); // any non-zero value sets a flag
    EXPECT_EQ(o.DecDigits, 4);
    EXPECT_EQ(o.TrackingMode, 32);
    // The calibration keys are the calibration dialog's.
    const common::CalibrationSettings c = common::readCalibrationSettings(file);
    EXPECT_FLOAT_EQ(c.distance, 2.5f);
    EXPECT_EQ(c.unit, 3);
    EXPECT_FLOAT_EQ(c.aspect, 1.25f);
    EXPECT_EQ(t.Item, 6);
    EXPECT_EQ(t.Size, 12);
    EXPECT_EQ(t.LineWidth, 4);
    EXPECT_EQ(t.Color, 65280u);
    EXPECT_EQ(t.BackColor, 0xFF0000u);
    EXPECT_TRUE(t.Filled);
}

TEST_F(IniAccess, DamagedSettingsReadAsZero) {
    const QString file = m_tmp.write(QStringLiteral("a.ini"),
                                     "[Orvane]\nTrackingMode=abc\nShowExitMsg=no\nDecDigits=1e99\n"
                                     "[Trace]\nColor=-5\nSize=2.5\n");
    common::OrvaneSettings o;
    common::TraceSettings t;
    common::readAllSettings(file, o, t);
    EXPECT_EQ(o.TrackingMode, 0);
    EXPECT_FALSE(o.ShowExitMsg);
    EXPECT_EQ(o.DecDigits, std::numeric_limits<int>::max());
    EXPECT_EQ(t.Color, 0u); // not a colour value
    EXPECT_EQ(t.Size, 2);   // ties to even
}

TEST_F(IniAccess, WritingAllSettingsReadsBackAndLeavesLanguageAndCalibrationAlone) {
    const QString file =
        m_tmp.write(QStringLiteral("w.ini"), "[Orvane]\nLCID=0x0409\nCalibDist=2.5\nCalibUnit=3\n"
                                             "AspectRatio=1.25\n[Other]\nKeep=1\n");
    common::OrvaneSettings o;
    o.DefVideoMode = 1;
    o.CalibrationMandatory = false;
    o.StopAtDrop = false;
    o.DecDigits = 5;
    o.TrackingMode = 32;
    common::TraceSettings t;
    t.Item = 3;
    t.Size = 7;
    t.LineWidth = 10;
    t.Color = 0x123456;
    t.BackColor = 0xABCDEF;
    t.Filled = true;
    ASSERT_TRUE(common::writeAllSettings(file, o, t));

    common::OrvaneSettings o2;
    common::TraceSettings t2;
    common::readAllSettings(file, o2, t2);
    EXPECT_EQ(o2.DefVideoMode, 1);
    EXPECT_FALSE(o2.CalibrationMandatory);
    EXPECT_FALSE(o2.StopAtDrop);
    EXPECT_TRUE(o2.ShowExitMsg);
    EXPECT_EQ(o2.DecDigits, 5);
    EXPECT_EQ(o2.TrackingMode, 32);
    const common::CalibrationSettings c = common::readCalibrationSettings(file);
    EXPECT_FLOAT_EQ(c.distance, 2.5f);
    EXPECT_EQ(c.unit, 3);
    EXPECT_EQ(t2.Item, 3);
    EXPECT_EQ(t2.Size, 7);
    EXPECT_EQ(t2.LineWidth, 10);
    EXPECT_EQ(t2.Color, 0x123456u);
    EXPECT_EQ(t2.BackColor, 0xABCDEFu);
    EXPECT_TRUE(t2.Filled);
    const QByteArray text = m_tmp.read(QStringLiteral("w.ini"));
    EXPECT_TRUE(text.contains("LCID=0x0409"));
    EXPECT_TRUE(text.contains("[Other]"));
    EXPECT_TRUE(text.contains("Keep=1"));

    ASSERT_TRUE(common::writeLanguageSetting(file, QStringLiteral("0x0407")));
    EXPECT_TRUE(m_tmp.read(QStringLiteral("w.ini")).contains("LCID=0x0407"));
}

TEST_F(IniAccess, CalibrationKeysReadWithTheDialogsDefaultsAndWriteBack) {
    const QString file = m_tmp.filePath(QStringLiteral("c.ini"));
    common::CalibrationSettings c = common::readCalibrationSettings(file);
    EXPECT_FLOAT_EQ(c.distance, 100.0f);
    EXPECT_EQ(c.unit, 2);
    EXPECT_FLOAT_EQ(c.aspect, 1.0f);
    c = {-12.5f, 3, 1.640625f};
    ASSERT_TRUE(common::writeCalibrationSettings(file, c));
    const common::CalibrationSettings back = common::readCalibrationSettings(file);
    EXPECT_FLOAT_EQ(back.distance, -12.5f);
    EXPECT_EQ(back.unit, 3);
    EXPECT_FLOAT_EQ(back.aspect, 1.640625f);
    // Nothing else is written.
    EXPECT_EQ(m_tmp.read(QStringLiteral("c.ini")),
              "[Orvane]\nAspectRatio=1.640625\nCalibUnit=3\nCalibDist=-12.5\n");
}

TEST_F(IniAccess, TheKinematicsExportSettingIsOffByDefaultAndRoundTrips) {
    const QString file =
        m_tmp.write(QStringLiteral("k.ini"), "[Orvane]\nLCID=0x0409\n[Other]\nKeep=1\n");
    EXPECT_FALSE(common::readExportKinematicsSetting(file));
    EXPECT_FALSE(common::readExportKinematicsSetting(m_tmp.filePath("none.ini")));
    ASSERT_TRUE(common::writeExportKinematicsSetting(file, true));
    EXPECT_TRUE(common::readExportKinematicsSetting(file));
    EXPECT_EQ(m_tmp.read(QStringLiteral("k.ini")),
              "[Orvane]\nLCID=0x0409\nExportKinematics=1\n[Other]\nKeep=1\n");
    // The Options dialog's writing leaves it as it is.
    ASSERT_TRUE(common::writeAllSettings(file, {}, {}));
    EXPECT_TRUE(common::readExportKinematicsSetting(file));
    ASSERT_TRUE(common::writeExportKinematicsSetting(file, false));
    EXPECT_FALSE(common::readExportKinematicsSetting(file));
    EXPECT_FALSE(common::writeExportKinematicsSetting(m_tmp.filePath("missing/dir/x.ini"), true));
    // Any non-zero value switches it on, like every flag.
    const QString other = m_tmp.write(QStringLiteral("o.ini"), "[orvane]\nExportKinematics=-1\n");
    EXPECT_TRUE(common::readExportKinematicsSetting(other));
}

} // namespace
