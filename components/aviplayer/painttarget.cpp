#include "components/aviplayer/painttarget.h"

namespace aviplayer {

namespace {

class PaintTarget final : public platform::RefCounted<IPaintTarget> {
public:
    explicit PaintTarget(QPainter *painter) : m_painter(painter) {}

    platform::HRESULT QueryInterface(const platform::Guid &iid, void **object) override {
        if (!object)
            return platform::E_POINTER;
        if (iid == platform::IUnknown::IID || iid == IPaintTarget::IID) {
            AddRef();
            *object = static_cast<IPaintTarget *>(this);
            return platform::S_OK;
        }
        *object = nullptr;
        return platform::E_NOINTERFACE;
    }
    QPainter *painter() const override { return m_painter; }

private:
    QPainter *m_painter;
};

} // namespace

platform::ComPtr<IPaintTarget> makePaintTarget(QPainter *painter) {
    return platform::ComPtr<IPaintTarget>::attach(new PaintTarget(painter));
}

} // namespace aviplayer
