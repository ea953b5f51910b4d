// Distances between two marker points over the view, read from a data set at the drawn
// frame: the line with end ticks and its length, in the 2-D calibration's unit when one is
// usable, else in image pixels.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <QPointF>

#include <optional>
#include <vector>

namespace datalib {

class Distances final : public ComObject<TalvorDistances> {
public:
    HRESULT SetDatas(TalvorDatas *datas) override;
    HRESULT SetCalibration(TalvorCal2D *calibration) override;
    HRESULT Add(LONG first, LONG second, COLORREF color, LONG *index) override;
    HRESULT Remove(LONG index) override;
    HRESULT Clear() override;
    HRESULT GetCount(LONG *count) override;
    HRESULT GetLength(LONG index, LONG frame, LONG width, LONG height, double *length) override;
    HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, LONG width, LONG height,
                 float scale, float hOffset, float vOffset) override;

    // Half the length of the ticks across the ends, in window pixels.
    static constexpr double kTick = 4.0;

private:
    struct Distance {
        LONG first, second;
        COLORREF color;
    };
    struct Measured {
        double length;
        bool calibrated; // in the calibration's unit, else in image pixels
        SHORT unit;      // the calibration's unit code when calibrated
    };
    std::optional<Measured> measure(QPointF first, QPointF second, LONG width, LONG height) const;

    IndexedList<Distance> m_distances;
    platform::ComPtr<TalvorDatas> m_datas;
    platform::ComPtr<TalvorCal2D> m_calibration;
};

} // namespace datalib
