#include "tests/support/StoreProbe.h"
#include "data/datasets/PostgresDialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

namespace {
QString connectionName() { return QStringLiteral("probe:") + QUuid::createUuid().toString(QUuid::Id128); }

// Each table with its key column, in both stores.
struct Kept {
    const char *name;
    const char *key;
    bool cars;
};
const Kept tables[] = {{"customer", "idcust", false},
                       {"orderAll", "RowKey", false},
                       {"orderNow", "RowKey", false},
                       {"IP", "RowKey", false},
                       {"drevalonParadox", "IdCar", true}};

QList<QVariantList> readAll(const QSqlDatabase &db, const QString &statement, const QVariantList &values,
                            QStringList *names = nullptr) {
    QList<QVariantList> out;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(statement))
        qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
    const QSqlRecord record = q.record();
    if (names)
        for (int c = 0; c < record.count(); ++c)
            names->append(record.fieldName(c).toLower());
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < record.count(); ++c)
            row.append(q.value(c));
        out.append(row);
    }
    q.finish(); // no read left open: the program writes next
    return out;
}

QSqlDatabase openFile(const QString &name, const QString &path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    if (!db.open())
        qFatal("cannot open %s", qPrintable(path));
    return db;
}
} // namespace

StoreProbe::StoreProbe(const TestStores &stores) : m_database(connectionName()), m_cars(connectionName()) {
    openFile(m_cars, stores.carTablePath());
    if (!TestStores::onServer()) {
        openFile(m_database, stores.databasePath());
        return;
    }
    m_server = std::make_unique<PostgresDialect>();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_database);
    try {
        m_server->open(db, stores.databasePath());
    } catch (const std::exception &error) {
        qFatal("cannot open the server store: %s", error.what());
    }
}

StoreProbe::~StoreProbe() {
    for (const QString &name : {m_database, m_cars}) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

QList<QVariantList> StoreProbe::rows(const QString &statement, const QVariantList &values) const {
    const QSqlDatabase db = QSqlDatabase::database(m_database, false);
    if (!m_server)
        return readAll(db, statement, values);
    try {
        const std::vector<QVariantList> read = m_server->execute(db, statement, values).rows;
        return QList<QVariantList>(read.begin(), read.end());
    } catch (const std::exception &error) {
        qFatal("%s: %s", qPrintable(statement), error.what());
    }
}

QList<QVariantList> StoreProbe::carRows(const QString &statement, const QVariantList &values) const {
    return readAll(QSqlDatabase::database(m_cars, false), statement, values);
}

StoreProbe::Snapshot StoreProbe::snapshot() const {
    Snapshot out;
    for (const Kept &table : tables) {
        const QString name = QString::fromLatin1(table.name);
        const QString statement =
            QStringLiteral("select * from %1 order by %2").arg(name, QString::fromLatin1(table.key));
        QStringList names;
        QList<QVariantList> read;
        if (table.cars || !m_server) {
            read = readAll(QSqlDatabase::database(table.cars ? m_cars : m_database, false), statement, {}, &names);
        } else {
            // The server's rows come without names: take them from the catalogue once.
            read = rows(statement);
            QStringList &known = m_serverNames[name];
            if (known.isEmpty())
                for (const QVariantList &column :
                     rows(QStringLiteral("select column_name from information_schema.columns where table_name = ? "
                                         "and table_schema = current_schema() order by ordinal_position"),
                          {name.toLower()}))
                    known.append(column.value(0).toString().toLower());
            names = known;
        }
        const qsizetype keyAt = names.indexOf(QString::fromLatin1(table.key).toLower());
        Table &rowsOf = out[name];
        rowsOf.columns = names;
        for (const QVariantList &values : read)
            rowsOf.rows.insert(values.value(keyAt).toLongLong(), values);
    }
    return out;
}

QStringList StoreProbe::changes(const Snapshot &before, const Snapshot &after) {
    QStringList out;
    for (auto table = after.begin(); table != after.end(); ++table) {
        const QMap<qint64, QVariantList> old = before.value(table.key()).rows;
        const QMap<qint64, QVariantList> &now = table->rows;
        for (auto row = now.begin(); row != now.end(); ++row) {
            const auto was = old.constFind(row.key());
            if (was == old.constEnd())
                out << QStringLiteral("%1 +%2").arg(table.key()).arg(row.key());
            else if (*was != row.value())
                out << QStringLiteral("%1 %2").arg(table.key()).arg(row.key());
        }
        for (auto row = old.begin(); row != old.end(); ++row)
            if (!now.contains(row.key()))
                out << QStringLiteral("%1 -%2").arg(table.key()).arg(row.key());
    }
    return out;
}
