// Mouse work on the video and the marker table: creating a marker (press at the point, drag
// sideways for its radius, release), placing a hand-tracked marker, moving the selected
// marker with Shift+Ctrl, panning (Shift+drag) and zooming (Ctrl+drag), opening a video
// from the empty view, the popups, selecting markers in the table, and the magnifier.
// Key states are the mouse mask: 1 left, 2 right, 4 Shift, 8 Ctrl, 16 middle button.
#pragma once

#include "platform/wintypes.h"

namespace markers {

class MarkerController;

inline constexpr platform::LONG kLeft = 1;
inline constexpr platform::LONG kRight = 2;
inline constexpr platform::LONG kShift = 4;
inline constexpr platform::LONG kCtrl = 8;
// The only modifier combination that reaches marker work: left + Shift + Ctrl (a move).
inline constexpr platform::LONG kMoveKeys = kLeft | kShift | kCtrl;

inline constexpr int kMaxRadius = 100;
inline constexpr int kMinDragZoom = 20;
inline constexpr int kMaxDragZoom = 400;

class MarkerMouse {
public:
    explicit MarkerMouse(MarkerController &markers) : m_markers(markers) {}

    // Events of the working view: key state, client position, image position in pixels.
    void SpecialMouseDown(platform::LONG keys, platform::LONG x, platform::LONG y, double fx,
                          double fy);
    void SpecialMouseMove(platform::LONG keys, platform::LONG x, platform::LONG y, double fx,
                          double fy);
    void SpecialMouseUp(platform::LONG keys, platform::LONG x, platform::LONG y, double fx,
                        double fy);

    // The data of a new marker at the pressed point (its row follows at the release).
    void CreateMarker(double x, double y);
    // The selected hand-tracked marker at (x, y) in the current frame.
    void PlaceSelectedMarker(double x, double y);
    // A click on a table row.
    void tableItemClick(int row);
    // A mouse release on the table: which button and whether it was over a row.
    void tableMouseUp(platform::LONG button, bool overRow);
    // The selection look of the selected row's marker at the current frame.
    void ShowSelection();
    // The magnifier: the square (left, top, size) of the current frame at the view's zoom.
    void ShowMagnifier(double left, double top, double size);

    // True when (fx, fy) lies in the video, all four borders included.
    bool insideVideo(double fx, double fy) const;

private:
    void finishNewMarker(double releaseX, double releaseY);
    void refuseTeaching();
    void moveSelectedMarker(double fx, double fy);
    void pan(platform::LONG x, platform::LONG y);
    void zoom(platform::LONG y);
    void sizeNewMarker(double fx, double fy);
    // An offset limited so that the zoomed video still covers the view where it can.
    static platform::LONG limitOffset(platform::LONG offset, platform::LONG zoomedSize,
                                      platform::LONG viewSize);
    // Sets the view's offsets, each limited as above for the video at `zoom` percent.
    void setLimitedOffsets(platform::LONG horizontal, platform::LONG vertical, platform::LONG zoom);
    // The colour the colour counter gives the marker being made.
    platform::COLORREF counterColor() const;

    MarkerController &m_markers;
};

} // namespace markers
