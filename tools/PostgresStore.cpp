// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresStore.h"
#include "platform/StoreContract.h"

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

const QStringList &PostgresStore::tables() { return StoreContract::serverTables(); }

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
    // The login comes from peer or ~/.pgpass: a password on the command
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
                             "SELECT t.name FROM unnest(string_to_array($1, ',')) "
                             "WITH ORDINALITY AS t(name, n) "
                             "WHERE to_regclass(format('%I.%I', current_schema(), t.name)) IS NOT NULL "
                             "ORDER BY t.n",
                             {tables().join(QLatin1Char(','))}, "looking for existing tables", existing, error);
}

QString PostgresStore::quotedSchema(QString *error) const {
    const QByteArray utf8 = m_schema.toUtf8();
    char *quoted = PQescapeIdentifier(m_connection, utf8.constData(), size_t(utf8.size()));
    if (!quoted) {
        *error = QStringLiteral("cannot quote the name %1: %2").arg(m_schema, PgCommand::lastError(m_connection));
        return QString();
    }
    const QString result = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return result;
}

bool PostgresStore::create(bool replace, QString *error) {
    QStringList grantees, owners;
    if (replace) {
        const QString schema = quotedSchema(error);
        if (schema.isEmpty())
            return false;
        // Whoever besides the owner had rights on the old tables (PUBLIC is 0).
        if (!PgCommand::column(m_connection,
                               "SELECT DISTINCT a.grantee::regrole::text FROM pg_class c "
                               "CROSS JOIN LATERAL aclexplode(c.relacl) a "
                               "WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = $1) "
                               "AND c.relname = ANY ($2::text[]) AND a.grantee <> c.relowner AND a.grantee <> 0",
                               {m_schema, QLatin1Char('{') + tables().join(QLatin1Char(',')) + QLatin1Char('}')},
                               "reading who may use the old tables", &grantees, error))
            return false;
        // And whose they were: a superuser's restore leaves them their owner's.
        if (!PgCommand::column(m_connection,
                               "SELECT DISTINCT c.relowner::regrole::text FROM pg_class c "
                               "WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = $1) "
                               "AND c.relname = ANY ($2::text[]) AND c.relowner <> (SELECT oid FROM pg_roles "
                               "WHERE rolname = current_user)",
                               {m_schema, QLatin1Char('{') + tables().join(QLatin1Char(',')) + QLatin1Char('}')},
                               "reading whose the old tables are", &owners, error))
            return false;
        QStringList names;
        for (const QString &table : tables())
            names.append(schema + QLatin1Char('.') + table);
        if (!PgCommand::run(m_connection,
                            "DROP TABLE IF EXISTS " + names.join(QStringLiteral(", ")).toUtf8() + " CASCADE",
                            "dropping the old tables", error))
            return false;
    }
    QFile script(m_schemaResource);
    if (!script.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the schema %1").arg(m_schemaResource);
        return false;
    }
    if (!PgCommand::run(m_connection, script.readAll(), "the schema", error))
        return false;
    for (const QString &role : std::as_const(grantees))
        if (!grantQuoted(role, error))
            return false;
    if (owners.size() == 1) {
        const QString schema = quotedSchema(error);
        for (const QString &table : tables())
            if (!PgCommand::run(
                    m_connection,
                    QStringLiteral("ALTER TABLE %1.%2 OWNER TO %3").arg(schema, table, owners.constFirst()).toUtf8(),
                    "giving the tables back to their owner", error))
                return false;
    }
    return true;
}

bool PostgresStore::grant(const QString &role, QString *error) {
    const QByteArray utf8 = role.toUtf8();
    char *quoted = PQescapeIdentifier(m_connection, utf8.constData(), size_t(utf8.size()));
    if (!quoted) {
        *error = QStringLiteral("cannot quote the name %1: %2").arg(role, PgCommand::lastError(m_connection));
        return false;
    }
    const QString name = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return grantQuoted(name, error);
}

bool PostgresStore::grantQuoted(const QString &role, QString *error) {
    const QString schema = quotedSchema(error);
    if (schema.isEmpty())
        return false;
    QStringList names, sequences;
    for (const QString &table : tables())
        names.append(schema + QLatin1Char('.') + table);
    // The keys' sequences, as the server names them.
    if (!PgCommand::column(m_connection,
                           "SELECT pg_get_serial_sequence(format('%I.%I', $1::text, t), a.attname) "
                           "FROM unnest($2::text[]) AS t JOIN pg_attribute a "
                           "ON a.attrelid = format('%I.%I', $1::text, t)::regclass AND a.attidentity <> ''",
                           {m_schema, QLatin1Char('{') + tables().join(QLatin1Char(',')) + QLatin1Char('}')},
                           "finding the keys' sequences", &sequences, error))
        return false;
    // The schema's own USAGE is its owner's to give.
    QString statement =
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2").arg(names.join(QStringLiteral(", ")), role);
    if (!sequences.isEmpty())
        statement += QStringLiteral("; GRANT USAGE, SELECT ON SEQUENCE %1 TO %2")
                         .arg(sequences.join(QStringLiteral(", ")), role);
    return PgCommand::run(m_connection, statement.toUtf8(), "granting the workstation's rights", error);
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
