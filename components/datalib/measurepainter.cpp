#include "components/datalib/measurepainter.h"
#include "components/datalib/fractionmapping.h"

#include "platform/colorref.h"
#include "platform/locale.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace datalib {

namespace {

// Lines are cut this far outside the target and drawn between whole pixels, as the
// control draws its own: within the margin a line is exactly the one between its mapped end
// points; a cut end moves by at most half a pixel, which tilts the line by under
// 0.5 / 65536 where it shows. The painter's fixed-point rasteriser stays far from overflow.
constexpr double kLineMargin = 65536.0;
// Beyond the target by more than a pen's reach, nothing a 1-pixel pen draws shows.
constexpr double kMargin = 4.0;

QPoint wholePixel(QPointF p) {
    return QPoint(static_cast<int>(std::floor(p.x() + 0.5)),
                  static_cast<int>(std::floor(p.y() + 0.5)));
}

} // namespace

QPointF upperNormal(QPointF v) {
    const QPointF across(v.y(), -v.x());
    return across.y() > 0.0 || (across.y() == 0.0 && across.x() < 0.0) ? -across : across;
}

MeasurePainter::MeasurePainter(QPainter *painter, const QRect &target)
    : m_painter(painter), m_target(target),
      m_reach(QRectF(target).adjusted(-kMargin, -kMargin, kMargin, kMargin)),
      m_lineReach(QRectF(target).adjusted(-kLineMargin, -kLineMargin, kLineMargin, kLineMargin)),
      m_separator(QString::fromStdString(platform::userDecimalSeparator())) {
    m_painter->save();
    m_painter->setClipRect(target);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setBrush(Qt::NoBrush);
}

MeasurePainter::~MeasurePainter() {
    m_painter->restore();
}

void MeasurePainter::setColor(COLORREF color) {
    QPen pen(platform::colorFromRef(color));
    pen.setStyle(Qt::SolidLine);
    pen.setWidth(1);
    pen.setCapStyle(Qt::SquareCap);
    m_painter->setPen(pen);
}

void MeasurePainter::line(QPointF a, QPointF b) {
    if (!clipSegment(a, b, m_lineReach))
        return;
    m_painter->drawLine(wholePixel(a), wholePixel(b));
}

void MeasurePainter::arc(QPointF centre, double radius, double startDegrees, double spanDegrees) {
    if (!(radius > 0.0) || !m_reach.adjusted(-radius, -radius, radius, radius).contains(centre))
        return;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2.0 * radius, 2.0 * radius);
    m_painter->drawArc(box, static_cast<int>(std::lround(startDegrees * 16.0)),
                       static_cast<int>(std::lround(spanDegrees * 16.0)));
}

void MeasurePainter::label(QPointF anchor, QPointF direction, double gap, const QString &text) {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    const QFontMetricsF metrics(m_painter->font());
    const double width = metrics.horizontalAdvance(text);
    const double height = metrics.height();
    // Far enough along the direction that the box clears the gap on that side.
    const double reach =
        gap + std::fabs(direction.x()) * width / 2.0 + std::fabs(direction.y()) * height / 2.0;
    const QPointF centre = anchor + direction * reach;
    if (!std::isfinite(centre.x()) || !std::isfinite(centre.y()))
        return;
    const QRectF box(centre.x() - width / 2.0, centre.y() - height / 2.0, width, height);
    if (!box.intersects(QRectF(m_target)))
        return;
    m_painter->drawText(box, Qt::AlignCenter | Qt::TextDontClip, text);
}

QString MeasurePainter::number(double value, int decimals) const {
    QString text = QString::number(value, 'f', decimals);
    bool zero = true;
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0'))
            zero = false;
    if (zero && text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    text.replace(QLatin1Char('.'), m_separator);
    return text;
}

} // namespace datalib
