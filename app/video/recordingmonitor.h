// Follows a recording from a camera through the view's statistics events: the counts the
// recording window shows, and whether the camera has stopped delivering pictures (unplugged,
// switched off, or a driver that hangs), which no event reports by itself.
#pragma once

#include <QString>

namespace common {
struct AppState;
}

namespace video {

class RecordingMonitor {
public:
    // Without a new frame for this long the camera counts as stalled (milliseconds).
    static constexpr long long kStallMs = 2000;

    void start(long long nowMs);
    // A statistics event: frames seen (written and dropped), dropped frames, elapsed time.
    void update(long frames, long dropped, long elapsedMs, long long nowMs);
    void stop() { m_recording = false; }

    bool recording() const { return m_recording; }
    // Recording, and no frame came for kStallMs since the last one (or since the start).
    bool stalled(long long nowMs) const;
    long frames() const { return m_frames; }
    long dropped() const { return m_dropped; }
    // Frames that reached the file.
    long written() const { return m_frames - m_dropped; }
    // "Frames: 12   Dropped: 0   Time: 0.48 s" in the interface language.
    QString statusText(const common::AppState &state) const;

private:
    bool m_recording = false;
    long m_frames = 0;
    long m_dropped = 0;
    long m_elapsedMs = 0;
    long long m_lastProgressMs = 0;
};

} // namespace video
