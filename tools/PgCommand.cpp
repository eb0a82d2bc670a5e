// SPDX-License-Identifier: GPL-3.0-or-later
#include "PgCommand.h"

#include <memory>
#include <vector>

namespace PgCommand {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result exec(PGconn *connection, const QByteArray &sql) { return Result(PQexec(connection, sql.constData()), PQclear); }

bool failed(PGconn *connection, const char *what, QString *error) {
    *error = QStringLiteral("%1 failed: %2").arg(QLatin1String(what), lastError(connection));
    return false;
}

} // namespace

QString lastError(PGconn *connection) { return QString::fromUtf8(PQerrorMessage(connection)).simplified(); }

bool run(PGconn *connection, const QByteArray &sql, const char *what, QString *error) {
    const Result result = exec(connection, sql);
    // A script reports the status of its last statement; any earlier failure
    // stops it there and is reported instead.
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return true;
    return failed(connection, what, error);
}

bool column(PGconn *connection, const QByteArray &sql, const char *what, QStringList *values, QString *error) {
    return column(connection, sql, {}, what, values, error);
}

bool column(PGconn *connection, const QByteArray &sql, const QStringList &parameters, const char *what,
            QStringList *values, QString *error) {
    QByteArrayList utf8;
    std::vector<const char *> raw;
    for (const QString &parameter : parameters)
        utf8.append(parameter.toUtf8());
    for (const QByteArray &parameter : std::as_const(utf8))
        raw.push_back(parameter.constData());
    const Result result(
        PQexecParams(connection, sql.constData(), int(raw.size()), nullptr, raw.data(), nullptr, nullptr, 0), PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQnfields(result.get()) < 1)
        return failed(connection, what, error);
    values->clear();
    for (int row = 0, rows = PQntuples(result.get()); row < rows; ++row)
        values->append(PQgetisnull(result.get(), row, 0) ? QString()
                                                         : QString::fromUtf8(PQgetvalue(result.get(), row, 0)));
    return true;
}

Connection connect(const QString &text, QString *error) {
    const QByteArray utf8 = text.toUtf8();
    const char *keys[] = {"dbname", "application_name", nullptr};
    const char *values[] = {utf8.constData(), "drevalon-stores", nullptr};
    Connection connection(PQconnectdbParams(keys, values, 1), PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        *error = QStringLiteral("cannot connect with %1: %2")
                     .arg(text, QString::fromUtf8(PQerrorMessage(connection.get())).simplified());
        connection.reset();
    }
    return connection;
}

} // namespace PgCommand
