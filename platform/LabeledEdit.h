#pragma once
#include <QLineEdit>

class QLabel;

/// An edit field with its caption label standing just above it; the label
/// moves, shows and hides with the field.
class LabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    LabeledEdit(const QString &name, const QString &caption, QWidget *parent);
    QLabel *EditLabel() const { return m_label; }
    /// Masks every typed character with the given one (a password field).
    void setPasswordChar(QChar c);

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void placeLabel();
    QLabel *m_label;
};
