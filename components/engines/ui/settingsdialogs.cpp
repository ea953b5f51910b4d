#include "components/engines/ui/settingsdialogs.h"

#include "components/engines/settingseditor.h"

#include "platform/ui/dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace engines {

namespace {

// German for the German interface, English for every other one.
bool german(LCID lcid) {
    return (lcid & 0x3FF) == 0x07;
}

QString tr2(LCID lcid, const char *de, const char *en) {
    return QString::fromUtf8(german(lcid) ? de : en);
}

QSpinBox *spin(QFormLayout *form, const QString &label, const char *name, int low, int high,
               int value, const QString &suffix = {}) {
    auto *box = new QSpinBox;
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    form->addRow(label, box);
    return box;
}

QFormLayout *frame(QDialog *dialog) {
    auto *layout = new QVBoxLayout(dialog);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttons"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return form;
}

} // namespace

PatternSettingsDialog::PatternSettingsDialog(const PatternSettings &settings, bool local, LCID lcid,
                                             QWidget *parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(local ? tr2(lcid, "Lokale Mustererkennung", "Local pattern matching")
                         : tr2(lcid, "Mustererkennung", "Pattern matching"));
    QFormLayout *form = frame(this);
    const QString px = QStringLiteral(" px");
    m_size = spin(form, tr2(lcid, "Mustergröße:", "Pattern size:"), "patternSize", 8, 128,
                  settings.patternSize, px);
    m_range = spin(form, tr2(lcid, "Suchbereich:", "Search range:"), "searchRange", 2, 200,
                   settings.searchRange, px);
    m_score = spin(form, tr2(lcid, "Mindestübereinstimmung:", "Minimum score:"), "minScore", 0, 100,
                   settings.minScore, QStringLiteral(" %"));
    m_rotation = spin(form, tr2(lcid, "Drehbereich:", "Rotation range:"), "rotationRange", 0, 90,
                      settings.rotationRange, QStringLiteral(" °"));
    m_update = spin(form, tr2(lcid, "Musteranpassung:", "Pattern update:"), "updateRate", 0, 100,
                    settings.updateRate, QStringLiteral(" %"));
    if (local) {
        m_reference = new QComboBox;
        m_reference->setObjectName(QStringLiteral("referenceMode"));
        m_reference->addItem(tr2(lcid, "Vorheriges Bild", "Previous frame"));
        m_reference->addItem(tr2(lcid, "Festes Referenzbild", "Fixed reference frame"));
        m_reference->setCurrentIndex(settings.referenceMode != 0 ? 1 : 0);
        form->addRow(tr2(lcid, "Referenz:", "Reference:"), m_reference);
        m_frame = spin(form, tr2(lcid, "Referenzbild:", "Reference frame:"), "referenceFrame", 0,
                       32767, settings.referenceFrame);
        m_frame->setEnabled(settings.referenceMode != 0);
        connect(m_reference, &QComboBox::currentIndexChanged, m_frame,
                [this](int index) { m_frame->setEnabled(index != 0); });
    }
}

PatternSettings PatternSettingsDialog::settings() const {
    PatternSettings s = m_settings;
    s.patternSize = m_size->value();
    s.searchRange = m_range->value();
    s.minScore = m_score->value();
    s.rotationRange = m_rotation->value();
    s.updateRate = m_update->value();
    if (m_reference) {
        s.referenceMode = m_reference->currentIndex() != 0 ? 1 : 0;
        s.referenceFrame = m_frame->value();
    }
    return s;
}

MarkerSettingsDialog::MarkerSettingsDialog(const MarkerSettings &settings, bool local, LCID lcid,
                                           QWidget *parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(local ? tr2(lcid, "Lokale Markerverfolgung", "Local marker tracking")
                         : tr2(lcid, "Markerverfolgung", "Marker tracking"));
    QFormLayout *form = frame(this);
    m_range = spin(form, tr2(lcid, "Suchbereich:", "Search range:"), "searchRange", 2, 200,
                   settings.searchRange, QStringLiteral(" px"));
    m_polarity = new QComboBox;
    m_polarity->setObjectName(QStringLiteral("polarity"));
    m_polarity->addItem(tr2(lcid, "Wie eingelernt", "As taught"));
    m_polarity->addItem(tr2(lcid, "Helle Marker", "Bright markers"));
    m_polarity->addItem(tr2(lcid, "Dunkle Marker", "Dark markers"));
    m_polarity->setCurrentIndex(settings.polarity);
    form->addRow(tr2(lcid, "Marker:", "Markers:"), m_polarity);
    m_tolerance = spin(form, tr2(lcid, "Größentoleranz:", "Size tolerance:"), "sizeTolerance", 10,
                       400, settings.sizeTolerance, QStringLiteral(" %"));
}

MarkerSettings MarkerSettingsDialog::settings() const {
    MarkerSettings s = m_settings;
    s.searchRange = m_range->value();
    s.polarity = m_polarity->currentIndex();
    s.sizeTolerance = m_tolerance->value();
    return s;
}

namespace {

class DialogEditor final : public SettingsEditor {
public:
    bool editPattern(PatternSettings &settings, bool local, LCID lcid) override {
        PatternSettingsDialog dialog(settings, local, lcid);
        if (platform::ui::dialogs().exec(dialog) != QDialog::Accepted)
            return false;
        settings = dialog.settings();
        return true;
    }
    bool editMarker(MarkerSettings &settings, bool local, LCID lcid) override {
        MarkerSettingsDialog dialog(settings, local, lcid);
        if (platform::ui::dialogs().exec(dialog) != QDialog::Accepted)
            return false;
        settings = dialog.settings();
        return true;
    }
};

} // namespace

void installSettingsDialogs() {
    static DialogEditor editor;
    setSettingsEditor(&editor);
}

} // namespace engines
