// Frame navigation and playback: the current frame is the scroll bar's value; every change
// moves the view, runs the tracking pass and refreshes the status bar. Playing is a loop
// that advances the scroll bar one frame per pass, serving the message loop in between.
#pragma once

#include "app/common/appstate.h"
#include "app/video/videohost.h"

#include <memory>

namespace video {

// Scroll bar and frame numbers are 16-bit on the window: the last reachable frame.
inline constexpr int kMaxScrollFrame = 32767;

class Playback {
public:
    Playback(VideoHost &host, common::AppState &state);
    ~Playback();

    // Runs for the scroll bar's change and scroll notifications.
    void OnFrameChanged();
    // `btnBack`, `btnSkip`, `btnPlay`.
    void Rewind();
    void FastForward();
    void Play();
    void StopPlayback();
    // `mnuPopupSLoop`.
    void ToggleLoop();
    // `mnuPopupSRealtime`: playing at the recording speed on or off, its check mark, and the
    // setting stored at once.
    void setPacing(bool on);
    // Panels "Zoom" and "Info" from the view's zoom, frame and rate.
    void UpdateStatusBar();
    // Enables the scroll bar for a video and brings it to frame 0: `count` frames when not 0
    // (a sequence's file count), else the view's frame count.
    void SetupFrameScrollBar(int count);

    // Shift shows the move pointer while held.
    void keyDown(bool shiftInState);
    void keyUp();
    // Desktop keys on top: Left/Right one frame, Home/End first/last, Space play/stop.
    // True when the key was used.
    bool navigationKey(int qtKey);
    // Left, Right, Home, End and Space: the keys navigationKey acts on.
    static bool isNavigationKey(int qtKey);

    // The decimal separator of times (the user's, unless a test sets one).
    void setDecimalSeparator(const QString &separator) { m_separator = separator; }

private:
    void stepTo(int value);
    // With playing at the recording speed: waits, serving events, until the next frame's
    // time. False when the window went away meanwhile.
    bool paceNextFrame();
    // The play loop; false when the window went away while its events were served.
    bool playLoop();

    VideoHost &m_host;
    common::AppState &m_state;
    QString m_separator;
    // The pacing schedule of the running pass: frame `m_anchorFrame` was due at
    // `m_anchorTime` (host clock seconds); frame f is due (f - m_anchorFrame) / rate later.
    double m_anchorTime = 0.0;
    int m_anchorFrame = -1;
    // Lets a play loop notice that its Playback went away while events were served.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace video
