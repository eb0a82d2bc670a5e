#include "platform/QtMessageService.h"
#include "platform/ApplicationTitle.h"
#include "platform/WindowOwner.h"

#include <QApplication>
#include <QMessageBox>

namespace {
int run(QMessageBox::Icon icon, const QString &caption, const QString &text, QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, caption, text, buttons, WindowOwner::current());
    box.setDefaultButton(defaultButton);
    return box.exec();
}
} // namespace

void QtMessageService::information(const QString &text) {
    run(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageService::confirm(const QString &text) {
    return run(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessageService::confirmDelete() {
    return run(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

void QtMessageService::error(const QString &text) {
    run(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageService::fatal(const QString &caption, const QString &text) {
    run(QMessageBox::Critical, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}
