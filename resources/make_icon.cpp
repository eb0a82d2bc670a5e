// Draws the application icon: a green database cylinder, in the colours of the
// background's wave, with a car wheel over its lower right. Built as the target
// make_icon; run it (any Qt platform, offscreen too) to write the scalable
// icon and the PNG of each size into a directory:
//   make_icon resources/icons
// The shapes are drawn on a 256-unit square; the sizes up to 24 px leave out
// the cylinder's bands and the wheel's spokes, which would only blur there. The
// same shapes go to the SVG, at full detail.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cmath>
#include <vector>

namespace {
constexpr double canvas = 256;
constexpr int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

struct Shape {
    QPainterPath path;
    QBrush brush;
};

QPainterPath ellipse(double cx, double cy, double rx, double ry) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), rx, ry);
    return path;
}

QPainterPath circle(double cx, double cy, double r) { return ellipse(cx, cy, r, r); }

QLinearGradient gradient(QPointF from, QPointF to, std::initializer_list<std::pair<double, QColor>> stops) {
    QLinearGradient g(from, to);
    for (const auto &[at, colour] : stops)
        g.setColorAt(at, colour);
    return g;
}

// The cylinder: body from the top ellipse down to the bottom one, its lid, and
// two light bands where the disks of a database would meet.
void addCylinder(std::vector<Shape> &shapes, bool detailed, const QPainterPath &cut) {
    const double left = 24, right = 168, cx = (left + right) / 2, rx = (right - left) / 2;
    const double top = 56, bottom = 208, ry = 26;
    QPainterPath body;
    body.moveTo(left, top);
    body.lineTo(left, bottom);
    body.arcTo(QRectF(left, bottom - ry, 2 * rx, 2 * ry), 180, 180);
    body.lineTo(right, top);
    body.closeSubpath();
    const QLinearGradient side = gradient({left, 0}, {right, 0},
                                          {{0, QColor(120, 186, 88)},
                                           {0.35, QColor(150, 206, 118)},
                                           {0.75, QColor(86, 158, 62)},
                                           {1, QColor(56, 118, 42)}});
    shapes.push_back({body.subtracted(cut), side});
    if (detailed) {
        for (double y : {108.0, 158.0}) {
            QPainterPath band;
            band.moveTo(left, y);
            band.arcTo(QRectF(left, y - ry, 2 * rx, 2 * ry), 180, 180);
            band.lineTo(right, y + 10);
            band.arcTo(QRectF(left, y + 10 - ry, 2 * rx, 2 * ry), 0, -180);
            band.closeSubpath();
            shapes.push_back({band.subtracted(cut), QColor(226, 244, 214, 210)});
        }
    }
    shapes.push_back({ellipse(cx, top, rx, ry).subtracted(cut), QColor(64, 132, 48)});
    shapes.push_back(
        {ellipse(cx, top, rx - 10, ry - 7).subtracted(cut),
         gradient({0, top - ry}, {0, top + ry}, {{0, QColor(236, 248, 228)}, {1, QColor(188, 226, 160)}})});
}

// The wheel: a dark tyre, a light rim, at larger sizes five spokes from the
// hub.
void addWheel(std::vector<Shape> &shapes, bool detailed, QPointF c, double r) {
    shapes.push_back({circle(c.x(), c.y(), r),
                      gradient({0, c.y() - r}, {0, c.y() + r}, {{0, QColor(78, 88, 82)}, {1, QColor(34, 40, 37)}})});
    const double rim = r * 0.66;
    QPainterPath disc = circle(c.x(), c.y(), rim);
    if (detailed) {
        // Five windows between five spokes, as on an alloy wheel.
        const QRectF outer(c.x() - rim * 0.84, c.y() - rim * 0.84, rim * 1.68, rim * 1.68);
        const QRectF inner(c.x() - rim * 0.38, c.y() - rim * 0.38, rim * 0.76, rim * 0.76);
        for (int i = 0; i < 5; ++i) {
            const double from = 90 + 18 + i * 72, sweep = 40;
            QPainterPath window;
            window.arcMoveTo(outer, from);
            window.arcTo(outer, from, sweep);
            window.arcTo(inner, from + sweep, -sweep);
            window.closeSubpath();
            disc = disc.subtracted(window);
        }
    }
    shapes.push_back(
        {disc, gradient({c.x() - rim, c.y() - rim}, {c.x() + rim, c.y() + rim},
                        {{0, QColor(246, 248, 246)}, {0.55, QColor(200, 208, 204)}, {1, QColor(140, 150, 145)}})});
    shapes.push_back({circle(c.x(), c.y(), r * 0.2), QColor(64, 132, 48)});
    if (detailed)
        shapes.push_back({circle(c.x(), c.y(), r * 0.08), QColor(226, 244, 214)});
}

std::vector<Shape> icon(bool detailed) {
    const QPointF wheel(176, 176);
    const double tyre = 72;
    // A clear gap between the wheel and the cylinder keeps them apart at 16 px.
    const QPainterPath cut = circle(wheel.x(), wheel.y(), tyre + 12);
    std::vector<Shape> shapes;
    addCylinder(shapes, detailed, cut);
    addWheel(shapes, detailed, wheel, tyre);
    return shapes;
}

QImage render(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.scale(size / canvas, size / canvas);
    for (const Shape &shape : icon(size > 24)) {
        p.setBrush(shape.brush);
        p.drawPath(shape.path);
    }
    return image;
}

QString number(double value) { return QString::number(std::round(value * 100) / 100, 'g', 8); }

QString svgPath(const QPainterPath &path) {
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
        } else if (e.isLineTo()) {
            d += QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
        } else if (e.isCurveTo()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                     .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(end.x), number(end.y));
            i += 2;
        }
    }
    return d + QLatin1Char('Z');
}

QString colour(const QColor &c) {
    QString text = QStringLiteral("stop-color=\"%1\"").arg(c.name());
    if (c.alpha() != 255)
        text += QStringLiteral(" stop-opacity=\"%1\"").arg(number(c.alphaF()));
    return text;
}

QString svg() {
    QString defs, body;
    int gradients = 0;
    for (const Shape &shape : icon(true)) {
        QString fill;
        if (const QGradient *g = shape.brush.gradient()) {
            const auto *linear = static_cast<const QLinearGradient *>(g);
            const QString id = QStringLiteral("g%1").arg(++gradients);
            defs += QStringLiteral("<linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" y1=\"%3\" "
                                   "x2=\"%4\" y2=\"%5\">")
                        .arg(id, number(linear->start().x()), number(linear->start().y()),
                             number(linear->finalStop().x()), number(linear->finalStop().y()));
            for (const QGradientStop &stop : g->stops())
                defs += QStringLiteral("<stop offset=\"%1\" %2/>").arg(number(stop.first), colour(stop.second));
            defs += QStringLiteral("</linearGradient>\n");
            fill = QStringLiteral("url(#%1)").arg(id);
        } else {
            const QColor c = shape.brush.color();
            fill = c.name();
            if (c.alpha() != 255)
                fill += QStringLiteral("\" fill-opacity=\"%1").arg(number(c.alphaF()));
        }
        const bool winding = shape.path.fillRule() == Qt::WindingFill;
        body += QStringLiteral("<path fill=\"%1\" fill-rule=\"%2\" d=\"%3\"/>\n")
                    .arg(fill, winding ? QStringLiteral("nonzero") : QStringLiteral("evenodd"), svgPath(shape.path));
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                          "viewBox=\"0 0 256 256\">\n<title>Drevalon</title>\n<defs>\n%1</defs>\n%2</svg>\n")
        .arg(defs, body);
}
} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    for (int size : sizes) {
        if (!render(size).save(out.filePath(QStringLiteral("drevalon-%1.png").arg(size)), "PNG"))
            return 1;
    }
    QFile file(out.filePath(QStringLiteral("drevalon.svg")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    QTextStream(&file) << svg();
    return file.error() == QFile::NoError ? 0 : 1;
}
