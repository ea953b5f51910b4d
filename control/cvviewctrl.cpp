#include "control/cvviewctrl.h"

#include "components/aviplayer/aviplayerobject.h"
#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "components/lingmod/lingmod.h"
#include "control/cvviewproppage.h"
#include "control/overlaylayers.h"
#include "control/propertybag.h"
#include "control/viewgeometry.h"
#include "kernel/vexcore.h"
#include "platform/classes.h"
#include "platform/colorref.h"
#include "platform/stream.h"
#include "platform/ui/dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace quivex {

using platform::Variant;

namespace {

// Pictures beyond this many pixels are refused rather than allocated (a zoom of 1999 %
// on a large frame would ask for gigabytes).
constexpr long long kMaxPicturePixels = 1ll << 27;

// A raw frame wider or taller than this, or one whose zoomed size is beyond any view, is
// stretched only in the part that shows: the painter then gets small source and target
// rectangles whatever the frame's size and the zoom.
constexpr LONG kMaxWholeStretch = 32767;

bool endsWithFrm(const std::string &name) {
    if (name.size() < 3)
        return false;
    std::string tail = name.substr(name.size() - 3);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return tail == "FRM";
}

// A picture's pixels as a QImage without a copy; valid while the picture lives.
QImage wrapImage(const platform::ImageView &v) {
    return QImage(v.data, v.width, v.height, v.stride,
                  v.format == platform::PixelFormat::Gray8 ? QImage::Format_Grayscale8
                                                           : QImage::Format_RGB32);
}

} // namespace

CVViewCtrl::CVViewCtrl(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel comes from the composed image
    setMouseTracking(true);
    setToolTip(QStringLiteral("ToolTip"));
    static std::once_flag registered;
    std::call_once(registered, [] {
        aviplayer::registerClasses();
        datalib::registerClasses(); // the projection helper is created by class identifier
    });
    m_player = aviplayer::CTalvorAVI::create();
    m_mixer = aviplayer::CTalvorAVI::create();
    // Messages and the property page start in German (LCID 1031) whatever a container
    // stores; a host sets LCID to speak its own language.
    loadLanguage();
    buildDispatchTable();
}

CVViewCtrl::~CVViewCtrl() {
    SetLiveVideo(0);
    AVIClose();
    m_vidgrab.release(m_captureDevice);
    lingmod::talvorFreeLanguage(m_language);
}

QColor CVViewCtrl::translateColor(OLE_COLOR color) const {
    if ((color & 0xFF000000u) == 0x80000000u) {
        // System colours by their index, answered from the widget's palette.
        const QPalette &p = palette();
        switch (color & 0xFF) {
        case 5: // window
            return p.color(QPalette::Base);
        case 8: // window text
            return p.color(QPalette::Text);
        case 13: // highlight
            return p.color(QPalette::Highlight);
        case 14: // highlight text
            return p.color(QPalette::HighlightedText);
        case 18: // button text
            return p.color(QPalette::ButtonText);
        default: // 15 button face and the rest
            return p.color(QPalette::Button);
        }
    }
    return platform::colorFromRef(color & 0x00FFFFFFu);
}

// --- Image size --------------------------------------------------------------------------

LONG CVViewCtrl::imageWidth() const {
    if (m_overlayFlags & TALVOROVL_ONLY)
        return m_overlayPicture ? m_overlayPictureWidth : 640;
    return m_videoOpen ? m_videoWidth : 1;
}

LONG CVViewCtrl::imageHeight() const {
    if (m_overlayFlags & TALVOROVL_ONLY)
        return m_overlayPicture ? m_overlayPictureHeight : 480;
    return m_videoOpen ? m_videoHeight : 1;
}

LONG CVViewCtrl::AVIWidth() const {
    return imageWidth();
}
LONG CVViewCtrl::AVIHeight() const {
    return imageHeight();
}

// --- Simple properties ---------------------------------------------------------------------

void CVViewCtrl::SetZoom(LONG zoom) {
    if (zoom < 6 || zoom > 1999)
        return;
    if (m_tracker.active())
        m_tracker.rescale(zoom); // keeps the rectangle's image position
    m_zoom = zoom;
    m_modified = true;
    emit ZoomChange(zoom);
    update();
}

void CVViewCtrl::SetPenWidth(LONG width) {
    if (width < 0 || width > 9)
        return;
    m_penWidth = width;
    m_modified = true;
    QuickRefresh();
}

void CVViewCtrl::SetPointsVisible(BOOL visible) {
    m_pointsVisible = visible;
    m_modified = true;
    QuickRefresh();
}

void CVViewCtrl::SetConnectionsVisible(BOOL visible) {
    m_connectionsVisible = visible;
    m_modified = true;
    QuickRefresh();
}

void CVViewCtrl::SetHorizontalOffset(LONG offset) {
    if (offset < -1000 || offset > 4000)
        return;
    m_hOffset = offset;
    m_modified = true;
    update();
}

void CVViewCtrl::SetVerticalOffset(LONG offset) {
    if (offset < -1000 || offset > 4000)
        return;
    m_vOffset = offset;
    m_modified = true;
    update();
}

void CVViewCtrl::SetFireStatusEnabled(BOOL enabled) {
    m_fireStatusEnabled = enabled;
    m_modified = true;
}

void CVViewCtrl::SetCaptureFilename(const std::string &name) {
    m_captureFilename = name;
    m_modified = true;
}

void CVViewCtrl::SetAVIFrameOffset(float seconds) {
    m_frameOffset = seconds;
    if (m_liveVideo)
        noteLiveDataTime();
    m_modified = true;
    update();
}

void CVViewCtrl::SetToolTipText(const std::string &text) {
    m_toolTipText = text;
    m_modified = true;
    setToolTip(QString::fromStdString(text));
}

void CVViewCtrl::SetOverlayFlags(LONG flags) {
    m_overlayFlags = flags;
    m_modified = true;
    QuickRefresh();
}

void CVViewCtrl::SetOverlayTransparentColor(OLE_COLOR color) {
    m_overlayTransparentColor = color;
    m_modified = true;
    QuickRefresh();
}

void CVViewCtrl::SetUpdateFrame(BOOL update) {
    const bool switchedOn = update && !m_updateFrame;
    m_updateFrame = update;
    if (switchedOn)
        m_frozenFrame = m_frame;
    m_modified = true;
}

void CVViewCtrl::SetLCID(LONG lcid) {
    m_lcid = lcid;
    loadLanguage();
    m_modified = true;
}

void CVViewCtrl::loadLanguage() {
    const auto handle = lingmod::talvorSetLanguage(
        -1, QStringLiteral("Quivex"), static_cast<platform::LCID>(m_lcid), QStringLiteral("COM_"));
    if (handle == 0)
        return; // keep the language there is
    lingmod::talvorFreeLanguage(m_language);
    m_language = handle;
}

void CVViewCtrl::SetBackColor(OLE_COLOR color) {
    m_backColor = color;
    m_modified = true;
    update();
}

void CVViewCtrl::SetAppearance(platform::SHORT appearance) {
    m_appearance = appearance;
    m_modified = true;
    update();
}

float CVViewCtrl::FrameRateForced() const {
    return m_player.frameRateForced();
}

void CVViewCtrl::SetFrameRateForced(float rate) {
    m_player.setFrameRateForced(rate);
    m_modified = true;
}

ComPtr<platform::IDispatch> CVViewCtrl::AVI() const {
    return ComPtr<platform::IDispatch>::share(m_player.dispatch());
}

// --- Data objects ---------------------------------------------------------------------------

ComPtr<IUnknown> CVViewCtrl::queryOrNone(const ComPtr<IUnknown> &object,
                                         const platform::Guid &iid) const {
    if (!object)
        return {};
    void *raw = nullptr;
    if (platform::failed(object->QueryInterface(iid, &raw)) || !raw)
        return {};
    return ComPtr<IUnknown>::attach(static_cast<IUnknown *>(raw));
}

void CVViewCtrl::SetRawDatas(ComPtr<IUnknown> object) {
    m_rawDatas = queryOrNone(object, datalib::TalvorDatas::IID);
    m_modified = true;
}

void CVViewCtrl::SetSpecification(ComPtr<IUnknown> object) {
    if (!object)
        return;
    auto layout = queryOrNone(object, datalib::TalvorSpec::IID);
    std::lock_guard lock(m_dataLock); // the live image callback reads it
    m_specification = std::move(layout);
    m_modified = true;
}

void CVViewCtrl::SetAngles(ComPtr<IUnknown> object) {
    static constexpr platform::Guid kAngles =
        platform::guidOf("{F6F3A991-B55E-11D0-AA98-0000E81C19AF}");
    m_angles = queryOrNone(object, kAngles);
    m_modified = true;
    update();
}

void CVViewCtrl::SetDistances(ComPtr<IUnknown> object) {
    static constexpr platform::Guid kDistances =
        platform::guidOf("{7DFCDE02-0273-11D1-AB80-0000E81C19AF}");
    m_distances = queryOrNone(object, kDistances);
    m_modified = true;
    update();
}

void CVViewCtrl::SetGraphicItems(ComPtr<IUnknown> object) {
    auto items = queryOrNone(object, datalib::TalvorGraphicItems::IID);
    {
        std::lock_guard lock(m_dataLock); // the live image callback reads them
        m_graphicItems = std::move(items);
    }
    m_modified = true;
    update();
}

platform::HRESULT CVViewCtrl::SetCal3D(ComPtr<IUnknown> object) {
    auto calibration = queryOrNone(object, datalib::TalvorCal3D::IID);
    std::lock_guard lock(m_dataLock); // the projection may be in use on the capture thread
    m_cal3D = std::move(calibration);
    m_modified = true;
    // Clearing the calibration is no failure: nothing is projected without one.
    return m_cal3D ? ensureProjection() : platform::S_OK;
}

platform::HRESULT CVViewCtrl::ensureProjection() {
    if (!m_projection) {
        auto created =
            platform::createInstance<datalib::TalvorProjection>(datalib::CLSID_Projection);
        if (!created)
            return platform::E_FAIL;
        m_projection = ComPtr<IUnknown>::share(created.get());
    }
    auto projection = m_projection.query<datalib::TalvorProjection>();
    auto calibration = m_cal3D.query<datalib::TalvorCal3D>();
    // A null calibration leaves the helper uncalibrated: it reports E_POINTER.
    return projection->SetCalibration(calibration.get());
}

void CVViewCtrl::SetCal2D(ComPtr<IUnknown> object) {
    m_cal2D = queryOrNone(object, datalib::TalvorCal2D::IID);
    m_modified = true;
}

ComPtr<IUnknown> CVViewCtrl::Datas3D() const {
    std::lock_guard lock(m_dataLock);
    return m_datas3D;
}

void CVViewCtrl::SetDatas3D(ComPtr<IUnknown> object) {
    {
        std::lock_guard lock(m_dataLock);
        m_datas3D = queryOrNone(object, datalib::TalvorDatas::IID);
    }
    m_modified = true;
    if (!m_liveVideo)
        update();
}

void CVViewCtrl::clearOverlayPicture() {
    m_overlayPicture.reset();
    m_overlayPictureWidth = m_overlayPictureHeight = 1;
    m_overlayKeyed = {};
}

void CVViewCtrl::SetOverlayPicture(ComPtr<IUnknown> picture) {
    if (!picture) {
        // Clearing does not mark the control modified.
        clearOverlayPicture();
        update();
        return;
    }
    clearOverlayPicture();
    m_overlayPicture = picture.query<platform::IPicture>();
    if (m_overlayPicture) {
        LONG w = 0, h = 0;
        m_overlayPicture->sizeHimetric(&w, &h);
        const int dpiX = logicalDpiX() > 0 ? logicalDpiX() : 96;
        const int dpiY = logicalDpiY() > 0 ? logicalDpiY() : 96;
        m_overlayPictureWidth = platform::himetricToPixels(w, dpiX);
        m_overlayPictureHeight = platform::himetricToPixels(h, dpiY);
    }
    m_modified = true;
    update();
}

// --- Opening, closing, frames ----------------------------------------------------------------

LONG CVViewCtrl::AVIOpen(const std::string &bsFilename, LONG nAVIMode) {
    m_fileName = bsFilename;
    m_openMode = nAVIMode;
    clearOverlayPicture();
    m_mixing = false;

    LONG result = 0;
    if (!endsWithFrm(bsFilename)) {
        const QColor back = translateColor(m_backColor);
        m_player.setBackColor(platform::refFromColor(back));
        result = m_player.open(bsFilename, nAVIMode);
        m_frame = -1; // no frame is shown (nor overlays drawn) until the host sets one
        m_videoWidth = m_player.width();
        m_videoHeight = m_player.height();
        m_sourceKind = 1;
        m_videoOpen = m_player.isOpen();
    } else {
        switch (m_frameFile.open(bsFilename)) {
        case RawFrameFile::OpenResult::NotRawFrameFile:
            showMessage(11);
            return -1;
        case RawFrameFile::OpenResult::VersionUnsupported:
            showMessage(12);
            return -2;
        case RawFrameFile::OpenResult::Ok:
            break;
        }
        m_sourceKind = 2;
        m_videoOpen = true;
        m_videoWidth = m_frameFile.width();
        m_videoHeight = m_frameFile.height();
        m_frameImage = QImage(); // nothing is read before the first frame put
        result = 0;
    }
    m_modified = true;
    update();
    return result;
}

LONG CVViewCtrl::AVIClose() {
    if (m_videoOpen) {
        if (m_sourceKind == 1) {
            m_player.close();
        } else {
            m_frameImage = QImage();
            m_frameFile.close();
            m_sourceKind = 1;
        }
        m_videoOpen = false;
        m_fileName.clear();
        m_frame = 0;
    }
    clearOverlayPicture();
    return 0;
}

LONG CVViewCtrl::AVINumberOfFrames() const {
    if (!m_videoOpen)
        return 0;
    return m_sourceKind == 2 ? m_frameFile.frameCount() : m_player.numberOfFrames();
}

float CVViewCtrl::AVIFrameRate() const {
    if (!m_videoOpen)
        return 0.0f;
    if (m_sourceKind == 1)
        return m_player.frameRate(); // the player applies its forced rate itself
    // The forced rate lives in the player whichever reader serves the video, so it holds
    // for a raw frame file too, whether it was set before or after the open; 0 is none.
    const float forced = m_player.frameRateForced();
    return forced > 0.0f ? forced : m_frameFile.frameRate();
}

void CVViewCtrl::loadFrameFile(LONG k) {
    std::vector<std::uint8_t> grey;
    if (!m_frameFile.readFrame(k, grey)) {
        m_frameImage = QImage(); // outside the file: the back colour shows
        return;
    }
    QImage image(m_frameFile.width(), m_frameFile.height(), QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), grey.data() + static_cast<std::size_t>(y) * image.width(),
                    static_cast<std::size_t>(image.width()));
    m_frameImage = std::move(image);
}

void CVViewCtrl::SetAVIFrame(LONG n) {
    if (!m_videoOpen)
        return;
    if (m_sourceKind == 1) {
        if (!m_player.isOpen() || n < 0 || n >= m_player.numberOfFrames())
            return;
        m_frame = n;
    } else {
        loadFrameFile(m_updateFrame ? n : m_frozenFrame);
        m_frame = n;
    }
    if (m_liveVideo)
        noteLiveDataTime(); // only the live drawing reads it; playback need not pay for it
    m_modified = true;
    QuickRefresh();
}

// --- Composition -----------------------------------------------------------------------------

CVViewCtrl::RawFramePlacement CVViewCtrl::rawFramePlacement(QSize size) const {
    if (m_frameImage.isNull())
        return {};
    const LONG w = m_videoWidth, h = m_videoHeight;
    const auto g = frameLayerGeometry(m_zoom, w, h, m_hOffset, m_vOffset);
    if (g.exact && w <= kMaxWholeStretch && h <= kMaxWholeStretch)
        return {QRect(0, 0, w, h), QRectF(g.originX, g.originY, g.scaledWidth, g.scaledHeight)};
    const auto part =
        visibleFramePart(m_zoom, w, h, m_hOffset, m_vOffset, size.width(), size.height());
    if (part.columns == 0 || part.rows == 0)
        return {};
    return {QRect(part.column, part.row, part.columns, part.rows),
            QRectF(part.x, part.y, part.width, part.height)};
}

void CVViewCtrl::paintFrameLayer(QPainter &painter, QSize size) {
    if (!m_videoOpen)
        return;
    const LONG w = m_videoWidth, h = m_videoHeight;
    const auto g = frameLayerGeometry(m_zoom, w, h, m_hOffset, m_vOffset);
    if (m_mixing && m_sourceKind == 1) {
        // The mixed picture replaces the frame: the shown frame and the second video's frame
        // at the sync offset, blended by the mix player over the background.
        auto first = m_player.picturePart(shownFrame(), 100, 0, 0, 0, 0);
        // The sync offset is the host's and unchecked: a sum beyond a LONG is no frame.
        const long long synced = static_cast<long long>(shownFrame()) + m_mixSyncFrame;
        auto second = m_mixer.picturePart(
            static_cast<LONG>(std::clamp<long long>(synced, -1, std::numeric_limits<LONG>::max())),
            100, 0, 0, 0, 0);
        auto mixed = m_mixer.mixPicture(m_mixPicture.get(), first.get(), second.get(), m_mixFlags,
                                        m_mixThreshold, m_mixColor);
        if (auto pic = mixed) {
            const auto v = pic->image();
            if (!v.empty() && v.format == platform::PixelFormat::Bgra32) {
                const QImage img(v.data, v.width, v.height, v.stride, QImage::Format_RGB32);
                painter.drawImage(
                    QRect(-g.column, -g.row, zoomedSize(w, m_zoom), zoomedSize(h, m_zoom)), img);
            }
        }
        return;
    }
    if (m_sourceKind == 1) {
        m_player.drawFrame(&painter, shownFrame(), m_zoom, g.column, g.row, w, h, -g.dx, -g.dy);
    } else if (const auto placed = rawFramePlacement(size); !placed.target.isEmpty()) {
        if (placed.source == m_frameImage.rect())
            painter.drawImage(placed.target, m_frameImage);
        else // a copy of the part, so the painter's source positions stay small
            painter.drawImage(placed.target, m_frameImage.copy(placed.source));
    }
}

void CVViewCtrl::paintOverlayOnlyLayer(QPainter &painter) {
    if (!m_overlayPicture)
        return;
    const auto v = m_overlayPicture->image();
    if (v.empty())
        return;
    const QImage img = wrapImage(v);
    const auto g = frameLayerGeometry(m_zoom, v.width, v.height, m_hOffset, m_vOffset);
    if (m_zoom == 100)
        painter.drawImage(QPoint(g.originX, g.originY), img);
    else
        painter.drawImage(
            QRect(g.originX, g.originY, zoomedSize(v.width, m_zoom), zoomedSize(v.height, m_zoom)),
            img);
}

void CVViewCtrl::paintOverlayPicture(QPainter &painter) {
    if (!(m_overlayFlags & TALVOROVL_SHOW) || !m_overlayPicture)
        return;
    const QRgb key = translateColor(m_overlayTransparentColor).rgb();
    if (m_overlayKeyed.isNull() || m_overlayKeyedColor != key) {
        const auto v = m_overlayPicture->image();
        if (v.empty())
            return;
        m_overlayKeyed = keyTransparent(wrapImage(v), QColor::fromRgb(key));
        m_overlayKeyedColor = key;
    }
    // Placed at its own position less the scroll offsets, in 64 bits: both come unchecked.
    const QPoint at(clampToCoordinate(static_cast<long long>(m_overlayX) - m_hOffset),
                    clampToCoordinate(static_cast<long long>(m_overlayY) - m_vOffset));
    drawOverlayPicture(painter, m_overlayKeyed, m_zoom, (m_overlayFlags & TALVOROVL_STRETCH) != 0,
                       imageWidth(), imageHeight(), at);
}

void CVViewCtrl::noteLiveDataTime() {
    const DataTime at = dataTime();
    std::lock_guard lock(m_dataLock);
    m_liveDataTime = at;
}

CVViewCtrl::DataTime CVViewCtrl::dataTime() const {
    const float rate = AVIFrameRate();
    const LONG f = dataFrame(m_frame, rate, m_frameOffset);
    return {f, rate > 0.0f ? f / static_cast<double>(rate) : static_cast<double>(f)};
}

void CVViewCtrl::paint3DData(QPainter &painter, const DataTime &at, bool live) {
    if (!m_overlaySwitch[3] || !m_datas3D || !m_cal3D || !m_specification)
        return;
    if (!m_projection)
        ensureProjection(); // a helper left uncalibrated still serves: it projects nothing
    if (!m_projection)
        return;
    auto layout = m_specification.query<datalib::TalvorSpec>();
    auto data = m_datas3D.query<datalib::TalvorDatas>();
    auto projection = m_projection.query<datalib::TalvorProjection>();
    if (!layout || !data || !projection)
        return;
    OverlayMapping mapping{m_zoom, imageWidth(), imageHeight(), m_hOffset, m_vOffset};
    if (live) {
        mapping.live = true;
        mapping.captureWidth = m_captureWidth;
        mapping.captureHeight = m_captureHeight;
    }
    const LayoutStyle style{m_connectionsVisible != 0, m_pointsVisible != 0, m_penWidth,
                            CrossKind::Data};
    draw3DData(painter, *layout, *data, *projection, at.frame, at.seconds, mapping, style);
}

void CVViewCtrl::drawLiveImage(QPainter &painter, QSize frameSize) {
    std::lock_guard lock(m_dataLock);
    if (auto items = m_graphicItems.query<datalib::TalvorGraphicItems>()) {
        painter.save();
        // The device number goes in the frame's place; items are drawn unscaled.
        items->Draw(m_captureDevice, &painter, QRect(QPoint(0, 0), frameSize), 1.0f, 0.0f, 0.0f,
                    m_videoWidth, m_videoHeight);
        painter.restore();
    }
    // The capture thread may not ask the player for its rate: it reads the time noted last
    // on the interface thread.
    paint3DData(painter, m_liveDataTime, true);
}

void CVViewCtrl::paintOverlays(QPainter &painter, QSize size) {
    if (m_frame < 0)
        return; // after AVIOpen and before the first frame put nothing is laid over
    const DataTime at = dataTime();
    const LONG f = at.frame;
    const LONG w = imageWidth(), h = imageHeight();
    const OverlayMapping mapping{m_zoom, w, h, m_hOffset, m_vOffset};
    const LayoutStyle dataStyle{m_connectionsVisible != 0, m_pointsVisible != 0, m_penWidth,
                                CrossKind::Data};
    LayoutStyle calibrationStyle = dataStyle;
    calibrationStyle.crosses = CrossKind::Calibration;

    // In painting order: raw 2-D data, 3-D data, points of the 3-D calibration, points of
    // the 2-D calibration, angles, distances, graphic items.
    if (m_overlaySwitch[0]) {
        auto layout = m_specification.query<datalib::TalvorSpec>();
        auto data = m_rawDatas.query<datalib::TalvorDatas>();
        if (layout && data)
            drawRawData(painter, *layout, *data, f, mapping, dataStyle);
    }
    {
        std::lock_guard lock(m_dataLock);
        paint3DData(painter, at, false);
    }
    if (m_overlaySwitch[2]) {
        if (auto calibration = m_cal3D.query<datalib::TalvorCal3D>())
            drawCal3DPoints(painter, *calibration, mapping, calibrationStyle);
    }
    if (m_overlaySwitch[1]) {
        if (auto calibration = m_cal2D.query<datalib::TalvorCal2D>())
            drawCal2DPoints(painter, *calibration, mapping, calibrationStyle);
    }
    const float scale = m_zoom * 0.01f;
    const QRect imageRect(0, 0, w, h);
    if (auto angles = m_angles.query<datalib::TalvorAngles>()) {
        painter.save();
        angles->Draw(f, &painter, imageRect, w, h, scale, static_cast<float>(m_hOffset),
                     static_cast<float>(m_vOffset));
        painter.restore();
    }
    if (auto distances = m_distances.query<datalib::TalvorDistances>()) {
        painter.save();
        distances->Draw(f, &painter, imageRect, w, h, scale, static_cast<float>(m_hOffset),
                        static_cast<float>(m_vOffset));
        painter.restore();
    }
    if (auto items = m_graphicItems.query<datalib::TalvorGraphicItems>()) {
        painter.save();
        items->Draw(f, &painter, QRect(QPoint(0, 0), size), m_zoom * 0.01f,
                    static_cast<float>(m_hOffset), static_cast<float>(m_vOffset), m_videoWidth,
                    m_videoHeight);
        painter.restore();
    }
}

QRect CVViewCtrl::opaqueFrameRect(QSize size) const {
    // Where the frame layer is sure to cover every pixel: its drawn rectangle less a pixel
    // at each edge, so that rounding at a fractional zoom can never leave a seam unfilled.
    if (!m_videoOpen || (m_overlayFlags & TALVOROVL_ONLY) || m_mixing)
        return {};
    const auto g = frameLayerGeometry(m_zoom, m_videoWidth, m_videoHeight, m_hOffset, m_vOffset);
    QRectF drawn;
    if (m_sourceKind == 1) // the player draws from column and row, clamped to the frame
        drawn =
            QRectF(-g.dx, -g.dy, (m_videoWidth - std::max<LONG>(0, g.column)) * (m_zoom / 100.0),
                   (m_videoHeight - std::max<LONG>(0, g.row)) * (m_zoom / 100.0));
    else
        drawn = rawFramePlacement(size).target;
    if (drawn.width() <= 2 || drawn.height() <= 2)
        return {};
    const int left = truncToCoordinate(std::ceil(drawn.left())) + 1;
    const int top = truncToCoordinate(std::ceil(drawn.top())) + 1;
    const int right = truncToCoordinate(std::floor(drawn.right())) - 1;
    const int bottom = truncToCoordinate(std::floor(drawn.bottom())) - 1;
    if (right <= left || bottom <= top)
        return {};
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void CVViewCtrl::paintView(QPainter &painter, QSize size) {
    // The background shows only around the frame; filling under it as well would write
    // every pixel twice per frame during playback.
    const QRect view(QPoint(0, 0), size);
    const QColor back = translateColor(m_backColor);
    const QRect covered = opaqueFrameRect(size) & view;
    if (covered.isEmpty()) {
        painter.fillRect(view, back);
    } else {
        for (const QRect &band : QRegion(view).subtracted(QRegion(covered)))
            painter.fillRect(band, back);
    }
    if (m_overlayFlags & TALVOROVL_ONLY) {
        paintOverlayOnlyLayer(painter);
    } else {
        paintFrameLayer(painter, size);
        paintOverlayPicture(painter);
    }
    paintOverlays(painter, size);
    paintTracker(painter, size);
}

QImage CVViewCtrl::composeView(QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter painter(&image);
    paintView(painter, size);
    painter.end();
    return image;
}

void CVViewCtrl::paintEvent(QPaintEvent *) {
    // The window's backing store is the one off-screen image a repaint is composed in; the
    // window system copies it to the screen once, so nothing flickers and no frame is
    // copied twice on its way there.
    QPainter painter(this);
    paintView(painter, size());
}

void CVViewCtrl::QuickRefresh() {
    if (m_liveVideo)
        return; // the capture preview owns the window
    repaintNow();
}

void CVViewCtrl::Refresh() {
    repaintNow();
}

void CVViewCtrl::repaintNow() {
    if (m_repaintHolds > 0) {
        m_repaintPending = true;
        return;
    }
    if (isVisible())
        repaint();
}

void CVViewCtrl::holdRepaints() {
    ++m_repaintHolds;
}

void CVViewCtrl::releaseRepaints() {
    if (m_repaintHolds == 0 || --m_repaintHolds > 0)
        return;
    if (std::exchange(m_repaintPending, false) && isVisible())
        repaint();
}

// --- Pictures, copy, draw ---------------------------------------------------------------------

ComPtr<platform::IPicture> CVViewCtrl::Picture(LONG nFrame, LONG nZoom, BOOL bLines,
                                               BOOL bOverlay) {
    const bool overlayOnly = (m_overlayFlags & TALVOROVL_ONLY) != 0;
    const LONG baseW = overlayOnly ? imageWidth() : m_videoWidth;
    const LONG baseH = overlayOnly ? imageHeight() : m_videoHeight;
    const LONG w = zoomedSize(baseW, nZoom), h = zoomedSize(baseH, nZoom);
    if (nZoom <= 0 || w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxPicturePixels)
        return {};

    const LONG savedFrame = m_frame, savedZoom = m_zoom, savedH = m_hOffset, savedV = m_vOffset;
    m_frame = nFrame;
    m_zoom = nZoom;
    m_hOffset = m_vOffset = 0;

    auto picture = platform::createPicture(w, h, platform::PixelFormat::Bgra32);
    if (picture) {
        const auto v = picture->image();
        QImage target(picture->mutableData(), v.width, v.height, v.stride, QImage::Format_RGB32);
        QPainter painter(&target);
        painter.fillRect(target.rect(), translateColor(m_backColor));
        if (overlayOnly)
            paintOverlayOnlyLayer(painter);
        else
            paintFrameLayer(painter, QSize(w, h));
        if (bLines)
            paintOverlays(painter, QSize(w, h));
        if (!overlayOnly && bOverlay)
            paintOverlayPicture(painter); // drawn only with bit 1, as in the view
    }

    m_frame = savedFrame;
    m_zoom = savedZoom;
    m_hOffset = savedH;
    m_vOffset = savedV;
    return picture;
}

ComPtr<IUnknown> CVViewCtrl::PicturePart(LONG nFrame, LONG nZoom, LONG nLeft, LONG nTop,
                                         LONG nWidth, LONG nHeight, BOOL, BOOL) {
    if (!m_videoOpen)
        return {};
    auto picture = m_player.picturePart(nFrame, nZoom, nLeft, nTop, nWidth, nHeight);
    return picture ? ComPtr<IUnknown>::share(picture.get()) : ComPtr<IUnknown>();
}

BOOL CVViewCtrl::Copy() {
    if (!m_videoOpen)
        return 0;
    const LONG w = zoomedSize(m_videoWidth, m_zoom), h = zoomedSize(m_videoHeight, m_zoom);
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxPicturePixels)
        return 0;
    const QImage image = composeView(QSize(w, h));
    QApplication::clipboard()->setImage(image);
    return 1;
}

LONG CVViewCtrl::Draw(QPainter *target, LONG left, LONG top, LONG right, LONG bottom) {
    if (m_liveVideo || !target)
        return 0;
    // The rectangle comes from the host unchecked: its size is taken in 64 bits, and one
    // too large to compose is not drawn.
    const long long width = static_cast<long long>(right) - left;
    const long long height = static_cast<long long>(bottom) - top;
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels)
        return 0;
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    const LONG saved = m_zoom;
    m_zoom = fitZoom(size.width(), size.height(), imageWidth(), imageHeight());
    if (m_zoom > 0)
        target->drawImage(0, 0, composeView(size));
    m_zoom = saved;
    return 0;
}

LONG CVViewCtrl::MovePointer(double fx, double fy) {
    const LONG oldH = m_hOffset, oldV = m_vOffset;
    const auto m = movePointer(fx, fy, m_zoom, m_hOffset, m_vOffset, width(), height());
    if (m_hOffset != oldH || m_vOffset != oldV)
        update();
    QCursor::setPos(mapToGlobal(QPoint(m.x, m.y)));
    return 0;
}

// --- Mouse -------------------------------------------------------------------------------------

LONG CVViewCtrl::keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) const {
    LONG state = 0;
    if (buttons & Qt::LeftButton)
        state |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        state |= MK_RBUTTON;
    if (modifiers & Qt::ShiftModifier)
        state |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        state |= MK_CONTROL;
    if (buttons & Qt::MiddleButton)
        state |= MK_MBUTTON;
    return state;
}

void CVViewCtrl::mouseMoveEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    if (m_trackerOwnsMouse) {
        if (m_tracker.dragging()) {
            m_tracker.dragTo(p);
            update();
        }
        return;
    }
    if (m_tracker.active())
        showTrackerCursor(p);
    if (!m_toolTipText.empty())
        QToolTip::showText(event->globalPosition().toPoint(), QString::fromStdString(m_toolTipText),
                           this, QRect(p, QSize(1, 1)));
    const auto image = windowToImage(p.x(), p.y(), m_zoom, m_hOffset, m_vOffset);
    emit SpecialMouseMove(keyState(event->buttons(), event->modifiers()), p.x(), p.y(), image.x,
                          image.y);
}

void CVViewCtrl::mousePressEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    const auto image = windowToImage(p.x(), p.y(), m_zoom, m_hOffset, m_vOffset);
    LONG flags = keyState(event->buttons(), event->modifiers());
    if (m_trackerOwnsMouse && event->button() == Qt::LeftButton) {
        // The left button goes down again, so the release that ends the drag never came (the
        // view was hidden or lost the mouse meanwhile): that drag is over.
        m_tracker.cancelDrag();
        m_trackerOwnsMouse = false;
        update();
    }
    if (m_trackerOwnsMouse) {
        // Another button during the drag cancels it, as a modal tracking loop does.
        if (m_tracker.dragging()) {
            m_tracker.cancelDrag();
            update();
        }
        return;
    }
    if (event->button() == Qt::LeftButton) {
        if (m_tracker.active()) {
            // The tracker takes every left press: one on the rectangle or a handle starts
            // its drag, one elsewhere does nothing.
            if (m_tracker.beginDrag(p)) {
                m_trackerOwnsMouse = true;
                showTrackerCursor(p);
            }
            return;
        }
        emit SpecialMouseDown(flags | MK_LBUTTON, p.x(), p.y(), image.x, image.y);
    } else if (event->button() == Qt::RightButton) {
        emit SpecialMouseDown(flags | MK_RBUTTON, p.x(), p.y(), image.x, image.y);
    }
}

void CVViewCtrl::mouseReleaseEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    if (m_trackerOwnsMouse) {
        if (event->button() != Qt::LeftButton)
            return;
        m_trackerOwnsMouse = false;
        if (m_tracker.endDrag(p)) {
            const auto r = m_tracker.imageRect();
            emit NewRectangle(r[0], r[1], r[2], r[3]);
        }
        update();
        if (m_tracker.active())
            showTrackerCursor(p);
        return;
    }
    const auto image = windowToImage(p.x(), p.y(), m_zoom, m_hOffset, m_vOffset);
    const LONG flags = keyState(event->buttons(), event->modifiers());
    if (event->button() == Qt::LeftButton)
        emit SpecialMouseUp(flags | MK_LBUTTON, p.x(), p.y(), image.x, image.y);
    else if (event->button() == Qt::RightButton)
        emit SpecialMouseUp(flags | MK_RBUTTON, p.x(), p.y(), image.x, image.y);
}

// --- Persistence -------------------------------------------------------------------------------

LONG CVViewCtrl::Save(ComPtr<IUnknown> punkStream) {
    if (!punkStream)
        return -1;
    if (!punkStream.query<platform::IStream>())
        return -2;
    return 0; // nothing is written
}

LONG CVViewCtrl::Load(ComPtr<IUnknown> punkStream) {
    if (!punkStream)
        return -1;
    auto stream = punkStream.query<platform::IStream>();
    if (!stream)
        return -2;
    // The loaders are bound by ordinal, as the kernel library exports them.
    const auto loadLong =
        reinterpret_cast<vexcore::SLoadLong>(VexcoreProcByOrdinal(vexcore::kOrdinalLong));
    const auto loadFloat =
        reinterpret_cast<vexcore::SLoadFloat>(VexcoreProcByOrdinal(vexcore::kOrdinalFloat));
    const auto loadString =
        reinterpret_cast<vexcore::SLoadString>(VexcoreProcByOrdinal(vexcore::kOrdinalString));
    auto readLong = [&] {
        LONG v = 0;
        loadLong(stream.get(), &v);
        return v;
    };

    if (readLong() == 123) {
        SetBackColor(static_cast<OLE_COLOR>(readLong()));
        SetAppearance(static_cast<platform::SHORT>(readLong()));
        // One byte more than the loader's buffer, zeroed, so the name always ends.
        char name[vexcore::kStringLoadCapacity + 1] = {};
        loadString(stream.get(), name);
        m_frame = readLong();
        m_zoom = readLong();
        m_penWidth = readLong();
        m_hOffset = readLong();
        m_vOffset = readLong();
        m_pointsVisible = readLong();
        m_connectionsVisible = readLong();
        m_captureFrameRate = readLong();
        m_fireStatusEnabled = readLong();
        float offset = 0.0f;
        loadFloat(stream.get(), &offset);
        m_frameOffset = offset;
        m_overlayFlags = readLong();
        m_overlayTransparentColor = static_cast<OLE_COLOR>(readLong());
        const LONG mode = readLong();
        m_updateFrame = readLong();
        m_frozenFrame = readLong();
        AVIOpen(name, mode);
    }
    update();
    return 0;
}

void CVViewCtrl::exchangeProperties(PropertyBag &bag, bool loading) {
    // The version is kept for later layouts; entries are read by name, so a bag of another
    // version still gives every property it holds.
    LONG version = kExchangeVersion;
    exchangeLong(bag, loading, QStringLiteral("_Version"), version, kExchangeVersion);
    exchangeColor(bag, loading, QStringLiteral("BackColor"), m_backColor, 0x8000000F);
    exchangeShort(bag, loading, QStringLiteral("Appearance"), m_appearance, 0);
    exchangeLong(bag, loading, QStringLiteral("Frame"), m_frame, 0);
    exchangeLong(bag, loading, QStringLiteral("Zoom"), m_zoom, 100);
    exchangeLong(bag, loading, QStringLiteral("PenWidth"), m_penWidth, 5);
    exchangeLong(bag, loading, QStringLiteral("HorizontalOffset"), m_hOffset, 0);
    exchangeLong(bag, loading, QStringLiteral("VerticalOffset"), m_vOffset, 0);
    exchangeBool(bag, loading, QStringLiteral("PointsVisible"), m_pointsVisible, false);
    exchangeBool(bag, loading, QStringLiteral("ConnectionsVisible"), m_connectionsVisible, false);
    exchangeBool(bag, loading, QStringLiteral("FireStatusEnabled"), m_fireStatusEnabled, false);
    exchangeLong(bag, loading, QStringLiteral("CaptureFrameRate"), m_captureFrameRate, 25);
    exchangeFloat(bag, loading, QStringLiteral("AVIFrameOffset"), m_frameOffset, 0.0f);
    exchangeString(bag, loading, QStringLiteral("ToolTipText"), m_toolTipText, {});
    exchangeLong(bag, loading, QStringLiteral("OverlayFlags"), m_overlayFlags, 0);
    exchangeColor(bag, loading, QStringLiteral("OverlayTransparentColor"),
                  m_overlayTransparentColor, 0);
    exchangeBool(bag, loading, QStringLiteral("UpdateFrame"), m_updateFrame, true);
    exchangeLong(bag, loading, QStringLiteral("LCID"), m_lcid, 1031);
    if (!loading)
        return; // a container that only saves must not switch the host's language
    // Whatever was stored, the control starts in German; a host sets its own language.
    m_lcid = 1031;
    loadLanguage();
    m_modified = false; // the container's copy and the control agree
    update();
}

void CVViewCtrl::showMessage(LONG textNumber) {
    if (!m_messageBoxesEnabled)
        return;
    constexpr LONG kSection = 30004;
    platform::ui::dialogs().messageBox(
        this, lingmod::talvorGetNLSString(m_language, kSection, textNumber),
        lingmod::talvorGetNLSString(m_language, kSection, 10), platform::ui::Critical);
}

// --- Rectangle tracking and mixing ------------------------------------------------------------

LONG CVViewCtrl::ActivateRectangle(BOOL bActivate, LONG nFlags, float fLeft, float fTop,
                                   float fRight, float fBottom) {
    if (bActivate) {
        // Only a loaded state can hold a zoom the rectangle cannot be scaled by (0 or less).
        if (!m_tracker.activate(nFlags, fLeft, fTop, fRight, fBottom, m_zoom, imageWidth(),
                                imageHeight()))
            return -1;
    } else {
        m_tracker.deactivate();
        restoreCursor();
    }
    update();
    return 0;
}

void CVViewCtrl::showTrackerCursor(QPoint at) {
    const auto hit = m_tracker.hitTest(at);
    if (hit == RectangleTracker::Hit::None) {
        restoreCursor();
        return;
    }
    if (!std::exchange(m_trackerCursorShown, true))
        m_cursorBeforeTracker =
            testAttribute(Qt::WA_SetCursor) ? std::optional<QCursor>(cursor()) : std::nullopt;
    setCursor(RectangleTracker::cursorFor(hit));
}

void CVViewCtrl::restoreCursor() {
    if (!std::exchange(m_trackerCursorShown, false))
        return;
    if (m_cursorBeforeTracker)
        setCursor(*m_cursorBeforeTracker);
    else
        unsetCursor();
    m_cursorBeforeTracker.reset();
}

void CVViewCtrl::paintTracker(QPainter &painter, QSize size) {
    if (!m_tracker.active())
        return;
    // In window pixels: the rectangle is not shifted by the scroll offsets. Every shape is
    // cut to the view less a margin first, so a far edge (up to kFarCoordinate) never
    // reaches the painter; the lines are axis-parallel, so what shows is the same.
    constexpr int s = RectangleTracker::kHandleSize;
    const QRect area = QRect(QPoint(0, 0), size).adjusted(-2 * s, -2 * s, 2 * s, 2 * s);
    const TrackerEdges &r = m_tracker.rect();
    const auto cut = [&](LONG v, int lo, int hi) {
        return std::clamp<LONG>(v, lo, hi + 1);
    };
    const int left = cut(r.left, area.left(), area.right());
    const int right = cut(r.right, area.left(), area.right());
    const int top = cut(r.top, area.top(), area.bottom());
    const int bottom = cut(r.bottom, area.top(), area.bottom());
    const QRect inside(QPoint(left, top), QPoint(right - 1, bottom - 1)); // may be empty
    const LONG style = m_tracker.style();
    const QBrush hatch(Qt::black, Qt::BDiagPattern);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if ((style & RectangleTracker::HatchInside) && !inside.isEmpty())
        painter.fillRect(inside, hatch);
    if (style & RectangleTracker::HatchedBorder)
        for (const QRect &band : m_tracker.borderBands())
            if (const QRect shown = band & area; !shown.isEmpty())
                painter.fillRect(shown, hatch);
    if ((style & (RectangleTracker::SolidLine | RectangleTracker::DottedLine)) &&
        !inside.isEmpty()) {
        // A stroked QRect covers its size plus the pen, so the outline on the rectangle's
        // border pixels is drawn from a rectangle one pixel smaller. A dotted line is black
        // on white so that it shows on any picture.
        const QRect outline(inside.topLeft(), inside.size() - QSize(1, 1));
        painter.setBrush(Qt::NoBrush);
        if (outline.isEmpty()) { // one pixel wide or high: the line is the rectangle
            painter.fillRect(inside, Qt::black);
        } else {
            QPen pen(Qt::black, 0);
            if (!(style & RectangleTracker::SolidLine)) {
                painter.setPen(QPen(Qt::white, 0));
                painter.drawRect(outline);
                pen.setDashPattern({1.0, 1.0});
            }
            painter.setPen(pen);
            painter.drawRect(outline);
        }
    }
    if (m_tracker.hasHandles())
        for (const auto handle : RectangleTracker::kHandles)
            if (const QRect shown = m_tracker.handleRect(handle) & area; !shown.isEmpty())
                painter.fillRect(shown, Qt::black);
    painter.restore();
}

LONG CVViewCtrl::DoMixPicture(ComPtr<IUnknown> punkPicBackground, const std::string &bsFilename,
                              LONG nAVIMode, LONG nSyncFrame, LONG nFlags, float fThreshold,
                              OLE_COLOR cColor) {
    m_mixPicture.reset();
    m_mixing = false;
    if (bsFilename.empty())
        return 0;
    const QColor back = translateColor(m_backColor);
    m_mixer.setBackColor(platform::refFromColor(back));
    m_mixer.open(bsFilename, nAVIMode);
    if (!m_mixer.isOpen())
        return -1;
    if (!punkPicBackground) {
        const LONG count = m_player.numberOfFrames();
        auto at = [&](double share) {
            return m_player.picturePart(static_cast<LONG>(count * share), 100, 0, 0, 0, 0);
        };
        const auto a = at(0.05), b = at(0.5), c = at(0.95);
        m_mixPicture = m_player.mixBackground(a.get(), b.get(), c.get(), 0, fThreshold);
    } else {
        m_mixPicture = punkPicBackground.query<platform::IPicture>();
        if (!m_mixPicture) {
            m_mixer.close();
            return -1;
        }
    }
    m_mixFlags = nFlags;
    m_mixSyncFrame = nSyncFrame;
    m_mixThreshold = fThreshold;
    m_mixColor = cColor;
    m_mixing = true;
    update();
    return 0;
}

void CVViewCtrl::EditProperties(QWidget *owner) {
    CVViewPropPage page(*this, owner ? owner : this);
    platform::ui::dialogs().exec(page);
}

} // namespace quivex
