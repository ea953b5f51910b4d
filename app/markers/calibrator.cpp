#include "app/markers/calibrator.h"

#include "app/common/numbertext.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/markers/markercontroller.h"
#include "control/cvviewctrl.h"
#include "platform/ui/dialogs.h"

#include <QRegularExpression>

#include <cmath>

namespace markers {

using platform::LONG;

namespace {

constexpr double kMaxAspect = 100.0;
constexpr float kMarkSize = 3.0f;
constexpr platform::COLORREF kRed = 255;
constexpr platform::COLORREF kBlue = 0xFF0000;

// The words of the aspect box, compared after upper-casing, in the order they are tried.
struct AspectWords {
    const char *words[3];
    float factor;
};
constexpr AspectWords kAspectWords[] = {{{"DV-PAL", "DVPAL", "PAL"}, kAspectPal},
                                        {{"DV-NTSC", "DVNTSC", "NTSC"}, kAspectNtsc},
                                        {{"1:1", nullptr, nullptr}, kAspectSquare}};

} // namespace

Calibrator::Calibrator(MarkerController &markers)
    : m_markers(markers), m_separator(common::userSeparator()) {}

std::optional<double> Calibrator::userNumber(const QString &text) const {
    QString t = text.trimmed();
    if (m_separator != QLatin1String("."))
        t.replace(m_separator, QStringLiteral("."));
    // One decimal mark at most and no grouping: "1,234" in an English locale is not the
    // thousand a spreadsheet would make of it, but no number.
    static const QRegularExpression kNumber(
        QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!kNumber.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString Calibrator::numberText(double value) const {
    QString text = QString::number(value, 'g', 7);
    text.replace(QLatin1Char('.'), m_separator);
    return text;
}

double Calibrator::aspectFactor(const QString &text) const {
    // A plain number, with either decimal mark.
    if (const auto number = userNumber(text))
        return *number;
    QString t = text;
    t.replace(QLatin1Char('.'), QLatin1Char(','));
    t = t.trimmed();
    const QString upper = t.toUpper();
    for (const AspectWords &entry : kAspectWords)
        for (const char *word : entry.words)
            if (word && upper == QLatin1String(word))
                return entry.factor;
    // A ratio a:b of two positive numbers.
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 1)
        return 0.0;
    const auto part = [this](QString s) {
        s.replace(m_separator, QStringLiteral("."));
        return common::leadingNumber(s);
    };
    const double a = part(text.left(colon));
    const double b = part(text.mid(colon + 1));
    return a > 0 && b > 0 ? a / b : 0.0;
}

void Calibrator::showMarks(bool visible) {
    if (const auto &items = m_markers.objects.graphicItems)
        items->Show(kCalibrationMarks, visible ? 1 : 0);
    m_markers.overlay.QuickRefresh();
}

CalibrationForm Calibrator::load() {
    common::AppState &s = m_markers.state;
    const common::CalibrationSettings stored = common::readCalibrationSettings(s.IniFile);
    s.AspectFactor = stored.aspect;
    // A damaged unit would leave the unit box without a choice: centimetres, as by default.
    s.CalibUnit = stored.unit >= 1 && stored.unit <= 3 ? stored.unit : 2;
    s.CalibDistance = stored.distance;
    showMarks(true);

    CalibrationForm form;
    form.aspect = numberText(s.AspectFactor);
    const float named[] = {kAspectPal, kAspectNtsc, kAspectSquare};
    for (int i = 0; i < 3; ++i)
        if (s.AspectFactor == named[i]) {
            form.aspectEntry = i;
            break;
        }
    form.unitIndex = s.CalibUnit - 1;
    form.distance = numberText(s.CalibDistance);
    form.frequency = numberText(s.VideoFrameRate);
    return form;
}

Calibrator::Outcome Calibrator::accept(const CalibrationForm &form) {
    common::AppState &s = m_markers.state;
    const std::optional<double> distance = userNumber(form.distance);
    if (form.distance.trimmed().isEmpty() || !distance)
        return Outcome::BadDistance;
    const double aspect = aspectFactor(form.aspect);
    if (!(aspect > 0.0) || aspect > kMaxAspect)
        return Outcome::BadAspect;
    const auto distanceValue = static_cast<float>(*distance);
    if (distanceValue == 0.0f)
        return Outcome::ZeroDistance;
    // Every value is read before anything changes: a frequency that is no number leaves the
    // settings, the calibration and the values in memory as they were. Without a positive
    // frequency no time could be told.
    const std::optional<double> frequency = userNumber(form.frequency);
    if (!frequency || !(*frequency > 0.0) || !std::isfinite(static_cast<float>(*frequency)))
        return Outcome::NotANumber;
    if (form.unitIndex < 0 || form.unitIndex > 2)
        return Outcome::NotANumber;

    s.AspectFactor = static_cast<float>(aspect);
    s.CalibDistance = distanceValue;
    s.VideoFrameRate = static_cast<float>(*frequency);
    // The view tells the time of a frame from its rate: it follows the frequency given here,
    // the rate of the pictures shown. The forced rate is that of the stored frames, which
    // the view multiplies by the pictures each gives in the mode.
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    if (view.AVIFrameRate() != s.VideoFrameRate)
        view.SetFrameRateForced(s.VideoFrameRate /
                                static_cast<float>(common::picturesPerFrame(s.VideoMode)));
    s.CalibUnit = form.unitIndex + 1;
    common::writeCalibrationSettings(s.IniFile, {s.CalibDistance, s.CalibUnit, s.AspectFactor});
    if (const auto &cal = s.Calibration) {
        cal->SetParameter(1, s.CalibUnit);
        cal->SetDistance(0, s.CalibDistance);
        cal->SetOrigin(0.0, 0.0);
        const double w = m_markers.videoWidth();
        cal->SetWidthRatio(w > 0 ? (w - 1) / w : 0.0);
    }
    s.InteractionState = 2;
    m_markers.host.UpdateStatusBar();
    return Outcome::Accepted;
}

void Calibrator::unload() {
    showMarks(false);
}

void Calibrator::drawMarks(int upTo) {
    const auto &items = m_markers.objects.graphicItems;
    const auto &cal = m_markers.state.Calibration;
    if (!items || !cal)
        return;
    items->Remove(kCalibrationMarks);
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    const double w = view.AVIWidth(), h = view.AVIHeight();
    double px[2] = {}, py[2] = {};
    for (int j = 0; j <= upTo && j < 2; ++j) {
        cal->GetPointX(j, &px[j]);
        cal->GetPointY(j, &py[j]);
        const auto mark = addGraphicItem(items.get(), datalib::ItemCross, kCalibrationMarks);
        if (!mark)
            continue;
        mark->SetPoint1(static_cast<float>(px[j] * w), static_cast<float>(py[j] * h));
        mark->SetSize(kMarkSize);
        mark->SetLineColor(kRed);
    }
    if (upTo < 1)
        return;
    if (const auto line = addGraphicItem(items.get(), datalib::ItemLines, kCalibrationMarks)) {
        line->SetPoint1(static_cast<float>(px[0] * w), static_cast<float>(py[0] * h));
        line->SetPoint2(static_cast<float>(px[1] * w), static_cast<float>(py[1] * h));
        line->SetLineColor(kBlue);
    }
}

void Calibrator::SetCalibrationPoint(double x, double y) {
    common::AppState &s = m_markers.state;
    const int k = s.CalibPointIndex;
    quivex::CVViewCtrl &view = m_markers.host.videoView();
    const auto &cal = s.Calibration;
    if (cal && (k == 0 || k == 1)) {
        const double w = view.AVIWidth(), h = view.AVIHeight();
        cal->SetPointX(k, w > 0 ? x / w : datalib::kMissing);
        cal->SetPointY(k, h > 0 ? y / h : datalib::kMissing);
    }
    if (cal) {
        cal->SetUnit(static_cast<platform::SHORT>(s.CalibUnit));
        cal->SetAspect(s.AspectFactor);
    }
    drawMarks(k);
    showMarks(true);
    if (k < 1) {
        s.CalibPointIndex = k + 1;
        return;
    }
    s.InteractionState = 1;
    s.VideoOpening = false;
    s.CalibPointIndex = 0;
    LONG state = -1;
    QWidget *parent = m_markers.host.dialogParent();
    if (cal && platform::succeeded(cal->GetState(&state)) && state == 0) {
        platform::ui::dialogs().messageBox(parent, common::res(s, 1704), common::productTitle(s),
                                           platform::ui::Information);
        s.VideoCalibrated = true;
        m_markers.touch();
        m_markers.pass.UpdateFrameMarkers();
    } else {
        platform::ui::dialogs().messageBox(parent, common::res(s, 1705), common::productTitle(s),
                                           platform::ui::Exclamation);
    }
    showMarks(false);
}

void Calibrator::invalidate() {
    m_markers.state.CalibPointIndex = 0;
    if (const auto &cal = m_markers.state.Calibration) {
        // As at start: no first reference point, so no calibration is in force.
        cal->SetParameter(1, 0);
        cal->SetPointX(0, datalib::kMissing);
    }
}

} // namespace markers
