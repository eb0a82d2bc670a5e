// The bound edit field and the bound label: what they show as the dataset moves,
// opens and closes; typing into the field starts an edit (an insert on an empty
// dataset), its length is the field's size, Esc restores, and leaving writes the
// text but keeps the focus when the text is no valid value.
#include "data/views/TDBEdit.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"
#include "data/views/ViewFactory.h"
#include "tests/views/ViewsKit.h"

#include <QClipboard>
#include <memory>

using namespace ViewsKit;

namespace {
QString padded(const QString &text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }
} // namespace

class TestEditField : public QObject, public BenchHolder {
    Q_OBJECT

    // The customer page's group "Изменение данных".
    QList<TDBEdit *> customerEdits; // DBEdit1..4 over DataSource1
    QList<TDBEdit *> carEdits;      // DBEdit5..8 over DataSource2

private slots:
    void initTestCase() { russianLocale(); }

    void init() {
        startBench();
        const QStringList customerFields = {"Имя", "Фамилия", "телефон", "Доп.телефон"};
        const QStringList carFields = {"Model", "Vin", "DVS", "KPP"};
        customerEdits.clear();
        carEdits.clear();
        for (int i = 0; i < 4; ++i) {
            customerEdits << Views::edit(window, QStringLiteral("DBEdit%1").arg(i + 1), "DataSource1",
                                         customerFields[i], QRect(10, 10 + 30 * i, 150, 22));
            carEdits << Views::edit(window, QStringLiteral("DBEdit%1").arg(i + 5), "DataSource2", carFields[i],
                                    QRect(200, 10 + 30 * i, 220, 22));
        }
        QVERIFY(window->showActive());
    }

    void cleanup() { stopBench(); }

    void showsTheCurrentRowAndFollowsIt() {
        QCOMPARE(customerEdits[0]->text(), padded("Ivan", 15));
        QCOMPARE(customerEdits[3]->text(), padded("", 11));
        QCOMPARE(carEdits[0]->text(), QStringLiteral("Lada Granta"));
        auto *grid = Views::grid(window, "DBGrid1", "DataSource1", {"Имя", "Фамилия"}, false, QRect(10, 300, 400, 150));
        grid->show();
        QVERIFY(focus(grid));
        press(Qt::Key_Down);
        QCOMPARE(customerEdits[1]->text(), padded("Petrov", 15));
        QCOMPARE(customerEdits[3]->text(), padded("4951234567", 11));
        QCOMPARE(carEdits[0]->text(), QStringLiteral("Kia Rio"));
        press(Qt::Key_Down); // Sidorov has no car: the car fields are empty
        QCOMPARE(customerEdits[0]->text(), padded("Sidor", 15));
        for (TDBEdit *edit : carEdits)
            QCOMPARE(edit->text(), QString());

        module->ADOQuery1->Close();
        for (TDBEdit *edit : customerEdits)
            QCOMPARE(edit->text(), QString());
        // The cars no longer follow a customer: every car shows, from the first.
        QCOMPARE(module->Table1->RecordCount(), 3);
        QCOMPARE(carEdits[0]->text(), QStringLiteral("Lada Granta"));
        module->Table1->Close();
        for (TDBEdit *edit : carEdits)
            QCOMPARE(edit->text(), QString());
        module->Table1->Open();
        module->ADOQuery1->Open();
        QCOMPARE(customerEdits[0]->text(), padded("Ivan", 15));
        QCOMPARE(carEdits[0]->text(), QStringLiteral("Lada Granta"));

        // A field the dataset does not have: always empty, never editable.
        auto *missing = Views::edit(window, "Missing", "DataSource1", "Nope", QRect(10, 460, 100, 22));
        QCOMPARE(missing->text(), QString());
        QVERIFY(missing->isReadOnly());
    }

    void maximumLengthIsTheFieldSize() {
        const QList<int> sizes = {15, 15, 11, 11, 30, 17, 10, 4};
        const QList<TDBEdit *> all = customerEdits + carEdits;
        for (int i = 0; i < all.size(); ++i)
            QCOMPARE(all[i]->maxLength(), sizes[i]);
        auto *kol = Views::edit(window, "Kol", "DataSource5", "kol", QRect(10, 460, 100, 22));
        QCOMPARE(kol->maxLength(), 32767); // numbers: unlimited

        QVERIFY(focus(carEdits[3]));
        carEdits[3]->selectAll();
        type("ABCDEF");
        QCOMPARE(carEdits[3]->text(), QStringLiteral("ABCD"));
        QVERIFY(focus(window->elsewhere));
        QCOMPARE(module->Table1->FieldByName("KPP")->AsString(), QStringLiteral("ABCD"));
        QCOMPARE(module->Table1->State(), DataSetState::Edit);
        module->Table1->Post();
        QCOMPARE(shop->stores.carScalar("select KPP from drevalonParadox where Model = 'Lada Granta'").toString(),
                 QStringLiteral("ABCD"));
        QVERIFY(msgs().boxes().isEmpty());
    }

    void typingEditsLeavingWritesTheField() {
        TDBEdit *model = carEdits[0];
        QVERIFY(focus(model));
        QVERIFY(!model->isReadOnly());
        QCOMPARE(module->Table1->State(), DataSetState::Browse);
        press(Qt::Key_End);
        QCOMPARE(module->Table1->State(), DataSetState::Browse); // moving the cursor is no change
        press(Qt::Key_Backspace);
        QCOMPARE(module->Table1->State(), DataSetState::Edit);
        type("a 2");
        QCOMPARE(model->text(), QStringLiteral("Lada Granta 2"));
        QCOMPARE(module->Table1->FieldByName("Model")->AsString(), QStringLiteral("Lada Granta")); // not yet

        QVERIFY(focus(carEdits[1]));
        QCOMPARE(module->Table1->FieldByName("Model")->AsString(), QStringLiteral("Lada Granta 2"));
        QCOMPARE(module->Table1->State(), DataSetState::Edit); // the row stays in edit
        QCOMPARE(shop->stores.carScalar("select count(*) from drevalonParadox where Model = 'Lada Granta 2'").toInt(),
                 0);

        // Posting through the navigator writes it to the store.
        auto *nav = Views::navigator(window, "Nav", "DataSource2", {NavigateBtn::nbPost}, QPoint(10, 300), 30);
        nav->ActivateButton(NavigateBtn::nbPost);
        QCOMPARE(shop->stores.carScalar("select count(*) from drevalonParadox where Model = 'Lada Granta 2'").toInt(),
                 1);
        QCOMPARE(module->Table1->State(), DataSetState::Browse);

        // Delete, Ctrl+X and Ctrl+V change the text too: each starts the edit.
        QVERIFY(focus(customerEdits[0]));
        press(Qt::Key_Home);
        press(Qt::Key_Delete);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Edit);
        module->ADOQuery1->Cancel();
        customerEdits[0]->selectAll();
        press(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Edit);
        QCOMPARE(customerEdits[0]->text(), QString());
        module->ADOQuery1->Cancel();
        QApplication::clipboard()->setText("Olga");
        customerEdits[0]->selectAll();
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Edit);
        QCOMPARE(customerEdits[0]->text(), QStringLiteral("Olga"));
        QVERIFY(msgs().boxes().isEmpty());
    }

    void typingIntoAnEmptyDatasetInserts() {
        module->ADOQuery1->Last(); // Sidorov, no cars
        QVERIFY(module->Table1->IsEmpty());
        QVERIFY(focus(carEdits[0]));
        type("UAZ");
        QCOMPARE(module->Table1->State(), DataSetState::Insert);
        QCOMPARE(module->Table1->FieldByName("IdCust")->AsInteger(), shop->sidorov);
        QCOMPARE(carEdits[0]->text(), QStringLiteral("UAZ"));
        QVERIFY(focus(carEdits[1]));
        type("VIN1");
        QVERIFY(focus(window->elsewhere));
        QCOMPARE(module->Table1->State(), DataSetState::Insert);
        module->Table1->Post();
        QCOMPARE(shop->cars(shop->sidorov), 1);
        QCOMPARE(shop->stores.carScalar("select Vin from drevalonParadox where IdCust = ?", {shop->sidorov}).toString(),
                 QStringLiteral("VIN1"));
        QVERIFY(msgs().boxes().isEmpty());
    }

    void escapeRestoresAndSelectsAll() {
        TDBEdit *vin = carEdits[1];
        QVERIFY(focus(vin));
        vin->selectAll();
        type("WRONG");
        QCOMPARE(vin->text(), QStringLiteral("WRONG"));
        press(Qt::Key_Escape);
        QCOMPARE(vin->text(), QStringLiteral("XTA219000K0000001"));
        QCOMPARE(vin->selectedText(), vin->text());
        // Leaving now writes nothing new.
        QVERIFY(focus(window->elsewhere));
        QCOMPARE(module->Table1->FieldByName("Vin")->AsString(), QStringLiteral("XTA219000K0000001"));
        QVERIFY(!module->Table1->Modified());
    }

    void readOnlyFieldsRefuseEveryKey() {
        auto *number = Views::edit(window, "Number", "DataSource1", "Номер", QRect(10, 460, 100, 22));
        number->show();
        QVERIFY(number->isReadOnly());
        QCOMPARE(number->text(), QString::number(shop->ivanov));
        QVERIFY(focus(number));
        type("9");
        press(Qt::Key_Backspace);
        press(Qt::Key_Delete);
        QCOMPARE(number->text(), QString::number(shop->ivanov));
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);
    }

    void refusedCharactersAreDropped() {
        auto *kol = Views::edit(window, "Kol", "DataSource5", "kol", QRect(10, 460, 100, 22));
        auto *cena = Views::edit(window, "Cena", "DataSource5", "cena", QRect(120, 460, 100, 22));
        kol->show();
        cena->show();
        QVERIFY(focus(kol));
        press(Qt::Key_End);
        type("x");
        QCOMPARE(kol->text(), QStringLiteral("2"));
        QCOMPARE(module->ADOTable2->State(), DataSetState::Browse);
        type("0");
        QCOMPARE(kol->text(), QStringLiteral("20"));
        QVERIFY(focus(cena));
        cena->selectAll();
        type("2.5e1"); // either separator key gives the locale's decimal point
        QCOMPARE(cena->text(), QStringLiteral("2,5e1"));
        QVERIFY(focus(window->elsewhere));
        QCOMPARE(module->ADOTable2->FieldByName("kol")->AsInteger(), 20);
        QCOMPARE(module->ADOTable2->FieldByName("cena")->AsFloat(), 25.0);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void anInvalidValueKeepsTheFocus() {
        auto *kol = Views::edit(window, "Kol", "DataSource5", "kol", QRect(10, 460, 100, 22));
        kol->show();
        QVERIFY(focus(kol));
        QApplication::clipboard()->setText("abc");
        kol->selectAll();
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(kol->text(), QStringLiteral("abc"));
        QCOMPARE(module->ADOTable2->State(), DataSetState::Edit);

        window->elsewhere->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), kol);
        QCOMPARE(msgs().texts("error"), QStringList{"'abc' is not a valid integer value for field 'kol'"});
        QCOMPARE(kol->selectedText(), QStringLiteral("abc"));
        QCOMPARE(module->ADOTable2->FieldByName("kol")->AsInteger(), 2); // unchanged
        QCOMPARE(module->ADOTable2->State(), DataSetState::Edit);

        // Another window taking the focus is no leaving: nothing is written or shown.
        QWidget other;
        other.resize(200, 100);
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(msgs().texts("error").size(), 1);
        QVERIFY(window->showActive());
        QTRY_COMPARE(QApplication::focusWidget(), kol);
        QCOMPARE(msgs().texts("error").size(), 1);

        // Emptied, the text stores null; the posted row holds it.
        kol->selectAll();
        press(Qt::Key_Delete);
        QVERIFY(focus(window->elsewhere));
        QVERIFY(module->ADOTable2->FieldByName("kol")->IsNull());
        module->ADOTable2->Post();
        QCOMPARE(shop->count("orderNow", "Firm = 'Mann' and kol is null"), 1);
        QCOMPARE(msgs().texts("error").size(), 1);
    }

    void changesFromTheContextMenuGoThroughTheEdit() {
        // What the context menu's Paste and Cut do: the dataset edits, and
        // leaving the field writes the text.
        QVERIFY(focus(customerEdits[1]));
        QApplication::clipboard()->setText(QStringLiteral("Smirnov"));
        customerEdits[1]->selectAll();
        customerEdits[1]->paste();
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Edit);
        QCOMPARE(customerEdits[1]->text(), QStringLiteral("Smirnov"));
        QVERIFY(focus(customerEdits[0]));
        customerEdits[0]->selectAll();
        customerEdits[0]->cut();
        QVERIFY(focus(window->elsewhere));
        module->ADOQuery1->Post();
        QCOMPARE(shop->count("customer", "lmane = 'Smirnov' and Name is null"), 1);

        // A long value shows its beginning whenever a row is shown.
        auto *narrow = Views::edit(window, "Narrow", "DataSource2", "Vin", QRect(10, 500, 60, 22));
        narrow->show();
        module->Table1->Next();
        module->Table1->Prior();
        QCOMPARE(narrow->cursorPosition(), 0);
    }

    void viewsOfOneSourceShareTheEdit() {
        // Typed into the edit field, seen at once in the grid's cell and the label.
        auto *grid = Views::grid(window, "DBGrid1", "DataSource1", {"Имя", "Фамилия"}, true, QRect(10, 300, 400, 150));
        auto *label = Views::label(window, "Label", "DataSource1", "Фамилия", QRect(10, 460, 150, 17));
        grid->show();
        label->show();
        QVERIFY(focus(customerEdits[1]));
        customerEdits[1]->selectAll();
        type("Smith");
        QVERIFY(focus(grid)); // leaving writes the field
        QCOMPARE(label->Text(), QStringLiteral("Smith"));
        QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("Smith"));
        // Leaving the row through the grid posts it.
        press(Qt::Key_Down);
        QCOMPARE(shop->count("customer", "lmane = 'Smith'"), 1);
        QCOMPARE(customerEdits[1]->text(), padded("Petrov", 15));
        QCOMPARE(label->Text(), padded("Petrov", 15));
        QVERIFY(msgs().boxes().isEmpty());
    }
};

QTEST_MAIN(TestEditField)
#include "tst_editfield.moc"
