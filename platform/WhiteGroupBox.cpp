#include "platform/WhiteGroupBox.h"

#include <QPainter>

WhiteGroupBox::WhiteGroupBox(const QString &name, const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent) {
    setObjectName(name);
}

void WhiteGroupBox::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int titleHeight = fontMetrics().height();
    p.setPen(QColor(160, 160, 160));
    p.drawRect(QRectF(rect()).adjusted(0.5, titleHeight / 2.0, -0.5, -0.5));
    const QRect caption(8, 0, fontMetrics().horizontalAdvance(title()) + 6, titleHeight);
    p.fillRect(caption, Qt::white);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(caption, Qt::AlignCenter, title());
}
