// The editing cycle as a user drives it through the grid's keys: typing starts
// an edit (an insert on an empty detail), Enter writes the cell, leaving the row
// writes it to the store, and Insert, Down at the end, Up and Esc start and
// discard rows. Fields that cannot change stay closed to typing, refused
// characters are dropped, and a value that cannot be converted keeps the focus.
#include "data/views/IndicatorHeader.h"
#include "data/views/TDBGrid.h"
#include "data/views/ViewFactory.h"
#include "tests/views/ViewsKit.h"

#include <memory>

using namespace ViewsKit;

namespace {
const QStringList lineColumns = {"Firm", "number", "description", "Kol", "cena"};
enum LineColumn { Firm, Number, Description, Kol, Cena };

QString cell(TDBGrid *grid, int row, int column) { return grid->model()->index(row, column).data().toString(); }
} // namespace

class TestGridEditing : public QObject, public BenchHolder {
    Q_OBJECT

    // Each test gets the order page's pair of grids over a fresh shop.
    TDBGrid *customers = nullptr; // DBGrid5 over DataSource8
    TDBGrid *lines = nullptr;     // DBGrid6 over DataSource5

    TDataSet *lineSet() const { return module->ADOTable2; }
    IndicatorHeader *marks(TDBGrid *grid) const { return static_cast<IndicatorHeader *>(grid->verticalHeader()); }
    bool editorShows(const QString &text) const {
        return lines->cellEditor() && lines->cellEditor()->isVisible() && lines->cellEditor()->text() == text;
    }

private slots:
    void initTestCase() { russianLocale(); }

    void init() {
        startBench();
        customers = Views::grid(window, "DBGrid5", "DataSource8", {"Name", "Lmane", "Phone", "Phone2"}, true,
                                QRect(10, 10, 480, 200));
        lines = Views::grid(window, "DBGrid6", "DataSource5", lineColumns, true, QRect(10, 220, 640, 200));
        QVERIFY(window->showActive());
        QVERIFY(focus(lines));
        QCOMPARE(lineSet()->RecordCount(), 2); // Ivanov's two lines
    }

    void cleanup() { stopBench(); }

    void typingEditsEnterWritesLeavingTheRowPosts() {
        QCOMPARE(cell(lines, 0, Firm), QStringLiteral("Mann"));
        type("X");
        QCOMPARE(lineSet()->State(), DataSetState::Edit);
        QVERIFY(editorShows("X"));
        QCOMPARE(QApplication::focusWidget(), lines->cellEditor());
        QCOMPARE(marks(lines)->mark(), IndicatorHeader::Mark::Edit);
        type("yz");
        QVERIFY(editorShows("Xyz"));

        press(Qt::Key_Return);
        QVERIFY(!lines->cellEditor());
        QCOMPARE(QApplication::focusWidget(), lines);
        QCOMPARE(lineSet()->FieldByName("Firm")->AsString(), QStringLiteral("Xyz"));
        QCOMPARE(cell(lines, 0, Firm), QStringLiteral("Xyz"));
        QCOMPARE(lineSet()->State(), DataSetState::Edit);
        QCOMPARE(shop->count("orderNow", "Firm = 'Xyz'"), 0); // not yet in the store

        press(Qt::Key_Down);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(lineSet()->RecNo(), 1);
        QCOMPARE(marks(lines)->mark(), IndicatorHeader::Mark::Browse);
        QCOMPARE(marks(lines)->currentRow(), 1);
        QCOMPARE(shop->count("orderNow", "Firm = 'Xyz' and number = 'C 2774'"), 1);
        QCOMPARE(shop->count("orderNow", "Firm = 'Mann'"), 0);

        // Up leaves an edited row just the same; F2 opens the cell with its text.
        press(Qt::Key_F2);
        QVERIFY(editorShows("Bosch"));
        QCOMPARE(lineSet()->State(), DataSetState::Browse); // opening alone changes nothing
        type("AG");
        QCOMPARE(lineSet()->State(), DataSetState::Edit);
        press(Qt::Key_Up);
        QCOMPARE(lineSet()->RecNo(), 0);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(shop->count("orderNow", "Firm = 'AG'"), 1); // F2 selects all: typing replaced it
        QVERIFY(msgs().boxes().isEmpty());
    }

    void typingIntoAnEmptyDetailInsertsWithTheMastersKey() {
        QVERIFY(focus(customers));
        press(Qt::Key_End, Qt::ControlModifier); // Sidorov, who has no lines
        QCOMPARE(module->ADOTable3->FieldByName("idcust")->AsInteger(), shop->sidorov);
        QVERIFY(lineSet()->IsEmpty());
        QCOMPARE(lines->model()->rowCount(), 0);

        QVERIFY(focus(lines));
        type("Lemforder");
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lines->model()->rowCount(), 1);
        QCOMPARE(marks(lines)->mark(), IndicatorHeader::Mark::Insert);
        QCOMPARE(lineSet()->FieldByName("idcust")->AsInteger(), shop->sidorov);
        press(Qt::Key_Tab); // writes the cell and moves on
        QCOMPARE(lines->currentColumn(), int(Number));
        type("3");
        press(Qt::Key_Return);

        // Down on the typed last row writes it and appends the next one.
        press(Qt::Key_Down);
        QCOMPARE(shop->count("orderNow",
                             QStringLiteral("idcust = %1 and Firm = 'Lemforder' and number = '3'").arg(shop->sidorov)),
                 1);
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->RecordCount(), 2);
        QCOMPARE(lineSet()->RecNo(), 1);
        QCOMPARE(lineSet()->FieldByName("idcust")->AsInteger(), shop->sidorov); // pre-filled, still untouched

        // The untouched row at the end: Down keeps it, Up discards it.
        press(Qt::Key_Down);
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->RecordCount(), 2);
        press(Qt::Key_Up);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(lineSet()->RecordCount(), 1);
        QCOMPARE(lineSet()->RecNo(), 0);
        QCOMPARE(lines->model()->rowCount(), 1);
        QCOMPARE(shop->count("orderNow", QStringLiteral("idcust = %1").arg(shop->sidorov)), 1);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void insertKeyAndUntouchedRowsAreDiscarded() {
        press(Qt::Key_Down);
        press(Qt::Key_Insert); // before the second line
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->RecNo(), 1);
        QCOMPARE(lineSet()->RecordCount(), 3);
        QCOMPARE(cell(lines, 1, Firm), QString());
        QCOMPARE(cell(lines, 2, Firm), QStringLiteral("Bosch"));
        QCOMPARE(lineSet()->FieldByName("idcust")->AsInteger(), shop->ivanov);

        // Not the last row: Down discards it and the row below is current.
        press(Qt::Key_Down);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(lineSet()->RecordCount(), 2);
        QCOMPARE(lineSet()->RecNo(), 1);
        QCOMPARE(lineSet()->FieldByName("Firm")->AsString(), QStringLiteral("Bosch"));

        // Up from a row inserted in the middle also discards it, then moves up.
        press(Qt::Key_Insert);
        press(Qt::Key_Up);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(lineSet()->RecordCount(), 2);
        QCOMPARE(lineSet()->RecNo(), 0);

        // Opening and closing a cell of a new row is no typing: the row stays.
        press(Qt::Key_Insert);
        press(Qt::Key_F2);
        QVERIFY(lines->cellEditor());
        press(Qt::Key_Return);
        QVERIFY(!lines->cellEditor());
        QCOMPARE(QApplication::focusWidget(), lines);
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->RecordCount(), 3);

        // Leaving the grid discards an untouched inserted row.
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QVERIFY(focus(window->elsewhere));
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(lineSet()->RecordCount(), 2);
        QCOMPARE(lines->model()->rowCount(), 2);
        QCOMPARE(shop->count("orderNow"), 3);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void leavingKeepsATypedRowPending() {
        press(Qt::Key_End, Qt::ControlModifier);
        press(Qt::Key_Down); // appended
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        type("Febi");
        QVERIFY(focus(window->elsewhere));
        // Written into the field, not to the store; the row stays inserted.
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->FieldByName("Firm")->AsString(), QStringLiteral("Febi"));
        QVERIFY(!lines->cellEditor());
        QCOMPARE(shop->count("orderNow"), 3);

        // Without dgCancelOnExit even an untouched new row survives the exit.
        QVERIFY(focus(lines));
        press(Qt::Key_Escape);
        QCOMPARE(lineSet()->RecordCount(), 2);
        lines->setOptions(TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgCancelOnExit));
        press(Qt::Key_Insert);
        QVERIFY(focus(window->elsewhere));
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->RecordCount(), 3);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void escapeRestoresTheCellThenCancelsTheRow() {
        press(Qt::Key_Right);
        type("ABC");
        QVERIFY(editorShows("ABC"));
        press(Qt::Key_Escape);
        QVERIFY(!lines->cellEditor());
        QCOMPARE(lineSet()->State(), DataSetState::Edit); // the row is still being edited
        QCOMPARE(lineSet()->FieldByName("number")->AsString(), QStringLiteral("C 2774"));
        QCOMPARE(cell(lines, 0, Number), QStringLiteral("C 2774"));
        press(Qt::Key_Escape);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);

        // A written cell is undone by cancelling the whole row.
        type("XYZ");
        press(Qt::Key_Return);
        QCOMPARE(cell(lines, 0, Number), QStringLiteral("XYZ"));
        press(Qt::Key_Escape);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(cell(lines, 0, Number), QStringLiteral("C 2774"));

        // On a new row: the first Esc empties the cell again, the second drops the row.
        press(Qt::Key_Insert);
        type("N1");
        press(Qt::Key_Escape);
        QCOMPARE(lineSet()->State(), DataSetState::Insert);
        QCOMPARE(lineSet()->RecordCount(), 3);
        QCOMPARE(cell(lines, 0, Number), QString());
        press(Qt::Key_Escape);
        QCOMPARE(lineSet()->State(), DataSetState::Browse);
        QCOMPARE(lineSet()->RecordCount(), 2);
        QCOMPARE(cell(lines, 0, Number), QStringLiteral("C 2774"));
        QCOMPARE(shop->count("orderNow", "number = 'C 2774'"), 1);
        QCOMPARE(shop->count("orderNow"), 3);
    }

    void readOnlyFieldsAndGridsWithoutEditingStayClosed() {
        // The add dialog's grid: every field of the customer list, Номер first.
        auto *all = Views::grid(window, "DBGrid1", "DataSource1", {}, true, QRect(10, 430, 640, 150));
        all->show();
        QVERIFY(focus(all));
        QCOMPARE(all->dataModel()->titleAt(0), QStringLiteral("Номер"));
        type("5");
        press(Qt::Key_F2);
        press(Qt::Key_Return);
        QVERIFY(!all->cellEditor());
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);
        press(Qt::Key_Right);
        type("Ann");
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Edit);
        QCOMPARE(all->cellEditor()->text(), QStringLiteral("Ann"));
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);

        // IdCar of the car table.
        all->setDataSourceName("DataSource2");
        QCOMPARE(all->dataModel()->titleAt(0), QStringLiteral("IdCar"));
        press(Qt::Key_Home);
        type("7");
        QVERIFY(!all->cellEditor());
        QCOMPARE(module->Table1->State(), DataSetState::Browse);

        // The customer page's grid has editing off: no typing, no Insert, no append.
        auto *browse =
            Views::grid(window, "DBGrid1b", "DataSource1", {"Имя", "Фамилия"}, false, QRect(10, 430, 640, 150));
        browse->show();
        QVERIFY(focus(browse));
        type("Z");
        press(Qt::Key_F2);
        press(Qt::Key_Insert);
        QVERIFY(!browse->cellEditor());
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);
        press(Qt::Key_End, Qt::ControlModifier);
        press(Qt::Key_Down);
        QCOMPARE(module->ADOQuery1->State(), DataSetState::Browse);
        QCOMPARE(module->ADOQuery1->RecordCount(), 3);
        QCOMPARE(module->ADOQuery1->RecNo(), 2);
        QVERIFY(module->ADOQuery1->Eof());
    }

    void refusedCharactersAreDropped() {
        press(Qt::Key_End); // the last column: cena
        QCOMPARE(lines->currentColumn(), int(Cena));
        press(Qt::Key_Left);
        QCOMPARE(lines->currentColumn(), int(Kol));
        type("a");
        QVERIFY(!lines->cellEditor());
        QCOMPARE(lineSet()->State(), DataSetState::Browse); // a refused key starts nothing
        type("1x2");
        QVERIFY(editorShows("12"));
        press(Qt::Key_Return);
        QCOMPARE(lineSet()->FieldByName("kol")->AsInteger(), 12);

        // Floating point: digits, signs, the exponent and the locale's separator,
        // which either of '.' and ',' gives.
        press(Qt::Key_Right);
        type("q");
        QVERIFY(!lines->cellEditor());
        type("1.5e2");
        QVERIFY(editorShows("1,5e2"));
        press(Qt::Key_Return);
        QCOMPARE(lineSet()->FieldByName("cena")->AsFloat(), 150.0);
        press(Qt::Key_Down);
        QCOMPARE(shop->count("orderNow", "kol = 12 and cena = 150"), 1);
        QVERIFY(msgs().boxes().isEmpty());
    }

    void aValueThatCannotBeConvertedKeepsTheFocus() {
        press(Qt::Key_Right);
        press(Qt::Key_Right);
        press(Qt::Key_Right);
        type("1-2");
        press(Qt::Key_Return);
        const QString error = QStringLiteral("'1-2' is not a valid integer value for field 'kol'");
        QCOMPARE(msgs().texts("error"), QStringList{error});
        QVERIFY(editorShows("1-2"));
        QCOMPARE(QApplication::focusWidget(), lines->cellEditor());

        // Nor can the row be left.
        press(Qt::Key_Down);
        QCOMPARE(msgs().texts("error").size(), 2);
        QCOMPARE(lineSet()->RecNo(), 0);
        QCOMPARE(lineSet()->State(), DataSetState::Edit);
        QVERIFY(editorShows("1-2"));

        // Nor the grid: the focus comes back to the cell.
        window->elsewhere->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), lines->cellEditor());
        QCOMPARE(msgs().texts("error"), QStringList({error, error, error}));
        QCOMPARE(lineSet()->State(), DataSetState::Edit);

        // Another window taking the focus is no leaving: nothing more is shown.
        QWidget other;
        other.resize(200, 100);
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(window->showActive());
        QTRY_COMPARE(QApplication::focusWidget(), lines->cellEditor());
        QCOMPARE(msgs().texts("error").size(), 3);
        QVERIFY(editorShows("1-2"));

        // Corrected, it is written and posted as usual.
        lines->cellEditor()->selectAll();
        type("7");
        press(Qt::Key_Down);
        QCOMPARE(lineSet()->RecNo(), 1);
        QCOMPARE(shop->count("orderNow", "Firm = 'Mann' and kol = 7"), 1);
        QCOMPARE(msgs().texts("error").size(), 3);
    }

    void movingByKeysAndClicks() {
        QVERIFY(focus(customers));
        QCOMPARE(module->ADOTable3->RecNo(), 0);
        press(Qt::Key_PageDown);
        QCOMPARE(module->ADOTable3->RecNo(), 2);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(module->ADOTable3->RecNo(), 0);
        QVERIFY(module->ADOTable3->Bof());

        // Tab wraps to the next row from the last column, Shift+Tab back.
        press(Qt::Key_End);
        QCOMPARE(customers->currentColumn(), 3);
        press(Qt::Key_Tab);
        QCOMPARE(module->ADOTable3->RecNo(), 1);
        QCOMPARE(customers->currentColumn(), 0);
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(module->ADOTable3->RecNo(), 0);
        QCOMPARE(customers->currentColumn(), 3);

        // A click makes the row under it current, and the detail follows.
        const QRect third = customers->visualRect(customers->model()->index(2, 1));
        QTest::mouseClick(customers->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
        QCOMPARE(module->ADOTable3->RecNo(), 2);
        QCOMPARE(customers->currentColumn(), 1);
        QCOMPARE(customers->currentIndex().row(), 2);
        QVERIFY(lineSet()->IsEmpty());
        QVERIFY(!module->ADOTable3->Bof() && !module->ADOTable3->Eof());
        const QRect second = customers->visualRect(customers->model()->index(1, 0));
        QTest::mouseClick(customers->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        QCOMPARE(lineSet()->RecordCount(), 1);
        QCOMPARE(cell(lines, 0, Firm), QStringLiteral("TRW"));

        // Without dgTabs, Tab is the window's: it moves the focus on.
        customers->setOptions(TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgTabs));
        press(Qt::Key_Tab);
        QVERIFY(!customers->hasFocus());
        QCOMPARE(customers->currentColumn(), 0);
        QCOMPARE(module->ADOTable3->RecNo(), 1);
    }

    void ctrlTabLeavesFromAnyCell() {
        // The focus chain: the plain field, the customers, the lines.
        // Back from a first cell, where Shift+Tab goes up a row, and from a cell
        // editor opened on it: the row stays. Shift+Tab as the keyboard gives
        // it, and as a Tab with Shift.
        for (Qt::Key key : {Qt::Key_Backtab, Qt::Key_Tab}) {
            QVERIFY(focus(customers));
            module->ADOTable3->setRecNo(1);
            press(Qt::Key_Home);
            if (key == Qt::Key_Tab)
                press(Qt::Key_F2);
            press(key, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(module->ADOTable3->RecNo(), 1);
            QCOMPARE(customers->currentColumn(), 0);
            QCOMPARE(QApplication::focusWidget(), window->elsewhere);
        }

        // On from the last cell of the last row, a value typed in it: written
        // into the field on the way out, the row still pending.
        QVERIFY(focus(lines));
        press(Qt::Key_End);
        type("9");
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), window->elsewhere);
        QVERIFY(!lines->cellEditor());
        QCOMPARE(lineSet()->State(), DataSetState::Edit);
        QCOMPARE(lineSet()->FieldByName("cena")->AsString(), QStringLiteral("9"));

        // A closed dataset, and Tab given to the window: the way out stays.
        module->ADOTable3->Close();
        customers->setOptions(TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgTabs));
        QVERIFY(focus(customers));
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), lines);
        QVERIFY(msgs().boxes().isEmpty());
    }
};

QTEST_MAIN(TestGridEditing)
#include "tst_gridediting.moc"
