// Deleting the current row from a grid (Ctrl+Delete) and from a navigator's
// button: one "Delete record?" per attempt, OK deletes the row from the store and
// makes the next one current, Cancel changes nothing and shows nothing more.
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "data/views/ViewFactory.h"
#include "tests/views/ViewsKit.h"

#include <QToolButton>
#include <memory>

using namespace ViewsKit;

class TestDeleting : public QObject, public BenchHolder {
    Q_OBJECT

    qint64 currentCustomer() const { return module->ADOQuery1->FieldByName("Номер")->AsInteger(); }

private slots:
    void initTestCase() { russianLocale(); }

    void init() { startBench(); }

    void cleanup() { stopBench(); }

    void ctrlDeleteInAGridWithoutEditing() {
        // The customer page's list has editing off; Ctrl+Delete still deletes.
        auto *grid = Views::grid(window, "DBGrid1", "DataSource1", {"Имя", "Фамилия", "телефон", "Доп.телефон"}, false,
                                 QRect(10, 10, 500, 200));
        QVERIFY(window->showActive());
        QVERIFY(focus(grid));
        press(Qt::Key_Down);
        QCOMPARE(currentCustomer(), shop->petrov);

        msgs().answer({false});
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(msgs().boxes().size(), 1);
        QCOMPARE(msgs().texts("confirmDelete"), QStringList{"Delete record?"});
        QCOMPARE(shop->count("customer"), 3);
        QCOMPARE(module->ADOQuery1->RecordCount(), 3);
        QCOMPARE(currentCustomer(), shop->petrov);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);

        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);
        QCOMPARE(shop->count("customer", QStringLiteral("idcust = %1").arg(shop->petrov)), 0);
        QCOMPARE(module->ADOQuery1->RecordCount(), 2);
        QCOMPARE(currentCustomer(), shop->sidorov); // the row after it
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(grid->model()->index(1, 1).data().toString().trimmed(), QStringLiteral("Sidorov"));

        // The last row deleted: the new last row is current.
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(currentCustomer(), shop->ivanov);
        QCOMPARE(module->ADOQuery1->RecordCount(), 1);
        // Delete alone is no delete.
        press(Qt::Key_Delete);
        QCOMPARE(msgs().texts("confirmDelete").size(), 3);
        QCOMPARE(shop->count("customer"), 1);
        QVERIFY(msgs().texts("error").isEmpty());
    }

    void ctrlDeleteOnAnEmptyDatasetOrWithoutConfirmation() {
        auto *cars = Views::grid(window, "DBGrid3", "DataSource2", {"Model", "Vin", "DVS", "KPP", "IdCust"}, false,
                                 QRect(10, 10, 500, 200));
        QVERIFY(window->showActive());
        module->ADOQuery1->Last(); // Sidorov: no cars
        QVERIFY(focus(cars));
        press(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(msgs().boxes().isEmpty()); // nothing to delete: not even the question

        module->ADOQuery1->First();
        cars->setOptions(TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgConfirmDelete));
        press(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(msgs().boxes().isEmpty());
        QCOMPARE(shop->cars(shop->ivanov), 0);
        QVERIFY(module->Table1->IsEmpty());
        QCOMPARE(cars->model()->rowCount(), 0);
    }

    void ctrlDeleteOfANewRowDiscardsIt() {
        auto *lines = Views::grid(window, "DBGrid6", "DataSource5", {"Firm", "number", "description", "Kol", "cena"},
                                  true, QRect(10, 10, 600, 200));
        QVERIFY(window->showActive());
        QVERIFY(focus(lines));
        press(Qt::Key_Insert);
        type("Fresh");
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(msgs().texts("confirmDelete").size(), 1);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        QCOMPARE(module->ADOTable2->RecordCount(), 2);
        QVERIFY(!lines->cellEditor());
        QCOMPARE(shop->count("orderNow"), 3);
        QCOMPARE(module->ADOTable2->FieldByName("Firm")->AsString(), QStringLiteral("Mann"));

        // A row being edited is deleted as it is in the store, not as typed.
        type("Changed");
        QCOMPARE(module->ADOTable2->State(), DataSetState::Edit);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);
        QCOMPARE(shop->count("orderNow", "Firm = 'Mann'"), 0);
        QCOMPARE(shop->count("orderNow", "Firm = 'Changed'"), 0);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        QCOMPARE(module->ADOTable2->FieldByName("Firm")->AsString(), QStringLiteral("Bosch"));
        QVERIFY(msgs().texts("error").isEmpty());
    }

    void aDeleteTheStoreRefusesLeavesTheRow() {
        auto *lines = Views::grid(window, "DBGrid6", "DataSource5", {"Firm", "number"}, true, QRect(10, 10, 600, 200));
        QVERIFY(window->showActive());
        shop->stores.refuse(QStringLiteral("orderNow_keep"), QStringLiteral("delete"), QStringLiteral("orderNow"),
                            QStringLiteral("lines are kept"));
        QVERIFY(focus(lines));
        press(Qt::Key_Down);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(msgs().texts("confirmDelete").size(), 1);
        QCOMPARE(msgs().texts("error").size(), 1);
        QVERIFY2(msgs().texts("error").first().contains("lines are kept"), qPrintable(msgs().texts("error").first()));
        QVERIFY(!msgs().texts("error").first().startsWith("ADOTable2:")); // the store's own text
        QCOMPARE(module->ADOTable2->RecordCount(), 2);
        QCOMPARE(module->ADOTable2->RecNo(), 1);
        QCOMPARE(lines->currentIndex().row(), 1);
        QCOMPARE(lines->model()->index(1, 0).data().toString(), QStringLiteral("Bosch"));
        QCOMPARE(QApplication::focusWidget(), lines);
        QCOMPARE(shop->count("orderNow"), 3);
    }

    void navigatorDeleteButton() {
        auto *nav =
            Views::navigator(window, "DBNavigator3", "DataSource5",
                             {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbLast,
                              NavigateBtn::nbInsert, NavigateBtn::nbDelete, NavigateBtn::nbPost},
                             QPoint(10, 10), 224);
        QVERIFY(window->showActive());
        QToolButton *del = nav->button(NavigateBtn::nbDelete);
        msgs().answer({false});
        QTest::mouseClick(del, Qt::LeftButton, Qt::NoModifier, del->rect().center());
        QCOMPARE(msgs().boxes().size(), 1);
        QCOMPARE(shop->count("orderNow"), 3);
        QCOMPARE(module->ADOTable2->RecordCount(), 2);

        QTest::mouseClick(del, Qt::LeftButton, Qt::NoModifier, del->rect().center());
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);
        QCOMPARE(shop->count("orderNow", "Firm = 'Mann'"), 0);
        QCOMPARE(module->ADOTable2->RecordCount(), 1);
        QTest::mouseClick(del, Qt::LeftButton, Qt::NoModifier, del->rect().center());
        QCOMPARE(msgs().texts("confirmDelete").size(), 3);
        QVERIFY(module->ADOTable2->IsEmpty());
        QVERIFY(!del->isEnabled());
        // A disabled button asks nothing.
        QTest::mouseClick(del, Qt::LeftButton, Qt::NoModifier, del->rect().center());
        QCOMPARE(msgs().boxes().size(), 3);
        QCOMPARE(shop->count("orderNow"), 1); // Petrov's line
        QVERIFY(msgs().texts("error").isEmpty());
    }
};

QTEST_MAIN(TestDeleting)
#include "tst_deleting.moc"
