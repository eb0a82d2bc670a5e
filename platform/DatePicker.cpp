#include "platform/DatePicker.h"

#include <QKeyEvent>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionComboBox>

DatePicker::DatePicker(const QString &name, const QDate &date, QWidget *parent) : QDateEdit(date, parent) {
    setObjectName(name);
    setCalendarPopup(true);
    setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
}

bool DatePicker::focusNextPrevChild(bool next) {
    // The base class spends Tab on its sections first.
    return QWidget::focusNextPrevChild(next);
}

void DatePicker::keyPressEvent(QKeyEvent *event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        focusNextPrevChild(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        return;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && mods == Qt::NoModifier) {
        selectSection(currentSectionIndex() + (key == Qt::Key_Right ? 1 : -1));
        return;
    }
    if ((key == Qt::Key_F4 && mods == Qt::NoModifier) || (key == Qt::Key_Down && mods == Qt::AltModifier)) {
        showCalendar();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

void DatePicker::selectSection(int index) { setSelectedSection(sectionAt(qBound(0, index, sectionCount() - 1))); }

void DatePicker::showCalendar() {
    // The calendar opens only from a press on the arrow: press it where the
    // style draws it, so the calendar is the one a click gives.
    QStyleOptionSpinBox spin;
    initStyleOption(&spin);
    QStyleOptionComboBox combo;
    combo.initFrom(this);
    combo.editable = true;
    combo.frame = spin.frame;
    combo.subControls = spin.subControls;
    combo.state = spin.state;
    const QPointF arrow = style()->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxArrow, this).center();
    QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    mousePressEvent(&press);
}
