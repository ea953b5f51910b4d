// The calibration dialog: the length and unit of a known distance, the picture's aspect
// factor and the video frequency. Its logic is markers::Calibrator's; OK checks and arms the
// two calibration clicks, Cancel changes nothing. The calibration marks show while it is open.
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace markers {
class Calibrator;
}

namespace shell {

class frmCalibDist : public QDialog {
public:
    frmCalibDist(markers::Calibrator &calibrator, QWidget *owner = nullptr);
    ~frmCalibDist() override;

    QGroupBox *Frame1;
    QLabel *lblCalibDist1;
    QLineEdit *txtCalibDist;
    QComboBox *cboCalibDist;
    QLabel *lblAspectRatio;
    QComboBox *cboAspectRatio;
    QLabel *lblHz;
    QLineEdit *txtHz;
    QLabel *lblFps;
    QPushButton *btnOK;
    QPushButton *btnCancel;

    void btnOK_Click();
    void btnCancel_Click();

    // Whenever the dialog closes, by OK, Cancel or its close box, the marks are hidden.
    void done(int result) override;

private:
    void Form_Load();

    markers::Calibrator &m_calibrator;
    bool m_unloaded = false;
};

} // namespace shell
