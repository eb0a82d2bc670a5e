// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <libpq-fe.h>
#include <memory>

// Statements run straight through libpq on a connection the QPSQL driver
// opened, for what Qt's SQL layer cannot do: COPY and whole scripts.
namespace PgCommand {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

// A connection of the tool's own to the server the text names, named so that a
// restore does not take it for the program; empty, with the reason, if it fails.
Connection connect(const QString &text, QString *error);

// The server's or the library's last complaint, on one line.
QString lastError(PGconn *connection);
// Runs one statement, or a script of several, that returns no rows.
bool run(PGconn *connection, const QByteArray &sql, const char *what, QString *error);
// Runs a query and gives the first column of each row; NULL comes as a null QString.
bool column(PGconn *connection, const QByteArray &sql, const char *what, QStringList *values, QString *error);
// The same with text parameters $1, $2, ... bound to the statement.
bool column(PGconn *connection, const QByteArray &sql, const QStringList &parameters, const char *what,
            QStringList *values, QString *error);

} // namespace PgCommand
