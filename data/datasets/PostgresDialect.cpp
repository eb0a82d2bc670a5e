#include "data/datasets/PostgresDialect.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/PostgresText.h"
#include "data/datasets/PostgresValues.h"
#include "data/datasets/PostgresWait.h"
#include "data/datasets/SqlLiteral.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StatementScanner.h"
#include "data/datasets/StoreConnection.h"
#include "data/datasets/StoreLog.h"
#include "platform/ConnectionText.h"
#include "platform/StoreContract.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>
#include <cstring>
#include <libpq-fe.h>

namespace {
using PostgresWait::Result;

Result wrap(PGresult *result) { return Result(result, PQclear); }

PGconn *handleOf(const QSqlDatabase &db) {
    if (!db.isValid() || !db.isOpen())
        return nullptr;
    const QVariant v = db.driver()->handle();
    return v.isValid() ? *static_cast<PGconn *const *>(v.constData()) : nullptr;
}

QString lostText(PGconn *conn) {
    // A connection given up for its silence says so, not how its end was read.
    const QString detail =
        PostgresWait::gaveUp(conn)
            ? QStringLiteral("the server did not answer within %1 s, as when it hangs or a failover is under way")
                  .arg((PostgresWait::silenceMs + PostgresWait::cancelMs) / 1000)
        : conn ? QString::fromUtf8(PQerrorMessage(conn)).simplified()
               : QString();
    return QStringLiteral("The connection to the database server was lost%1. Check the server and the network; "
                          "the next command connects again.")
        .arg(detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail));
}

PGconn *connectedHandle(const QSqlDatabase &db) {
    PGconn *conn = handleOf(db);
    if (!conn || PQstatus(conn) == CONNECTION_BAD)
        throw EDatabaseError(lostText(conn));
    return conn;
}

// Sent outside a transaction, a write that the broken connection never
// answered may have been committed all the same.
QString unknownOutcomeText(PGconn *conn) {
    return lostText(conn) + QStringLiteral(" Whether the last write was stored is not known.");
}

// A commit reported done with a warning is one the server stopped waiting
// for its standby to confirm (its own words depend on its language): on
// this server only, and lost if another takes over now.
QString unconfirmedText() {
    return QStringLiteral("The database server did not confirm that its standby server holds the last write, as "
                          "when a failover is under way.");
}

// What a commit whose outcome is not known leaves to the user.
const char *const committing = " The command was being committed: whether it was stored is not known. The rows are "
                               "shown again as the server holds them; pressing again does only what is not stored yet.";

[[noreturn]] void failWith(PGconn *conn, const PGresult *result, bool outcomeUnknown = false) {
    if (PQstatus(conn) == CONNECTION_BAD) {
        if (outcomeUnknown)
            throw EOutcomeUnknown(unknownOutcomeText(conn));
        throw EDatabaseError(lostText(conn));
    }
    // A value wider than its column is refused in the same words on every store.
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state && qstrcmp(state, "22001") == 0)
        throw EDatabaseError(QStringLiteral("String or binary data would be truncated"));
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString text = primary ? QString::fromUtf8(primary) : QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    // Cancelled (by the program after a silence, or by the server's own
    // statement timeout): the statement undid itself.
    if (state && qstrcmp(state, "57014") == 0)
        throw EDatabaseError(
            QStringLiteral("The database server cancelled the command (%1): nothing of it was done. Press again.")
                .arg(text));
    // The server's words alone do not tell the user that pressing again works.
    if (state && (qstrcmp(state, "40001") == 0 || qstrcmp(state, "40P01") == 0))
        text += QStringLiteral("%1 Another workstation changed the same rows at the same time; nothing of this "
                               "command was stored. Press again.")
                    .arg(text.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
    throw EDatabaseError(text);
}

bool succeeded(const PGresult *result) {
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

// Back on a server where an earlier connection was given up: its process is
// ended first (a commit it was waiting on then becomes visible or is gone),
// so that looking for that write now sees how it ended, and trying it again
// never leaves two of it.
void endAbandoned(PGconn *conn) {
    for (const PostgresWait::Abandoned &left : PostgresWait::takeAbandoned(conn)) {
        const QByteArray pid = QByteArray::number(left.pid);
        const char *values[] = {pid.constData()};
        const Result ended = PostgresWait::execParams(
            conn,
            "select pg_terminate_backend(pid, 10000) from pg_stat_activity where pid = $1::int and "
            "usename = current_user and application_name = current_setting('application_name')",
            1, values, nullptr, nullptr);
        if (!succeeded(ended.get()))
            qCDebug(storeLog).noquote() << "an abandoned server process was not ended:"
                                        << QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    }
}

// A command without parameters or rows (session settings, transactions).
Result command(PGconn *conn, const char *sql) {
    Result result = PostgresWait::exec(conn, sql);
    if (!succeeded(result.get()))
        failWith(conn, result.get());
    return result;
}

// Bound values as the client library takes them: text, or bytes for blobs.
struct Parameters {
    std::vector<QByteArray> data;
    std::vector<const char *> values;
    std::vector<int> lengths;
    std::vector<int> formats;

    Parameters(const SqlDialect &dialect, const QVariantList &bound) {
        data.reserve(bound.size());
        std::vector<bool> nulls;
        for (const QVariant &original : bound) {
            const QVariant value = dialect.toStore(original);
            nulls.push_back(value.isNull() || !value.isValid());
            data.push_back(nulls.back() ? QByteArray() : PostgresValues::parameterText(value));
            formats.push_back(value.typeId() == QMetaType::QByteArray ? 1 : 0);
            lengths.push_back(static_cast<int>(data.back().size()));
        }
        for (size_t i = 0; i < data.size(); ++i)
            values.push_back(nulls[i] ? nullptr : data[i].constData());
    }
    int count() const { return static_cast<int>(values.size()); }
};

Result describeStatement(PGconn *conn, const QByteArray &text) {
    Result prepared = PostgresWait::answer(conn, PQsendPrepare(conn, "", text.constData(), 0, nullptr));
    if (!succeeded(prepared.get()))
        failWith(conn, prepared.get());
    Result described = PostgresWait::answer(conn, PQsendDescribePrepared(conn, ""));
    if (!succeeded(described.get()))
        failWith(conn, described.get());
    return described;
}

FieldType parameterType(Oid type) {
    switch (PostgresValues::kindOf(type)) {
    case PostgresValues::Kind::Integer: return FieldType::Integer;
    case PostgresValues::Kind::Real: return FieldType::Float;
    case PostgresValues::Kind::Date: return FieldType::Date;
    case PostgresValues::Kind::Timestamp: return FieldType::DateTime;
    case PostgresValues::Kind::Boolean: return FieldType::Boolean;
    case PostgresValues::Kind::Bytes: return FieldType::Blob;
    default: return FieldType::Unknown;
    }
}
} // namespace

void PostgresDialect::open(QSqlDatabase &db, const QString &database) {
    // The whole connection text goes to the client library as it stands; Qt
    // only adds what its own fields hold, and they stay empty. The program
    // names itself unless the text does, so the store tool's restore sees it.
    // A password is never the program's to keep, nor to show in a box.
    if (ConnectionText::holdsPassword(database))
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": the connection text holds a password; "
                                            "let the server know the workstation, or keep the password in the "
                                            "user's ~/.pgpass")
                                 .arg(ConnectionText::shown(database)));
    const QString start = database.trimmed();
    const bool uri = start.startsWith(QLatin1String("postgresql://")) || start.startsWith(QLatin1String("postgres://"));
    const QString named = QStringLiteral("fallback_application_name=") + QLatin1String(StoreContract::sessionName);
    db.setConnectOptions(uri ? database + (database.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
                                   named
                             : database + QLatin1Char(' ') + named);
    if (!db.open())
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": %2")
                                 .arg(database, StoreConnection::textOf(db.lastError()).simplified()));
    try {
        PGconn *conn = connectedHandle(db);
        PostgresWait::watchWarnings(conn);
        // Never rely on the server's own settings: dates are read and written
        // as year-month-day, the current date is the workstation's, texts are
        // UTF-8 with backslashes taken literally, reals read back exactly.
        const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
        const QByteArray settings = QStringLiteral("set DateStyle = 'ISO, YMD'; set client_encoding = 'UTF8'; "
                                                   "set standard_conforming_strings = on; set extra_float_digits = 1; "
                                                   "set client_min_messages = warning; set TimeZone = '%1'")
                                        .arg(sqlLiteralBody(zone.isEmpty() ? QStringLiteral("UTC") : zone))
                                        .toUtf8();
        command(conn, settings.constData());
        endAbandoned(conn);
    } catch (...) {
        db.close();
        throw;
    }
}

QString PostgresDialect::rowKeyExpression(const QSqlDatabase &db, const QString &table,
                                          const QString &qualifier) const {
    const QStringList &key = primaryKey(db, table);
    const QString column = key.size() == 1 ? SqlDialect::quoteIdentifier(key.front()) : QStringLiteral("ctid");
    return qualifier.isEmpty() ? column : qualifier + QLatin1Char('.') + column;
}

QVariant PostgresDialect::reserveKey(const QSqlDatabase &db, const QString &table) const {
    const QStringList &key = primaryKey(db, table);
    if (key.size() != 1)
        return {};
    const Outcome outcome = executeAsWritten(db, QStringLiteral("select nextval(pg_get_serial_sequence($1, $2))"),
                                             {quoteIdentifier(table), key.front()});
    return outcome.rows.empty() ? QVariant() : outcome.rows.front().value(0);
}

QString PostgresDialect::quoteIdentifier(const QString &name) const {
    // As the server folds an unquoted name: ASCII letters only.
    QString folded = name;
    for (QChar &c : folded)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return SqlDialect::quoteIdentifier(folded);
}

QString PostgresDialect::nulRefusal() const { return serverNulRefusal(); }

QString PostgresDialect::serverNulRefusal() {
    return QStringLiteral("The text holds a NUL character, which the database server cannot keep");
}

QString PostgresDialect::serverText(const QString &sql) {
    if (sql.contains(QChar(0)))
        throw EDatabaseError(serverNulRefusal());
    const QString text = PostgresText::rewrite(sql);
    // Number the markers in code only: a '?' in a literal, name or comment is text.
    const StatementScanner scan(text);
    QString out;
    out.reserve(text.size() + 8);
    int marker = 0;
    for (const StatementScanner::Span &span : scan.spans()) {
        if (span.kind != StatementScanner::Kind::Code) {
            out += scan.textOf(span);
            continue;
        }
        for (const QChar c : scan.textOf(span)) {
            if (c == QLatin1Char('?'))
                out += QLatin1Char('$') + QString::number(++marker);
            else
                out += c;
        }
    }
    return out;
}

const PostgresDialect::TableInfo &PostgresDialect::tableInfo(const QSqlDatabase &db, unsigned oid) const {
    const auto found = m_tables.constFind(oid);
    if (found != m_tables.constEnd())
        return *found;
    PGconn *conn = connectedHandle(db);
    const QByteArray id = QByteArray::number(oid);
    const char *values[] = {id.constData()};
    Result result = PostgresWait::execParams(conn,
                                             "select c.relname, a.attnum, a.attname, "
                                             "coalesce(col_description(c.oid, a.attnum), ''), a.attidentity <> '' "
                                             "from pg_class c join pg_attribute a on a.attrelid = c.oid "
                                             "where c.oid = $1::oid and a.attnum > 0 and not a.attisdropped",
                                             1, values, nullptr, nullptr);
    if (!succeeded(result.get()))
        failWith(conn, result.get());
    TableInfo info;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        info.name = QString::fromUtf8(PQgetvalue(result.get(), row, 0));
        TableColumn column;
        column.name = QString::fromUtf8(PQgetvalue(result.get(), row, 2));
        const QString comment = QString::fromUtf8(PQgetvalue(result.get(), row, 3));
        column.declared = comment.compare(column.name, Qt::CaseInsensitive) == 0 ? comment : column.name;
        column.identity = PQgetvalue(result.get(), row, 4)[0] == 't';
        info.columns.insert(QByteArray(PQgetvalue(result.get(), row, 1)).toInt(), column);
    }
    return *m_tables.insert(oid, info);
}

namespace {
// The spelling a statement gives a result column: a plain reference or an
// unquoted alias keeps it, where the server folded it to lower case.
QString statementSpelling(const QStringList &items, int index, const QString &name) {
    static thread_local const QRegularExpression lastName(QStringLiteral("(?:^|[\\s.])(\\w+)$"),
                                                          QRegularExpression::UseUnicodePropertiesOption);
    if (index >= items.size())
        return QString();
    const auto m = lastName.match(items[index]);
    return m.hasMatch() && m.captured(1).compare(name, Qt::CaseInsensitive) == 0 ? m.captured(1) : QString();
}
} // namespace

std::vector<ColumnInfo> PostgresDialect::describeColumns(const QSqlQuery &query) const {
    std::vector<ColumnInfo> columns;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        columns.push_back({record.fieldName(i), FieldType::Unknown, 0, QString(), QString(), false});
    return columns;
}

SqlDialect::SelectResult PostgresDialect::select(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                                                 const TypesFor &typesFor, std::vector<ColumnData> &columns) const {
    PGconn *conn = connectedHandle(db);
    const QByteArray text = serverText(inKeyOrder(db, sql)).toUtf8();
    SelectResult result;
    {
        Result described = describeStatement(conn, text);
        const int count = PQnfields(described.get());
        if (count == 0)
            return result; // no rows to read: not a select
        const QStringList items = SqlText::selectItems(sql);
        for (int i = 0; i < count; ++i) {
            ColumnInfo info;
            info.name = QString::fromUtf8(PQfname(described.get(), i));
            const Oid type = PQftype(described.get(), i);
            const Oid table = PQftable(described.get(), i);
            const int number = PQftablecol(described.get(), i);
            const QString spelled = statementSpelling(items, i, info.name);
            if (table != InvalidOid && number > 0) {
                const TableInfo &origin = tableInfo(db, table);
                const TableColumn column = origin.columns.value(number);
                info.table = origin.name;
                info.column = column.name;
                info.autoIncrement = column.identity;
                info.type = PostgresValues::fieldType(type, PQfmod(described.get(), i), &info.size);
                if (spelled.isEmpty() && info.name == column.name)
                    info.name = column.declared;
            } else if (PostgresValues::kindOf(type) == PostgresValues::Kind::Locator) {
                info.type = FieldType::WideString;
            }
            // A computed column is typed by its values, as on every store.
            if (!spelled.isEmpty())
                info.name = spelled;
            result.columns.push_back(info);
        }
    }
    const int count = static_cast<int>(result.columns.size());
    const std::vector<FieldType> types = typesFor(result.columns);
    columns.clear();
    for (FieldType type : types)
        columns.emplace_back(ColumnData::kindFor(type));

    const Parameters parameters(*this, values);
    if (!PQsendQueryParams(conn, text.constData(), parameters.count(), nullptr, parameters.values.data(),
                           parameters.lengths.data(), parameters.formats.data(), 0))
        failWith(conn, nullptr);
    // One row at a time: a long result is never held twice in memory. Refused,
    // the rows come as one whole result instead, read below all the same.
    if (!PQsetSingleRowMode(conn))
        qCDebug(storeLog) << "rows not read one at a time; reading the whole result at once";
    std::vector<PostgresValues::Kind> kinds;
    Result failure = wrap(nullptr);
    for (;;) {
        PostgresWait::await(conn, PostgresWait::rowsMs);
        PGresult *raw = PQgetResult(conn);
        if (!raw)
            break;
        Result part = wrap(raw);
        const ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
            // In single-row mode the closing result holds no rows.
            const int rows = PQntuples(raw);
            if (kinds.empty() && rows > 0)
                for (int c = 0; c < count; ++c)
                    kinds.push_back(PostgresValues::kindOf(PQftype(raw, c)));
            for (int row = 0; row < rows; ++row)
                for (int c = 0; c < count; ++c) {
                    if (PQgetisnull(raw, row, c))
                        columns[c].append(QVariant());
                    else
                        PostgresValues::append(columns[c], PQgetvalue(raw, row, c), PQgetlength(raw, row, c), kinds[c],
                                               types[c]);
                }
        } else if (!failure) {
            failure = std::move(part); // read on to the end, so the connection is free again
        }
    }
    if (failure || PQstatus(conn) == CONNECTION_BAD)
        failWith(conn, failure.get());
    result.isSelect = true;
    return result;
}

SqlDialect::Outcome PostgresDialect::execute(const QSqlDatabase &db, const QString &sql,
                                             const QVariantList &values) const {
    return executeAsWritten(db, serverText(sql), values);
}

SqlDialect::Outcome PostgresDialect::executeAsWritten(const QSqlDatabase &db, const QString &sql,
                                                      const QVariantList &values) const {
    PGconn *conn = connectedHandle(db);
    const QByteArray text = sql.toUtf8();
    const Parameters parameters(*this, values);
    // Inside a transaction a broken connection undid everything; alone, the
    // statement commits itself, perhaps just before the connection broke.
    const bool commitsItself = PQtransactionStatus(conn) == PQTRANS_IDLE &&
                               !sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
    const quint64 warned = PostgresWait::warnings();
    Result result = PostgresWait::execParams(conn, text.constData(), parameters.count(), parameters.values.data(),
                                             parameters.lengths.data(), parameters.formats.data());
    if (!succeeded(result.get()))
        failWith(conn, result.get(), commitsItself);
    if (commitsItself && PostgresWait::warnings() != warned)
        throw EOutcomeUnknown(unconfirmedText() + QStringLiteral(" Whether the last write was stored is not known."));
    Outcome outcome;
    const char *affected = PQcmdTuples(result.get());
    outcome.rowsAffected = affected[0] ? QByteArray(affected).toInt() : -1;
    const int count = PQnfields(result.get());
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        QVariantList values;
        for (int c = 0; c < count; ++c)
            values.append(PQgetisnull(result.get(), row, c)
                              ? QVariant()
                              : PostgresValues::value(PQgetvalue(result.get(), row, c),
                                                      PQgetlength(result.get(), row, c),
                                                      PostgresValues::kindOf(PQftype(result.get(), c))));
        outcome.rows.push_back(values);
    }
    // An insert names its new row in what it returns.
    if (!outcome.rows.empty() && !outcome.rows.front().isEmpty())
        outcome.insertedKey = outcome.rows.front().front();
    return outcome;
}

QString PostgresDialect::inKeyOrder(const QSqlDatabase &db, const QString &sql) const {
    static thread_local const QRegularExpression select(QStringLiteral("^\\s*select\\b"),
                                                        QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression limited(QStringLiteral("\\b(limit|offset|for\\s+update)\\b"),
                                                         QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                                         QRegularExpression::CaseInsensitiveOption);
    const QList<SqlText::TableRef> tables = SqlText::tableReferences(sql);
    const QString code = SqlText::codeOnly(sql);
    if (tables.size() != 1 || !select.match(code).hasMatch() || SqlText::isAggregate(sql) ||
        limited.match(code).hasMatch())
        return sql;
    // An order of the statement's own decides first; the key only settles
    // ties, as the embedded store returns them in the order they were stored.
    const int ordering = static_cast<int>(code.lastIndexOf(orderBy));
    if (ordering >= 0 && code.indexOf(QLatin1Char(')'), ordering) >= 0)
        return sql; // the order belongs to a subquery
    const QString target = quoteIdentifier(tables.front().table);
    const QStringList &key = primaryKey(db, tables.front().table);
    if (key.isEmpty())
        return sql;
    const QString qualifier = tables.front().alias.isEmpty() ? target : tables.front().alias;
    QStringList terms;
    for (const QString &column : key)
        terms.append(qualifier + QLatin1Char('.') + SqlDialect::quoteIdentifier(column));
    return sql + (ordering >= 0 ? QStringLiteral("\n, ") : QStringLiteral("\norder by ")) +
           terms.join(QStringLiteral(", "));
}

const QStringList &PostgresDialect::primaryKey(const QSqlDatabase &db, const QString &table) const {
    const QString target = quoteIdentifier(table);
    auto found = m_primaryKeys.constFind(target);
    if (found != m_primaryKeys.constEnd())
        return *found;
    const Outcome outcome =
        executeAsWritten(db,
                         QStringLiteral("select a.attname from pg_index i join pg_attribute a on a.attrelid = "
                                        "i.indrelid and a.attnum = any(i.indkey) where i.indrelid = to_regclass($1) "
                                        "and i.indisprimary order by array_position(i.indkey::int2[], a.attnum)"),
                         {target});
    QStringList key;
    for (const QVariantList &row : outcome.rows)
        key.append(row.value(0).toString());
    return *m_primaryKeys.insert(target, key);
}

bool PostgresDialect::connectionLost(const QSqlDatabase &db) const {
    PGconn *conn = handleOf(db);
    // Reading what waits on the socket (never blocking) sees a server that
    // said goodbye or closed the connection while the program was idle.
    if (conn && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_IDLE)
        PQconsumeInput(conn);
    return !conn || PQstatus(conn) == CONNECTION_BAD;
}

QVariant PostgresDialect::changeStamp(const QSqlDatabase &db, const QString &schema) const {
    (void)schema;
    // Every write anywhere on the server takes a transaction number: while the
    // snapshot stays the same, nobody wrote. Writes elsewhere only cost a reread.
    PGconn *conn = handleOf(db);
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return {};
    const Result result = PostgresWait::exec(conn, "select pg_current_snapshot()::text");
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) != 1) {
        qCDebug(storeLog).noquote() << "change stamp not read; rows are read again:"
                                    << QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        return {};
    }
    return QString::fromLatin1(PQgetvalue(result.get(), 0, 0));
}

std::optional<SqlDialect::OrderRules> PostgresDialect::orderRules(const QSqlDatabase &db, const QString &sql,
                                                                  const std::vector<ColumnInfo> &keys) const {
    (void)keys;
    PGconn *conn = handleOf(db);
    if (!conn || PQstatus(conn) != CONNECTION_OK ||
        SqlText::codeOnly(sql).contains(QLatin1String("collate"), Qt::CaseInsensitive))
        return std::nullopt;
    // Text compares as its bytes only where the database sorts by code point
    // and no column of the schema asks for a collation of its own.
    const Result result =
        PostgresWait::exec(conn, "select datcollate in ('C', 'POSIX', 'C.UTF-8', 'C.utf8') and not exists "
                                 "(select 1 from pg_attribute a join pg_class c on c.oid = a.attrelid "
                                 "where c.relnamespace = current_schema()::regnamespace and a.attnum > 0 "
                                 "and a.attcollation not in (0, 100, 950, 951)) "
                                 "from pg_database where datname = current_database()");
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) != 1 ||
        std::strcmp(PQgetvalue(result.get(), 0, 0), "t") != 0)
        return std::nullopt;
    // A statement the server would refuse is not answered from memory either.
    const QString sent = inKeyOrder(db, sql);
    try {
        describeStatement(conn, serverText(sent).toUtf8());
    } catch (const std::exception &) {
        return std::nullopt;
    }
    // Ties come by the table's one-column key where it is added to the order.
    const QList<SqlText::TableRef> tables = SqlText::tableReferences(sql);
    const bool byKey = sent != sql && tables.size() == 1 && primaryKey(db, tables.front().table).size() == 1;
    return OrderRules{true, byKey};
}

void PostgresDialect::beginTransaction(QSqlDatabase &db) const {
    // One snapshot for every statement of the transaction: rows another
    // workstation adds meanwhile are neither copied nor deleted by it.
    command(connectedHandle(db), "begin isolation level repeatable read");
}

void PostgresDialect::commitTransaction(QSqlDatabase &db) const {
    PGconn *conn = connectedHandle(db);
    const quint64 warned = PostgresWait::warnings();
    Result result = PostgresWait::exec(conn, "commit");
    if (PQstatus(conn) == CONNECTION_BAD)
        throw EOutcomeUnknown(lostText(conn) + QString::fromLatin1(committing));
    if (!succeeded(result.get()))
        failWith(conn, result.get());
    // A transaction that failed part-way ends in a rollback, not an error.
    if (qstrcmp(PQcmdStatus(result.get()), "COMMIT") != 0)
        throw EDatabaseError(QStringLiteral("The transaction was rolled back; nothing of it was stored"));
    if (PostgresWait::warnings() != warned)
        throw EOutcomeUnknown(unconfirmedText() + QString::fromLatin1(committing));
}

void PostgresDialect::awaitDurable(const QSqlDatabase &db) const {
    PGconn *conn = connectedHandle(db);
    if (PQtransactionStatus(conn) != PQTRANS_IDLE)
        return; // its own commit will tell
    // A transaction of its own that writes (a message in the server's log of
    // changes, which any role may write and nothing reads) commits after
    // everything before it and waits for the standby as every writing commit
    // does: confirmed without a warning, all before it is on the standby too.
    // A server that lost its standby (or was a leader once) cannot confirm it.
    const quint64 warned = PostgresWait::warnings();
    const Result result = PostgresWait::exec(conn, "select pg_logical_emit_message(true, 'drevalon', '')");
    if (PQstatus(conn) == CONNECTION_BAD)
        throw EOutcomeUnknown(unknownOutcomeText(conn));
    if (!succeeded(result.get()))
        failWith(conn, result.get());
    if (PostgresWait::warnings() != warned)
        throw EOutcomeUnknown(unconfirmedText() + QStringLiteral(" Whether the last write was stored is not known."));
}

void PostgresDialect::rollbackTransaction(QSqlDatabase &db) const {
    // A connection that broke took its transaction with it: the server rolled it back.
    command(connectedHandle(db), "rollback");
}

std::vector<FieldType> PostgresDialect::describeParameters(const QSqlDatabase &db, const QString &text,
                                                           const ParsedStatement &parsed) const {
    (void)text;
    PGconn *conn = connectedHandle(db);
    // A text being rewritten line by line is described at every step, and a
    // step may not parse: inside a transaction that must not abort it.
    const bool inTransaction = PQtransactionStatus(conn) == PQTRANS_INTRANS;
    Result described = wrap(nullptr);
    if (inTransaction) {
        Result saved = PostgresWait::exec(conn, "savepoint drevalon_describe");
        if (!succeeded(saved.get()))
            failWith(conn, saved.get());
        try {
            described = describeStatement(conn, serverText(parsed.sql).toUtf8());
        } catch (...) {
            PostgresWait::exec(conn, "rollback to savepoint drevalon_describe");
            PostgresWait::exec(conn, "release savepoint drevalon_describe");
            throw;
        }
        PostgresWait::exec(conn, "release savepoint drevalon_describe");
    } else {
        described = describeStatement(conn, serverText(parsed.sql).toUtf8());
    }
    std::vector<FieldType> types;
    for (int i = 0; i < PQnparams(described.get()); ++i)
        types.push_back(parameterType(PQparamtype(described.get(), i)));
    return types;
}

QStringList PostgresDialect::indexColumns(const QSqlDatabase &db, const QString &schema, const QString &table,
                                          const QString &index) const {
    const Outcome outcome =
        execute(db,
                QStringLiteral("select a.attname from pg_index i join pg_class x on x.oid = i.indexrelid "
                               "join pg_attribute a on a.attrelid = i.indrelid and a.attnum = any(i.indkey) "
                               "where i.indrelid = to_regclass(?) and x.relname = ? "
                               "order by array_position(i.indkey::int2[], a.attnum)"),
                {qualifiedName(schema, table), quoteIdentifier(index).mid(1).chopped(1)});
    QStringList columns;
    for (const QVariantList &row : outcome.rows)
        columns.append(row.value(0).toString());
    return columns;
}

bool PostgresDialect::hasTable(const QSqlDatabase &db, const QString &schema, const QString &table) const {
    const Outcome outcome =
        executeAsWritten(db, QStringLiteral("select to_regclass($1) is not null"), {qualifiedName(schema, table)});
    return !outcome.rows.empty() && outcome.rows.front().value(0).toBool();
}

bool PostgresDialect::hasColumn(const QSqlDatabase &db, const QString &table, const QString &column) const {
    const Outcome outcome = executeAsWritten(
        db,
        QStringLiteral("select count(*) from pg_attribute where attrelid = to_regclass($1) and attname = lower($2) "
                       "and attnum > 0 and not attisdropped"),
        {quoteIdentifier(table), column});
    return !outcome.rows.empty() && outcome.rows.front().value(0).toInt() > 0;
}

QString PostgresDialect::insertStatement(const QString &target, const QStringList &quotedColumns,
                                         const QString &rowKey) const {
    return SqlDialect::insertStatement(target, quotedColumns, rowKey) + QStringLiteral(" returning ") + rowKey;
}

QString PostgresDialect::updateStatement(const QString &target, const QStringList &quotedColumns,
                                         const QString &condition, const QString &rowKey) const {
    return SqlDialect::updateStatement(target, quotedColumns, condition, rowKey) + QStringLiteral(" returning ") +
           rowKey;
}
