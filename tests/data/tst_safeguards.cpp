// Nothing lost, nothing stale, nothing half-made: rows added by others show with
// their master, a stored row is never reported lost, a row deleted and made
// again by someone else is never taken for the one read, values the store
// cannot keep, and failures that must leave datasets and statements as they were;
// what is swallowed on the way is logged when asked for.
#include "data/Unit3.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlLiteral.h"
#include "tests/support/Errors.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/StoreLogCapture.h"
#include "tests/support/TestStores.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QTest>
#include <atomic>
#include <dlfcn.h>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {
std::atomic<bool> refuseSingleRows{false};
} // namespace

// The server's client library refuses to send rows one at a time only in
// states the program never reaches; this stands in for such a refusal, while
// the server, the statement and its rows stay real.
extern "C" int PQsetSingleRowMode(PGconn *conn) {
    if (refuseSingleRows)
        return 0;
    static const auto library = reinterpret_cast<int (*)(PGconn *)>(dlsym(RTLD_NEXT, "PQsetSingleRowMode"));
    return library(conn);
}

namespace {
sqlite3 *handleOf(TADOConnection *connection) {
    return *static_cast<sqlite3 *const *>(connection->database().driver()->handle().constData());
}

// Refuses the first read prepared after a row was inserted: a store that
// accepts a write and then, for a moment, answers no more.
int refuseReadAfterInsert(void *armed, int action, const char *, const char *, const char *, const char *) {
    bool &after = *static_cast<bool *>(armed);
    if (action == SQLITE_INSERT)
        after = true;
    if (action == SQLITE_SELECT && after) {
        after = false;
        return SQLITE_DENY;
    }
    return SQLITE_OK;
}

} // namespace

class TestSafeguards : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStores> stores;
    std::unique_ptr<ScriptedMessagesGuard> boxes;
    std::unique_ptr<TDataModule3> module;
    qint64 ivanov = 0, petrov = 0;

    int count(const QString &sql, const QVariantList &values = {}) const { return stores->scalar(sql, values).toInt(); }

private slots:
    void init() {
        stores = std::make_unique<TestStores>();
        boxes = std::make_unique<ScriptedMessagesGuard>();
        ivanov = stores->addCustomer(QStringLiteral("Ivan"), QStringLiteral("Ivanov"), QStringLiteral("1"));
        petrov = stores->addCustomer(QStringLiteral("Petr"), QStringLiteral("Petrov"), QStringLiteral("2"));
        stores->addCar(QStringLiteral("Lada"), QStringLiteral("V1"), ivanov);
        stores->addCar(QStringLiteral("Kia"), QStringLiteral("V2"), ivanov);
        stores->addCurrent(ivanov, QStringLiteral("Mann"), QStringLiteral("C1"), QStringLiteral("Filter"), 2, 800);
        module = std::make_unique<TDataModule3>(stores->settings());
    }
    void cleanup() {
        module.reset();
        boxes.reset();
        stores.reset();
    }

    void carsAddedMeanwhileShowWhenTheMasterMovesBack() {
        TADOQuery *customers = module->ADOQuery1;
        QCOMPARE(module->Table1->RecordCount(), 2);
        // One car through the program's own insert, one by another program.
        module->Query1->SQL().setLine(1, QStringLiteral("VALUES ('Ford','V3','','',%1)").arg(ivanov));
        module->Query1->ExecSQL();
        stores->addCar(QStringLiteral("Audi"), QStringLiteral("V4"), ivanov);
        customers->Next();
        QCOMPARE(module->Table1->RecordCount(), 0);
        customers->Prior();
        QCOMPARE(module->Table1->RecordCount(), 4);
        // Nothing changed: moving reads nothing and shows the same.
        customers->Next();
        customers->Prior();
        QCOMPARE(module->Table1->RecordCount(), 4);
    }

    void aStoredRowIsNeverReportedLost() {
        if (TestStores::onServer())
            QSKIP("the refused read is injected through the embedded store's authorizer");
        TADOTable *lines = module->ADOTable2;
        bool armed = false;
        sqlite3_set_authorizer(handleOf(module->ADOConnection1), refuseReadAfterInsert, &armed);
        lines->Insert();
        lines->FieldByName(QStringLiteral("Firm"))->setAsString(QStringLiteral("Bosch"));
        QCOMPARE(errorOf([&] { lines->Post(); }), noError);
        sqlite3_set_authorizer(handleOf(module->ADOConnection1), nullptr, nullptr);
        QCOMPARE(lines->State(), DataSetState::Browse);
        QVERIFY(errorOf([&] { lines->Post(); }).contains(QStringLiteral("not in edit or insert mode")));
        QCOMPARE(count(QStringLiteral("select count(*) from orderNow where Firm = 'Bosch'")), 1);
    }

    void rowsComeWholeWhenNotSentOneByOne() {
        if (!TestStores::onServer())
            QSKIP("rows are sent one by one only by the database server");
        TADOQuery *customers = module->ADOQuery1;
        refuseSingleRows = true;
        const auto restore = qScopeGuard([] { refuseSingleRows = false; });
        customers->Close();
        customers->Open();
        QCOMPARE(customers->RecordCount(), 2);
        customers->Last();
        QCOMPARE(customers->FieldByName(QStringLiteral("Фамилия"))->AsString().trimmed(), QStringLiteral("Petrov"));
    }

    void aRowMadeAgainByOthersIsNotTheRowRead() {
        TADOQuery *check = module->ADOQuery8;
        check->Open();
        QCOMPARE(check->RecordCount(), 1);
        // Another workstation clears the order and enters the same line for someone else.
        stores->sql(QStringLiteral("delete from orderNow"));
        stores->addCurrent(petrov, QStringLiteral("Mann"), QStringLiteral("C1"), QStringLiteral("Filter"), 2, 800);
        QVERIFY(errorOf([&] { check->Delete(); }).contains(QStringLiteral("Row cannot be located for deleting")));
        QCOMPARE(count(QStringLiteral("select count(*) from orderNow where idcust = ?"), {petrov}), 1);
    }

    void valuesTheStoreCannotKeep() {
        TADOTable *lines = module->ADOTable2;
        lines->Insert();
        for (const QString &text :
             {QStringLiteral("nan"), QStringLiteral("inf"), QStringLiteral("-inf"), QStringLiteral("1e400")})
            QCOMPARE(errorOf([&] { lines->FieldByName(QStringLiteral("cena"))->setAsString(text); }),
                     QStringLiteral("'%1' is not a valid floating point value for field 'cena'").arg(text));
        lines->Cancel();

        // A lone surrogate: the characters after it are kept, written through a
        // literal or a bound value alike, and a search finds what was stored.
        const QString typed = QStringLiteral("Ab") + QChar(0xD800) + QStringLiteral("cd");
        const QString stored = QStringLiteral("Ab") + QChar(QChar::ReplacementCharacter) + QStringLiteral("cd");
        module->ADOQuery3->SQL().setLine(1, QStringLiteral("VALUES ('%1','x','1','')").arg(sqlLiteralBody(typed)));
        module->ADOQuery3->ExecSQL();
        lines->Insert();
        lines->FieldByName(QStringLiteral("Firm"))->setAsString(typed);
        lines->Post();
        QCOMPARE(count(QStringLiteral("select count(*) from orderNow where Firm = ?"), {stored}), 1);
        TADOQuery *customers = module->ADOQuery1;
        customers->SQL().setLine(2, QStringLiteral("where Name='%1'").arg(sqlLiteralBody(typed)));
        customers->Open();
        QCOMPARE(customers->RecordCount(), 1);
        QCOMPARE(customers->FieldByName(QStringLiteral("Имя"))->AsString().trimmed(), stored);
    }

    void rowsReadAheadStandOnlyForTheSameStatement() {
        TADOQuery *archive = module->ADOQuery2;
        stores->addArchived(ivanov, QStringLiteral("NGK"), QStringLiteral("B1"), QString(), 4, 300,
                            QStringLiteral("2011-05-23"));
        archive->Close();
        archive->prefetch();
        archive->Open();
        QCOMPARE(archive->RecordCount(), 1);
        QCOMPARE(archive->FieldByName(QStringLiteral("Дата"))->AsString(), QStringLiteral("23.05.2011 "));
        // A row stored by another workstation once the rows were read ahead:
        // the open reads afresh and shows it.
        archive->Close();
        archive->prefetch();
        QTRY_VERIFY(!archive->prefetching());
        stores->addArchived(ivanov, QStringLiteral("NGK"), QStringLiteral("B2"), QString(), 1, 300,
                            QStringLiteral("2011-05-24"));
        archive->Open();
        QCOMPARE(archive->RecordCount(), 2);
        // The statement changed after the read began: the open reads afresh.
        archive->Close();
        archive->prefetch();
        archive->SQL().setLine(2, QStringLiteral("where kol > 10"));
        archive->Open();
        QCOMPARE(archive->RecordCount(), 0);
        // A read ahead that fails leaves the open to fail with its own error.
        archive->Close();
        archive->SQL().setLine(2, QStringLiteral("where nosuchcolumn = 1"));
        archive->prefetch();
        QVERIFY(errorOf([&] { archive->Open(); }).contains(QStringLiteral("nosuchcolumn")));
        QVERIFY(!archive->Active());
    }

    void aSwallowedFailureIsLoggedOnlyWhenAsked() {
        // The failed read ahead is read again by the open, which reports its
        // own error; what was swallowed is written only with the category on.
        TADOQuery *archive = module->ADOQuery2;
        for (const bool on : {false, true}) {
            const StoreLogCapture log(on);
            archive->Close();
            archive->SQL().setLine(2, QStringLiteral("where nosuchcolumn = %1").arg(int(on)));
            archive->prefetch();
            QVERIFY(errorOf([&] { archive->Open(); }).contains(QStringLiteral("nosuchcolumn")));
            if (!on) {
                QCOMPARE(log.lines, QStringList());
                continue;
            }
            const QStringList said = log.lines.filter(QStringLiteral("ADOQuery2 read ahead failed"));
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.front().contains(QStringLiteral("nosuchcolumn")), qPrintable(said.front()));
        }
    }

    void failuresLeaveNothingHalfMade() {
        // An open whose master link cannot be built stays closed and can be retried.
        TADOTable *lines = module->ADOTable2;
        lines->Close();
        lines->setMasterFields(QStringLiteral("NoSuchField"));
        QVERIFY(errorOf([&] { lines->Open(); }) != noError);
        QVERIFY(!lines->Active());
        lines->setMasterFields(QStringLiteral("Idcust"));
        lines->Open();
        QVERIFY(lines->Active());

        // A statement line whose implicit close fails keeps its old text.
        module->Table1->Insert();
        module->Table1->FieldByName(QStringLiteral("Vin"))->setAsString(QStringLiteral("12345678901234567"));
        stores->carSql(QStringLiteral("create trigger refuse before insert on drevalonParadox begin "
                                      "select raise(abort, 'refused'); end"));
        const QString before = module->ADOQuery1->SQL().text();
        QVERIFY(errorOf([&] {
                    module->ADOQuery1->SQL().setLine(2, QStringLiteral("where Name='Petr'"));
                }).contains(QStringLiteral("refused")));
        QCOMPARE(module->ADOQuery1->SQL().text(), before);
        module->Table1->Cancel();

        // A statement that returns no rows is refused by an open and never run.
        module->ADOQuery9->SQL().setLines({QStringLiteral("delete from ordernow")});
        QVERIFY(errorOf([&] { module->ADOQuery9->Open(); }).contains(QStringLiteral("does not return a result set")));
        QCOMPARE(count(QStringLiteral("select count(*) from orderNow")), 1);
    }
};

QTEST_GUILESS_MAIN(TestSafeguards)
#include "tst_safeguards.moc"
