// The archive opened again in another order from the rows it holds: always
// the very rows and order the store's own ORDER BY gives (ties, nulls, mixed
// case, Cyrillic and digits), and never after a write, here or elsewhere.
// Which opens are served from held rows is exact on a store nobody else
// writes to (on a server, one of this test's own); beside a writer that
// never stops, no open after a write is, and every open is the store's answer.
#include "data/Unit3.h"
#include "tests/support/PrivateServer.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/StoreLogCapture.h"
#include "tests/support/TestStores.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {
// Every value of every row, in the dataset's order.
QStringList rowsOf(TDataSet *ds) {
    QStringList rows;
    for (ds->First(); !ds->Eof(); ds->Next()) {
        QStringList values;
        for (int i = 0; i < ds->FieldCount(); ++i) {
            const QVariant v = ds->Fields(i)->Value();
            values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

// As Поиск does it: the parameters first, then the line that names them.
void setPeriod(TADOQuery *query, const QString &where, const QVariantList &dates) {
    if (!dates.isEmpty()) {
        query->Parameters().AddParameter().Name = QStringLiteral("D1");
        query->Parameters().AddParameter().Name = QStringLiteral("D2");
        query->Parameters().ParamByName(QStringLiteral("D1")).Value = dates[0];
        query->Parameters().ParamByName(QStringLiteral("D2")).Value = dates[1];
    }
    query->SQL().setLine(2, where);
}

// Another program's connection writing to the database until it is told to
// stop: rows of the shop's requisites, never read by the archive.
class Writer {
public:
    explicit Writer(const StoreSettings &settings)
        : m_thread([this, settings] {
              {
                  QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, QStringLiteral("writer"));
                  if (settings.driver == QLatin1String("QPSQL"))
                      db.setConnectOptions(settings.database);
                  else
                      db.setDatabaseName(settings.database);
                  if (db.open()) {
                      QSqlQuery q(db);
                      while (!m_stop) {
                          m_writes += q.exec(QStringLiteral("insert into IP(Name) values ('writer')")) ? 1 : 0;
                          std::this_thread::sleep_for(std::chrono::milliseconds(2));
                      }
                  }
              }
              QSqlDatabase::removeDatabase(QStringLiteral("writer"));
          }) {}
    ~Writer() {
        m_stop = true;
        m_thread.join();
    }
    int writes() const { return m_writes; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_writes{0};
    std::thread m_thread;
};
} // namespace

class TestHeldRows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void sameRowsAndOrderAsTheStore_data() {
        QTest::addColumn<bool>("besideAWriter");
        QTest::newRow("nobody else writes") << false;
        QTest::newRow("beside a writer") << true;
    }
    void sameRowsAndOrderAsTheStore() {
        QFETCH(bool, besideAWriter);
        // Every write anywhere on a server moves its change stamp: only a
        // server of this test's own tells exactly which opens may be held.
        std::unique_ptr<PrivateServer> server;
        if (TestStores::onServer() && !besideAWriter) {
            server = std::make_unique<PrivateServer>();
            QVERIFY2(server->isValid(), "no private server");
        }
        std::optional<PrivateServer::Use> use;
        if (server)
            use.emplace(*server);
        TestStores stores;
        // Few distinct values, so nearly every key ties, inserted in a shuffled
        // order so that no order of the rows is the order they were written in.
        const QVariantList firms = {QStringLiteral("bosch"),
                                    QStringLiteral("Bosch"),
                                    QStringLiteral("BOSCH"),
                                    QStringLiteral("Ёлка"),
                                    QStringLiteral("ёлка"),
                                    QStringLiteral("Елка"),
                                    QStringLiteral("10"),
                                    QStringLiteral("9"),
                                    QStringLiteral("2a"),
                                    QString(),
                                    QVariant(),
                                    QStringLiteral("Zz 😀"),
                                    QStringLiteral("Zz Ａ")}; // U+FF21 before U+1F600, though not in UTF-16
        const QVariantList prices = {450.0, -12.5, 0.0, 1e9, QVariant(), 450.0, 3.25, -0.0};
        const QVariantList dates = {QStringLiteral("2025-12-01"), QStringLiteral("2026-03-14"),
                                    QStringLiteral("2024-02-29"), QVariant()};
        // The part numbers are all distinct: one is null, two differ only past U+FFFF.
        const QVariantList oddNumbers = {QVariant(), QStringLiteral("N-😀"), QStringLiteral("N-Ａ")};
        QRandomGenerator random(22);
        for (int i = 0; i < 240; ++i) {
            const int pick = int(random.bounded(1000));
            const QVariant number =
                i < oddNumbers.size() ? oddNumbers[i] : QVariant(QStringLiteral("N-%1").arg(pick * 1000 + i));
            stores.sql(QStringLiteral("insert into orderAll(idcust, Firm, number, description, kol, cena, Date) "
                                      "values (?, ?, ?, ?, ?, ?, ?)"),
                       {pick % 5 == 0 ? QVariant() : QVariant(pick % 4), firms[pick % firms.size()], number,
                        QStringLiteral("line"), pick % 3, prices[pick % prices.size()], dates[pick % dates.size()]});
        }
        ScriptedMessagesGuard messages;
        // As the tables' owner: one step makes the table anew on the module's own connection.
        TDataModule3 module(stores.ownerSettings());
        TADOQuery *archive = module.ADOQuery2;
        std::optional<Writer> writer;
        if (besideAWriter)
            writer.emplace(stores.settings());
        // The store's own answer: the same statement on a query that holds nothing.
        TADOQuery fresh(QStringLiteral("fresh"));
        fresh.setConnection(module.ADOConnection1);

        const QVariantList year = {QStringLiteral("01.01.2025"), QStringLiteral("31.12.2025")};
        struct Step {
            const char *what;
            const char *order;
            bool held; // whether the rows held answer it
        };
        const Step steps[] = {
            {"sort", "ORDER BY idCust ASC", true},
            {"sort", "ORDER BY firm DESC", true},
            {"sort", "ORDER BY Firm ASC", true},
            {"sort", "ORDER BY cena DESC", true},
            {"sort", "ORDER BY cena ASC", true},
            {"sort", "ORDER BY Date DESC", true},
            {"sort", "ORDER BY Date ASC", true},
            {"sort", "ORDER BY number DESC", true},
            {"period", "ORDER BY number DESC", false}, // Поиск: the whole archive held, the period read
            {"sort", "ORDER BY idCust DESC", true},
            {"all", "ORDER BY idCust DESC", true}, // За весь период: the whole archive, held before
            {"sort", "ORDER BY kol DESC, Firm ASC", true},
            {"sort", "", true},
            {"again", "", true},
            {"written elsewhere", "ORDER BY Firm DESC", false},
            {"written here", "ORDER BY cena DESC", false},
            {"sort", "ORDER BY Date DESC", true},
            {"sort", "ORDER BY lower(Firm)", false},        // not a plain name: read
            {"made anew here", "ORDER BY Firm ASC", false}, // no row written, yet none is left
        };
        for (const Step &step : steps) {
            const QString what = QStringLiteral("%1 %2").arg(QLatin1String(step.what), QLatin1String(step.order));
            const QString name = QStringLiteral("N-written-%1").arg(what.size());
            if (qstrcmp(step.what, "written elsewhere") == 0)
                stores.sql(QStringLiteral("insert into orderAll(idcust, Firm, number) values (1, 'bosch', ?)"), {name});
            const bool madeAnew = qstrcmp(step.what, "made anew here") == 0;
            if (madeAnew) {
                module.ADOConnection1->run(QStringLiteral("alter table orderAll rename to orderOld"));
                module.ADOConnection1->run(
                    QStringLiteral("create table orderAll as select * from orderOld where 1 = 0"));
            }
            if (qstrcmp(step.what, "written here") == 0) {
                archive->First();
                archive->Edit();
                archive->FieldByName(QStringLiteral("Цена(шт)"))->setValue(7.5);
                archive->Post();
            }
            archive->Close();
            if (qstrcmp(step.what, "period") == 0) {
                setPeriod(archive, QStringLiteral(" "), {}); // Поиск opens the whole archive first
                archive->Open();
                archive->Close();
                setPeriod(archive, QStringLiteral("where [Date] between :D1 and :D2"), year);
            } else if (qstrcmp(step.what, "all") == 0) {
                setPeriod(archive, QStringLiteral(" "), {});
            }
            archive->SQL().setLine(3, QString::fromUtf8(step.order));
            StoreLogCapture log(true);
            archive->Open();
            const bool held = log.lines.filter(QStringLiteral("rows held")).size() == 1;
            // Beside a writer the rows may be read anew where they could be held, never the other way.
            QVERIFY2(besideAWriter ? (step.held || !held) : held == step.held, qPrintable(what));

            fresh.Close();
            fresh.SQL().setLines(archive->SQL().lines());
            for (int i = 0; i < archive->Parameters().Count(); ++i)
                fresh.Parameters().ParamByName(archive->Parameters().Items(i).Name).Value =
                    archive->Parameters().Items(i).Value;
            fresh.forgetHeldRows(); // it reads: the store's own answer
            fresh.Open();
            const QStringList expected = rowsOf(&fresh), actual = rowsOf(archive);
            QVERIFY2(expected.size() > 20 || madeAnew, qPrintable(what));
            QCOMPARE(actual, expected);
            QVERIFY(messages->boxes().isEmpty());
        }
        if (writer)
            QVERIFY(writer->writes() > 0);
    }
};

QTEST_MAIN(TestHeldRows)
#include "tst_heldrows.moc"
