// Video modes, rotation and mirroring (all open modes of the view, so applying one
// re-opens the video) and the zoom commands of the toolbar.
#pragma once

#include <QPoint>

#include "app/common/appstate.h"
#include "app/video/playback.h"
#include "app/video/videohost.h"
#include "components/aviplayer/openmode.h"

namespace video {

// Open-mode values of the view control: the player's, and one request of the application's.
inline constexpr int kModeFullFrames = aviplayer::TALVORAVIMODE_NORMAL;
inline constexpr int kModeFields = aviplayer::TALVORAVIMODE_FIELDS;
inline constexpr int kModeAutomatic = 2; // only as a request to LoadVideo
inline constexpr int kModeJvc100 = aviplayer::TALVORAVIMODE_JVC9X00;
inline constexpr int kModeJvc100Vertical = aviplayer::TALVORAVIMODE_JVC9X00_VERT;
inline constexpr int kModeJvc200 = aviplayer::TALVORAVIMODE_JVC9X00_200;
inline constexpr int kRotate90 = aviplayer::TALVORAVIMODE_ROTATE_90;
inline constexpr int kRotate180 = aviplayer::TALVORAVIMODE_ROTATE_180;
inline constexpr int kRotate270 = aviplayer::TALVORAVIMODE_ROTATE_270;
inline constexpr int kMirror = aviplayer::TALVORAVIMODE_HORIZONTAL_FLIP;
// Always added to the open mode; the player passes it over.
inline constexpr int kOpenModeFlag = aviplayer::kHostModeBit;
inline constexpr int kMinZoom = 20;
inline constexpr int kMaxZoom = 400;

class VideoModes {
public:
    VideoModes(VideoHost &host, common::AppState &state, Playback &playback);

    int VideoRotation() const { return m_rotation; }
    int VideoMirror() const { return m_mirror; }
    // After a video was opened: rotation and mirroring off.
    void resetOrientation();
    // A saved orientation put back: the video is opened again in `mode` with it (a project
    // being opened); the video's size follows the rotation.
    void restoreOrientation(int mode, int rotation, int mirror);
    // The open mode the view is given for a mode with the current orientation.
    int openMode(int mode) const { return m_mirror + mode + m_rotation + kOpenModeFlag; }

    // The nine check marks of the video popup menu from mode, mirror and rotation.
    void UpdateVideoModeMenu();
    // Re-opens the current video in a mode, keeping the project; back to frame 0.
    void ApplyVideoMode(int mode);
    // `mnuPopupSMirror`.
    void ToggleMirror();
    // `mnuPopupSRotate90/180/270`: the active rotation again turns rotation off.
    void Rotate(int rotation);

    // Zoom clamped to 20..400; the offsets keep the view inside the scaled picture.
    void ZoomChange(int zoom);
    // The mouse wheel over the view: `steps` notches (positive away from the user) of the
    // toolbar's 10 percentage points, keeping the picture point under `at` (view pixels)
    // where it is as far as the picture's edges allow.
    void zoomAt(int steps, QPoint at);
    // The zoom at which the whole picture fits the view (not clamped).
    void FitZoomToView();
    // The toolbar's zoom buttons "Plus10", "Minus10", "To100", "FitView"; false for others.
    bool toolbarZoom(ToolButton button);

private:
    VideoHost &m_host;
    common::AppState &m_state;
    Playback &m_playback;
    int m_rotation = 0;
    int m_mirror = 0;
};

// Rounds to the nearest integer, ties to even, saturating at the int range.
int roundToEven(double value);

} // namespace video
