// What the video part of the program needs from the main window: the frame scroll bar, the
// two views, buttons, menu check marks, status bar panels, the pointer and the message loop.
// The window implements it; tests drive the logic through a fake.
#pragma once

#include "app/video/videoview.h"

#include <QString>
#include <Qt>

class QWidget;

namespace video {

// The widgets the video part names. Values count from 0 without gaps, and each count is taken
// from its enum's last value: a new value goes last and becomes its count's anchor.

// Entries of the video popup menu whose marks and states the video part sets: `mnuPopupSLoop`,
// `mnuPopupSRealtime`, the five modes `mnuPopupSFullFrames` to `mnuPopupSJVC200`,
// `mnuPopupSMirror` and `mnuPopupSRotate90/180/270`.
enum class MenuEntry {
    Loop,
    PlayAtRecordingSpeed,
    FullFrames,
    Fields,
    Jvc100,
    Jvc100Vertical,
    Jvc200,
    Mirror,
    Rotate90,
    Rotate180,
    Rotate270,
};
inline constexpr int kMenuEntryCount = static_cast<int>(MenuEntry::Rotate270) + 1;

// Toolbar buttons the video part enables: keys "Scale", "Plus10", "Minus10", "To100",
// "FitView".
enum class ToolButton {
    Scale,
    Plus10,
    Minus10,
    To100,
    FitView,
};
inline constexpr int kToolButtonCount = static_cast<int>(ToolButton::FitView) + 1;

// Status bar panels: keys "Zoom" and "Info".
enum class StatusPanel {
    Zoom,
    Info,
};
inline constexpr int kStatusPanelCount = static_cast<int>(StatusPanel::Info) + 1;

// Pictures of `btnPlay`, valued as their indexes in the image list `imlIcons`.
enum class PlayPicture { Start = 9, Stop = 11 };

class VideoHost {
public:
    virtual ~VideoHost();

    // `qvxVideo`, the working view, and `qvxHelper`, the hidden one that probes sizes.
    virtual VideoView &workingView() = 0;
    virtual VideoView &helperView() = 0;
    // Owner of message boxes and the open dialog.
    virtual QWidget *dialogParent() = 0;

    // `hscScroll`. Setting a value that differs from the current one (also through a range
    // that no longer holds it) must run the frame-change handling, as the scroll bar's own
    // change notification does.
    virtual int scrollValue() = 0;
    virtual int scrollMinimum() = 0;
    virtual int scrollMaximum() = 0;
    virtual void setScrollRange(int minimum, int maximum) = 0;
    virtual void setScrollValue(int value) = 0;
    virtual void setScrollEnabled(bool enabled) = 0;

    // `btnPlay`, `btnSkip` and `btnBack` together.
    virtual void setPlaybackButtonsEnabled(bool enabled) = 0;
    // The play button's picture, a toolbar button, a popup menu entry and a status bar panel,
    // each one of the widgets named above.
    virtual void setPlayButtonImage(PlayPicture picture) = 0;
    virtual void setToolbarButtonEnabled(ToolButton button, bool enabled) = 0;
    virtual void setMenuChecked(MenuEntry entry, bool checked) = 0;
    virtual bool menuChecked(MenuEntry entry) = 0;
    virtual void setMenuEnabled(MenuEntry entry, bool enabled) = 0;
    virtual void setStatusPanelText(StatusPanel panel, const QString &text) = 0;
    // Caption of `fraVideo`.
    virtual void setVideoCaption(const QString &caption) = 0;
    // Empties the magnifier picture `imgLupe`.
    virtual void clearMagnifier() = 0;
    virtual void setPointer(Qt::CursorShape shape) = 0;

    // Serves pending user-interface events (clicks between played frames).
    virtual void processEvents() = 0;
    // A steady clock in seconds, and serving events until it has advanced by `seconds`:
    // the pacing of playback at the recording speed.
    virtual double clockSeconds();
    virtual void serveEventsFor(double seconds);
    // The tracking pass for the current frame (markers); it reads the frame from the scroll
    // bar and sets the loss flags of the shared state.
    virtual void UpdateFrameMarkers() = 0;
    // The marker part of a project reset: markers out of their engines, the five data sets
    // and the overlay item collection emptied, the marker table cleared and repainted.
    virtual void discardMarkers() = 0;

    // A long open: shown from begin to end, with the indexed fraction (0..1) reported in
    // between; false from the progress report means the user cancelled.
    virtual void beginLongOperation(const QString &text);
    // Playing has ended (at the end of the video or by a stop); the window may do what waits
    // for it (keep the work safe).
    virtual void playbackEnded();
    virtual bool longOperationProgress(double fraction);
    virtual void endLongOperation();
};

} // namespace video
