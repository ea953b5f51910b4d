// The control's automation interface: every DISPID of the interface mapped to its member.
#include "control/cvviewctrl.h"

#include "components/aviplayer/painttarget.h"

#include <QPainter>
#include <QPointer>

namespace quivex {

using platform::DispatchKind;
using platform::HRESULT;
using platform::S_OK;
using platform::Variant;

namespace {

constexpr auto Get = DispatchKind::PropertyGet;
constexpr auto Put = DispatchKind::PropertyPut;
constexpr auto Call = DispatchKind::Method;

// Converts an argument, failing the call with a type mismatch when it cannot.
struct Args {
    std::span<Variant> values;
    bool ok = true;

    LONG l(std::size_t i) {
        bool good = false;
        const LONG v = values[i].toLong(&good);
        ok = ok && good;
        return v;
    }
    float f(std::size_t i) {
        bool good = false;
        const float v = values[i].toFloat(&good);
        ok = ok && good;
        return v;
    }
    double d(std::size_t i) {
        bool good = false;
        const double v = values[i].toDouble(&good);
        ok = ok && good;
        return v;
    }
    BOOL b(std::size_t i) {
        bool good = false;
        const bool v = values[i].toBool(&good);
        ok = ok && good;
        return v ? 1 : 0;
    }
    std::string s(std::size_t i) {
        bool good = false;
        std::string v = values[i].toString(&good);
        ok = ok && good;
        return v;
    }
    ComPtr<IUnknown> u(std::size_t i) { return values[i].toUnknown(); }
    // A painter travels as a paint target object, a window as its window identifier; an
    // integer is never taken for a pointer.
    QPainter *painter(std::size_t i) {
        auto target = values[i].toUnknown().query<aviplayer::IPaintTarget>();
        return target ? target->painter() : nullptr;
    }
    QWidget *window(std::size_t i) {
        return QWidget::find(static_cast<WId>(values[i].toLongLong()));
    }
    HRESULT status() const { return ok ? S_OK : platform::DISP_E_TYPEMISMATCH; }
};

// The dispatch object hosts hold; it forwards to the widget while that lives.
class ControlDispatch final : public platform::RefCounted<platform::IDispatch> {
public:
    explicit ControlDispatch(CVViewCtrl *control) : m_control(control) {}
    HRESULT QueryInterface(const platform::Guid &iid, void **object) override {
        if (!object)
            return platform::E_POINTER;
        if (iid == IUnknown::IID || iid == IDispatch::IID || iid == kDQuivex) {
            AddRef();
            *object = static_cast<platform::IDispatch *>(this);
            return S_OK;
        }
        *object = nullptr;
        return platform::E_NOINTERFACE;
    }
    HRESULT Invoke(platform::DISPID id, DispatchKind kind, std::span<Variant> args,
                   Variant *result) override {
        if (!m_control)
            return platform::E_FAIL;
        return m_control->dispatchTable().invoke(id, kind, args, result);
    }
    static constexpr platform::Guid kDQuivex =
        platform::guidOf("{04521861-9173-11D0-B9DA-444553540000}");

private:
    QPointer<CVViewCtrl> m_control;
};

} // namespace

ComPtr<platform::IDispatch> CVViewCtrl::dispatch() {
    return ComPtr<platform::IDispatch>::attach(new ControlDispatch(this));
}

void CVViewCtrl::buildDispatchTable() {
    auto &t = m_table;
    // A property get with no arguments.
    auto getter = [&](platform::DISPID id, const char *name, auto read) {
        t.add(id, Get, name, 0, [read](std::span<Variant>, Variant *r) {
            *r = read();
            return S_OK;
        });
    };
    // A property put of one value.
    auto setter = [&](platform::DISPID id, const char *name, auto write) {
        t.add(id, Put, name, 1, [write](std::span<Variant> a, Variant *) {
            Args args{a};
            write(args);
            return args.status();
        });
    };
    auto unknownOf = [](auto ptr) {
        return Variant(ComPtr<IUnknown>::share(ptr.get()));
    };

    getter(1, "AVIWidth", [this] { return Variant(AVIWidth()); });
    getter(2, "AVIHeight", [this] { return Variant(AVIHeight()); });
    getter(3, "Zoom", [this] { return Variant(Zoom()); });
    setter(3, "Zoom", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetZoom(v);
    });
    getter(4, "RawDatas", [this] { return Variant(RawDatas()); });
    setter(4, "RawDatas", [this](Args &a) { SetRawDatas(a.u(0)); });
    getter(5, "Specification", [this] { return Variant(Specification()); });
    setter(5, "Specification", [this](Args &a) { SetSpecification(a.u(0)); });
    getter(6, "PenWidth", [this] { return Variant(PenWidth()); });
    setter(6, "PenWidth", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetPenWidth(v);
    });
    getter(7, "PointsVisible", [this] { return Variant(PointsVisible() != 0); });
    setter(7, "PointsVisible", [this](Args &a) {
        if (const BOOL v = a.b(0); a.ok)
            SetPointsVisible(v);
    });
    getter(8, "ConnectionsVisible", [this] { return Variant(ConnectionsVisible() != 0); });
    setter(8, "ConnectionsVisible", [this](Args &a) {
        if (const BOOL v = a.b(0); a.ok)
            SetConnectionsVisible(v);
    });
    getter(9, "HorizontalOffset", [this] { return Variant(HorizontalOffset()); });
    setter(9, "HorizontalOffset", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetHorizontalOffset(v);
    });
    getter(10, "VerticalOffset", [this] { return Variant(VerticalOffset()); });
    setter(10, "VerticalOffset", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetVerticalOffset(v);
    });
    getter(11, "LiveVideo", [this] { return Variant(LiveVideo() != 0); });
    setter(11, "LiveVideo", [this](Args &a) {
        if (const BOOL v = a.b(0); a.ok)
            SetLiveVideo(v);
    });
    getter(12, "FireStatusEnabled", [this] { return Variant(FireStatusEnabled() != 0); });
    setter(12, "FireStatusEnabled", [this](Args &a) {
        if (const BOOL v = a.b(0); a.ok)
            SetFireStatusEnabled(v);
    });
    getter(13, "Angles", [this] { return Variant(Angles()); });
    setter(13, "Angles", [this](Args &a) { SetAngles(a.u(0)); });
    getter(14, "CaptureFrameRate", [this] { return Variant(CaptureFrameRate()); });
    setter(14, "CaptureFrameRate", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetCaptureFrameRate(v);
    });
    getter(15, "CaptureFilename", [this] { return Variant(CaptureFilename()); });
    setter(15, "CaptureFilename", [this](Args &a) {
        if (auto v = a.s(0); a.ok)
            SetCaptureFilename(v);
    });
    getter(16, "AVIFrame", [this] { return Variant(AVIFrame()); });
    setter(16, "AVIFrame", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetAVIFrame(v);
    });
    getter(17, "AVINumberOfFrames", [this] { return Variant(AVINumberOfFrames()); });
    getter(18, "AVIFrameRate", [this] { return Variant(AVIFrameRate()); });
    getter(19, "CaptureWidth", [this] { return Variant(CaptureWidth()); });
    getter(20, "CaptureHeight", [this] { return Variant(CaptureHeight()); });
    getter(21, "AVIFrameOffset", [this] { return Variant(AVIFrameOffset()); });
    setter(21, "AVIFrameOffset", [this](Args &a) {
        if (const float v = a.f(0); a.ok)
            SetAVIFrameOffset(v);
    });
    getter(22, "ToolTipText", [this] { return Variant(ToolTipText()); });
    setter(22, "ToolTipText", [this](Args &a) {
        if (auto v = a.s(0); a.ok)
            SetToolTipText(v);
    });
    getter(23, "OverlayPicture", [this, unknownOf] { return unknownOf(OverlayPicture()); });
    setter(23, "OverlayPicture", [this](Args &a) { SetOverlayPicture(a.u(0)); });
    getter(24, "OverlayFlags", [this] { return Variant(OverlayFlags()); });
    setter(24, "OverlayFlags", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetOverlayFlags(v);
    });
    getter(25, "OverlayTransparentColor",
           [this] { return Variant(static_cast<LONG>(OverlayTransparentColor())); });
    setter(25, "OverlayTransparentColor", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetOverlayTransparentColor(static_cast<OLE_COLOR>(v));
    });
    getter(26, "GraphicItems", [this] { return Variant(GraphicItems()); });
    setter(26, "GraphicItems", [this](Args &a) { SetGraphicItems(a.u(0)); });
    getter(27, "Distances", [this] { return Variant(Distances()); });
    setter(27, "Distances", [this](Args &a) { SetDistances(a.u(0)); });
    getter(28, "Cal3D", [this] { return Variant(Cal3D()); });
    setter(28, "Cal3D", [this](Args &a) { SetCal3D(a.u(0)); });
    getter(29, "Cal2D", [this] { return Variant(Cal2D()); });
    setter(29, "Cal2D", [this](Args &a) { SetCal2D(a.u(0)); });
    getter(30, "UpdateFrame", [this] { return Variant(UpdateFrame() != 0); });
    setter(30, "UpdateFrame", [this](Args &a) {
        if (const BOOL v = a.b(0); a.ok)
            SetUpdateFrame(v);
    });
    getter(31, "AVIFilename", [this] { return Variant(AVIFilename()); });
    getter(32, "LCID", [this] { return Variant(LCID()); });
    setter(32, "LCID", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetLCID(v);
    });
    getter(33, "CaptureFileSize", [this] { return Variant(CaptureFileSize()); });
    setter(33, "CaptureFileSize", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetCaptureFileSize(v);
    });
    getter(34, "CaptureDevice", [this] { return Variant(CaptureDevice()); });
    setter(34, "CaptureDevice", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetCaptureDevice(v);
    });
    getter(35, "CaptureMode", [this] { return Variant(CaptureMode()); });
    setter(35, "CaptureMode", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetCaptureMode(v);
    });
    getter(36, "CapturePreviewMode", [this] { return Variant(CapturePreviewMode()); });
    setter(36, "CapturePreviewMode", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetCapturePreviewMode(v);
    });

    t.add(55, Get, "Picture", 4, [this, unknownOf](std::span<Variant> v, Variant *r) {
        Args a{v};
        const LONG frame = a.l(0), zoom = a.l(1);
        const BOOL lines = a.b(2), overlay = a.b(3);
        if (!a.ok)
            return a.status();
        auto picture = Picture(frame, zoom, lines, overlay);
        *r = picture ? unknownOf(picture) : Variant(ComPtr<IUnknown>());
        return S_OK;
    });
    t.add(56, Get, "PicturePart", 8, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const LONG frame = a.l(0), zoom = a.l(1), left = a.l(2), top = a.l(3), w = a.l(4),
                   h = a.l(5);
        const BOOL lines = a.b(6), overlay = a.b(7);
        if (!a.ok)
            return a.status();
        *r = Variant(PicturePart(frame, zoom, left, top, w, h, lines, overlay));
        return S_OK;
    });
    t.add(57, Get, "ReferenceTime", 1, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const LONG type = a.l(0);
        if (a.ok)
            *r = ReferenceTime(type);
        return a.status();
    });
    t.add(58, Get, "CaptureDeviceName", 1, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const LONG type = a.l(0);
        if (a.ok)
            *r = Variant(CaptureDeviceName(type));
        return a.status();
    });
    getter(-501, "BackColor", [this] { return Variant(static_cast<LONG>(BackColor())); });
    setter(-501, "BackColor", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetBackColor(static_cast<OLE_COLOR>(v));
    });
    getter(-520, "Appearance", [this] { return Variant(static_cast<std::int16_t>(Appearance())); });
    setter(-520, "Appearance", [this](Args &a) {
        if (const LONG v = a.l(0); a.ok)
            SetAppearance(static_cast<platform::SHORT>(v));
    });
    getter(59, "FrameRateForced", [this] { return Variant(FrameRateForced()); });
    setter(59, "FrameRateForced", [this](Args &a) {
        if (const float v = a.f(0); a.ok)
            SetFrameRateForced(v);
    });
    getter(60, "CameraType", [this] { return Variant(CameraType()); });
    getter(61, "CameraPropertiesAvailable",
           [this] { return Variant(CameraPropertiesAvailable()); });
    t.add(65, Get, "Flag", 1, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const LONG type = a.l(0);
        if (a.ok)
            *r = Variant(Flag(type));
        return a.status();
    });
    t.add(65, Put, "Flag", 2, [this](std::span<Variant> v, Variant *) {
        Args a{v};
        const LONG type = a.l(0), value = a.l(1);
        if (a.ok)
            SetFlag(type, value);
        return a.status();
    });
    getter(72, "Datas3D", [this] { return Variant(Datas3D()); });
    setter(72, "Datas3D", [this](Args &a) { SetDatas3D(a.u(0)); });
    getter(74, "AVI", [this] { return Variant(AVI()); });

    // Methods.
    auto method0 = [&](platform::DISPID id, const char *name, auto run) {
        t.add(id, Call, name, 0, [run](std::span<Variant>, Variant *r) {
            *r = run();
            return S_OK;
        });
    };
    t.add(37, Call, "AVIOpen", 2, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const std::string name = a.s(0);
        const LONG mode = a.l(1);
        if (a.ok)
            *r = Variant(AVIOpen(name, mode));
        return a.status();
    });
    method0(38, "AVIClose", [this] { return Variant(AVIClose()); });
    method0(39, "DoDialogVideoSource", [this] { return Variant(DoDialogVideoSource()); });
    method0(40, "DoDialogVideoFormat", [this] { return Variant(DoDialogVideoFormat()); });
    method0(41, "DoDialogVideoDisplay", [this] { return Variant(DoDialogVideoDisplay()); });
    method0(42, "CaptureSequence", [this] { return Variant(CaptureSequence()); });
    method0(43, "Copy", [this] { return Variant(Copy() != 0); });
    t.add(44, Call, "CaptureSaveAs", 1, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const std::string name = a.s(0);
        if (a.ok)
            *r = Variant(CaptureSaveAs(name));
        return a.status();
    });
    method0(45, "QuickRefresh", [this] {
        QuickRefresh();
        return Variant();
    });
    t.add(46, Call, "Save", 1, [this](std::span<Variant> v, Variant *r) {
        *r = Variant(Save(v[0].toUnknown()));
        return S_OK;
    });
    t.add(47, Call, "Load", 1, [this](std::span<Variant> v, Variant *r) {
        *r = Variant(Load(v[0].toUnknown()));
        return S_OK;
    });
    t.add(48, Call, "EditProperties", 1, [this](std::span<Variant> v, Variant *) {
        Args a{v};
        EditProperties(a.window(0));
        return S_OK;
    });
    method0(49, "CaptureStop", [this] { return Variant(CaptureStop()); });
    t.add(50, Call, "MovePointer", 2, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const double fx = a.d(0), fy = a.d(1);
        if (a.ok)
            *r = Variant(MovePointer(fx, fy));
        return a.status();
    });
    t.add(51, Call, "Draw", 5, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        auto *painter = a.painter(0);
        const LONG left = a.l(1), top = a.l(2), right = a.l(3), bottom = a.l(4);
        if (a.ok)
            *r = Variant(Draw(painter, left, top, right, bottom));
        return a.status();
    });
    t.add(52, Call, "GetCaptureStatistics", 4, [this](std::span<Variant> v, Variant *r) {
        *r = Variant(
            GetCaptureStatistics(v[0].target(), v[1].target(), v[2].target(), v[3].target()) != 0);
        return S_OK;
    });
    method0(53, "CaptureInit", [this] { return Variant(CaptureInit()); });
    method0(54, "CaptureStart", [this] { return Variant(CaptureStart()); });
    method0(-550, "Refresh", [this] {
        Refresh();
        return Variant();
    });
    t.add(62, Call, "LoadCameraProperties", 2, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const std::string section = a.s(0), ini = a.s(1);
        if (a.ok)
            *r = Variant(LoadCameraProperties(section, ini));
        return a.status();
    });
    t.add(63, Call, "SaveCameraProperties", 2, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const std::string section = a.s(0), ini = a.s(1);
        if (a.ok)
            *r = Variant(SaveCameraProperties(section, ini));
        return a.status();
    });
    t.add(64, Call, "ShowCameraProperties", 1, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        *r = Variant(ShowCameraProperties(a.window(0)));
        return S_OK;
    });
    t.add(66, Call, "CaptureInitStartMultiple", 4, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const LONG ms = a.l(3);
        if (a.ok)
            *r = Variant(CaptureInitStartMultiple(v[0].deref(), v[1].deref(), v[2].target(), ms));
        return a.status();
    });
    method0(67, "CaptureUnInitStartMultiple",
            [this] { return Variant(CaptureUnInitStartMultiple()); });
    method0(68, "CaptureStartMultiple", [this] { return Variant(CaptureStartMultiple()); });
    method0(69, "CaptureStopMultiple", [this] { return Variant(CaptureStopMultiple()); });
    t.add(70, Call, "ActivateRectangle", 6, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        const BOOL on = a.b(0);
        const LONG flags = a.l(1);
        const float l = a.f(2), tp = a.f(3), rt = a.f(4), b = a.f(5);
        if (a.ok)
            *r = Variant(ActivateRectangle(on, flags, l, tp, rt, b));
        return a.status();
    });
    t.add(71, Call, "DoMixPicture", 7, [this](std::span<Variant> v, Variant *r) {
        Args a{v};
        auto background = a.u(0);
        const std::string name = a.s(1);
        const LONG mode = a.l(2), sync = a.l(3), flags = a.l(4);
        const float threshold = a.f(5);
        const LONG color = a.l(6);
        if (a.ok)
            *r = Variant(DoMixPicture(background, name, mode, sync, flags, threshold,
                                      static_cast<OLE_COLOR>(color)));
        return a.status();
    });
    t.add(73, Call, "CaptureStartAcquisitionOfAllBCAMs", 2,
          [this](std::span<Variant> v, Variant *r) {
              Args a{v};
              const BOOL run = a.b(0), acquire = a.b(1);
              if (a.ok)
                  *r = Variant(CaptureStartAcquisitionOfAllBCAMs(run, acquire));
              return a.status();
          });
}

} // namespace quivex
