// SPDX-License-Identifier: GPL-3.0-or-later
// A server's backup restores rows and nothing else, through the real
// drevalon-stores on the server named by DREVALON_TEST_PG: an archive holding
// anything pg_dump would not make of the program's tables is refused by
// --verify and --restore, and nothing of it runs; a superuser restores only
// when asked; and the workstations' role, after a restore as before, reads and
// writes rows but can change no table; and what a restore killed between the
// server's commit and the car table's rename left is settled by the next run
// of the tool or start of the program, to the old pair or the new.

#include "data/Unit3.h"
#include "platform/RestoreMark.h"
#include "tests/support/BackupKit.h"
#include "tests/support/OneStatement.h"
#include "tests/support/TestServer.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>
#include <QtTest>

using namespace BackupKit;
using StoreTool::Run;
using StoreTool::storeArguments;
using StoreTool::tool;

namespace {

using OneStatement::refusalOf;

// The tool as it runs with a pg_restore whose listing leaves out every entry
// named `hidden`: the only way to let a backup holding one be finished.
Run toolHiding(const QStringList &arguments, const QString &hidden) {
    QTemporaryDir bin;
    QFile fake(bin.filePath(QStringLiteral("pg_restore")));
    if (!fake.open(QIODevice::WriteOnly))
        return {};
    fake.write(QStringLiteral("#!/bin/sh\nif [ \"$1\" = --list ]; then '%1' \"$@\" | grep -v ' %2 '; "
                              "else exec '%1' \"$@\"; fi\n")
                   .arg(QStandardPaths::findExecutable(QStringLiteral("pg_restore")), hidden)
                   .toUtf8());
    fake.close();
    fake.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    return StoreTool::toolWithPrograms(arguments, bin.path());
}

// The id of a transaction on the server that committed, or that rolled back.
QString transactionThat(const QString &connection, bool commit) {
    const QString name = QUuid::createUuid().toString();
    QString id;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(connection);
        QSqlQuery q(db);
        if (db.open() && db.transaction() && q.exec(QStringLiteral("select pg_current_xact_id()::text")) && q.next())
            id = q.value(0).toString();
        commit ? db.commit() : db.rollback();
    }
    QSqlDatabase::removeDatabase(name);
    return id;
}

} // namespace

class TestServerRestore : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!TestStores::onServer())
            QSKIP("a server's backups: run with DREVALON_TEST_STORE=QPSQL");
    }

    void aCraftedArchiveIsRefusedAndRunsNothing_data() {
        QTest::addColumn<QString>("craft");
        QTest::addColumn<QString>("entry"); // the entry named by the refusal; none: the table's own text carries it
        const QString emptying = QStringLiteral(
            "create function evil() returns trigger language plpgsql as $$ begin delete from orderall; return null; "
            "end $$; ");
        QTest::newRow("a trigger on the order lines emptying the archive")
            << emptying + "create trigger evil after insert on ordernow for each row execute function evil();"
            << "TRIGGER \\S+ ordernow evil";
        QTest::newRow("a rule") << QStringLiteral(
                                       "create rule evil as on insert to ordernow do also delete from orderall;")
                                << "RULE \\S+ ordernow evil";
        QTest::newRow("a check put off till later")
            << QStringLiteral("alter table orderall add constraint evil check (kol < 1000000) not valid;")
            << "CHECK CONSTRAINT \\S+ orderall evil";
        QTest::newRow("a row policy") << QStringLiteral("create policy evil on customer using (false);")
                                      << "POLICY \\S+ customer evil";
        QTest::newRow("an index of its own")
            << QStringLiteral("create index evil on orderall (cena);") << "INDEX \\S+ evil";
        // What a table's own text carries: the archive may hold it, but the
        // tables are made from the program's schema, so it never comes along.
        QTest::newRow("a default calling a function")
            << QStringLiteral("create function evil() returns text language sql as $$ delete from orderall; "
                              "select 'x' $$; alter table ip alter column inn set default evil();")
            << QString();
        QTest::newRow("a check calling a function")
            << QStringLiteral("create function evil(k integer) returns boolean language plpgsql as $$ begin if k = "
                              "999 then delete from orderall where kol <> 999; end if; return true; end $$; "
                              "alter table orderall add constraint evil check (evil(kol));")
            << QString();
    }
    void aCraftedArchiveIsRefusedAndRunsNothing() {
        QFETCH(QString, craft);
        QFETCH(QString, entry);
        TestStores stores;
        fill(stores, 200, QStringLiteral("Kept"));
        const QStringList arguments = storeArguments(stores.ownerSettings());
        QTemporaryDir dir;
        const QString sound = backUp(stores, dir.path());
        QVERIFY(!sound.isEmpty());
        stores.sql(craft);
        // The tool will not finish such a backup itself.
        QTemporaryDir craftedDir;
        const Run unfinished = tool(arguments + QStringList{QStringLiteral("--backup"), craftedDir.path()});
        QString crafted = writtenBackup(unfinished);
        if (!entry.isEmpty()) {
            QCOMPARE(unfinished.exitCode, 1);
            QVERIFY2(QRegularExpression(entry).match(unfinished.err).hasMatch(), qPrintable(unfinished.err));
            const Run made = toolHiding(arguments + QStringList{QStringLiteral("--backup"), craftedDir.path()},
                                        QStringLiteral("evil"));
            QVERIFY2(made.exitCode == 0, qPrintable(made.err));
            crafted = writtenBackup(made);
        }
        QVERIFY2(!crafted.isEmpty(), qPrintable(unfinished.err));

        // The stores back as they were, without the crafted objects.
        const Run clean = tool(arguments + QStringList{QStringLiteral("--restore"), sound, QStringLiteral("--force")});
        QVERIFY2(clean.exitCode == 0, qPrintable(clean.err));
        stores.sql(QStringLiteral("drop function if exists evil cascade"));
        const QString state = stateOf(stores), carState = carStateOf(stores);
        const QString evil = QStringLiteral(
            "select (select count(*) from pg_class where relname = 'evil' and relnamespace = "
            "current_schema()::regnamespace)"
            " + (select count(*) from pg_proc where proname = 'evil' and pronamespace = current_schema()::regnamespace)"
            " + (select count(*) from pg_trigger t join pg_class c on c.oid = t.tgrelid where t.tgname = 'evil' and "
            "c.relnamespace = current_schema()::regnamespace)"
            " + (select count(*) from pg_rewrite where rulename = 'evil') + (select count(*) from pg_policy where "
            "polname = 'evil') + (select count(*) from pg_constraint where conname = 'evil' and connamespace = "
            "current_schema()::regnamespace) + (select count(*) from pg_attrdef d join pg_class c on c.oid = d.adrelid "
            "where c.relnamespace = current_schema()::regnamespace and pg_get_expr(d.adbin, d.adrelid) like '%evil%')");
        QCOMPARE(stores.scalar(evil).toInt(), 0);

        if (entry.isEmpty()) {
            const Run restored =
                tool(arguments + QStringList{QStringLiteral("--restore"), crafted, QStringLiteral("--force")});
            QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
            QCOMPARE(stateOf(stores), state);
            QCOMPARE(stores.scalar(evil).toInt(), 0);
            // Rows written after it run nothing either.
            stores.addArchived(1, QStringLiteral("Firm"), QStringLiteral("N"), QStringLiteral("line"), 999, 1,
                               QStringLiteral("2026-01-01"));
            stores.addCurrent(1, QStringLiteral("Firm"), QStringLiteral("N"), QStringLiteral("line"), 999, 1);
            stores.sql(QStringLiteral("insert into ip (name) values ('x')"));
            QCOMPARE(stores.scalar(QStringLiteral("select count(*) from orderAll")).toInt(), 201);
            return;
        }
        for (const QStringList &command :
             {QStringList{QStringLiteral("--verify"), crafted},
              arguments + QStringList{QStringLiteral("--restore"), crafted, QStringLiteral("--force")}}) {
            const Run run = tool(command);
            QVERIFY2(run.exitCode == 1, qPrintable(run.out + run.err));
            QVERIFY2(QRegularExpression(QStringLiteral("^drevalon-stores: \\S+ holds other objects than this "
                                                       "program's stores: its server archive holds an entry the "
                                                       "program's tables do not make: ") +
                                        entry)
                         .match(run.err)
                         .hasMatch(),
                     qPrintable(run.err));
            QCOMPARE(stateOf(stores), state);
            QCOMPARE(carStateOf(stores), carState);
            QCOMPARE(stores.scalar(evil).toInt(), 0);
        }
    }

    // The workstations' role reads and writes rows and takes keys, before a
    // restore and after it, and can neither drop, alter nor add a table. Only
    // the tables' owner restores; a superuser only when asked.
    void theWorkstationsKeepToTheirRows() {
        TestStores stores;
        fill(stores, 50, QStringLiteral("Kept"));
        const QString workstation = stores.settings().database;
        const QStringList owner = storeArguments(stores.ownerSettings());
        QTemporaryDir dir;
        const QString backup = backUp(stores, dir.path());
        QVERIFY(!backup.isEmpty());
        const QString state = stateOf(stores);

        StoreSettings superuser = stores.ownerSettings();
        superuser.database = TestServer::as(superuser.database, QStringLiteral("postgres"));
        if (!refusalOf(superuser.database, QStringLiteral("select 1")).isEmpty())
            QSKIP("the test server's superuser cannot be reached with the test's login");
        const Run refused = tool(storeArguments(superuser) +
                                 QStringList{QStringLiteral("--restore"), backup, QStringLiteral("--force")});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("not restoring as the superuser postgres")),
                 qPrintable(refused.err));
        QCOMPARE(stateOf(stores), state);

        for (const QStringList &how : {QStringList{}, QStringList{QStringLiteral("--as-superuser")}}) {
            const QStringList by = how.isEmpty() ? owner : storeArguments(superuser);
            const Run restored =
                tool(by + QStringList{QStringLiteral("--restore"), backup, QStringLiteral("--force")} + how);
            QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
            QCOMPARE(stateOf(stores), state);
            for (const QString &rows : {QStringLiteral("select count(*) from customer"),
                                        QStringLiteral("insert into customer (name) values ('Новый')"),
                                        QStringLiteral("update orderall set kol = kol where false"),
                                        QStringLiteral("delete from ip where false"),
                                        QStringLiteral("select nextval(pg_get_serial_sequence('orderall', 'rowkey'))")})
                QCOMPARE(refusalOf(workstation, rows), QString());
            for (const QString &change :
                 {QStringLiteral("drop table orderall"), QStringLiteral("alter table customer add column evil text"),
                  QStringLiteral("truncate orderall"), QStringLiteral("create table evil (x int)"),
                  QStringLiteral("create function evil() returns int language sql as 'select 1'")})
                QVERIFY2(!refusalOf(workstation, change).isEmpty(), qPrintable(change));
            stores.sql(QStringLiteral("delete from customer where name = 'Новый'"));
        }
    }

    void anInterruptedRestoreIsSettled_data() {
        QTest::addColumn<bool>("committed");
        QTest::addColumn<QString>("settler");
        for (const char *settler : {"backup", "restore", "program start"}) {
            QTest::newRow(QByteArray("committed, by the ").append(settler).constData()) << true << settler;
            QTest::newRow(QByteArray("rolled back, by the ").append(settler).constData()) << false << settler;
        }
    }
    void anInterruptedRestoreIsSettled() {
        QFETCH(bool, committed);
        QFETCH(QString, settler);
        TestStores stores;
        fill(stores, 50, QStringLiteral("Kept"));
        const QStringList owner = storeArguments(stores.ownerSettings());
        QTemporaryDir dir;
        const QString backup = backUp(stores, dir.path());
        QVERIFY(!backup.isEmpty());
        // What a restore killed after writing its mark leaves: the new car
        // table beside the old under the name of a run that is gone.
        const QString car = stores.carTablePath();
        const QString staging = car + QStringLiteral(".creating-999999999"), kept = car + QStringLiteral(".kept");
        const QString before = carStateOf(stores);
        QVERIFY(QFile::copy(car, kept));
        stores.carSql(QStringLiteral("delete from drevalonParadox"));
        QVERIFY(QFile::copy(car, staging));
        QVERIFY(QFile::remove(car) && QFile::rename(kept, car));
        QCOMPARE(carStateOf(stores), before);
        const QString transaction = transactionThat(stores.ownerSettings().database, committed);
        QVERIFY(!transaction.isEmpty());
        QVERIFY(RestoreMark::write(car, transaction, staging));

        if (settler == QLatin1String("program start")) {
            TDataModule3 module(stores.settings());
            QVERIFY(module.Table1->Active());
        } else {
            const Run run =
                tool(owner + (settler == QLatin1String("backup")
                                  ? QStringList{QStringLiteral("--backup"), dir.path()}
                                  : QStringList{QStringLiteral("--restore"), backup, QStringLiteral("--force")}));
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        }
        QVERIFY(!QFileInfo::exists(RestoreMark::markPath(car)));
        QVERIFY(!QFileInfo::exists(staging));
        if (settler == QLatin1String("restore"))
            return; // the restore then put its own pair in place
        QCOMPARE(carStateOf(stores), committed ? QStringLiteral("0/0") : before);
    }
};

QTEST_MAIN(TestServerRestore)
#include "tst_serverrestore.moc"
