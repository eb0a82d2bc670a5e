#pragma once
#include <QAbstractButton>

/// A command button that carries its label as a picture: a green gradient with
/// the label in dark italic small capitals, drawn as vectors so it stays sharp
/// at any size. The label is the button's text, so it can be read and tested.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(const QString &name, const QString &label, QWidget *parent = nullptr);
    /// A button placed on its parent at its designed place.
    static PictureButton *place(QWidget *parent, const QString &name, const QString &label, const QRect &geometry,
                                bool handCursor);
    /// The pointing hand over the button.
    void setHandCursor(bool on);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
