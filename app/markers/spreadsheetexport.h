// File > Export > as Excel table: the text export's values as an Office Open XML workbook
// (.xlsx). Sheet "Data" holds the header and one row per frame, every value a number cell
// with the column's decimals as its number format; sheet "Info" tells what the values belong
// to. The workbook is written beside the target and renamed over it, so an existing file is
// either replaced whole or left untouched.
#pragma once

#include "app/markers/textexport.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace markers {

class MarkerController;

// What sheet "Info" says about the export.
struct SpreadsheetInfo {
    QString videoFile;
    int frames = 0;
    double frameRate = 0.0; // frames per second; not positive when unknown
    int width = 0;          // pixels
    int height = 0;         // pixels
    bool calibrated = false;
    // Only while calibrated:
    QString unit;          // "m", "cm" or "mm"
    double distance = 0.0; // the calibration distance, in `unit`
    double aspectFactor = 0.0;
    QDateTime exportedAt; // local time
};

class SpreadsheetExport {
public:
    // Shows a written workbook with the desktop's application for it; false when none could.
    using Opener = std::function<bool(const QString &path)>;

    // The opener is the desktop's (QDesktopServices).
    explicit SpreadsheetExport(MarkerController &markers);

    // Asks for the file (title 1030, filter 1031; ".xlsx" is added to a name without a
    // suffix), refuses with text 1055 while the file is open in a spreadsheet program or
    // cannot be replaced, writes it, tells the user when the writing failed (1056), and
    // opens it afterwards when the `LeaveExcelOpen` setting is on (1034 and 1035 when no
    // application opened it).
    void exportWithDialog();

    // The Info sheet's values for the current video and `table`.
    SpreadsheetInfo info(const ExportTable &table) const;
    // Writes the workbook of the current values; false with the reason when it could not be
    // written. Checks no lock file: exportWithDialog does.
    bool write(const QString &path, QString *error) const;
    // The same with the kinematics columns on or off whatever the setting says.
    bool write(const QString &path, bool withKinematics, QString *error) const;
    // Writes `table` and `info` into a temporary file beside `path` and renames it over
    // `path`; on failure `path` is as it was and no temporary file is left.
    static bool write(const QString &path, const ExportTable &table, const SpreadsheetInfo &info,
                      QString *error);

    // The lock file a spreadsheet program keeps beside `path` while it has it open
    // (".~lock.<file name>#").
    static QString lockFileOf(const QString &path);

    // Replaces the opener (tests answer it themselves).
    void setOpener(Opener opener) { m_opener = std::move(opener); }

private:
    MarkerController &m_markers;
    Opener m_opener;
};

} // namespace markers
