#include "platform/WindowOwner.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> &previous() {
    static QPointer<QWidget> owner;
    return owner;
}

bool usable(const QWidget *window) { return window && window->isVisible() && !window->isMinimized(); }
} // namespace

QWidget *WindowOwner::current() {
    QWidget *owner = QApplication::activeModalWidget();
    if (!usable(owner))
        owner = QApplication::activeWindow();
    if (!usable(owner))
        owner = previous();
    if (!usable(owner))
        return nullptr;
    previous() = owner;
    return owner;
}
