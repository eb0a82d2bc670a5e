#pragma once
// Typing as the keyboard does, one character at a time, any character (not
// only Latin-1 ones): into a given widget, or into whatever holds the focus at
// each character.
#include <QApplication>
#include <QTest>
#include <QWidget>

namespace Typing {
inline void type(QWidget *widget, const QString &text) {
    for (QChar c : text) {
        const Qt::Key key = c.isLetter() ? Qt::Key(c.toUpper().unicode()) : Qt::Key(c.unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

inline void type(const QString &text) {
    for (QChar c : text) {
        QWidget *target = QApplication::focusWidget();
        if (!target)
            QFAIL("no widget has the focus");
        type(target, QString(c));
    }
}
} // namespace Typing
