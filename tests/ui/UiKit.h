#pragma once
// What every window suite needs: the program's objects over fresh real stores,
// typing of any text (Cyrillic included), modal windows driven from inside
// their own loop, and the observation of a request to end the program.
#include "app/Startup.h"
#include "data/Unit3.h"
#include "platform/FormWindow.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestStores.h"
#include "tests/support/Typing.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace UiKit {

/// The stores, the scripted boxes and, once started, every window of the
/// program. The boxes are answered from the first line on, so start-up boxes
/// are recorded too.
struct Session {
    TestStores stores;
    ScriptedMessagesGuard messages;

    ~Session() { Startup::destroyAll(); }

    /// Creates the program's objects over the stores as they are now and shows
    /// the main window, on the customer page unless told otherwise; as the
    /// workstation named, or as this run's.
    void start(bool onCustomerPage = true, const QString &workstation = QString()) {
        Startup::createAll(workstation.isEmpty() ? stores.settings() : stores.settingsOf(workstation));
        Form2->show();
        if (onCustomerPage)
            Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
    }

    int count(const QString &table, const QString &where = QStringLiteral("1=1"),
              const QVariantList &values = {}) const {
        return stores.scalar(QStringLiteral("select count(*) from %1 where %2").arg(table, where), values).toInt();
    }
    int cars(const QString &where = QStringLiteral("1=1"), const QVariantList &values = {}) const {
        return stores.carScalar(QStringLiteral("select count(*) from drevalonParadox where %1").arg(where), values)
            .toInt();
    }
};

using Typing::type;

/// Replaces whatever the field shows by the text: select all, then type.
inline void retype(QLineEdit *edit, const QString &text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        type(edit, text);
}

/// A left click on a button, as the mouse gives it: near the left edge, where a
/// radio button's mark is, the middle elsewhere.
inline void click(QAbstractButton *button) {
    const bool mark = button->inherits("QRadioButton") || button->inherits("QCheckBox");
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      mark ? QPoint(6, button->height() / 2) : button->rect().center());
}

/// Opens the administrator lock from the customer page, as the shop's
/// administrator does: the password, then OK.
inline void unlockByPage() {
    retype(Form2->LabeledEdit10, QStringLiteral("742"));
    click(Form2->BitBtn7);
    QVERIFY(Form2->GroupBox4->isVisible());
}

/// Runs `open` (which shows `window` modally) and, once the window's own loop
/// runs, `inside`. A window `inside` leaves open is closed afterwards, so a
/// fault never hangs the suite. Returns whether `inside` ran at all.
inline bool whileModal(FormWindow *window, const std::function<void()> &open, const std::function<void()> &inside) {
    bool ran = false;
    QTimer timer; // owned here: it can never fire after this call returns
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ran = true;
        inside();
        if (window->showingModal())
            window->Close();
    });
    timer.start(0);
    open();
    return ran;
}

/// Watches the application for the quit event the program's exit path sends.
class QuitWatch : public QObject {
public:
    bool quitSeen = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == qApp && event->type() == QEvent::Quit)
            quitSeen = true;
        return false;
    }
};

/// Watches one object for a close event.
class CloseWatch : public QObject {
public:
    int closes = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Close)
            ++closes;
        return false;
    }
};

/// Runs the application's own loop around `command` and tells whether the
/// command asked the program to end. A check queued right after the command
/// ends the loop when no quit came first, so the answer never waits on time.
inline bool endsTheProgram(const std::function<void()> &command) {
    // A quit left queued by an earlier exit finds no loop now and does nothing.
    QCoreApplication::sendPostedEvents();
    QuitWatch watch;
    qApp->installEventFilter(&watch);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        command();
        QMetaObject::invokeMethod(
            &watch,
            [&] {
                if (!watch.quitSeen)
                    QCoreApplication::exit(1);
            },
            Qt::QueuedConnection);
    });
    timer.start(0);
    const int code = QCoreApplication::exec();
    qApp->removeEventFilter(&watch);
    return code == 0 && watch.quitSeen;
}

} // namespace UiKit
