// Draws the banner of the help window: the shop's name, trade and web address
// on the left and the exploded grey car body on the right, on a grey ground,
// 802 x 183. Built as the target make_banner; run it (any Qt platform,
// offscreen too) to write the PNG:
//   make_banner resources/pictures/banner.png
// The window shows it scaled to 689 x 169 and shifted up: its top 17 rows and
// right 9 columns are never seen, so nothing that matters lies there.
#include "platform/ShopSite.h"
#include "resources/CarDrawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {
constexpr int pictureWidth = 802;
constexpr int pictureHeight = 183;
// The lettering starts where the window's text lines start below the banner.
constexpr double textLeft = 56;
// The car sits in the seen part of the right side.
const QRectF carPlace(470, 22, 316, 158);

void drawGround(QPainter &p) {
    QLinearGradient ground(0, 0, 0, pictureHeight);
    ground.setColorAt(0, QColor(246, 246, 246));
    ground.setColorAt(0.6, QColor(226, 226, 226));
    ground.setColorAt(1, QColor(206, 206, 206));
    p.fillRect(QRect(0, 0, pictureWidth, pictureHeight), ground);
    QRadialGradient halo(carPlace.center(), 200);
    halo.setColorAt(0, QColor(255, 255, 255, 160));
    halo.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, pictureWidth, pictureHeight), halo);

    // A draughtsman's grid behind the car, fading out towards the lettering.
    QLinearGradient fade(carPlace.left() - 120, 0, carPlace.left() + 60, 0);
    fade.setColorAt(0, QColor(150, 150, 150, 0));
    fade.setColorAt(1, QColor(150, 150, 150, 55));
    p.setPen(QPen(QBrush(fade), 0.6));
    for (int y = 4; y < pictureHeight; y += 12)
        p.drawLine(QPointF(carPlace.left() - 120, y + 0.5), QPointF(pictureWidth, y + 0.5));
    for (double x = carPlace.left() - 120; x < pictureWidth; x += 12)
        p.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, pictureHeight));

    // A fine rule closes the picture off from the white window below it.
    p.setPen(QPen(QColor(170, 170, 170), 1));
    p.drawLine(QPointF(0, pictureHeight - 0.5), QPointF(pictureWidth, pictureHeight - 0.5));
}

void drawCar(QPainter &p) {
    const QRectF body = CarDrawing::bounds();
    const double scale = qMin(carPlace.width() / body.width(), carPlace.height() / body.height());
    p.save();
    p.translate(carPlace.center());
    p.scale(scale, scale);
    p.translate(-body.center());
    CarDrawing::drawExplodedBody(p);
    p.restore();
}

void drawLettering(QPainter &p) {
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(52);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(name);
    const QString shop = QStringLiteral("DREVALON");
    const double nameWidth = QFontMetricsF(name).horizontalAdvance(shop);
    const QRectF nameBox(textLeft, 34, nameWidth + 4, 62);
    // Pressed into the metal: a light edge below, the dark letters above.
    p.setPen(QColor(255, 255, 255, 210));
    p.drawText(nameBox.translated(0, 1.5), Qt::AlignLeft | Qt::AlignVCenter, shop);
    p.setPen(QColor(68, 68, 68));
    p.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter, shop);

    QFont caption(QStringLiteral("DejaVu Sans"));
    caption.setPixelSize(15);
    caption.setLetterSpacing(QFont::AbsoluteSpacing, 5.2);
    p.setFont(caption);
    p.setPen(QColor(92, 92, 92));
    const QString trade = QStringLiteral("АВТОЗАПЧАСТИ");
    const double tradeWidth = QFontMetricsF(caption).horizontalAdvance(trade);
    const double tradeLeft = textLeft + (nameWidth - tradeWidth) / 2;
    p.drawText(QRectF(tradeLeft, 98, tradeWidth + 6, 20), Qt::AlignLeft | Qt::AlignVCenter, trade);
    p.setPen(QPen(QColor(130, 130, 130), 1));
    p.drawLine(QPointF(textLeft, 108.5), QPointF(tradeLeft - 12, 108.5));
    p.drawLine(QPointF(tradeLeft + tradeWidth + 6, 108.5), QPointF(textLeft + nameWidth, 108.5));

    QFont web(QStringLiteral("DejaVu Sans"));
    web.setPixelSize(17);
    p.setFont(web);
    p.setPen(QColor(80, 80, 80));
    p.drawText(QRectF(textLeft, 128, nameWidth, 24), Qt::AlignCenter, ShopSite::address());
}
} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("banner.png");
    QImage image(pictureWidth, pictureHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawGround(p);
    drawCar(p);
    drawLettering(p);
    p.end();
    return image.save(out, "PNG") ? 0 : 1;
}
