// The archive page and the chart that follows its query: the sort keys and
// the direction box, the period search and the whole period with the total,
// stored times of day, locales, failures part-way through a command, and the
// chart's bars after each command, a post and a close, below zero too.
#include "app/DrevalonApplication.h"
#include "data/views/BarLegend.h"
#include "data/views/TBarSeries.h"
#include "data/views/TDBChart.h"
#include "data/views/TDBGrid.h"
#include "platform/PictureButton.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit6.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

using namespace UiKit;

namespace {
TADOQuery *archive() { return DataModule3->ADOQuery2; }
TADOQuery *total() { return DataModule3->ADOQuery6; }

QStringList column(const QString &field) {
    QStringList values;
    for (int row = 0; row < archive()->RecordCount(); ++row)
        values.append(archive()->valueAt(row, *archive()->FieldByName(field)).toString().trimmed());
    return values;
}
QStringList chartLabels() {
    QStringList labels;
    for (const QString &label : Form6->Series1->labels())
        labels.append(label.trimmed());
    return labels;
}
QVariant periodTotal() {
    return total()->Active() ? total()->FieldByName(QStringLiteral("Сумма за промежуток"))->Value() : QVariant();
}
QList<QRadioButton *> keys() {
    return {Form2->RadioButton6, Form2->RadioButton7, Form2->RadioButton8, Form2->RadioButton9};
}
/// A key to whatever holds the focus, as the keyboard sends it.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}
QString focused() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }
void period(const QDate &from, const QDate &to) {
    Form2->DateTimePicker1->setDate(from);
    Form2->DateTimePicker2->setDate(to);
    click(Form2->BitBtn16);
}
} // namespace

class TestArchivePage : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;

    ScriptedMessages &boxes() const { return *session->messages; }

private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        session = std::make_unique<Session>();
        const TestStores &s = session->stores;
        // firm and description run in opposite orders; prices and dates are all different.
        s.addArchived(3, QStringLiteral("Bosch"), QStringLiteral("A-1"), QStringLiteral("Свеча"), 2, 150,
                      QStringLiteral("2010-12-31"));
        s.addArchived(1, QStringLiteral("Mann"), QStringLiteral("B-2"), QStringLiteral("Масляный фильтр"), 1, 900.5,
                      QStringLiteral("2011-01-02"));
        s.addArchived(2, QStringLiteral("Ate"), QStringLiteral("C-3"), QStringLiteral("Тормозные колодки"), 4, 2400,
                      QStringLiteral("2011-05-23"));
        s.addArchived(4, QStringLiteral("NGK"), QStringLiteral("D-4"), QStringLiteral("Акумулятор"), 3, 75,
                      QStringLiteral("2011-05-24"));
        // Ordered later on the same day: outside a period that ends that day. A
        // server's date column keeps no time of day: there it is the next day.
        s.addArchived(5, QStringLiteral("Valeo"), QStringLiteral("E-5"), QStringLiteral("Щётки"), 6, 300,
                      TestStores::byStore(QStringLiteral("2011-05-24 10:30:00"), QStringLiteral("2011-05-25")));
        session->start(false);
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet3);
    }
    void cleanup() { session.reset(); }

    void sortKeysAndDirection() {
        QCOMPARE(archive()->RecordCount(), 5);
        click(Form2->RadioButton8);
        QCOMPARE(archive()->SQL().line(3), QStringLiteral("ORDER BY cena ASC"));
        QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"D-4", "A-1", "E-5", "B-2", "C-3"}));
        QCOMPARE(chartLabels(), column(QStringLiteral("Дата")));
        QVERIFY(Form2->RadioButton8->focusPolicy() & Qt::TabFocus);
        QVERIFY(!(Form2->RadioButton6->focusPolicy() & Qt::TabFocus));

        // The selected key clicked again runs nothing: a line stored meanwhile stays unseen.
        session->stores.addArchived(6, QStringLiteral("Zeta"), QStringLiteral("F-6"), QString(), 1, 1,
                                    QStringLiteral("2011-06-01"));
        const int rebuilds = Form6->Series1->rebuilds();
        click(Form2->RadioButton8);
        QCOMPARE(archive()->RecordCount(), 5);
        QCOMPARE(Form6->Series1->rebuilds(), rebuilds);

        // The direction box clears every key and leaves the rows as they are.
        click(Form2->CheckBox1);
        for (QRadioButton *key : keys())
            QVERIFY(!key->isChecked());
        QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"D-4", "A-1", "E-5", "B-2", "C-3"}));
        QCOMPARE(Form6->Series1->rebuilds(), rebuilds);

        click(Form2->RadioButton7); // the maker, not the description
        QCOMPARE(archive()->SQL().line(3), QStringLiteral("ORDER BY firm DESC"));
        QCOMPARE(column(QStringLiteral("фирма")), QStringList({"Zeta", "Valeo", "NGK", "Mann", "Bosch", "Ate"}));
        click(Form2->RadioButton9); // the stored date, in time order
        QCOMPARE(archive()->SQL().line(3), QStringLiteral("ORDER BY Date DESC"));
        QCOMPARE(column(QStringLiteral("Дата")).mid(3), QStringList({"23.05.2011", "02.01.2011", "31.12.2010"}));
        click(Form2->RadioButton6);
        QCOMPARE(archive()->SQL().line(3), QStringLiteral("ORDER BY idCust DESC"));
        QCOMPARE(column(QStringLiteral("Артикул")).first(), QStringLiteral("F-6"));
        click(Form2->CheckBox1);
        click(Form2->RadioButton7);
        QCOMPARE(archive()->SQL().line(3), QStringLiteral("ORDER BY Firm ASC"));
        QCOMPARE(column(QStringLiteral("фирма")).first(), QStringLiteral("Ate"));
        QVERIFY(boxes().boxes().isEmpty());
    }

    void everyKeyBothWaysAsTheStoreSortsWithinTheLastSearch() {
        // Stored last and dated inside the period, so the date order is not the
        // order of storing; within the period every key is distinct.
        session->stores.addArchived(6, QStringLiteral("Febi"), QStringLiteral("F-6"), QStringLiteral("Ремень"), 1, 1200,
                                    QStringLiteral("2011-03-10"));
        const QDate from(2010, 12, 31), to(2011, 5, 24);
        period(from, to);
        const QStringList searched = {QLocale().toString(from, QLocale::ShortFormat),
                                      QLocale().toString(to, QLocale::ShortFormat)};
        // Picked afterwards without Поиск: no sort below may use these.
        Form2->DateTimePicker1->setDate(QDate(2011, 5, 23));
        Form2->DateTimePicker2->setDate(QDate(2011, 12, 31));

        struct Key {
            QRadioButton *button;
            QString ascending, descending;
        };
        const Key table[] = {{Form2->RadioButton6, "ORDER BY idCust ASC", "ORDER BY idCust DESC"},
                             {Form2->RadioButton7, "ORDER BY Firm ASC", "ORDER BY firm DESC"},
                             {Form2->RadioButton8, "ORDER BY cena ASC", "ORDER BY cena DESC"},
                             {Form2->RadioButton9, "ORDER BY Date ASC", "ORDER BY Date DESC"}};
        QSet<QString> orders;
        for (bool descending : {false, true}) {
            if (Form2->CheckBox1->isChecked() != descending)
                click(Form2->CheckBox1);
            for (const Key &key : table) {
                click(key.button);
                const QString order = descending ? key.descending : key.ascending;
                const QStringList expected = session->stores.column(
                    QStringLiteral("select number from orderAll where Date between ? and ? ") + order, {from, to});
                QStringList shown;
                for (int row = 0; row < Form2->DBGrid2->model()->rowCount(); ++row)
                    shown.append(Form2->DBGrid2->model()->index(row, 1).data().toString().trimmed());
                // The rows first, in the query and in the grid, then the statement and the period.
                const QStringList got = {column(QStringLiteral("Артикул")).join(' '), shown.join(' '),
                                         archive()->SQL().line(3),
                                         archive()->Parameters().ParamByName(QStringLiteral("D1")).Value.toString(),
                                         archive()->Parameters().ParamByName(QStringLiteral("D2")).Value.toString()};
                QCOMPARE(got, (QStringList{expected.join(' '), expected.join(' '), order, searched[0], searched[1]}));
                orders.insert(expected.join(' '));
            }
        }
        QCOMPARE(orders.size(), 8); // each key and direction is told apart by the data
        QVERIFY(boxes().boxes().isEmpty());
    }

    void periodSearchAndWholePeriod_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    }
    void periodSearchAndWholePeriod() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        click(Form2->RadioButton8);
        const QVariant wholeTotal = periodTotal();
        // Run twice: the second run starts from a period already in force.
        for (int run = 0; run < 2; ++run) {
            period(QDate(2011, 1, 1), QDate(2011, 5, 24));
            for (TADOQuery *query : {archive(), total()}) {
                QCOMPARE(query->Parameters().Count(), 2);
                QCOMPARE(query->Parameters().Items(0).Name, QStringLiteral("D1"));
                QCOMPARE(query->Parameters().Items(1).Name, QStringLiteral("D2"));
                QCOMPARE(query->SQL().line(2), QStringLiteral("where [Date] between :D1 and :D2"));
            }
            QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"D-4", "B-2", "C-3"}));
            QCOMPARE(periodTotal().toDouble(), 3 * 75 + 900.5 + 4 * 2400.0);
        }
        QCOMPARE(Form6->Series1->Count(), 3);
        QCOMPARE(Form6->Series1->YValue(2), 4.0);

        // A sort inside the period keeps it, and the total does not move.
        click(Form2->CheckBox1);
        click(Form2->RadioButton9);
        QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"D-4", "C-3", "B-2"}));
        QCOMPARE(periodTotal().toDouble(), 3 * 75 + 900.5 + 4 * 2400.0);

        // One day: the line of that day with a time later than midnight is out.
        period(QDate(2011, 5, 24), QDate(2011, 5, 24));
        QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"D-4"}));

        // Start after end: nothing, in the grid, the chart and the total.
        period(QDate(2011, 6, 1), QDate(2011, 1, 1));
        QCOMPARE(archive()->RecordCount(), 0);
        QCOMPARE(Form6->Series1->Count(), 0);
        QCOMPARE(Form6->DBChart1->Legend()->visibleEntries(), 0);
        QVERIFY(periodTotal().isNull());

        // Pickers changed without Поиск change nothing; the whole period keeps the sort.
        Form2->DateTimePicker1->setDate(QDate(2000, 1, 1));
        click(Form2->BitBtn17);
        for (TADOQuery *query : {archive(), total()})
            QCOMPARE(query->Parameters().Count(), 0);
        QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"E-5", "D-4", "C-3", "B-2", "A-1"}));
        QCOMPARE(periodTotal(), wholeTotal);
        QVERIFY(boxes().boxes().isEmpty());
    }

    void aFailedStepLeavesWhatRanBefore() {
        period(QDate(2011, 1, 1), QDate(2011, 12, 31));
        session->stores.sql(QStringLiteral("alter table orderAll rename to orderGone"));
        click(Form2->RadioButton8);
        QCOMPARE(boxes().texts(QStringLiteral("error")).size(), 1);
        // Closed by the first step, it stays closed; the slots stay as written.
        QVERIFY(!archive()->Active());
        QCOMPARE(Form6->Series1->Count(), 0);
        QCOMPARE(Form2->DBGrid2->model()->rowCount(), 0);
        QCOMPARE(archive()->SQL().line(3), QStringLiteral("ORDER BY cena ASC"));
        QCOMPARE(archive()->Parameters().Count(), 2);

        session->stores.sql(QStringLiteral("alter table orderGone rename to orderAll"));
        click(Form2->CheckBox1);
        click(Form2->RadioButton8); // the failed period is still in force
        QCOMPARE(column(QStringLiteral("Артикул")), QStringList({"C-3", "B-2", "E-5", "D-4"}));
        QCOMPARE(Form2->DBGrid2->model()->rowCount(), 4);
    }

    void chartFollowsTheQueryWithoutReadingTheStore() {
        TBarSeries *series = Form6->Series1;
        QCOMPARE(series->Count(), 5);
        QCOMPARE(chartLabels(), column(QStringLiteral("Дата")));
        QCOMPARE(Form6->DBChart1->Legend()->entryText(0),
                 QStringLiteral("2  %1").arg(column(QStringLiteral("Дата")).first()));

        // A changed quantity posted through the grid's query redraws that bar;
        // the current row stays where it was.
        archive()->setRecNo(2);
        archive()->Edit();
        archive()->FieldByName(QStringLiteral("Количество"))->setAsString(QStringLiteral("11"));
        const int rebuilds = series->rebuilds();
        QCOMPARE(series->YValue(2), 4.0); // an edit not yet posted changes no bar
        archive()->Post();
        QCOMPARE(series->rebuilds(), rebuilds + 1);
        QCOMPARE(series->YValue(2), 11.0);
        QCOMPARE(archive()->RecNo(), 2);
        QCOMPARE(session->count(QStringLiteral("orderAll"), QStringLiteral("kol = 11")), 1);
        // The computed date cannot be edited.
        QVERIFY(!archive()->FieldByName(QStringLiteral("Дата"))->CanModify());

        // Showing the window reads nothing: a line stored meanwhile stays unseen.
        session->stores.addArchived(9, QStringLiteral("Zeta"), QStringLiteral("Z"), QString(), 1, 1,
                                    QStringLiteral("2012-01-01"));
        for (QAction *item : {Form2->N7, Form2->N17}) {
            int shownBars = -1;
            QVERIFY(whileModal(
                Form6, [item] { item->trigger(); },
                [&] {
                    shownBars = series->Count();
                    QVERIFY(Form6->showingModal());
                    click(Form6->BitBtn1);
                }));
            QCOMPARE(shownBars, 5);
            QVERIFY(!Form6->isVisible());
        }
        QCOMPARE(series->rebuilds(), rebuilds + 1);

        // Closing the query empties the chart; the whole period fills it again.
        archive()->Close();
        QCOMPARE(series->Count(), 0);
        click(Form2->BitBtn17);
        QCOMPARE(series->Count(), 6);
    }

    void pickersAndSortKeysByKeyboard() {
        Form2->activateWindow();
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeWindow() == Form2; }));
        QDateEdit *start = Form2->DateTimePicker1;
        start->setFocus(Qt::TabFocusReason); // as Tab enters it
        // Digits run from the day on to the month and the year; Left and Right
        // step between them (no further than the ends), Up and Down change one.
        Typing::type(QStringLiteral("23052011"));
        QCOMPARE(start->date(), QDate(2011, 5, 23));
        const struct {
            Qt::Key key;
            QDate date;
        } steps[] = {{Qt::Key_Left, {2011, 5, 23}},  {Qt::Key_Up, {2011, 6, 23}},    {Qt::Key_Left, {2011, 6, 23}},
                     {Qt::Key_Left, {2011, 6, 23}},  {Qt::Key_Down, {2011, 6, 22}},  {Qt::Key_Right, {2011, 6, 22}},
                     {Qt::Key_Right, {2011, 6, 22}}, {Qt::Key_Right, {2011, 6, 22}}, {Qt::Key_Up, {2012, 6, 22}}};
        for (const auto &step : steps) {
            press(step.key);
            QCOMPARE(start->date(), step.date);
        }
        // Alt+Down and F4 open the calendar: the next day picked there by Enter, then closed by Esc.
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_F4}) {
            press(key, key == Qt::Key_Down ? Qt::AltModifier : Qt::NoModifier);
            QVERIFY(QApplication::activePopupWidget());
            if (key == Qt::Key_Down)
                press(Qt::Key_Right);
            press(key == Qt::Key_Down ? Qt::Key_Return : Qt::Key_Escape);
            QVERIFY(!QApplication::activePopupWidget());
            QCOMPARE(focused(), start->objectName());
        }
        QCOMPARE(start->date(), QDate(2012, 6, 23));

        // With no key selected the first stands for them. Focus and the arrows
        // select nothing, Space does; then the selected key alone is the stop,
        // until the box clears every key again.
        for (int i = 0; i < 4; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("RadioButton6"));
        const QString firm = QStringLiteral("ORDER BY Firm ASC");
        const struct {
            Qt::Key key;
            const char *focus;
            QString order;
        } route[] = {{Qt::Key_Down, "RadioButton7", {}},     {Qt::Key_Space, "RadioButton7", firm},
                     {Qt::Key_Down, "RadioButton8", firm},   {Qt::Key_Up, "RadioButton7", firm},
                     {Qt::Key_Up, "RadioButton6", firm},     {Qt::Key_Up, "RadioButton6", firm},
                     {Qt::Key_Backtab, "BitBtn17", firm},    {Qt::Key_Tab, "RadioButton7", firm},
                     {Qt::Key_Tab, "CheckBox1", firm},       {Qt::Key_Space, "CheckBox1", firm},
                     {Qt::Key_Backtab, "RadioButton6", firm}};
        for (const auto &step : route) {
            press(step.key, step.key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(focused(), QLatin1String(step.focus));
            QCOMPARE(archive()->SQL().line(3), step.order);
        }
        QVERIFY(!Form2->RadioButton7->isChecked());
        QVERIFY(boxes().boxes().isEmpty());
    }

    void aNegativeQuantityIsABarBelowZero_data() {
        QTest::addColumn<int>("more");
        QTest::newRow("a box per bar") << 0;
        QTest::newRow("more bars than pixels") << 200;
    }
    void aNegativeQuantityIsABarBelowZero() {
        QFETCH(int, more);
        for (int i = 0; i < more; ++i)
            session->stores.addArchived(1, QStringLiteral("Febi"), QString::number(i), QString(), 1 + i % 5, 10,
                                        QStringLiteral("2012-02-01"));
        click(Form2->BitBtn17); // the whole period, read again
        // A part taken back, posted with a negative quantity through the archive.
        const int row = 1;
        archive()->setRecNo(row);
        archive()->Edit();
        archive()->FieldByName(QStringLiteral("Количество"))->setAsString(QStringLiteral("-3"));
        archive()->Post();
        TDBChart *chart = Form6->DBChart1;
        QCOMPARE(Form6->Series1->Count(), 5 + more);
        QCOMPARE(Form6->Series1->YValue(row), -3.0);
        QVERIFY(chart->yAxis->range().lower < -3);
        QVERIFY(chart->yAxis->range().upper > 6); // the highest quantity still fits

        // The bar's own colour fills its column (give or take a pixel) from zero
        // down to its value.
        const QImage picture = chart->toPixmap().toImage();
        const int x = qRound(chart->xAxis->coordToPixel(row));
        const int zero = qRound(chart->yAxis->coordToPixel(0)), bottom = qRound(chart->yAxis->coordToPixel(-3));
        QVERIFY(bottom - zero > 10);
        int red = 0;
        for (int column = x - 1; column <= x + 1; ++column) {
            int inColumn = 0;
            for (int y = zero + 2; y < bottom - 1; ++y) {
                const QColor pixel = picture.pixelColor(column, y);
                inColumn += pixel.red() > 150 && pixel.green() < 90 && pixel.blue() < 90;
            }
            red = std::max(red, inColumn);
        }
        QVERIFY2(red > (bottom - zero) * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(red).arg(bottom - zero)));
    }

    void exitButtonUnderTheCalendar() {
        // Covered by the calendar, it is still reached by Tab and the keyboard.
        Form2->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form2));
        Form2->CheckBox1->setFocus();
        QTest::keyClick(Form2->CheckBox1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form2->Button6));
        QVERIFY(endsTheProgram([] { QTest::keyClick(Form2->Button6, Qt::Key_Space); }));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestArchivePage test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_archivepage.moc"
