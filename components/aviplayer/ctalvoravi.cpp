#include "components/aviplayer/ctalvoravi.h"

#include "components/aviplayer/aviplayerobject.h"
#include "components/aviplayer/painttarget.h"
#include "platform/classes.h"

namespace aviplayer {

using platform::ComPtr;
using platform::DispatchKind;
using platform::IPicture;
using platform::IUnknown;
using platform::LONG;
using platform::Variant;

namespace {

ComPtr<IUnknown> unknownOf(IPicture *picture) {
    return picture ? ComPtr<IUnknown>::share(picture) : ComPtr<IUnknown>();
}

ComPtr<IPicture> pictureResult(const platform::DispatchResult &r) {
    return r.ok() ? r.value.toUnknown().query<IPicture>() : ComPtr<IPicture>();
}

} // namespace

CTalvorAVI CTalvorAVI::create(platform::HRESULT *status) {
    return CTalvorAVI(platform::createInstance<platform::IDispatch>(CLSID_TalvorAVICtrl, status));
}

platform::DispatchResult CTalvorAVI::get(platform::DISPID id, std::vector<Variant> args) const {
    return platform::invoke(m_player.get(), id, DispatchKind::PropertyGet, std::move(args));
}

void CTalvorAVI::setBackColor(platform::COLORREF color) {
    platform::invoke(m_player.get(), dispid::BackColor, DispatchKind::PropertyPut,
                     {Variant(static_cast<LONG>(color))});
}

LONG CTalvorAVI::open(const std::string &file, LONG mode) {
    const auto r = platform::invoke(m_player.get(), dispid::Open, DispatchKind::Method,
                                    {Variant(file), Variant(mode)});
    return r.ok() ? r.value.toLong() : -1;
}

LONG CTalvorAVI::close() {
    const auto r = platform::invoke(m_player.get(), dispid::Close, DispatchKind::Method);
    return r.ok() ? r.value.toLong() : -1;
}

LONG CTalvorAVI::numberOfFrames() const {
    return get(dispid::NumberOfFrames).value.toLong();
}
float CTalvorAVI::frameRate() const {
    return get(dispid::FrameRate).value.toFloat();
}
LONG CTalvorAVI::width() const {
    return get(dispid::Width).value.toLong();
}
LONG CTalvorAVI::height() const {
    return get(dispid::Height).value.toLong();
}
bool CTalvorAVI::isOpen() const {
    return get(dispid::IsOpen).value.toBool();
}
float CTalvorAVI::frameRateForced() const {
    return get(dispid::FrameRateForced).value.toFloat();
}

void CTalvorAVI::setFrameRateForced(float rate) {
    platform::invoke(m_player.get(), dispid::FrameRateForced, DispatchKind::PropertyPut,
                     {Variant(rate)});
}

LONG CTalvorAVI::drawFrame(QPainter *painter, LONG frame, LONG zoom, LONG column, LONG row,
                           LONG width, LONG height, LONG shiftX, LONG shiftY) {
    const ComPtr<IPaintTarget> target = makePaintTarget(painter);
    const auto r = platform::invoke(m_player.get(), dispid::DrawFrame, DispatchKind::Method,
                                    {Variant(ComPtr<IUnknown>::share(target.get())), Variant(frame),
                                     Variant(zoom), Variant(column), Variant(row), Variant(width),
                                     Variant(height), Variant(shiftX), Variant(shiftY)});
    return r.ok() ? r.value.toLong() : -1;
}

ComPtr<IPicture> CTalvorAVI::picturePart(LONG frame, LONG zoom, LONG x, LONG y, LONG width,
                                         LONG height) const {
    return pictureResult(get(dispid::PicturePart, {Variant(frame), Variant(zoom), Variant(x),
                                                   Variant(y), Variant(width), Variant(height)}));
}

ComPtr<IPicture> CTalvorAVI::mixBackground(IPicture *a, IPicture *b, IPicture *c, LONG flags,
                                           float value) {
    return pictureResult(platform::invoke(m_player.get(), dispid::MixBackground,
                                          DispatchKind::Method,
                                          {Variant(unknownOf(a)), Variant(unknownOf(b)),
                                           Variant(unknownOf(c)), Variant(flags), Variant(value)}));
}

ComPtr<IPicture> CTalvorAVI::mixPicture(IPicture *background, IPicture *frame, IPicture *second,
                                        LONG flags, float threshold, platform::COLORREF color) {
    platform::SafeArray frames;
    frames.elementType = platform::VarType::Unknown;
    frames.elements = {Variant(unknownOf(frame)), Variant(unknownOf(second))};
    return pictureResult(
        platform::invoke(m_player.get(), dispid::MixPicture, DispatchKind::Method,
                         {Variant(unknownOf(background)), Variant(std::move(frames)), Variant(),
                          Variant(flags), Variant(threshold), Variant(static_cast<LONG>(color))}));
}

} // namespace aviplayer
