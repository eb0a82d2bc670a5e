// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's COPY writer against the server named by DREVALON_TEST_PG:
// every value comes back as it was given, whatever characters it holds.

#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

#include <libpq-fe.h>

#include "PostgresCopy.h"

namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result exec(PGconn *connection, const char *sql) { return Result(PQexec(connection, sql), PQclear); }

bool run(PGconn *connection, const char *sql) {
    const Result result = exec(connection, sql);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return true;
    qWarning() << sql << PQerrorMessage(connection);
    return false;
}

// Every row of a query, each value as the server's text or "<null>".
QList<QStringList> rows(PGconn *connection, const char *sql) {
    QList<QStringList> all;
    const Result result = exec(connection, sql);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        qWarning() << sql << PQerrorMessage(connection);
        return all;
    }
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        QStringList values;
        for (int column = 0; column < PQnfields(result.get()); ++column)
            values.append(PQgetisnull(result.get(), row, column)
                              ? QStringLiteral("<null>")
                              : QString::fromUtf8(PQgetvalue(result.get(), row, column)));
        all.append(values);
    }
    return all;
}

} // namespace

class TestPostgresCopy : public QObject {
    Q_OBJECT

private slots:
    void init();
    void valuesComeBackAsGiven();
    void refusedOrAbandonedCopyKeepsNoRow();

private:
    Connection m_connection{nullptr, PQfinish};
};

void TestPostgresCopy::init() {
    const QByteArray server = qgetenv("DREVALON_TEST_PG");
    if (server.isEmpty())
        QSKIP("DREVALON_TEST_PG is not set: it names the PostgreSQL server for these cases as a libpq "
              "connection text (scripts/pg-throwaway.sh starts one and prints it)");
    m_connection.reset(PQconnectdb(server.constData()));
    QVERIFY2(PQstatus(m_connection.get()) == CONNECTION_OK, PQerrorMessage(m_connection.get()));
    QVERIFY(run(m_connection.get(), "SET client_encoding = 'UTF8'"));
    // A temporary table: each connection has its own, and it goes with it.
    QVERIFY(run(m_connection.get(), "CREATE TEMPORARY TABLE copied (n integer, t text, d double precision)"));
}

void TestPostgresCopy::valuesComeBackAsGiven() {
    const QStringList texts{QStringLiteral("back\\slash"),
                            QStringLiteral("tab\there"),
                            QStringLiteral("new\nline"),
                            QStringLiteral("carriage\rreturn"),
                            QStringLiteral("\\N"),
                            QStringLiteral("\\."),
                            QStringLiteral("\\\t\n\r\\\\"),
                            QStringLiteral(""),
                            QString(),
                            QStringLiteral("Щётки стеклоочистителя, «комплект»"),
                            QStringLiteral("'quoted' \"twice\"; DROP TABLE copied; --")};
    const QList<double> doubles{0.1,
                                1.0 / 3.0,
                                12500.0,
                                -2.5e-300,
                                1.7976931348623157e308,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::nan("")};
    QString error;
    {
        PostgresCopy copy(m_connection.get());
        QVERIFY2(copy.start("COPY copied (n, t, d) FROM STDIN", &error), qPrintable(error));
        for (int i = 0; i < texts.size(); ++i) {
            copy.number(qint64(i));
            copy.text(texts[i]);
            copy.number(doubles[i % doubles.size()]);
            QVERIFY2(copy.endRow(&error), qPrintable(error));
        }
        QVERIFY2(copy.end(&error), qPrintable(error));
        QVERIFY(!copy.isActive());
    }

    const QList<QStringList> back = rows(m_connection.get(), "SELECT n, t FROM copied ORDER BY n");
    QCOMPARE(back.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(back[i][1], texts[i].isNull() ? QStringLiteral("<null>") : texts[i]);

    // The doubles exactly: the server's shortest text reads back as the same bits.
    const QList<QStringList> numbers = rows(m_connection.get(), "SELECT d FROM copied ORDER BY n");
    QCOMPARE(numbers.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        const double sent = doubles[i % doubles.size()];
        const QString stored = numbers[i][0];
        if (std::isnan(sent))
            QCOMPARE(stored, QStringLiteral("NaN"));
        else if (std::isinf(sent))
            QCOMPARE(stored, sent > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity"));
        else
            QCOMPARE(stored.toDouble(), sent);
    }
}

void TestPostgresCopy::refusedOrAbandonedCopyKeepsNoRow() {
    QString error;
    // A value the column cannot take: the copy's end reports the server's refusal.
    {
        PostgresCopy copy(m_connection.get());
        QVERIFY2(copy.start("COPY copied (n, t) FROM STDIN", &error), qPrintable(error));
        copy.number(qint64(1));
        copy.text(QStringLiteral("fine"));
        QVERIFY(copy.endRow(&error));
        copy.text(QStringLiteral("not a number"));
        copy.text(QStringLiteral("fine"));
        QVERIFY(copy.endRow(&error));
        QVERIFY(!copy.end(&error));
        QVERIFY2(error.contains(QStringLiteral("integer")), qPrintable(error));
    }
    QCOMPARE(rows(m_connection.get(), "SELECT count(*) FROM copied"), QList<QStringList>{{QStringLiteral("0")}});

    // A copy dropped before its end is cancelled, and the connection serves on.
    {
        PostgresCopy copy(m_connection.get());
        QVERIFY2(copy.start("COPY copied (n, t) FROM STDIN", &error), qPrintable(error));
        copy.number(qint64(2));
        copy.text(QStringLiteral("abandoned"));
        QVERIFY(copy.endRow(&error));
    }
    QCOMPARE(PQtransactionStatus(m_connection.get()), PQTRANS_IDLE);
    QCOMPARE(rows(m_connection.get(), "SELECT count(*) FROM copied"), QList<QStringList>{{QStringLiteral("0")}});

    // A statement that is no COPY is refused before any row is taken.
    PostgresCopy copy(m_connection.get());
    QVERIFY(!copy.start("SELECT 1", &error));
    QVERIFY(!copy.isActive());
}

QTEST_GUILESS_MAIN(TestPostgresCopy)
#include "tst_postgrescopy.moc"
