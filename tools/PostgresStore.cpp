// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresStore.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <memory>

#include "PgCommand.h"

namespace {

int connectionCounter = 0;

using Options = std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)>;

} // namespace

PostgresStore::PostgresStore(QString connectionText, QString schemaResource)
    : m_text(std::move(connectionText)), m_schemaResource(std::move(schemaResource)),
      m_connectionName(QStringLiteral("drevalon-stores-server-%1").arg(++connectionCounter)) {}

PostgresStore::~PostgresStore() { close(); }

const QStringList &PostgresStore::tables() {
    static const QStringList names{QStringLiteral("customer"), QStringLiteral("orderall"), QStringLiteral("ordernow"),
                                   QStringLiteral("ip")};
    return names;
}

bool PostgresStore::checkConnectionText(QString *error) const {
    // QPSQL puts the connect options after its own words and reads ';' as a
    // separator; a URI is understood only at the very start.
    if (m_text.contains(QLatin1Char(';'))) {
        *error = QStringLiteral("the connection text must not contain ';'");
        return false;
    }
    const QString start = m_text.trimmed();
    if (start.startsWith(QLatin1String("postgresql://")) || start.startsWith(QLatin1String("postgres://"))) {
        *error = QStringLiteral("give the connection as key=value words, not as a URI");
        return false;
    }
    char *message = nullptr;
    const Options options(PQconninfoParse(m_text.toUtf8().constData(), &message), PQconninfoFree);
    if (!options) {
        *error = QStringLiteral("the connection text %1 is not understood: %2")
                     .arg(m_text, message ? QString::fromUtf8(message).simplified() : QStringLiteral("out of memory"));
        PQfreemem(message);
        return false;
    }
    // The login comes from trust, peer or ~/.pgpass: a password on the command
    // line would be visible to every user of the machine.
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option) {
        if (qstrcmp(option->keyword, "password") == 0 && option->val && *option->val) {
            *error = QStringLiteral("the connection text must not hold a password; put it in ~/.pgpass");
            return false;
        }
    }
    return true;
}

bool PostgresStore::open(QString *error) {
    if (!checkConnectionText(error))
        return false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *error = QStringLiteral("Qt's QPSQL driver is not installed");
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    // Host, name and user stay empty: the whole text goes to libpq as it is.
    m_db.setConnectOptions(m_text);
    if (!m_db.open()) {
        *error = QStringLiteral("cannot connect with %1: %2").arg(m_text, m_db.lastError().text().simplified());
        return false;
    }
    const QVariant handle = m_db.driver()->handle();
    // The type is named after libpq's struct behind the PGconn typedef.
    const char *type = handle.typeName();
    if (!handle.isValid() || (qstrcmp(type, "pg_conn*") != 0 && qstrcmp(type, "PGconn*") != 0) ||
        !(m_connection = *static_cast<PGconn *const *>(handle.constData()))) {
        *error = QStringLiteral("the QPSQL driver gives no libpq connection");
        return false;
    }
    // The drops' notices about missing tables are no news to anyone.
    // (QPSQL has set the client encoding to UTF-8, which COPY's rows are in.)
    if (!PgCommand::run(m_connection, "SET client_min_messages = warning", "setting the message level", error) ||
        !PgCommand::run(m_connection, "BEGIN", "starting the transaction", error))
        return false;
    m_inTransaction = true;

    QStringList schema;
    if (!PgCommand::column(m_connection, "SELECT current_schema()", "finding the schema", &schema, error))
        return false;
    if (schema.isEmpty() || schema.constFirst().isNull()) {
        *error = QStringLiteral("the search path of %1 names no existing schema; create one or name one in search_path")
                     .arg(m_text);
        return false;
    }
    m_schema = schema.constFirst();
    return true;
}

bool PostgresStore::existingTables(QStringList *existing, QString *error) {
    // to_regclass() with the schema named, so a table of the same name further
    // along the search path does not count.
    return PgCommand::column(m_connection,
                             "SELECT t.name FROM unnest(array['customer', 'orderall', 'ordernow', 'ip']) "
                             "WITH ORDINALITY AS t(name, n) "
                             "WHERE to_regclass(format('%I.%I', current_schema(), t.name)) IS NOT NULL "
                             "ORDER BY t.n",
                             "looking for existing tables", existing, error);
}

bool PostgresStore::create(bool replace, QString *error) {
    if (replace) {
        const QByteArray schemaUtf8 = m_schema.toUtf8();
        char *quoted = PQescapeIdentifier(m_connection, schemaUtf8.constData(), size_t(schemaUtf8.size()));
        if (!quoted) {
            *error = QStringLiteral("cannot quote the schema name: %1").arg(PgCommand::lastError(m_connection));
            return false;
        }
        const QByteArray schema(quoted);
        PQfreemem(quoted);
        QByteArrayList names;
        for (const QString &table : tables())
            names.append(schema + '.' + table.toUtf8());
        if (!PgCommand::run(m_connection, "DROP TABLE IF EXISTS " + names.join(", ") + " CASCADE",
                            "dropping the old tables", error))
            return false;
    }
    QFile script(m_schemaResource);
    if (!script.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the schema %1").arg(m_schemaResource);
        return false;
    }
    return PgCommand::run(m_connection, script.readAll(), "the schema", error);
}

bool PostgresStore::commit(QString *error) {
    // COMMIT of a failed transaction answers like a success and rolls back.
    if (PQtransactionStatus(m_connection) != PQTRANS_INTRANS) {
        *error = QStringLiteral("the transaction failed before its end: %1").arg(PgCommand::lastError(m_connection));
        return false;
    }
    if (!PgCommand::run(m_connection, "COMMIT", "committing", error))
        return false;
    m_inTransaction = false;
    return true;
}

void PostgresStore::close() {
    if (m_inTransaction && m_connection && PQtransactionStatus(m_connection) != PQTRANS_UNKNOWN)
        PQclear(PQexec(m_connection, "ROLLBACK"));
    m_inTransaction = false;
    m_connection = nullptr;
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}
