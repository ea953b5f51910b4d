// File > Export > as text file: the markers' tracked values as tab-separated UTF-8 text,
// one header line, then one line for every frame of the video. Positions are image pixels
// with four decimals (the tracked sub-pixel values, not the table's rounded ones), preceded
// while a calibration is in force by the calibrated position with six decimals; a cell is
// empty where the marker has no point. The file is replaced in one step or not at all.
#pragma once

#include "platform/wintypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace markers {

class MarkerController;

// What the exports write: named columns and one row per frame; an empty cell is nothing.
// Columns: Frame, Time (s), then per marker in table order its calibrated X and Y (while a
// calibration is in force), X and Y in image pixels and the rotation, and, with the setting
// `ExportKinematics` on, its smoothed velocity (Vx, Vy, Speed) and acceleration (Ax, Ay, Acc)
// in the calibration's unit (or pixels) per second and per second squared.
struct ExportTable {
    using Row = std::vector<std::optional<double>>;
    QStringList header;
    std::vector<int> decimals; // per column, for text
    std::vector<Row> rows;
    bool calibrated = false;
    QString unit; // "m", "cm" or "mm" while calibrated
};

class TextExport {
public:
    explicit TextExport(MarkerController &markers) : m_markers(markers) {}

    // Asks for the file (title 1030, filter 1032), writes it, and tells the user when the
    // writing failed.
    void exportWithDialog();
    // The values of the export; the kinematics columns as the setting `ExportKinematics` says.
    ExportTable table() const;
    // The same with the kinematics columns on or off whatever the setting says.
    ExportTable table(bool withKinematics) const;
    // The text of the export with the given decimal separator.
    QString text(const QString &separator) const;
    static QString text(const ExportTable &table, const QString &separator);
    // Writes the export; false with the reason when the file could not be written.
    bool write(const QString &path, QString *error) const;
    // The same with the kinematics columns on or off whatever the setting says.
    bool write(const QString &path, bool withKinematics, QString *error) const;

    // The decimal separator of an interface language: "." for English, "," for German and
    // Portuguese.
    static QString separatorOf(platform::LCID uiLcid);
    // Writes into a temporary file beside `path` and renames it over `path`; an existing
    // file is either replaced whole or left untouched.
    static bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error);

private:
    MarkerController &m_markers;
};

} // namespace markers
