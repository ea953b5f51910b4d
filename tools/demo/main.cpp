// orvanedemo OUTDIR [FRAMES]: writes the bundled demo clip as a numbered JPG sequence
// (demo0000.jpg ...) with its sequence information file demo.ini, recorded at 100 fps: a
// textured lab wall and floor, a pendulum carrying two bright round markers, a rolling ball.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kRate = 100.0; // recording rate, frames per second
constexpr int kFloorTop = 380;

// The static part of the scene: plaster wall with a tile grid, a wooden floor and the
// pendulum's mount. Fixed seed, so every build writes the same pictures.
QImage background() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < kHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int n = noise(random);
            if (y < kFloorTop) {
                const bool joint = x % 80 == 0 || y % 80 == 0;
                const int base = joint ? 150 : 196 - y / 12;
                line[x] = qRgb(base + n, base + n - 6, base + n - 16);
            } else {
                // Planks: a grain along x, a seam every 48 pixels across.
                const int grain = static_cast<int>(10 * std::sin(x * 0.05 + (y / 24) * 1.7));
                const int seam = (x + (y / 24) * 37) % 160 == 0 ? -40 : 0;
                line[x] = qRgb(138 + grain + n + seam, 96 + grain / 2 + n + seam, 60 + n + seam);
            }
        }
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, kFloorTop - 4, kWidth, 4), QColor(90, 80, 70));
    p.fillRect(QRect(250, 20, 140, 16), QColor(70, 70, 78));
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawText(QRect(450, 30, 180, 20), Qt::AlignLeft, QStringLiteral("Orvane demo, 100 fps"));
    return image;
}

void bright(QPainter &p, QPointF centre, double radius) {
    QRadialGradient glow(centre, radius);
    glow.setColorAt(0.0, QColor(255, 255, 255));
    glow.setColorAt(0.7, QColor(255, 250, 200));
    glow.setColorAt(1.0, QColor(230, 200, 60));
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(glow);
    p.drawEllipse(centre, radius, radius);
}

QImage frame(const QImage &scene, int n) {
    QImage image = scene.copy();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double t = n / kRate;

    // Pendulum: 1.6 s period, 25 degrees amplitude, a little damping.
    const QPointF pivot(320, 36);
    const double length = 260;
    const double angle = 25.0 * std::numbers::pi / 180.0 * std::exp(-0.08 * t) *
                         std::cos(2 * std::numbers::pi * t / 1.6);
    const QPointF along(std::sin(angle), std::cos(angle));
    const QPointF bob = pivot + along * length;
    p.setPen(QPen(QColor(60, 60, 66), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot, bob);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 84, 96));
    p.drawEllipse(bob, 26, 26);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(pivot, 7, 7);
    bright(p, pivot + along * (length * 0.45), 9);
    bright(p, bob, 10);

    // Ball rolling to the right and back, with a stripe that shows its turning.
    const double travel = 520;
    const double phase = std::fmod(t / 3.0, 1.0);
    const double x = 60 + travel * (phase < 0.5 ? phase * 2 : 2 - phase * 2);
    const double radius = 22;
    const QPointF centre(x, kFloorTop - radius - 2);
    const double turn = (x - 60) / radius;
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(QPointF(x, kFloorTop + 2), radius * 0.9, 5);
    QRadialGradient shade(centre - QPointF(7, 7), radius * 1.3);
    shade.setColorAt(0, QColor(250, 110, 90));
    shade.setColorAt(1, QColor(150, 30, 20));
    p.setBrush(shade);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(255, 240, 230), 4));
    p.drawLine(centre, centre + QPointF(std::cos(turn), std::sin(turn)) * (radius - 3));
    return image;
}

bool writeInfo(const QString &folder, int frames) {
    QSaveFile file(QDir(folder).filePath(QStringLiteral("demo.ini")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "[SeqInfo]\nActSeq=0\n\n[Seq_0]\n"
        << "NumFiles=" << frames << "\n"
        << "RecordFPS=" << kRate << "\n"
        << "StartFile=demo0000.jpg\n"; // beside this file, wherever the demo is copied
    out.flush();
    return file.commit();
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv); // text drawing needs the font database
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvanedemo OUTDIR [FRAMES]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int frames = argc > 2 ? std::atoi(argv[2]) : 300;
    if (frames < 1 || frames > 10000) {
        std::fprintf(stderr, "orvanedemo: FRAMES must be 1..10000\n");
        return 2;
    }
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "orvanedemo: cannot create %s\n", argv[1]);
        return 1;
    }
    const QImage scene = background();
    for (int n = 0; n < frames; ++n) {
        const QString name =
            QDir(folder).filePath(QStringLiteral("demo%1.jpg").arg(n, 4, 10, QLatin1Char('0')));
        if (!frame(scene, n).save(name, "JPG", 92)) {
            std::fprintf(stderr, "orvanedemo: cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    if (!writeInfo(folder, frames)) {
        std::fprintf(stderr, "orvanedemo: cannot write demo.ini\n");
        return 1;
    }
    return 0;
}
