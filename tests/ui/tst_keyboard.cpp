// The program by keyboard alone: the tab order of the pages and of the check
// dialog with the ways out of the grids, the menu bar's key, the focus after
// the hand-over, and the daily road from the customer to the sorted archive.
#include "app/DrevalonApplication.h"
#include "data/views/TDBGrid.h"
#include "tests/support/ReportKit.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit10.h"
#include "ui/dialogs/Unit7.h"

#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

using namespace UiKit;

namespace {
QString focused() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

/// Waits until the window is the application's active one, the focus inside it.
bool activated(QWidget *window) {
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

/// What the window manager does when a window over this one closes (the
/// offscreen platform has none): gives it the activation back.
bool backOnTop(QWidget *window) {
    window->activateWindow();
    return activated(window);
}

/// Keys as the user presses them, counted apart from the characters typed: to
/// the control holding the focus, or to an open menu, which the platform hands
/// every key to.
struct Keyboard {
    int presses = 0, typed = 0;
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *target = QApplication::activePopupWidget();
        target = target ? target : QApplication::focusWidget();
        QVERIFY2(target, "no widget has the focus");
        ++presses;
        QTest::keyClick(target, key, modifiers);
    }
    void type(const QString &text) {
        typed += int(Typing::keys(text).size());
        Typing::type(text);
    }
    /// Follows a route like "^Tab DBGrid5 S-Tab Edit1": a key (Tab or S-Tab,
    /// with Ctrl after ^), then the control that must have the focus.
    void walk(const QString &route) {
        const QStringList steps = route.split(QLatin1Char(' '));
        for (int i = 0; i + 1 < steps.size(); i += 2) {
            const Qt::KeyboardModifiers ctrl = steps[i].startsWith('^') ? Qt::ControlModifier : Qt::NoModifier;
            if (steps[i].endsWith(QLatin1String("S-Tab")))
                press(Qt::Key_Backtab, ctrl | Qt::ShiftModifier); // as the keyboard gives Shift+Tab
            else
                press(Qt::Key_Tab, ctrl);
            QVERIFY2(focused() == steps[i + 1],
                     qPrintable(QStringLiteral("%1 led to %2, not %3").arg(steps[i], focused(), steps[i + 1])));
        }
    }
};
#define WALK(keys, route)                                                                                              \
    do {                                                                                                               \
        (keys).walk(QStringLiteral(route));                                                                            \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

QStringList gridColumn(TDBGrid *grid, int column) {
    QStringList values;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        values.append(grid->model()->index(row, column).data().toString().trimmed());
    return values;
}
} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    qint64 first = 0, second = 0;

private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        session = std::make_unique<Session>();
        const TestStores &s = session->stores;
        first = s.addCustomer(QStringLiteral("Ольга"), QStringLiteral("Королёва"), QStringLiteral("89771738028"));
        second = s.addCustomer(QStringLiteral("Виктор"), QStringLiteral("Куликов"), QStringLiteral("89261112233"));
        s.addCurrent(first, QStringLiteral("Mahle"), QStringLiteral("OC 90"), QStringLiteral("Фильтр"), 2, 450);
        s.addArchived(first, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QString(), 4, 320,
                      QStringLiteral("2011-05-23"));
        s.addArchived(second, QStringLiteral("Ate"), QStringLiteral("C-3"), QString(), 1, 2400,
                      QStringLiteral("2010-12-31"));
    }
    void cleanup() { session.reset(); }

    void tabOrderAndTheWaysOutOfGrids_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("route");
        QTest::newRow("order page, forward")
            << "TabSheet2"
            << "DBGrid6 ^Tab DBGrid5 ^Tab BitBtn10 Tab DBGrid8 ^Tab Edit1 Tab BitBtn14 Tab BitBtn12 Tab BitBtn15";
        // Shift+Tab into a grid, Ctrl+Shift+Tab out of it from its first column.
        QTest::newRow("order page, back")
            << "TabSheet2"
            << "BitBtn15 S-Tab BitBtn12 S-Tab BitBtn14 S-Tab Edit1 S-Tab DBGrid8 ^S-Tab BitBtn10 S-Tab DBGrid5 "
               "^S-Tab DBGrid6";
        // Each picker is one stop, and so are the sort keys with none selected.
        QTest::newRow("archive page, pickers")
            << "TabSheet3"
            << "DateTimePicker1 Tab DateTimePicker2 Tab BitBtn16 S-Tab DateTimePicker2 S-Tab DateTimePicker1 S-Tab "
               "DBGrid2 ^Tab DateTimePicker1";
        QTest::newRow("archive page, sort keys")
            << "TabSheet3"
            << "BitBtn17 Tab RadioButton6 Tab CheckBox1 Tab Button6 Tab DBGrid7 ^Tab BitBtn13";
        QTest::newRow("archive page, back")
            << "TabSheet3"
            << "BitBtn13 S-Tab DBGrid7 ^S-Tab Button6 S-Tab CheckBox1 S-Tab RadioButton6 S-Tab BitBtn17 S-Tab "
               "BitBtn16 S-Tab DateTimePicker2 S-Tab DateTimePicker1 S-Tab DBGrid2";
        QTest::newRow("check dialog") << "Form10"
                                      << "DBGrid1 ^Tab BitBtn1 Tab BitBtn2 S-Tab BitBtn1 S-Tab DBGrid1";
    }
    void tabOrderAndTheWaysOutOfGrids() {
        QFETCH(QString, window);
        QFETCH(QString, route);
        session->start(false);
        Form2->activateWindow();
        QVERIFY(activated(Form2));
        // Every grid on its last column, the customer on the first column of the
        // second row: no way out may move a row.
        for (TDBGrid *grid : Form2->findChildren<TDBGrid *>())
            QTest::keyClick(grid, Qt::Key_End);
        DataModule3->ADOTable3->setRecNo(1);
        QTest::keyClick(Form2->DBGrid5, Qt::Key_Home);
        const auto rows = [] {
            return QList<int>{DataModule3->ADOTable3->RecNo(), DataModule3->ADOTable2->RecNo(),
                              DataModule3->ADOQuery2->RecNo(), Form2->DBGrid5->currentColumn()};
        };
        const QList<int> before = rows();

        Keyboard keys;
        const auto walk = [&](QWidget *in) {
            in->findChild<QWidget *>(route.section(' ', 0, 0))->setFocus(Qt::OtherFocusReason);
            keys.walk(route.section(' ', 1));
        };
        if (window == QLatin1String("Form10")) {
            QVERIFY(whileModal(
                Form10, [] { Form10->ShowModal(); },
                [&] {
                    QVERIFY(activated(Form10));
                    walk(Form10);
                }));
        } else {
            Form2->PageControl1->setCurrentWidget(Form2->findChild<QWidget *>(window));
            walk(Form2);
        }
        QCOMPARE(rows(), before);
        QVERIFY(session->messages->boxes().isEmpty());
    }

    void f10OpensTheMenusWithoutChangingThem() {
        session->start(false);
        Form2->activateWindow();
        QVERIFY(activated(Form2));
        Form2->DBGrid6->setFocus(Qt::OtherFocusReason);
        Keyboard keys;
        keys.press(Qt::Key_F10);
        QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget *>(Form2->N4->menu()));
        keys.press(Qt::Key_Down);
        QCOMPARE(Form2->N4->menu()->activeAction(), Form2->N5);
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left})
            keys.press(key);
        QCOMPARE(Form2->N2->menu()->activeAction(), Form2->N10);
        QString title;
        QVERIFY(whileModal(
            Form7, [&] { keys.press(Qt::Key_Return); }, [&] { title = Form7->windowTitle(); }));
        QCOMPARE(title, QStringLiteral("Справка"));
        QStringList captions;
        for (QAction *item : Form2->MainMenu1->actions())
            captions.append(item->text());
        QCOMPARE(captions, (QStringList{"Окна", "О программе", "Игры"}));
    }

    void theDailyRoadByKeyboardOnly() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("order.pdf"));
        // The program as it starts: the splash hands over to the main window.
        Startup::createAll(session->stores.settings());
        Form1->Show();
        QTRY_VERIFY_WITH_TIMEOUT(Form2->isActiveWindow() && !Form1->Timer1->isActive(), 20000);
        QCOMPARE(focused(), QStringLiteral("DBGrid6")); // the first control of the order page

        Keyboard keys;
        WALK(keys, "^Tab DBGrid5");
        keys.press(Qt::Key_Down); // the second customer, who has no lines yet
        QCOMPARE(DataModule3->ADOTable3->FieldByName(QStringLiteral("idcust"))->AsInteger(), second);
        WALK(keys, "^S-Tab DBGrid6");
        const QList<QStringList> lines = {{"Bosch", "0451103316", "Фильтр воздушный", "2", "450"},
                                          {"Mann", "W 712/75", "Фильтр масляный", "1", "380"},
                                          {"NGK", "BKR6E", "Свеча", "4", "320"}};
        for (int line = 0; line < lines.size(); ++line) {
            if (line > 0) {
                keys.press(Qt::Key_Down); // writes the line before and starts this one
                keys.press(Qt::Key_Home);
            }
            for (int cell = 0; cell < lines[line].size(); ++cell) {
                if (cell > 0)
                    keys.press(Qt::Key_Tab);
                keys.type(lines[line][cell]);
            }
        }
        // Сумма заказа stores the last line and totals the order.
        WALK(keys, "^Tab DBGrid5 ^Tab BitBtn10 Tab DBGrid8 ^Tab Edit1 Tab BitBtn14 Tab BitBtn12");
        keys.press(Qt::Key_Space);
        QCOMPARE(session->count(QStringLiteral("orderNow"), QStringLiteral("idcust = ?"), {second}), 3);
        QCOMPARE(DataModule3->ADOQuery7->FieldByName(QStringLiteral("Сумма заказа"))->AsFloat(),
                 2 * 450 + 2 * 450 + 380 + 4 * 320.0);

        // The prepayment, then Наряд-заказ: checked in the dialog (the box answered
        // yes), printed to a PDF from its OK, closed.
        WALK(keys, "S-Tab BitBtn14 S-Tab Edit1");
        keys.type(QStringLiteral("1500"));
        WALK(keys, "Tab BitBtn14");
        QVERIFY(whileModal(
            Form10, [&] { keys.press(Qt::Key_Space); },
            [&] {
                QVERIFY(activated(Form10));
                QCOMPARE(focused(), QStringLiteral("DBGrid1"));
                WALK(keys, "^Tab BitBtn1");
                QVERIFY(ReportKit::withOptions(
                    *Form2->RvProject1,
                    [&](OutputOptionsWindow &window) {
                        QVERIFY(activated(&window));            // visible is not yet active on a slow machine
                        keys.press(Qt::Key_F, Qt::AltModifier); // File (PDF), chosen as a click shows it
                        QTRY_VERIFY(window.fileButton()->isChecked());
                        keys.press(Qt::Key_Tab); // its name
                        keys.press(Qt::Key_A, Qt::ControlModifier);
                        keys.type(pdf);
                        keys.press(Qt::Key_Return);
                    },
                    [&] { keys.press(Qt::Key_Space); }));
                QVERIFY(backOnTop(Form10));
                WALK(keys, "Tab BitBtn2");
                keys.press(Qt::Key_Space);
            }));
        if (QTest::currentTestFailed())
            return; // a check inside the dialog failed: there is no document to read
        QVERIFY(!Form10->isVisible());
        const QString text = ReportKit::pdfText(pdf);
        for (const char *expected : {"Куликов", "W 712/75", "BKR6E", "1 500,00"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(text));

        // Сохранить в архив, then the page before, the archive, sorted by date.
        QVERIFY(backOnTop(Form2));
        QCOMPARE(focused(), QStringLiteral("BitBtn14"));
        WALK(keys, "S-Tab Edit1 S-Tab DBGrid8 ^S-Tab BitBtn10");
        keys.press(Qt::Key_Space);
        QCOMPARE(session->count(QStringLiteral("orderNow")), 0);
        keys.press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(Form2->PageControl1->currentWidget(), Form2->TabSheet3);
        QCOMPARE(focused(), QStringLiteral("DBGrid2"));
        WALK(keys, "^Tab DateTimePicker1 Tab DateTimePicker2 Tab BitBtn16 Tab BitBtn17 Tab RadioButton6");
        for (int i = 0; i < 3; ++i)
            keys.press(Qt::Key_Down);
        keys.press(Qt::Key_Space);
        QVERIFY(Form2->RadioButton9->isChecked());
        // The earlier lines first, then the four moved today, in any order among themselves.
        QStringList numbers = gridColumn(Form2->DBGrid2, 1);
        QCOMPARE(numbers.mid(0, 2), (QStringList{"C-3", "BKR6E"}));
        numbers = numbers.mid(2);
        numbers.sort();
        QCOMPARE(numbers, (QStringList{"0451103316", "BKR6E", "OC 90", "W 712/75"}));
        QCOMPARE(gridColumn(Form2->DBGrid2, 5).mid(2),
                 QStringList(4, QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
        QVERIFY(session->messages->texts(QStringLiteral("error")).isEmpty());
        qInfo("the daily road: %d keys pressed besides %d characters typed", keys.presses, keys.typed);
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestKeyboard test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_keyboard.moc"
