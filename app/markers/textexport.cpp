#include "app/markers/textexport.h"

#include "app/common/numbertext.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/markers/markercontroller.h"
#include "app/markers/markerkinematics.h"
#include "platform/ui/dialogs.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <vector>

namespace markers {

namespace {

constexpr int kPositionDecimals = 4;
constexpr int kCalibratedDecimals = 6;
constexpr int kAngleDecimals = 3;
constexpr int kTimeDecimals = 6;
// Velocities and accelerations: as many decimals as the positions they come from.
constexpr int kKinematicsPixelDecimals = 4;
constexpr int kKinematicsCalibratedDecimals = 6;

struct ExportColumn {
    QString name;
    MarkerChannels channels;
    kinematics::MarkerKinematics kinematics; // filled only when the export includes it
};

std::optional<double> cell(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

QString TextExport::separatorOf(platform::LCID uiLcid) {
    return uiLcid == 1033 ? QStringLiteral(".") : QStringLiteral(",");
}

ExportTable TextExport::table() const {
    return table(common::readExportKinematicsSetting(m_markers.state.IniFile));
}

ExportTable TextExport::table(bool withKinematics) const {
    MarkersHost &host = m_markers.host;
    const common::AppState &s = m_markers.state;
    std::vector<ExportColumn> columns;
    // Every position cutoff is chosen automatically; angles are not exported, so their
    // residual analysis would only cost time.
    kinematics::Options options;
    options.angle.mode = kinematics::SmoothingMode::Off;
    const int rows = host.rowCount();
    for (int row = 0; row < rows; ++row) {
        const platform::LONG marker = m_markers.table.markerNumberOfRow(row);
        columns.push_back({host.rowText(row),
                           m_markers.store.bind(marker, {Channel::PosX, Channel::PosY,
                                                         Channel::Angle, Channel::PointStatus}),
                           {}});
        if (withKinematics)
            columns.back().kinematics = markerKinematics(m_markers, marker, options);
    }

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
        if (withKinematics) {
            // In the calibration's unit while one is in force, else in pixels.
            const QString unit = t.calibrated ? t.unit : QStringLiteral("px");
            const int decimals =
                t.calibrated ? kKinematicsCalibratedDecimals : kKinematicsPixelDecimals;
            const QString perSecond = QStringLiteral(" (") + unit + QStringLiteral("/s)");
            const QString perSecond2 = QStringLiteral(" (") + unit + QStringLiteral("/s\u00B2)");
            for (const char *quantity : {" Vx", " Vy", " Speed"})
                column(c.name + QLatin1String(quantity) + perSecond, decimals);
            for (const char *quantity : {" Ax", " Ay", " Acc"})
                column(c.name + QLatin1String(quantity) + perSecond2, decimals);
        }
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
            if (withKinematics) {
                // The library's frames run from the marker's first point to its last; outside
                // them, and wherever it had no value, the cells stay empty.
                const std::vector<kinematics::FrameKinematics> &k = c.kinematics.frames;
                const long long at = k.empty() ? -1 : static_cast<long long>(f) - k.front().frame;
                const kinematics::FrameKinematics none;
                const kinematics::FrameKinematics &v =
                    at >= 0 && at < static_cast<long long>(k.size()) ? k[std::size_t(at)] : none;
                for (double value : {v.vx, v.vy, v.speed, v.ax, v.ay, v.acceleration})
                    row.push_back(cell(value));
            }
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

bool TextExport::write(const QString &path, bool withKinematics, QString *error) const {
    return writeAtomically(
        path, text(table(withKinematics), separatorOf(m_markers.state.UiLcid)).toUtf8(), error);
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
