// What the video part calls on a video view: opening and closing, the picture's size, frame
// count and rate, the frame shown, zoom and scroll offsets, and repaints. The window's view
// controls implement it through a thin adapter; tests can use a view without a control.
#pragma once

#include <string>

namespace video {

class VideoView {
public:
    virtual ~VideoView() = default;

    // `mode` is the control's open mode; the result is 0 on success, negative on a failure.
    virtual int AVIOpen(const std::string &name, int mode) = 0;
    virtual void AVIClose() = 0;
    virtual std::string AVIFilename() const = 0;
    // The picture in image pixels, as the open mode leaves it (fields halve the height,
    // rotations by 90 and 270 degrees swap the sides); 0 without a video.
    virtual int AVIWidth() const = 0;
    virtual int AVIHeight() const = 0;
    virtual int AVINumberOfFrames() const = 0;
    // Frames per second as shown: from the forced rate when one is set, else from the
    // video's own (fields double either); 0 without a video.
    virtual float AVIFrameRate() const = 0;
    // The rate the stored pictures are taken to have; 0 for none.
    virtual float FrameRateForced() const = 0;
    virtual void SetFrameRateForced(float rate) = 0;
    virtual int AVIFrame() const = 0;
    virtual void SetAVIFrame(int frame) = 0;

    // Zoom in percent; offsets in view pixels of the scaled picture.
    virtual int Zoom() const = 0;
    virtual void SetZoom(int zoom) = 0;
    virtual int HorizontalOffset() const = 0;
    virtual void SetHorizontalOffset(int offset) = 0;
    virtual int VerticalOffset() const = 0;
    virtual void SetVerticalOffset(int offset) = 0;
    // The view's own size on the window, in pixels.
    virtual int viewWidth() const = 0;
    virtual int viewHeight() const = 0;

    virtual void Refresh() = 0;
    // Between a hold and its release repaints are only noted; the last release paints
    // once. Holds nest.
    virtual void holdRepaints() = 0;
    virtual void releaseRepaints() = 0;
    // Off for a view that opens files only to probe them, so that a refusal is reported
    // once, by the view the user sees.
    virtual void setMessageBoxesEnabled(bool enabled) = 0;
};

// Holds a view's repaints for its lifetime.
class RepaintHold {
public:
    explicit RepaintHold(VideoView &view) : m_view(view) { m_view.holdRepaints(); }
    ~RepaintHold() { m_view.releaseRepaints(); }
    RepaintHold(const RepaintHold &) = delete;
    RepaintHold &operator=(const RepaintHold &) = delete;

private:
    VideoView &m_view;
};

} // namespace video
