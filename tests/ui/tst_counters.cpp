// Several counters on one database, serving customers at once: the order page
// of each works on its own lines only (grid, total, check list, clear, move,
// work order), while the other counter's lines stay as they were and are
// never seen; a database from before keeps one shared order, as the single
// counter always had, until the store tool upgrades it.
#include "app/DrevalonApplication.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "tests/support/ReportKit.h"
#include "tests/support/StoreLogCapture.h"
#include "tests/support/StoreTool.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit10.h"

#include <QTemporaryDir>

using namespace UiKit;
using StoreTool::storeArguments;
using StoreTool::tool;

namespace {
const QString counterA = QStringLiteral("Касса №1 'у окна'"); // the test stores' own
const QString counterB = QStringLiteral("Касса 2");

QVariant orderTotal() { return DataModule3->ADOQuery7->FieldByName(QStringLiteral("Сумма заказа"))->Value(); }

// A workstation's lines as the store holds them, in one text any change moves.
QStringList linesOf(const TestStores &stores, const QString &station) {
    return stores.column(QStringLiteral("select idcust || ':' || Firm || ':' || number || ':' || kol || ':' || cena "
                                        "from orderNow where station = ? order by RowKey"),
                         {station});
}

// The part numbers a dataset holds, in its order.
QStringList numbersIn(TDataSet *dataSet) {
    QStringList numbers;
    for (dataSet->First(); !dataSet->Eof(); dataSet->Next())
        numbers.append(dataSet->FieldByName(QStringLiteral("number"))->AsString());
    return numbers;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// What each counter has typed: the same customer at both, and one more of A's.
struct Counter {
    QStringList numbers; // in the order they were typed
    double total = 0;
    QString totalText; // as the work order prints it
};
} // namespace

class TestCounters : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    qint64 olga = 0, viktor = 0;
    QMap<QString, Counter> counters;

    ScriptedMessages &boxes() const { return *session->messages; }

private slots:
    void init() {
        session = std::make_unique<Session>();
        const TestStores &s = session->stores;
        olga = s.addCustomer(QStringLiteral("Ольга"), QStringLiteral("Королёва"), QStringLiteral("89771738028"));
        viktor = s.addCustomer(QStringLiteral("Виктор"), QStringLiteral("Куликов"), QStringLiteral("89261112233"));
        s.addCurrent(olga, QStringLiteral("Mahle"), QStringLiteral("OC 90"), QStringLiteral("Фильтр"), 2, 450);
        s.addCurrent(olga, QStringLiteral("Bosch"), QStringLiteral("0986"), QStringLiteral("Колодки"), 1, 1000,
                     counterB);
        s.addCurrent(olga, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 320.5);
        s.addCurrent(olga, QStringLiteral("Febi"), QStringLiteral("36741"), QStringLiteral("Стойка"), 1, 1500,
                     counterB);
        s.addCurrent(viktor, QStringLiteral("Gates"), QStringLiteral("5PK"), QStringLiteral("Ремень"), 1, 800);
        counters = {{counterA,
                     {{QStringLiteral("OC 90"), QStringLiteral("BKR6E"), QStringLiteral("5PK")},
                      2982,
                      QStringLiteral("2 982,00")}},
                    {counterB, {{QStringLiteral("0986"), QStringLiteral("36741")}, 2500, QStringLiteral("2 500,00")}}};
    }
    void cleanup() { session.reset(); }

    void aCounterWorksOnItsOwnLinesOnly_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("counter");
        for (const char *command : {"grid", "total", "check list", "clear", "move", "work order"})
            for (const QString &counter : {counterA, counterB})
                QTest::addRow("%s at %s", command, qPrintable(counter)) << QString::fromLatin1(command) << counter;
    }
    void aCounterWorksOnItsOwnLinesOnly() {
        QFETCH(QString, command);
        QFETCH(QString, counter);
        const TestStores &stores = session->stores;
        const QString other = counter == counterA ? counterB : counterA;
        const Counter &mine = counters[counter], &theirs = counters[other];
        const QStringList theirLines = linesOf(stores, other);
        session->start(false, counter);
        // The other counter's program is open on the same database meanwhile.
        TDataModule3 otherProgram(stores.settingsOf(other));
        TADOTable *lines = DataModule3->ADOTable2;
        QCOMPARE(orderTotal().toDouble(), mine.total);

        if (command == QLatin1String("grid")) {
            // The same customer at both counters: each sees its own lines of hers.
            QStringList seen;
            for (DataModule3->ADOTable3->First(); !DataModule3->ADOTable3->Eof(); DataModule3->ADOTable3->Next())
                seen += numbersIn(lines);
            QCOMPARE(seen, mine.numbers);
            DataModule3->ADOTable3->First();
            QCOMPARE(Form2->DBGrid6->model()->rowCount(), 2);
        } else if (command == QLatin1String("total")) {
            DataModule3->ADOTable3->First();
            Form2->DBNavigator3->ActivateButton(NavigateBtn::nbInsert);
            lines->FieldByName(QStringLiteral("Firm"))->setAsString(QStringLiteral("Valeo"));
            lines->FieldByName(QStringLiteral("Kol"))->setAsString(QStringLiteral("3"));
            lines->FieldByName(QStringLiteral("cena"))->setAsString(QStringLiteral("100"));
            click(Form2->BitBtn12);
            QCOMPARE(orderTotal().toDouble(), mine.total + 300);
            QCOMPARE(
                session->count(QStringLiteral("orderNow"), QStringLiteral("Firm = 'Valeo' and station = ?"), {counter}),
                1);
        } else if (command == QLatin1String("check list")) {
            // The check lists this counter's lines, and a line deleted there is one of them.
            session->messages->answer({true});
            QVERIFY(whileModal(
                Form10, [] { click(Form2->BitBtn14); },
                [&] {
                    TADOQuery *check = DataModule3->ADOQuery8;
                    QCOMPARE(sorted(numbersIn(check)), sorted(mine.numbers));
                    check->First();
                    QStringList left = mine.numbers;
                    left.removeOne(check->FieldByName(QStringLiteral("number"))->AsString());
                    Form10->DBNavigator1->ActivateButton(NavigateBtn::nbDelete);
                    QCOMPARE(sorted(numbersIn(check)), sorted(left));
                }));
            QCOMPARE(linesOf(stores, counter).size(), mine.numbers.size() - 1);
        } else if (command == QLatin1String("clear")) {
            click(Form2->BitBtn15);
            QVERIFY(linesOf(stores, counter).isEmpty());
            QVERIFY(orderTotal().isNull());
        } else if (command == QLatin1String("move")) {
            click(Form2->BitBtn10);
            QVERIFY(linesOf(stores, counter).isEmpty());
            QCOMPARE(stores.column(QStringLiteral("select number from orderAll order by number")),
                     sorted(mine.numbers));
            QCOMPARE(stores.scalar(QStringLiteral("select sum(kol*cena) from orderAll")).toDouble(), mine.total);
            QVERIFY(orderTotal().isNull());
        } else if (command == QLatin1String("work order")) {
            using namespace ReportKit;
            QTemporaryDir dir;
            const QString pdf = dir.filePath(QStringLiteral("order.pdf"));
            session->messages->answer({false});
            QVERIFY(withOptions(
                *Form2->RvProject1, [&](OutputOptionsWindow &window) { toFile(window, pdf); },
                [] { click(Form2->BitBtn14); }));
            // Ольга's lines of this counter, and the counter's total.
            const QString text = pdfText(pdf);
            for (const QString &expected : mine.numbers.mid(0, 2) + QStringList{mine.totalText})
                QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + text));
            for (const QString &unexpected : theirs.numbers + QStringList{theirs.totalText})
                QVERIFY2(!text.contains(unexpected), qPrintable(unexpected + QStringLiteral(" in:\n") + text));
        }
        QVERIFY(boxes().texts(QStringLiteral("error")).isEmpty());

        // The other counter's lines are as they were, and its program sees them all.
        QCOMPARE(linesOf(stores, other), theirLines);
        otherProgram.ADOQuery7->Close();
        otherProgram.ADOQuery7->Open();
        QCOMPARE(otherProgram.ADOQuery7->Fields(0)->Value().toDouble(), theirs.total);
        otherProgram.ADOQuery8->Close();
        otherProgram.ADOQuery8->Open();
        QCOMPARE(sorted(numbersIn(otherProgram.ADOQuery8)), sorted(theirs.numbers));
    }

    void aStoreFromBeforeSharesOneOrderUntilTheToolUpgradesIt() {
        TestStores &stores = session->stores;
        stores.sql(QStringLiteral("delete from orderNow"));
        stores.makeSharedOrder();
        stores.addCurrent(olga, QStringLiteral("Mahle"), QStringLiteral("OC 90"), QStringLiteral("Фильтр"), 2, 450);
        stores.addCurrent(viktor, QStringLiteral("Febi"), QStringLiteral("36741"), QStringLiteral("Стойка"), 1, 1500);
        const QStringList store = storeArguments(stores.ownerSettings());
        {
            StoreLogCapture log(false);
            session->start(false);
            QCOMPARE(log.lines.filter(QStringLiteral("from before each workstation kept its own order")).size(), 1);
        }
        // One order for every counter, as the single counter always had it.
        QCOMPARE(orderTotal().toDouble(), 2400.0);
        QCOMPARE(DataModule3->ADOQuery8->RecordCount(), 2);
        QVERIFY(!DataModule3->ownOrderLines());
        // Neither the lists nor the upgrade while the program holds the database.
        const StoreTool::Run held = tool(store + QStringList{QStringLiteral("--upgrade")});
        QCOMPARE(held.exitCode, 2);
        QVERIFY2(held.err.contains(QStringLiteral("the program holds the stores open")), qPrintable(held.err));
        const StoreTool::Run unlisted = tool(store + QStringList{QStringLiteral("--stations")});
        QCOMPARE(unlisted.exitCode, 1);
        QVERIFY2(unlisted.err.contains(QStringLiteral("--upgrade keeps them apart")), qPrintable(unlisted.err));
        Startup::destroyAll();

        // A backup of such a database is sound (it is restored at the end).
        QTemporaryDir backups;
        const StoreTool::Run backup = tool(store + QStringList{QStringLiteral("--backup"), backups.path()});
        QVERIFY2(backup.exitCode == 0, qPrintable(backup.err));
        const QString file = QDir(backups.path()).filePath(QDir(backups.path()).entryList(QDir::Files).value(0));
        QCOMPARE(tool({QStringLiteral("--verify"), file}).exitCode, 0);

        // Upgraded once, the lines are the named counter's; a second run changes nothing.
        const StoreTool::Run upgraded =
            tool(store + QStringList{QStringLiteral("--upgrade"), QStringLiteral("--workstation"), counterB});
        QVERIFY2(upgraded.exitCode == 0, qPrintable(upgraded.err));
        QVERIFY2(upgraded.out.contains(QStringLiteral("the 2 line(s) already there are those of Касса 2")),
                 qPrintable(upgraded.out + upgraded.err));
        QCOMPARE(linesOf(stores, counterB).size(), 2);
        const StoreTool::Run again = tool(store + QStringList{QStringLiteral("--upgrade")});
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.out.contains(QStringLiteral("nothing changed")), qPrintable(again.out + again.err));
        QCOMPARE(linesOf(stores, counterB).size(), 2);

        // Now each counter has its own: none for A, both for B.
        session->start(false);
        QVERIFY(DataModule3->ownOrderLines());
        QVERIFY(orderTotal().isNull());
        Startup::destroyAll();
        session->start(false, counterB);
        QCOMPARE(orderTotal().toDouble(), 2400.0);
        Startup::destroyAll();

        // A retired counter's lines, seen and handed over to another.
        const StoreTool::Run listed = tool(store + QStringList{QStringLiteral("--stations")});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 (QStringList{QStringLiteral("lines\tsum\tworkstation"), QStringLiteral("2\t2400\tКасса 2")}));
        const StoreTool::Run handed = tool(
            store + QStringList{QStringLiteral("--hand-over"), counterB, QStringLiteral("--workstation"), counterA});
        QCOMPARE(handed.exitCode, 0);
        QVERIFY2(handed.out.contains(QStringLiteral("handed over 2 order line(s) of Касса 2 to ") + counterA),
                 qPrintable(handed.out + handed.err));
        QVERIFY(linesOf(stores, counterB).isEmpty());
        session->start(false);
        QCOMPARE(orderTotal().toDouble(), 2400.0);
        Startup::destroyAll();

        // The backup from before restores, and its lines go to a counter as an
        // upgrade gives them (a restore into the program's own schema gives
        // them itself; on a server the upgrade after it does).
        const StoreTool::Run restored =
            tool(store + QStringList{QStringLiteral("--restore"), file, QStringLiteral("--force"),
                                     QStringLiteral("--workstation"), counterB});
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
        QCOMPARE(
            tool(store + QStringList{QStringLiteral("--upgrade"), QStringLiteral("--workstation"), counterB}).exitCode,
            0);
        QCOMPARE(linesOf(stores, counterB).size(), 2);
        QVERIFY(linesOf(stores, counterA).isEmpty());
        QVERIFY(boxes().texts(QStringLiteral("error")).isEmpty());
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestCounters test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_counters.moc"
