#include "data/views/NavigatorIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace {
class SymbolEngine : public QIconEngine {
public:
    explicit SymbolEngine(NavigateBtn kind) : m_kind(kind) {}
    QIconEngine *clone() const override { return new SymbolEngine(m_kind); }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    void paint(QPainter *p, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        // Symbols are drawn on a 16 x 16 grid centred in the rectangle.
        const qreal side = qMin(rect.width(), rect.height());
        p->translate(rect.center().x() + 0.5 - side / 2, rect.center().y() + 0.5 - side / 2);
        p->scale(side / 16.0, side / 16.0);
        const bool disabled = mode == QIcon::Disabled;
        if (disabled) { // the engraved look of a greyed picture: a white shadow under grey
            p->save();
            p->translate(0.7, 0.7);
            draw(p, QColor(255, 255, 255));
            p->restore();
        }
        draw(p, disabled ? QColor(160, 160, 160) : colourOf(m_kind));
        p->restore();
    }

private:
    static QColor colourOf(NavigateBtn kind) {
        switch (kind) {
        case NavigateBtn::nbPost: return QColor(0, 120, 0);
        case NavigateBtn::nbCancel:
        case NavigateBtn::nbDelete: return QColor(170, 0, 0);
        default: return QColor(20, 20, 20);
        }
    }

    static void triangle(QPainter *p, QPointF a, QPointF b, QPointF c) {
        QPainterPath path;
        path.moveTo(a);
        path.lineTo(b);
        path.lineTo(c);
        path.closeSubpath();
        p->drawPath(path);
    }

    void draw(QPainter *p, const QColor &colour) const {
        p->setPen(Qt::NoPen);
        p->setBrush(colour);
        switch (m_kind) {
        case NavigateBtn::nbFirst:
            p->drawRect(QRectF(3.5, 3.5, 1.8, 9));
            triangle(p, {11.5, 3.5}, {11.5, 12.5}, {6, 8});
            break;
        case NavigateBtn::nbPrior: triangle(p, {10.5, 3.5}, {10.5, 12.5}, {5, 8}); break;
        case NavigateBtn::nbNext: triangle(p, {5.5, 3.5}, {5.5, 12.5}, {11, 8}); break;
        case NavigateBtn::nbLast:
            triangle(p, {4.5, 3.5}, {4.5, 12.5}, {10, 8});
            p->drawRect(QRectF(10.7, 3.5, 1.8, 9));
            break;
        case NavigateBtn::nbInsert:
            p->drawRect(QRectF(7.1, 3.5, 1.8, 9));
            p->drawRect(QRectF(3.5, 7.1, 9, 1.8));
            break;
        case NavigateBtn::nbDelete: p->drawRect(QRectF(3.5, 7.1, 9, 1.8)); break;
        case NavigateBtn::nbEdit: triangle(p, {3.5, 11}, {12.5, 11}, {8, 5}); break;
        case NavigateBtn::nbPost: {
            QPen pen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p->setPen(pen);
            p->setBrush(Qt::NoBrush);
            p->drawPolyline(QPolygonF({{3.5, 8.5}, {6.8, 11.8}, {12.5, 4.2}}));
            break;
        }
        case NavigateBtn::nbCancel: {
            QPen pen(colour, 2.0, Qt::SolidLine, Qt::RoundCap);
            p->setPen(pen);
            p->drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
            p->drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
            break;
        }
        case NavigateBtn::nbRefresh: {
            QPen pen(colour, 1.8, Qt::SolidLine, Qt::FlatCap);
            p->setPen(pen);
            p->setBrush(Qt::NoBrush);
            p->drawArc(QRectF(3.5, 3.5, 9, 9), 100 * 16, 250 * 16);
            p->setPen(Qt::NoPen);
            p->setBrush(colour);
            triangle(p, {7.0, 1.6}, {7.0, 6.6}, {10.4, 4.1});
            break;
        }
        }
    }

    NavigateBtn m_kind;
};
} // namespace

QIcon navigatorIcon(NavigateBtn kind) { return QIcon(new SymbolEngine(kind)); }
