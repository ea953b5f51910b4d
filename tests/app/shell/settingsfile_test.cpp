// Where the settings file lives: in the program's folder when that can keep it, else in the
// user's configuration folder; and settings files that other programs wrote.
#include "app/shell/startup.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kUserFolder = QStringLiteral("/home/u/.config/Orvane");
const std::string kFallback = "/home/u/.config/Orvane/Orvane.INI";

// As text gtest prints readably.
std::string settingsFileFor(const QString &programDir, const QString &userConfigDir) {
    return shell::settingsFileFor(programDir, userConfigDir).toStdString();
}

TEST(SettingsFile, AWritableFileOrALinkToOneStaysInTheProgramFolder) {
    testsupport::TempDir tmp;
    tmp.write("Orvane.INI", "[Orvane]\n");
    EXPECT_EQ(settingsFileFor(tmp.dir(), kUserFolder), (tmp.dir() + "Orvane.INI").toStdString());

    testsupport::TempDir linked;
    const QString target = tmp.filePath("Orvane.INI");
    ASSERT_TRUE(QFile::link(target, linked.filePath("Orvane.INI")));
    EXPECT_EQ(settingsFileFor(linked.dir(), kUserFolder),
              (linked.dir() + "Orvane.INI").toStdString());
}

// Neither a folder nor a FIFO of the settings file's name can keep settings: writes to them
// fail, so the settings go to the user's folder as for a read-only program folder.
TEST(SettingsFile, AFolderOrFifoOfTheNameMovesTheSettingsToTheUserFolder) {
    testsupport::TempDir folder;
    ASSERT_TRUE(QDir(folder.dir()).mkdir("Orvane.INI"));
    EXPECT_EQ(settingsFileFor(folder.dir(), kUserFolder), kFallback);

    testsupport::TempDir fifo;
    ASSERT_EQ(::mkfifo(fifo.filePath("Orvane.INI").toLocal8Bit().constData(), 0666), 0);
    EXPECT_EQ(settingsFileFor(fifo.dir(), kUserFolder), kFallback);
    // Without a user folder there is nowhere else to go.
    EXPECT_EQ(settingsFileFor(folder.dir(), QString()),
              (folder.dir() + "Orvane.INI").toStdString());
}

// A sequence information file written with a byte-order mark opens its sequence.
TEST(StartupSequenceFile, AByteOrderMarkDoesNotHideTheFirstSection) {
    testsupport::TempDir tmp;
    const QString file = tmp.write("seq.ini", "\xEF\xBB\xBF[SeqInfo]\r\nActSeq=1\r\n[Seq_1]\r\n"
                                              "NumFiles=300\r\nRecordFPS=100\r\n"
                                              "StartFile=/data/run/img_0001.bmp\r\n");
    const auto request = shell::readSequenceInfo(file);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->NumFiles, 300);
    EXPECT_EQ(request->RecordFPS, 100.0f);
    EXPECT_EQ(request->StartFile.toStdString(), "/data/run/img_0001.bmp");
}

// A start file named without a folder lies beside the information file (an installed demo).
TEST(StartupSequenceFile, ARelativeStartFileLiesBesideTheInformationFile) {
    testsupport::TempDir tmp;
    const QString file = tmp.write("seq.ini", "[SeqInfo]\nActSeq=0\n[Seq_0]\nNumFiles=3\n"
                                              "StartFile=demo0000.jpg\n");
    const auto request = shell::readSequenceInfo(file);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->StartFile, tmp.dir() + "demo0000.jpg");
    // A Windows name is left as it is.
    tmp.write("win.ini", "[SeqInfo]\nActSeq=0\n[Seq_0]\nStartFile=C:\\run\\a.bmp\n");
    EXPECT_EQ(shell::readSequenceInfo(tmp.dir() + "win.ini")->StartFile,
              QStringLiteral("C:\\run\\a.bmp"));
}

} // namespace
