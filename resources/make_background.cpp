// Draws the shared background picture: a soft green wave on a white ground,
// 1600 x 1200. Built as the target make_background; run it to write the JPEG:
//   make_background resources/pictures/background.jpg
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
QPainterPath wave(double baseline, double amplitude, double phase, double height) {
    QPainterPath path;
    path.moveTo(0, height);
    for (int x = 0; x <= 1600; x += 8) {
        const double t = x / 1600.0;
        const double y = baseline + amplitude * std::sin(2 * M_PI * (t * 1.15 + phase)) +
                         amplitude * 0.35 * std::sin(2 * M_PI * (t * 2.7 + phase * 1.7));
        path.lineTo(x, y);
    }
    path.lineTo(1600, height);
    path.closeSubpath();
    return path;
}
} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("background.jpg");
    QImage image(1600, 1200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    struct Layer {
        double baseline, amplitude, phase;
        QColor top, bottom;
    };
    const Layer layers[] = {
        {820, 90, 0.10, QColor(226, 244, 214), QColor(196, 230, 176)},
        {900, 110, 0.32, QColor(188, 226, 160), QColor(150, 206, 118)},
        {990, 80, 0.58, QColor(140, 200, 104), QColor(96, 168, 70)},
        {1080, 60, 0.85, QColor(98, 170, 72), QColor(64, 132, 48)},
    };
    for (const Layer &layer : layers) {
        QLinearGradient g(0, layer.baseline - layer.amplitude, 0, 1200);
        g.setColorAt(0, layer.top);
        g.setColorAt(1, layer.bottom);
        p.setBrush(g);
        p.drawPath(wave(layer.baseline, layer.amplitude, layer.phase, 1200));
    }
    // A thin light crest line over the top wave.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 170), 6));
    QPainterPath crest = wave(820, 90, 0.10, 1200);
    p.drawPath(crest);
    p.end();
    return image.save(out, "JPG", 88) ? 0 : 1;
}
