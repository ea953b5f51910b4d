// "Record from camera": the camera's live picture in a view of its own, recorded to a file
// until the user stops, with the frame count and the dropped frames in the status bar. The
// main window opens the recording afterwards.
#pragma once

#include "app/video/recordingmonitor.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;

namespace quivex {
class CVViewCtrl;
}

namespace shell {

class frmRecord : public QDialog {
public:
    frmRecord(const QString &file, QWidget *owner = nullptr);
    ~frmRecord() override;

    quivex::CVViewCtrl *qvxLive;
    QPushButton *btnRecord;
    QPushButton *btnStop;
    QPushButton *btnCancel;
    QStatusBar *staStatus;
    QLabel *lblStatus;

    // Shows the live picture of the first camera that works; false, after telling the user,
    // when there is none.
    bool startLive();
    void btnRecord_Click();
    void btnStop_Click();
    // Frames that reached the file once the recording ended.
    long recordedFrames() const { return m_monitor.written(); }
    const video::RecordingMonitor &monitor() const { return m_monitor; }

    // However the dialog closes, a running recording is stopped and live video switched off.
    void done(int result) override;

private:
    void stopRecording();
    void checkStall();
    void showStatus();

    QString m_file;
    video::RecordingMonitor m_monitor;
    QElapsedTimer m_clock;
    QTimer *m_stallTimer;
};

} // namespace shell
