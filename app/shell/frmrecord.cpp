#include "app/shell/frmrecord.h"

#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "control/cvviewctrl.h"
#include "platform/ui/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace shell {

using common::res;

namespace {
// How often a running recording is checked for a camera that stopped delivering.
constexpr int kStallCheckMs = 250;
} // namespace

frmRecord::frmRecord(const QString &file, QWidget *owner) : QDialog(owner), m_file(file) {
    setObjectName(QStringLiteral("frmRecord"));
    setWindowTitle(res(1539));
    qvxLive = new quivex::CVViewCtrl(this);
    qvxLive->setObjectName(QStringLiteral("qvxLive"));
    qvxLive->setMinimumSize(640, 480);
    qvxLive->setAccessibleName(res(1547));
    btnRecord = new QPushButton(res(1540), this);
    btnRecord->setObjectName(QStringLiteral("btnRecord"));
    btnStop = new QPushButton(res(1541), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setEnabled(false);
    btnCancel = new QPushButton(res(1612), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    staStatus = new QStatusBar(this);
    staStatus->setSizeGripEnabled(false);
    lblStatus = new QLabel(this);
    staStatus->addWidget(lblStatus, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnRecord);
    buttons->addWidget(btnStop);
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(qvxLive, 1);
    layout->addLayout(buttons);
    layout->addWidget(staStatus);

    m_stallTimer = new QTimer(this);
    m_stallTimer->setInterval(kStallCheckMs);
    connect(m_stallTimer, &QTimer::timeout, this, &frmRecord::checkStall);
    connect(btnRecord, &QPushButton::clicked, this, &frmRecord::btnRecord_Click);
    connect(btnStop, &QPushButton::clicked, this, &frmRecord::btnStop_Click);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(qvxLive, &quivex::CVViewCtrl::VideoStream, this,
            [this](quivex::LONG, quivex::LONG frames, quivex::LONG dropped, quivex::LONG ms) {
                m_monitor.update(frames, dropped, ms, m_clock.elapsed());
                showStatus();
            });
    m_clock.start();
    showStatus();
}

frmRecord::~frmRecord() {
    qvxLive->SetLiveVideo(0);
}

bool frmRecord::startLive() {
    qvxLive->SetCaptureFilename(m_file.toStdString());
    qvxLive->SetFireStatusEnabled(1);
    qvxLive->SetLiveVideo(1);
    if (qvxLive->LiveVideo())
        return true;
    platform::ui::dialogs().messageBox(this, res(1543), common::productTitle(),
                                       platform::ui::Exclamation);
    return false;
}

void frmRecord::btnRecord_Click() {
    m_monitor.start(m_clock.elapsed());
    btnRecord->setEnabled(false);
    btnStop->setEnabled(true);
    // The result cannot tell a refusal from success; the statistics events can, and a
    // recording that never delivers a frame ends as a stall.
    qvxLive->CaptureStart();
    m_stallTimer->start();
    showStatus();
}

void frmRecord::btnStop_Click() {
    stopRecording();
    accept();
}

void frmRecord::stopRecording() {
    if (!m_monitor.recording())
        return;
    m_stallTimer->stop();
    qvxLive->CaptureStop(); // fires the last statistics event: the final counts
    m_monitor.stop();
    btnStop->setEnabled(false);
    showStatus();
}

void frmRecord::checkStall() {
    if (!m_monitor.stalled(m_clock.elapsed()))
        return;
    stopRecording();
    const bool kept = recordedFrames() > 0;
    platform::ui::dialogs().messageBox(this, res(kept ? 1544 : 1546), common::productTitle(),
                                       platform::ui::Exclamation);
    if (kept)
        accept();
    else
        reject();
}

void frmRecord::showStatus() {
    lblStatus->setText(m_monitor.statusText(common::appState()));
}

void frmRecord::done(int result) {
    stopRecording();
    qvxLive->SetLiveVideo(0);
    QDialog::done(result);
}

} // namespace shell
