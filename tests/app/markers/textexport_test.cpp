// The text export: its columns, formats, empty cells, separators, and writing that never
// leaves a file half-written.
#include "markersfixture.h"

#include "app/markers/textexport.h"

#include <QDir>
#include <QFile>

using markers::Channel;
using markers::TextExport;

namespace {

class ExportTest : public MarkersFixture {
protected:
    void SetUp() override {
        MarkersFixture::SetUp();
        openBlank(4);
        state.VideoFrameRate = 25.0f;
    }
    QStringList lines(const QString &separator = QStringLiteral(".")) {
        QStringList out = controller->textExport.text(separator).split(u'\n');
        EXPECT_EQ(out.back(), QString()) << "the text ends with a line break";
        out.removeLast();
        return out;
    }
    static QByteArray read(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

TEST_F(ExportTest, HeaderAndOneLinePerFrameWithSubPixelValues) {
    create(100, 60);
    state.settings.TrackingMode = common::kTrackingMarkerTracking;
    create(200, 120, 5);
    host.rows[1].text = "M-Point 2";
    const auto a = channels(1);
    a.put(Channel::PointStatus, 2, 1.0f);
    a.put(Channel::PosX, 2, float(123.4567 / 320));
    a.put(Channel::PosY, 2, float(45.5 / 240));
    a.put(Channel::Angle, 2, -12.3456f);
    const QStringList out = lines();
    ASSERT_EQ(out.size(), 5);
    EXPECT_EQ(out[0], "Frame\tTime (s)\tPoint 1 X (px)\tPoint 1 Y (px)\tPoint 1 Rotation\t"
                      "M-Point 2 X (px)\tM-Point 2 Y (px)\tM-Point 2 Rotation");
    EXPECT_EQ(out[1], "0\t0.000000\t100.0000\t60.0000\t0.000\t200.2500\t119.7500\t0.000");
    // No point: empty cells, the line keeps its columns.
    EXPECT_EQ(out[2], "1\t0.040000\t\t\t\t\t\t");
    EXPECT_EQ(out[3], "2\t0.080000\t123.4567\t45.5000\t-12.346\t\t\t");
    EXPECT_EQ(out[4].count(u'\t'), 7);
}

TEST_F(ExportTest, TheInterfaceLanguageChoosesTheSeparatorAndNoRateLeavesTimesEmpty) {
    create(100.5, 60);
    EXPECT_EQ(TextExport::separatorOf(1031), ",");
    EXPECT_EQ(TextExport::separatorOf(1046), ",");
    EXPECT_EQ(TextExport::separatorOf(1033), ".");
    state.VideoFrameRate = 0.0f;
    const QStringList out = lines(QStringLiteral(","));
    EXPECT_EQ(out[1], "0\t\t100,0000\t60,0000\t0,000");
}

TEST_F(ExportTest, WritesThroughTheDialogAndReplacesAnOldFileWhole) {
    create(100, 60);
    const QString path = m_dir.filePath("out.txt");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    dialogs.saveFiles = {path};
    state.UiLcid = 1031;
    controller->textExport.exportWithDialog();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "Please choose destination");
    EXPECT_EQ(dialogs.saveRequests[0].filter, "Text file (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(read(path), controller->textExport.text(QStringLiteral(",")).toUtf8());
    // Nothing is left beside it.
    EXPECT_EQ(QDir(m_dir.path()).entryList({"out.txt*"}, QDir::Files), QStringList({"out.txt"}));
    // Cancelled: nothing happens.
    controller->textExport.exportWithDialog();
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExportTest, AFailedWriteIsToldAndChangesNothing) {
    create(100, 60);
    dialogs.saveFiles = {m_dir.filePath("no/such/folder/out.txt")};
    controller->textExport.exportWithDialog();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The file could not be written:\n"));
    EXPECT_TRUE(dialogs.messages[0].text.contains("no/such/folder/out.txt"));
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::Critical);

    // A folder in the file's place stays as it was.
    const QString folder = m_dir.filePath("taken");
    ASSERT_TRUE(QDir().mkpath(folder + "/inside"));
    QString error;
    EXPECT_FALSE(TextExport::writeAtomically(folder, "data", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QDir(folder + "/inside").exists());
}

} // namespace
