// Pictures of bright discs on a dark ground, the targets the tracking tests and benchmarks
// follow. Header only: whoever includes it links Qt Gui already.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QSize>

#include <vector>

namespace testsupport {

// A dark ground (grey 40) with antialiased bright discs (grey 230) of `radius` pixels centred
// on `centres`, in RGB32. Pixel centres sit at integer coordinates: (0, 0) is the middle of
// the first pixel, which QPainter puts at (0.5, 0.5).
inline QImage discPicture(QSize size, const std::vector<QPointF> &centres, double radius) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 40, 40));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 230, 230));
    for (const QPointF &c : centres)
        painter.drawEllipse(c + QPointF(0.5, 0.5), radius, radius);
    return image;
}

} // namespace testsupport
