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

ExportTable TextExport::table() const {
    MarkersHost &host = m_markers.host;
    const common::AppState &s = m_markers.state;
    std::vector<ExportColumn> columns;
    const int rows = host.rowCount();
    for (int row = 0; row < rows; ++row)
        columns.push_back(
            {host.rowText(row), m_markers.store.bind(m_markers.table.markerNumberOfRow(row),
                                                     {Channel::PosX, Channel::PosY, Channel::Angle,
                                                      Channel::PointStatus})});

    ExportTable t;
    // While a calibration is in force each marker's calibrated position comes first, in the
    // calibration's unit.
    t.calibrated = m_markers.table.calibrated();
    if (t.calibrated) {
        platform::SHORT code = 0;
        s.Calibration->GetUnit(&code);
        t.unit = code == 1   ? QStringLiteral("m")
                 : code == 3 ? QStringLiteral("mm")
                             : QStringLiteral("cm");
    }
    const auto column = [&t](const QString &name, int decimals) {
        t.header << name;
        t.decimals.push_back(decimals);
    };
    column(QStringLiteral("Frame"), 0);
    column(QStringLiteral("Time (s)"), kTimeDecimals);
    for (const ExportColumn &c : columns) {
        if (t.calibrated) {
            column(c.name + QStringLiteral(" X (") + t.unit + u')', kCalibratedDecimals);
            column(c.name + QStringLiteral(" Y (") + t.unit + u')', kCalibratedDecimals);
        }
        column(c.name + QStringLiteral(" X (px)"), kPositionDecimals);
        column(c.name + QStringLiteral(" Y (px)"), kPositionDecimals);
        column(c.name + QStringLiteral(" Rotation"), kAngleDecimals);
    }

    const double w = s.VideoWidth, h = s.VideoHeight;
    const double rate = s.VideoFrameRate;
    const int frames = std::clamp(s.FrameCount, 0, kMaxFrames);
    t.rows.reserve(static_cast<std::size_t>(frames));
    for (int f = 0; f < frames; ++f) {
        ExportTable::Row row;
        row.reserve(static_cast<std::size_t>(t.header.size()));
        row.push_back(f);
        row.push_back(rate > 0.0 ? std::optional<double>(f / rate) : std::nullopt);
        for (const ExportColumn &c : columns) {
            const MarkerChannels &ch = c.channels;
            const bool inside = f < ch.length(Channel::PointStatus);
            const float fx = ch.get(Channel::PosX, f), fy = ch.get(Channel::PosY, f);
            const bool point = inside && ch.get(Channel::PointStatus, f) == 1.0f &&
                               !datalib::isMissing(fx) && !datalib::isMissing(fy);
            if (t.calibrated) {
                double cx = 0.0, cy = 0.0;
                platform::LONG status = 0;
                const bool mapped =
                    point &&
                    platform::succeeded(s.Calibration->Transform(fx, fy, &cx, &cy, &status));
                row.push_back(mapped ? std::optional<double>(cx) : std::nullopt);
                row.push_back(mapped ? std::optional<double>(cy) : std::nullopt);
            }
            row.push_back(point ? std::optional<double>(fx * w) : std::nullopt);
            row.push_back(point ? std::optional<double>(fy * h) : std::nullopt);
            const float angle = ch.get(Channel::Angle, f);
            row.push_back(point && !datalib::isMissing(angle) ? std::optional<double>(angle)
                                                              : std::nullopt);
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

QString TextExport::text(const ExportTable &table, const QString &separator) {
    const QChar tab(u'\t');
    QString out = table.header.join(tab);
    out += u'\n';
    for (const ExportTable::Row &row : table.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += tab;
            if (row[c])
                out += common::formatFixed(*row[c], table.decimals[c], separator);
        }
        out += u'\n';
    }
    return out;
}

QString TextExport::text(const QString &separator) const {
    return text(table(), separator);
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
