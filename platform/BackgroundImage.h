#pragma once
#include <QWidget>

/// The shared background picture, stretched over its parent as the lowest
/// layer: it follows the parent's size and stays under every other control.
class BackgroundImage : public QWidget {
    Q_OBJECT
public:
    BackgroundImage(const QString &name, QWidget *parent);
    static const QPixmap &picture();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
