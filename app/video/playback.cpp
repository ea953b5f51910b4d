#include "app/video/playback.h"

#include "app/common/numbertext.h"
#include "app/common/resources.h"
#include "app/common/settings.h"

#include <algorithm>
#include <cmath>

namespace video {

namespace {
// More decimals than this say nothing about a single-precision time and a damaged
// setting must not make a mask of millions of zeros.
constexpr int kMaxDecimals = 30;
} // namespace

Playback::Playback(VideoHost &host, common::AppState &state)
    : m_host(host), m_state(state), m_separator(common::userSeparator()) {}

Playback::~Playback() = default;

void Playback::OnFrameChanged() {
    {
        // The new frame is painted once, with the markers the tracking pass put over it.
        const RepaintHold hold(m_host.workingView());
        m_host.workingView().SetAVIFrame(m_host.scrollValue());
        m_host.UpdateFrameMarkers();
    }
    UpdateStatusBar();
}

void Playback::Rewind() {
    StopPlayback();
    m_host.setScrollValue(m_host.scrollMinimum());
}

void Playback::FastForward() {
    StopPlayback();
    m_host.setScrollValue(m_host.scrollMaximum());
}

void Playback::Play() {
    if (m_state.IsPlaying) {
        StopPlayback();
        return;
    }
    if (playLoop())
        m_host.playbackEnded();
}

bool Playback::playLoop() {
    const std::weak_ptr<int> alive = m_alive;
    // Each pass of this loop is one run to the end; looping playback starts another pass
    // instead of calling itself, so a long loop session cannot exhaust the stack.
    for (;;) {
        if (m_host.scrollValue() == m_host.scrollMaximum())
            m_host.setScrollValue(m_host.scrollMinimum());
        // A video of one frame has nothing to play; with loop on this would otherwise spin
        // forever without serving a single event.
        if (m_host.scrollMaximum() <= m_host.scrollMinimum()) {
            StopPlayback();
            return true;
        }
        m_host.setPlayButtonImage(PlayPicture::Stop);
        m_state.IsPlaying = true;
        m_host.setMenuEnabled(MenuEntry::Loop, false);

        bool stopped = false;
        m_anchorFrame = -1; // each pass starts its own schedule
        while (m_host.scrollValue() < m_host.scrollMaximum()) {
            m_host.processEvents();
            if (alive.expired())
                return false; // the window went away while its events were served
            if (m_state.IsPlaying && m_state.settings.PlayAtRecordingSpeed && !paceNextFrame())
                return false;
            if (!m_state.IsPlaying) {
                stopped = true;
                break;
            }
            m_host.setScrollValue(m_host.scrollValue() + 1);
            if ((m_state.settings.StopAtDrop && m_state.MarkerLost) || m_state.AllMarkersLost)
                StopPlayback();
        }
        // A stop in the very last pass counts as a stop, not as reaching the end.
        if (stopped || !m_state.IsPlaying)
            return true;
        if (!m_state.LoopPlayback) {
            StopPlayback();
            return true;
        }
        m_host.setScrollValue(0);
        m_state.IsPlaying = false;
    }
}

bool Playback::paceNextFrame() {
    const double rate = m_host.workingView().AVIFrameRate();
    if (!(rate > 0.0) || !std::isfinite(rate))
        return true; // no rate, no recording speed: as fast as frames come
    const int current = m_host.scrollValue();
    const double now = m_host.clockSeconds();
    if (m_anchorFrame < 0) {
        // The frame on show is the start of the schedule.
        m_anchorFrame = current;
        m_anchorTime = now;
    }
    const double interval = 1.0 / rate;
    const double due = m_anchorTime + (current + 1 - m_anchorFrame) * interval;
    if (now > due + interval) {
        // Tracking (or a slow decode) has fallen behind: every frame is still shown, the next
        // one at once, and the schedule restarts from it instead of rushing the following
        // frames to catch up.
        m_anchorFrame = current + 1;
        m_anchorTime = now;
        return true;
    }
    if (due <= now)
        return true;
    const std::weak_ptr<int> alive = m_alive;
    m_host.serveEventsFor(due - now);
    return !alive.expired();
}

void Playback::StopPlayback() {
    if (m_state.IsPlaying) {
        m_host.setPlayButtonImage(PlayPicture::Start);
        m_state.IsPlaying = false;
    }
    m_host.setMenuEnabled(MenuEntry::Loop, !m_state.IsPlaying);
}

void Playback::ToggleLoop() {
    const bool checked = !m_host.menuChecked(MenuEntry::Loop);
    m_host.setMenuChecked(MenuEntry::Loop, checked);
    m_state.LoopPlayback = checked;
}

void Playback::setPacing(bool on) {
    m_host.setMenuChecked(MenuEntry::PlayAtRecordingSpeed, on);
    m_state.settings.PlayAtRecordingSpeed = on;
    common::writePacingSetting(m_state.IniFile, on);
}

void Playback::UpdateStatusBar() {
    const VideoView &view = m_host.workingView();
    const float rate = view.AVIFrameRate();
    const float time = rate > 0.0f ? static_cast<float>(view.AVIFrame()) / rate : 0.0f;
    m_host.setStatusPanelText(StatusPanel::Zoom, common::res(m_state, 1013) +
                                                     QString::number(view.Zoom()) +
                                                     QStringLiteral("%"));
    const int digits = std::clamp(m_state.settings.DecDigits, 0, kMaxDecimals);
    const int decimals = common::maskDecimals(common::DecimalMask(digits));
    m_host.setStatusPanelText(
        StatusPanel::Info,
        common::res(m_state, 1011) + QString::number(view.AVIFrame()) + common::res(m_state, 1012) +
            common::formatFixed(time, decimals, m_separator) + common::res(m_state, 1008));
}

void Playback::SetupFrameScrollBar(int count) {
    m_host.setScrollEnabled(true);
    int maximum = 0;
    if (count > 0) {
        maximum = std::min(count - 1, kMaxScrollFrame);
    } else {
        // A negative count (a damaged sequence file) is treated as "ask the view".
        const int frames = m_host.workingView().AVINumberOfFrames();
        if (frames < 1)
            maximum = 0;
        else
            maximum = std::min(frames - 1, kMaxScrollFrame);
    }
    m_host.setScrollRange(0, maximum);
    m_host.setScrollValue(m_host.scrollMinimum());
    UpdateStatusBar();
}

void Playback::keyDown(bool shiftInState) {
    if (!shiftInState)
        return;
    m_state.ShiftDown = true;
    m_host.setPointer(Qt::SizeAllCursor);
}

void Playback::keyUp() {
    m_host.setPointer(Qt::ArrowCursor);
    m_state.ShiftDown = false;
}

void Playback::stepTo(int value) {
    m_host.setScrollValue(std::clamp(value, m_host.scrollMinimum(), m_host.scrollMaximum()));
}

bool Playback::isNavigationKey(int qtKey) {
    return qtKey == Qt::Key_Left || qtKey == Qt::Key_Right || qtKey == Qt::Key_Home ||
           qtKey == Qt::Key_End || qtKey == Qt::Key_Space;
}

bool Playback::navigationKey(int qtKey) {
    if (m_state.NoVideo)
        return false;
    switch (qtKey) {
    case Qt::Key_Left:
        stepTo(m_host.scrollValue() - 1);
        return true;
    case Qt::Key_Right:
        stepTo(m_host.scrollValue() + 1);
        return true;
    case Qt::Key_Home:
        stepTo(m_host.scrollMinimum());
        return true;
    case Qt::Key_End:
        stepTo(m_host.scrollMaximum());
        return true;
    case Qt::Key_Space:
        Play();
        return true;
    default:
        return false;
    }
}

} // namespace video
