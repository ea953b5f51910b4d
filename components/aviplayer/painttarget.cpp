#include "components/aviplayer/painttarget.h"

namespace aviplayer {

namespace {

class PaintTarget final : public platform::ComObject<IPaintTarget> {
public:
    explicit PaintTarget(QPainter *painter) : m_painter(painter) {}

    QPainter *painter() const override { return m_painter; }

private:
    QPainter *m_painter;
};

} // namespace

platform::ComPtr<IPaintTarget> makePaintTarget(QPainter *painter) {
    return platform::ComPtr<IPaintTarget>::attach(new PaintTarget(painter));
}

} // namespace aviplayer
