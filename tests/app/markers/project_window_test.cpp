// Projects in the main window with the real engines: saved, closed and opened again as it
// was, with tracking going on; moved with the video; a missing video; damaged files that
// change nothing; and the recovery of unsaved work after a crash.
#include "windowfixture.h"

#include "app/markers/markercontroller.h"
#include "app/project/projectfile.h"
#include "app/shell/projectcommands.h"

#include <QAction>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

#include <cstring>

namespace {

using markers::Channel;

class ProjectWindowTest : public WindowMarkersTest {
protected:
    // A new start of the program: fresh shared state with the same settings file.
    std::unique_ptr<shell::frmMain> restart() {
        const QString ini = common::appState().IniFile;
        common::resetAppState();
        common::AppState &s = common::appState();
        s.TextBase = 4000;
        s.UiLcid = 1033;
        s.IniFile = ini;
        s.Calibration = makeCalibration();
        auto w = std::make_unique<shell::frmMain>([] { return platform::LONG(900); });
        w->show();
        return w;
    }
    // The table's texts, row by row.
    static QStringList tableTexts(shell::frmMain &w) {
        QStringList out;
        for (int r = 0; r < w.lvwPoints->topLevelItemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 4; ++c)
                cells << w.lvwPoints->topLevelItem(r)->text(c);
            out << cells.join(u'|');
        }
        return out;
    }
    // A calibrated project with a pattern-matching, a marker-tracking and a hand-tracked
    // marker, tracked up to frame 20.
    std::unique_ptr<shell::frmMain> workedProject(AnsweringDialogs &dialogs) {
        auto w = openWindow({[](int f) { return std::optional(discA(f)); },
                             [](int f) { return std::optional(discB(f)); },
                             [](int) {
                                 return std::optional(QPointF(160, 40));
                             }});
        markers::MarkerController &work = w->markerWork();
        work.calibrator.setDecimalSeparator(QStringLiteral("."));
        markers::CalibrationForm form;
        form.distance = QStringLiteral("40");
        form.aspect = QStringLiteral("4:3");
        form.frequency = QStringLiteral("100");
        form.unitIndex = 1;
        EXPECT_EQ(work.calibrator.accept(form), markers::Calibrator::Outcome::Accepted);
        work.calibrator.SetCalibrationPoint(60, 200);
        work.calibrator.SetCalibrationPoint(260, 200);
        EXPECT_TRUE(common::appState().VideoCalibrated);
        common::appState().settings.TrackingMode = common::kTrackingPatternMatching;
        createAt(*w, discA(0), 12);
        common::appState().settings.TrackingMode = common::kTrackingMarkerTracking;
        createAt(*w, discB(0), 10);
        common::appState().settings.TrackingMode = common::kTrackingPatternMatching;
        createAt(*w, QPointF(160, 40), 10);
        EXPECT_EQ(w->lvwPoints->topLevelItemCount(), 3);
        w->lvwPoints->clearSelection();
        w->lvwPoints->topLevelItem(2)->setSelected(true);
        work.commands.TrackManually();
        for (int f = 1; f <= 20; ++f)
            w->hscScroll->setValue(f);
        dialogs.messages.clear(); // the calibration's success
        return w;
    }
};

TEST_F(ProjectWindowTest, SavedClosedAndOpenedAgainAsItWasAndTrackingGoesOn) {
    AnsweringDialogs dialogs;
    auto w = workedProject(dialogs);
    w->ZoomChange(170);
    const QString file = m_dir.filePath("jump.oxp");
    dialogs.saveFiles = {file};
    EXPECT_EQ(w->saveProjectAs(), shell::SaveOutcome::Saved);
    EXPECT_FALSE(w->projects().modified());
    const project::ProjectData before = w->projects().capture();
    const QStringList cells = tableTexts(*w);
    const int zoom = w->qvxVideo->Zoom();
    w.reset();

    auto v = restart();
    dialogs.files = {file};
    v->mnuFileOpen->trigger();
    ASSERT_FALSE(common::appState().NoVideo);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(v->projects().modified());
    // The table and the view are as they were.
    EXPECT_EQ(tableTexts(*v), cells);
    EXPECT_EQ(v->hscScroll->value(), 20);
    EXPECT_EQ(v->qvxVideo->Zoom(), zoom);
    EXPECT_TRUE(common::appState().VideoCalibrated);
    // Every channel value is the same to the bit.
    const project::ProjectData after = v->projects().capture();
    ASSERT_EQ(after.channels.size(), before.channels.size());
    for (std::size_t i = 0; i < after.channels.size(); ++i) {
        const auto &a = after.channels[i].values, &b = before.channels[i].values;
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * 4), 0) << i;
    }
    EXPECT_EQ(after.markerCounter, before.markerCounter);
    EXPECT_EQ(after.colorCounter, before.colorCounter);
    EXPECT_EQ(after.calibration.x1, before.calibration.x1);
    // The paths are there: one mark per frame with a point.
    int marks = 0;
    platform::LONG count = 0;
    v->objects().graphicItems->GetCount(&count);
    for (platform::LONG i = 1; i <= count; ++i) {
        datalib::TalvorGraphicItem *raw = nullptr;
        v->objects().graphicItems->GetItem(i, &raw);
        platform::LONG id = 0;
        platform::ComPtr<datalib::TalvorGraphicItem>::attach(raw)->GetID(&id);
        marks += id == 1 + markers::kPathOffset;
    }
    EXPECT_EQ(marks, 21);

    // Tracking goes on from frame 20 for both automatic markers; the hand-tracked one waits.
    for (int f = 21; f < kFrames; ++f)
        v->hscScroll->setValue(f);
    const auto a = v->markerWork().store.bind(1), b = v->markerWork().store.bind(2);
    const auto c = v->markerWork().store.bind(3);
    for (int f = 21; f < kFrames; ++f) {
        ASSERT_EQ(a.get(Channel::PointStatus, f), 1.0f) << f;
        ASSERT_EQ(b.get(Channel::PointStatus, f), 1.0f) << f;
        EXPECT_NEAR(a.get(Channel::PosX, f) * kSize.width(), discA(f).x(), 1.0) << f;
        EXPECT_NEAR(b.get(Channel::PosX, f) * kSize.width(), discB(f).x(), 0.25) << f;
        EXPECT_EQ(c.get(Channel::PointStatus, f), 0.0f) << f;
    }
    EXPECT_TRUE(v->projects().modified());
}

TEST_F(ProjectWindowTest, AProjectMovedWithItsVideoFindsItAgain) {
    AnsweringDialogs dialogs;
    auto w = workedProject(dialogs);
    const QString file = m_dir.filePath("jump.oxp");
    ASSERT_TRUE(w->projects().save(file));
    w.reset();
    // The whole folder moves.
    QTemporaryDir other;
    const QString moved = other.filePath("moved");
    ASSERT_TRUE(QDir().rename(m_dir.path(), moved));
    auto v = restart();
    EXPECT_TRUE(v->projects().open(moved + "/jump.oxp"));
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_FALSE(common::appState().NoVideo);
    EXPECT_TRUE(common::appState().VideoFile.startsWith(moved))
        << common::appState().VideoFile.toStdString();
    EXPECT_EQ(v->lvwPoints->topLevelItemCount(), 3);
    QDir().rename(moved, m_dir.path()); // for the folder's own removal
}

TEST_F(ProjectWindowTest, AMissingVideoIsToldAndTheMarkersStay) {
    AnsweringDialogs dialogs;
    auto w = workedProject(dialogs);
    const QString file = m_dir.filePath("jump.oxp");
    ASSERT_TRUE(w->projects().save(file));
    w.reset();
    ASSERT_TRUE(QDir(m_dir.filePath("seq")).removeRecursively());
    auto v = restart();
    EXPECT_TRUE(v->projects().open(file));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(
        dialogs.messages[0].text.startsWith("The associated video file could not be found!"));
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("The markers are shown without the video."));
    EXPECT_TRUE(common::appState().NoVideo);
    EXPECT_EQ(v->lvwPoints->topLevelItemCount(), 3);
    EXPECT_EQ(v->lvwPoints->topLevelItem(0)->text(0), "Point 1");
    EXPECT_FALSE(v->lvwPoints->topLevelItem(0)->text(1).isEmpty());
}

TEST_F(ProjectWindowTest, OpeningOverUnsavedWorkAsksFirst) {
    AnsweringDialogs dialogs;
    auto w = workedProject(dialogs);
    const QString file = m_dir.filePath("other.oxp");
    dialogs.saveFiles = {file};
    ASSERT_EQ(w->saveProjectAs(), shell::SaveOutcome::Saved);
    // A new project is offered beside its picture sequence, named without the picture number.
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].directory, m_dir.filePath("seq"));
    EXPECT_EQ(dialogs.saveRequests[0].fileName, m_dir.filePath("seq/pic.oxp"));
    w->hscScroll->setValue(21); // tracks one frame more: unsaved work again
    ASSERT_TRUE(w->projects().modified());
    const QStringList cells = tableTexts(*w);

    // No keeps the work, and no file is asked for.
    dialogs.answers = {platform::ui::No};
    dialogs.files = {file};
    w->mnuFileOpen->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("All data will be lost"));
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(tableTexts(*w), cells);
    EXPECT_TRUE(w->projects().modified());

    // Yes opens the saved project, and a saved project opens without a question.
    dialogs.answers = {platform::ui::Yes};
    w->mnuFileOpen->trigger();
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].directory, m_dir.path()) << "where the project is";
    EXPECT_EQ(w->hscScroll->value(), 20);
    EXPECT_FALSE(w->projects().modified());
    dialogs.files = {file};
    w->mnuFileOpen->trigger();
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.openRequests.size(), 2u);
}

TEST_F(ProjectWindowTest, ADamagedProjectIsToldAndChangesNothing) {
    AnsweringDialogs dialogs;
    auto w = workedProject(dialogs);
    const QStringList cells = tableTexts(*w);
    const QString video = common::appState().VideoFile;
    const unsigned changes = w->markerWork().changes;
    QFile bad(m_dir.filePath("bad.oxp"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("SQLite format 3\0 and then nothing of a database", 48);
    bad.close();
    EXPECT_FALSE(w->projects().open(bad.fileName()));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("This file is not an Orvane project"));
    EXPECT_EQ(tableTexts(*w), cells);
    EXPECT_EQ(common::appState().VideoFile, video);
    EXPECT_EQ(w->markerWork().changes, changes);
    EXPECT_EQ(w->hscScroll->value(), 20);
}

TEST_F(ProjectWindowTest, UnsavedWorkIsOfferedBackAfterACrash) {
    AnsweringDialogs dialogs;
    QTemporaryDir recovery;
    auto w = workedProject(dialogs);
    w->projects().setRecoveryFolder(recovery.path());
    w->projects().startSession();
    EXPECT_TRUE(dialogs.messages.empty()) << "nothing to offer at a first start";
    // After playback the work is kept safe.
    w->btnPlayClick();
    const QString file = w->projects().recoveryFile();
    ASSERT_TRUE(QFile::exists(file));
    const QStringList cells = tableTexts(*w);
    // A crash: the window goes without a clean end.
    w.reset();

    auto v = restart();
    v->projects().setRecoveryFolder(recovery.path());
    dialogs.answers = {platform::ui::Yes};
    v->projects().startSession();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Orvane did not end properly last time. Do you want to restore the work that had "
              "not been saved?");
    EXPECT_EQ(dialogs.messages[0].style, platform::ui::YesNo + platform::ui::Question);
    EXPECT_EQ(tableTexts(*v), cells);
    EXPECT_TRUE(v->projects().modified()) << "restored work is unsaved";
    // A clean end leaves nothing to recover.
    v->close();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ProjectWindowTest, DecliningTheRecoveryDiscardsIt) {
    AnsweringDialogs dialogs;
    QTemporaryDir recovery;
    auto w = workedProject(dialogs);
    w->projects().setRecoveryFolder(recovery.path());
    w->projects().startSession();
    w->projects().saveRecovery();
    const QString file = w->projects().recoveryFile();
    ASSERT_TRUE(QFile::exists(file));
    w.reset();
    auto v = restart();
    v->projects().setRecoveryFolder(recovery.path());
    dialogs.answers = {platform::ui::No};
    v->projects().startSession();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(v->lvwPoints->topLevelItemCount(), 0);
    EXPECT_TRUE(common::appState().NoVideo);
}

TEST_F(ProjectWindowTest, ADamagedRecoveryIsToldOnceAndKeptAside) {
    AnsweringDialogs dialogs;
    QTemporaryDir recovery;
    QFile damaged(recovery.filePath("recovery.oxp"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("SQLite format 3\0 cut off by the crash", 38);
    damaged.close();
    auto w = restart();
    w->projects().setRecoveryFolder(recovery.path());
    dialogs.answers = {platform::ui::Yes};
    w->projects().startSession();
    ASSERT_EQ(dialogs.messages.size(), 2u) << "the offer, then what became of it";
    EXPECT_TRUE(dialogs.messages[1].text.startsWith("This file is not an Orvane project"));
    EXPECT_TRUE(common::appState().NoVideo);
    EXPECT_FALSE(QFile::exists(damaged.fileName()));
    EXPECT_TRUE(QFile::exists(damaged.fileName() + ".damaged"));
    w->projects().endSession();
    w.reset();

    // The next start offers nothing.
    auto v = restart();
    v->projects().setRecoveryFolder(recovery.path());
    v->projects().startSession();
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(ProjectWindowTest, ACameraHeaderFromTheFileMenuOpensItsPicturesAtTheRecordedRate) {
    AnsweringDialogs dialogs;
    const QString folder = m_dir.filePath("camera");
    QDir().mkpath(folder);
    writeDiscSequence(folder, 12, kSize, {[](int f) {
                          return std::optional(discA(f));
                      }});
    QFile header(folder + "/pic.cih");
    ASSERT_TRUE(header.open(QIODevice::WriteOnly));
    header.write("#Camera Information Header\r\nRecord Rate(fps) : 2000\r\n"
                 "Total Frame : 9\r\nFile Format : BMP\r\n");
    header.close();
    auto w = std::make_unique<shell::frmMain>([] { return platform::LONG(900); });
    w->show();
    dialogs.files = {header.fileName()};
    w->mnuFileImportCIH->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(common::appState().NoVideo);
    EXPECT_EQ(w->hscScroll->maximum(), 8) << "the header's count, below what is on disk";
    EXPECT_FLOAT_EQ(w->qvxVideo->AVIFrameRate(), 2000.0f);
}

} // namespace
