#include "platform/PictureButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

PictureButton::PictureButton(const QString &name, const QString &label, QWidget *parent) : QAbstractButton(parent) {
    setObjectName(name);
    setText(label);
    setAccessibleName(label);
    setFocusPolicy(Qt::StrongFocus);
}

PictureButton *PictureButton::place(QWidget *parent, const QString &name, const QString &label, const QRect &geometry,
                                    bool handCursor) {
    auto *button = new PictureButton(name, label, parent);
    button->setGeometry(geometry);
    button->setHandCursor(handCursor);
    return button;
}

void PictureButton::setHandCursor(bool on) {
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

QSize PictureButton::sizeHint() const { return QSize(97, 39); }

void PictureButton::keyPressEvent(QKeyEvent *event) {
    // A command button that has the focus is pressed by Enter as well as by Space.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat() &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PictureButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool down = isDown();
    const bool enabled = isEnabled();

    // The picture: a vertical green gradient in a rounded frame.
    QLinearGradient gradient(frame.topLeft(), frame.bottomLeft());
    const QColor light = enabled ? QColor(222, 245, 206) : QColor(232, 236, 230);
    const QColor mid = enabled ? QColor(146, 212, 110) : QColor(200, 208, 196);
    const QColor deep = enabled ? QColor(66, 150, 48) : QColor(170, 178, 166);
    gradient.setColorAt(0.0, down ? mid : light);
    gradient.setColorAt(0.55, mid);
    gradient.setColorAt(1.0, down ? light : deep);
    QPainterPath shape;
    shape.addRoundedRect(frame, 5, 5);
    p.fillPath(shape, gradient);
    p.setPen(QPen(enabled ? QColor(40, 96, 30) : QColor(150, 150, 150), 1));
    p.drawPath(shape);

    // The label: dark italic small capitals, shrunk to fit the picture.
    QFont f = font();
    f.setItalic(true);
    f.setBold(true);
    f.setCapitalization(QFont::SmallCaps);
    f.setPixelSize(qMax(9, qMin(16, height() / 2 - 2)));
    const QRectF textArea = frame.adjusted(4, 2, -4, -2);
    while (f.pixelSize() > 8 && QFontMetricsF(f).horizontalAdvance(text()) > textArea.width())
        f.setPixelSize(f.pixelSize() - 1);
    p.setFont(f);
    const QPointF offset = down ? QPointF(1, 1) : QPointF(0, 0);
    if (enabled) {
        p.setPen(QColor(255, 255, 255, 150));
        p.drawText(textArea.translated(offset + QPointF(0.8, 0.8)), Qt::AlignCenter, text());
    }
    p.setPen(enabled ? QColor(16, 52, 12) : QColor(130, 130, 130));
    p.drawText(textArea.translated(offset), Qt::AlignCenter, text());

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}
