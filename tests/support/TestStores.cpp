#include "tests/support/TestStores.h"

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

QVariant runOn(const QString &path, const QString &statement, const QVariantList &values) {
    const QString name = QUuid::createUuid().toString();
    QVariant result;
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
        if (q.isSelect() && q.next())
            result = q.value(0);
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
} // namespace

TestStores::TestStores() {
    const QString schemaDir = QStringLiteral(DREVALON_SOURCE_DIR "/data/schema");
    m_settings.driver = QStringLiteral("QSQLITE");
    m_settings.database = m_dir.filePath(QStringLiteral("drevalon.sqlite"));
    m_settings.aliasDir = m_dir.filePath(QStringLiteral("alias"));
    QDir().mkpath(m_settings.aliasDir);
    createFrom(m_settings.database, schemaDir + QStringLiteral("/database.sqlite.sql"));
    createFrom(carTablePath(), schemaDir + QStringLiteral("/drevalonParadox.sqlite.sql"));
}

TestStores::~TestStores() = default;

QString TestStores::carTablePath() const { return m_settings.aliasDir + QStringLiteral("/drevalonParadox.db"); }

void TestStores::sql(const QString &statement, const QVariantList &values) const {
    runOn(m_settings.database, statement, values);
}

void TestStores::carSql(const QString &statement, const QVariantList &values) const {
    runOn(carTablePath(), statement, values);
}

QVariant TestStores::scalar(const QString &statement, const QVariantList &values) const {
    return runOn(m_settings.database, statement, values);
}

QVariant TestStores::carScalar(const QString &statement, const QVariantList &values) const {
    return runOn(carTablePath(), statement, values);
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
                            int kol, double cena) const {
    sql(QStringLiteral("insert into orderNow(idcust, Firm, number, description, kol, cena) values (?, ?, ?, ?, ?, ?)"),
        {customer, firm, number, description, kol, cena});
}
