#include "app/video/recordingmonitor.h"

#include "app/common/appstate.h"
#include "app/common/numbertext.h"
#include "app/common/resources.h"

#include <algorithm>

namespace video {

void RecordingMonitor::start(long long nowMs) {
    m_recording = true;
    m_frames = m_dropped = m_elapsedMs = 0;
    m_lastProgressMs = nowMs;
}

void RecordingMonitor::update(long frames, long dropped, long elapsedMs, long long nowMs) {
    if (frames > m_frames)
        m_lastProgressMs = nowMs;
    // Counts only grow during one recording; a smaller one is a late event of an older one.
    m_frames = std::max(m_frames, frames);
    m_dropped = std::max(m_dropped, dropped);
    m_elapsedMs = std::max(m_elapsedMs, elapsedMs);
}

bool RecordingMonitor::stalled(long long nowMs) const {
    return m_recording && nowMs - m_lastProgressMs >= kStallMs;
}

QString RecordingMonitor::statusText(const common::AppState &state) const {
    return common::res(state, 1542)
        .arg(m_frames)
        .arg(m_dropped)
        .arg(common::formatFixed(m_elapsedMs / 1000.0, 2, common::userSeparator()));
}

} // namespace video
