#include "app/shell/frmcalibdist.h"

#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/markers/calibrator.h"
#include "app/shell/translateform.h"
#include "platform/ui/dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {

using namespace common;

namespace {

template <class W> W *tagged(W *widget, int number, const char *name) {
    widget->setObjectName(QLatin1String(name));
    if (number > 0)
        widget->setProperty(kTagProperty, QString::number(number));
    return widget;
}

} // namespace

frmCalibDist::frmCalibDist(markers::Calibrator &calibrator, QWidget *owner)
    : QDialog(owner), m_calibrator(calibrator) {
    setObjectName(QStringLiteral("frmCalibDist"));
    setProperty(kTagProperty, QStringLiteral("1700"));
    setModal(true);

    Frame1 = tagged(new QGroupBox(this), 1701, "Frame1");
    lblCalibDist1 = tagged(new QLabel(Frame1), 1702, "lblCalibDist1");
    txtCalibDist = tagged(new QLineEdit(Frame1), 0, "txtCalibDist");
    txtCalibDist->setAlignment(Qt::AlignRight);
    cboCalibDist = tagged(new QComboBox(Frame1), 0, "cboCalibDist");
    cboCalibDist->addItems({QStringLiteral("m"), QStringLiteral("cm"), QStringLiteral("mm")});
    lblAspectRatio = tagged(new QLabel(Frame1), 1703, "lblAspectRatio");
    cboAspectRatio = tagged(new QComboBox(Frame1), 0, "cboAspectRatio");
    cboAspectRatio->setEditable(true);
    cboAspectRatio->setInsertPolicy(QComboBox::NoInsert);
    lblHz = tagged(new QLabel(Frame1), 1045, "lblHz");
    txtHz = tagged(new QLineEdit(Frame1), 0, "txtHz");
    txtHz->setAlignment(Qt::AlignRight);
    lblFps = tagged(new QLabel(Frame1), 1046, "lblFps");

    auto *grid = new QGridLayout(Frame1);
    grid->addWidget(lblCalibDist1, 0, 0);
    grid->addWidget(txtCalibDist, 0, 1);
    grid->addWidget(cboCalibDist, 0, 2);
    grid->addWidget(lblAspectRatio, 1, 0);
    grid->addWidget(cboAspectRatio, 1, 1, 1, 2);
    grid->addWidget(lblHz, 2, 0);
    grid->addWidget(txtHz, 2, 1);
    grid->addWidget(lblFps, 2, 2);

    btnOK = tagged(new QPushButton(this), 1611, "btnOK");
    btnOK->setDefault(true);
    btnCancel = tagged(new QPushButton(this), 1612, "btnCancel");
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOK_Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancel_Click(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);

    Form_Load();
}

void frmCalibDist::Form_Load() {
    TranslateForm(this);
    const markers::CalibrationForm form = m_calibrator.load();
    cboAspectRatio->addItems(
        {QStringLiteral("DV-PAL"), QStringLiteral("DV-NTSC"), QStringLiteral("1:1")});
    cboAspectRatio->setCurrentIndex(form.aspectEntry);
    if (form.aspectEntry < 0)
        cboAspectRatio->setEditText(form.aspect);
    cboCalibDist->setCurrentIndex(form.unitIndex);
    txtCalibDist->setText(form.distance);
    txtHz->setText(form.frequency);
}

void frmCalibDist::btnOK_Click() {
    markers::CalibrationForm form;
    form.distance = txtCalibDist->text();
    form.unitIndex = cboCalibDist->currentIndex();
    form.aspect = cboAspectRatio->currentText();
    form.frequency = txtHz->text();
    platform::ui::Dialogs &seam = platform::ui::dialogs();
    switch (m_calibrator.accept(form)) {
    case markers::Calibrator::Outcome::Accepted:
        hide();
        accept();
        break;
    case markers::Calibrator::Outcome::BadDistance:
    case markers::Calibrator::Outcome::ZeroDistance:
        seam.beep();
        txtCalibDist->setFocus();
        break;
    case markers::Calibrator::Outcome::BadAspect:
        seam.beep();
        cboAspectRatio->setFocus();
        break;
    case markers::Calibrator::Outcome::NotANumber:
        seam.messageBox(this, res(1627), productTitle(), platform::ui::Exclamation);
        break;
    }
}

void frmCalibDist::btnCancel_Click() {
    reject();
}

frmCalibDist::~frmCalibDist() {
    // A dialog that never ran (or was closed without done) still hides the marks.
    if (!m_unloaded)
        m_calibrator.unload();
}

void frmCalibDist::done(int result) {
    if (!m_unloaded) {
        m_unloaded = true;
        m_calibrator.unload();
    }
    QDialog::done(result);
}

} // namespace shell
