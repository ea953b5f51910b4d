#include "components/aviplayer/aviplayerobject.h"

#include "components/aviplayer/painttarget.h"
#include "components/aviplayer/picturemix.h"
#include "platform/classes.h"

namespace aviplayer {

using platform::ComPtr;
using platform::DispatchKind;
using platform::HRESULT;
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

class AviPlayerObject final : public platform::RefCounted<platform::IDispatch> {
public:
    explicit AviPlayerObject(ReaderSettings settings) : m_player(settings) { buildTable(); }

    HRESULT QueryInterface(const platform::Guid &iid, void **object) override {
        if (!object)
            return platform::E_POINTER;
        if (iid == IUnknown::IID || iid == platform::IDispatch::IID || iid == DIID_TalvorAVI) {
            AddRef();
            *object = static_cast<platform::IDispatch *>(this);
            return platform::S_OK;
        }
        *object = nullptr;
        return platform::E_NOINTERFACE;
    }

    HRESULT Invoke(platform::DISPID id, DispatchKind kind, std::span<Variant> args,
                   Variant *result) override {
        return m_table.invoke(id, kind, args, result);
    }

private:
    void buildTable();

    AviPlayer m_player;
    platform::DispatchTable m_table;
};

void AviPlayerObject::buildTable() {
    using K = DispatchKind;
    auto &t = m_table;
    t.add(dispid::BackColor, K::PropertyPut, "BackColor", 1,
          [this](std::span<Variant> a, Variant *) {
              bool ok = false;
              const LONG color = a[0].deref().toLong(&ok);
              if (!ok)
                  return platform::DISP_E_TYPEMISMATCH;
              m_player.setBackColor(static_cast<platform::COLORREF>(color));
              return platform::S_OK;
          });
    t.add(dispid::BackColor, K::PropertyGet, "BackColor", 0,
          [this](std::span<Variant>, Variant *r) {
              *r = Variant(static_cast<LONG>(m_player.backColor()));
              return platform::S_OK;
          });
    t.add(dispid::Open, K::Method, "Open", 2, [this](std::span<Variant> a, Variant *r) {
        bool ok = false;
        const std::string file = a[0].deref().toString(&ok);
        LONG mode = 0;
        if (!ok || !longs(a, 1, 1, &mode))
            return platform::DISP_E_TYPEMISMATCH;
        *r = Variant(m_player.open(file, mode));
        return platform::S_OK;
    });
    t.add(dispid::Close, K::Method, "Close", 0, [this](std::span<Variant>, Variant *r) {
        m_player.close();
        *r = Variant(LONG{0});
        return platform::S_OK;
    });
    t.add(dispid::NumberOfFrames, K::PropertyGet, "NumberOfFrames", 0,
          [this](std::span<Variant>, Variant *r) {
              *r = Variant(m_player.frameCount());
              return platform::S_OK;
          });
    t.add(dispid::FrameRate, K::PropertyGet, "FrameRate", 0,
          [this](std::span<Variant>, Variant *r) {
              *r = Variant(m_player.frameRate());
              return platform::S_OK;
          });
    t.add(dispid::Width, K::PropertyGet, "Width", 0, [this](std::span<Variant>, Variant *r) {
        *r = Variant(m_player.width());
        return platform::S_OK;
    });
    t.add(dispid::Height, K::PropertyGet, "Height", 0, [this](std::span<Variant>, Variant *r) {
        *r = Variant(m_player.height());
        return platform::S_OK;
    });
    t.add(dispid::IsOpen, K::PropertyGet, "Open", 0, [this](std::span<Variant>, Variant *r) {
        *r = Variant(m_player.isOpen());
        return platform::S_OK;
    });
    t.add(dispid::FrameRateForced, K::PropertyGet, "FrameRateForced", 0,
          [this](std::span<Variant>, Variant *r) {
              *r = Variant(m_player.forcedFrameRate());
              return platform::S_OK;
          });
    t.add(dispid::FrameRateForced, K::PropertyPut, "FrameRateForced", 1,
          [this](std::span<Variant> a, Variant *) {
              bool ok = false;
              const float rate = a[0].deref().toFloat(&ok);
              if (!ok)
                  return platform::DISP_E_TYPEMISMATCH;
              m_player.setForcedFrameRate(rate);
              return platform::S_OK;
          });
    t.add(dispid::DrawFrame, K::Method, "DrawFrame", 9, [this](std::span<Variant> a, Variant *r) {
        LONG v[8] = {};
        if (!longs(a, 1, 8, v))
            return platform::DISP_E_TYPEMISMATCH;
        const auto target = a[0].deref().toUnknown().query<IPaintTarget>();
        *r = Variant(target ? m_player.draw(target->painter(), v[0], v[1], v[2], v[3], v[4], v[5],
                                            v[6], v[7])
                            : LONG{-2});
        return platform::S_OK;
    });
    t.add(dispid::PicturePart, K::PropertyGet, "PicturePart", 6,
          [this](std::span<Variant> a, Variant *r) {
              LONG v[6] = {};
              if (!longs(a, 0, 6, v))
                  return platform::DISP_E_TYPEMISMATCH;
              *r = unknownOf(m_player.picturePart(v[0], v[1], v[2], v[3], v[4], v[5]));
              return platform::S_OK;
          });
    t.add(dispid::MixBackground, K::Method, "MixBackground", 5,
          [](std::span<Variant> a, Variant *r) {
              const auto p0 = pictureOf(a[0]), p1 = pictureOf(a[1]), p2 = pictureOf(a[2]);
              *r = unknownOf(medianPicture(p0.get(), p1.get(), p2.get()));
              return platform::S_OK;
          });
    t.add(dispid::MixPicture, K::Method, "MixPicture", 6, [](std::span<Variant> a, Variant *r) {
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
