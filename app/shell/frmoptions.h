// The Options dialog: language, default video mode, tracking mode, time decimals, the
// behaviour switches and the look of marker paths. OK validates, writes the settings file
// and updates the in-memory settings; Cancel changes nothing.
#pragma once

#include "platform/wintypes.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace shell {

class frmOptions : public QDialog {
public:
    explicit frmOptions(QWidget *owner = nullptr);

    // The digits box's range; the up-down buttons stay inside it and OK refuses others.
    static constexpr int kMinDigits = 0;
    static constexpr int kMaxDigits = 6;

    QTabWidget *tabOptions;
    QGroupBox *fraLanguage;
    QComboBox *cboLanguage;
    QGroupBox *fraVideomode;
    QComboBox *cboVideoMode;
    QGroupBox *fraTrackingmode;
    QComboBox *cboTrackingMode;
    QGroupBox *fraDigits;
    QLabel *lblDigits;
    QLineEdit *txtDigits;
    QToolButton *updDigitsUp;
    QToolButton *updDigitsDown;
    QGroupBox *fraSonstiges;
    QCheckBox *chkCalibMand;
    QCheckBox *chkLeaveExcelOpen;
    QCheckBox *chkDiscardAutotracked;
    QLabel *lblDiscardAutotracked;
    QCheckBox *chkAutoShowPath;
    QCheckBox *chkStopAtDrop;
    QLabel *lblStopAtDrop;
    QCheckBox *chkShowQuitMsg;

    QGroupBox *fraTrace;
    QLabel *lblItem;
    QComboBox *cboItem;
    QLabel *lblSize;
    QLineEdit *txtSize;
    QLabel *lblLineWidth;
    QComboBox *cboLineWidth;
    QCheckBox *chkFilled;
    QPushButton *cmdColor;
    QFrame *shpColor;
    QPushButton *cmdBackColor;
    QFrame *shpBackColor;

    QPushButton *btnOK;
    QPushButton *btnAbort;

    // The swatches' colours (0x00BBGGRR).
    platform::COLORREF swatchColor() const { return m_color; }
    platform::COLORREF swatchBackColor() const { return m_backColor; }

    void btnOK_Click();
    void btnAbort_Click();
    void cmdColor_Click();
    void cmdBackColor_Click();

private:
    void buildWidgets();
    void loadSettings();
    void stepDigits(int delta);
    // Shows a refused field: its tab forward, the field focused with its text selected.
    void refuse(QLineEdit *field);
    static void paintSwatch(QFrame *swatch, platform::COLORREF color);

    platform::COLORREF m_color = 255;
    platform::COLORREF m_backColor = 255;
};

} // namespace shell
