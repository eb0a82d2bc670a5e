#include "app/Unit1.h"
#include "ui/main/Unit2.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QDate>
#include <QCoreApplication>

TForm1 *Form1 = nullptr;

TForm1::TForm1(QWidget *parent) : FormWindow(QStringLiteral("Form1"), QStringLiteral("Drevalon DataBase"), parent) {
    setWindowFlag(Qt::FramelessWindowHint);
    setFixedSize(235, 278);
    move(532, 327);
}

void TForm1::FormActivate() {
    Form2->MonthCalendar1->setSelectedDate(QDate::currentDate());
    Form2->showMaximized();
    Form2->raise();
    Form2->activateWindow();
    hide();
}

void TForm1::closeEvent(QCloseEvent *event) {
    // The quit request waits behind the messages already queued, so the
    // handler that closed us runs to its end.
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
    FormWindow::closeEvent(event);
}
