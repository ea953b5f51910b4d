// The main window: menu tree, popup menus, toolbar, status bar, layout, closing rule and the
// help command, offscreen with the dialog and help seams answering.
#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/shell/frmmain.h"
#include "app/shell/helpwindow.h"
#include "control/cvviewctrl.h"
#include "platform/ui/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace shell {

using namespace common;
namespace {

namespace ui = platform::ui;

struct RecordingDialogs : ui::Dialogs {
    struct Message {
        QString text;
        QString title;
        int style;
    };
    std::vector<Message> messages;
    std::vector<QString> dialogs; // object names of modal dialogs run
    int answer = ui::Ok;

    RecordingDialogs() { ui::setDialogs(this); }
    ~RecordingDialogs() override { ui::setDialogs(nullptr); }
    int messageBox(QWidget *, const QString &text, const QString &title, int style) override {
        messages.push_back({text, title, style});
        return answer;
    }
    void beep() override {}
    std::optional<QString> openFile(QWidget *, const ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget *, const ui::FileDialogRequest &r) override {
        saveTitles.push_back(r.title);
        return saveAnswer;
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return std::nullopt; }
    int exec(QDialog &dialog) override {
        dialogs.push_back(dialog.objectName());
        return 0;
    }
    std::optional<QString> saveAnswer; // the save dialog's answer; nothing is Cancel
    std::vector<QString> saveTitles;
};

struct RecordingHelp : HelpViewer {
    QStringList files;
    bool succeed = true;
    RecordingHelp() { setHelpViewer(this); }
    ~RecordingHelp() override { setHelpViewer(nullptr); }
    bool showHelp(QWidget *, const QString &file, QString *error) override {
        files << file;
        if (!succeed && error)
            *error = QStringLiteral("no help window for ") + file;
        return succeed;
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        // No settings file: every setting has its default.
        appState().IniFile = m_dir.filePath(QStringLiteral("Orvane.INI"));
        appState().TextBase = kEnglishBase;
        appState().UiLcid = 1033;
    }
    std::unique_ptr<frmMain> makeWindow() {
        return std::make_unique<frmMain>([] { return platform::LONG(900); });
    }
    static QStringList names(const QMenu *menu) {
        QStringList out;
        for (QAction *a : menu->actions())
            out << (a->menu() ? a->menu()->objectName() : a->objectName());
        return out;
    }
    static QStringList texts(const QMenu *menu) {
        QStringList out;
        for (QAction *a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }

    QTemporaryDir m_dir;
    RecordingDialogs m_dialogs;
    RecordingHelp m_help;
};

TEST_F(MainWindowTest, MenuBarHoldsFileEditAnalysisHelpWithTheirEntriesInOrder) {
    auto w = makeWindow();
    QStringList top;
    for (QAction *a : w->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, QStringList({"&File", "&Edit", "&Analysis", "&Help"}));

    EXPECT_EQ(names(w->mnuFile),
              QStringList({"mnuFileNew", "mnuFileOpen", "mnuFileSaveAs", "mnuFileOpenvideo",
                           "mnuFileRecord", "mnuFileSep1", "mnuFileExport", "mnuFileImport",
                           "mnuFileSep2", "mnuFileQuit"}));
    EXPECT_EQ(texts(w->mnuFile),
              QStringList({"&New", "&Open...", "&Save as...", "&Load video...",
                           "&Record from camera...", "-", "Export", "Import", "-", "&Quit"}));
    EXPECT_EQ(texts(w->mnuFileExport), QStringList({"as &Excel table...", "as &text file...", "-",
                                                    "With &velocities and accelerations"}));
    EXPECT_TRUE(w->mnuFileExportKinematics->isCheckable());
    EXPECT_EQ(texts(w->mnuFileImport), QStringList({"&CIH file"}));
    EXPECT_EQ(texts(w->mnuEdit),
              QStringList({"&Copy", "&Pattern matching settings...", "-", "&Options..."}));
    EXPECT_EQ(texts(w->mnuAnalysis), QStringList({"&Kinematics..."}));
    EXPECT_EQ(texts(w->mnuHelp), QStringList({"&Contents", "I&nformation about..."}));
}

TEST_F(MainWindowTest, GermanSlotShowsGermanCaptions) {
    appState().TextBase = kGermanBase;
    auto w = makeWindow();
    EXPECT_EQ(w->mnuFile->title(), resourceString(1500).value());
    EXPECT_EQ(w->mnuFileQuit->text(), resourceString(1502).value());
    EXPECT_EQ(w->fraRight->title(), resourceString(1015).value());
    EXPECT_NE(w->mnuFile->title(), resourceString(5500).value());
}

TEST_F(MainWindowTest, PopupMenusAreOutsideTheMenuBarWithTheirEntriesInOrder) {
    auto w = makeWindow();
    for (QAction *a : w->menuBar()->actions()) {
        EXPECT_NE(a->menu(), w->mnuPopupQvxview);
        EXPECT_NE(a->menu(), w->mnuPopUpListView);
    }
    EXPECT_EQ(
        names(w->mnuPopupQvxview),
        QStringList({"mnuPopUpSNewMarker", "mnuPopUpSSep3", "mnuPopupSInfo", "mnuPopupSSep1",
                     "mnuPopupSScale", "mnuPopupSLoop", "mnuPopupSRealtime", "mnuPopupSep2",
                     "mnuPopupSFullFrames", "mnuPopupSFields", "mnuPopupSJVC100",
                     "mnuPopupSJVC100vert", "mnuPopupSJVC200", "mnuPopupSSep2", "mnuPopupSMirror",
                     "mnuPopupSRotate90", "mnuPopupSRotate180", "mnuPopupSRotate270"}));
    EXPECT_EQ(texts(w->mnuPopupQvxview).at(0), "Set new marker");
    EXPECT_EQ(texts(w->mnuPopupQvxview).at(5), "Loop video playback");
    EXPECT_EQ(texts(w->mnuPopupQvxview).at(6), "Play at recording speed");
    EXPECT_EQ(texts(w->mnuPopupQvxview).at(11), "JVC 9x00 w/ 100/120 Hz, vertically separated");
    EXPECT_EQ(texts(w->mnuPopupQvxview).at(17), "Rotate by 270 degrees");
    EXPECT_EQ(
        names(w->mnuPopUpListView),
        QStringList({"mnuPopUpListNewMarker", "mnuPopupListSep2", "mnuPopUpListLocalTrackSettings",
                     "mnuPopUpListChkPathAll", "mnuPopUpListChkPathMarker", "mnuPopUpListChkManual",
                     "mnuPopUpListColor", "mnuPopupListSep1", "mnuPopupListDiscardAutotracked",
                     "mnuPopUpListDelMarker", "mnuPopUpListDelAllMarker"}));
    EXPECT_EQ(texts(w->mnuPopUpListView).at(10), "Delete all markers");
    EXPECT_TRUE(w->mnuPopupSLoop->isCheckable());
}

TEST_F(MainWindowTest, ToolbarButtonsByKeyWithTranslatedToolTips) {
    auto w = makeWindow();
    QStringList keys;
    for (QAction *a : w->tbToolbar->actions())
        if (!a->isSeparator())
            keys << a->objectName().mid(QStringLiteral("tbToolbar_").size());
    EXPECT_EQ(keys, QStringList({"New", "Open", "SaveAs", "LoadVideo", "Scale", "Plus10", "Minus10",
                                 "To100", "FitView", "HelperAction"}));
    EXPECT_EQ(w->toolbarButton("New")->toolTip(), "New project");
    EXPECT_EQ(w->toolbarButton("Minus10")->toolTip(), "Decreases zoom level by  10%");
    EXPECT_EQ(w->toolbarButton("FitView")->toolTip(), "Fits the video into the video view");
    EXPECT_EQ(w->btnPlay->toolTip(), "Playback video");
    EXPECT_EQ(w->btnBack->toolTip(), "Rewind video");
    EXPECT_EQ(w->btnSkip->toolTip(), "Fast forward video");
    EXPECT_EQ(w->toolbarButton("Nonsense"), nullptr);
}

TEST_F(MainWindowTest, ThirdSlotNewButtonKeepsItsDesignToolTip) {
    appState().TextBase = kThirdBase;
    auto w = makeWindow();
    EXPECT_EQ(w->toolbarButton("New")->toolTip(), "1020");
    EXPECT_EQ(w->toolbarButton("LoadVideo")->toolTip(), "Open video file");
}

TEST_F(MainWindowTest, CommandsWithoutVideoOrLaterWorkStartDisabled) {
    auto w = makeWindow();
    for (const char *key : {"Plus10", "Minus10", "To100", "FitView", "Scale"})
        EXPECT_FALSE(w->toolbarButton(key)->isEnabled()) << key;
    for (const char *key : {"New", "LoadVideo", "Open", "SaveAs"})
        EXPECT_TRUE(w->toolbarButton(key)->isEnabled()) << key;
    EXPECT_FALSE(w->btnPlay->isEnabled());
    EXPECT_FALSE(w->btnSkip->isEnabled());
    EXPECT_FALSE(w->btnBack->isEnabled());
    EXPECT_FALSE(w->hscScroll->isEnabled());
    EXPECT_TRUE(w->mnuFileImportCIH->isEnabled());
    EXPECT_TRUE(w->mnuFileOpenvideo->isEnabled());
}

TEST_F(MainWindowTest, ExportSubmenuAndKinematicsFollowTheMarkerTable) {
    auto w = makeWindow();
    w->mnuFileClick();
    EXPECT_FALSE(w->mnuFileExport->isEnabled());
    EXPECT_FALSE(w->mnuAnalysisKinematics->isEnabled());
    auto *row = new QTreeWidgetItem(w->lvwPoints, QStringList({"Marker 1", "10", "20", "0"}));
    w->mnuFileClick();
    EXPECT_TRUE(w->mnuFileExport->isEnabled());
    emit w->mnuAnalysis->aboutToShow();
    EXPECT_TRUE(w->mnuAnalysisKinematics->isEnabled());
    delete row;
    emit w->mnuFile->aboutToShow();
    EXPECT_FALSE(w->mnuFileExport->isEnabled());
    emit w->mnuAnalysis->aboutToShow();
    EXPECT_FALSE(w->mnuAnalysisKinematics->isEnabled());
}

TEST_F(MainWindowTest, HelperButtonAndUnknownKeysDoNothing) {
    auto w = makeWindow();
    const int zoom = w->qvxVideo->Zoom();
    w->tbToolbarButtonClick("Helper");
    w->tbToolbarButtonClick("helper");
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_TRUE(m_dialogs.dialogs.empty());
    EXPECT_EQ(w->qvxVideo->Zoom(), zoom);
    EXPECT_TRUE(m_help.files.isEmpty());
}

TEST_F(MainWindowTest, StatusBarHasZoomInfoAndTheProductPanel) {
    auto w = makeWindow();
    ASSERT_NE(w->statusPanel("Zoom"), nullptr);
    ASSERT_NE(w->statusPanel("Info"), nullptr);
    EXPECT_EQ(w->statusPanel("Other"), nullptr);
    EXPECT_EQ(w->productPanel()->text(), productTitle());
    EXPECT_EQ(w->windowTitle(), "Talvor Orvane");
}

// Panel texts change with every frame during playback: a panel keeps its place and size
// for texts that fit, and a text wider than its panel widens it instead of being cut.
TEST_F(MainWindowTest, StatusPanelsKeepTheirSizeAndWidenForLongTexts) {
    auto w = makeWindow();
    w->show();
    QLabel *info = w->statusPanel("Info");
    QLabel *zoom = w->statusPanel("Zoom");
    w->setStatusPanelText(video::StatusPanel::Info, "Frame: 1  Time: 0.01 s");
    QApplication::processEvents();
    const QRect infoPlace = info->geometry();
    const QRect zoomPlace = zoom->geometry();
    w->setStatusPanelText(video::StatusPanel::Info, "Frame: 12345  Time: 123.45 s");
    w->setStatusPanelText(video::StatusPanel::Zoom, "Zoom: 1999%");
    QApplication::processEvents();
    EXPECT_EQ(info->geometry(), infoPlace);
    EXPECT_EQ(zoom->geometry(), zoomPlace);
    EXPECT_EQ(info->text(), "Frame: 12345  Time: 123.45 s");

    const QString longText(120, QLatin1Char('W'));
    w->setStatusPanelText(video::StatusPanel::Info, longText);
    QApplication::processEvents();
    EXPECT_GE(info->width(), info->fontMetrics().horizontalAdvance(longText));
    EXPECT_EQ(info->text(), longText);
    // Shorter texts afterwards keep the wider panel: no jitter while numbers change.
    const int widened = info->width();
    w->setStatusPanelText(video::StatusPanel::Info, "Frame: 2");
    QApplication::processEvents();
    EXPECT_EQ(info->width(), widened);
}

TEST_F(MainWindowTest, ImageListPicturesForPlayStopAndMarkerKinds) {
    for (int index : {9, 11, 16, 19, 20})
        EXPECT_FALSE(frmMain::imlIcons(index).isNull()) << index;
    EXPECT_TRUE(frmMain::imlIcons(10).isNull());
    EXPECT_NE(frmMain::imlIcons(9).pixmap(16).toImage(),
              frmMain::imlIcons(11).pixmap(16).toImage());
    EXPECT_NE(frmMain::imlIcons(16).pixmap(16).toImage(),
              frmMain::imlIcons(20).pixmap(16).toImage());
    EXPECT_NE(frmMain::imlIcons(19).pixmap(16).toImage(),
              frmMain::imlIcons(20).pixmap(16).toImage());
}

TEST_F(MainWindowTest, LayoutSnapsBackToTheMinimumAndPlacesTheSurface) {
    auto w = makeWindow();
    w->show();
    w->resize(500, 400);
    QApplication::processEvents();
    EXPECT_GE(w->frameGeometry().width(), 960);
    EXPECT_GE(w->frameGeometry().height(), 708);

    w->resize(1400, 1000);
    QApplication::processEvents();
    const QSize inner = w->clientArea()->size();
    const MainLayout expected = layoutMainWindow(inner);
    EXPECT_EQ(w->fraVideo->geometry(), expected.fraVideo);
    EXPECT_EQ(w->qvxVideo->geometry(), expected.qvxVideo);
    EXPECT_EQ(w->fraRight->geometry(), expected.fraRight);
    EXPECT_EQ(w->imgLupe->geometry(), expected.imgLupe);
    EXPECT_EQ(w->lvwPoints->geometry(), expected.lvwPoints);
}

TEST_F(MainWindowTest, MarkerColumnsAreAddedAtLoadAndResizedWithTheTable) {
    auto w = makeWindow();
    ASSERT_EQ(w->lvwPoints->columnCount(), 4);
    QStringList headers;
    for (int c = 0; c < 4; ++c)
        headers << w->lvwPoints->headerItem()->text(c);
    EXPECT_EQ(headers, QStringList({"Name", "X", "Y", "Rotation"}));
    // At load the widths follow the table's width: the Rotation column is a quarter of it.
    const auto widths = markerColumnWidths(w->lvwPoints->width() * kTwipsPerPixel);
    EXPECT_EQ(w->lvwPoints->header()->sectionSize(3), roundHalfEven(widths[3] / 15.0));
    // (A column is never narrower than the header's minimum.)
    EXPECT_EQ(
        w->lvwPoints->header()->sectionSize(0),
        std::max(roundHalfEven(widths[0] / 15.0), w->lvwPoints->header()->minimumSectionSize()));
    EXPECT_NEAR(w->lvwPoints->header()->sectionSize(3), w->lvwPoints->width() / 4.0, 1.0);

    // A resize sets them again and repaints the row bands, which sizes every column to its
    // content: here the header texts.
    w->show();
    w->resize(1600, 900);
    QApplication::processEvents();
    QHeaderView *header = w->lvwPoints->header();
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(header->sectionSize(c),
                  std::max(header->sectionSizeHint(c),
                           static_cast<QAbstractItemView *>(w->lvwPoints)->sizeHintForColumn(c)))
            << c;
}

TEST_F(MainWindowTest, ClosingAsksAndCancelKeepsTheWindowOpen) {
    auto w = makeWindow();
    w->show();
    m_dialogs.answer = ui::Cancel;
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_EQ(m_dialogs.messages[0].text, "Do you want to save before you quit?");
    EXPECT_EQ(m_dialogs.messages[0].style, ui::YesNoCancel + ui::Question);
    EXPECT_EQ(m_dialogs.messages[0].title, productTitle());
}

TEST_F(MainWindowTest, ClosingWithYesOrNoCloses) {
    // Yes saves the project through Save as first.
    QTemporaryDir dir;
    m_dialogs.saveAnswer = dir.filePath("closing.oxp");
    for (int answer : {ui::Yes, ui::No}) {
        auto w = makeWindow();
        w->show();
        m_dialogs.messages.clear();
        m_dialogs.answer = answer;
        EXPECT_TRUE(w->close()) << answer;
        EXPECT_EQ(m_dialogs.messages.size(), 1u);
    }
    EXPECT_EQ(m_dialogs.saveTitles, std::vector<QString>({"Save a project file"}));
    EXPECT_TRUE(QFile::exists(dir.filePath("closing.oxp")));
}

TEST_F(MainWindowTest, YesWithASaveTheUserCancelsKeepsTheWindowOpen) {
    auto w = makeWindow();
    w->show();
    m_dialogs.answer = ui::Yes;
    EXPECT_FALSE(w->close());
    EXPECT_EQ(m_dialogs.saveTitles.size(), 1u);
    EXPECT_TRUE(w->isVisible());
}

// A window whose project save the user cancels.
class CancellingSave : public frmMain {
public:
    CancellingSave() : frmMain([] { return platform::LONG(900); }) {}
    SaveOutcome saveProjectAs() override {
        ++saves;
        return SaveOutcome::Cancelled;
    }
    int saves = 0;
};

TEST_F(MainWindowTest, YesWithACancelledSaveKeepsTheWindowOpen) {
    CancellingSave w;
    w.show();
    m_dialogs.answer = ui::Yes;
    EXPECT_FALSE(w.close());
    EXPECT_EQ(w.saves, 1);
    EXPECT_TRUE(w.isVisible());
    m_dialogs.answer = ui::No;
    EXPECT_TRUE(w.close());
    EXPECT_EQ(w.saves, 1);
}

TEST_F(MainWindowTest, ClosingWithoutExitMessageStopsPlaybackFirst) {
    auto w = makeWindow();
    w->show();
    appState().settings.ShowExitMsg = false;
    appState().IsPlaying = true;
    w->mnuPopupSLoop->setEnabled(false);
    w->mnuFileQuit->trigger();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_FALSE(appState().IsPlaying);
    EXPECT_TRUE(w->mnuPopupSLoop->isEnabled());
}

TEST_F(MainWindowTest, CancelledCloseStillStopsPlayback) {
    auto w = makeWindow();
    w->show();
    appState().IsPlaying = true;
    m_dialogs.answer = ui::Cancel;
    EXPECT_FALSE(w->close());
    EXPECT_FALSE(appState().IsPlaying);
}

TEST_F(MainWindowTest, HelpWithoutFileNameShowsTheReinstallMessage) {
    auto w = makeWindow();
    appState().HelpFile.clear();
    w->mnuHelpContents->trigger();
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_EQ(m_dialogs.messages[0].text, "The help file has not been found. Please re-install.");
    EXPECT_EQ(m_dialogs.messages[0].style, ui::Information);
    EXPECT_TRUE(m_help.files.isEmpty());
}

TEST_F(MainWindowTest, HelpOpensTheLanguagesFileOrReportsTheViewersError) {
    auto w = makeWindow();
    appState().HelpFile = m_dir.filePath(QStringLiteral("Orvane_enu.chm"));
    w->mnuHelpContents->trigger();
    EXPECT_EQ(m_help.files, QStringList({appState().HelpFile}));
    EXPECT_TRUE(m_dialogs.messages.empty());

    m_help.succeed = false;
    w->mnuHelpContents->trigger();
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_EQ(m_dialogs.messages[0].text, "no help window for " + appState().HelpFile);
    EXPECT_EQ(m_dialogs.messages[0].style, ui::OkOnly);
}

TEST_F(MainWindowTest, AboutAndOptionsRunAsModalDialogs) {
    auto w = makeWindow();
    w->mnuHelpAbout->trigger();
    w->mnuEditOptions->trigger();
    EXPECT_EQ(m_dialogs.dialogs, (std::vector<QString>{"frmAbout", "frmOptions"}));
}

} // namespace
} // namespace shell
