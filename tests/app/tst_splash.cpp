// The splash window: its five-stage run counted tick by tick from a real
// activation, the hand-over to the main window with today's dates (maximised
// the first time, later as the user left it), a replay from the context menu
// and a re-activation in the middle of a run. The real timer is kept from
// ticking (its signal blocked) so every tick is one the suite gives, while its
// state stays observable.
#include "app/DrevalonApplication.h"
#include "tests/ui/UiKit.h"

#include <QCalendarWidget>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTimer>

using namespace UiKit;

namespace {
const QString searching = QStringLiteral("поиск базы данных");
const QString loading = QStringLiteral("загрузка данных");
const QString finishing = QStringLiteral("завершение загружзки");
const QDate chosen(2020, 1, 1);

void tick() { Form1->Timer1Timer(); }

void ticks(int count) {
    for (int i = 0; i < count; ++i)
        tick();
}

QList<QDate> mainWindowDates() {
    return {Form2->MonthCalendar1->selectedDate(), Form2->DateTimePicker1->date(), Form2->DateTimePicker2->date()};
}

void chooseDates() {
    Form2->MonthCalendar1->setSelectedDate(chosen);
    Form2->DateTimePicker1->setDate(chosen);
    Form2->DateTimePicker2->setDate(chosen);
}

const QList<QDate> allToday() { return {QDate::currentDate(), QDate::currentDate(), QDate::currentDate()}; }

// The bar, the stage and the status text after the tick that was just given.
#define CHECK_RUN(bar, stageValue, status)                                                                             \
    do {                                                                                                               \
        QCOMPARE(Form1->position(), bar);                                                                              \
        QCOMPARE(Form1->stage(), double(stageValue));                                                                  \
        QCOMPARE(Form1->Label1->text(), QString(status));                                                              \
    } while (false)

/// Shows or activates the splash as the program does, then lets the loop deliver
/// the window activation that starts a run.
bool showAndActivate(const std::function<void()> &show) {
    show();
    return QTest::qWaitFor([] { return Form1->isActiveWindow() && Form1->stage() == 1; });
}
} // namespace

class TestSplash : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    std::unique_ptr<QSignalBlocker> manualTicks;

private slots:
    void init() {
        session = std::make_unique<Session>();
        Startup::createAll(session->stores.settings());
        manualTicks = std::make_unique<QSignalBlocker>(Form1->Timer1);
    }
    void cleanup() {
        manualTicks.reset();
        session.reset();
    }

    void firstRunHandsOverAtTick145AndStopsAt164() {
        QVERIFY(showAndActivate([] { Form1->Show(); }));
        QCOMPARE(Form1->Timer1->interval(), 10);
        QVERIFY(Form1->Timer1->isActive());
        QCOMPARE(Form1->Label1->width(), 0); // no text, no strip

        const QMap<int, int> bar = {{1, 10}, {9, 90},  {10, 30}, {11, 60}, {12, 2},
                                    {13, 4}, {55, 88}, {56, 1},  {57, 2},  {144, 89}};
        for (int t = 1; t <= 144; ++t) {
            tick();
            QVERIFY2(Form1->isVisible() && !Form2->isVisible(), qPrintable(QString::number(t)));
            if (bar.contains(t))
                QVERIFY2(Form1->position() == bar[t],
                         qPrintable(QStringLiteral("tick %1: %2").arg(t).arg(Form1->position())));
            if (t == 10)
                CHECK_RUN(30, 2, "");
            if (t == 12)
                CHECK_RUN(2, 3, searching);
            if (t == 56)
                CHECK_RUN(1, 4, loading);
        }
        QCOMPARE(Form1->Label1->width(), Form1->Label1->fontMetrics().horizontalAdvance(loading));
        QCOMPARE(Form1->Label1->geometry().topLeft(), QPoint(0, 264));

        chooseDates();
        tick(); // 145
        CHECK_RUN(5, 5, finishing);
        QVERIFY(Form2->isVisible() && Form2->isMaximized());
        QVERIFY(!Form1->isVisible());
        QCOMPARE(mainWindowDates(), allToday());

        // While the bar climbs on the hidden splash, every tick dates the main window today.
        for (int t = 146; t <= 164; ++t) {
            if (t == 150)
                chooseDates();
            QVERIFY(Form1->Timer1->isActive());
            tick();
            QCOMPARE(Form1->position(), 5 * (t - 144));
            QCOMPARE(mainWindowDates(), allToday());
            QVERIFY(Form2->isVisible() && !Form1->isVisible());
        }
        QCOMPARE(Form1->position(), 100);
        QVERIFY(!Form1->Timer1->isActive());

        // Finished: with the real timer let loose again, a period the user picks stays.
        manualTicks.reset();
        chooseDates();
        QTest::qWait(60);
        QCOMPARE(mainWindowDates(), (QList<QDate>{chosen, chosen, chosen}));
        QCOMPARE(Form1->stage(), 5.0);
    }

    void replayFromTheContextMenu() {
        QVERIFY(showAndActivate([] { Form1->Show(); }));
        ticks(164);
        QVERIFY(!Form1->Timer1->isActive());
        chooseDates();
        Form2->showNormal(); // the user restores the main window

        QVERIFY(showAndActivate([] { Form2->N15->trigger(); }));
        QVERIFY(Form1->isVisible() && Form2->isVisible());
        QVERIFY(Form1->Timer1->isActive());

        tick(); // the bar still stands at 100: stage 1 ends at once
        CHECK_RUN(30, 2, finishing);
        tick();
        CHECK_RUN(60, 2, finishing);
        tick();
        CHECK_RUN(2, 3, searching);
        ticks(44); // 47
        CHECK_RUN(1, 4, loading);
        ticks(88); // 135
        QVERIFY(Form1->isVisible());
        QCOMPARE(mainWindowDates(), (QList<QDate>{chosen, chosen, chosen}));
        tick(); // 136
        CHECK_RUN(5, 5, finishing);
        QVERIFY(!Form1->isVisible() && Form2->isVisible());
        QCOMPARE(mainWindowDates(), allToday());
        ticks(18);                      // 154
        QVERIFY(!Form2->isMaximized()); // as the user left it, on every tick
        QVERIFY(Form1->Timer1->isActive());
        tick();
        QCOMPARE(Form1->position(), 100);
        QVERIFY(!Form1->Timer1->isActive());
    }

    void reactivationRestartsStageOneAndTheBarClamps() {
        // Before the first activation the slow timer already runs, and a tick does nothing.
        QCOMPARE(Form1->stage(), 0.0);
        QVERIFY(Form1->Timer1->isActive());
        QCOMPARE(Form1->Timer1->interval(), 1000);
        QCOMPARE(Form1->ProgressBar1->minimum(), 0);
        QCOMPARE(Form1->ProgressBar1->maximum(), 100);
        QCOMPARE(Form1->Image1->pixmap().size(), QSize(243, 278));
        tick();
        CHECK_RUN(0, 0, "");
        QVERIFY(!Form1->isVisible() && !Form2->isVisible());

        Form1->setPosition(150);
        QCOMPARE(Form1->position(), 100);
        Form1->setPosition(-5);
        QCOMPARE(Form1->position(), 0);

        QVERIFY(showAndActivate([] { Form1->Show(); }));
        ticks(12);
        CHECK_RUN(2, 3, searching);
        Form1->setPosition(45);

        // The user switches to another window and back.
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QCOMPARE(Form1->stage(), 3.0);
        QVERIFY(showAndActivate([] { Form1->activateWindow(); }));

        for (int bar : {55, 65, 75, 85, 95}) {
            tick();
            CHECK_RUN(bar, 1, searching);
        }
        tick(); // 105 is stored as 100, and stage 2 follows in the same tick
        CHECK_RUN(30, 2, searching);
        QVERIFY(Form1->isVisible());
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestSplash test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_splash.moc"
