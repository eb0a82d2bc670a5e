// The grid's columns: named columns found whatever their letter case and titled
// with the field's own spelling, a missing column empty under its name, columns
// of every field rebuilt each time the dataset opens, widths never narrower than
// the title; and views placed before the data module exists binding once it does.
#include "data/views/TDBEdit.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"
#include "data/views/ViewFactory.h"
#include "tests/views/ViewsKit.h"

#include <QHeaderView>
#include <QToolButton>
#include <memory>

using namespace ViewsKit;

namespace {
QStringList titles(TDBGrid *grid) {
    QStringList out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return out;
}

QStringList column(TDBGrid *grid, int c) {
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, c).data().toString().trimmed();
    return out;
}
} // namespace

class TestGridColumns : public QObject {
    Q_OBJECT

    std::unique_ptr<Shop> shop;
    std::unique_ptr<ScriptedMessagesGuard> messages;
    std::unique_ptr<TDataModule3> module;
    std::unique_ptr<Binding> binding;
    std::unique_ptr<Window> window;

    ScriptedMessages &msgs() const { return **messages; }

    void openModule() {
        module = std::make_unique<TDataModule3>(shop->stores.settings());
        binding = std::make_unique<Binding>(*module);
    }

private slots:
    void initTestCase() { russianLocale(); }

    void init() {
        shop = std::make_unique<Shop>();
        messages = std::make_unique<ScriptedMessagesGuard>();
        window = std::make_unique<Window>();
    }

    void cleanup() {
        window.reset();
        binding.reset();
        module.reset();
        ViewBinding::uninstall();
        messages.reset();
        shop.reset();
    }

    void namedColumnsIgnoreLetterCase() {
        openModule();
        auto *customers = Views::grid(window.get(), "DBGrid5", "DataSource8", {"Name", "Lmane", "Phone", "Phone2"},
                                      true, QRect(10, 10, 600, 200));
        QVERIFY(window->showActive());
        QCOMPARE(titles(customers), (QStringList{"Name", "lmane", "phone", "phone2"}));
        QCOMPARE(column(customers, 1), (QStringList{"Ivanov", "Petrov", "Sidorov"}));
        QCOMPARE(column(customers, 3), (QStringList{"", "4951234567", ""}));
        QCOMPARE(customers->Columns(), (QStringList{"Name", "Lmane", "Phone", "Phone2"}));

        // Typed into Lmane, written to the store's lmane.
        QVERIFY(focus(customers));
        press(Qt::Key_Right);
        type("Ivanova");
        press(Qt::Key_Down);
        QCOMPARE(shop->count("customer", QStringLiteral("lmane = 'Ivanova' and idcust = %1").arg(shop->ivanov)), 1);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void aMissingColumnStaysEmptyUnderItsName() {
        openModule();
        auto *cars = Views::grid(window.get(), "DBGrid3", "DataSource2", {"Model", "Colour", "Vin"}, true,
                                 QRect(10, 10, 600, 200));
        QVERIFY(window->showActive());
        QCOMPARE(titles(cars), (QStringList{"Model", "Colour", "Vin"}));
        QCOMPARE(column(cars, 0), QStringList{"Lada Granta"});
        QCOMPARE(column(cars, 1), QStringList{""});
        QCOMPARE(column(cars, 2), QStringList{"XTA219000K0000001"});
        const QFontMetrics header(cars->horizontalHeader()->font());
        QVERIFY(cars->columnWidth(1) >= header.horizontalAdvance("Colour"));

        QVERIFY(focus(cars));
        press(Qt::Key_Right);
        type("red");
        press(Qt::Key_F2);
        QVERIFY(!cars->cellEditor());
        QCOMPARE(module->Table1->State(), DataSetState::Browse);

        // Closed: no rows, the names stay as titles.
        module->Table1->Close();
        QCOMPARE(cars->model()->rowCount(), 0);
        QCOMPARE(titles(cars), (QStringList{"Model", "Colour", "Vin"}));
        module->Table1->Open();
        QCOMPARE(column(cars, 0), QStringList{"Lada Granta"});
    }

    void columnsOfEveryFieldFollowEachOpening() {
        openModule();
        auto *grid = Views::grid(window.get(), "Any", "DataSource5", {}, true, QRect(10, 10, 600, 200));
        QVERIFY(window->showActive());
        QCOMPARE(titles(grid), (QStringList{"idcust", "Firm", "number", "description", "kol", "cena", "station"}));
        module->DataSource5->setDataSet(module->ADOQuery5);
        QCOMPARE(titles(grid), QStringList());
        module->ADOQuery5->SQL().setLines({"select Name as [Имя], phone from customer"});
        module->ADOQuery5->Open();
        QCOMPARE(titles(grid), (QStringList{"Имя", "phone"}));
        QCOMPARE(grid->model()->rowCount(), 3);
        module->ADOQuery5->SQL().setLines({"select idcust from customer where idcust > 1"});
        module->ADOQuery5->Open();
        QCOMPARE(titles(grid), QStringList{"idcust"});
        QCOMPARE(column(grid, 0), (QStringList{QString::number(shop->petrov), QString::number(shop->sidorov)}));
        QVERIFY(msgs().boxes().isEmpty());
    }

    void widthsFollowTheFieldsButNeverHideTheTitle() {
        openModule();
        auto *customers = Views::grid(window.get(), "DBGrid1", "DataSource1", {}, true, QRect(10, 10, 900, 150));
        auto *total = Views::grid(window.get(), "DBGrid7", "DataSource6", {}, true, QRect(10, 170, 300, 80));
        auto *cars = Views::grid(window.get(), "DBGrid3", "DataSource2", {"Model", "Vin", "DVS", "KPP", "IdCust"},
                                 false, QRect(10, 260, 900, 150));
        QVERIFY(window->showActive());
        for (TDBGrid *grid : {customers, total, cars}) {
            const QFontMetrics header(grid->horizontalHeader()->font());
            for (int c = 0; c < grid->model()->columnCount(); ++c) {
                const QString title = grid->dataModel()->titleAt(c);
                QVERIFY2(
                    grid->columnWidth(c) >= header.horizontalAdvance(title),
                    qPrintable(
                        QStringLiteral("%1: %2 is %3 wide").arg(grid->objectName(), title).arg(grid->columnWidth(c))));
            }
        }
        QCOMPARE(total->dataModel()->titleAt(0), QStringLiteral("Сумма за промежуток"));
        // Wider fields, wider columns: 18 characters for a name, 9 for the number,
        // 32 for a model, 7 for a gearbox.
        QVERIFY(customers->columnWidth(1) > customers->columnWidth(0));
        QVERIFY(cars->columnWidth(0) > cars->columnWidth(1));
        QVERIFY(cars->columnWidth(1) > cars->columnWidth(3));
        QVERIFY(cars->columnWidth(0) >= 32 * cars->fontMetrics().averageCharWidth());
        // A real VIN is shown whole: 17 characters in a column of 21.
        const QString vin = cars->model()->index(0, 1).data().toString();
        QCOMPARE(vin.size(), 17);
        QVERIFY(cars->columnWidth(1) >= cars->fontMetrics().horizontalAdvance(vin) + 6);

        // A grid that goes while it has the focus stops following focus changes.
        QVERIFY(focus(cars));
        delete cars;
        QVERIFY(focus(window->elsewhere));
        QVERIFY(focus(customers));
    }

    void viewsPlacedBeforeTheModuleBindWhenItComes() {
        // The main window is built before the data module: its views wait.
        auto *grid =
            Views::grid(window.get(), "DBGrid1", "DataSource1", {"Имя", "Фамилия"}, false, QRect(10, 10, 400, 150));
        auto *nav = Views::navigator(window.get(), "DBNavigator1", "DataSource1",
                                     {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext,
                                      NavigateBtn::nbLast, NavigateBtn::nbRefresh},
                                     QPoint(10, 170), 210);
        auto *edit = Views::edit(window.get(), "DBEdit1", "DataSource1", "Имя", QRect(10, 200, 150, 22));
        auto *label = Views::label(window.get(), "DBText1", "DataSource2", "IdCust", QRect(10, 230, 80, 17));
        auto *gone = Views::grid(window.get(), "Gone", "DataSource3", {}, true, QRect(10, 260, 400, 100));
        delete gone; // a view that goes away while waiting is forgotten
        QVERIFY(!grid->DataSource());
        QCOMPARE(grid->model()->rowCount(), 0);
        QVERIFY(!nav->button(NavigateBtn::nbNext)->isEnabled());

        module = std::make_unique<TDataModule3>(shop->stores.settings(), [](TDataModule3 &m) {
            ViewBinding::install([&m](const QString &name) { return m.findDataSource(name); });
        });
        QCOMPARE(grid->DataSource(), module->DataSource1);
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->model()->index(0, 1).data().toString().trimmed(), QStringLiteral("Ivanov"));
        QVERIFY(nav->button(NavigateBtn::nbNext)->isEnabled());
        QCOMPARE(edit->text().trimmed(), QStringLiteral("Ivan"));
        QCOMPARE(label->Text(), QString::number(shop->ivanov));

        // Bound at once while the module is there; an unknown name binds nothing.
        auto *late = Views::grid(window.get(), "Late", "DataSource8", {"Name"}, true, QRect(10, 260, 400, 100));
        QCOMPARE(late->model()->rowCount(), 3);
        late->setDataSourceName("DataSource99");
        QVERIFY(!late->DataSource());
        QCOMPARE(late->model()->rowCount(), 0);
        QVERIFY(msgs().boxes().isEmpty());
    }
};

QTEST_MAIN(TestGridColumns)
#include "tst_gridcolumns.moc"
