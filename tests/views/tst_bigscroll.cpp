// A grid over a table of a million rows still moves, shows and writes the rows
// the user reaches: Ctrl+End, Page Up, Ctrl+Home and an edit of the last row.
#include "data/datasets/TADOConnection.h"
#include "data/datasets/TADOTable.h"
#include "data/datasets/TDataSource.h"
#include "data/views/TDBGrid.h"
#include "tests/views/ViewsKit.h"

using namespace ViewsKit;

namespace {
constexpr int rows = 1000000;
}

class TestBigScroll : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { russianLocale(); }

    void aMillionRows() {
        TestStores stores; // a temporary directory of its own
        stores.sql(QStringLiteral(
                       "insert into orderAll(idcust, Firm, number, description, kol, cena, Date) "
                       "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                       "select i % 500, 'F' || (i % 37), 'N' || i, 'part ' || i, i % 9, i * 0.5, '2025-01-01' from n")
                       .arg(rows));
        QCOMPARE(stores.scalar("select count(*) from orderAll").toInt(), rows);

        ScriptedMessagesGuard messages;
        TADOConnection connection("ADOConnection1");
        connection.setStore(stores.settings().driver, stores.settings().database);
        TADOTable table("ADOTable1");
        table.setConnection(&connection);
        table.setTableName("orderAll");
        TDataSource source("DataSource3");
        source.setDataSet(&table);
        table.Open();
        QCOMPARE(table.RecordCount(), rows);

        Window window;
        auto *grid = new TDBGrid("DBGrid4", &window);
        grid->setColumns({"Firm", "number", "description", "Kol", "cena", "Date"});
        grid->setGeometry(10, 10, 900, 400);
        grid->setDataSource(&source);
        QVERIFY(window.showActive());
        QVERIFY(focus(grid));
        QCOMPARE(grid->model()->rowCount(), rows);

        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(table.RecNo(), rows - 1);
        QVERIFY(table.Eof());
        QCOMPARE(grid->currentIndex().row(), rows - 1);
        QCOMPARE(table.FieldByName("number")->AsString(), QStringLiteral("N%1").arg(rows));
        QCOMPARE(grid->model()->index(rows - 1, 1).data().toString(), QStringLiteral("N%1").arg(rows));
        // The current row is scrolled into view.
        const QRect last = grid->visualRect(grid->currentIndex());
        QVERIFY(grid->viewport()->rect().intersects(last));

        press(Qt::Key_PageUp);
        QVERIFY(table.RecNo() < rows - 1);
        QVERIFY(table.RecNo() > rows - 100);
        QCOMPARE(grid->currentIndex().row(), table.RecNo());
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));

        // An edit at the far end reaches the store like any other.
        press(Qt::Key_End, Qt::ControlModifier);
        type("Zeta");
        press(Qt::Key_Up);
        QCOMPARE(stores.scalar(QStringLiteral("select Firm from orderAll where number = 'N%1'").arg(rows)).toString(),
                 QStringLiteral("Zeta"));
        QCOMPARE(table.RecNo(), rows - 2);

        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(table.RecNo(), 0);
        QCOMPARE(grid->currentIndex().row(), 0);
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
        QVERIFY(messages->boxes().isEmpty());
    }
};

QTEST_MAIN(TestBigScroll)
#include "tst_bigscroll.moc"
