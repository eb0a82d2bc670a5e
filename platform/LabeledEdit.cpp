#include "platform/LabeledEdit.h"

#include <QEvent>
#include <QLabel>
#include <QProxyStyle>
#include <limits>

namespace {
// Qt draws a password field with the style's mask character: a small style
// over the field's own gives it the one the field wants.
class PasswordCharStyle : public QProxyStyle {
public:
    explicit PasswordCharStyle(QChar c) : m_char(c) {}
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return m_char.unicode();
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    QChar m_char;
};
} // namespace

LabeledEdit::LabeledEdit(const QString &name, const QString &caption, QWidget *parent)
    : QLineEdit(parent), m_label(new QLabel(caption, parent)) {
    setObjectName(name);
    m_label->setObjectName(name + QStringLiteral("_label"));
    m_label->setAttribute(Qt::WA_TranslucentBackground);
    // The caption names the field for a screen reader.
    m_label->setBuddy(this);
    setMaxLength(std::numeric_limits<int>::max()); // no limit of its own
    placeLabel();
}

void LabeledEdit::setPasswordChar(QChar c) {
    auto *style = new PasswordCharStyle(c);
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
}

void LabeledEdit::placeLabel() {
    const int h = m_label->sizeHint().height();
    m_label->setGeometry(x(), y() - h - 2, qMax(width(), m_label->sizeHint().width()), h);
}

void LabeledEdit::moveEvent(QMoveEvent *event) {
    QLineEdit::moveEvent(event);
    placeLabel();
}

void LabeledEdit::resizeEvent(QResizeEvent *event) {
    QLineEdit::resizeEvent(event);
    placeLabel();
}

bool LabeledEdit::event(QEvent *event) {
    // The label follows the field's own show() and hide(), also while the page
    // holding both is not on screen; with its parent it shows and hides anyway.
    if (event->type() == QEvent::ShowToParent)
        m_label->show();
    else if (event->type() == QEvent::HideToParent)
        m_label->hide();
    return QLineEdit::event(event);
}
