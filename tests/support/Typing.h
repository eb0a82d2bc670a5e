#pragma once
// Typing as the keyboard does, one character at a time, any character (not
// only Latin-1 ones, nor only those of the first plane): into a given widget,
// or into whatever holds the focus at each character. What no key gives (a
// control character, a lone surrogate) arrives by pasting.
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QWidget>

namespace Typing {
/// The text split as keys give it: a character outside the first plane is
/// one key, its two UTF-16 halves together.
inline QStringList keys(const QString &text) {
    QStringList out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        out.append(text.mid(i, pair ? 2 : 1));
        i += pair ? 1 : 0;
    }
    return out;
}

inline void sendKey(QWidget *widget, const QString &key) {
    const QChar c = key.front();
    const Qt::Key code = c.isLetter() && key.size() == 1 ? Qt::Key(c.toUpper().unicode())
                         : key.size() == 1               ? Qt::Key(c.unicode())
                                                         : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, widget, code, key, Qt::NoModifier);
}

inline void type(QWidget *widget, const QString &text) {
    for (const QString &key : keys(text))
        sendKey(widget, key);
}

inline void type(const QString &text) {
    for (const QString &key : keys(text)) {
        QWidget *target = QApplication::focusWidget();
        if (!target)
            QFAIL("no widget has the focus");
        sendKey(target, key);
    }
}

/// Whether every character of the text comes from a key of its own.
inline bool typeable(const QString &text) {
    for (const QString &key : keys(text)) {
        const QChar c = key.front();
        if (key.size() == 1 && (c.isSurrogate() || c.category() == QChar::Other_Control))
            return false;
    }
    return true;
}

/// Puts the text on the clipboard and presses Ctrl+V in the widget (the one
/// with the focus when none is given).
inline void paste(const QString &text, QWidget *widget = nullptr) {
    QApplication::clipboard()->setText(text);
    QWidget *target = widget ? widget : QApplication::focusWidget();
    if (!target)
        QFAIL("no widget has the focus");
    // The text a keyboard gives for Ctrl+V: the control character, no letter.
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_V, QString(QChar(0x16)), Qt::ControlModifier);
}
} // namespace Typing
