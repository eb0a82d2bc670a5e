#include "data/views/TDBEdit.h"
#include "data/datasets/TDataSet.h"
#include "data/datasets/TField.h"
#include "data/views/ViewBinding.h"
#include "platform/ErrorFunnel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>

TDBEdit::TDBEdit(const QString &name, QWidget *parent) : QLineEdit(parent) {
    setObjectName(name);
    m_link.onDataChange = [this] { refresh(); };
    m_link.onStateChange = [this] { refreshReadOnly(); };
    m_link.onUpdateData = [this] { updateRecord(); };
    refreshReadOnly();
    // Keys start the edit before they change the text; a change from anywhere
    // else (the context menu's paste, cut, delete, undo; a drop) arrives here
    // after the fact and goes through the same cycle, or is taken back.
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::editedElsewhere);
}

void TDBEdit::editedElsewhere(const QString &edited) {
    if (m_modified && m_link.DataSet() && m_link.DataSet()->editing())
        return;
    const int cursor = cursorPosition();
    bool started = false;
    ErrorFunnel::guard([&] { started = beginChange(); });
    if (!started) {
        refresh();
        return;
    }
    // Starting the edit shows the row again: put the user's change back.
    if (text() != edited)
        setText(edited);
    setCursorPosition(cursor);
}

TDBEdit::~TDBEdit() { ViewBinding::cancel(&m_link); }

void TDBEdit::setDataSourceName(const QString &name) { ViewBinding::request(&m_link, name); }

void TDBEdit::refresh() {
    if (m_writing)
        return;
    TField *field = m_link.Field();
    // Setting even the same text or length drops the selection and moves the
    // cursor, so the key that starts an edit would no longer replace the text the
    // user selected: touch them only when they differ.
    const QString shown = field ? field->DisplayText() : QString();
    // The limit counts UTF-16 units, the column characters: a stored value of
    // characters outside the first plane, padded to the width, is longer than
    // the width. The field always holds the whole value, or it would show it
    // cut and could no longer be edited.
    const int length = field && isTextType(field->DataType()) && field->Size() > 0
                           ? std::max(field->Size(), static_cast<int>(shown.size()))
                           : 32767;
    if (length != maxLength())
        setMaxLength(length);
    if (shown != text()) {
        setText(shown);
        // A long value shows its beginning, not its end.
        setCursorPosition(0);
    }
    m_modified = false;
    m_refusedText = QString();
    refreshReadOnly();
}

void TDBEdit::refreshReadOnly() { setReadOnly(!m_link.canModify()); }

bool TDBEdit::beginChange() {
    if (!m_link.canModify())
        return false;
    // Starting the edit shows the row being edited; the keystroke applies to that.
    if (!m_link.DataSet()->editing() && !m_link.edit())
        return false;
    m_modified = true;
    return true;
}

void TDBEdit::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (key == Qt::Key_Escape) {
        refresh();
        selectAll();
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && typed.front().isPrint() && !(mods & Qt::ControlModifier);
    const bool changing = printable || key == Qt::Key_Backspace || key == Qt::Key_Delete ||
                          event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
                          (key == Qt::Key_Insert && (mods & Qt::ShiftModifier));
    if (!changing) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    TField *field = m_link.Field();
    if (printable && field && !field->IsValidChar(field->typedChar(typed.front()))) {
        QApplication::beep();
        event->accept();
        return;
    }
    bool started = false;
    ErrorFunnel::guard([&] { started = beginChange(); });
    if (!started) {
        event->accept();
        return;
    }
    if (printable && field && field->typedChar(typed.front()) != typed.front()) {
        insert(QString(field->typedChar(typed.front())));
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::inputMethodEvent(QInputMethodEvent *event) {
    bool started = false;
    ErrorFunnel::guard([&] { started = beginChange(); });
    if (started)
        QLineEdit::inputMethodEvent(event);
}

void TDBEdit::updateRecord() {
    TField *field = m_link.Field();
    if (!m_modified || !field || !m_link.DataSet()->editing())
        return;
    m_writing = true;
    try {
        field->setAsString(text());
    } catch (...) {
        m_writing = false;
        throw;
    }
    m_writing = false;
    m_modified = false;
}

void TDBEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    refreshReadOnly();
}

void TDBEdit::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    // Only a move to another control leaves the field. Another window or a popup
    // taking the focus does not; the error box itself is such a window, and
    // writing again there would raise the same error a second time.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    // A text refused a moment ago and not changed since: keep the focus, and
    // spare the user the same box again (a click first focuses, then presses).
    bool refused = m_modified && !m_refusedText.isNull() && text() == m_refusedText;
    if (!refused) {
        try {
            updateRecord();
            m_refusedText = QString();
        } catch (const std::exception &error) {
            // The text is no valid value: stay here until it is corrected.
            m_refusedText = text();
            refused = true;
            selectAll();
            ErrorFunnel::report(error);
        }
    }
    // Taken back at once, so the control that was clicked sees it has not got
    // the focus and does nothing with the refused value.
    if (refused)
        setFocus(Qt::OtherFocusReason);
    else
        setCursorPosition(0); // a field left shows its value's start, as one never entered does
}
