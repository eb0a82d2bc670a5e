// The exploded grey car body both pictures show, drawn in one place so the
// splash and the help banner show the same car.
#include "resources/CarDrawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace {
const QColor outline(62, 62, 62);
const QColor guide(120, 120, 120);

// The body in side view, nose to the left, as one closed outline.
QPainterPath shellPath() {
    QPainterPath p;
    p.moveTo(34, 92);
    p.cubicTo(30, 90, 29, 84, 31, 79);
    p.quadTo(33, 74, 42, 72);
    p.lineTo(86, 66);
    p.cubicTo(96, 58, 104, 50, 114, 46);
    p.quadTo(134, 42, 154, 45);
    p.cubicTo(164, 52, 172, 60, 178, 64);
    p.lineTo(202, 67);
    p.quadTo(207, 70, 206, 80);
    p.lineTo(204, 92);
    p.lineTo(187, 92);
    p.arcTo(QRectF(155, 77, 30, 30), 0, 180);
    p.lineTo(80, 92);
    p.arcTo(QRectF(49, 77, 30, 30), 0, 180);
    p.closeSubpath();
    return p;
}

QPainterPath frontDoor() {
    QPainterPath p;
    p.moveTo(90, 90);
    p.lineTo(88, 67);
    p.cubicTo(97, 59, 104, 52, 113, 48);
    p.lineTo(129, 46);
    p.lineTo(129, 90);
    p.closeSubpath();
    return p;
}

QPainterPath frontWindow() {
    QPainterPath p;
    p.moveTo(93, 65);
    p.cubicTo(100, 59, 106, 54, 114, 51);
    p.lineTo(126, 50);
    p.lineTo(126, 65);
    p.closeSubpath();
    return p;
}

QPainterPath rearDoor() {
    QPainterPath p;
    p.moveTo(131, 90);
    p.lineTo(131, 46);
    p.lineTo(152, 47);
    p.cubicTo(160, 53, 166, 58, 170, 62);
    p.lineTo(166, 80);
    p.quadTo(160, 86, 158, 90);
    p.closeSubpath();
    return p;
}

QPainterPath rearWindow() {
    QPainterPath p;
    p.moveTo(134, 65);
    p.lineTo(134, 50);
    p.lineTo(150, 50);
    p.cubicTo(156, 55, 161, 59, 164, 64);
    p.closeSubpath();
    return p;
}

// A panel lifted off its seat: the hood or the boot lid, a thin curved skin.
QPainterPath lid(QPointF from, QPointF to, double bulge) {
    QPainterPath p;
    const QPointF mid = (from + to) / 2 + QPointF(0, -bulge);
    p.moveTo(from);
    p.quadTo(mid, to);
    p.lineTo(to + QPointF(0, 3));
    p.quadTo(mid + QPointF(0, 3), from + QPointF(0, 3));
    p.closeSubpath();
    return p;
}

QLinearGradient metal(double top, double bottom, int light = 236, int dark = 168) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, QColor(light, light, light));
    g.setColorAt(0.55, QColor((light + dark) / 2, (light + dark) / 2, (light + dark) / 2));
    g.setColorAt(1, QColor(dark, dark, dark));
    return g;
}

void dashed(QPainter &p, QPointF a, QPointF b) {
    QPen pen(guide, 0.8, Qt::CustomDashLine);
    pen.setDashPattern({3, 2.5});
    p.setPen(pen);
    p.drawLine(a, b);
}

void part(QPainter &p, const QPainterPath &path, const QBrush &fill, QPointF shift = {}) {
    p.save();
    p.translate(shift);
    // A soft shadow sets a loose part off from what lies behind it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 34));
    p.drawPath(path.translated(1.5, 2));
    p.setBrush(fill);
    p.setPen(QPen(outline, 1.1));
    p.drawPath(path);
    p.restore();
}

void glass(QPainter &p, const QPainterPath &path, QPointF shift = {}) {
    QLinearGradient g(0, 46, 0, 66);
    g.setColorAt(0, QColor(150, 150, 150));
    g.setColorAt(1, QColor(104, 104, 104));
    p.save();
    p.translate(shift);
    p.setBrush(g);
    p.setPen(QPen(outline, 0.8));
    p.drawPath(path);
    // A glint across the glass.
    p.setClipPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 90), 3));
    p.drawLine(QPointF(path.boundingRect().left() + 4, 70), QPointF(path.boundingRect().left() + 16, 40));
    p.restore();
}

void wheel(QPainter &p, QPointF c) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(QRectF(c.x() - 13, c.y() + 11, 28, 5));
    QRadialGradient tyre(c, 14);
    tyre.setColorAt(0.6, QColor(96, 96, 96));
    tyre.setColorAt(1, QColor(58, 58, 58));
    p.setBrush(tyre);
    p.setPen(QPen(outline, 1));
    p.drawEllipse(c, 13.5, 13.5);
    p.setBrush(metal(c.y() - 8, c.y() + 8, 240, 150));
    p.drawEllipse(c, 8, 8);
    p.setPen(QPen(QColor(110, 110, 110), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        const double a = i * 2 * M_PI / 5 - M_PI / 2;
        p.drawLine(c + QPointF(2.5 * std::cos(a), 2.5 * std::sin(a)), c + QPointF(7 * std::cos(a), 7 * std::sin(a)));
    }
    p.setBrush(QColor(80, 80, 80));
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, 2, 2);
}

} // namespace

void CarDrawing::drawExplodedBody(QPainter &p) {
    const QPointF hoodShift(-12, -40), bootShift(12, -38);
    const QPointF frontDoorShift(-4, 36), rearDoorShift(4, 36);
    const QPointF frontBumperShift(-14, 0), rearBumperShift(14, 0);
    const QPointF frontAxle(64, 92), rearAxle(170, 92);
    const QPointF frontWheel(52, 124), rearWheel(192, 124);

    // Guides first, so every part lies over them.
    dashed(p, QPointF(42, 72), QPointF(42, 72) + hoodShift);
    dashed(p, QPointF(86, 66), QPointF(86, 66) + hoodShift);
    dashed(p, QPointF(178, 64), QPointF(178, 64) + bootShift);
    dashed(p, QPointF(202, 67), QPointF(202, 67) + bootShift);
    dashed(p, QPointF(110, 90), QPointF(110, 90) + frontDoorShift);
    dashed(p, QPointF(146, 90), QPointF(146, 90) + rearDoorShift);
    dashed(p, frontAxle, frontWheel);
    dashed(p, rearAxle, rearWheel);
    dashed(p, QPointF(31, 86), QPointF(31, 86) + frontBumperShift);
    dashed(p, QPointF(205, 86), QPointF(205, 86) + rearBumperShift);

    // The shell with its door openings showing the dark cabin.
    part(p, shellPath(), metal(44, 96));
    p.setPen(QPen(QColor(88, 88, 88), 0.8));
    p.setBrush(QColor(128, 128, 128));
    p.drawPath(frontDoor());
    p.drawPath(rearDoor());
    // Where the wheels belong.
    QPen seat(guide, 0.8, Qt::DotLine);
    p.setPen(seat);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(frontAxle, 12, 12);
    p.drawEllipse(rearAxle, 12, 12);
    // A crease along the flank.
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(38, 80), QPointF(88, 78));
    p.drawLine(QPointF(168, 76), QPointF(203, 75));

    part(p, lid(QPointF(42, 72), QPointF(86, 66), 2), metal(64, 74), hoodShift);
    part(p, lid(QPointF(178, 64), QPointF(202, 67), 1.5), metal(62, 72), bootShift);

    QPainterPath bumper;
    bumper.addRoundedRect(QRectF(28, 80, 9, 13), 3, 3);
    part(p, bumper, metal(80, 93, 200, 120), frontBumperShift);
    QPainterPath rearBumper;
    rearBumper.addRoundedRect(QRectF(199, 79, 9, 13), 3, 3);
    part(p, rearBumper, metal(79, 92, 200, 120), rearBumperShift);

    part(p, frontDoor(), metal(44, 92, 226, 160), frontDoorShift);
    glass(p, frontWindow(), frontDoorShift);
    part(p, rearDoor(), metal(44, 92, 226, 160), rearDoorShift);
    glass(p, rearWindow(), rearDoorShift);
    // Door handles.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawRoundedRect(QRectF(117, 106, 8, 2.5).translated(frontDoorShift.x(), 0), 1, 1);
    p.drawRoundedRect(QRectF(150, 106, 8, 2.5).translated(rearDoorShift.x(), 0), 1, 1);

    wheel(p, frontWheel);
    wheel(p, rearWheel);
}

QRectF CarDrawing::bounds() { return QRectF(14, 24, 210, 116); }
