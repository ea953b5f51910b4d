#include "app/markers/textexport.h"

#include "app/common/numbertext.h"
#include "app/common/resources.h"
#include "app/markers/markercontroller.h"
#include "platform/ui/dialogs.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace markers {

namespace {

constexpr int kPositionDecimals = 4;
constexpr int kCalibratedDecimals = 6;
constexpr int kAngleDecimals = 3;
constexpr int kTimeDecimals = 6;
// The frames a channel can address: frame numbers are 16-bit.
constexpr int kMaxFrames = 32768;

struct ExportColumn {
    QString name;
    MarkerChannels channels;
};

} // namespace

QString TextExport::separatorOf(platform::LCID uiLcid) {
    return uiLcid == 1033 ? QStringLiteral(".") : QStringLiteral(",");
}

QString TextExport::text(const QString &separator) const {
    MarkersHost &host = m_markers.host;
    const common::AppState &s = m_markers.state;
    std::vector<ExportColumn> columns;
    const int rows = host.rowCount();
    for (int row = 0; row < rows; ++row)
        columns.push_back(
            {host.rowText(row), m_markers.store.bind(m_markers.table.markerNumberOfRow(row),
                                                     {Channel::PosX, Channel::PosY, Channel::Angle,
                                                      Channel::PointStatus})});

    // While a calibration is in force each marker's calibrated position comes first, in the
    // calibration's unit.
    const bool calibrated = m_markers.table.calibrated();
    QString unit;
    if (calibrated) {
        platform::SHORT code = 0;
        s.Calibration->GetUnit(&code);
        unit = code == 1   ? QStringLiteral("m")
               : code == 3 ? QStringLiteral("mm")
                           : QStringLiteral("cm");
    }

    const QChar tab(u'\t');
    QString out = QStringLiteral("Frame\tTime (s)");
    for (const ExportColumn &c : columns) {
        if (calibrated)
            out += tab + c.name + QStringLiteral(" X (") + unit + u')' + tab + c.name +
                   QStringLiteral(" Y (") + unit + u')';
        out += tab + c.name + QStringLiteral(" X (px)") + tab + c.name + QStringLiteral(" Y (px)") +
               tab + c.name + QStringLiteral(" Rotation");
    }
    out += u'\n';

    const double w = s.VideoWidth, h = s.VideoHeight;
    const double rate = s.VideoFrameRate;
    const int frames = std::clamp(s.FrameCount, 0, kMaxFrames);
    const auto number = [&](double value, int decimals) {
        return common::formatFixed(value, decimals, separator);
    };
    for (int f = 0; f < frames; ++f) {
        out += QString::number(f) + tab;
        if (rate > 0.0)
            out += number(f / rate, kTimeDecimals);
        for (const ExportColumn &c : columns) {
            const MarkerChannels &ch = c.channels;
            const bool inside = f < ch.length(Channel::PointStatus);
            const float fx = ch.get(Channel::PosX, f), fy = ch.get(Channel::PosY, f);
            const bool point = inside && ch.get(Channel::PointStatus, f) == 1.0f &&
                               !datalib::isMissing(fx) && !datalib::isMissing(fy);
            if (calibrated) {
                double cx = 0.0, cy = 0.0;
                platform::LONG status = 0;
                const bool mapped =
                    point &&
                    platform::succeeded(s.Calibration->Transform(fx, fy, &cx, &cy, &status));
                out += tab;
                if (mapped)
                    out += number(cx, kCalibratedDecimals);
                out += tab;
                if (mapped)
                    out += number(cy, kCalibratedDecimals);
            }
            out += tab;
            if (point)
                out += number(fx * w, kPositionDecimals);
            out += tab;
            if (point)
                out += number(fy * h, kPositionDecimals);
            out += tab;
            const float angle = ch.get(Channel::Angle, f);
            if (point && !datalib::isMissing(angle))
                out += number(angle, kAngleDecimals);
        }
        out += u'\n';
    }
    return out;
}

bool TextExport::writeAtomically(const QString &path, const QByteArray &bytes, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool TextExport::write(const QString &path, QString *error) const {
    return writeAtomically(path, text(separatorOf(m_markers.state.UiLcid)).toUtf8(), error);
}

void TextExport::exportWithDialog() {
    const common::AppState &s = m_markers.state;
    QWidget *parent = m_markers.host.dialogParent();
    platform::ui::FileDialogRequest request;
    request.title = common::res(s, 1030);
    request.filter = common::res(s, 1032);
    request.mustExist = false;
    const std::optional<QString> chosen = platform::ui::dialogs().saveFile(parent, request);
    if (!chosen || chosen->isEmpty())
        return;
    QString error;
    if (!write(*chosen, &error))
        platform::ui::dialogs().messageBox(
            parent,
            common::res(s, 1056) + u'\n' + QFileInfo(*chosen).absoluteFilePath() + u'\n' + error,
            common::productTitle(s), platform::ui::Critical);
}

} // namespace markers
