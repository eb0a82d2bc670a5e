#include "platform/BackgroundImage.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>

BackgroundImage::BackgroundImage(const QString &name, QWidget *parent) : QWidget(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    setGeometry(parent->rect());
    lower();
    parent->installEventFilter(this);
}

static void initPictures() {
    // The pictures live in a static library: register them before first use.
    Q_INIT_RESOURCE(resources);
}

const QPixmap &BackgroundImage::picture() {
    static const QPixmap pixmap = [] {
        initPictures();
        return QPixmap(QStringLiteral(":/pictures/background.jpg"));
    }();
    return pixmap;
}

void BackgroundImage::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), picture());
}

bool BackgroundImage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parent() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        lower();
    }
    return QWidget::eventFilter(watched, event);
}
