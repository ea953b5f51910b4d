#include "app/markers/spreadsheetexport.h"

#include "app/common/resources.h"
#include "app/markers/markercontroller.h"
#include "platform/ui/dialogs.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <map>
#include <system_error>

namespace markers {

namespace {

// Number formats carry at most this many decimals; the stored value is always the full double.
constexpr int kMaxFormatDecimals = 15;
// Widths of the sheets' columns, in characters of the default font.
constexpr double kMinDataWidth = 10.0;
constexpr double kMaxDataWidth = 48.0;
constexpr double kInfoLabelWidth = 26.0;
constexpr double kInfoValueWidth = 48.0;

// The double that reads as the float's shortest decimal text: a frame rate of 29.97 given in
// single precision appears as 29.97 in the sheet, not 29.9699993133545.
double decimalOf(float value) {
    if (!std::isfinite(value))
        return value;
    char text[32];
    const auto written = std::to_chars(std::begin(text), std::end(text), value);
    double out = value;
    if (written.ec == std::errc())
        std::from_chars(text, written.ptr, out);
    return out;
}

// "0", "0.0", "0.00", ...: Excel's number format for that many decimals.
QByteArray numberFormat(int decimals) {
    const int d = std::clamp(decimals, 0, kMaxFormatDecimals);
    return d == 0 ? QByteArray("0") : QByteArray("0.") + QByteArray(d, '0');
}

QString isoText(const QDateTime &time) {
    if (!time.isValid())
        return {};
    // With the local offset, so the text says which local time it was.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

// Writes cells and keeps the first error; later writes after an error are skipped.
class SheetWriter {
public:
    explicit SheetWriter(lxw_worksheet *sheet) : m_sheet(sheet) {}

    void number(lxw_row_t row, lxw_col_t col, double value, lxw_format *format = nullptr) {
        // A cell cannot hold NaN or an infinity (the file would not open): such a value is
        // no value.
        if (m_error == LXW_NO_ERROR && std::isfinite(value))
            m_error = worksheet_write_number(m_sheet, row, col, value, format);
    }
    void text(lxw_row_t row, lxw_col_t col, const QString &value, lxw_format *format = nullptr) {
        if (m_error == LXW_NO_ERROR && !value.isEmpty())
            m_error = worksheet_write_string(m_sheet, row, col, value.toUtf8().constData(), format);
    }
    void width(lxw_col_t col, double characters) {
        if (m_error == LXW_NO_ERROR)
            m_error = worksheet_set_column(m_sheet, col, col, characters, nullptr);
    }
    lxw_error error() const { return m_error; }

private:
    lxw_worksheet *m_sheet;
    lxw_error m_error = LXW_NO_ERROR;
};

lxw_error writeDataSheet(lxw_workbook *book, lxw_worksheet *sheet, const ExportTable &table,
                         lxw_format *bold) {
    SheetWriter out(sheet);
    worksheet_freeze_panes(sheet, 1, 0);
    for (int c = 0; c < table.header.size(); ++c) {
        const auto col = static_cast<lxw_col_t>(c);
        out.text(0, col, table.header[c], bold);
        out.width(col,
                  std::clamp(double(table.header[c].size()) + 2.0, kMinDataWidth, kMaxDataWidth));
    }
    // One format per number of decimals, shared by every column that has it.
    std::map<int, lxw_format *> formats;
    const auto formatOf = [&](std::size_t column) -> lxw_format * {
        if (column >= table.decimals.size())
            return nullptr;
        const int decimals = table.decimals[column];
        lxw_format *&format = formats[decimals];
        if (!format) {
            format = workbook_add_format(book);
            if (format)
                format_set_num_format(format, numberFormat(decimals).constData());
        }
        return format;
    };
    // Constant-memory sheets are written row by row, in order: row 0 is done.
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const ExportTable::Row &row = table.rows[r];
        for (std::size_t c = 0; c < row.size(); ++c)
            if (row[c])
                out.number(static_cast<lxw_row_t>(r + 1), static_cast<lxw_col_t>(c), *row[c],
                           formatOf(c));
    }
    return out.error();
}

lxw_error writeInfoSheet(lxw_worksheet *sheet, const SpreadsheetInfo &info, lxw_format *bold) {
    SheetWriter out(sheet);
    out.width(0, kInfoLabelWidth);
    out.width(1, kInfoValueWidth);
    lxw_row_t row = 0;
    const auto label = [&](const QString &text) {
        out.text(row, 0, text, bold);
    };
    const auto text = [&](const QString &name, const QString &value) {
        label(name);
        out.text(row++, 1, value);
    };
    const auto number = [&](const QString &name, double value) {
        label(name);
        out.number(row++, 1, value);
    };
    text(QStringLiteral("Video file"), info.videoFile);
    number(QStringLiteral("Frames"), info.frames);
    // An unknown rate (times are empty then) leaves the cell empty.
    number(QStringLiteral("Frame rate (1/s)"), info.frameRate > 0.0 ? info.frameRate : NAN);
    number(QStringLiteral("Video width (px)"), info.width);
    number(QStringLiteral("Video height (px)"), info.height);
    text(QStringLiteral("Calibrated"),
         info.calibrated ? QStringLiteral("Yes") : QStringLiteral("No"));
    if (info.calibrated) {
        text(QStringLiteral("Unit"), info.unit);
        number(QStringLiteral("Calibration distance (") + info.unit + u')', info.distance);
        number(QStringLiteral("Aspect factor"), info.aspectFactor);
    }
    text(QStringLiteral("Exported"), isoText(info.exportedAt));
    return out.error();
}

// Writes the workbook into `file` (created or truncated); false with the reason.
bool writeWorkbook(const QString &file, const ExportTable &table, const SpreadsheetInfo &info,
                   QString *error) {
    std::size_t columns = static_cast<std::size_t>(table.header.size());
    for (const ExportTable::Row &row : table.rows)
        columns = std::max(columns, row.size());
    // Cell addresses are 16-bit columns and 32-bit rows: check before they could wrap.
    if (columns > LXW_COL_MAX || table.rows.size() >= LXW_ROW_MAX) {
        *error = QStringLiteral("The table has %1 columns and %2 rows; a sheet holds at most "
                                "%3 columns and %4 rows.")
                     .arg(columns)
                     .arg(table.rows.size() + 1)
                     .arg(LXW_COL_MAX)
                     .arg(LXW_ROW_MAX);
        return false;
    }

    const QByteArray name = QFile::encodeName(file);
    // Constant memory: rows go to a temporary file as they are written, so a long video with
    // many markers does not hold every cell in memory. Texts are stored in their cells.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(name.constData(), &options);
    if (!book) {
        *error = QStringLiteral("The workbook could not be created.");
        return false;
    }
    lxw_format *bold = workbook_add_format(book);
    if (bold)
        format_set_bold(bold);
    lxw_worksheet *data = workbook_add_worksheet(book, "Data");
    lxw_worksheet *infoSheet = workbook_add_worksheet(book, "Info");
    lxw_error failed = LXW_NO_ERROR;
    if (!data || !infoSheet)
        failed = LXW_ERROR_CREATING_TMPFILE;
    if (failed == LXW_NO_ERROR)
        failed = writeDataSheet(book, data, table, bold);
    if (failed == LXW_NO_ERROR)
        failed = writeInfoSheet(infoSheet, info, bold);
    // Closing writes the file and frees the workbook, on every way out.
    const lxw_error closed = workbook_close(book);
    if (failed == LXW_NO_ERROR)
        failed = closed;
    if (failed != LXW_NO_ERROR) {
        *error = QString::fromUtf8(lxw_strerror(failed));
        return false;
    }
    return true;
}

// A new empty file beside `target`, made by us alone; its path, or empty with the reason.
QString createTemporaryBeside(const QString &target, QString *error) {
    const QString folder = QFileInfo(target).absolutePath();
    for (int attempt = 0; attempt < 32; ++attempt) {
        const QString name =
            QStringLiteral("%1/.orvane-export-%2.tmp")
                .arg(folder)
                .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        if (!file.exists()) {
            *error = file.errorString();
            return {};
        }
    }
    *error = QStringLiteral("No temporary file could be made in %1.").arg(folder);
    return {};
}

// The file that writing to `path` replaces: the target of a symbolic link, which stays.
QString realTarget(const QString &path) {
    const QFileInfo fi(path);
    if (fi.isSymLink() && !fi.symLinkTarget().isEmpty())
        return fi.symLinkTarget();
    return fi.absoluteFilePath();
}

// True while a spreadsheet program has `path` open, or the existing file may not be
// replaced (it or its folder is write-protected).
bool inUseOrProtected(const QString &path) {
    const QString target = realTarget(path);
    if (QFileInfo::exists(SpreadsheetExport::lockFileOf(path)) ||
        QFileInfo::exists(SpreadsheetExport::lockFileOf(target)))
        return true;
    const QFileInfo fi(target);
    if (!fi.exists() || fi.isDir())
        return false; // a folder in its place fails when written, with the system's reason
    return !fi.isWritable() || !QFileInfo(fi.absolutePath()).isWritable();
}

// The chosen name with ".xlsx" when it has no suffix.
QString withSuffix(const QString &chosen) {
    if (!QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + (chosen.endsWith(u'.') ? QStringLiteral("xlsx") : QStringLiteral(".xlsx"));
}

} // namespace

SpreadsheetExport::SpreadsheetExport(MarkerController &markers)
    : m_markers(markers), m_opener([](const QString &path) {
          return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
      }) {}

QString SpreadsheetExport::lockFileOf(const QString &path) {
    const QFileInfo fi(path);
    return fi.absolutePath() + QStringLiteral("/.~lock.") + fi.fileName() + u'#';
}

SpreadsheetInfo SpreadsheetExport::info(const ExportTable &table) const {
    const common::AppState &s = m_markers.state;
    SpreadsheetInfo i;
    i.videoFile = s.VideoFile;
    i.frames = s.FrameCount;
    i.frameRate = decimalOf(s.VideoFrameRate);
    i.width = s.VideoWidth;
    i.height = s.VideoHeight;
    i.calibrated = table.calibrated;
    if (i.calibrated) {
        i.unit = table.unit;
        i.distance = decimalOf(s.CalibDistance);
        i.aspectFactor = decimalOf(s.AspectFactor);
    }
    i.exportedAt = QDateTime::currentDateTime();
    return i;
}

bool SpreadsheetExport::write(const QString &path, QString *error) const {
    const ExportTable table = m_markers.textExport.table();
    return write(path, table, info(table), error);
}

bool SpreadsheetExport::write(const QString &path, bool withKinematics, QString *error) const {
    const ExportTable table = m_markers.textExport.table(withKinematics);
    return write(path, table, info(table), error);
}

bool SpreadsheetExport::write(const QString &path, const ExportTable &table,
                              const SpreadsheetInfo &info, QString *error) {
    QString reason;
    const QString target = realTarget(path);
    const QString temporary = createTemporaryBeside(target, &reason);
    bool done = !temporary.isEmpty() && writeWorkbook(temporary, table, info, &reason);
    if (done) {
        // A replaced file keeps its permissions.
        if (QFileInfo::exists(target))
            QFile::setPermissions(temporary, QFileInfo(target).permissions());
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(temporary).toStdString(),
                                QFile::encodeName(target).toStdString(), ec);
        if (ec) {
            reason = QString::fromStdString(ec.message());
            done = false;
        }
    }
    if (!done) {
        if (!temporary.isEmpty())
            QFile::remove(temporary);
        if (error)
            *error = reason;
    }
    return done;
}

void SpreadsheetExport::exportWithDialog() {
    const common::AppState &s = m_markers.state;
    QWidget *parent = m_markers.host.dialogParent();
    platform::ui::FileDialogRequest request;
    request.title = common::res(s, 1030);
    request.filter = common::res(s, 1031);
    request.mustExist = false;
    const std::optional<QString> chosen = platform::ui::dialogs().saveFile(parent, request);
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = QFileInfo(withSuffix(*chosen)).absoluteFilePath();
    if (inUseOrProtected(path)) {
        platform::ui::dialogs().messageBox(parent, common::res(s, 1055), common::productTitle(s),
                                           platform::ui::Exclamation);
        return;
    }
    QString error;
    if (!write(path, &error)) {
        platform::ui::dialogs().messageBox(parent,
                                           common::res(s, 1056) + u'\n' + path + u'\n' + error,
                                           common::productTitle(s), platform::ui::Critical);
        return;
    }
    if (s.settings.LeaveExcelOpen && !(m_opener && m_opener(path)))
        platform::ui::dialogs().messageBox(parent,
                                           common::res(s, 1034) + u'\n' + common::res(s, 1035),
                                           common::productTitle(s), platform::ui::Information);
}

} // namespace markers
