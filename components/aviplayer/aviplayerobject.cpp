#include "components/aviplayer/aviplayerobject.h"

#include "components/aviplayer/picturemix.h"
#include "platform/classes.h"

namespace aviplayer {

using platform::ComPtr;
using platform::DispatchKind;
using platform::IPicture;
using platform::IUnknown;
using platform::LONG;
using platform::Variant;

namespace {

// Integer arguments; false when one cannot be read as a number.
bool longs(std::span<Variant> args, std::size_t from, std::size_t count, LONG *out) {
    for (std::size_t i = 0; i < count; ++i) {
        bool ok = false;
        out[i] = args[from + i].deref().toLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

ComPtr<IPicture> pictureOf(const Variant &v) {
    return v.deref().toUnknown().query<IPicture>();
}

Variant unknownOf(const ComPtr<IPicture> &picture) {
    return Variant(picture ? ComPtr<IUnknown>::share(picture.get()) : ComPtr<IUnknown>());
}

class AviPlayerObject final : public platform::DispatchObject<DIID_TalvorAVI> {
public:
    explicit AviPlayerObject(ReaderSettings settings) : m_player(settings) { buildTable(); }

private:
    const platform::DispatchTable *dispatchTable() const override { return &m_table; }
    void buildTable();

    AviPlayer m_player;
    platform::DispatchTable m_table;
};

void AviPlayerObject::buildTable() {
    using P = AviPlayer;
    auto t = m_table.bind(&m_player);
    t.property<LONG>(dispid::BackColor, "BackColor", &P::backColor, &P::setBackColor);
    // Written out: open() also takes a progress callback, which no host passes.
    t.add(dispid::Open, DispatchKind::Method, "Open", 2, [this](std::span<Variant> a, Variant *r) {
        bool ok = false;
        const std::string file = a[0].deref().toString(&ok);
        LONG mode = 0;
        if (!ok || !longs(a, 1, 1, &mode))
            return platform::DISP_E_TYPEMISMATCH;
        *r = Variant(m_player.open(file, mode));
        return platform::S_OK;
    });
    // close() has no result; the method answers 0.
    t.add(dispid::Close, DispatchKind::Method, "Close", 0, [this](std::span<Variant>, Variant *r) {
        m_player.close();
        *r = Variant(LONG{0});
        return platform::S_OK;
    });
    t.property(dispid::NumberOfFrames, "NumberOfFrames", &P::frameCount);
    t.property(dispid::FrameRate, "FrameRate", &P::frameRate);
    t.property(dispid::Width, "Width", &P::width);
    t.property(dispid::Height, "Height", &P::height);
    t.property(dispid::IsOpen, "Open", &P::isOpen);
    t.property(dispid::FrameRateForced, "FrameRateForced", &P::forcedFrameRate,
               &P::setForcedFrameRate);
    t.method<LONG(PaintTargetArg, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG)>(
        dispid::DrawFrame, "DrawFrame", &P::draw);
    t.property(dispid::PicturePart, "PicturePart", &P::picturePart);
    // The mixing methods take pictures by any interface, ignore some arguments and find
    // their frames in arrays, so they are written out.
    t.add(dispid::MixBackground, DispatchKind::Method, "MixBackground", 5,
          [](std::span<Variant> a, Variant *r) {
              const auto p0 = pictureOf(a[0]), p1 = pictureOf(a[1]), p2 = pictureOf(a[2]);
              *r = unknownOf(medianPicture(p0.get(), p1.get(), p2.get()));
              return platform::S_OK;
          });
    t.add(dispid::MixPicture, DispatchKind::Method, "MixPicture", 6,
          [](std::span<Variant> a, Variant *r) {
              LONG flags = 0, color = 0;
              bool ok = false;
              const float threshold = a[4].deref().toFloat(&ok);
              if (!ok || !longs(a, 3, 1, &flags) || !longs(a, 5, 1, &color))
                  return platform::DISP_E_TYPEMISMATCH;
              // The two frames come as an array in either of the two VARIANTs.
              ComPtr<IPicture> first, second;
              for (std::size_t i = 1; i <= 2 && !first; ++i) {
                  const platform::SafeArray *array = a[i].deref().array();
                  if (array && array->elements.size() >= 2) {
                      first = pictureOf(array->elements[0]);
                      second = pictureOf(array->elements[1]);
                  }
              }
              const auto background = pictureOf(a[0]);
              *r = unknownOf(mixOver(background.get(), first.get(), second.get(), flags, threshold,
                                     static_cast<platform::COLORREF>(color)));
              return platform::S_OK;
          });
}

} // namespace

ComPtr<platform::IDispatch> createPlayerObject(ReaderSettings settings) {
    return ComPtr<platform::IDispatch>::attach(new AviPlayerObject(settings));
}

void registerClasses() {
    platform::registerClass(CLSID_TalvorAVICtrl, [] {
        return ComPtr<IUnknown>::attach(new AviPlayerObject(ReaderSettings{}));
    });
}

} // namespace aviplayer
