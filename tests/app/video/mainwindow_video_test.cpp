// The main window with the video part wired in: the command line's sequence, the toolbar's
// open through the dialog seam, buttons, keys and the popup menu's marks.
#include "fakehost.h"

#include "app/common/appstate.h"
#include "app/shell/frmmain.h"
#include "app/video/videocontroller.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class WindowVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        common::resetAppState();
        common::appState().TextBase = 4000;
        common::appState().IniFile = m_dir.filePath("Orvane.INI");
        common::appState().settings.ShowExitMsg = false;
    }
    void TearDown() override { common::resetAppState(); }
    std::unique_ptr<shell::frmMain> makeWindow() {
        return std::make_unique<shell::frmMain>([] { return platform::LONG(900); });
    }
    QTemporaryDir m_dir;
};

void press(QWidget &w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent down(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(&w, &up);
}

TEST_F(WindowVideoTest, CommandLineSequenceOpensWithoutADialog) {
    ScriptedDialogs dialogs;
    const QString folder = m_dir.filePath("seq");
    QDir().mkpath(folder);
    for (int i = 0; i < 12; ++i) {
        QImage image(40, 30, QImage::Format_RGB888);
        image.fill(QColor(i * 20, 0, 0));
        image.save(QStringLiteral("%1/pic%2.jpg").arg(folder).arg(i + 1));
    }
    QFile info(m_dir.filePath("seq.ini"));
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write(QStringLiteral("[SeqInfo]\nActSeq=0\n[Seq_0]\nNumFiles=12\nRecordFPS=100\n"
                              "StartFile=%1/pic1.jpg\n")
                   .arg(folder)
                   .toUtf8());
    info.close();
    common::appState().SequenceInfoFile = info.fileName();
    auto window = makeWindow();
    EXPECT_TRUE(dialogs.requests.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(common::appState().NoVideo);
    EXPECT_EQ(common::appState().FrameCount, 12);
    EXPECT_EQ(window->hscScroll->maximum(), 11);
    EXPECT_EQ(window->fraVideo->title(), " " + folder + "/pic%d.jpg ");
    window->hscScroll->setValue(11);
    EXPECT_EQ(window->statusPanel("Info")->text(), "Frame: 11, Time: 0.11 seconds");
    EXPECT_TRUE(window->mnuPopupSFullFrames->isChecked());
}

TEST_F(WindowVideoTest, ToolbarOpenPlayKeysAndReset) {
    ScriptedDialogs dialogs;
    auto window = makeWindow();
    window->show();
    const QString file = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    dialogs.files = {file};
    window->tbToolbarButtonClick("LoadVideo");
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(common::appState().FrameCount, 40);
    EXPECT_TRUE(window->btnPlay->isEnabled());
    EXPECT_TRUE(window->toolbarButton("FitView")->isEnabled());
    EXPECT_EQ(window->hscScroll->maximum(), 39);

    window->btnPlay->click();
    EXPECT_EQ(window->hscScroll->value(), 39);
    EXPECT_EQ(window->qvxVideo->AVIFrame(), 39);
    EXPECT_EQ(window->statusPanel("Info")->text(), "Frame: 39, Time: 1.56 seconds");
    EXPECT_TRUE(window->mnuPopupSLoop->isEnabled());

    press(*window, Qt::Key_Home);
    EXPECT_EQ(window->hscScroll->value(), 0);
    press(*window, Qt::Key_Right);
    EXPECT_EQ(window->qvxVideo->AVIFrame(), 1);

    window->tbToolbarButtonClick("To100");
    EXPECT_EQ(window->statusPanel("Zoom")->text(), "Zoom: 100%");
    window->rotateVideo(256);
    EXPECT_TRUE(window->mnuPopupSRotate90->isChecked());
    EXPECT_EQ(window->qvxVideo->AVIWidth(), 120);
    EXPECT_EQ(window->hscScroll->value(), 0);

    dialogs.answers = {platform::ui::Yes};
    window->mnuFileNew->trigger();
    EXPECT_TRUE(common::appState().NoVideo);
    EXPECT_FALSE(window->hscScroll->isEnabled());
    EXPECT_FALSE(window->btnPlay->isEnabled());
    EXPECT_EQ(window->statusPanel("Info")->text(), "");
}

TEST_F(WindowVideoTest, LongOpenGoesThroughTheProgressBox) {
    ScriptedDialogs dialogs;
    auto window = makeWindow();
    window->show();
    window->video().loader.setLongOpenBytes(1000);
    dialogs.files = {Clips::instance().make("c25.avi", 160, 120, 40, 25)};
    window->tbToolbarButtonClick("LoadVideo");
    EXPECT_EQ(common::appState().FrameCount, 40);
    EXPECT_TRUE(window->findChildren<QProgressDialog *>().isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace

namespace {

// Pictures of the window for a look by eye (run under Xvfb with ORVANE_SCREENSHOT_DIR and
// ORVANE_SCREENSHOT_VIDEO set); skipped otherwise.
TEST_F(WindowVideoTest, ScreenshotsForTheEye) {
    const QString out = qEnvironmentVariable("ORVANE_SCREENSHOT_DIR");
    const QString file = qEnvironmentVariable("ORVANE_SCREENSHOT_VIDEO");
    if (out.isEmpty() || file.isEmpty())
        GTEST_SKIP() << "set ORVANE_SCREENSHOT_DIR and ORVANE_SCREENSHOT_VIDEO";
    ScriptedDialogs dialogs;
    auto window = makeWindow();
    window->show();
    const auto shot = [&](const char *name) {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        const QPixmap picture = window->grab();
        EXPECT_FALSE(picture.isNull()) << name;
        EXPECT_TRUE(picture.save(out + "/" + name + ".png")) << name;
    };
    common::appState().VideoFile = file;
    window->LoadVideo(false, 0, 0.0f, 0);
    shot("1-open");
    press(*window, Qt::Key_Right);
    press(*window, Qt::Key_Right);
    press(*window, Qt::Key_Right);
    shot("2-step3");
    window->hscScroll->setValue(window->hscScroll->maximum() / 2);
    shot("3-middle");
    window->tbToolbarButtonClick("To100");
    window->tbToolbarButtonClick("Plus10");
    window->tbToolbarButtonClick("Plus10");
    shot("4-zoom120");
    window->FitZoomToView();
    window->rotateVideo(256);
    window->FitZoomToView();
    shot("5-rotate90");
    window->rotateVideo(256);
    window->mnuPopupSMirrorClick();
    shot("6-mirror");
}

} // namespace
