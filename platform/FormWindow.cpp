#include "platform/FormWindow.h"
#include "platform/CreationOrder.h"
#include "platform/ErrorFunnel.h"

#include <QCloseEvent>
#include <QEventLoop>

namespace {
// An owned window keeps the title bar's usual buttons; the dialog type is what
// makes the window manager treat it as part of its owner.
constexpr Qt::WindowFlags ownedWindow = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
} // namespace

FormWindow::FormWindow(const QString &name, const QString &caption, QWidget *parent)
    : QWidget(parent, parent ? ownedWindow : Qt::Window), m_creationSerial(CreationOrder::next()) {
    setObjectName(name);
    setWindowTitle(caption);
}

void FormWindow::fixSize(int width, int height) {
    setFixedSize(width, height);
    if (windowFlags() & Qt::WindowMaximizeButtonHint)
        setWindowFlags((windowFlags() | Qt::CustomizeWindowHint) & ~Qt::WindowMaximizeButtonHint);
}

void FormWindow::Show() {
    show();
    raise();
    activateWindow();
}

void FormWindow::ShowModal() {
    if (m_modalLoop)
        return;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    Show();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    m_modalLoop = nullptr;
    setWindowModality(Qt::NonModal);
}

void FormWindow::closeEvent(QCloseEvent *event) {
    ErrorFunnel::guard([this] { FormClose(); });
    event->accept();
}

void FormWindow::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (m_modalLoop && !event->spontaneous())
        m_modalLoop->quit();
}

void FormWindow::showEvent(QShowEvent *event) {
    if (!event->spontaneous())
        ErrorFunnel::guard([this] { FormShow(); });
    QWidget::showEvent(event);
}

void FormWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        ErrorFunnel::guard([this] { FormActivate(); });
}
