// Project files on their own: a round trip keeps every value to the bit, damaged, truncated,
// foreign and newer files are refused, and a save killed half way leaves the old file whole.
#include "app/project/projectfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using project::Channel;
using project::ProjectData;
using project::ProjectFile;
using project::ReadError;

namespace {

// A project with every kind of value, the odd floats included.
ProjectData sample(int markers = 3, int frames = 50, int counter = 7) {
    ProjectData d;
    d.hasVideo = true;
    d.video.absolutePath = QStringLiteral("/data/jump/take 1.avi");
    d.video.relativePath = QStringLiteral("jump/take 1.avi");
    d.video.fileCount = 0;
    d.video.mode = 1;
    d.video.rotation = 256;
    d.video.mirror = 2048;
    d.video.openMode = 1 + 256 + 2048 + 131072;
    d.video.forcedRate = 299.7f;
    d.video.frameRate = 299.7f;
    d.video.frameCount = frames;
    d.video.width = 720;
    d.video.height = 576;
    d.video.frame = 12;
    d.video.zoom = 137;
    d.video.horizontalOffset = 40;
    d.video.verticalOffset = 9;
    for (int m = 1; m <= markers; ++m)
        d.rows.push_back(
            {m,
             (m == 2 ? QStringLiteral("M-Punkt ") : QStringLiteral("Punkt ")) + QString::number(m),
             m == 2, m == 2 ? 19 : 16, QString::number(m * 1.5), QStringLiteral("-"), QString()});
    d.selectedRow = markers - 1;
    d.markerCounter = counter;
    d.colorCounter = counter + 1;
    d.showAllPaths = false;
    const int components[] = {2, 1, 3, 3, 1};
    for (int set = 0; set < 5; ++set)
        for (int m = 1; m <= markers; ++m)
            for (int c = 0; c < components[set]; ++c) {
                Channel ch{set, m, c, 0, {}};
                for (int f = 0; f < frames; ++f)
                    ch.values.push_back(float(std::sin(f * 0.1 + m + c) * 1000.0 / (set + 1)));
                ch.values[0] = -1.0e9f;
                ch.values[1] = std::numeric_limits<float>::denorm_min();
                ch.values[2] = -0.0f;
                d.channels.push_back(std::move(ch));
            }
    d.calibration.x0 = 0.25;
    d.calibration.y0 = 0.5;
    d.calibration.x1 = 0.75;
    d.calibration.y1 = 0.5;
    d.calibration.parameter1 = 3;
    d.calibration.unit = 3;
    d.calibration.distance = -250.5;
    d.calibration.aspect = 1.356337f;
    d.calibration.widthRatio = 719.0 / 720.0;
    d.calibration.inForce = true;
    d.calibration.videoCalibrated = true;
    d.calibration.dialogDistance = -250.5f;
    d.calibration.dialogUnit = 3;
    d.calibration.dialogAspect = 1.356337f;
    return d;
}

bool sameBits(const std::vector<float> &a, const std::vector<float> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
}

class ProjectFileTest : public ::testing::Test {
protected:
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }
    QTemporaryDir m_dir;
};

TEST_F(ProjectFileTest, ARoundTripKeepsEveryValueToTheBit) {
    const ProjectData saved = sample();
    QString error;
    ASSERT_TRUE(ProjectFile::write(path("a.oxp"), saved, &error)) << error.toStdString();
    ReadError why = ReadError::Unreadable;
    const auto read = ProjectFile::read(path("a.oxp"), &why);
    ASSERT_TRUE(read);
    EXPECT_EQ(why, ReadError::None);
    const ProjectData &d = *read;
    EXPECT_EQ(d.video.absolutePath, saved.video.absolutePath);
    EXPECT_EQ(d.video.relativePath, saved.video.relativePath);
    EXPECT_EQ(d.video.openMode, saved.video.openMode);
    EXPECT_EQ(d.video.forcedRate, saved.video.forcedRate);
    EXPECT_EQ(d.video.zoom, 137);
    EXPECT_EQ(d.video.frame, 12);
    EXPECT_EQ(d.video.horizontalOffset, 40);
    ASSERT_EQ(d.rows.size(), saved.rows.size());
    for (std::size_t i = 0; i < d.rows.size(); ++i) {
        EXPECT_EQ(d.rows[i].number, saved.rows[i].number);
        EXPECT_EQ(d.rows[i].name, saved.rows[i].name);
        EXPECT_EQ(d.rows[i].manual, saved.rows[i].manual);
        EXPECT_EQ(d.rows[i].icon, saved.rows[i].icon);
        EXPECT_EQ(d.rows[i].x, saved.rows[i].x);
        EXPECT_EQ(d.rows[i].y, saved.rows[i].y);
        EXPECT_EQ(d.rows[i].rotation, saved.rows[i].rotation);
    }
    EXPECT_EQ(d.selectedRow, 2);
    EXPECT_EQ(d.markerCounter, 7);
    EXPECT_EQ(d.colorCounter, 8);
    EXPECT_FALSE(d.showAllPaths);
    ASSERT_EQ(d.channels.size(), saved.channels.size());
    for (std::size_t i = 0; i < d.channels.size(); ++i) {
        EXPECT_EQ(d.channels[i].set, saved.channels[i].set);
        EXPECT_EQ(d.channels[i].marker, saved.channels[i].marker);
        EXPECT_EQ(d.channels[i].component, saved.channels[i].component);
        EXPECT_TRUE(sameBits(d.channels[i].values, saved.channels[i].values)) << i;
    }
    EXPECT_EQ(d.calibration.distance, -250.5);
    EXPECT_EQ(d.calibration.aspect, 1.356337f);
    EXPECT_EQ(d.calibration.widthRatio, 719.0 / 720.0);
    EXPECT_TRUE(d.calibration.inForce);
    EXPECT_EQ(d.calibration.dialogUnit, 3);
}

TEST_F(ProjectFileTest, DamagedTruncatedForeignAndNewerFilesAreRefused) {
    ASSERT_TRUE(ProjectFile::write(path("good.oxp"), sample(), nullptr));
    QFile good(path("good.oxp"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    good.close();
    const auto writeFile = [&](const char *name, const QByteArray &content) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path(name);
    };
    const auto refused = [](const QString &file) {
        ReadError why = ReadError::None;
        QString detail;
        const bool read = ProjectFile::read(file, &why, &detail).has_value();
        return read ? ReadError::None : why;
    };
    EXPECT_EQ(refused(path("missing.oxp")), ReadError::Unreadable);
    EXPECT_EQ(refused(writeFile("text.oxp", "[SeqInfo]\nActSeq=0\n")), ReadError::NotAProject);
    EXPECT_EQ(refused(writeFile("empty.oxp", "")), ReadError::NotAProject);
    EXPECT_EQ(refused(writeFile("half.oxp", bytes.left(bytes.size() / 2))), ReadError::NotAProject);
    QByteArray flipped = bytes;
    for (qsizetype i = 4096; i < flipped.size(); i += 1024)
        flipped[i] = char(flipped[i] ^ 0x5A);
    EXPECT_EQ(refused(writeFile("flipped.oxp", flipped)), ReadError::NotAProject);

    // A database given by one statement: run on a copy of the good project, or on a new file.
    const auto edited = [&](const char *name, const char *sql, bool fromGood) {
        if (fromGood)
            QFile::copy(path("good.oxp"), path(name));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path(name));
            EXPECT_TRUE(db.open());
            EXPECT_TRUE(QSqlQuery(db).exec(QString::fromLatin1(sql))) << sql;
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return path(name);
    };
    // Another program's database, and a project of a newer format.
    EXPECT_EQ(refused(edited("foreign.oxp", "CREATE TABLE info (key TEXT, value)", false)),
              ReadError::NotAProject);
    EXPECT_EQ(refused(edited("newer.oxp", "PRAGMA user_version = 99", true)),
              ReadError::NewerVersion);
    // Values a project cannot hold: a channel longer than its data, and a whole channel whose
    // frames run past the last frame number the data library has.
    EXPECT_EQ(
        refused(edited("bad.oxp", "UPDATE channels SET frame_count = 3 WHERE position = 0", true)),
        ReadError::NotAProject);
    EXPECT_EQ(refused(edited("late.oxp",
                             "UPDATE channels SET first_frame = 32767 - frame_count + 2 "
                             "WHERE position = 0",
                             true)),
              ReadError::NotAProject);
}

TEST_F(ProjectFileTest, AFailedSaveLeavesTheOldFileAsItWas) {
    ASSERT_TRUE(ProjectFile::write(path("keep.oxp"), sample(2, 10, 1), nullptr));
    QString error;
    EXPECT_FALSE(ProjectFile::write(m_dir.filePath("no/such/folder/x.oxp"), sample(), &error));
    EXPECT_FALSE(error.isEmpty());
    // A folder where the file should go cannot be replaced either.
    QDir().mkpath(path("taken.oxp"));
    EXPECT_FALSE(ProjectFile::write(path("taken.oxp"), sample(), &error));
    EXPECT_TRUE(QFileInfo(path("taken.oxp")).isDir());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left behind";
    const auto read = ProjectFile::read(path("keep.oxp"), nullptr);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->markerCounter, 1);
}

// Killing the program while it saves, at whatever moment, leaves a project that opens and is
// either the old one or the new one, whole.
TEST_F(ProjectFileTest, KillingASaveLeavesAWholeProject) {
    const QString target = path("killed.oxp");
    ASSERT_TRUE(ProjectFile::write(target, sample(2, 10, 1), nullptr));
    for (int delay : {5, 40, 120, 300}) {
        QProcess saver;
        saver.start(QStringLiteral(ORVANE_PROJECT_SAVER), {target});
        ASSERT_TRUE(saver.waitForStarted());
        ASSERT_TRUE(saver.waitForReadyRead(60000)) << "the saver never saved";
        QThread::msleep(static_cast<unsigned long>(delay));
        saver.kill();
        saver.waitForFinished();
        ReadError why = ReadError::None;
        const auto read = ProjectFile::read(target, &why);
        ASSERT_TRUE(read) << "after a kill at " << delay << " ms: " << int(why);
        EXPECT_TRUE(read->markerCounter == 1 || read->markerCounter == 2 ||
                    read->markerCounter == 3)
            << read->markerCounter;
    }
}

} // namespace
