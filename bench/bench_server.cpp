// The archive read from a PostgreSQL server: the dataset layer's open against
// its floor (the client library reading the same statement whole, every value
// touched) and its peer (QSqlQueryModel over Qt's QPSQL driver). Rounds
// alternate; min and median are printed, then the memory the open holds.
//   bench_server CONNECTION_TEXT ALIAS_DIR   (stores made by scripts/bench.sh)
#include "bench/BenchKit.h"
#include "data/Unit3.h"
#include "data/datasets/PostgresDialect.h"
#include "data/datasets/PostgresText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQueryModel>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <malloc.h>
#include <vector>

using namespace BenchKit;

namespace {
const QString archiveSql = QStringLiteral("select idcust,Firm as фирма,number as Артикул, description as Наименование, "
                                          "kol as Количество,cena as [Цена(шт)] , Convert(char(11),date,104) as [Дата] "
                                          "from [orderAll]");

volatile long long sink = 0;

// The floor: the whole result in one piece through the client library.
void scanLibpq(QSqlDatabase &db, const QString &sql) {
    PGconn *conn = *static_cast<PGconn *const *>(db.driver()->handle().constData());
    PGresult *result = PQexec(conn, PostgresDialect::serverText(sql).toUtf8().constData());
    for (int row = 0; row < PQntuples(result); ++row)
        for (int c = 0; c < PQnfields(result); ++c)
            sink += PQgetlength(result, row, c) + PQgetvalue(result, row, c)[0];
    PQclear(result);
}

void fetchModel(QSqlDatabase &db, const QString &sql) {
    QSqlQueryModel model;
    model.setQuery(PostgresText::rewrite(sql), db);
    while (model.canFetchMore())
        model.fetchMore();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_server CONNECTION_TEXT ALIAS_DIR\n");
        return 64;
    }
    const StoreSettings settings{QStringLiteral("QPSQL"), QString::fromLocal8Bit(argv[1]),
                                 QString::fromLocal8Bit(argv[2])};
    QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("raw"));
    PostgresDialect().open(raw, settings.database);
    TDataModule3 module(settings);
    TADOQuery *archive = module.ADOQuery2;
    TADOTable *table = module.ADOTable1;

    Rounds query, table1, floor, peer;
    for (int round = 0; round < 5; ++round) {
        floor.ms.push_back(timed([&] { scanLibpq(raw, archiveSql); }));
        archive->Close();
        query.ms.push_back(timed([&] { archive->Open(); }));
        peer.ms.push_back(timed([&] { fetchModel(raw, archiveSql); }));
        table->Close();
        table1.ms.push_back(timed([&] { table->Open(); }));
    }
    std::printf("%d archive lines on a PostgreSQL server; min and median of 5 alternating rounds, ms\n\n",
                archive->RecordCount());
    BenchKit::header();
    row("open ADOQuery2 (PostgreSQL)", query, "libpq, whole result", floor);
    row("open ADOQuery2 (PostgreSQL)", query, "QSqlQueryModel over QPSQL", peer);
    std::printf("| %-34s | %7.0f | %7.0f | %-28s | %7s | %7s | %5s |\n", "open ADOTable1 (PostgreSQL)", table1.min(),
                table1.median(), "", "", "", "");

    archive->Close();
    table->Close();
    const double before = static_cast<double>(mallinfo2().uordblks);
    archive->Open();
    std::printf("\nmemory of ADOQuery2 open on the server: %.0f MB\n",
                (static_cast<double>(mallinfo2().uordblks) - before) / 1048576.0);
    return 0;
}
