// What angles and distances draw with: aliased lines and arcs with a solid pen one pixel
// wide, and value labels, clipped to the target rectangle. Geometry is in window pixels and
// may lie anywhere; segments far outside the target are cut before they reach the painter.
#pragma once

#include "components/datalib/interfaces.h"

#include <QPointF>
#include <QRect>
#include <QString>

class QPainter;

namespace datalib {

// The vector across v (v turned a quarter), of the same length, on the side a label goes to:
// the upper one on the screen, else (for a vertical v) the right one.
QPointF upperNormal(QPointF v);

class MeasurePainter {
public:
    // Saves the painter's state and restores it on destruction.
    MeasurePainter(QPainter *painter, const QRect &target);
    ~MeasurePainter();
    MeasurePainter(const MeasurePainter &) = delete;
    MeasurePainter &operator=(const MeasurePainter &) = delete;

    void setColor(COLORREF color);
    void line(QPointF a, QPointF b);
    // Degrees counter-clockwise on the screen from the positive x axis, as QPainter counts.
    void arc(QPointF centre, double radius, double startDegrees, double spanDegrees);
    // The text centred beyond `anchor` along the unit vector `direction`, its box `gap`
    // pixels from the anchor. Text needs a GUI application's fonts; without one, and for a
    // box outside the target, nothing is drawn.
    void label(QPointF anchor, QPointF direction, double gap, const QString &text);
    // A value with fixed decimals and the user's decimal separator, as the marker table
    // shows numbers ("-0.0" loses its sign).
    QString number(double value, int decimals) const;

private:
    QPainter *m_painter;
    QRect m_target;
    QRectF m_reach;     // the target and a margin wider than any pen
    QRectF m_lineReach; // where lines are cut
    QString m_separator;
};

} // namespace datalib
