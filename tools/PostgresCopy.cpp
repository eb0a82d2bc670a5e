// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresCopy.h"

#include <QLocale>

#include <cmath>
#include <memory>

#include "PgCommand.h"

namespace {

// Large enough that the per-call cost vanishes, small enough to stay in cache.
constexpr qsizetype sendSize = 1 << 20;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// Reads the results of a finished or cancelled copy; the last one that is not
// a success, if any, tells why it failed.
bool drainResults(PGconn *connection, QString *error) {
    bool ok = true;
    while (PGresult *raw = PQgetResult(connection)) {
        const Result result(raw, PQclear);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK) {
            ok = false;
            if (error)
                *error = QString::fromUtf8(PQresultErrorMessage(raw)).simplified();
        }
    }
    return ok;
}

} // namespace

PostgresCopy::~PostgresCopy() { cancel(); }

bool PostgresCopy::start(const QByteArray &statement, QString *error) {
    const Result result(PQexec(m_connection, statement.constData()), PQclear);
    if (PQresultStatus(result.get()) != PGRES_COPY_IN) {
        *error = QStringLiteral("%1 failed: %2").arg(QString::fromUtf8(statement), PgCommand::lastError(m_connection));
        return false;
    }
    m_active = true;
    m_rowStarted = false;
    m_buffer.clear();
    m_buffer.reserve(sendSize + sendSize / 4);
    return true;
}

void PostgresCopy::separate() {
    if (m_rowStarted)
        m_buffer.append('\t');
    m_rowStarted = true;
}

void PostgresCopy::text(const QString &value) {
    separate();
    if (value.isNull())
        m_buffer.append("\\N", 2);
    else
        appendEscaped(m_buffer, value.toUtf8());
}

void PostgresCopy::number(qint64 value) {
    separate();
    m_buffer.append(QByteArray::number(value));
}

void PostgresCopy::number(double value) {
    separate();
    // The server's own spellings for what a C library would print otherwise.
    if (std::isnan(value))
        m_buffer.append("NaN");
    else if (std::isinf(value))
        m_buffer.append(value < 0 ? "-Infinity" : "Infinity");
    else // the shortest text that reads back as the same double
        m_buffer.append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
}

bool PostgresCopy::endRow(QString *error) {
    m_buffer.append('\n');
    m_rowStarted = false;
    return m_buffer.size() < sendSize || send(error);
}

bool PostgresCopy::row(const QByteArray &line, QString *error) {
    m_buffer.append(line);
    return endRow(error);
}

bool PostgresCopy::send(QString *error) {
    if (m_buffer.isEmpty())
        return true;
    if (PQputCopyData(m_connection, m_buffer.constData(), int(m_buffer.size())) != 1) {
        *error = QStringLiteral("sending rows failed: %1").arg(PgCommand::lastError(m_connection));
        return false;
    }
    m_buffer.clear();
    return true;
}

bool PostgresCopy::end(QString *error) {
    if (!m_active)
        return true;
    if (!send(error))
        return false;
    m_active = false;
    if (PQputCopyEnd(m_connection, nullptr) != 1) {
        *error = QStringLiteral("ending the copy failed: %1").arg(PgCommand::lastError(m_connection));
        drainResults(m_connection, nullptr);
        return false;
    }
    QString why;
    if (!drainResults(m_connection, &why)) {
        *error = QStringLiteral("the server refused the rows: %1").arg(why);
        return false;
    }
    return true;
}

void PostgresCopy::cancel() {
    if (!m_active)
        return;
    m_active = false;
    PQputCopyEnd(m_connection, "cancelled by drevalon-stores");
    drainResults(m_connection, nullptr);
}

void PostgresCopy::appendEscaped(QByteArray &out, const QByteArray &utf8) {
    const char *begin = utf8.constData();
    const char *const end = begin + utf8.size();
    for (const char *p = begin; p != end; ++p) {
        const char c = *p;
        char escaped;
        switch (c) {
        case '\\': escaped = '\\'; break;
        case '\t': escaped = 't'; break;
        case '\n': escaped = 'n'; break;
        case '\r': escaped = 'r'; break;
        default: continue;
        }
        out.append(begin, p - begin);
        out.append('\\');
        out.append(escaped);
        begin = p + 1;
    }
    out.append(begin, end - begin);
}
