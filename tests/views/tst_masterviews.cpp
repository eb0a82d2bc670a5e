// Master and detail seen through their views: moving the master writes the
// detail row being edited first and stays put when the store refuses it; a label
// over an empty detail is empty and shows the number again with the next owner;
// views bound to a data source follow it when it is pointed at another dataset.
#include "data/views/TDBEdit.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"
#include "data/views/ViewFactory.h"
#include "tests/views/ViewsKit.h"

#include <QAbstractItemModelTester>
#include <QToolButton>
#include <functional>
#include <memory>

using namespace ViewsKit;

class TestMasterViews : public QObject, public BenchHolder {
    Q_OBJECT

private slots:
    void initTestCase() { russianLocale(); }

    void init() { startBench(); }

    void cleanup() { stopBench(); }

    void movingTheMasterWritesTheDetailRowFirst() {
        auto *customers = Views::grid(window, "DBGrid5", "DataSource8", {"Name", "Lmane", "Phone", "Phone2"}, true,
                                      QRect(10, 10, 480, 200));
        auto *lines = Views::grid(window, "DBGrid6", "DataSource5", {"Firm", "number", "description", "Kol", "cena"},
                                  true, QRect(10, 220, 640, 200));
        QVERIFY(window->showActive());
        // The store refuses a line without a maker.
        shop->stores.refuse(QStringLiteral("orderNow_firm"), QStringLiteral("update"), QStringLiteral("orderNow"),
                            QStringLiteral("maker required"), QStringLiteral("NEW.Firm = 'NONE'"));

        QVERIFY(focus(lines));
        type("Hengst");
        QVERIFY(focus(customers)); // the typed cell goes into the field, the row stays edited
        QCOMPARE(module->ADOTable2->State(), DataSetState::Edit);
        QCOMPARE(shop->count("orderNow", "Firm = 'Hengst'"), 0);
        press(Qt::Key_Down);
        QCOMPARE(shop->count("orderNow", QStringLiteral("Firm = 'Hengst' and idcust = %1").arg(shop->ivanov)), 1);
        QCOMPARE(module->ADOTable3->RecNo(), 1);
        QCOMPARE(lines->model()->rowCount(), 1);
        QCOMPARE(lines->model()->index(0, 0).data().toString(), QStringLiteral("TRW"));

        // Refused: the error box, the master stays, the detail keeps what was typed.
        QVERIFY(focus(lines));
        type("NONE");
        QVERIFY(focus(customers));
        press(Qt::Key_Down);
        QCOMPARE(msgs().texts("error").size(), 1);
        QVERIFY2(msgs().texts("error").first().contains("maker required"), qPrintable(msgs().texts("error").first()));
        QCOMPARE(module->ADOTable3->RecNo(), 1);
        QCOMPARE(customers->currentIndex().row(), 1);
        QCOMPARE(QApplication::focusWidget(), customers);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Edit);
        QCOMPARE(lines->model()->index(0, 0).data().toString(), QStringLiteral("NONE"));
        QCOMPARE(shop->count("orderNow", "Firm = 'TRW'"), 1);

        // A click on another customer is refused the same way.
        const QRect third = customers->visualRect(customers->model()->index(2, 0));
        QTest::mouseClick(customers->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
        QCOMPARE(msgs().texts("error").size(), 2);
        QCOMPARE(module->ADOTable3->RecNo(), 1);

        // Cancelled in the detail, the master moves again.
        QVERIFY(focus(lines));
        press(Qt::Key_Escape);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        QVERIFY(focus(customers));
        press(Qt::Key_Down);
        QCOMPARE(module->ADOTable3->RecNo(), 2);
        QVERIFY(module->ADOTable2->IsEmpty());
        QCOMPARE(msgs().texts("error").size(), 2);
    }

    void aRefusedValueInADetailFieldKeepsTheMasterWithOneBox() {
        auto *customers = Views::grid(window, "DBGrid5", "DataSource8", {"Name", "Lmane", "Phone", "Phone2"}, true,
                                      QRect(10, 10, 480, 200));
        auto *quantity = Views::edit(window, "Kol", "DataSource5", "Kol", QRect(10, 220, 100, 22));
        QVERIFY(window->showActive());
        QVERIFY(focus(quantity));
        type("1");                                // starts the edit of the current line
        quantity->setText(QStringLiteral("abc")); // as pasted: refused only when written
        const QRect second = customers->visualRect(customers->model()->index(1, 0));
        QTest::mouseClick(customers->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        QCOMPARE(msgs().texts(QStringLiteral("error")),
                 QStringList{QStringLiteral("'abc' is not a valid integer value for field 'kol'")});
        QCOMPARE(module->ADOTable3->RecNo(), 0);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(quantity));
    }

    void aNewDetailRowLeftUntouchedIsNeverWritten() {
        auto *customers =
            Views::grid(window, "DBGrid5", "DataSource8", {"Name", "Lmane"}, true, QRect(10, 10, 480, 200));
        auto *lines = Views::grid(window, "DBGrid6", "DataSource5", {"Firm", "number"}, true, QRect(10, 220, 640, 200));
        QVERIFY(window->showActive());
        QVERIFY(focus(lines));
        press(Qt::Key_Insert);
        QCOMPARE(module->ADOTable2->FieldByName("idcust")->AsInteger(), shop->ivanov);
        lines->setOptions(TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgCancelOnExit));
        QVERIFY(focus(customers));
        QCOMPARE(module->ADOTable2->State(), DataSetState::Insert); // kept on leaving
        press(Qt::Key_Down);                                        // the master's move cancels it: nothing was typed
        QCOMPARE(module->ADOTable3->RecNo(), 1);
        QCOMPARE(shop->count("orderNow"), 3);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void labelOverAnEmptyDetail() {
        // The delete dialog's label shows the owner of the current car.
        auto *owner = Views::label(window, "DBText1", "DataSource2", "IdCust", QRect(10, 10, 80, 17));
        auto *number = Views::label(window, "Number", "DataSource1", "Номер", QRect(100, 10, 80, 17));
        auto *customers =
            Views::grid(window, "DBGrid1", "DataSource1", {"Имя", "Фамилия"}, false, QRect(10, 40, 400, 200));
        QVERIFY(window->showActive());
        QCOMPARE(owner->Text(), QString::number(shop->ivanov));
        QVERIFY(focus(customers));
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(number->Text(), QString::number(shop->sidorov));
        QCOMPARE(owner->Text(), QString()); // no car, no owner
        press(Qt::Key_Up);
        QCOMPARE(owner->Text(), QString::number(shop->petrov));

        // Nobody found: both empty; found again: both back.
        module->ADOQuery1->SQL().setLine(2, "where Name='Nobody'");
        module->ADOQuery1->Open();
        QCOMPARE(number->Text(), QString());
        QCOMPARE(owner->Text(), QString());
        module->ADOQuery1->SQL().setLine(2, " ");
        module->ADOQuery1->Open();
        QCOMPARE(number->Text(), QString::number(shop->ivanov));
        QCOMPARE(owner->Text(), QString::number(shop->ivanov));

        // A null value, a missing field and an unbound label are empty too.
        shop->stores.carSql("update drevalonParadox set IdCust = null where Model = 'Kia Rio'");
        module->Table1->setMasterFields(QString()); // every car, whoever owns it
        module->Table1->Refresh();
        module->Table1->First();
        while (!module->Table1->Eof() && module->Table1->FieldByName("Model")->AsString() != "Kia Rio")
            module->Table1->Next();
        QCOMPARE(module->Table1->FieldByName("Model")->AsString(), QStringLiteral("Kia Rio"));
        QCOMPARE(owner->Text(), QString());
        auto *missing = Views::label(window, "Missing", "DataSource2", "Nope", QRect(10, 300, 80, 17));
        QCOMPARE(missing->Text(), QString());
        owner->setDataSource(nullptr);
        QCOMPARE(owner->Text(), QString());
    }

    void gridModelsKeepTheModelContract() {
        // Every change a grid's model announces is checked as it happens: a
        // master grid, and two details that follow it (one on each store).
        auto *customers =
            Views::grid(window, "DBGrid1", "DataSource1", {"Имя", "Фамилия"}, true, QRect(10, 10, 400, 200));
        auto *cars = Views::grid(window, "DBGrid3", "DataSource2", {"Model", "Vin"}, true, QRect(10, 220, 400, 120));
        auto *archive = Views::grid(window, "DBGrid4", "DataSource3", {}, false, QRect(10, 350, 600, 120));
        std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
        for (TDBGrid *grid : {customers, cars, archive})
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest));
        QVERIFY(window->showActive());
        TADOQuery *query = module->ADOQuery1;
        TTable *carTable = module->Table1;
        auto reopen = [query](const char *line) {
            query->SQL().setLine(2, line);
            query->Open();
        };
        auto post = [](TDataSet *ds, const char *field, const char *value, const char *field2, const char *value2) {
            ds->Append();
            ds->FieldByName(field)->setAsString(value);
            ds->FieldByName(field2)->setAsString(value2);
            ds->Post();
        };
        const struct {
            const char *step;
            std::function<void()> act;
            int customers, cars, archived;
        } steps[] = {
            {"opened", [] {}, 3, 1, 1},
            {"master moves", [&] { query->Next(); }, 3, 2, 0},
            {"master moves to the end", [&] { query->Last(); }, 3, 0, 0},
            {"closed and opened", [&] { query->Close(), query->Open(); }, 3, 1, 1},
            {"sorted", [&] { reopen("order by Name desc"); }, 3, 0, 0},
            {"filtered", [&] { reopen("where Name='Petr'"); }, 1, 2, 0},
            {"filter gone", [&] { reopen(" "); }, 3, 1, 1},
            {"insert begun", [&] { query->Append(); }, 4, 0, 0},
            {"insert given up", [&] { query->Cancel(); }, 3, 1, 1},
            {"inserted", [&] { post(query, "Имя", "Olga", "Фамилия", "Orlova"); }, 4, 0, 0},
            {"detail inserted", [&] { post(carTable, "Model", "Lada Vesta", "Vin", "XTAGFK330LY000004"); }, 4, 1, 0},
            {"detail deleted", [&] { carTable->Delete(); }, 4, 0, 0},
            {"deleted", [&] { query->Delete(); }, 3, 0, 0},
        };
        for (const auto &step : steps) {
            step.act();
            const QList<int> rows = {customers->model()->rowCount(), cars->model()->rowCount(),
                                     archive->model()->rowCount()};
            QVERIFY2(rows == QList<int>({step.customers, step.cars, step.archived}), step.step);
        }
        QVERIFY(msgs().boxes().isEmpty());
    }

    void viewsFollowTheirDataSourceToAnotherDataset() {
        // The order page points DataSource5 at the archive statement and back.
        auto *lines = Views::grid(window, "DBGrid6", "DataSource5", {}, true, QRect(10, 10, 640, 200));
        QAbstractItemModelTester tester(lines->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto *nav =
            Views::navigator(window, "DBNavigator3", "DataSource5",
                             {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbLast,
                              NavigateBtn::nbInsert, NavigateBtn::nbDelete, NavigateBtn::nbPost},
                             QPoint(10, 220), 224);
        QVERIFY(window->showActive());
        QCOMPARE(lines->dataModel()->titleAt(1), QStringLiteral("Firm"));
        QCOMPARE(lines->model()->rowCount(), 2);
        QVERIFY(nav->button(NavigateBtn::nbNext)->isEnabled());

        module->DataSource5->setDataSet(module->ADOQuery5); // closed
        QCOMPARE(lines->model()->rowCount(), 0);
        QCOMPARE(lines->model()->columnCount(), 0);
        for (NavigateBtn kind : nav->VisibleButtons())
            QVERIFY(!nav->button(kind)->isEnabled());

        module->DataSource5->setDataSet(module->ADOQuery7); // open: the order total
        QCOMPARE(lines->model()->columnCount(), 1);
        QCOMPARE(lines->dataModel()->titleAt(0), QStringLiteral("Сумма заказа"));
        QCOMPARE(lines->model()->index(0, 0).data().toString(), QStringLiteral("4550"));

        module->DataSource5->setDataSet(module->ADOTable2);
        QCOMPARE(lines->model()->rowCount(), 2);
        QCOMPARE(lines->dataModel()->titleAt(1), QStringLiteral("Firm"));
        QVERIFY(nav->button(NavigateBtn::nbNext)->isEnabled());
        QVERIFY(nav->button(NavigateBtn::nbDelete)->isEnabled());
        QVERIFY(msgs().boxes().isEmpty());
    }
};

QTEST_MAIN(TestMasterViews)
#include "tst_masterviews.moc"
