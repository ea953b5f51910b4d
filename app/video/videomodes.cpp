#include "app/video/videomodes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace video {

int roundToEven(double value) {
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value); // default rounding mode: to nearest, ties to even
    if (r >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

VideoModes::VideoModes(VideoHost &host, common::AppState &state, Playback &playback)
    : m_host(host), m_state(state), m_playback(playback) {}

void VideoModes::resetOrientation() {
    m_rotation = 0;
    m_mirror = 0;
}

void VideoModes::restoreOrientation(int mode, int rotation, int mirror) {
    m_rotation =
        rotation == kRotate90 || rotation == kRotate180 || rotation == kRotate270 ? rotation : 0;
    m_mirror = mirror == kMirror ? kMirror : 0;
    ApplyVideoMode(mode);
    m_state.VideoWidth = m_host.workingView().AVIWidth();
    m_state.VideoHeight = m_host.workingView().AVIHeight();
}

void VideoModes::UpdateVideoModeMenu() {
    const std::pair<MenuEntry, bool> marks[] = {
        {MenuEntry::FullFrames, m_state.VideoMode == kModeFullFrames},
        {MenuEntry::Fields, m_state.VideoMode == kModeFields},
        {MenuEntry::Jvc100, m_state.VideoMode == kModeJvc100},
        {MenuEntry::Jvc100Vertical, m_state.VideoMode == kModeJvc100Vertical},
        {MenuEntry::Jvc200, m_state.VideoMode == kModeJvc200},
        {MenuEntry::Mirror, m_mirror == kMirror},
        {MenuEntry::Rotate90, m_rotation == kRotate90},
        {MenuEntry::Rotate180, m_rotation == kRotate180},
        {MenuEntry::Rotate270, m_rotation == kRotate270},
    };
    for (const auto &[entry, checked] : marks)
        m_host.setMenuChecked(entry, checked);
}

void VideoModes::ApplyVideoMode(int mode) {
    m_state.VideoMode = mode;
    UpdateVideoModeMenu();
    // Without a video there is nothing to re-open; opening an empty name would enable the
    // scroll bar of a video that does not exist. The choice is kept for the marks.
    if (m_state.NoVideo)
        return;
    VideoView &view = m_host.workingView();
    const std::string name = view.AVIFilename();
    const int zoom = view.Zoom();
    // The result is not looked at: a mode the video cannot be read in shows as the view's
    // empty picture while the chosen mode stays.
    view.AVIOpen(name, openMode(mode));
    view.SetAVIFrame(0);
    m_playback.SetupFrameScrollBar(0);
    view.SetZoom(zoom);
    m_playback.UpdateStatusBar();
}

void VideoModes::ToggleMirror() {
    m_mirror = m_mirror == kMirror ? 0 : kMirror;
    ApplyVideoMode(m_state.VideoMode);
}

void VideoModes::Rotate(int rotation) {
    m_rotation = m_rotation == rotation ? 0 : rotation;
    ApplyVideoMode(m_state.VideoMode);
}

void VideoModes::ZoomChange(int zoom) {
    VideoView &view = m_host.workingView();
    view.SetZoom(std::clamp(zoom, kMinZoom, kMaxZoom));
    int h = view.HorizontalOffset();
    int v = view.VerticalOffset();
    const double f = view.Zoom() / 100.0;
    const int w = roundToEven(f * view.AVIWidth());
    const int ht = roundToEven(f * view.AVIHeight());
    if (view.viewWidth() > w - h)
        h = w - view.viewWidth();
    if (view.viewHeight() > ht - v)
        v = ht - view.viewHeight();
    view.SetHorizontalOffset(std::max(h, 0));
    view.SetVerticalOffset(std::max(v, 0));
    m_playback.UpdateStatusBar();
}

void VideoModes::zoomAt(int steps, QPoint at) {
    if (m_state.NoVideo || steps == 0)
        return;
    VideoView &view = m_host.workingView();
    const int before = view.Zoom();
    steps = std::clamp(steps, -kMaxZoom, kMaxZoom);
    const int zoom = std::clamp(before + 10 * steps, kMinZoom, kMaxZoom);
    if (zoom == before || before <= 0)
        return;
    // The picture point under the pointer, in picture pixels at the old zoom, placed under
    // the pointer again at the new one; ZoomChange then keeps the view inside the picture.
    const double x = (at.x() + view.HorizontalOffset()) * 100.0 / before;
    const double y = (at.y() + view.VerticalOffset()) * 100.0 / before;
    view.SetZoom(zoom);
    view.SetHorizontalOffset(std::max(roundToEven(x * zoom / 100.0 - at.x()), 0));
    view.SetVerticalOffset(std::max(roundToEven(y * zoom / 100.0 - at.y()), 0));
    ZoomChange(zoom);
}

void VideoModes::FitZoomToView() {
    VideoView &view = m_host.workingView();
    const int width = view.AVIWidth();
    const int height = view.AVIHeight();
    // A video that could not be opened has no size to fit; the zoom stays.
    if (width > 0 && height > 0) {
        const int zx = roundToEven(view.viewWidth() / (width / 100.0));
        const int zy = roundToEven(view.viewHeight() / (height / 100.0));
        view.SetZoom(zy < zx ? zy : zx);
    }
    view.SetHorizontalOffset(0);
    view.SetVerticalOffset(0);
    view.Refresh();
    m_playback.UpdateStatusBar();
}

bool VideoModes::toolbarZoom(ToolButton button) {
    const int zoom = m_host.workingView().Zoom();
    switch (button) {
    case ToolButton::Plus10:
        ZoomChange(zoom + 10);
        return true;
    case ToolButton::Minus10:
        ZoomChange(zoom - 10);
        return true;
    case ToolButton::To100:
        ZoomChange(100);
        return true;
    case ToolButton::FitView:
        FitZoomToView();
        return true;
    case ToolButton::Scale:
        break;
    }
    return false;
}

} // namespace video
