// painticons [OUTDIR]: draws the program's icon set into PNG files: the toolbar pictures,
// the play-button pictures and the marker table icons. The PNG files under app/shell/icons
// are its output, compiled into the program as resources; run it by hand when an icon
// changes, and commit what it writes:
//   QT_QPA_PLATFORM=offscreen build/release/tools/painticons/painticons app/shell/icons
// Every icon is drawn on a 24-unit grid and rendered at 1x and 2x ("@2x"), so it stays
// crisp on high-resolution screens; strokes sit on half units to hit whole pixels at 1x.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

const QColor kInk(0x2d, 0x3e, 0x50);
const QColor kBlue(0x2f, 0x7f, 0xd8);
const QColor kPaper(0xfb, 0xfc, 0xfe);
const QColor kYellow(0xf0, 0xb4, 0x29);
const QColor kGreen(0x2e, 0xa0, 0x4f);
const QColor kRed(0xd6, 0x3b, 0x30);
const QColor kGlass(0xdd, 0xec, 0xfb);

using Painter = std::function<void(QPainter &)>;

QPen ink(qreal width = 1.5, QColor color = kInk) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void save(const QString &dir, const QString &name, int size, const Painter &paint) {
    for (int scale : {1, 2}) {
        QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale * size / 24.0, scale * size / 24.0);
        paint(p);
        p.end();
        const QString file = dir + "/" + name + (scale == 2 ? "@2x" : "") + ".png";
        if (!image.save(file))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    }
}

void document(QPainter &p) {
    QPainterPath page;
    page.moveTo(5.5, 2.5);
    page.lineTo(14.5, 2.5);
    page.lineTo(19.5, 7.5);
    page.lineTo(19.5, 21.5);
    page.lineTo(5.5, 21.5);
    page.closeSubpath();
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(14.5, 2.5);
    fold.lineTo(14.5, 7.5);
    fold.lineTo(19.5, 7.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(fold);
}

void magnifier(QPainter &p) {
    p.setPen(ink(2.0));
    p.setBrush(kGlass);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.setPen(ink(3.2));
    p.drawLine(QPointF(15.2, 15.2), QPointF(21, 21));
}

void filmStrip(QPainter &p, QRectF r) {
    p.setPen(ink());
    p.setBrush(kInk);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    for (qreal x = r.left() + 1.5; x < r.right() - 1; x += 3.5) {
        p.drawRect(QRectF(x, r.top() + 1, 2, 1.6));
        p.drawRect(QRectF(x, r.bottom() - 2.6, 2, 1.6));
    }
    p.setBrush(kGlass);
    p.drawRect(QRectF(r.left() + 1, r.top() + 3.6, r.width() - 2, r.height() - 7.2));
}

void triangle(QPainter &p, qreal left, qreal right, qreal top, qreal bottom, QColor color) {
    QPainterPath t;
    t.moveTo(left, top);
    t.lineTo(right, (top + bottom) / 2);
    t.lineTo(left, bottom);
    t.closeSubpath();
    p.setPen(ink(1.2, color.darker(140)));
    p.setBrush(color);
    p.drawPath(t);
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    save(dir, "new", 24, [](QPainter &p) {
        document(p);
        p.setPen(ink(2.0, kGreen));
        p.drawLine(QPointF(12.5, 11), QPointF(12.5, 18));
        p.drawLine(QPointF(9, 14.5), QPointF(16, 14.5));
    });
    save(dir, "open", 24, [](QPainter &p) {
        QPainterPath back;
        back.moveTo(2.5, 19.5);
        back.lineTo(2.5, 5.5);
        back.lineTo(8.5, 5.5);
        back.lineTo(10.5, 7.5);
        back.lineTo(18.5, 7.5);
        back.lineTo(18.5, 10.5);
        p.setPen(ink());
        p.setBrush(kYellow.darker(115));
        p.drawPath(back);
        QPainterPath front;
        front.moveTo(2.5, 19.5);
        front.lineTo(6.5, 10.5);
        front.lineTo(21.5, 10.5);
        front.lineTo(17.5, 19.5);
        front.closeSubpath();
        p.setBrush(kYellow);
        p.drawPath(front);
    });
    save(dir, "saveas", 24, [](QPainter &p) {
        p.setPen(ink());
        p.setBrush(kBlue);
        QPainterPath disk;
        disk.moveTo(3.5, 3.5);
        disk.lineTo(17.5, 3.5);
        disk.lineTo(20.5, 6.5);
        disk.lineTo(20.5, 20.5);
        disk.lineTo(3.5, 20.5);
        disk.closeSubpath();
        p.drawPath(disk);
        p.setBrush(kPaper);
        p.drawRect(QRectF(6.5, 3.5, 10, 6));
        p.drawRect(QRectF(6.5, 13.5, 11, 7));
        p.setPen(ink(1.0));
        p.drawLine(QPointF(8.5, 16), QPointF(15.5, 16));
        p.drawLine(QPointF(8.5, 18), QPointF(15.5, 18));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(13, 4.5, 2, 4));
    });
    save(dir, "loadvideo", 24, [](QPainter &p) {
        filmStrip(p, QRectF(2.5, 4.5, 19, 15));
        triangle(p, 9.5, 15.5, 8.5, 15.5, kGreen);
    });
    save(dir, "scale", 24, [](QPainter &p) {
        // A ruler lying diagonally, with a double arrow above it: a known distance.
        p.save();
        p.translate(12, 14);
        p.rotate(-35);
        p.setPen(ink());
        p.setBrush(kYellow);
        p.drawRoundedRect(QRectF(-10.5, -3, 21, 6), 1, 1);
        p.setPen(ink(1.0));
        for (int i = -4; i <= 4; ++i) {
            const qreal x = i * 2.2;
            p.drawLine(QPointF(x, -3), QPointF(x, i % 2 == 0 ? 0 : -1.4));
        }
        p.restore();
        p.setPen(ink(1.5, kBlue));
        p.drawLine(QPointF(3, 6), QPointF(10, 2));
        p.drawLine(QPointF(3, 6), QPointF(4.2, 3.4));
        p.drawLine(QPointF(3, 6), QPointF(5.8, 6.3));
    });
    save(dir, "plus10", 24, [](QPainter &p) {
        magnifier(p);
        p.setPen(ink(1.8, kBlue));
        p.drawLine(QPointF(10, 6.5), QPointF(10, 13.5));
        p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
    });
    save(dir, "minus10", 24, [](QPainter &p) {
        magnifier(p);
        p.setPen(ink(1.8, kBlue));
        p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
    });
    save(dir, "to100", 24, [](QPainter &p) {
        magnifier(p);
        // "1:1" in strokes, so the icon needs no font.
        p.setPen(ink(1.4, kBlue));
        p.drawLine(QPointF(7, 7), QPointF(7, 13));
        p.drawLine(QPointF(7, 7), QPointF(6, 8));
        p.drawLine(QPointF(13, 7), QPointF(13, 13));
        p.drawLine(QPointF(13, 7), QPointF(12, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(10, 8.6), 0.8, 0.8);
        p.drawEllipse(QPointF(10, 11.6), 0.8, 0.8);
    });
    save(dir, "fitview", 24, [](QPainter &p) {
        p.setPen(ink());
        p.setBrush(kGlass);
        p.drawRect(QRectF(3.5, 5.5, 17, 13));
        p.setPen(ink(1.6, kBlue));
        const QPointF corners[] = {{5.5, 7.5}, {18.5, 7.5}, {5.5, 16.5}, {18.5, 16.5}};
        const QPointF centre(12, 12);
        for (const QPointF &c : corners) {
            const QPointF d = (c - centre) * 0.35;
            const QPointF from = centre + d;
            p.drawLine(from, c);
            p.drawLine(c, QPointF(c.x() - (d.x() > 0 ? 2.5 : -2.5), c.y()));
            p.drawLine(c, QPointF(c.x(), c.y() - (d.y() > 0 ? 2.5 : -2.5)));
        }
    });
    // Image list pictures 9 (start playback) and 11 (stop playback), and the step buttons.
    save(dir, "play", 24, [](QPainter &p) { triangle(p, 7, 19, 4, 20, kGreen); });
    save(dir, "stop", 24, [](QPainter &p) {
        p.setPen(ink(1.2, kRed.darker(140)));
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(5.5, 5.5, 13, 13), 1.5, 1.5);
    });
    save(dir, "rewind", 24, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(3.5, 6, 2.2, 12));
        triangle(p, 13, 6, 6, 18, kBlue);
        triangle(p, 20, 13, 6, 18, kBlue);
    });
    save(dir, "forward", 24, [](QPainter &p) {
        triangle(p, 4, 11, 6, 18, kBlue);
        triangle(p, 11, 18, 6, 18, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(18.3, 6, 2.2, 12));
    });
    // Marker table icons: 16 pattern matching, 20 marker tracking, 19 by hand.
    save(dir, "marker_pattern", 16, [](QPainter &p) {
        p.setPen(ink(2.0, kBlue));
        p.setBrush(kGlass);
        p.drawRect(QRectF(4, 4, 16, 16));
        p.setPen(ink(2.0, kInk));
        p.drawLine(QPointF(12, 8), QPointF(12, 16));
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
    });
    save(dir, "marker_tracker", 16, [](QPainter &p) {
        p.setPen(ink(2.0, kGreen));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(12, 12), 4, 4);
    });
    save(dir, "marker_manual", 16, [](QPainter &p) {
        // A pointer arrow: the point is placed with the mouse.
        QPainterPath arrow;
        arrow.moveTo(6, 3);
        arrow.lineTo(6, 19);
        arrow.lineTo(10, 15.5);
        arrow.lineTo(13, 21.5);
        arrow.lineTo(16, 20);
        arrow.lineTo(13, 14);
        arrow.lineTo(18.5, 14);
        arrow.closeSubpath();
        p.setPen(ink(1.6, kInk));
        p.setBrush(kYellow);
        p.drawPath(arrow);
    });
    // The program's own icon: a marker on a film frame with its path.
    save(dir, "orvane", 48, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1d, 0x4e, 0x89));
        p.drawRoundedRect(QRectF(1, 1, 22, 22), 4.5, 4.5);
        p.setPen(ink(1.4, QColor(255, 255, 255, 150)));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(4.5, 18);
        path.cubicTo(8, 8, 12, 8, 15, 10);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 170));
        for (const QPointF &d : {QPointF(4.5, 18), QPointF(6.8, 13), QPointF(10, 10.2)})
            p.drawEllipse(d, 1.1, 1.1);
        p.setPen(ink(1.6, kYellow));
        p.drawRect(QRectF(12.5, 6.5, 7, 7));
        p.drawLine(QPointF(16, 8.5), QPointF(16, 11.5));
        p.drawLine(QPointF(14.5, 10), QPointF(17.5, 10));
    });
    return 0;
}
