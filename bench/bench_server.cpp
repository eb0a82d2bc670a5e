// The archive read from a PostgreSQL server, for a first open (a new dataset
// configured as the data module's, on the module's connection, the server
// written to just before so no rows held can stand in), against the client
// library running the statements that open sent (recorded with PQtrace) on a
// connection opened as the program opens its own: one row at a time
// (single-row mode) and as one whole result, every value touched; and against
// Qt's forward-only QSqlQuery reading every value. Each side includes its
// clean-up (Close and destruction, PQclear, the query's destruction).
//   bench_server CONNECTION_TEXT ALIAS_DIR   (stores made by scripts/bench.sh)
#include "bench/BenchKit.h"
#include "data/Unit3.h"
#include "data/datasets/PostgresDialect.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdio>
#include <libpq-fe.h>
#include <memory>
#include <string>

using namespace BenchKit;

namespace {
PGconn *handleOfServer(const QSqlDatabase &db) {
    return *static_cast<PGconn *const *>(db.driver()->handle().constData());
}

// The statements a connection sent while `action` ran, read back from the
// client library's trace of its messages: a Parse or Query message gives its
// length, so a statement's end is found whatever quotes it holds.
std::vector<std::string> sentStatements(PGconn *conn, const std::function<void()> &action) {
    FILE *log = std::tmpfile();
    PQtrace(conn, log);
    PQsetTraceFlags(conn, PQTRACE_SUPPRESS_TIMESTAMPS);
    action();
    PQuntrace(conn);
    std::string trace(static_cast<size_t>(std::ftell(log)), '\0');
    std::rewind(log);
    trace.resize(std::fread(trace.data(), 1, trace.size(), log));
    std::fclose(log);

    std::vector<std::string> statements;
    for (size_t at = 0; (at = trace.find("F\t", at)) != std::string::npos; ++at) {
        if (at > 0 && trace[at - 1] != '\n')
            continue;
        const long length = std::strtol(trace.c_str() + at + 2, nullptr, 10);
        const size_t type = trace.find('\t', at + 2) + 1;
        const bool parse = trace.compare(type, 7, "Parse\t ") == 0;
        const bool query = trace.compare(type, 7, "Query\t ") == 0;
        if (!parse && !query)
            continue;
        size_t start = type + 8; // past the opening quote
        long bytes = length - 5; // a Query: its length, the text and its NUL
        if (parse) {
            const size_t nameEnd = trace.find("\" \"", start - 1);
            const long name = static_cast<long>(nameEnd - start);
            start = nameEnd + 3;
            // length, name and NUL, text and NUL, parameter count, their types
            for (int parameters = 0; parameters < 100; ++parameters) {
                bytes = length - 4 - (name + 1) - 1 - 2 - 4 * parameters;
                const std::string count = "\" " + std::to_string(parameters);
                if (bytes >= 0 && trace.compare(start + bytes, count.size(), count) == 0)
                    break;
            }
        }
        if (bytes >= 0 && start + bytes <= trace.size())
            statements.push_back(trace.substr(start, static_cast<size_t>(bytes)));
    }
    // Each statement once: a Parse to describe the rows, then one to read them.
    // One that asks for values it was sent ($1) cannot run again without them.
    std::vector<std::string> once;
    for (const std::string &sql : statements) {
        if (sql.find("$1") != std::string::npos)
            std::printf("left out of the floor, sent with values: %s\n", oneLine(sql).c_str());
        else if (std::find(once.begin(), once.end(), sql) == once.end())
            once.push_back(sql);
    }
    return once;
}

long long touchCells(const PGresult *result) {
    long long bytes = 0;
    for (int row = 0; row < PQntuples(result); ++row)
        for (int c = 0; c < PQnfields(result); ++c) {
            const int length = PQgetlength(result, row, c);
            sink += PQgetvalue(result, row, c)[0];
            bytes += length;
        }
    return bytes;
}

// The floors.
long long readWhole(PGconn *conn, const std::vector<std::string> &statements) {
    long long bytes = 0;
    for (const std::string &sql : statements) {
        PGresult *result = PQexecParams(conn, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
        if (PQresultStatus(result) != PGRES_TUPLES_OK && PQresultStatus(result) != PGRES_COMMAND_OK)
            std::fprintf(stderr, "floor: %s", PQerrorMessage(conn));
        bytes += touchCells(result);
        PQclear(result);
    }
    return bytes;
}

long long readRowByRow(PGconn *conn, const std::vector<std::string> &statements) {
    long long bytes = 0;
    for (const std::string &sql : statements) {
        if (!PQsendQueryParams(conn, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) ||
            !PQsetSingleRowMode(conn))
            std::fprintf(stderr, "floor: %s", PQerrorMessage(conn));
        while (PGresult *result = PQgetResult(conn)) {
            bytes += touchCells(result);
            PQclear(result);
        }
    }
    return bytes;
}

void readForwardOnly(const QSqlDatabase &db, const std::vector<std::string> &statements) {
    for (const std::string &sql : statements) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(QString::fromStdString(sql));
        const int columns = query.record().count();
        while (query.next())
            for (int c = 0; c < columns; ++c)
                sink += query.value(c).isValid();
    }
}

// A write on the server moves the snapshot every change stamp is read from.
void touchServer(PGconn *conn) { PQclear(PQexec(conn, "select txid_current()")); }

void describe(const char *what, const std::vector<std::string> &statements) {
    std::printf("%s: %zu statement(s)\n", what, statements.size());
    for (const std::string &sql : statements)
        std::printf("    %s\n", oneLine(sql).c_str());
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const std::optional<StoreSettings> arguments =
        BenchKit::storeArguments(argc, argv, "bench_server CONNECTION_TEXT ALIAS_DIR", QStringLiteral("QPSQL"));
    if (!arguments)
        return 64;
    const StoreSettings &settings = *arguments;
    TDataModule3 module(settings);
    QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("raw"));
    PostgresDialect().open(raw, settings.database);
    PGconn *floorConn = handleOfServer(raw);
    PGconn *programs = handleOfServer(module.ADOConnection1->database());

    // Once first: what the connection learns once (a table's columns) is no
    // part of an open after the program's first.
    openAndClose(freshArchive(module));
    openAndClose(freshTable(module));
    touchServer(floorConn);
    const std::vector<std::string> archiveSent = sentStatements(programs, [&] { freshArchive(module)->Open(); });
    touchServer(floorConn);
    const std::vector<std::string> tableSent = sentStatements(programs, [&] { freshTable(module)->Open(); });
    const long long rawBytes = readWhole(floorConn, archiveSent);

    Alternation rounds;
    auto firstOpen = [&] { touchServer(floorConn); };
    const Rounds &query = rounds.add([&] { openAndClose(freshArchive(module)); }, firstOpen);
    const Rounds &rowByRow = rounds.add([&] { readRowByRow(floorConn, archiveSent); });
    const Rounds &whole = rounds.add([&] { readWhole(floorConn, archiveSent); });
    const Rounds &peer = rounds.add([&] { readForwardOnly(raw, archiveSent); });
    const Rounds &table = rounds.add([&] { openAndClose(freshTable(module)); }, firstOpen);
    const Rounds &tableRowByRow = rounds.add([&] { readRowByRow(floorConn, tableSent); });
    rounds.run();

    double held = 0;
    {
        auto archive = freshArchive(module);
        touchServer(floorConn);
        const double before = heapInUse();
        archive->Open();
        held = heapInUse() - before;
    }

    preamble(qPrintable(QStringLiteral("%1 archive lines on a PostgreSQL server; a first open each round")
                            .arg(module.ADOQuery2->RecordCount())));
    describe("ADOQuery2 open sends", archiveSent);
    describe("ADOTable1 open sends", tableSent);
    std::printf("\n");
    header();
    row("open `ADOQuery2`, PostgreSQL", query, "libpq one row at a time, the same statements", rowByRow, "≤ 1.05");
    row("open `ADOQuery2`, PostgreSQL", query, "libpq whole result, the same statements", whole);
    row("open `ADOQuery2`, PostgreSQL", query, "forward-only `QSqlQuery`, every value", peer);
    row("open `ADOTable1` with its order, PostgreSQL", table, "libpq one row at a time, the same statements",
        tableRowByRow);
    line("heap held by an open of `ADOQuery2`, PostgreSQL", "bytes of its values as the server sends them",
         number(held / 1048576.0) + " MB", number(rawBytes / 1048576.0) + " MB", ratio(held, double(rawBytes)), "");
    return 0;
}
