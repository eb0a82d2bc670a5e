// The order placement page: lines of two customers through total, clear and
// the move into the archive; a line still being typed; the second total; a
// move that fails between its copy and its delete.
#include "app/DrevalonApplication.h"
#include "data/datasets/StoreWait.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "platform/PictureButton.h"
#include "tests/support/ReportKit.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit10.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <sqlite3.h>

using namespace UiKit;

namespace {
TADOTable *lines() { return DataModule3->ADOTable2; }
QVariant orderTotal() { return DataModule3->ADOQuery7->FieldByName(QStringLiteral("Сумма заказа"))->Value(); }

/// Starts a line with the navigator and types its values, as the grid would.
void typeLine(const QString &firm, const QString &kol, const QString &cena) {
    Form2->DBNavigator3->ActivateButton(NavigateBtn::nbInsert);
    lines()->FieldByName(QStringLiteral("Firm"))->setAsString(firm);
    lines()->FieldByName(QStringLiteral("Kol"))->setAsString(kol);
    lines()->FieldByName(QStringLiteral("cena"))->setAsString(cena);
}
} // namespace

class TestOrderPage : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    qint64 first = 0, second = 0;

    ScriptedMessages &boxes() const { return *session->messages; }

private slots:
    void init() {
        session = std::make_unique<Session>();
        const TestStores &s = session->stores;
        first = s.addCustomer(QStringLiteral("Ольга"), QStringLiteral("Королёва"), QStringLiteral("89771738028"));
        second = s.addCustomer(QStringLiteral("Виктор"), QStringLiteral("Куликов"), QStringLiteral("89261112233"));
        s.addCurrent(first, QStringLiteral("Mahle"), QStringLiteral("OC 90"), QStringLiteral("Фильтр масляный"), 2,
                     450);
        s.addCurrent(first, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 320.5);
        s.addCurrent(second, QStringLiteral("Febi"), QStringLiteral("36741"), QStringLiteral("Стойка"), 1, 1500);
        session->start(false);
    }
    void cleanup() { session.reset(); }

    void theRoadOfTwoCustomersOrders() {
        QCOMPARE(Form2->PageControl1->currentWidget(), Form2->TabSheet2);
        QCOMPARE(Form2->DBGrid6->model()->rowCount(), 2); // the selected customer's lines only
        QCOMPARE(orderTotal().toDouble(), 2 * 450 + 4 * 320.5 + 1500.0);

        // Сумма заказа stores the line being typed, with the customer's number.
        typeLine(QStringLiteral("Bosch"), QStringLiteral("3"), QStringLiteral("100"));
        click(Form2->BitBtn12);
        QCOMPARE(session->count(QStringLiteral("orderNow"), QStringLiteral("Firm = 'Bosch' and idcust = ?"), {first}),
                 1);
        QCOMPARE(orderTotal().toDouble(), 2 * 450 + 4 * 320.5 + 1500.0 + 300);

        // A second press: the post fails, the total is not read again.
        session->stores.addCurrent(second, QStringLiteral("Gates"), QString(), QString(), 1, 1000);
        click(Form2->BitBtn12);
        QCOMPARE(boxes().texts(QStringLiteral("error")),
                 QStringList{QStringLiteral("ADOTable2: Dataset not in edit or insert mode.")});
        QCOMPARE(orderTotal().toDouble(), 2 * 450 + 4 * 320.5 + 1500.0 + 300);
        boxes().clear();

        // The move takes every line of both customers, not the one being typed.
        typeLine(QStringLiteral("Typed"), QStringLiteral("1"), QStringLiteral("1"));
        click(Form2->BitBtn10);
        QVERIFY(boxes().boxes().isEmpty());
        QCOMPARE(session->count(QStringLiteral("orderAll")), 5);
        QCOMPARE(session->count(QStringLiteral("orderAll"), QStringLiteral("Date = ?"), {QDate::currentDate()}), 5);
        QCOMPARE(session->count(QStringLiteral("orderAll"), QStringLiteral("Firm = 'Typed'")), 0);
        QCOMPARE(session->count(QStringLiteral("orderNow")), 0);
        QCOMPARE(DataModule3->DataSource5->DataSet(), static_cast<TDataSet *>(lines()));
        QVERIFY(lines()->Active());
        QCOMPARE(DataModule3->ADOQuery5->SQL().count(), 0);
        QCOMPARE(Form2->DBGrid6->model()->rowCount(), 0);
        QVERIFY(orderTotal().isNull());

        // An empty order moves nothing and succeeds.
        click(Form2->BitBtn10);
        QVERIFY(boxes().boxes().isEmpty());
        QCOMPARE(session->count(QStringLiteral("orderAll")), 5);
    }

    void clearingAsksFirst() {
        session->messages->answer({false});
        click(Form2->BitBtn15);
        QCOMPARE(boxes().texts(QStringLiteral("confirm")),
                 QStringList{QStringLiteral("Желаете удалить все записи таблицы текущих заказов?")});
        QCOMPARE(session->count(QStringLiteral("orderNow")), 3);
        click(Form2->BitBtn15);
        QCOMPARE(session->count(QStringLiteral("orderNow")), 0);
        QCOMPARE(session->count(QStringLiteral("orderAll")), 0);
        QCOMPARE(Form2->DBGrid6->model()->rowCount(), 0);
        QVERIFY(orderTotal().isNull());
    }

    void aFailedMoveLosesNothingAndTheLinesComeBack_data() {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("table");
        QTest::newRow("copy refused") << "insert"
                                      << "orderAll";
        QTest::newRow("delete refused after the copy") << "delete"
                                                       << "orderNow";
    }
    void aFailedMoveLosesNothingAndTheLinesComeBack() {
        QFETCH(QString, event);
        QFETCH(QString, table);
        session->stores.refuse(QStringLiteral("refuse"), event, table, QStringLiteral("moving is refused"));
        click(Form2->BitBtn10);
        QCOMPARE(boxes().texts(QStringLiteral("error")).size(), 1);
        QVERIFY(boxes().texts(QStringLiteral("error")).first().contains(QStringLiteral("moving is refused")));
        QCOMPARE(session->count(QStringLiteral("orderAll")), 0);
        QCOMPARE(session->count(QStringLiteral("orderNow")), 3);
        QCOMPARE(DataModule3->ADOQuery5->SQL().count(), 0);
        QCOMPARE(DataModule3->DataSource5->DataSet(), static_cast<TDataSet *>(lines()));
        QCOMPARE(Form2->DBGrid6->model()->rowCount(), 2);

        // Once the store accepts it, every line is archived exactly once.
        session->stores.allow(QStringLiteral("refuse"), table);
        click(Form2->BitBtn10);
        QCOMPARE(session->count(QStringLiteral("orderAll")), 3);
        QCOMPARE(session->count(QStringLiteral("orderNow")), 0);
    }

    void aLockedStoreIsWaitedForOnceWithTheHourglass() {
        if (TestStores::onServer())
            QSKIP("a lock of another program is a lock on the embedded store's file");
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(session->stores.databasePath().toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
        // The hourglass is up while the command waits, and gone once the
        // program is back in its event loop.
        click(Form2->BitBtn10);
        QVERIFY(QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
        QTRY_VERIFY(!QGuiApplication::overrideCursor());
        QStringList errors = boxes().texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("locked")), qPrintable(errors.first()));
        // One wait per command: once it ran out, the rest fails at once.
        int waits = 0;
        StoreWait::setListener([&waits] {
            ++waits;
            QTimer::singleShot(0, [] { StoreWait::commandOver(); });
        });
        click(Form2->BitBtn10);
        QCOMPARE(waits, 1);
        QCOMPARE(boxes().texts(QStringLiteral("error")).size(), 2);
        QCOMPARE(DataModule3->DataSource5->DataSet(), static_cast<TDataSet *>(lines()));
        // Free again: the next press moves every line once.
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QTest::qWait(0);
        click(Form2->BitBtn10);
        QCOMPARE(boxes().texts(QStringLiteral("error")).size(), 2);
        QCOMPARE(session->count(QStringLiteral("orderAll")), 3);
        QCOMPARE(session->count(QStringLiteral("orderNow")), 0);
    }

    void aRefusedCellValueIsReportedOnce() {
        Form2->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form2));
        auto cellCentre = [](TDBGrid *grid, int row, int column) {
            return grid->visualRect(grid->model()->index(row, column)).center();
        };
        QTest::mouseClick(Form2->DBGrid6->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(Form2->DBGrid6, 0, 3));
        for (QChar c : QStringLiteral("1-2"))
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        QVERIFY(Form2->DBGrid6->cellEditor());
        // A click on the customers: the quantity is refused once, the customer stays.
        QTest::mouseClick(Form2->DBGrid5->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(Form2->DBGrid5, 1, 0));
        QCOMPARE(boxes().texts(QStringLiteral("error")).size(), 1);
        QCOMPARE(DataModule3->ADOTable3->RecNo(), 0);
    }

    void workOrderFromThePageAndTheCheckDialog() {
        using namespace ReportKit;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("order.pdf"));
        Form2->Edit1->setText(QStringLiteral("1000"));
        // Yes: every line with its customer's name; a line of the other order
        // deleted there is not in the total of the print that follows.
        session->messages->answer({true});
        QVERIFY(whileModal(
            Form10, [] { click(Form2->BitBtn14); },
            [&] {
                TADOQuery *check = DataModule3->ADOQuery8;
                QCOMPARE(check->RecordCount(), 3);
                while (check->FieldByName(QStringLiteral("name"))->AsString().trimmed() != QStringLiteral("Виктор"))
                    check->Next();
                Form10->DBNavigator1->ActivateButton(NavigateBtn::nbDelete);
                QVERIFY(withOptions(
                    *Form2->RvProject1, [&](OutputOptionsWindow &window) { toFile(window, pdf); },
                    [] { click(Form10->BitBtn1); }));
                QVERIFY(Form10->isVisible()); // OK prints and stays open
            }));
        QCOMPARE(session->count(QStringLiteral("orderNow")), 2);
        const QString text = pdfText(pdf);
        for (const QString &expected : {QStringLiteral("Королёва"), QStringLiteral("OC 90"), QStringLiteral("BKR6E"),
                                        QStringLiteral("2 182,00"), QStringLiteral("1 000,00")})
            QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + text));
        QVERIFY(!text.contains(QStringLiteral("36741")));
        QVERIFY(boxes().texts(QStringLiteral("error")).isEmpty());

        // No prints at once; Cancel in the output options produces nothing.
        session->messages->answer({false});
        QVERIFY(withOptions(
            *Form2->RvProject1, [](OutputOptionsWindow &window) { window.reject(); }, [] { click(Form2->BitBtn14); }));
        QVERIFY(boxes().texts(QStringLiteral("error")).isEmpty());

        // No project: the message, nothing printed, the total read afresh all the same.
        const QString missing = dir.filePath(QStringLiteral("Missing.rav"));
        Form2->RvProject1->Close();
        Form2->RvProject1->setProjectFile(missing);
        session->stores.addCurrent(second, QStringLiteral("Gates"), QString(), QString(), 1, 1000);
        session->messages->answer({false});
        click(Form2->BitBtn14);
        QCOMPARE(boxes().texts(QStringLiteral("error")),
                 QStringList{QStringLiteral("The following reporting project does not exist:\n\"%1\"").arg(missing)});
        QCOMPARE(orderTotal().toDouble(), 2 * 450 + 4 * 320.5 + 1000.0);
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestOrderPage test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_orderpage.moc"
