// Draws the splash picture: a grey exploded car body over a faint drawing grid,
// with the shop's name and web address below, 243 x 278. Built as the target
// make_splash; run it (any Qt platform, offscreen too) to write the PNG:
//   make_splash resources/pictures/splash.png
// The window shows only the left 235 columns, so everything is centred there,
// and the lower left corner stays plain: the status strip lies over it.
#include "platform/ShopSite.h"
#include "resources/CarDrawing.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {
constexpr int pictureWidth = 243;
constexpr int pictureHeight = 278;
constexpr double centre = 235 / 2.0;

void drawLettering(QPainter &p) {
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(27);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(name);
    const QRectF nameBox(0, 170, 235, 34);
    // Pressed into the metal: a light edge below, the dark letters above.
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(nameBox.translated(0, 1), Qt::AlignCenter, QStringLiteral("DREVALON"));
    p.setPen(QColor(70, 70, 70));
    p.drawText(nameBox, Qt::AlignCenter, QStringLiteral("DREVALON"));

    QFont caption(QStringLiteral("DejaVu Sans"));
    caption.setPixelSize(9);
    caption.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
    p.setFont(caption);
    p.setPen(QColor(96, 96, 96));
    const QString trade = QStringLiteral("АВТОЗАПЧАСТИ");
    const QRectF tradeBox(0, 204, 235, 14);
    p.drawText(tradeBox, Qt::AlignCenter, trade);
    const double half = p.fontMetrics().horizontalAdvance(trade) / 2.0 + 8;
    p.setPen(QPen(QColor(130, 130, 130), 1));
    p.drawLine(QPointF(centre - half - 40, 211.5), QPointF(centre - half, 211.5));
    p.drawLine(QPointF(centre + half, 211.5), QPointF(centre + half + 40, 211.5));

    QFont web(QStringLiteral("DejaVu Sans"));
    web.setPixelSize(11);
    p.setFont(web);
    p.setPen(QColor(84, 84, 84));
    p.drawText(QRectF(0, 226, 235, 16), Qt::AlignCenter, ShopSite::address());
}
} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("splash.png");
    QImage image(pictureWidth, pictureHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient ground(0, 0, 0, pictureHeight);
    ground.setColorAt(0, QColor(244, 244, 244));
    ground.setColorAt(0.6, QColor(222, 222, 222));
    ground.setColorAt(1, QColor(208, 208, 208));
    p.fillRect(image.rect(), ground);
    QRadialGradient halo(QPointF(centre, 80), 120);
    halo.setColorAt(0, QColor(255, 255, 255, 150));
    halo.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), halo);

    // A draughtsman's grid behind the car, fading out towards the lettering.
    for (int y = 6; y < 160; y += 10) {
        p.setPen(QPen(QColor(150, 150, 150, 50 - y / 4), 0.6));
        p.drawLine(QPointF(0, y + 0.5), QPointF(pictureWidth, y + 0.5));
    }
    for (int x = 7; x < pictureWidth; x += 10) {
        QLinearGradient fade(0, 0, 0, 160);
        fade.setColorAt(0, QColor(150, 150, 150, 50));
        fade.setColorAt(1, QColor(150, 150, 150, 0));
        p.setPen(QPen(QBrush(fade), 0.6));
        p.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, 160));
    }

    CarDrawing::drawExplodedBody(p);
    drawLettering(p);
    p.end();
    return image.save(out, "PNG") ? 0 : 1;
}
