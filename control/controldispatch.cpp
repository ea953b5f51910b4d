// The control's automation interface: every DISPID of the interface mapped to its member.
#include "control/cvviewctrl.h"

#include "components/aviplayer/aviplayerobject.h"
#include "control/registration.h"

#include <QApplication>
#include <QPointer>

#include <memory>

namespace quivex {

using platform::DispatchKind;
using platform::S_OK;
using platform::Variant;

namespace {

constexpr auto Put = DispatchKind::PropertyPut;

using aviplayer::PaintTargetArg;

// The control's dispatch interface.
constexpr platform::Guid kDQuivex = platform::guidOf("{04521861-9173-11D0-B9DA-444553540000}");

// A window travels as its window identifier, never as a pointer; an argument that names
// no window is no window, never a mismatch.
struct WindowArg {
    QWidget *window = nullptr;
    explicit operator QWidget *() const { return window; }
};

// The dispatch object hosts hold; it forwards to the widget while that lives.
class ControlDispatch final : public platform::DispatchObject<kDQuivex> {
public:
    explicit ControlDispatch(CVViewCtrl *control) : m_control(control) {}

private:
    const platform::DispatchTable *dispatchTable() const override {
        return m_control ? &m_control->dispatchTable() : nullptr;
    }
    QPointer<CVViewCtrl> m_control;
};

// The dispatch object of a control made by its class identifier: it owns the view.
class OwningControlDispatch final : public platform::DispatchObject<kDQuivex> {
public:
    OwningControlDispatch() : m_control(std::make_unique<CVViewCtrl>()) {}

private:
    const platform::DispatchTable *dispatchTable() const override {
        return &m_control->dispatchTable();
    }
    std::unique_ptr<CVViewCtrl> m_control;
};

} // namespace

platform::HRESULT createControlObject(const platform::Guid &iid, void **object) {
    if (!object)
        return platform::E_POINTER;
    *object = nullptr;
    if (!QApplication::instance())
        return platform::E_UNEXPECTED;
    auto created = ComPtr<platform::IDispatch>::attach(new OwningControlDispatch);
    return created->QueryInterface(iid, object);
}

} // namespace quivex

template <> struct platform::DispatchValue<quivex::WindowArg> {
    static quivex::WindowArg in(const Variant &v, bool *) {
        return {QWidget::find(static_cast<WId>(v.toLongLong()))};
    }
};

namespace quivex {

ComPtr<platform::IDispatch> CVViewCtrl::dispatch() {
    return ComPtr<platform::IDispatch>::attach(new ControlDispatch(this));
}

void CVViewCtrl::buildDispatchTable() {
    using C = CVViewCtrl;
    using platform::IPicture;
    auto t = m_table.bind(this);
    // BOOL members travel as VT_BOOL and colours as I4; everything else as its own type.
    t.property(1, "AVIWidth", &C::AVIWidth);
    t.property(2, "AVIHeight", &C::AVIHeight);
    t.property(3, "Zoom", &C::Zoom, &C::SetZoom);
    t.property(4, "RawDatas", &C::RawDatas, &C::SetRawDatas);
    t.property(5, "Specification", &C::Specification, &C::SetSpecification);
    t.property(6, "PenWidth", &C::PenWidth, &C::SetPenWidth);
    t.property<bool>(7, "PointsVisible", &C::PointsVisible, &C::SetPointsVisible);
    t.property<bool>(8, "ConnectionsVisible", &C::ConnectionsVisible, &C::SetConnectionsVisible);
    t.property(9, "HorizontalOffset", &C::HorizontalOffset, &C::SetHorizontalOffset);
    t.property(10, "VerticalOffset", &C::VerticalOffset, &C::SetVerticalOffset);
    t.property<bool>(11, "LiveVideo", &C::LiveVideo, &C::SetLiveVideo);
    t.property<bool>(12, "FireStatusEnabled", &C::FireStatusEnabled, &C::SetFireStatusEnabled);
    t.property(13, "Angles", &C::Angles, &C::SetAngles);
    t.property(14, "CaptureFrameRate", &C::CaptureFrameRate, &C::SetCaptureFrameRate);
    t.property(15, "CaptureFilename", &C::CaptureFilename, &C::SetCaptureFilename);
    t.property(16, "AVIFrame", &C::AVIFrame, &C::SetAVIFrame);
    t.property(17, "AVINumberOfFrames", &C::AVINumberOfFrames);
    t.property(18, "AVIFrameRate", &C::AVIFrameRate);
    t.property(19, "CaptureWidth", &C::CaptureWidth);
    t.property(20, "CaptureHeight", &C::CaptureHeight);
    t.property(21, "AVIFrameOffset", &C::AVIFrameOffset, &C::SetAVIFrameOffset);
    t.property(22, "ToolTipText", &C::ToolTipText, &C::SetToolTipText);
    t.property(23, "OverlayPicture", &C::OverlayPicture, &C::SetOverlayPicture);
    t.property(24, "OverlayFlags", &C::OverlayFlags, &C::SetOverlayFlags);
    t.property<LONG>(25, "OverlayTransparentColor", &C::OverlayTransparentColor,
                     &C::SetOverlayTransparentColor);
    t.property(26, "GraphicItems", &C::GraphicItems, &C::SetGraphicItems);
    t.property(27, "Distances", &C::Distances, &C::SetDistances);
    t.property(28, "Cal3D", &C::Cal3D, &C::SetCal3D);
    t.property(29, "Cal2D", &C::Cal2D, &C::SetCal2D);
    t.property<bool>(30, "UpdateFrame", &C::UpdateFrame, &C::SetUpdateFrame);
    t.property(31, "AVIFilename", &C::AVIFilename);
    t.property(32, "LCID", &C::LCID, &C::SetLCID);
    t.property(33, "CaptureFileSize", &C::CaptureFileSize, &C::SetCaptureFileSize);
    t.property(34, "CaptureDevice", &C::CaptureDevice, &C::SetCaptureDevice);
    t.property(35, "CaptureMode", &C::CaptureMode, &C::SetCaptureMode);
    t.property(36, "CapturePreviewMode", &C::CapturePreviewMode, &C::SetCapturePreviewMode);
    t.property<ComPtr<IPicture>(LONG, LONG, bool, bool)>(55, "Picture", &C::Picture);
    t.property<ComPtr<IUnknown>(LONG, LONG, LONG, LONG, LONG, LONG, bool, bool)>(56, "PicturePart",
                                                                                 &C::PicturePart);
    t.property(57, "ReferenceTime", &C::ReferenceTime);
    t.property(58, "CaptureDeviceName", &C::CaptureDeviceName);
    t.property<LONG>(-501, "BackColor", &C::BackColor, &C::SetBackColor);
    // Appearance reads as an I2, but a put takes any I4 and keeps its low 16 bits.
    t.property(-520, "Appearance", &C::Appearance);
    t.add(-520, Put, "Appearance", 1, [this](std::span<Variant> v, Variant *) {
        bool ok = false;
        const LONG appearance = v[0].toLong(&ok);
        if (!ok)
            return platform::DISP_E_TYPEMISMATCH;
        SetAppearance(static_cast<platform::SHORT>(appearance));
        return S_OK;
    });
    t.property(59, "FrameRateForced", &C::FrameRateForced, &C::SetFrameRateForced);
    t.property(60, "CameraType", &C::CameraType);
    t.property(61, "CameraPropertiesAvailable", &C::CameraPropertiesAvailable);
    t.property(65, "Flag", &C::Flag, &C::SetFlag);
    t.property(72, "Datas3D", &C::Datas3D, &C::SetDatas3D);
    t.property(74, "AVI", &C::AVI);

    t.method(37, "AVIOpen", &C::AVIOpen);
    t.method(38, "AVIClose", &C::AVIClose);
    t.method(39, "DoDialogVideoSource", &C::DoDialogVideoSource);
    t.method(40, "DoDialogVideoFormat", &C::DoDialogVideoFormat);
    t.method(41, "DoDialogVideoDisplay", &C::DoDialogVideoDisplay);
    t.method(42, "CaptureSequence", &C::CaptureSequence);
    t.method<bool()>(43, "Copy", &C::Copy);
    t.method(44, "CaptureSaveAs", &C::CaptureSaveAs);
    t.method(45, "QuickRefresh", &C::QuickRefresh);
    t.method(46, "Save", &C::Save);
    t.method(47, "Load", &C::Load);
    t.method<void(WindowArg)>(48, "EditProperties", &C::EditProperties);
    t.method(49, "CaptureStop", &C::CaptureStop);
    t.method(50, "MovePointer", &C::MovePointer);
    t.method<LONG(PaintTargetArg, LONG, LONG, LONG, LONG)>(51, "Draw", &C::Draw);
    t.method<bool(Variant *, Variant *, Variant *, Variant *)>(52, "GetCaptureStatistics",
                                                               &C::GetCaptureStatistics);
    t.method(53, "CaptureInit", &C::CaptureInit);
    t.method(54, "CaptureStart", &C::CaptureStart);
    t.method(-550, "Refresh", &C::Refresh);
    t.method(62, "LoadCameraProperties", &C::LoadCameraProperties);
    t.method(63, "SaveCameraProperties", &C::SaveCameraProperties);
    t.method<LONG(WindowArg)>(64, "ShowCameraProperties", &C::ShowCameraProperties);
    t.method(66, "CaptureInitStartMultiple", &C::CaptureInitStartMultiple);
    t.method(67, "CaptureUnInitStartMultiple", &C::CaptureUnInitStartMultiple);
    t.method(68, "CaptureStartMultiple", &C::CaptureStartMultiple);
    t.method(69, "CaptureStopMultiple", &C::CaptureStopMultiple);
    t.method<LONG(bool, LONG, float, float, float, float)>(70, "ActivateRectangle",
                                                           &C::ActivateRectangle);
    t.method<LONG(ComPtr<IUnknown>, std::string, LONG, LONG, LONG, float, LONG)>(71, "DoMixPicture",
                                                                                 &C::DoMixPicture);
    t.method<LONG(bool, bool)>(73, "CaptureStartAcquisitionOfAllBCAMs",
                               &C::CaptureStartAcquisitionOfAllBCAMs);
}

} // namespace quivex
