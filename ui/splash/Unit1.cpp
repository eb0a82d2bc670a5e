#include "ui/splash/Unit1.h"
#include "platform/ErrorFunnel.h"
#include "ui/splash/HandOver.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>

TForm1 *Form1 = nullptr;

static QPixmap splashPicture() {
    // The pictures live in a static library: register them before first use.
    Q_INIT_RESOURCE(resources);
    return QPixmap(QStringLiteral(":/pictures/splash.png"));
}

TForm1::TForm1(QWidget *parent) : FormWindow(QStringLiteral("Form1"), QStringLiteral("Drevalon DataBase"), parent) {
    // A window that can be owned (see showEvent), in front of every other
    // while it plays. Not the desktop's splash type: window managers give a
    // splash no close command, and the close shortcut must end the program.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(235, 278);
    move(532, 327);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    // The picture is wider than the window; its right edge is cut off.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 243, 278);
    Image1->setPixmap(splashPicture());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QPalette strip = Label1->palette();
    strip.setColor(QPalette::Window, strip.color(QPalette::Dark));
    Label1->setPalette(strip);
    Label1->setAutoFillBackground(true);
    Label1->move(0, 264);
    setStatus(QString());

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setOrientation(Qt::Horizontal);
    ProgressBar1->setGeometry(56, 144, 129, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    ErrorFunnel::connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
}

int TForm1::position() const { return ProgressBar1->value(); }

void TForm1::setPosition(int value) {
    // QProgressBar ignores a value outside its range; the run relies on the
    // nearest bound being stored instead.
    ProgressBar1->setValue(qBound(ProgressBar1->minimum(), value, ProgressBar1->maximum()));
}

void TForm1::FormActivate() {
    m_stage = 1;
    Timer1->setInterval(10);
    Timer1->start();
}

bool TForm1::advance(int step, int threshold) {
    setPosition(position() + step);
    return position() == threshold;
}

void TForm1::Timer1Timer() {
    // Each step tests the stage as the step before left it, so one tick may
    // finish a stage and take the next one's first step.
    if (m_stage == 1 && advance(10, 100)) {
        setPosition(0);
        m_stage = 2;
    }
    if (m_stage == 2 && advance(30, 90)) {
        setPosition(0);
        m_stage = 3;
        setStatus(QStringLiteral("поиск базы данных"));
    }
    if (m_stage == 3 && advance(2, 90)) {
        setPosition(0);
        m_stage = 4;
        setStatus(QStringLiteral("загрузка данных"));
    }
    if (m_stage == 4 && advance(1, 90)) {
        setPosition(0);
        m_stage = 5;
        setStatus(QStringLiteral("завершение загружзки"));
    }
    if (m_stage == 5) {
        if (advance(5, 100))
            Timer1->stop();
        handOver();
    }
}

void TForm1::setStatus(const QString &text) {
    // The strip is exactly as wide as its text: no text, no strip.
    Label1->setText(text);
    Label1->resize(text.isEmpty() ? 0 : Label1->fontMetrics().horizontalAdvance(text), 13);
}

void TForm1::handOver() {
    if (m_target) {
        m_target->present();
        m_target->setDates(QDate::currentDate());
    }
    hide();
}

void TForm1::showEvent(QShowEvent *event) {
    // The native window exists and is not mapped yet: while the owner is
    // shown, a replay stays above it and takes no taskbar entry of its own.
    QWidget *owner = m_target ? m_target->handOverWindow() : nullptr;
    if (QWindow *window = windowHandle())
        window->setTransientParent(owner && owner->isVisible() ? owner->windowHandle() : nullptr);
    FormWindow::showEvent(event);
}

void TForm1::closeEvent(QCloseEvent *event) {
    // The quit request waits behind the messages already queued, so the
    // handler that closed us runs to its end.
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
    FormWindow::closeEvent(event);
}
