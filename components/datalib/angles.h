// Angles between marker points over the view: each joins an arm end, a vertex and another
// arm end, read from a data set at the drawn frame, and draws its arms, an arc at the
// vertex and its value in degrees.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <QPointF>

#include <optional>
#include <vector>

namespace datalib {

class Angles final : public ComObject<TalvorAngles> {
public:
    HRESULT SetDatas(TalvorDatas *datas) override;
    HRESULT Add(LONG first, LONG vertex, LONG second, COLORREF color, LONG *index) override;
    HRESULT Remove(LONG index) override;
    HRESULT Clear() override;
    HRESULT GetCount(LONG *count) override;
    HRESULT GetAngle(LONG index, LONG frame, LONG width, LONG height, double *degrees) override;
    HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, LONG width, LONG height,
                 float scale, float hOffset, float vOffset) override;

    // Radius of the arc at the vertex in window pixels; shorter arms get one of half the
    // shorter arm's length, and arcs below 2 pixels are left out.
    static constexpr double kArcRadius = 16.0;

private:
    struct Angle {
        LONG first, vertex, second;
        COLORREF color;
    };
    struct Points {
        QPointF first, vertex, second; // image fractions
    };
    std::optional<Points> read(const Angle &angle, LONG frame) const;

    IndexedList<Angle> m_angles;
    platform::ComPtr<TalvorDatas> m_datas;
};

} // namespace datalib
