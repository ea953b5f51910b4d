// The video view control: shows one frame of a video at a zoom and scroll offset, paints
// the overlay objects handed to it, reports mouse actions in image coordinates, and serves
// hosts through its automation interface (DISPIDs, see controldispatch.cpp) and Qt signals.
#pragma once

#include "components/aviplayer/ctalvoravi.h"
#include "components/aviplayer/openmode.h"
#include "control/overlaylayers.h"
#include "control/rawframefile.h"
#include "control/rectangletracker.h"
#include "control/vidgrabcalls.h"
#include "platform/dispatch.h"
#include "platform/picture.h"
#include "platform/wintypes.h"

#include <QCursor>
#include <QImage>
#include <QWidget>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QTimer;

namespace quivex {

using platform::BOOL;
using platform::ComPtr;
using platform::IUnknown;
using platform::LONG;

// Colours as hosts give them: 0x00BBGGRR, or 0x800000nn for a system colour nn.
using OLE_COLOR = std::uint32_t;

// Bits of OverlayFlags.
enum OverlayFlagConstants : LONG {
    TALVOROVL_NONE = 0,
    TALVOROVL_SHOW = 1,
    TALVOROVL_ADJUSTSIZE = 2,
    TALVOROVL_STRETCH = 4,
    TALVOROVL_ONLY = 8,
    TALVOROVL_GRAPHICITEMS = 256,
};

// Open modes of AVIOpen, passed unchanged to the video player, which defines them.
using aviplayer::TalvorAVIMode;
using enum aviplayer::TalvorAVIMode;

enum TalvorCaptureModes : LONG {
    DVRESOLUTION_FULL = 1000,
    DVRESOLUTION_HALF = 1001,
    DVRESOLUTION_QUARTER = 1002,
    DVRESOLUTION_DC = 1003,
};

// The selectors of Flag(nFlagType).
enum QuivexFlags : LONG {
    QVXW_ALLOWOVERLAY = 1,
    QVXW_ALLOWTIMESHIFT = 2,
    QVXW_ALLOWBCAM = 3,
    QVXW_ALLOWMPEG = 4,
    QVXW_TIMESHIFT_CAPTURE = 5,
    QVXW_TIMESHIFT_PREVIEW = 6,
    QVXW_TIMESHIFT_CAPTUREPREVIEW = 7,
    QVXW_BUFFERFILLSTATE_CAPTURE = 8,
    QVXW_BUFFERFILLSTATE_PREVIEW = 9,
    QVXW_BUFFERFILLSTATE_CAPTUREPREVIEW = 10,
    QVXW_BCAM_DATARATE = 11,
    QVXW_BCAM_SHUTTER = 12,
    QVXW_BCAM_PACKETSIZE = 13,
    QVXW_BCAM_TRIGGERFRAMERATE = 14,
    QVXW_BCAM_SKIPFRAMES_CAPTURE = 15,
    QVXW_BCAM_SKIPFRAMES_PREVIEW = 16,
    QVXW_DRAW_STICK = 21,
    QVXW_DRAW_CALIB2D = 22,
    QVXW_DRAW_CALIB3D = 23,
    QVXW_DRAW_3D = 24,
    QVXW_MPEG_VIDEO_AVAILABLE = 30,
    QVXW_MPEG_AUDIO_AVAILABLE = 31,
    QVXW_MPEG_ACTIVATE = 32,
    QVXW_MPEG_ISENCODING = 33,
    QVXW_MPEG_SHOWPROPERTIES = 34,
    QVXW_AVIMODE = 100,
    QVXW_OVERLAY_X = 101,
    QVXW_OVERLAY_Y = 102,
    QVXW_FIRELIVEIMAGECALLBACK = 110,
    QVXW_DROPPEDFRAMES = 120,
    QVXW_CPUUSAGE = 121,
};

// Mouse key state: the standard mask.
enum KeyState : LONG {
    MK_LBUTTON = 1,
    MK_RBUTTON = 2,
    MK_SHIFT = 4,
    MK_CONTROL = 8,
    MK_MBUTTON = 16
};

class PropertyBag;

class CVViewCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CVViewCtrl(QWidget *parent = nullptr);
    ~CVViewCtrl() override;

    // The automation interface: calls by DISPID reach the members below.
    ComPtr<platform::IDispatch> dispatch();
    const platform::DispatchTable &dispatchTable() const { return m_table; }

    // --- Properties -------------------------------------------------------------------
    LONG AVIWidth() const;
    LONG AVIHeight() const;
    LONG Zoom() const { return m_zoom; }
    void SetZoom(LONG zoom);
    ComPtr<IUnknown> RawDatas() const { return m_rawDatas; }
    void SetRawDatas(ComPtr<IUnknown> object);
    ComPtr<IUnknown> Specification() const { return m_specification; }
    void SetSpecification(ComPtr<IUnknown> object);
    LONG PenWidth() const { return m_penWidth; }
    void SetPenWidth(LONG width);
    BOOL PointsVisible() const { return m_pointsVisible; }
    void SetPointsVisible(BOOL visible);
    BOOL ConnectionsVisible() const { return m_connectionsVisible; }
    void SetConnectionsVisible(BOOL visible);
    LONG HorizontalOffset() const { return m_hOffset; }
    void SetHorizontalOffset(LONG offset);
    LONG VerticalOffset() const { return m_vOffset; }
    void SetVerticalOffset(LONG offset);
    BOOL LiveVideo() const { return m_liveVideo; }
    void SetLiveVideo(BOOL live);
    BOOL FireStatusEnabled() const { return m_fireStatusEnabled; }
    void SetFireStatusEnabled(BOOL enabled);
    ComPtr<IUnknown> Angles() const { return m_angles; }
    void SetAngles(ComPtr<IUnknown> object);
    LONG CaptureFrameRate() const;
    void SetCaptureFrameRate(LONG rate);
    std::string CaptureFilename() const { return m_captureFilename; }
    void SetCaptureFilename(const std::string &name);
    LONG AVIFrame() const { return m_frame; }
    void SetAVIFrame(LONG frame);
    LONG AVINumberOfFrames() const;
    float AVIFrameRate() const;
    LONG CaptureWidth() const;
    LONG CaptureHeight() const;
    float AVIFrameOffset() const { return m_frameOffset; }
    void SetAVIFrameOffset(float seconds);
    std::string ToolTipText() const { return m_toolTipText; }
    void SetToolTipText(const std::string &text);
    ComPtr<platform::IPicture> OverlayPicture() const { return m_overlayPicture; }
    void SetOverlayPicture(ComPtr<IUnknown> picture);
    LONG OverlayFlags() const { return m_overlayFlags; }
    void SetOverlayFlags(LONG flags);
    OLE_COLOR OverlayTransparentColor() const { return m_overlayTransparentColor; }
    void SetOverlayTransparentColor(OLE_COLOR color);
    ComPtr<IUnknown> GraphicItems() const { return m_graphicItems; }
    void SetGraphicItems(ComPtr<IUnknown> object);
    ComPtr<IUnknown> Distances() const { return m_distances; }
    void SetDistances(ComPtr<IUnknown> object);
    ComPtr<IUnknown> Cal3D() const { return m_cal3D; }
    // The put's result is the status of handing the calibration to the projection helper
    // (a failure when it cannot fit a camera to it); the calibration is kept either way.
    platform::HRESULT SetCal3D(ComPtr<IUnknown> object);
    ComPtr<IUnknown> Cal2D() const { return m_cal2D; }
    void SetCal2D(ComPtr<IUnknown> object);
    BOOL UpdateFrame() const { return m_updateFrame; }
    void SetUpdateFrame(BOOL update);
    std::string AVIFilename() const { return m_fileName; }
    LONG LCID() const { return m_lcid; }
    // Also switches the language of the control's messages and property page.
    void SetLCID(LONG lcid);
    LONG CaptureFileSize() const { return m_captureFileSize; }
    void SetCaptureFileSize(LONG size);
    LONG CaptureDevice() const { return m_captureDevice; }
    void SetCaptureDevice(LONG device);
    LONG CaptureMode() const;
    void SetCaptureMode(LONG mode);
    LONG CapturePreviewMode() const;
    void SetCapturePreviewMode(LONG mode);
    ComPtr<platform::IPicture> Picture(LONG nFrame, LONG nZoom, BOOL bLines, BOOL bOverlay);
    ComPtr<IUnknown> PicturePart(LONG nFrame, LONG nZoom, LONG nLeft, LONG nTop, LONG nWidth,
                                 LONG nHeight, BOOL bLines, BOOL bOverlay);
    platform::Variant ReferenceTime(LONG nType) const;
    std::string CaptureDeviceName(LONG nType) const;
    OLE_COLOR BackColor() const { return m_backColor; }
    void SetBackColor(OLE_COLOR color);
    platform::SHORT Appearance() const { return m_appearance; }
    void SetAppearance(platform::SHORT appearance);
    float FrameRateForced() const;
    void SetFrameRateForced(float rate);
    LONG CameraType() const;
    LONG CameraPropertiesAvailable() const;
    LONG Flag(LONG nFlagType) const;
    void SetFlag(LONG nFlagType, LONG value);
    ComPtr<IUnknown> Datas3D() const;
    void SetDatas3D(ComPtr<IUnknown> object);
    ComPtr<platform::IDispatch> AVI() const;

    // --- Methods ----------------------------------------------------------------------
    LONG AVIOpen(const std::string &bsFilename, LONG nAVIMode);
    LONG AVIClose();
    LONG DoDialogVideoSource();
    LONG DoDialogVideoFormat();
    LONG DoDialogVideoDisplay();
    LONG CaptureSequence();
    BOOL Copy();
    LONG CaptureSaveAs(const std::string &bsFilename);
    void QuickRefresh();
    LONG Save(ComPtr<IUnknown> punkStream);
    LONG Load(ComPtr<IUnknown> punkStream);
    // The container's property exchange, both ways through one list (docs/control.md):
    // "_Version" (kExchangeVersion), the stock BackColor and Appearance, then the persisted
    // properties in their fixed order. Loading takes each value as it stands (a missing or
    // wrongly typed entry gives its default; no range check, no event, not modified), then
    // sets LCID to 1031 and reloads the language. Saving writes the entries (a name the bag
    // holds keeps its place) and changes nothing in the control, its language included.
    void exchangeProperties(PropertyBag &bag, bool loading);
    static constexpr LONG kExchangeVersion = 0x00010000; // 1.0: major << 16 | minor
    void EditProperties(QWidget *owner);
    LONG CaptureStop();
    LONG MovePointer(double fx, double fy);
    // Paints the view fitted into a rectangle of `target`; the picture lands at its origin.
    LONG Draw(QPainter *target, LONG left, LONG top, LONG right, LONG bottom);
    BOOL GetCaptureStatistics(platform::Variant *pnCount, platform::Variant *pvMin,
                              platform::Variant *pvMax, platform::Variant *pvAvg);
    LONG CaptureInit();
    LONG CaptureStart();
    void Refresh();
    LONG LoadCameraProperties(const std::string &bsSection, const std::string &bsINI);
    LONG SaveCameraProperties(const std::string &bsSection, const std::string &bsINI);
    LONG ShowCameraProperties(QWidget *parent);
    LONG CaptureInitStartMultiple(const platform::Variant &vDevices,
                                  const platform::Variant &vObjectsToWaitFor,
                                  platform::Variant *pvAllObjectsToWaitFor, LONG nMilliseconds);
    LONG CaptureUnInitStartMultiple();
    LONG CaptureStartMultiple();
    LONG CaptureStopMultiple();
    LONG ActivateRectangle(BOOL bActivate, LONG nFlags, float fLeft, float fTop, float fRight,
                           float fBottom);
    LONG DoMixPicture(ComPtr<IUnknown> punkPicBackground, const std::string &bsFilename,
                      LONG nAVIMode, LONG nSyncFrame, LONG nFlags, float fThreshold,
                      OLE_COLOR cColor);
    LONG CaptureStartAcquisitionOfAllBCAMs(BOOL bRunCamera, BOOL bAcquireImages);

    // --- Holding repaints (C++ hosts) -----------------------------------------------------
    // Between a hold and its release, `Refresh`, `QuickRefresh` and the property puts that
    // repaint only note that a repaint is due; the last release paints once. A host that
    // changes the frame and then its overlay items in one step shows the result in one
    // repaint, never the new frame under the old items. Holds nest.
    void holdRepaints();
    void releaseRepaints();
    class RepaintHold {
    public:
        explicit RepaintHold(CVViewCtrl &view) : m_view(view) { m_view.holdRepaints(); }
        ~RepaintHold() { m_view.releaseRepaints(); }
        RepaintHold(const RepaintHold &) = delete;
        RepaintHold &operator=(const RepaintHold &) = delete;

    private:
        CVViewCtrl &m_view;
    };

    // --- Messages (C++ hosts) -------------------------------------------------------------
    // On by default. A host that opens a file in a control only to probe it (Orvane's
    // hidden size probe) switches them off, so that a refused raw frame file is reported
    // once, by the view the user opened it in; the result codes are unchanged.
    void setMessageBoxesEnabled(bool enabled) { m_messageBoxesEnabled = enabled; }
    bool messageBoxesEnabled() const { return m_messageBoxesEnabled; }

    // --- State a container and tests look at -------------------------------------------
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    bool isVideoOpen() const { return m_videoOpen; }
    // The composed view of the given size, as a repaint builds it (one off-screen image).
    QImage composeView(QSize size);
    // A system colour (0x800000nn) or a plain colour as the colour to paint.
    QColor translateColor(OLE_COLOR color) const;
    // What the per-frame live image callback draws into a captured frame of the given
    // size: the graphic items and the 3-D data (positions scaled by the capture size), under
    // the data lock, as the capture thread calls it.
    void drawLiveImage(QPainter &painter, QSize frameSize);

signals:
    void Status(LONG nID, QString *bsStatus);
    void VideoStream(LONG CaptureDevice, LONG CurrentVideoFrame, LONG CurrentVideoFramesDropped,
                     LONG CurrentTimeElapsed);
    void SpecialMouseMove(LONG nFlags, LONG x, LONG y, double fx, double fy);
    void SpecialMouseDown(LONG nFlags, LONG x, LONG y, double fx, double fy);
    void ZoomChange(LONG nZoom);
    void SaveProgress(LONG nProgress);
    void SpecialMouseUp(LONG nFlags, LONG x, LONG y, double fx, double fy);
    void HelpInfo(LONG nID, LONG nidControl);
    void NewRectangle(float fLeft, float fTop, float fRight, float fBottom);
    void LiveImageCallback(IUnknown *punkMediaSample, void *pBmpInfoHdr, QPainter *hdc);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildDispatchTable();
    void repaintNow();
    // Layers of a composed view, in painting order.
    void paintView(QPainter &painter, QSize size);
    void paintFrameLayer(QPainter &painter, QSize size);
    void paintOverlayOnlyLayer(QPainter &painter);
    void paintOverlays(QPainter &painter, QSize size);
    void paintOverlayPicture(QPainter &painter);
    void clearOverlayPicture();
    // The frame and time the overlay data are read at: the shown frame moved by the frame
    // offset, halves away from zero; seconds by the frame rate (1 when it is not positive).
    struct DataTime {
        LONG frame;
        double seconds;
    };
    DataTime dataTime() const;
    // The data time the live image callback draws 3-D data at, noted on the interface thread
    // when live video starts and whenever the frame or the frame offset changes while it
    // runs; guarded by m_dataLock.
    DataTime m_liveDataTime{0, 0.0};
    void noteLiveDataTime();
    // Called with m_dataLock held. Live: positions scaled by the capture size.
    void paint3DData(QPainter &painter, const DataTime &at, bool live);
    // The projection helper, created on first need and given the current 3-D calibration;
    // the status of that hand-over. Called with m_dataLock held.
    platform::HRESULT ensureProjection();
    LONG imageWidth() const;
    LONG imageHeight() const;
    LONG shownFrame() const { return m_updateFrame ? m_frame : m_frozenFrame; }
    LONG keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) const;
    void loadLanguage();
    void showMessage(LONG textNumber);
    ComPtr<IUnknown> queryOrNone(const ComPtr<IUnknown> &object, const platform::Guid &iid) const;
    void loadFrameFile(LONG frame);

    platform::DispatchTable m_table;
    int m_repaintHolds = 0;
    bool m_repaintPending = false;
    mutable VidgrabCalls m_vidgrab;
    LONG m_language = 0; // Lingmod handle, in the language of m_lcid
    bool m_messageBoxesEnabled = true;
    aviplayer::CTalvorAVI m_player; // the video, child ID 111
    aviplayer::CTalvorAVI m_mixer;  // the second video of DoMixPicture, child ID 112

    // Source of the open video: 1 the video player, 2 the raw frame file.
    int m_sourceKind = 1;
    bool m_videoOpen = false;
    bool m_modified = false;
    LONG m_videoWidth = 0;
    LONG m_videoHeight = 0;
    RawFrameFile m_frameFile;
    QImage m_frameImage; // the raw frame file's current frame; null when none was read
    std::string m_fileName;
    LONG m_openMode = 0;
    LONG m_frame = 0;
    LONG m_frozenFrame = 0;
    LONG m_zoom = 100;
    LONG m_penWidth = 5;
    LONG m_hOffset = 0;
    LONG m_vOffset = 0;
    BOOL m_pointsVisible = 0;
    BOOL m_connectionsVisible = 0;
    BOOL m_liveVideo = 0;
    BOOL m_fireStatusEnabled = 0;
    LONG m_captureFrameRate = 25;
    std::string m_captureFilename = "c:\\capture.avi";
    LONG m_captureFileSize = 20;
    LONG m_captureDevice = -1;
    LONG m_captureWidth = 1;
    LONG m_captureHeight = 1;
    float m_frameOffset = 0.0f;
    std::string m_toolTipText;
    LONG m_overlayFlags = 0;
    OLE_COLOR m_overlayTransparentColor = 0;
    LONG m_overlayX = 0;
    LONG m_overlayY = 0;
    BOOL m_updateFrame = 1;
    LONG m_lcid = 1031;
    OLE_COLOR m_backColor = 0x8000000F; // the container's face colour
    platform::SHORT m_appearance = 0;
    LONG m_overlaySwitch[4] = {0, 0, 0, 0}; // Flag 21..24
    LONG m_bcamSwitch = 0;
    LONG m_liveImageEvents = 0;

    ComPtr<platform::IPicture> m_overlayPicture;
    LONG m_overlayPictureWidth = 1;
    LONG m_overlayPictureHeight = 1;
    ComPtr<IUnknown> m_rawDatas;
    ComPtr<IUnknown> m_datas3D; // guarded by m_dataLock
    ComPtr<IUnknown> m_specification;
    ComPtr<IUnknown> m_cal3D;
    ComPtr<IUnknown> m_cal2D;
    ComPtr<IUnknown> m_angles;
    ComPtr<IUnknown> m_distances;
    ComPtr<IUnknown> m_graphicItems;
    ComPtr<IUnknown> m_projection; // the camera model of m_cal3D, guarded by m_dataLock
    // The data lock guards the 3-D data and, because the live image callback reads them on
    // the capture thread, every object it reads: graphic items, point layout, 3-D
    // calibration and the projection helper are replaced under it.
    mutable std::mutex m_dataLock;
    // The overlay picture with its transparent colour keyed out, made once per picture and
    // colour.
    KeyedPicture m_overlayKeyed;
    QRgb m_overlayKeyedColor = 0;

    // Rectangle tracking. The tracker owns the mouse from the left press that starts its
    // drag until the left button is released: nothing of that gesture is reported, even
    // after the drag was cancelled (a second button, a zoom put, a new activation).
    RectangleTracker m_tracker;
    bool m_trackerOwnsMouse = false;
    bool m_trackerCursorShown = false;
    std::optional<QCursor> m_cursorBeforeTracker; // a cursor the host had set, if any
    void paintTracker(QPainter &painter, QSize size);
    void showTrackerCursor(QPoint at);
    void restoreCursor();

    // Mixing of a second video.
    bool m_mixing = false;
    ComPtr<platform::IPicture> m_mixPicture;
    LONG m_mixSyncFrame = 0;
    LONG m_mixFlags = 0;
    float m_mixThreshold = 0.0f;
    OLE_COLOR m_mixColor = 0;

    // Capture: the device list of the multiple-device methods and the statistics timers.
    std::vector<LONG> m_deviceList;
    QTimer *m_statisticsTimer = nullptr;         // 4321, the single device
    QTimer *m_multipleStatisticsTimer = nullptr; // 5432, the device list
    void statisticsTick(bool deviceList);
    static void liveFrame(void *context, void *sample, const vidgrab::BitmapInfoHeader *header,
                          vidgrab::FrameBuffer *frame);
    void readCaptureSize();
    LONG startCapture(LONG (VidgrabCalls::*start)(LONG));

    // Where the raw frame file's frame lands in a view of the given size: the whole bitmap
    // stretched to the zoomed rectangle, or, for a very large frame or zoomed size, only the
    // part that shows, at the same scale. An empty target draws nothing.
    struct RawFramePlacement {
        QRect source;
        QRectF target;
    };
    RawFramePlacement rawFramePlacement(QSize size) const;
    QRect opaqueFrameRect(QSize size) const;
};

} // namespace quivex
