// Video hosts for tests: a scroll bar kept as numbers that runs the frame-change handling on
// every change, and a record of everything shown. `FakeHost` has real view controls
// offscreen; `FakeViewHost` (fakeview.h) has views without a control.
#pragma once

#include "answeringdialogs.h"
#include "app/common/appstate.h"
#include "app/shell/viewctrladapter.h"
#include "app/video/videocontroller.h"
#include "control/cvviewctrl.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <QDialog>
#include <QFile>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <vector>

// Everything of a host but its views.
class RecordingHost : public video::VideoHost {
public:
    QWidget *dialogParent() override { return nullptr; }

    int scrollValue() override { return value; }
    int scrollMinimum() override { return minimum; }
    int scrollMaximum() override { return maximum; }
    void setScrollRange(int lo, int hi) override {
        minimum = lo;
        maximum = std::max(lo, hi);
        setScrollValue(std::clamp(value, minimum, maximum));
    }
    void setScrollValue(int v) override {
        v = std::clamp(v, minimum, maximum);
        if (v == value)
            return;
        value = v;
        if (controller)
            controller->playback.OnFrameChanged();
    }
    void setScrollEnabled(bool e) override { scrollEnabled = e; }
    void setPlaybackButtonsEnabled(bool e) override { buttonsEnabled = e; }
    void setPlayButtonImage(video::PlayPicture picture) override { playImage = picture; }
    void setToolbarButtonEnabled(video::ToolButton button, bool e) override { toolbar[button] = e; }
    void setMenuChecked(video::MenuEntry entry, bool c) override { checked[entry] = c; }
    bool menuChecked(video::MenuEntry entry) override { return checked[entry]; }
    void setMenuEnabled(video::MenuEntry entry, bool e) override { menuEnabled[entry] = e; }
    void setStatusPanelText(video::StatusPanel panel, const QString &text) override {
        panels[panel] = text;
    }
    void setVideoCaption(const QString &c) override { caption = c; }
    void clearMagnifier() override { ++magnifierClears; }
    void setPointer(Qt::CursorShape shape) override { pointer = shape; }
    void processEvents() override {
        ++eventPasses;
        if (onEvents)
            onEvents();
    }
    // A clock that only waits move: playing at the recording speed is checked in exact
    // numbers, not against the machine's time.
    double clockSeconds() override { return clock; }
    void serveEventsFor(double seconds) override {
        waits.push_back(seconds);
        clock += seconds;
        if (onEvents)
            onEvents();
    }
    void UpdateFrameMarkers() override {
        framesTracked.push_back(value);
        if (onTrack)
            onTrack();
    }
    void discardMarkers() override { ++markerDiscards; }

    video::VideoController *controller = nullptr;
    int value = 0, minimum = 0, maximum = 0;
    bool scrollEnabled = false, buttonsEnabled = false;
    video::PlayPicture playImage = video::PlayPicture::Start;
    std::map<video::ToolButton, bool> toolbar;
    std::map<video::MenuEntry, bool> checked, menuEnabled;
    std::map<video::StatusPanel, QString> panels;
    QString caption;
    int magnifierClears = 0, markerDiscards = 0, eventPasses = 0;
    Qt::CursorShape pointer = Qt::ArrowCursor;
    std::vector<int> framesTracked;
    double clock = 1000.0;
    std::vector<double> waits;
    std::function<void()> onEvents, onTrack;
};

// With the real view controls, reached as the window reaches them.
class FakeHost : public RecordingHost {
public:
    FakeHost() {
        view.resize(720, 576);
        helper.resize(100, 100);
    }

    video::VideoView &workingView() override { return m_view; }
    video::VideoView &helperView() override {
        ++helperUses;
        return m_helper;
    }

    quivex::CVViewCtrl view;
    quivex::CVViewCtrl helper;
    int helperUses = 0;

private:
    shell::ViewCtrlAdapter m_view{view};
    shell::ViewCtrlAdapter m_helper{helper};
};

// Clips made with the ffmpeg program, each once, in the test program's shared folder.
class Clips {
public:
    static Clips &instance() {
        static Clips clips;
        return clips;
    }
    // A testsrc clip (frame number burnt in) of a size, frame count, rate and codec.
    QString make(const QString &name, int width, int height, int frames, double rate,
                 const QString &codec = QStringLiteral("mpeg4")) {
        const QString path = testsupport::sharedTempDir().filePath(name);
        if (QFile::exists(path))
            return path;
        testsupport::makeClip(
            path.toStdString(), "-c:v " + codec.toStdString() + " -pix_fmt yuv420p", frames,
            std::to_string(width) + "x" + std::to_string(height), rate, "testsrc");
        return path;
    }
    // The shared folder, without a trailing '/'.
    QString dir() const { return QString::fromStdString(testsupport::sharedTempDir().root()); }
};
