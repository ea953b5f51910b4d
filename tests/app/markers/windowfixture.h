// The main window on a generated disc sequence, for tests that drive it as a user would:
// mouse events at the view's mapped positions, the export read back.
#pragma once

#include "markersfixture.h"

#include "app/common/appstate.h"
#include "app/shell/frmmain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>

#include <cmath>
#include <memory>

inline constexpr int kFrames = 40;
inline const QSize kSize(320, 240);

// Two alike discs moving at sub-pixel steps, far enough apart never to be confused.
inline QPointF discA(int f) {
    return {40 + 1.63 * f, 60 + 1.07 * f};
}
inline QPointF discB(int f) {
    return {280 - 1.52 * f, 200 - 1.21 * f};
}

class WindowMarkersTest : public ::testing::Test {
protected:
    void SetUp() override {
        common::resetAppState();
        common::AppState &s = common::appState();
        s.TextBase = 4000;
        s.UiLcid = 1033;
        s.IniFile = m_dir.filePath("Orvane.INI");
        // The settings file is read when the window loads: no calibration needed, no question
        // when closing.
        QFile ini(s.IniFile);
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Orvane]\nCalibrationMandatory=0\nShowExitMsg=0\n");
        // The calibration object the start procedure makes.
        s.Calibration = makeCalibration();
    }
    void TearDown() override { common::resetAppState(); }

    std::unique_ptr<shell::frmMain> openWindow(const std::vector<DiscPath> &discs,
                                               int frames = kFrames) {
        const QString folder = m_dir.filePath("seq");
        QDir().mkpath(folder);
        writeDiscSequence(folder, frames, kSize, discs);
        auto window = std::make_unique<shell::frmMain>([] { return platform::LONG(900); });
        window->show();
        common::appState().VideoFile = folder + "/pic1.bmp";
        window->LoadVideo(false, 0, 100.0f, frames);
        window->ZoomChange(150);
        return window;
    }

    // The window position of an image point at the view's zoom and offsets: the inverse of
    // the view's mapping, to the nearest window pixel.
    static QPoint windowPoint(shell::frmMain &w, QPointF image) {
        const double z = w.qvxVideo->Zoom() / 100.0;
        return QPoint(int(std::lround((image.x() + 0.5) * z - w.qvxVideo->HorizontalOffset())),
                      int(std::lround((image.y() + 0.5) * z - w.qvxVideo->VerticalOffset())));
    }
    static void mouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    // Press on the disc's centre, drag `radius` image pixels sideways, release.
    static void createAt(shell::frmMain &w, QPointF centre, double radius) {
        const QPoint press = windowPoint(w, centre);
        const QPoint drag = windowPoint(w, centre + QPointF(radius, 0));
        mouse(w.qvxVideo, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
        mouse(w.qvxVideo, QEvent::MouseMove, drag, Qt::NoButton, Qt::LeftButton);
        mouse(w.qvxVideo, QEvent::MouseButtonRelease, drag, Qt::LeftButton, Qt::NoButton);
    }
    // The exported file's lines split into cells.
    std::vector<QStringList> exportTable(shell::frmMain &w, AnsweringDialogs &dialogs) {
        const QString path = m_dir.filePath("export.txt");
        dialogs.saveFiles = {path};
        w.mnuFileClick();
        EXPECT_TRUE(w.mnuFileExport->isEnabled());
        w.mnuFileExportTXT->trigger();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        std::vector<QStringList> rows;
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                rows.push_back(QString::fromUtf8(line).split(u'\t'));
        return rows;
    }

    QTemporaryDir m_dir;
};
