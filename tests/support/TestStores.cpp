#include "tests/support/TestStores.h"
#include "data/datasets/PostgresDialect.h"
#include "tests/support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>
#include <sqlite3.h>

namespace {
void createFrom(const QString &path, const QString &schemaFile) {
    QFile file(schemaFile);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(schemaFile));
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        qFatal("cannot create %s", qPrintable(path));
    char *error = nullptr;
    if (sqlite3_exec(db, file.readAll().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        qFatal("schema %s: %s", qPrintable(schemaFile), error);
    sqlite3_close(db);
}

QString serverText() { return TestServer::ownerText(); }

// Runs statements written as for the embedded store on the server, in the
// server's spelling, through a connection of its own.
QVariantList runOnServer(const QString &database, const QString &statement, const QVariantList &values) {
    const QString name = QUuid::createUuid().toString();
    QVariantList result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        PostgresDialect dialect;
        try {
            dialect.open(db, database);
            if (values.isEmpty() && statement.trimmed().contains(QLatin1Char(';'))) {
                // A script: several statements at once, as written.
                QSqlQuery script(db);
                if (!script.exec(statement))
                    throw std::runtime_error(script.lastError().text().toStdString());
            } else {
                for (const QVariantList &row : dialect.execute(db, statement, values).rows)
                    result.append(row.value(0));
            }
        } catch (const std::exception &error) {
            qFatal("%s: %s", qPrintable(statement), error.what());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QVariantList runOn(const QString &path, const QString &statement, const QVariantList &values) {
    const QString name = QUuid::createUuid().toString();
    QVariantList result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        QSqlQuery q(db);
        q.prepare(statement);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
        while (q.isSelect() && q.next())
            result.append(q.value(0));
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
} // namespace

bool TestStores::onServer() { return qEnvironmentVariable("DREVALON_TEST_STORE") == QLatin1String("QPSQL"); }

TestStores::TestStores() {
    const QString schemaDir = QStringLiteral(DREVALON_SOURCE_DIR "/data/schema");
    m_settings.aliasDir = m_dir.filePath(QStringLiteral("alias"));
    // Bound, never written into a statement: a quote in it is just text.
    m_settings.workstation = QStringLiteral("Касса №1 'у окна'");
    QDir().mkpath(m_settings.aliasDir);
    createFrom(carTablePath(), schemaDir + QStringLiteral("/drevalonParadox.sqlite.sql"));
    if (!onServer()) {
        m_settings.driver = QStringLiteral("QSQLITE");
        m_settings.database = m_dir.filePath(QStringLiteral("drevalon.sqlite"));
        createFrom(m_settings.database, schemaDir + QStringLiteral("/database.sqlite.sql"));
        return;
    }
    if (serverText().isEmpty())
        qFatal("DREVALON_TEST_STORE=QPSQL wants the server's connection text in DREVALON_TEST_PG");
    m_server = serverText();
    m_schema = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128);
    QFile file(schemaDir + QStringLiteral("/database.postgres.sql"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the server schema");
    runOnServer(serverText(), QStringLiteral("create schema ") + m_schema, {});
    m_settings.driver = QStringLiteral("QPSQL");
    // The program's sessions carry this run's name, so that a tool looking for
    // them sees this run's program, not another suite's on the same server.
    const QString session = QStringLiteral(" application_name=drevalon-%1 options='-c search_path=%1'").arg(m_schema);
    m_ownerDatabase = serverText() + session;
    runOnServer(m_ownerDatabase, QString::fromUtf8(file.readAll()), {});
    // The workstations may read and write rows, as the store tool's --grant
    // lets them, and change nothing else.
    const QString workstation = TestServer::workstationRole();
    runOnServer(m_ownerDatabase,
                QStringLiteral("grant usage on schema %1 to %2; "
                               "grant select, insert, update, delete on all tables in schema %1 to %2; "
                               "grant usage, select on all sequences in schema %1 to %2;")
                    .arg(m_schema, workstation),
                {});
    m_settings.database = TestServer::as(serverText(), workstation) + session;
}

StoreSettings TestStores::ownerSettings() const {
    StoreSettings owner = m_settings;
    if (!m_ownerDatabase.isEmpty())
        owner.database = m_ownerDatabase;
    return owner;
}

TestStores::~TestStores() {
    if (!m_schema.isEmpty())
        runOnServer(m_server, QStringLiteral("drop schema %1 cascade").arg(m_schema), {});
}

QVariantList TestStores::run(const QString &statement, const QVariantList &values) const {
    return m_schema.isEmpty() ? runOn(m_settings.database, statement, values)
                              : runOnServer(m_ownerDatabase, statement, values);
}

QString TestStores::carTablePath() const { return m_settings.aliasDir + QStringLiteral("/drevalonParadox.db"); }

void TestStores::sql(const QString &statement, const QVariantList &values) const { run(statement, values); }

void TestStores::carSql(const QString &statement, const QVariantList &values) const {
    runOn(carTablePath(), statement, values);
}

QVariant TestStores::scalar(const QString &statement, const QVariantList &values) const {
    return run(statement, values).value(0);
}

void TestStores::refuse(const QString &name, const QString &event, const QString &table, const QString &message,
                        const QString &condition) const {
    if (m_schema.isEmpty()) {
        sql(QStringLiteral("create trigger %1 before %2 on %3 when %4 begin select raise(abort, '%5'); end")
                .arg(name, event, table, condition == QLatin1String("true") ? QStringLiteral("1") : condition,
                     message));
        return;
    }
    sql(QStringLiteral("create function %1() returns trigger language plpgsql as $$ begin if %2 then raise "
                       "exception '%3'; end if; return coalesce(NEW, OLD); end $$;\n"
                       "create trigger %1 before %4 on %5 for each row execute function %1();")
            .arg(name, condition, message, event, table));
}

void TestStores::allow(const QString &name, const QString &table) const {
    if (m_schema.isEmpty())
        sql(QStringLiteral("drop trigger %1").arg(name));
    else
        sql(QStringLiteral("drop trigger %1 on %2; drop function %1();").arg(name, table));
}

QStringList TestStores::column(const QString &statement, const QVariantList &values) const {
    QStringList texts;
    for (const QVariant &value : run(statement, values))
        texts.append(value.toString());
    return texts;
}

QVariant TestStores::carScalar(const QString &statement, const QVariantList &values) const {
    return runOn(carTablePath(), statement, values).value(0);
}

qint64 TestStores::addCustomer(const QString &name, const QString &surname, const QString &phone,
                               const QString &phone2) const {
    auto text = [](const QString &s) { return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s); };
    sql(QStringLiteral("insert into customer(Name, lmane, phone, phone2) values (?, ?, ?, ?)"),
        {text(name), text(surname), text(phone), text(phone2)});
    return scalar(QStringLiteral("select max(idcust) from customer")).toLongLong();
}

void TestStores::addCar(const QString &model, const QString &vin, qint64 owner, const QString &dvs,
                        const QString &kpp) const {
    carSql(QStringLiteral("insert into drevalonParadox(Model, Vin, DVS, KPP, IdCust) values (?, ?, ?, ?, ?)"),
           {model, vin, dvs, kpp, owner});
}

void TestStores::addArchived(qint64 customer, const QString &firm, const QString &number, const QString &description,
                             int kol, double cena, const QString &date) const {
    sql(QStringLiteral("insert into orderAll(idcust, Firm, number, description, kol, cena, Date) "
                       "values (?, ?, ?, ?, ?, ?, ?)"),
        {customer, firm, number, description, kol, cena, date});
}

void TestStores::addCurrent(qint64 customer, const QString &firm, const QString &number, const QString &description,
                            int kol, double cena, const QString &station) const {
    if (m_sharedOrder) {
        sql(QStringLiteral(
                "insert into orderNow(idcust, Firm, number, description, kol, cena) values (?, ?, ?, ?, ?, ?)"),
            {customer, firm, number, description, kol, cena});
        return;
    }
    sql(QStringLiteral("insert into orderNow(idcust, Firm, number, description, kol, cena, station) "
                       "values (?, ?, ?, ?, ?, ?, ?)"),
        {customer, firm, number, description, kol, cena, station.isNull() ? m_settings.workstation : station});
}

void TestStores::makeSharedOrder() {
    if (m_schema.isEmpty())
        sql(QStringLiteral("drop index orderNow_station"));
    sql(QStringLiteral("alter table orderNow drop column station"));
    m_sharedOrder = true;
}
