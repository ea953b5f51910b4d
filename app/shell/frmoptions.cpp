#include "app/shell/frmoptions.h"

#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/shell/translateform.h"
#include "platform/colorref.h"
#include "platform/ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace shell {

using namespace common;

namespace {

// Language list entries and the `LCID` text each one writes.
constexpr int kLanguageGerman = 0;
constexpr int kLanguageEnglish = 1;
constexpr int kLanguageThird = 2;
constexpr const char *kLcidTexts[] = {"0x0407", "0x0409", "0x0416"};

// Path mark kinds in list order: lines, crosshairs, rectangles, circles.
constexpr int kItemValues[] = {1, 6, 2, 3};

template <class W> W *tagged(W *widget, int number, const char *name) {
    widget->setObjectName(QLatin1String(name));
    if (number > 0)
        widget->setProperty(kTagProperty, QString::number(number));
    return widget;
}

// The language entry the settings file names, or -1 when it names none of them.
int storedLanguage(const QString &iniFile) {
    const QString text =
        ReadIniString(QLatin1String(kSectionOrvane), QStringLiteral("LCID"), QString(), iniFile)
            .trimmed();
    const char *const decimals[] = {"1031", "1033", "1046"};
    for (int i = 0; i <= kLanguageThird; ++i)
        if (text.compare(QLatin1String(kLcidTexts[i]), Qt::CaseInsensitive) == 0 ||
            text == QLatin1String(decimals[i]))
            return i;
    return -1;
}

QLabel *note(QLabel *label) {
    label->setWordWrap(true);
    label->setIndent(22);
    QFont f = label->font();
    f.setItalic(true);
    label->setFont(f);
    return label;
}

} // namespace

frmOptions::frmOptions(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmOptions"));
    setProperty(kTagProperty, QStringLiteral("1600"));
    setModal(true);
    buildWidgets();
    loadSettings();
}

void frmOptions::buildWidgets() {
    tabOptions = tagged(new QTabWidget(this), 0, "tabOptions");

    // Tab 1: languages, modes, digits and behaviour switches.
    auto *misc = new QWidget;
    auto *miscLayout = new QGridLayout(misc);

    fraLanguage = tagged(new QGroupBox(misc), 1601, "fraLanguage");
    cboLanguage = tagged(new QComboBox(fraLanguage), 0, "cboLanguage");
    (new QVBoxLayout(fraLanguage))->addWidget(cboLanguage);

    fraVideomode = tagged(new QGroupBox(misc), 1605, "fraVideomode");
    cboVideoMode = tagged(new QComboBox(fraVideomode), 0, "cboVideoMode");
    (new QVBoxLayout(fraVideomode))->addWidget(cboVideoMode);

    fraTrackingmode = tagged(new QGroupBox(misc), 1628, "fraTrackingmode");
    cboTrackingMode = tagged(new QComboBox(fraTrackingmode), 0, "cboTrackingMode");
    (new QVBoxLayout(fraTrackingmode))->addWidget(cboTrackingMode);

    fraDigits = tagged(new QGroupBox(misc), 1644, "fraDigits");
    lblDigits = tagged(new QLabel(fraDigits), 1645, "lblDigits");
    txtDigits = tagged(new QLineEdit(fraDigits), 0, "txtDigits");
    txtDigits->setMaximumWidth(48);
    txtDigits->setAlignment(Qt::AlignRight);
    updDigitsUp = tagged(new QToolButton(fraDigits), 0, "updDigitsUp");
    updDigitsUp->setArrowType(Qt::UpArrow);
    updDigitsDown = tagged(new QToolButton(fraDigits), 0, "updDigitsDown");
    updDigitsDown->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {updDigitsUp, updDigitsDown}) {
        b->setAutoRepeat(true);
        b->setFixedSize(18, 12);
    }
    auto *updDigits = new QVBoxLayout;
    updDigits->setSpacing(0);
    updDigits->addWidget(updDigitsUp);
    updDigits->addWidget(updDigitsDown);
    auto *digitsLayout = new QHBoxLayout(fraDigits);
    digitsLayout->addWidget(lblDigits, 1);
    digitsLayout->addWidget(txtDigits);
    digitsLayout->setSpacing(2);
    digitsLayout->addLayout(updDigits);
    connect(updDigitsUp, &QToolButton::clicked, this, [this] { stepDigits(+1); });
    connect(updDigitsDown, &QToolButton::clicked, this, [this] { stepDigits(-1); });

    fraSonstiges = tagged(new QGroupBox(misc), 1618, "fraSonstiges");
    chkCalibMand = tagged(new QCheckBox(fraSonstiges), 1619, "chkCalibMand");
    chkLeaveExcelOpen = tagged(new QCheckBox(fraSonstiges), 1620, "chkLeaveExcelOpen");
    chkDiscardAutotracked = tagged(new QCheckBox(fraSonstiges), 1621, "chkDiscardAutotracked");
    lblDiscardAutotracked = note(tagged(new QLabel(fraSonstiges), 1626, "lblDiscardAutotracked"));
    chkAutoShowPath = tagged(new QCheckBox(fraSonstiges), 1622, "chkAutoShowPath");
    chkStopAtDrop = tagged(new QCheckBox(fraSonstiges), 1624, "chkStopAtDrop");
    lblStopAtDrop = note(tagged(new QLabel(fraSonstiges), 1052, "lblStopAtDrop"));
    chkShowQuitMsg = tagged(new QCheckBox(fraSonstiges), 1625, "chkShowQuitMsg");
    auto *switches = new QVBoxLayout(fraSonstiges);
    for (QWidget *w : std::initializer_list<QWidget *>{
             chkCalibMand, chkLeaveExcelOpen, chkDiscardAutotracked, lblDiscardAutotracked,
             chkAutoShowPath, chkStopAtDrop, lblStopAtDrop, chkShowQuitMsg})
        switches->addWidget(w);

    miscLayout->addWidget(fraLanguage, 0, 0);
    miscLayout->addWidget(fraVideomode, 0, 1);
    miscLayout->addWidget(fraTrackingmode, 1, 0);
    miscLayout->addWidget(fraDigits, 1, 1);
    miscLayout->addWidget(fraSonstiges, 2, 0, 1, 2);
    miscLayout->setRowStretch(3, 1);

    // Tab 2: the look of marker paths.
    auto *trace = new QWidget;
    auto *traceOuter = new QVBoxLayout(trace);
    fraTrace = tagged(new QGroupBox(trace), 1633, "fraTrace");
    traceOuter->addWidget(fraTrace);
    traceOuter->addStretch(1);
    auto *grid = new QGridLayout(fraTrace);
    lblItem = tagged(new QLabel(fraTrace), 1634, "lblItem");
    cboItem = tagged(new QComboBox(fraTrace), 0, "cboItem");
    lblSize = tagged(new QLabel(fraTrace), 1635, "lblSize");
    txtSize = tagged(new QLineEdit(fraTrace), 0, "txtSize");
    txtSize->setMaximumWidth(64);
    lblLineWidth = tagged(new QLabel(fraTrace), 1636, "lblLineWidth");
    cboLineWidth = tagged(new QComboBox(fraTrace), 0, "cboLineWidth");
    chkFilled = tagged(new QCheckBox(fraTrace), 1637, "chkFilled");
    cmdColor = tagged(new QPushButton(fraTrace), 1638, "cmdColor");
    shpColor = tagged(new QFrame(fraTrace), 0, "shpColor");
    cmdBackColor = tagged(new QPushButton(fraTrace), 1639, "cmdBackColor");
    shpBackColor = tagged(new QFrame(fraTrace), 0, "shpBackColor");
    for (QFrame *swatch : {shpColor, shpBackColor}) {
        swatch->setFrameShape(QFrame::Box);
        swatch->setFixedSize(48, 22);
        swatch->setAutoFillBackground(true);
    }
    grid->addWidget(lblItem, 0, 0);
    grid->addWidget(cboItem, 0, 1, 1, 2);
    grid->addWidget(lblSize, 1, 0);
    grid->addWidget(txtSize, 1, 1);
    grid->addWidget(lblLineWidth, 2, 0);
    grid->addWidget(cboLineWidth, 2, 1);
    grid->addWidget(chkFilled, 3, 0, 1, 3);
    grid->addWidget(cmdColor, 4, 0);
    grid->addWidget(shpColor, 4, 1);
    grid->addWidget(cmdBackColor, 5, 0);
    grid->addWidget(shpBackColor, 5, 1);
    grid->setColumnStretch(2, 1);
    connect(cmdColor, &QPushButton::clicked, this, [this] { cmdColor_Click(); });
    connect(cmdBackColor, &QPushButton::clicked, this, [this] { cmdBackColor_Click(); });

    tabOptions->addTab(misc, QStringLiteral("1631"));
    tabOptions->addTab(trace, QStringLiteral("1632"));

    btnOK = tagged(new QPushButton(this), 1611, "btnOK");
    btnOK->setDefault(true);
    btnAbort = tagged(new QPushButton(this), 1612, "btnAbort");
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOK_Click(); });
    connect(btnAbort, &QPushButton::clicked, this, [this] { btnAbort_Click(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAbort);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabOptions);
    layout->addLayout(buttons);
}

void frmOptions::loadSettings() {
    TranslateForm(this);
    const AppState &s = appState();
    const OrvaneSettings &o = s.settings;
    const TraceSettings &t = s.trace;

    cboLanguage->addItems({res(1602), res(1603), res(1604)});
    // The stored choice, which a restart has not applied yet, else the running language: a
    // later OK must not write the running language back over a choice made before.
    const int stored = storedLanguage(s.IniFile);
    cboLanguage->setCurrentIndex(stored >= 0                  ? stored
                                 : s.TextBase == kGermanBase  ? kLanguageGerman
                                 : s.TextBase == kEnglishBase ? kLanguageEnglish
                                 : s.TextBase == kThirdBase   ? kLanguageThird
                                                              : -1);

    cboVideoMode->addItems({res(1606), res(1607), res(1623)});
    cboVideoMode->setCurrentIndex(o.DefVideoMode >= 0 && o.DefVideoMode <= 2 ? o.DefVideoMode : -1);

    cboTrackingMode->addItems({res(1629), res(1630)});
    cboTrackingMode->setCurrentIndex(o.TrackingMode == kTrackingPatternMatching  ? 0
                                     : o.TrackingMode == kTrackingMarkerTracking ? 1
                                                                                 : -1);

    chkCalibMand->setChecked(o.CalibrationMandatory);
    chkLeaveExcelOpen->setChecked(o.LeaveExcelOpen);
    chkDiscardAutotracked->setChecked(o.DiscardAutotracked);
    chkAutoShowPath->setChecked(o.ShowAutoPath);
    chkStopAtDrop->setChecked(o.StopAtDrop);
    chkShowQuitMsg->setChecked(o.ShowExitMsg);

    txtDigits->setText(QString::number(o.DecDigits));
    txtDigits->setToolTip(res(1065));
    txtSize->setToolTip(res(1064));

    cboItem->addItems({res(1640), res(1641), res(1642), res(1643)});
    int item = -1;
    for (int i = 0; i < 4; ++i)
        if (kItemValues[i] == t.Item)
            item = i;
    cboItem->setCurrentIndex(item);

    txtSize->setText(QString::number(t.Size));
    m_color = t.Color;
    m_backColor = t.BackColor;
    paintSwatch(shpColor, m_color);
    paintSwatch(shpBackColor, m_backColor);
    chkFilled->setChecked(t.Filled);

    for (int i = 1; i <= 7; ++i)
        cboLineWidth->addItem(QString::number(i));
    const int widthIndex = roundHalfEven(t.LineWidth / 2.0);
    cboLineWidth->setCurrentIndex(widthIndex >= 0 && widthIndex < 7 ? widthIndex : -1);
}

void frmOptions::stepDigits(int delta) {
    bool ok = false;
    int value = txtDigits->text().trimmed().toInt(&ok);
    if (!ok)
        value = appState().settings.DecDigits;
    value = std::clamp(value + delta, kMinDigits, kMaxDigits);
    txtDigits->setText(QString::number(value));
}

void frmOptions::paintSwatch(QFrame *swatch, platform::COLORREF color) {
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, platform::colorFromRef(color));
    swatch->setPalette(p);
}

void frmOptions::cmdColor_Click() {
    if (auto chosen = platform::ui::dialogs().chooseColor(
            this, platform::colorFromRef(appState().trace.Color))) {
        m_color = platform::refFromColor(*chosen);
        paintSwatch(shpColor, m_color);
    }
}

void frmOptions::cmdBackColor_Click() {
    if (auto chosen = platform::ui::dialogs().chooseColor(
            this, platform::colorFromRef(appState().trace.BackColor))) {
        m_backColor = platform::refFromColor(*chosen);
        paintSwatch(shpBackColor, m_backColor);
    }
}

void frmOptions::btnOK_Click() {
    auto &seam = platform::ui::dialogs();

    const QString sizeText = txtSize->text();
    const double size = leadingNumber(sizeText);
    if (!isNumericText(sizeText) || size < 1.0 || size > 100.0) {
        seam.beep();
        refuse(txtSize);
        return;
    }
    // A digits text that is no whole number in range is refused the same way, before
    // anything is written.
    bool digitsOk = false;
    const int digits = txtDigits->text().trimmed().toInt(&digitsOk);
    if (!digitsOk || digits < kMinDigits || digits > kMaxDigits) {
        seam.beep();
        refuse(txtDigits);
        return;
    }

    AppState &s = appState();
    OrvaneSettings &o = s.settings;
    TraceSettings &t = s.trace;

    const int language = cboLanguage->currentIndex();
    const bool changed = (s.TextBase == kGermanBase && language != kLanguageGerman) ||
                         (s.TextBase == kEnglishBase && language != kLanguageEnglish) ||
                         (s.TextBase == kThirdBase && language != kLanguageThird);
    if (changed)
        seam.messageBox(this, res(1613), productTitle(), platform::ui::Information);
    if (language >= 0 && language <= kLanguageThird)
        writeLanguageSetting(s.IniFile, QLatin1String(kLcidTexts[language]));

    if (cboVideoMode->currentIndex() >= 0)
        o.DefVideoMode = cboVideoMode->currentIndex();
    o.CalibrationMandatory = chkCalibMand->isChecked();
    // 5 is the state right after a video was opened; the next press decides from there.
    if (s.InteractionState != 5) {
        if (o.CalibrationMandatory && !s.VideoCalibrated)
            s.InteractionState = -1;
        else if (!o.CalibrationMandatory)
            s.InteractionState = 1;
    }
    o.LeaveExcelOpen = chkLeaveExcelOpen->isChecked();
    o.DiscardAutotracked = chkDiscardAutotracked->isChecked();
    o.ShowAutoPath = chkAutoShowPath->isChecked();
    o.StopAtDrop = chkStopAtDrop->isChecked();
    o.ShowExitMsg = chkShowQuitMsg->isChecked();
    if (cboTrackingMode->currentIndex() == 0)
        o.TrackingMode = kTrackingPatternMatching;
    else if (cboTrackingMode->currentIndex() == 1)
        o.TrackingMode = kTrackingMarkerTracking;
    o.DecDigits = digits;

    if (cboItem->currentIndex() >= 0)
        t.Item = kItemValues[cboItem->currentIndex()];
    if (cboLineWidth->currentIndex() >= 0)
        t.LineWidth = 2 * cboLineWidth->currentIndex();
    t.Size = roundHalfEven(size);
    t.Color = m_color;
    t.BackColor = m_backColor;
    t.Filled = chkFilled->isChecked();
    writeAllSettings(s.IniFile, o, t);

    hide();
    accept();
}

void frmOptions::refuse(QLineEdit *field) {
    // The field may lie on the other tab: bring its tab forward, then the field with its text
    // selected, so the refusal is visible and the next keys replace the value.
    for (int tab = 0; tab < tabOptions->count(); ++tab)
        if (tabOptions->widget(tab)->isAncestorOf(field))
            tabOptions->setCurrentIndex(tab);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void frmOptions::btnAbort_Click() {
    reject();
}

} // namespace shell
