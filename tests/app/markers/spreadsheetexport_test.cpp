// The spreadsheet export, read back from the written workbook: the Data sheet cell by cell
// against the text export's table, the Info sheet, the refusals (an open or write-protected
// file), failures that leave the old file whole, and opening the file afterwards.
#include "markersfixture.h"

#include "app/common/settings.h"
#include "app/markers/spreadsheetexport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cmath>
#include <limits>
#include <map>

using markers::Channel;
using markers::ExportTable;
using markers::SpreadsheetExport;

namespace {

// A cell as read back: a number, or a text.
struct Cell {
    bool number = false;
    double value = 0.0;
    QString text;
    int style = 0;
};
// Cells by (row, column), both from 0.
using Sheet = std::map<std::pair<int, int>, Cell>;

struct Workbook {
    QStringList sheetNames;
    Sheet data, info;
    QStringList formats; // the number format of every cell style, by index
};

// unzip's output: "-p file part" prints a part, "-Z1 file" the part names.
QByteArray unzip(const QStringList &arguments) {
    QProcess p;
    p.start(QStringLiteral("unzip"), arguments);
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0)
        << arguments.join(u' ').toStdString() << ": " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

// Reads the XML of `part`, calling `visit` at every start element.
void readXml(const QString &file, const QString &part,
             const std::function<void(QXmlStreamReader &)> &visit) {
    QXmlStreamReader r(unzip({"-p", file, part}));
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement)
            visit(r);
    EXPECT_FALSE(r.hasError()) << part.toStdString() << ": " << r.errorString().toStdString();
}

Sheet readSheet(const QString &file, const QString &part, const QStringList &shared) {
    Sheet out;
    Cell *cell = nullptr;
    QString type;
    readXml(file, part, [&](QXmlStreamReader &r) {
        const auto a = r.attributes();
        if (r.name() == u"c") {
            // "AB12": the letters are the column in base 26, the digits the row from 1.
            const QString ref = a.value("r").toString();
            int col = 0, i = 0;
            for (; i < ref.size() && ref[i].isLetter(); ++i)
                col = col * 26 + (ref[i].unicode() - 'A' + 1);
            cell = &out[{ref.mid(i).toInt() - 1, col - 1}];
            type = a.value("t").toString();
            cell->style = a.value("s").toInt();
        } else if (cell && r.name() == u"v") {
            const QString v = r.readElementText();
            if (type == "s")
                cell->text = shared.value(v.toInt());
            else if (type == "str")
                cell->text = v;
            else {
                cell->number = true;
                cell->value = v.toDouble();
            }
        } else if (cell && r.name() == u"t") { // an inline string
            cell->text += r.readElementText();
        }
    });
    return out;
}

Workbook readWorkbook(const QString &file) {
    Workbook book;
    QStringList shared;
    // Texts are stored in their cells or, when the writer shares them, in one table.
    if (unzip({"-Z1", file}).split('\n').contains("xl/sharedStrings.xml"))
        readXml(file, "xl/sharedStrings.xml", [&](QXmlStreamReader &r) {
            if (r.name() == u"si")
                shared << QString();
            else if (r.name() == u"t")
                shared.last() += r.readElementText();
        });
    readXml(file, "xl/workbook.xml", [&](QXmlStreamReader &r) {
        if (r.name() == u"sheet")
            book.sheetNames << r.attributes().value("name").toString();
    });
    std::map<int, QString> codes{{0, "General"}, {1, "0"}, {2, "0.00"}};
    bool inCellXfs = false;
    readXml(file, "xl/styles.xml", [&](QXmlStreamReader &r) {
        const auto a = r.attributes();
        if (r.name() == u"numFmt")
            codes[a.value("numFmtId").toInt()] = a.value("formatCode").toString();
        else if (r.name() == u"cellStyleXfs" || r.name() == u"cellXfs")
            inCellXfs = r.name() == u"cellXfs";
        else if (r.name() == u"xf" && inCellXfs)
            book.formats << codes[a.value("numFmtId").toInt()];
    });
    book.data = readSheet(file, "xl/worksheets/sheet1.xml", shared);
    book.info = readSheet(file, "xl/worksheets/sheet2.xml", shared);
    return book;
}

// The Info sheet as label -> value cell.
std::map<QString, Cell> infoOf(const Workbook &book) {
    std::map<QString, Cell> out;
    for (const auto &[at, cell] : book.info)
        if (at.second == 0 && book.info.count({at.first, 1}))
            out[cell.text] = book.info.at({at.first, 1});
    return out;
}

// The Data sheet holds exactly the table: the header as texts, every value as a number with
// its column's decimals as format, nothing where the table has no value.
void expectDataEqualsTable(const Workbook &book, const ExportTable &t) {
    ASSERT_EQ(book.sheetNames, QStringList({"Data", "Info"}));
    for (int c = 0; c < t.header.size(); ++c)
        EXPECT_EQ(book.data.count({0, c}) ? book.data.at({0, c}).text : "<none>", t.header[c]);
    std::size_t cells = t.header.size();
    for (std::size_t r = 0; r < t.rows.size(); ++r)
        for (std::size_t c = 0; c < t.rows[r].size(); ++c) {
            const auto at = std::make_pair(int(r) + 1, int(c));
            const std::optional<double> v = t.rows[r][c];
            if (!v) {
                EXPECT_FALSE(book.data.count(at)) << "row " << r << " column " << c;
                continue;
            }
            ++cells;
            ASSERT_TRUE(book.data.count(at)) << "row " << r << " column " << c;
            const Cell &cell = book.data.at(at);
            EXPECT_TRUE(cell.number) << "row " << r << " column " << c;
            EXPECT_NEAR(cell.value, *v, 1e-12 * std::max(1.0, std::abs(*v)));
            const int d = t.decimals[c];
            EXPECT_EQ(book.formats.value(cell.style), d ? "0." + QString(d, u'0') : "0");
        }
    EXPECT_EQ(book.data.size(), cells) << "no cells beyond the table";
}

class SpreadsheetExportTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(4);
        state.VideoFile = "/videos/pendulum.avi";
        state.VideoFrameRate = 29.97f;
        exporter = std::make_unique<SpreadsheetExport>(*controller);
        exporter->setOpener([this](const QString &path) {
            opened << path;
            return openerAnswers;
        });
        create(100, 60);
        const auto a = channels(1);
        a.put(Channel::PointStatus, 2, 1.0f);
        a.put(Channel::PosX, 2, float(123.4567 / 320));
        a.put(Channel::PosY, 2, float(45.5 / 240));
        a.put(Channel::Angle, 2, -12.3456f);
        path = out.filePath("table.xlsx");
    }
    void exportTo(const std::optional<QString> &chosen) {
        dialogs.saveFiles = {chosen};
        exporter->exportWithDialog();
    }
    QStringList outFiles() const {
        return QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static void put(const QString &file, const QByteArray &bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    static QByteArray read(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir out;
    QString path;
    std::unique_ptr<SpreadsheetExport> exporter;
    QStringList opened;
    bool openerAnswers = true;
};

TEST_F(SpreadsheetExportTest, TheDataSheetIsTheTextExportsTableAndInfoDescribesTheVideo) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    exportTo(path);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "Please choose destination");
    EXPECT_EQ(dialogs.saveRequests[0].filter, "Excel (*.xlsx)|*.xlsx|All files (*.*)|*.*");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(outFiles(), QStringList({"table.xlsx"})) << "no temporary file is left";

    const Workbook book = readWorkbook(path);
    expectDataEqualsTable(book, controller->textExport.table());
    EXPECT_NEAR(book.data.at({3, 2}).value, 123.4567, 1e-4) << "the tracked sub-pixel value";
    EXPECT_NE(book.data.at({3, 2}).value, 123.4567) << "the full double, not the shown text";

    auto info = infoOf(book);
    EXPECT_EQ(info["Video file"].text, "/videos/pendulum.avi");
    EXPECT_EQ(info["Frames"].value, 4);
    EXPECT_EQ(info["Frame rate (1/s)"].value, 29.97) << "as given, not as single precision";
    EXPECT_EQ(info["Video width (px)"].value, 320);
    EXPECT_EQ(info["Video height (px)"].value, 240);
    EXPECT_EQ(info["Calibrated"].text, "No");
    EXPECT_FALSE(info.count("Unit"));
    const QString at = info["Exported"].text;
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)$)")
                    .match(at)
                    .hasMatch())
        << at.toStdString();
    const QDateTime exported = QDateTime::fromString(at, Qt::ISODate);
    EXPECT_TRUE(exported >= before && exported <= after) << at.toStdString();
}

TEST_F(SpreadsheetExportTest, ACalibrationInForceAddsItsColumnsAndValues) {
    state.IniFile = out.filePath("Orvane.INI");
    calibrateFiftyCentimetres();
    ASSERT_TRUE(controller->table.calibrated());
    dialogs.messages.clear();
    exportTo(path);
    EXPECT_TRUE(dialogs.messages.empty());
    const Workbook book = readWorkbook(path);
    const ExportTable table = controller->textExport.table();
    ASSERT_TRUE(table.header.contains("Point 1 X (mm)"));
    expectDataEqualsTable(book, table);
    auto info = infoOf(book);
    EXPECT_EQ(info["Calibrated"].text, "Yes");
    EXPECT_EQ(info["Unit"].text, "mm");
    EXPECT_EQ(info["Calibration distance (mm)"].value, 50.0);
    EXPECT_NEAR(info["Aspect factor"].value, 4.0 / 3.0, 1e-6);
    EXPECT_EQ(info["Frame rate (1/s)"].value, 25.0);
}

TEST_F(SpreadsheetExportTest, TheKinematicsSettingAddsTheTablesVelocityColumns) {
    state.IniFile = out.filePath("Orvane.INI");
    ASSERT_TRUE(common::writeExportKinematicsSetting(state.IniFile, true));
    const auto a = channels(1);
    for (int f = 0; f < 4; ++f) {
        a.put(Channel::PointStatus, f, 1.0f);
        a.put(Channel::PosX, f, float((100.0 + 2.0 * f) / 320));
        a.put(Channel::PosY, f, float(60.0 / 240));
    }
    exportTo(path);
    EXPECT_TRUE(dialogs.messages.empty());
    const ExportTable table = controller->textExport.table();
    ASSERT_TRUE(table.header.contains("Point 1 Vx (px/s)"));
    ASSERT_TRUE(table.rows[1][std::size_t(table.header.indexOf("Point 1 Vx (px/s)"))]);
    expectDataEqualsTable(readWorkbook(path), table);
}

TEST_F(SpreadsheetExportTest, AnOpenFileIsRefusedAndKeptUntilItIsClosed) {
    put(path, "old");
    put(out.filePath(".~lock.table.xlsx#"), "locked by a spreadsheet program");
    exportTo(path);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Please close the open Excel file before exporting the data!");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Exclamation);
    EXPECT_EQ(read(path), "old");
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(outFiles().size(), 2);

    // Closed: the old file is replaced whole.
    QFile::remove(out.filePath(".~lock.table.xlsx#"));
    exportTo(path);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    expectDataEqualsTable(readWorkbook(path), controller->textExport.table());
    EXPECT_EQ(outFiles(), QStringList({"table.xlsx"}));
}

TEST_F(SpreadsheetExportTest, AFailedWriteIsToldAndLeavesEverythingAsItWas) {
    state.settings.LeaveExcelOpen = true;
    exportTo(out.filePath("no/such/folder/table.xlsx"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The file could not be written:\n" +
                                                    out.filePath("no/such/folder/table.xlsx")));
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Critical);
    EXPECT_TRUE(opened.isEmpty()) << "nothing written, nothing opened";

    // A folder in the file's place: the workbook is made, cannot replace it, and goes.
    ASSERT_TRUE(QDir().mkpath(out.filePath("taken.xlsx/inside")));
    exportTo(out.filePath("taken.xlsx"));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].style, platform::ui::Critical);
    EXPECT_TRUE(QDir(out.filePath("taken.xlsx/inside")).exists());
    EXPECT_EQ(outFiles(), QStringList({"taken.xlsx"}));

    // More columns than a sheet holds: the old file stays.
    put(path, "old");
    ExportTable wide;
    for (int c = 0; c < 16385; ++c)
        wide.header << QString::number(c);
    QString error;
    EXPECT_FALSE(SpreadsheetExport::write(path, wide, {}, &error));
    EXPECT_TRUE(error.contains("16384")) << error.toStdString();
    EXPECT_EQ(read(path), "old");
    EXPECT_EQ(outFiles(), QStringList({"table.xlsx", "taken.xlsx"}));
}

TEST_F(SpreadsheetExportTest, AWriteProtectedFileOrFolderIsRefusedLikeAnOpenOne) {
    put(path, "old");
    const auto rw = QFile::ReadOwner | QFile::WriteOwner;
    const auto folderRights = QFile::permissions(out.path());
    QFile::setPermissions(path, QFile::ReadOwner);
    if (QFileInfo(path).isWritable()) {
        QFile::setPermissions(path, rw);
        GTEST_SKIP() << "this user may write any file";
    }
    exportTo(path);
    QFile::setPermissions(path, rw);
    // The file may be written, but not replaced in its folder.
    QFile::setPermissions(out.path(), QFile::ReadOwner | QFile::ExeOwner);
    exportTo(path);
    QFile::setPermissions(out.path(), folderRights);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const auto &message : dialogs.messages) {
        EXPECT_EQ(message.text, "Please close the open Excel file before exporting the data!");
        EXPECT_EQ(message.style, platform::ui::Exclamation);
    }
    EXPECT_EQ(read(path), "old");
    EXPECT_EQ(outFiles(), QStringList({"table.xlsx"}));
}

TEST_F(SpreadsheetExportTest, AReplacedFileKeepsItsPermissionsAndALinkStays) {
    put(path, "old");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const auto rights = QFile::permissions(path);
    ASSERT_TRUE(QFile::link(path, out.filePath("link.xlsx")));
    exportTo(out.filePath("link.xlsx"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(QFileInfo(out.filePath("link.xlsx")).isSymLink());
    EXPECT_EQ(QFile::permissions(path), rights);
    expectDataEqualsTable(readWorkbook(path), controller->textExport.table());
    EXPECT_EQ(outFiles(), QStringList({"link.xlsx", "table.xlsx"}));
}

TEST_F(SpreadsheetExportTest, ValuesACellCannotHoldAreLeftEmpty) {
    ExportTable t;
    t.header = QStringList({"A", "B"});
    t.decimals = {0, 2};
    t.rows = {{1.0, std::numeric_limits<double>::quiet_NaN()},
              {std::numeric_limits<double>::infinity(), std::nullopt}};
    QString error;
    ASSERT_TRUE(SpreadsheetExport::write(path, t, {}, &error)) << error.toStdString();
    const Workbook book = readWorkbook(path);
    t.rows = {{1.0, std::nullopt}, {std::nullopt, std::nullopt}};
    expectDataEqualsTable(book, t);
}

TEST_F(SpreadsheetExportTest, TheWrittenFileIsOpenedWhenTheSettingsSaySo) {
    // Without a suffix the name gets ".xlsx".
    state.settings.LeaveExcelOpen = true;
    exportTo(out.filePath("table"));
    EXPECT_EQ(opened, QStringList({path}));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(outFiles(), QStringList({"table.xlsx"}));

    openerAnswers = false;
    exportTo(path);
    EXPECT_EQ(opened.size(), 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "The export as an Excel table needs a spreadsheet application.\n"
              "Please use the export as a text file instead.");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Information);

    state.settings.LeaveExcelOpen = false;
    exportTo(path);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(dialogs.messages.size(), 1u);

    // Cancelled: nothing is written, opened or said.
    QFile::remove(path);
    state.settings.LeaveExcelOpen = true;
    exportTo(std::nullopt);
    EXPECT_EQ(dialogs.saveRequests.size(), 4u);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(outFiles().isEmpty());
}

} // namespace
