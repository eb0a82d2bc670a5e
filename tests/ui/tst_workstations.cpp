// Several workstations on one database: each program's optimistic row checks
// hold against the others, the archive move neither loses nor duplicates lines
// another workstation adds meanwhile, and a server that goes away and comes
// back costs the user an error box, never a typed value.
#include "data/datasets/StoreTransaction.h"
#include "data/views/TDBEdit.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/support/CuttingProxy.h"
#include "tests/support/Errors.h"
#include "tests/support/OneStatement.h"
#include "tests/support/PrivateServer.h"
#include "tests/support/TestServer.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit4.h"

#include <QProcess>
#include <QScopeGuard>

using namespace UiKit;

namespace {
const QString notLocatedForUpdate = QStringLiteral("Row cannot be located for updating");
const QString notLocatedForDelete = QStringLiteral("Row cannot be located for deleting");

void edit(TADOQuery *customers, int row, const QString &field, const QString &value) {
    customers->setRecNo(row);
    customers->Edit();
    customers->FieldByName(field)->setAsString(value);
}

} // namespace

class TestWorkstations : public QObject {
    Q_OBJECT

private slots:
    void twoWorkstationsOnTheSameCustomers() {
        TestStores stores;
        const qint64 anna =
            stores.addCustomer(QStringLiteral("Анна"), QStringLiteral("Иванова"), QStringLiteral("111"));
        const qint64 petr = stores.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("222"));
        ScriptedMessagesGuard boxes;
        TDataModule3 first(stores.settings()), second(stores.settings());
        TADOQuery *mine = first.ADOQuery1, *theirs = second.ADOQuery1;
        QCOMPARE(mine->RecordCount(), 2);
        QCOMPARE(theirs->RecordCount(), 2);
        auto stored = [&](const char *column, qint64 id) {
            return stores.scalar(QStringLiteral("select %1 from customer where idcust = ?").arg(column), {id})
                .toString()
                .trimmed();
        };

        // The other workstation changed the row since this one read it.
        edit(mine, 0, QStringLiteral("Фамилия"), QStringLiteral("Смирнова"));
        mine->Post();
        edit(theirs, 0, QStringLiteral("Имя"), QStringLiteral("Аня"));
        QVERIFY(errorOf([&] { theirs->Post(); }).contains(notLocatedForUpdate));
        QCOMPARE(theirs->State(), DataSetState::Edit);
        QCOMPARE(stored("Name", anna), QStringLiteral("Анна"));
        QCOMPARE(stored("lmane", anna), QStringLiteral("Смирнова"));
        QCOMPARE(stored("lmane", petr), QStringLiteral("Петров"));
        // Read again, the change goes in over the other one.
        theirs->Cancel();
        theirs->Refresh();
        QCOMPARE(theirs->FieldByName(QStringLiteral("Фамилия"))->AsString().trimmed(), QStringLiteral("Смирнова"));
        edit(theirs, 0, QStringLiteral("Имя"), QStringLiteral("Аня"));
        theirs->Post();
        QCOMPARE(stored("Name", anna), QStringLiteral("Аня"));
        QCOMPARE(stored("lmane", anna), QStringLiteral("Смирнова"));

        // One deletes what the other is editing: neither the edit nor a delete
        // of the gone row touches anything.
        mine->setRecNo(1);
        mine->Delete();
        edit(theirs, 1, QStringLiteral("телефон"), QStringLiteral("999"));
        QVERIFY(errorOf([&] { theirs->Post(); }).contains(notLocatedForUpdate));
        theirs->Cancel();
        QVERIFY(errorOf([&] { theirs->Delete(); }).contains(notLocatedForDelete));
        QCOMPARE(stores.scalar(QStringLiteral("select count(*) from customer")).toInt(), 1);
        QCOMPARE(stored("Name", anna), QStringLiteral("Аня"));
    }

    void theArchiveMoveTakesExactlyTheLinesItSaw() {
        if (!TestStores::onServer())
            QSKIP("the embedded store admits one writer at a time: no line can arrive during a move");
        TestStores stores;
        for (int i = 1; i <= 3; ++i)
            stores.addCurrent(1, QStringLiteral("Bosch"), QStringLiteral("B-%1").arg(i), QStringLiteral("Свеча"), i,
                              150);
        ScriptedMessagesGuard boxes;
        TDataModule3 module(stores.settings());
        // The move's two statements as the order page runs them, with another
        // workstation's line stored between them.
        TADOQuery *move = module.ADOQuery5;
        move->SQL().setLines({QStringLiteral("insert INTO [orderAll](idcust,Firm,number,description,kol,cena)"),
                              QStringLiteral("SELECT idcust,Firm,number,description,kol,cena"),
                              QStringLiteral("from [orderNow] ")});
        StoreTransaction transaction(*module.ADOConnection1);
        QCOMPARE(move->ExecSQL(), 3);
        stores.addCurrent(2, QStringLiteral("Mann"), QStringLiteral("M-9"), QStringLiteral("Фильтр"), 1, 900);
        move->SQL().setLines({QStringLiteral("delete from [orderNow] ")});
        QCOMPARE(move->ExecSQL(), 3);
        transaction.commit();
        QCOMPARE(stores.column(QStringLiteral("select number from orderAll order by number")),
                 QStringList({"B-1", "B-2", "B-3"}));
        QCOMPARE(stores.column(QStringLiteral("select number from orderNow")), QStringList{"M-9"});

        // Another workstation deletes a line this move copied: the move is
        // refused whole, and the box says what happened and what to do.
        const QString refused = errorOf([&] {
            move->SQL().setLines({QStringLiteral("insert INTO [orderAll](idcust,Firm,number,description,kol,cena)"),
                                  QStringLiteral("SELECT idcust,Firm,number,description,kol,cena"),
                                  QStringLiteral("from [orderNow] ")});
            StoreTransaction again(*module.ADOConnection1);
            move->ExecSQL();
            stores.sql(QStringLiteral("delete from orderNow"));
            move->SQL().setLines({QStringLiteral("delete from [orderNow] ")});
            move->ExecSQL();
            again.commit();
        });
        QVERIFY2(refused.contains(QStringLiteral("could not serialize")) &&
                     refused.contains(QStringLiteral("Another workstation changed the same rows")) &&
                     refused.contains(QStringLiteral("Press again")),
                 qPrintable(refused));
        QCOMPARE(stores.column(QStringLiteral("select number from orderAll order by number")),
                 QStringList({"B-1", "B-2", "B-3"}));
    }

    // The connection breaks at the worst moment of a write, through the first
    // of two servers; pressing again reaches the second, as after a failover.
    void aWriteCutOffIsReadBackBeforeItIsMadeAgain_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("answered"); // the server did it; the program never heard
        QTest::addColumn<QByteArray>("trigger");
        QTest::addColumn<QString>("between"); // what a press meets before the one that works
        const QList<std::tuple<const char *, QByteArray, QByteArray>> commands{
            {"insert", "INSERT 0 1", "insert into \"ordernow\""},
            {"update", "UPDATE 1", "update \"ordernow\""},
            {"delete", "DELETE 1", "delete from \"ordernow\""},
            {"move", QByteArray("COMMIT\0", 7), QByteArray("commit\0", 7)},
            {"customer", "INSERT 0 1", "insert into customer"}};
        for (const auto &[command, answer, request] : commands) {
            QTest::addRow("%s, answered", command) << QString::fromLatin1(command) << true << answer << QString();
            QTest::addRow("%s, never arrived", command)
                << QString::fromLatin1(command) << false << request << QString();
            // While the new leader is being chosen no server takes the press.
            if (qstrcmp(command, "move") != 0)
                QTest::addRow("%s, answered, then no server", command)
                    << QString::fromLatin1(command) << true << answer << QStringLiteral("no server");
        }
        QTest::addRow("insert, answered, what was typed since cut off")
            << QStringLiteral("insert") << true << QByteArray("INSERT 0 1") << QStringLiteral("follow-up cut");
    }
    void aWriteCutOffIsReadBackBeforeItIsMadeAgain() {
        if (!TestStores::onServer())
            QSKIP("the embedded store always tells whether a write was stored");
        QFETCH(QString, command);
        QFETCH(bool, answered);
        QFETCH(QByteArray, trigger);
        QFETCH(QString, between);
        Session session;
        const int serverPort = CuttingProxy::portOf(session.stores.settings().database);
        const QString text = session.stores.settings().database;
        CuttingProxy first(serverPort, text), second(serverPort, text);
        QVERIFY(first.port() && second.port());
        const qint64 anna =
            session.stores.addCustomer(QStringLiteral("Анна"), QStringLiteral("Иванова"), QStringLiteral("111"));
        for (int i = 1; i <= 3; ++i)
            session.stores.addCurrent(anna, QStringLiteral("Bosch"), QStringLiteral("B-%1").arg(i),
                                      QStringLiteral("Свеча"), i, 150);
        StoreSettings settings = session.stores.settings();
        settings.database += QStringLiteral(" host=127.0.0.1,127.0.0.1 port=%1,%2 target_session_attrs=read-write")
                                 .arg(first.port())
                                 .arg(second.port());
        Startup::createAll(settings);
        TADOTable *lines = DataModule3->ADOTable2;
        QCOMPARE(lines->RecordCount(), 3);
        auto toSecondLine = [&] {
            for (int row = 0; row < lines->RecordCount(); ++row) {
                lines->setRecNo(row);
                if (lines->FieldByName(QStringLiteral("number"))->AsString() == QLatin1String("B-2"))
                    return;
            }
            QFAIL("no line B-2");
        };
        auto press = [&] {
            if (command == QLatin1String("insert")) {
                if (lines->State() != DataSetState::Insert) {
                    lines->Append();
                    lines->FieldByName(QStringLiteral("number"))->setAsString(QStringLiteral("N-1"));
                    lines->FieldByName(QStringLiteral("Kol"))->setAsString(QStringLiteral("7"));
                }
                return errorOf([&] { lines->Post(); });
            }
            if (command == QLatin1String("update")) {
                if (lines->State() != DataSetState::Edit) {
                    toSecondLine();
                    lines->Edit();
                    lines->FieldByName(QStringLiteral("Kol"))->setAsString(QStringLiteral("9"));
                }
                return errorOf([&] { lines->Post(); });
            }
            if (command == QLatin1String("delete")) {
                toSecondLine();
                return errorOf([&] { lines->Delete(); });
            }
            if (command == QLatin1String("customer")) {
                Form4->Show();
                Form4->LabeledEdit2->setText(QStringLiteral("Петрова"));
                Form4->LabeledEdit3->setText(QStringLiteral("222"));
                click(Form4->BitBtn2);
            } else {
                click(Form2->BitBtn10);
            }
            const QStringList boxes = session.messages->texts(QStringLiteral("error"));
            session.messages->clear();
            return boxes.isEmpty() ? noError : boxes.join(QLatin1Char('|'));
        };
        // What the store holds of the write: 0 not done, 1 done once.
        int kol = command == QLatin1String("insert") ? 7 : 9;
        auto done = [&] {
            if (command == QLatin1String("insert") || command == QLatin1String("update"))
                return session.count(QStringLiteral("orderNow"), QStringLiteral("number = ? and kol = ?"),
                                     {command == QLatin1String("insert") ? "N-1" : "B-2", kol});
            if (command == QLatin1String("delete"))
                return 1 - session.count(QStringLiteral("orderNow"), QStringLiteral("number = 'B-2'"));
            if (command == QLatin1String("customer"))
                return session.count(QStringLiteral("customer"), QStringLiteral("lmane = 'Петрова'"));
            return session.count(QStringLiteral("orderAll")) / 3;
        };

        first.cutWhen(answered ? CuttingProxy::Side::Server : CuttingProxy::Side::Program, trigger);
        const QString box = press();
        QVERIFY(first.hasCut());
        QVERIFY2(box.contains(QStringLiteral("connection to the database server was lost")) &&
                     box.contains(QStringLiteral("is not known")),
                 qPrintable(box));
        const QString again = command == QLatin1String("delete")     ? QStringLiteral("Delete again")
                              : command == QLatin1String("customer") ? QStringLiteral("first looked for")
                              : command == QLatin1String("move")     ? QStringLiteral("pressing again")
                                                                     : QStringLiteral("Post again");
        QVERIFY2(box.contains(again), qPrintable(box));
        QCOMPARE(done(), answered ? 1 : 0);
        if (command == QLatin1String("insert") || command == QLatin1String("update"))
            QCOMPARE(lines->State(), command == QLatin1String("insert") ? DataSetState::Insert : DataSetState::Edit);

        // The first server is gone for good: pressing again reaches the other
        // and makes the write exactly once.
        first.stop();
        // The new server may hand the key that try took to another
        // workstation's line: that line is not taken for this one.
        const bool stolen = command == QLatin1String("insert") && !answered;
        if (stolen)
            session.stores.sql(QStringLiteral("insert into orderNow(idcust, number, kol, RowKey) "
                                              "select 999, 'X-1', 7, last_value from ordernow_rowkey_seq"));
        // Typed again after the box: what the row holds in the end.
        if (lines->State() != DataSetState::Browse)
            lines->FieldByName(QStringLiteral("Kol"))->setAsString(QString::number(kol = 8));
        const auto stored = [&] {
            return session.count(QStringLiteral("orderNow")) + session.count(QStringLiteral("orderAll"));
        };
        if (between == QLatin1String("no server")) {
            // The earlier try cannot be looked for: the press fails and
            // forgets nothing, so the next one neither repeats nor refuses it.
            second.refuse(true);
            const int before = stored();
            QVERIFY(press() != noError);
            QCOMPARE(stored(), before);
            second.refuse(false);
        } else if (between == QLatin1String("follow-up cut")) {
            second.cutWhen(CuttingProxy::Side::Program, "update \"ordernow\"");
            const QString cut = press();
            QVERIFY(second.hasCut());
            QVERIFY2(cut.contains(QStringLiteral("is not known")), qPrintable(cut));
            QCOMPARE(lines->State(), DataSetState::Insert);
        }
        QCOMPARE(press(), noError);
        QCOMPARE(done(), 1);
        QCOMPARE(session.count(QStringLiteral("orderNow")) + session.count(QStringLiteral("orderAll")),
                 (command == QLatin1String("insert")   ? 4
                  : command == QLatin1String("delete") ? 2
                                                       : 3) +
                     int(stolen));
        QCOMPARE(session.count(QStringLiteral("orderAll"), QStringLiteral("number = 'B-2'")),
                 command == QLatin1String("move") ? 1 : 0);
        if (command != QLatin1String("move") && command != QLatin1String("customer")) {
            QCOMPARE(lines->State(), DataSetState::Browse);
            QCOMPARE(lines->RecordCount(), command == QLatin1String("insert")   ? 4
                                           : command == QLatin1String("delete") ? 2
                                                                                : 3);
        }
    }

    // A server that says nothing more (hung while its host still takes the
    // packets, or a commit waiting for a standby that is gone) costs the
    // user a box within its bound, the typed line kept; pressing again once
    // it answers stores the line once.
    void aSilentServerIsGivenUp_data() {
        QTest::addColumn<bool>("hung"); // or its standby is gone
        QTest::newRow("the write never answered") << true;
        QTest::newRow("the commit's standby never confirms") << false;
    }
    void aSilentServerIsGivenUp() {
        if (!TestStores::onServer())
            QSKIP("the embedded store has no server to wait for");
        QFETCH(bool, hung);
        // A server of its own: which standby a commit waits for is the whole server's setting.
        PrivateServer server;
        QVERIFY2(server.isValid(), "no private server");
        const QString superuser = TestServer::as(server.connectionText(), QStringLiteral("postgres"));
        if (!OneStatement::refusalOf(superuser, QStringLiteral("select 1")).isEmpty())
            QSKIP("the test server's superuser cannot be reached with the test's login");
        auto session = [&] {
            const PrivateServer::Use use(server);
            return std::make_unique<Session>();
        }();
        const qint64 anna =
            session->stores.addCustomer(QStringLiteral("Анна"), QStringLiteral("Иванова"), QStringLiteral("111"));
        session->stores.addCurrent(anna, QStringLiteral("Bosch"), QStringLiteral("B-1"), QStringLiteral("Свеча"), 1,
                                   150);
        const QString text = session->stores.settings().database;
        CuttingProxy proxy(CuttingProxy::portOf(text), text);
        QVERIFY(proxy.port());
        StoreSettings settings = session->stores.settings();
        settings.database += QStringLiteral(" host=127.0.0.1 port=%1").arg(proxy.port());
        // Each commit waits for a standby nobody runs; set before the program
        // connects, so its server process starts with it.
        const auto waitFor = [&](const QString &standby) {
            QCOMPARE(OneStatement::refusalOf(superuser, QStringLiteral("alter system set synchronous_standby_names = "
                                                                       "'%1'")
                                                            .arg(standby)),
                     QString());
            QCOMPARE(OneStatement::refusalOf(superuser, QStringLiteral("select pg_reload_conf()")), QString());
            QVariant shown;
            QTRY_VERIFY((OneStatement::refusalOf(superuser, QStringLiteral("show synchronous_standby_names"), &shown),
                         shown.toString() == standby));
        };
        // Whatever fails, the stores' clean-up must not wait for that standby.
        const auto reset = qScopeGuard([&] {
            OneStatement::refusalOf(superuser, QStringLiteral("alter system reset synchronous_standby_names"));
            OneStatement::refusalOf(superuser, QStringLiteral("select pg_reload_conf()"));
        });
        if (!hung) {
            // The test servers commit without waiting, for speed; the workstations here wait.
            QCOMPARE(OneStatement::refusalOf(superuser, QStringLiteral("alter role %1 set synchronous_commit = on")
                                                            .arg(TestServer::workstationRole())),
                     QString());
            waitFor(QStringLiteral("absent"));
        }
        Startup::createAll(settings);
        TADOTable *lines = DataModule3->ADOTable2;
        QCOMPARE(lines->RecordCount(), 1);
        lines->Append();
        lines->FieldByName(QStringLiteral("number"))->setAsString(QStringLiteral("N-1"));
        lines->FieldByName(QStringLiteral("Kol"))->setAsString(QStringLiteral("7"));
        if (hung)
            proxy.holdWhen(CuttingProxy::Side::Program, "insert into \"ordernow\"");

        const QString box = errorOf([&] { lines->Post(); });
        QVERIFY(!hung || proxy.hasCut());
        QVERIFY2(box.contains(hung ? QStringLiteral("did not answer within 15 s")
                                   : QStringLiteral("did not confirm that its standby server holds")) &&
                     box.contains(QStringLiteral("is not known")) && box.contains(QStringLiteral("Post again")),
                 qPrintable(box));
        QCOMPARE(lines->State(), DataSetState::Insert);
        QCOMPARE(lines->FieldByName(QStringLiteral("number"))->AsString(), QStringLiteral("N-1"));

        if (!hung) {
            // The line is on that server now, but its standby still never
            // confirms it: found is not stored yet, and it is not written twice.
            const QString again = errorOf([&] { lines->Post(); });
            QVERIFY2(again.contains(QStringLiteral("did not confirm")) && again.contains(QStringLiteral("Post again")),
                     qPrintable(again));
            QCOMPARE(lines->State(), DataSetState::Insert);
            QCOMPARE(session->count(QStringLiteral("orderNow"), QStringLiteral("number = 'N-1'")), 1);
            waitFor(QString());
        }
        QCOMPARE(errorOf([&] { lines->Post(); }), noError);
        QCOMPARE(lines->State(), DataSetState::Browse);
        QCOMPARE(session->count(QStringLiteral("orderNow"), QStringLiteral("number = 'N-1'")), 1);
        QCOMPARE(lines->RecordCount(), 2);
    }

    void aServerThatGoesAwayAndComesBack() {
        if (!TestStores::onServer())
            QSKIP("the embedded store has no server to lose");
        PrivateServer server;
        QVERIFY2(server.isValid(), "no private server");
        auto session = [&] {
            const PrivateServer::Use use(server);
            return std::make_unique<Session>();
        }();
        const qint64 anna =
            session->stores.addCustomer(QStringLiteral("Анна"), QStringLiteral("Иванова"), QStringLiteral("111"));
        session->start();
        unlockByPage();
        TADOQuery *customers = DataModule3->ADOQuery1;
        QCOMPARE(customers->RecordCount(), 1);
        retype(Form2->DBEdit2, QStringLiteral("Смирнова"));

        // Gone: the command that needs it says so, the typed value stays.
        QVERIFY(server.halt());
        click(Form2->BitBtn4);
        QStringList errors = session->messages->texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.last().contains(QStringLiteral("connection to the database server was lost")),
                 qPrintable(errors.last()));
        QCOMPARE(customers->State(), DataSetState::Edit);
        QCOMPARE(Form2->DBEdit2->text(), QStringLiteral("Смирнова"));
        // Still gone: the next command cannot connect, and says that.
        click(Form2->BitBtn4);
        errors = session->messages->texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors.last().startsWith(QStringLiteral("Cannot open database")), qPrintable(errors.last()));

        // Back: the same command stores the value, and the rest reads again.
        QVERIFY(server.resume());
        click(Form2->BitBtn4);
        QCOMPARE(session->messages->texts(QStringLiteral("error")).size(), 2);
        QCOMPARE(customers->State(), DataSetState::Browse);
        QCOMPARE(session->stores.scalar(QStringLiteral("select lmane from customer where idcust = ?"), {anna})
                     .toString()
                     .trimmed(),
                 QStringLiteral("Смирнова"));
        session->stores.addArchived(anna, QStringLiteral("NGK"), QStringLiteral("N-1"), QString(), 1, 75,
                                    QStringLiteral("2024-01-02"));
        DataModule3->ADOQuery2->Close();
        DataModule3->ADOQuery2->Open();
        QCOMPARE(DataModule3->ADOQuery2->RecordCount(), 1);
        session.reset();
    }
};

QTEST_MAIN(TestWorkstations)
#include "tst_workstations.moc"
