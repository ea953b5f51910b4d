#include "answeringdialogs.h"
#include "app/common/appstate.h"
#include "app/common/settings.h"
#include "app/shell/frmoptions.h"
#include "tests/support/tempdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using common::appState;
using shell::frmOptions;

class Options : public ::testing::Test {
protected:
    void SetUp() override {
        common::resetAppState();
        appState().IniFile = m_tmp.filePath("Orvane.INI");
    }
    void TearDown() override { common::resetAppState(); }

    QByteArray ini() const { return m_tmp.read("Orvane.INI"); }
    QString value(const char *section, const char *key) const {
        return common::ReadIniString(section, key, "<none>", appState().IniFile);
    }

    testsupport::TempDir m_tmp;
    AnsweringDialogs m_dialogs;
};

TEST_F(Options, LoadShowsTheSettingsInEnglish) {
    auto &s = appState();
    s.TextBase = 4000;
    s.settings.DefVideoMode = 1;
    s.settings.TrackingMode = 32;
    s.settings.DecDigits = 3;
    s.settings.LeaveExcelOpen = false;
    s.settings.ShowExitMsg = false;
    s.trace = {6, 7, 4, 0x00FF00, 0x0000FF, true};
    frmOptions dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(dlg.tabOptions->tabText(0), QStringLiteral("Misc"));
    EXPECT_EQ(dlg.tabOptions->tabText(1), QStringLiteral("Marker trace"));
    EXPECT_EQ(dlg.btnAbort->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dlg.fraLanguage->title(), QStringLiteral(" Language "));
    EXPECT_EQ(dlg.cboLanguage->currentIndex(), 1);
    EXPECT_EQ(dlg.cboLanguage->itemText(0), QStringLiteral("Deutsch"));
    EXPECT_EQ(dlg.cboVideoMode->currentText(), QStringLiteral("Fields"));
    EXPECT_EQ(dlg.cboVideoMode->itemText(2), QStringLiteral("Auto"));
    EXPECT_EQ(dlg.cboTrackingMode->currentText(), QStringLiteral("Markertracking"));
    EXPECT_EQ(dlg.txtDigits->text(), QStringLiteral("3"));
    EXPECT_TRUE(dlg.chkCalibMand->isChecked());
    EXPECT_FALSE(dlg.chkLeaveExcelOpen->isChecked());
    EXPECT_FALSE(dlg.chkShowQuitMsg->isChecked());
    EXPECT_EQ(dlg.cboItem->currentText(), QStringLiteral("Crosshairs"));
    EXPECT_EQ(dlg.txtSize->text(), QStringLiteral("7"));
    EXPECT_EQ(dlg.cboLineWidth->count(), 7);
    EXPECT_EQ(dlg.cboLineWidth->currentText(), QStringLiteral("3"));
    EXPECT_TRUE(dlg.chkFilled->isChecked());
    EXPECT_EQ(dlg.shpColor->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(dlg.shpBackColor->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(dlg.lblStopAtDrop->text(),
              QStringLiteral("(When the last marker is lost, the tracking process is always "
                             "stopped)"));
}

TEST_F(Options, LoadLeavesUnknownValuesUnselected) {
    auto &s = appState();
    s.settings.TrackingMode = 0;
    s.settings.DefVideoMode = 7;
    s.trace.Item = 4;
    s.trace.LineWidth = 0;
    frmOptions dlg;
    EXPECT_EQ(dlg.cboTrackingMode->currentIndex(), -1);
    EXPECT_EQ(dlg.cboVideoMode->currentIndex(), -1);
    EXPECT_EQ(dlg.cboItem->currentIndex(), -1);
    EXPECT_EQ(dlg.cboLineWidth->currentText(), QStringLiteral("1"));
    EXPECT_EQ(dlg.cboLanguage->currentText(), QStringLiteral("Deutsch"));
    // 5 / 2 = 2.5 rounds to the even 2: the entry "3".
    s.trace.LineWidth = 5;
    frmOptions odd;
    EXPECT_EQ(odd.cboLineWidth->currentText(), QStringLiteral("3"));
}

TEST_F(Options, OkWritesEverySettingAndUpdatesMemory) {
    m_tmp.write("Orvane.INI", "; keep me\n[Orvane]\nForeign=1\n");
    frmOptions dlg;
    dlg.cboVideoMode->setCurrentIndex(0);
    dlg.cboTrackingMode->setCurrentIndex(1);
    dlg.txtDigits->setText("4");
    dlg.chkLeaveExcelOpen->setChecked(false);
    dlg.chkStopAtDrop->setChecked(false);
    dlg.cboItem->setCurrentIndex(2);
    dlg.txtSize->setText(" 12.5 ");
    dlg.cboLineWidth->setCurrentIndex(2);
    dlg.chkFilled->setChecked(true);
    dlg.btnOK->click();

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(m_dialogs.beeps, 0);
    EXPECT_TRUE(m_dialogs.messages.empty()); // the language did not change
    EXPECT_EQ(ini(), QByteArray("; keep me\n[Orvane]\nForeign=1\nLCID=0x0407\nDefVideoMode=0\n"
                                "CalibrationMandatory=1\nLeaveExcelOpen=0\nDiscardAutotracked=1\n"
                                "ShowAutoPath=1\nStopAtDrop=0\nShowExitMsg=1\nTrackingMode=32\n"
                                "DecDigits=4\n\n[Trace]\nItem=2\nSize=12\nLineWidth=4\n"
                                "Color=255\nBackColor=255\nFilled=1\n"));
    const auto &s = appState();
    EXPECT_EQ(s.settings.DefVideoMode, 0);
    EXPECT_EQ(s.settings.TrackingMode, 32);
    EXPECT_EQ(s.settings.DecDigits, 4);
    EXPECT_FALSE(s.settings.LeaveExcelOpen);
    EXPECT_FALSE(s.settings.StopAtDrop);
    EXPECT_EQ(s.trace.Item, 2);
    EXPECT_EQ(s.trace.Size, 12); // 12.5 to the even 12
    EXPECT_EQ(s.trace.LineWidth, 4);
    EXPECT_TRUE(s.trace.Filled);
    // The language takes effect at the next start only.
    EXPECT_EQ(s.TextBase, 0);

    frmOptions again;
    EXPECT_EQ(again.cboLineWidth->currentText(), QStringLiteral("3"));
}

TEST_F(Options, SizeValidation) {
    struct Case {
        const char *text;
        bool accepted;
    } cases[] = {{"100", true}, {"1", true},    {"100.5", false}, {"0.5", false}, {"abc", false},
                 {"", false},   {"50x", false}, {"-3", false},    {"1e2", true}};
    for (const auto &c : cases) {
        QFile::remove(appState().IniFile);
        m_dialogs.beeps = 0;
        frmOptions dlg;
        dlg.show();
        dlg.txtSize->setText(QString::fromLatin1(c.text));
        dlg.btnOK->click();
        EXPECT_EQ(dlg.result() == QDialog::Accepted, c.accepted) << c.text;
        EXPECT_EQ(m_dialogs.beeps, c.accepted ? 0 : 1) << c.text;
        EXPECT_EQ(QFile::exists(appState().IniFile), c.accepted) << c.text;
        if (!c.accepted) {
            EXPECT_TRUE(dlg.isVisible()) << c.text;
        }
    }
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(Options, DigitsMustBeAWholeNumberFromZeroToSix) {
    for (const char *bad : {"7", "-1", "2.5", "two", ""}) {
        frmOptions dlg;
        dlg.txtDigits->setText(QString::fromLatin1(bad));
        m_dialogs.beeps = 0;
        dlg.btnOK->click();
        EXPECT_EQ(m_dialogs.beeps, 1) << bad;
        EXPECT_NE(dlg.result(), QDialog::Accepted) << bad;
        EXPECT_FALSE(QFile::exists(appState().IniFile)) << bad;
    }
    frmOptions dlg;
    dlg.txtDigits->setText("6");
    dlg.updDigitsUp->click();
    EXPECT_EQ(dlg.txtDigits->text(), QStringLiteral("6"));
    dlg.txtDigits->setText("0");
    dlg.updDigitsDown->click();
    EXPECT_EQ(dlg.txtDigits->text(), QStringLiteral("0"));
    dlg.updDigitsUp->click();
    EXPECT_EQ(dlg.txtDigits->text(), QStringLiteral("1"));
    dlg.btnOK->click();
    EXPECT_EQ(value("Orvane", "DecDigits"), QStringLiteral("1"));
}

TEST_F(Options, LanguageChangeAsksForARestart) {
    appState().TextBase = 4000;
    {
        frmOptions dlg;
        dlg.cboLanguage->setCurrentIndex(0);
        dlg.btnOK->click();
    }
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_EQ(m_dialogs.messages[0].text,
              QStringLiteral("Please restart to apply your language selection."));
    EXPECT_EQ(m_dialogs.messages[0].style, platform::ui::Information);
    EXPECT_EQ(value("Orvane", "LCID"), QStringLiteral("0x0407"));
    EXPECT_EQ(appState().TextBase, 4000);

    // Until the restart the dialog shows the stored choice, and a later OK keeps it.
    m_dialogs.messages.clear();
    {
        frmOptions dlg;
        EXPECT_EQ(dlg.cboLanguage->currentIndex(), 0);
        dlg.chkLeaveExcelOpen->setChecked(!dlg.chkLeaveExcelOpen->isChecked());
        dlg.btnOK->click();
    }
    EXPECT_EQ(value("Orvane", "LCID"), QStringLiteral("0x0407"));
    // Choosing the running language again asks nothing.
    m_dialogs.messages.clear();
    {
        frmOptions dlg;
        dlg.cboLanguage->setCurrentIndex(1);
        dlg.btnOK->click();
    }
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_EQ(value("Orvane", "LCID"), QStringLiteral("0x0409"));
    // Decimal numbers and any case name a language too; anything else shows the running one.
    for (const auto &[stored, index] : {std::pair{"1046", 2}, {"0X0407", 0}, {"42", 1}}) {
        common::WriteIniValue("Orvane", "LCID", QString::fromLatin1(stored), appState().IniFile);
        frmOptions dlg;
        EXPECT_EQ(dlg.cboLanguage->currentIndex(), index) << stored;
    }
}

TEST_F(Options, ARefusedFieldIsBroughtForwardOnItsTabWithItsTextSelected) {
    appState().TextBase = 4000;
    frmOptions dlg;
    dlg.show();
    EXPECT_EQ(dlg.txtSize->toolTip(), QStringLiteral("A number from 1 to 100"));
    EXPECT_EQ(dlg.txtDigits->toolTip(), QStringLiteral("A whole number from 0 to 6"));
    // The size lies on the second tab; the first one is showing.
    dlg.tabOptions->setCurrentIndex(0);
    dlg.txtSize->setText("250");
    dlg.btnOK->click();
    EXPECT_EQ(m_dialogs.beeps, 1);
    EXPECT_TRUE(dlg.tabOptions->currentWidget()->isAncestorOf(dlg.txtSize));
    EXPECT_EQ(dlg.txtSize->selectedText(), QStringLiteral("250"));
    // The digits lie on the first tab.
    dlg.txtSize->setText("20");
    dlg.txtDigits->setText("9");
    dlg.btnOK->click();
    EXPECT_EQ(m_dialogs.beeps, 2);
    EXPECT_TRUE(dlg.tabOptions->currentWidget()->isAncestorOf(dlg.txtDigits));
    EXPECT_EQ(dlg.txtDigits->selectedText(), QStringLiteral("9"));
    EXPECT_FALSE(QFile::exists(appState().IniFile));
}

TEST_F(Options, TheThirdLanguageIsOfferedSoLcidIsNeverEmpty) {
    appState().TextBase = 8000;
    frmOptions dlg;
    ASSERT_EQ(dlg.cboLanguage->count(), 3);
    EXPECT_EQ(dlg.cboLanguage->currentIndex(), 2);
    dlg.btnOK->click();
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_EQ(value("Orvane", "LCID"), QStringLiteral("0x0416"));
}

TEST_F(Options, CalibrationSwitchSetsTheInteractionState) {
    auto run = [&](bool mandatory, bool calibrated, int before) {
        appState().VideoCalibrated = calibrated;
        appState().InteractionState = before;
        frmOptions dlg;
        dlg.chkCalibMand->setChecked(mandatory);
        dlg.btnOK->click();
        return appState().InteractionState;
    };
    EXPECT_EQ(run(true, false, 1), -1);
    EXPECT_EQ(run(true, true, 1), 1);
    EXPECT_EQ(run(true, true, 2), 2);
    EXPECT_EQ(run(false, false, -1), 1);
    EXPECT_EQ(run(false, false, 5), 5);
    EXPECT_EQ(run(true, false, 5), 5);
    EXPECT_EQ(value("Orvane", "CalibrationMandatory"), QStringLiteral("1"));
}

TEST_F(Options, ColoursChangeOnlyOnOk) {
    appState().trace.Color = 0x000080;
    {
        frmOptions dlg;
        m_dialogs.colors = {QColor(0, 0, 255)};
        dlg.cmdColor->click();
        EXPECT_EQ(m_dialogs.colorRequests.back(), QColor(128, 0, 0));
        EXPECT_EQ(dlg.swatchColor(), 0xFF0000u);
        dlg.btnAbort->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(appState().trace.Color, 0x000080u);
    EXPECT_FALSE(QFile::exists(appState().IniFile));

    frmOptions dlg;
    m_dialogs.colors = {std::nullopt, QColor(1, 2, 3)};
    dlg.cmdBackColor->click(); // cancelled: nothing changes
    EXPECT_EQ(dlg.swatchBackColor(), 255u);
    dlg.cmdBackColor->click();
    EXPECT_EQ(dlg.swatchBackColor(), 0x030201u);
    dlg.btnOK->click();
    EXPECT_EQ(appState().trace.BackColor, 0x030201u);
    EXPECT_EQ(value("Trace", "BackColor"), QString::number(0x030201));
    EXPECT_EQ(value("Trace", "Color"), QString::number(0x000080));
}

} // namespace
