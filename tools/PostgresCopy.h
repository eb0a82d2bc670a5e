// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <libpq-fe.h>

// One COPY ... FROM STDIN in text format: rows are built field by field into
// a buffer that goes to the server in large pieces. A copy still open when the
// object goes is cancelled, which fails the transaction it was part of.
class PostgresCopy {
public:
    explicit PostgresCopy(PGconn *connection) : m_connection(connection) {}
    ~PostgresCopy();
    PostgresCopy(const PostgresCopy &) = delete;
    PostgresCopy &operator=(const PostgresCopy &) = delete;

    // statement: COPY table (columns) FROM STDIN
    bool start(const QByteArray &statement, QString *error);
    bool isActive() const { return m_active; }

    // A null QString is written as NULL.
    void text(const QString &value);
    void number(qint64 value);
    void number(double value);
    bool endRow(QString *error);
    // A whole row already in the text format, without its line end.
    bool row(const QByteArray &line, QString *error);

    bool end(QString *error);

    // The text format's escaping of one value: backslash, tab, newline and
    // carriage return would otherwise end the value, the row or the data.
    static void appendEscaped(QByteArray &out, const QByteArray &utf8);

private:
    void separate();
    bool send(QString *error);
    void cancel();

    PGconn *m_connection;
    QByteArray m_buffer;
    bool m_active = false;
    bool m_rowStarted = false;
};
