#pragma once
#include <QGroupBox>

/// A group box on a white ground, caption line included, framed by a thin
/// line: it stands out over the background picture of a dialog.
class WhiteGroupBox : public QGroupBox {
    Q_OBJECT
public:
    WhiteGroupBox(const QString &name, const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
