#include "control/cvviewproppage.h"

#include "components/lingmod/lingmod.h"
#include "control/cvviewctrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace quivex {

namespace {
constexpr platform::LONG kSection = 30004;
} // namespace

// Object names end in the control identifiers, which is how Lingmod finds their texts.
CVViewPropPage::CVViewPropPage(CVViewCtrl &control, QWidget *owner)
    : QDialog(owner), m_control(control) {
    setObjectName(QStringLiteral("propertyPage_100"));
    setWindowTitle(QStringLiteral("Quivex"));
    auto *grid = new QGridLayout(this);

    auto *swatch = new QPushButton(QStringLiteral("C"), this);
    swatch->setObjectName(QStringLiteral("swatch_1011"));
    swatch->setFixedWidth(32);
    auto *backColor = new QPushButton(QStringLiteral("H&intergrundfarbe"), this);
    backColor->setObjectName(QStringLiteral("backColor_1005"));
    auto *lineWidthLabel = new QLabel(QStringLiteral("Linienbreite"), this);
    lineWidthLabel->setObjectName(QStringLiteral("lineWidth_211"));
    lineWidthLabel->setEnabled(false);
    auto *lineWidth = new QComboBox(this);
    lineWidth->setObjectName(QStringLiteral("lineWidthList_205"));
    lineWidth->setEnabled(false);
    auto *effect = new QCheckBox(QStringLiteral("3D-Effekt"), this);
    effect->setObjectName(QStringLiteral("effect_224"));
    effect->setEnabled(false);
    for (const char *hidden : {"hidden_223", "hidden_204"}) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(hidden));
        edit->hide();
    }
    auto *zoomLabel = new QLabel(QStringLiteral("Zoom"), this);
    m_zoom = new QSpinBox(this);
    m_zoom->setObjectName(QStringLiteral("zoom_206"));
    m_zoom->setSuffix(QStringLiteral(" %"));
    m_updateFrame = new QCheckBox(QStringLiteral("&Bild ständig aktualisieren"), this);
    m_updateFrame->setObjectName(QStringLiteral("updateFrame_209"));

    grid->addWidget(swatch, 0, 0);
    grid->addWidget(backColor, 0, 1);
    grid->addWidget(lineWidthLabel, 1, 0);
    grid->addWidget(lineWidth, 1, 1);
    grid->addWidget(effect, 2, 0, 1, 2);
    grid->addWidget(zoomLabel, 3, 0);
    grid->addWidget(m_zoom, 3, 1);
    grid->addWidget(m_updateFrame, 4, 0, 1, 2);
    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    grid->addWidget(buttons, 5, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVViewPropPage::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CVViewPropPage::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { emit m_control.HelpInfo(1, 0); });
    loadFromControl();
}

CVViewPropPage::~CVViewPropPage() {
    lingmod::talvorFreeLanguage(m_language);
}

void CVViewPropPage::loadFromControl() {
    // The spin box is widened first so that a stored zoom outside the page's range still
    // shows as it is; the page refuses it only when it is applied.
    m_zoom->setRange(-1000000, 1000000);
    m_zoom->setValue(m_control.Zoom());
    m_updateFrame->setChecked(m_control.UpdateFrame() != 0);
    if (m_language == 0)
        m_language = lingmod::talvorSetLanguage(-1, QStringLiteral("Quivex"),
                                                static_cast<platform::LCID>(m_control.LCID()),
                                                QStringLiteral("COM_"));
    lingmod::talvorTranslateDialog(m_language, this, kSection);
    m_zoom->setRange(kMinimumZoom, kMaximumZoom);
}

bool CVViewPropPage::applyToControl() {
    const int zoom = m_zoom->value();
    if (zoom < kMinimumZoom || zoom > kMaximumZoom)
        return false;
    m_control.SetZoom(zoom);
    m_control.SetUpdateFrame(m_updateFrame->isChecked() ? 1 : 0);
    return true;
}

void CVViewPropPage::accept() {
    if (applyToControl())
        QDialog::accept();
}

bool CVViewPropPage::event(QEvent *e) {
    // F1 and "What's this" on the page go to the control's host.
    if (e->type() == QEvent::WhatsThis) {
        emit m_control.HelpInfo(1, 0);
        return true;
    }
    return QDialog::event(e);
}

} // namespace quivex
