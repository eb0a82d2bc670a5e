// SPDX-License-Identifier: GPL-3.0-or-later
// drevalon-stores --upgrade, --stations and --hand-over. Names of
// workstations are bound values, never part of a statement's text.

#include "Stations.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QUrl>
#include <QVariant>

#include <functional>

#include "StoreHold.h"
#include "StoreJob.h"

using StoreJob::fail;

namespace Stations {

namespace {

const QString postgres = QStringLiteral("QPSQL");

// One connection to the database for the job, closed with it.
class Database {
public:
    explicit Database(const Backup::Stores &stores) : m_name(QStringLiteral("drevalon-stores-stations")) {
        m_db = QSqlDatabase::addDatabase(stores.driver, m_name);
        if (stores.driver == postgres) {
            // QPSQL reads ';' as a separator of its options.
            if (stores.database.contains(QLatin1Char(';'))) {
                m_error = QStringLiteral("the connection text must not contain ';'");
                return;
            }
            // Named so that the program's session count does not take this tool for it.
            m_db.setConnectOptions(stores.database + QStringLiteral(" application_name=drevalon-stores"));
        } else {
            if (!QFileInfo::exists(stores.database)) {
                m_error = QStringLiteral("there is no database %1").arg(stores.database);
                return;
            }
            // An existing file only, never a new empty one.
            m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000"));
            m_db.setDatabaseName(QUrl::fromLocalFile(stores.database).toString(QUrl::FullyEncoded) +
                                 QStringLiteral("?mode=rw"));
        }
        if (!m_db.open())
            m_error = QStringLiteral("cannot open the database %1: %2")
                          .arg(stores.database, m_db.lastError().text().simplified());
    }
    ~Database() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const QString &error() const { return m_error; }
    bool onServer() const { return m_db.driverName() == postgres; }
    // Runs a statement with bound values; `row` sees each row it returns.
    bool run(const QString &sql, const QVariantList &values, QString *error,
             const std::function<void(const QSqlQuery &)> &row = {}, int *affected = nullptr) {
        QSqlQuery query(m_db);
        // The server prepares no ALTER or CREATE: a statement without values runs as it is.
        if (!values.isEmpty() && !query.prepare(sql)) {
            *error = query.lastError().text().simplified();
            return false;
        }
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!(values.isEmpty() ? query.exec(sql) : query.exec())) {
            *error = query.lastError().text().simplified();
            return false;
        }
        if (affected)
            *affected = query.numRowsAffected();
        while (row && query.next())
            row(query);
        return true;
    }
    bool hasStations(bool *has, QString *error) {
        *has = false;
        const QString sql = onServer() ? QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE "
                                                        "table_schema = current_schema() AND table_name = 'ordernow' "
                                                        "AND column_name = 'station'")
                                       : QStringLiteral("SELECT count(*) FROM pragma_table_info('orderNow') WHERE "
                                                        "name = 'station' COLLATE NOCASE");
        return run(sql, {}, error, [&](const QSqlQuery &q) { *has = q.value(0).toInt() > 0; });
    }
    // The program's sessions on the server, this tool's own not counted.
    bool programSessions(const QString &connectionText, int *count, QString *error) {
        return run(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                                  "application_name = ? AND pid <> pg_backend_pid()"),
                   {StoreHold::programName(connectionText)}, error,
                   [&](const QSqlQuery &q) { *count = q.value(0).toInt(); });
    }
    bool transaction() { return m_db.transaction(); }
    bool commit(QString *error) {
        if (m_db.commit())
            return true;
        *error = m_db.lastError().text().simplified();
        return false;
    }
    void rollback() { m_db.rollback(); }

private:
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
};

// Why the database's lines cannot be told apart: it cannot be read, or it is
// from before workstations; empty when they can.
QString notKeptApart(Database &db, const Backup::Stores &stores) {
    if (!db.error().isEmpty())
        return db.error();
    QString error;
    bool has = false;
    if (!db.hasStations(&has, &error))
        return QStringLiteral("cannot read the database %1: %2").arg(stores.database, error);
    if (!has)
        return QStringLiteral("the database is from before each workstation kept its own order lines: every line "
                              "is shared; --upgrade keeps them apart");
    return QString();
}

} // namespace

int upgrade(const Backup::Stores &stores, const QString &workstation) {
    std::vector<std::unique_ptr<StoreHold::Descriptor>> locks;
    if (stores.driver != postgres && StoreHold::heldByProgram(stores.database, &locks))
        return fail(StoreHold::heldMessage({StoreHold::heldStore(stores.database)}), StoreJob::Refused);
    Database db(stores);
    if (!db.error().isEmpty())
        return fail(db.error());
    QString error;
    if (db.onServer()) {
        int sessions = 0;
        if (!db.programSessions(stores.database, &sessions, &error))
            return fail(error);
        if (sessions > 0)
            return fail(StoreHold::heldMessage({QStringLiteral("%1 session(s) on the server").arg(sessions)}),
                        StoreJob::Refused);
    }
    bool has = false;
    if (!db.hasStations(&has, &error))
        return fail(QStringLiteral("cannot read the database %1: %2").arg(stores.database, error));
    if (has) {
        QTextStream(stdout) << "drevalon-stores: the database keeps each workstation's order lines already; "
                               "nothing changed"
                            << Qt::endl;
        return StoreJob::Created;
    }
    // All of it or nothing: the column, its index, and the lines' owner.
    if (!db.transaction())
        return fail(QStringLiteral("cannot begin a transaction on %1").arg(stores.database));
    const QString type = db.onServer() ? QStringLiteral("varchar(100)") : QStringLiteral("NVARCHAR(100)");
    int lines = 0;
    const bool done =
        db.run(QStringLiteral("ALTER TABLE orderNow ADD COLUMN station %1").arg(type), {}, &error) &&
        db.run(QStringLiteral("CREATE INDEX orderNow_station ON orderNow (station)"), {}, &error) &&
        db.run(QStringLiteral("UPDATE orderNow SET station = ?"), {workstation}, &error) &&
        db.run(QStringLiteral("SELECT count(*) FROM orderNow"), {}, &error,
               [&](const QSqlQuery &q) { lines = q.value(0).toInt(); }) &&
        (!db.onServer() || db.run(QStringLiteral("COMMENT ON COLUMN orderNow.station IS 'station'"), {}, &error)) &&
        db.commit(&error);
    if (!done) {
        db.rollback();
        return fail(QStringLiteral("the database is left as it was: %1").arg(error));
    }
    QTextStream(stdout) << "drevalon-stores: each workstation now keeps its own order lines; the " << lines
                        << " line(s) already there are those of " << workstation << Qt::endl;
    return StoreJob::Created;
}

int list(const Backup::Stores &stores) {
    Database db(stores);
    QString error = notKeptApart(db, stores);
    if (!error.isEmpty())
        return fail(error);
    QTextStream out(stdout);
    out << "lines\tsum\tworkstation\n";
    const bool read = db.run(QStringLiteral("SELECT count(*), sum(kol*cena), station FROM orderNow "
                                            "GROUP BY station ORDER BY station"),
                             {}, &error, [&](const QSqlQuery &q) {
                                 const QString name = q.value(2).toString();
                                 out << q.value(0).toLongLong() << '\t' << q.value(1).toDouble() << '\t'
                                     << (name.isEmpty() ? QStringLiteral("(none)") : name) << '\n';
                             });
    out.flush();
    return read ? StoreJob::Created : fail(error);
}

int handOver(const Backup::Stores &stores, const QString &from, const QString &to) {
    if (to.trimmed().isEmpty())
        return fail(QStringLiteral("name the workstation that takes the lines over with --workstation"));
    Database db(stores);
    QString error = notKeptApart(db, stores);
    if (!error.isEmpty())
        return fail(error);
    int moved = 0;
    const QString sql = from.isEmpty()
                            ? QStringLiteral("UPDATE orderNow SET station = ? WHERE station IS NULL OR station = ''")
                            : QStringLiteral("UPDATE orderNow SET station = ? WHERE station = ?");
    QVariantList values{to};
    if (!from.isEmpty())
        values.append(from);
    if (!db.transaction() || !db.run(sql, values, &error, {}, &moved) || !db.commit(&error)) {
        db.rollback();
        return fail(error.isEmpty() ? QStringLiteral("cannot begin a transaction") : error);
    }
    QTextStream(stdout) << "drevalon-stores: handed over " << moved << " order line(s) of "
                        << (from.isEmpty() ? QStringLiteral("no workstation") : from) << " to " << to << Qt::endl;
    return StoreJob::Created;
}

} // namespace Stations
