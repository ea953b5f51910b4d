// The video part's view of a Quivex view control: every call passes straight through, in the
// control's own units.
#pragma once

#include "app/video/videoview.h"

namespace quivex {
class CVViewCtrl;
}

namespace shell {

class ViewCtrlAdapter final : public video::VideoView {
public:
    // The control outlives the adapter.
    explicit ViewCtrlAdapter(quivex::CVViewCtrl &control) : m_control(control) {}

    int AVIOpen(const std::string &name, int mode) override;
    void AVIClose() override;
    std::string AVIFilename() const override;
    int AVIWidth() const override;
    int AVIHeight() const override;
    int AVINumberOfFrames() const override;
    float AVIFrameRate() const override;
    float FrameRateForced() const override;
    void SetFrameRateForced(float rate) override;
    int AVIFrame() const override;
    void SetAVIFrame(int frame) override;
    int Zoom() const override;
    void SetZoom(int zoom) override;
    int HorizontalOffset() const override;
    void SetHorizontalOffset(int offset) override;
    int VerticalOffset() const override;
    void SetVerticalOffset(int offset) override;
    int viewWidth() const override;
    int viewHeight() const override;
    void Refresh() override;
    void holdRepaints() override;
    void releaseRepaints() override;
    void setMessageBoxesEnabled(bool enabled) override;

private:
    quivex::CVViewCtrl &m_control;
};

} // namespace shell
