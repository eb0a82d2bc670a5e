// The record navigator: which buttons are enabled through a walk of moves and
// edits, how the visible buttons share the bar, that it never takes the focus,
// and ActivateButton performing any kind's action, with its errors reaching the
// caller, on hidden buttons and on a hidden navigator alike.
#include "data/datasets/EDatabaseError.h"
#include "data/views/TDBEdit.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"
#include "data/views/ViewFactory.h"
#include "tests/support/Errors.h"
#include "tests/views/ViewsKit.h"

#include <QToolButton>
#include <functional>
#include <memory>

using namespace ViewsKit;
using K = NavigateBtn;

namespace {
const QList<K> allKinds = {K::nbFirst,  K::nbPrior, K::nbNext, K::nbLast,   K::nbInsert,
                           K::nbDelete, K::nbEdit,  K::nbPost, K::nbCancel, K::nbRefresh};

QString kindName(K kind) { return TDBNavigator::hintOf(kind); }

// The kinds whose buttons are enabled now.
QList<K> enabled(TDBNavigator *navigator) {
    QList<K> out;
    for (K kind : allKinds)
        if (navigator->button(kind)->isEnabled())
            out << kind;
    return out;
}

QString names(const QList<K> &kinds) {
    QStringList out;
    for (K kind : kinds)
        out << kindName(kind);
    return out.join(QStringLiteral(", "));
}

void click(TDBNavigator *navigator, K kind) {
    QToolButton *button = navigator->button(kind);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}
} // namespace

class TestNavigator : public QObject, public BenchHolder {
    Q_OBJECT

private slots:
    void initTestCase() { russianLocale(); }

    void init() { startBench(); }

    void cleanup() { stopBench(); }

    void enabledButtonsFollowTheDataset() {
        TDBNavigator *nav = Views::navigator(window, "Nav", "DataSource1", allKinds, QPoint(10, 10), 250);
        QVERIFY(window->showActive());
        const QList<K> moves = {K::nbFirst, K::nbPrior, K::nbNext, K::nbLast};
        const QList<K> browse = {K::nbInsert, K::nbDelete, K::nbEdit, K::nbRefresh};
        const QList<K> forward = {K::nbNext, K::nbLast};
        const QList<K> backward = {K::nbFirst, K::nbPrior};
        auto expect = [&](const QList<K> &want, const char *step) {
            const QList<K> now = enabled(nav);
            if (now != want)
                QFAIL(qPrintable(QStringLiteral("%1: enabled [%2], expected [%3]")
                                     .arg(QLatin1String(step), names(now), names(want))));
        };
        TDataSet *ds = module->ADOQuery1;

        expect(forward + browse, "opened");
        click(nav, K::nbNext);
        expect(moves + browse, "second row");
        click(nav, K::nbNext);
        QCOMPARE(ds->RecNo(), 2);
        expect(moves + browse, "last row reached by a step"); // the end is not known yet
        click(nav, K::nbNext);
        QCOMPARE(ds->RecNo(), 2);
        expect(backward + browse, "a step past the end");
        click(nav, K::nbPrior);
        click(nav, K::nbPrior);
        QCOMPARE(ds->RecNo(), 0);
        expect(moves + browse, "first row reached by a step");
        click(nav, K::nbPrior);
        QCOMPARE(ds->RecNo(), 0);
        expect(forward + browse, "a step before the beginning");
        click(nav, K::nbLast);
        QCOMPARE(ds->RecNo(), 2);
        expect(backward + browse, "last");
        click(nav, K::nbFirst);
        expect(forward + browse, "first");

        click(nav, K::nbEdit);
        QCOMPARE(ds->State(), DataSetState::Edit);
        expect(forward + QList<K>{K::nbInsert, K::nbDelete, K::nbPost, K::nbCancel, K::nbRefresh}, "editing");
        click(nav, K::nbCancel);
        QCOMPARE(ds->State(), DataSetState::Browse);
        expect(forward + browse, "cancelled");
        click(nav, K::nbInsert);
        QCOMPARE(ds->State(), DataSetState::Insert);
        QCOMPARE(ds->RecordCount(), 4);
        expect(moves + QList<K>{K::nbInsert, K::nbDelete, K::nbPost, K::nbCancel, K::nbRefresh}, "inserting");
        click(nav, K::nbCancel);
        QCOMPARE(ds->RecordCount(), 3);

        // Closed: nothing at all; disabled navigator: nothing either.
        ds->Close();
        expect({}, "closed");
        ds->Open();
        expect(forward + browse, "opened again");
        nav->setEnabled(false);
        expect({}, "navigator disabled");
        nav->setEnabled(true);
        expect(forward + browse, "navigator enabled again");

        // An empty dataset is at both ends and has nothing to delete.
        nav->setDataSourceName("DataSource2");
        module->ADOQuery1->Last(); // Sidorov has no car
        QVERIFY(module->Table1->IsEmpty());
        expect({K::nbInsert, K::nbEdit, K::nbRefresh}, "empty detail");
        QVERIFY(msgs().boxes().isEmpty());
    }

    void closedDatasetOrNoDataSourceDoesNothing() {
        TDBNavigator *nav = Views::navigator(window, "Nav", "DataSource5", allKinds, QPoint(10, 10), 250);
        module->ADOTable2->Close();
        for (K kind : allKinds)
            QCOMPARE(errorOf([&] { nav->ActivateButton(kind); }), noError);
        QVERIFY(!module->ADOTable2->Active());
        QVERIFY(msgs().boxes().isEmpty()); // not even the delete question

        auto *unbound = new TDBNavigator("Unbound", window);
        for (K kind : allKinds)
            QCOMPARE(errorOf([&] { unbound->ActivateButton(kind); }), noError);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void visibleButtonsShareTheWidth_data() {
        QTest::addColumn<QList<K>>("visible");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("each");
        QTest::newRow("customer page") << QList<K>{K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbRefresh} << 210
                                       << 42;
        QTest::newRow("archive page") << QList<K>{K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbEdit, K::nbPost}
                                      << 228 << 38;
        QTest::newRow("order page") << QList<K>{K::nbFirst,  K::nbPrior,  K::nbNext, K::nbLast,
                                                K::nbInsert, K::nbDelete, K::nbPost}
                                    << 224 << 32;
        QTest::newRow("delete dialog, customers")
            << QList<K>{K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbRefresh} << 225 << 45;
        QTest::newRow("delete dialog, cars") << QList<K>{K::nbPrior, K::nbNext, K::nbDelete} << 222 << 74;
        QTest::newRow("check dialog, given out of order")
            << QList<K>{K::nbRefresh, K::nbDelete, K::nbNext, K::nbPrior} << 216 << 54;
    }
    void visibleButtonsShareTheWidth() {
        QFETCH(QList<K>, visible);
        QFETCH(int, width);
        QFETCH(int, each);
        TDBNavigator *nav = Views::navigator(window, "Nav", "DataSource1", visible, QPoint(20, 30), width);
        QVERIFY(window->showActive());
        QCOMPARE(nav->geometry(), QRect(20, 30, width, 25));
        int x = 0;
        for (K kind : allKinds) { // left to right in the fixed order
            QToolButton *button = nav->button(kind);
            if (!visible.contains(kind)) {
                QVERIFY2(!button->isVisible(), qPrintable(kindName(kind)));
                continue;
            }
            QVERIFY2(button->isVisible(), qPrintable(kindName(kind)));
            QCOMPARE(button->geometry(), QRect(x, 0, each, 25));
            x += each;
        }
        QCOMPARE(x, width);
    }

    void neverTakesTheFocusAndShowsNoTooltips() {
        auto *first = Views::edit(window, "DBEdit1", "DataSource1", "Имя", QRect(10, 10, 120, 22));
        TDBNavigator *nav = Views::navigator(window, "Nav", "DataSource1", allKinds, QPoint(10, 40), 250);
        auto *second = Views::edit(window, "DBEdit2", "DataSource1", "Фамилия", QRect(10, 70, 120, 22));
        QVERIFY(window->showActive());
        QVERIFY(focus(first));
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        click(nav, K::nbNext);
        QCOMPARE(QApplication::focusWidget(), second);
        QCOMPARE(second->text().trimmed(), QStringLiteral("Petrov"));

        const QStringList hints = {"First record",  "Prior record", "Next record", "Last record", "Insert record",
                                   "Delete record", "Edit record",  "Post edit",   "Cancel edit", "Refresh data"};
        for (int i = 0; i < allKinds.size(); ++i) {
            QToolButton *button = nav->button(allKinds[i]);
            QCOMPARE(button->property("hint").toString(), hints[i]);
            QVERIFY(button->toolTip().isEmpty());
            QVERIFY(!button->icon().isNull());
        }
        QVERIFY(nav->toolTip().isEmpty());
    }

    void errorsOfTheActionReachTheCaller() {
        TDBNavigator *nav = Views::navigator(
            window, "DBNavigator3", "DataSource5",
            {K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbInsert, K::nbDelete, K::nbPost}, QPoint(10, 10), 224);
        QCOMPARE(errorOf([&] { nav->ActivateButton(K::nbPost); }),
                 QStringLiteral("ADOTable2: Dataset not in edit or insert mode"));
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        QCOMPARE(module->ADOTable2->RecordCount(), 2);
        QVERIFY(msgs().boxes().isEmpty()); // the caller decides what to show

        // Empty: the question comes first, the refusal after the answer.
        module->ADOTable3->Last();
        QVERIFY(module->ADOTable2->IsEmpty());
        QCOMPARE(errorOf([&] { nav->ActivateButton(K::nbDelete); }),
                 QStringLiteral("ADOTable2: Cannot perform this operation on an empty dataset"));
        QCOMPARE(msgs().texts("confirmDelete"), QStringList{"Delete record?"});
        msgs().answer({false});
        QCOMPARE(errorOf([&] { nav->ActivateButton(K::nbDelete); }), noError);
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);

        // Inserting: the new row goes, nothing is deleted.
        module->ADOTable3->First();
        nav->ActivateButton(K::nbInsert);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Insert);
        nav->ActivateButton(K::nbDelete);
        QCOMPARE(msgs().texts("confirmDelete").size(), 3);
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        QCOMPARE(module->ADOTable2->RecordCount(), 2);
        QCOMPARE(shop->count("orderNow"), 3);
        QVERIFY(msgs().texts("error").isEmpty());

        // The same post through a click shows the error box instead.
        nav->ActivateButton(K::nbInsert);
        module->ADOTable2->FieldByName("Firm")->setAsString("Sachs");
        click(nav, K::nbPost);
        QCOMPARE(shop->count("orderNow", QStringLiteral("Firm = 'Sachs' and idcust = %1").arg(shop->ivanov)), 1);
        QVERIFY(!nav->button(K::nbPost)->isEnabled());
        QVERIFY(msgs().texts("error").isEmpty());
    }

    void postAndEditThroughTheButtonsWriteWhatTheViewsHold() {
        TDBNavigator *nav =
            Views::navigator(window, "DBNavigator2", "DataSource4",
                             {K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbEdit, K::nbPost}, QPoint(10, 10), 228);
        auto *firm = Views::edit(window, "FirmEdit", "DataSource4", "фирма", QRect(10, 40, 120, 22));
        QVERIFY(window->showActive());
        QVERIFY(focus(firm));
        click(nav, K::nbEdit);
        QCOMPARE(module->ADOQuery2->State(), DataSetState::Edit);
        firm->selectAll();
        type("Denso");
        // The post takes the text the field holds although it never lost the focus.
        click(nav, K::nbPost);
        QCOMPARE(module->ADOQuery2->State(), DataSetState::Browse);
        QCOMPARE(shop->count("orderAll", "Firm = 'Denso'"), 1);
        QCOMPARE(QApplication::focusWidget(), firm);
        QVERIFY(msgs().boxes().isEmpty());

        // nbEdit on an empty dataset starts a new row instead.
        module->ADOQuery2->Close();
        module->ADOQuery2->SQL().setLine(2, "where idcust = -1");
        module->ADOQuery2->Open();
        QVERIFY(module->ADOQuery2->IsEmpty());
        nav->ActivateButton(K::nbEdit);
        QCOMPARE(module->ADOQuery2->State(), DataSetState::Insert);
        nav->ActivateButton(K::nbEdit); // already editing: nothing
        QCOMPARE(module->ADOQuery2->RecordCount(), 1);
        nav->ActivateButton(K::nbCancel);
        QVERIFY(module->ADOQuery2->IsEmpty());
    }

    void refreshFinishesTheEditAndRereads() {
        TDBNavigator *nav =
            Views::navigator(window, "DBNavigator1", "DataSource1",
                             {K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbRefresh}, QPoint(10, 10), 210);
        QVERIFY(window->showActive());
        click(nav, K::nbNext);
        shop->stores.sql("update customer set phone = '111' where idcust = ?", {shop->sidorov});
        module->ADOQuery1->Edit();
        module->ADOQuery1->FieldByName("Фамилия")->setAsString("Petrova");
        click(nav, K::nbRefresh);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);
        QCOMPARE(module->ADOQuery1->RecNo(), 1);
        QCOMPARE(shop->count("customer", "lmane = 'Petrova'"), 1);
        click(nav, K::nbNext);
        QCOMPARE(module->ADOQuery1->FieldByName("телефон")->AsString().trimmed(), QStringLiteral("111"));
        QVERIFY(msgs().boxes().isEmpty());

        // A row changed behind our back cannot be written: the error box, the edit stays.
        shop->stores.sql("update customer set phone = '222' where idcust = ?", {shop->sidorov});
        module->ADOQuery1->Edit();
        module->ADOQuery1->FieldByName("Фамилия")->setAsString("Sidorova");
        click(nav, K::nbRefresh);
        QCOMPARE(msgs().texts("error").size(), 1);
        QVERIFY(msgs().texts("error").first().startsWith("Row cannot be located for updating"));
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Edit);
        QCOMPARE(module->ADOQuery1->FieldByName("Фамилия")->AsString(), QStringLiteral("Sidorova"));
    }

    void hiddenKindsAndHiddenNavigatorsStillAct() {
        // The delete dialog's customer navigator has no delete button and is
        // never shown here; the dialog deletes through it all the same.
        TDBNavigator *customers =
            Views::navigator(window, "DBNavigator1", "DataSource1",
                             {K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbRefresh}, QPoint(10, 10), 225);
        customers->hide();
        QVERIFY(!customers->button(K::nbDelete)->isVisible());
        module->ADOQuery1->Next();
        msgs().answer({false});
        customers->ActivateButton(K::nbDelete);
        QCOMPARE(shop->count("customer"), 3);
        QCOMPARE(msgs().texts("confirmDelete"), QStringList{"Delete record?"});
        QCOMPARE(msgs().boxes().size(), 1);
        customers->ActivateButton(K::nbDelete);
        QCOMPARE(shop->count("customer"), 2);
        QCOMPARE(shop->count("customer", QStringLiteral("idcust = %1").arg(shop->petrov)), 0);
        QCOMPARE(module->ADOQuery1->FieldByName("Номер")->AsInteger(), shop->sidorov); // the row after it
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);

        // A disabled button acts too when activated.
        customers->ActivateButton(K::nbLast);
        QVERIFY(!customers->button(K::nbNext)->isEnabled());
        customers->ActivateButton(K::nbFirst);
        QCOMPARE(module->ADOQuery1->RecNo(), 0);

        // Without the question when ConfirmDelete is off.
        customers->setConfirmDelete(false);
        customers->ActivateButton(K::nbDelete);
        QCOMPARE(shop->count("customer"), 1);
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);
    }

    void carsDeletedOneByOneUntilTheLabelIsEmpty() {
        // The delete dialog: cars of the current customer, their navigator, the owner's number.
        TDBNavigator *cars = Views::navigator(window, "DBNavigator2", "DataSource2",
                                              {K::nbPrior, K::nbNext, K::nbDelete}, QPoint(10, 10), 222);
        TDBText *owner = Views::label(window, "DBText1", "DataSource2", "IdCust", QRect(10, 40, 60, 17));
        QVERIFY(window->showActive());
        module->ADOQuery1->Next(); // Petrov, two cars
        QCOMPARE(module->Table1->RecordCount(), 2);
        QCOMPARE(owner->Text(), QString::number(shop->petrov));
        QCOMPARE(module->Table1->FieldByName("Model")->AsString(), QStringLiteral("Kia Rio"));

        cars->ActivateButton(K::nbDelete);
        QCOMPARE(msgs().texts("confirmDelete").size(), 1);
        QCOMPARE(shop->cars(shop->petrov), 1);
        QCOMPARE(module->Table1->RecordCount(), 1);
        QCOMPARE(module->Table1->FieldByName("Model")->AsString(), QStringLiteral("Toyota Camry"));
        QCOMPARE(owner->Text(), QString::number(shop->petrov));

        cars->ActivateButton(K::nbDelete);
        QCOMPARE(msgs().texts("confirmDelete").size(), 2);
        QCOMPARE(shop->cars(shop->petrov), 0);
        QVERIFY(module->Table1->IsEmpty());
        QCOMPARE(owner->Text(), QString());
        QVERIFY(!cars->button(K::nbDelete)->isEnabled());
        QCOMPARE(shop->cars(shop->ivanov), 1); // another owner's car stays
        QVERIFY(msgs().texts("error").isEmpty());
    }

    void aDatasetThatCannotBeModifiedRefusesThroughEveryView() {
        TDBNavigator *nav = Views::navigator(window, "Nav", "DataSource2", allKinds, QPoint(10, 10), 250);
        auto *grid = Views::grid(window, "DBGrid3", "DataSource2", {"Model", "Vin"}, true, QRect(10, 40, 400, 150));
        auto *model = Views::edit(window, "DBEdit5", "DataSource2", "Model", QRect(10, 200, 200, 22));
        module->Table1->Close();
        module->Table1->setReadOnly(true);
        module->Table1->Open();
        QVERIFY(window->showActive());
        QCOMPARE(enabled(nav), (QList<K>{K::nbNext, K::nbLast}));
        QCOMPARE(errorOf([&] { nav->ActivateButton(K::nbInsert); }),
                 QStringLiteral("Table1: Cannot modify a read-only dataset"));
        QCOMPARE(errorOf([&] { nav->ActivateButton(K::nbEdit); }),
                 QStringLiteral("Table1: Cannot modify a read-only dataset"));
        QCOMPARE(errorOf([&] { nav->ActivateButton(K::nbDelete); }),
                 QStringLiteral("Table1: Cannot modify a read-only dataset"));
        QCOMPARE(msgs().texts("confirmDelete").size(), 1); // asked, then refused
        QCOMPARE(shop->cars(shop->ivanov), 1);

        QVERIFY(focus(grid));
        type("Niva");
        press(Qt::Key_F2);
        press(Qt::Key_Insert);
        press(Qt::Key_Down);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(!grid->cellEditor());
        QCOMPARE(module->Table1->State(), DataSetState::Browse);
        QCOMPARE(module->Table1->RecordCount(), 1);
        QCOMPARE(msgs().texts("confirmDelete").size(), 1);

        QVERIFY(model->isReadOnly());
        QVERIFY(focus(model));
        type("Niva");
        press(Qt::Key_Backspace);
        QCOMPARE(model->text(), QStringLiteral("Lada Granta"));
        QCOMPARE(module->Table1->State(), DataSetState::Browse);
        QVERIFY(msgs().texts("error").isEmpty());
    }

    void holdingNextRepeatsTheMove() {
        for (int i = 0; i < 5; ++i)
            shop->stores.addCustomer(QStringLiteral("C%1").arg(i), QStringLiteral("S%1").arg(i), QStringLiteral("1"));
        module->ADOQuery1->Close();
        module->ADOQuery1->Open();
        TDBNavigator *nav =
            Views::navigator(window, "DBNavigator1", "DataSource1",
                             {K::nbFirst, K::nbPrior, K::nbNext, K::nbLast, K::nbRefresh}, QPoint(10, 10), 210);
        QVERIFY(window->showActive());
        QToolButton *next = nav->button(K::nbNext);
        QTest::mousePress(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(module->ADOQuery1->Eof(), 10000);
        QTest::mouseRelease(next, Qt::LeftButton, Qt::NoModifier, next->rect().center());
        QCOMPARE(module->ADOQuery1->RecNo(), 7);
        QVERIFY(msgs().boxes().isEmpty());
    }
};

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
