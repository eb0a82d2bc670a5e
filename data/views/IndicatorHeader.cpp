#include "data/views/IndicatorHeader.h"

#include <QPainter>
#include <QPainterPath>

IndicatorHeader::IndicatorHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent) {
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(false);
    setHighlightSections(false);
}

void IndicatorHeader::setCurrent(int row, Mark mark) {
    if (row == m_row && mark == m_mark)
        return;
    const int old = m_row;
    m_row = row;
    m_mark = mark;
    if (old >= 0)
        updateSection(old);
    if (row >= 0)
        updateSection(row);
}

void IndicatorHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const {
    // The style leaves its own state on the painter: keep ours apart.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != m_row)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::black);
    const QPointF c = QRectF(rect).center();
    switch (m_mark) {
    case Mark::Browse: {
        QPainterPath arrow;
        arrow.moveTo(c.x() - 2.5, c.y() - 4);
        arrow.lineTo(c.x() + 2.5, c.y());
        arrow.lineTo(c.x() - 2.5, c.y() + 4);
        arrow.closeSubpath();
        painter->drawPath(arrow);
        break;
    }
    case Mark::Edit: {
        painter->setPen(QPen(Qt::black, 1.2));
        painter->drawLine(QPointF(c.x(), c.y() - 4.5), QPointF(c.x(), c.y() + 4.5));
        painter->drawLine(QPointF(c.x() - 2, c.y() - 4.5), QPointF(c.x() + 2, c.y() - 4.5));
        painter->drawLine(QPointF(c.x() - 2, c.y() + 4.5), QPointF(c.x() + 2, c.y() + 4.5));
        break;
    }
    case Mark::Insert: {
        painter->setPen(QPen(Qt::black, 1.3));
        for (int i = 0; i < 3; ++i) {
            painter->save();
            painter->translate(c);
            painter->rotate(60.0 * i);
            painter->drawLine(QPointF(0, -3.5), QPointF(0, 3.5));
            painter->restore();
        }
        break;
    }
    }
    painter->restore();
}
