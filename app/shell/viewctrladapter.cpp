#include "app/shell/viewctrladapter.h"

#include "control/cvviewctrl.h"

namespace shell {

int ViewCtrlAdapter::AVIOpen(const std::string &name, int mode) {
    return m_control.AVIOpen(name, mode);
}
void ViewCtrlAdapter::AVIClose() {
    m_control.AVIClose();
}
std::string ViewCtrlAdapter::AVIFilename() const {
    return m_control.AVIFilename();
}
int ViewCtrlAdapter::AVIWidth() const {
    return m_control.AVIWidth();
}
int ViewCtrlAdapter::AVIHeight() const {
    return m_control.AVIHeight();
}
int ViewCtrlAdapter::AVINumberOfFrames() const {
    return m_control.AVINumberOfFrames();
}
float ViewCtrlAdapter::AVIFrameRate() const {
    return m_control.AVIFrameRate();
}
float ViewCtrlAdapter::FrameRateForced() const {
    return m_control.FrameRateForced();
}
void ViewCtrlAdapter::SetFrameRateForced(float rate) {
    m_control.SetFrameRateForced(rate);
}
int ViewCtrlAdapter::AVIFrame() const {
    return m_control.AVIFrame();
}
void ViewCtrlAdapter::SetAVIFrame(int frame) {
    m_control.SetAVIFrame(frame);
}
int ViewCtrlAdapter::Zoom() const {
    return m_control.Zoom();
}
void ViewCtrlAdapter::SetZoom(int zoom) {
    m_control.SetZoom(zoom);
}
int ViewCtrlAdapter::HorizontalOffset() const {
    return m_control.HorizontalOffset();
}
void ViewCtrlAdapter::SetHorizontalOffset(int offset) {
    m_control.SetHorizontalOffset(offset);
}
int ViewCtrlAdapter::VerticalOffset() const {
    return m_control.VerticalOffset();
}
void ViewCtrlAdapter::SetVerticalOffset(int offset) {
    m_control.SetVerticalOffset(offset);
}
int ViewCtrlAdapter::viewWidth() const {
    return m_control.width();
}
int ViewCtrlAdapter::viewHeight() const {
    return m_control.height();
}
void ViewCtrlAdapter::Refresh() {
    m_control.Refresh();
}
void ViewCtrlAdapter::holdRepaints() {
    m_control.holdRepaints();
}
void ViewCtrlAdapter::releaseRepaints() {
    m_control.releaseRepaints();
}
void ViewCtrlAdapter::setMessageBoxesEnabled(bool enabled) {
    m_control.setMessageBoxesEnabled(enabled);
}

} // namespace shell
