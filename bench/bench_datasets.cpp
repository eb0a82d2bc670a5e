// How the dataset layer compares with its floor and its peer on the same rows:
// the floor is the sqlite3 C API stepping the same statement and reading every
// column, the peer QSqlQueryModel fetching every row. Rounds alternate; min and
// median of each are printed, then memory, moves by position and master moves.
//   bench_datasets DATABASE ALIAS_DIR   (stores made by scripts/bench.sh)
#include "bench/BenchKit.h"
#include "data/Unit3.h"
#include "data/datasets/SqliteDialect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <sqlite3.h>
#include <vector>

using namespace BenchKit;

namespace {
const QString archiveSql = QStringLiteral("select idcust,Firm as фирма,number as Артикул, description as Наименование, "
                                          "kol as Количество,cena as [Цена(шт)] , Convert(char(11),date,104) as [Дата] "
                                          "from [orderAll]");

// Bytes the heap holds now (freed blocks reused by a later open do not hide it).
double heapBytes() { return static_cast<double>(mallinfo2().uordblks); }

volatile long long sink = 0; // keeps the values read from being optimised away

// The floor: every column of every row through the C API; returns the bytes read.
long long scanCApi(QSqlDatabase &db, const QString &sql) {
    sqlite3 *handle = *static_cast<sqlite3 *const *>(db.driver()->handle().constData());
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    sqlite3_prepare_v2(handle, text.constData(), text.size(), &stmt, nullptr);
    long long bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                sink += sqlite3_column_int64(stmt, c);
                bytes += 8;
                break;
            case SQLITE_FLOAT:
                sink += static_cast<long long>(sqlite3_column_double(stmt, c));
                bytes += 8;
                break;
            case SQLITE_TEXT:
                sqlite3_column_text(stmt, c);
                bytes += sqlite3_column_bytes(stmt, c);
                break;
            default: break;
            }
        }
    }
    sqlite3_finalize(stmt);
    return bytes;
}

void fetchModel(QSqlDatabase &db, const QString &sql) {
    QSqlQueryModel model;
    model.setQuery(sql, db);
    while (model.canFetchMore())
        model.fetchMore();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_datasets DATABASE ALIAS_DIR\n");
        return 64;
    }
    const StoreSettings settings{QStringLiteral("QSQLITE"), QString::fromLocal8Bit(argv[1]),
                                 QString::fromLocal8Bit(argv[2])};
    QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
    SqliteDialect().open(raw, settings.database);
    TDataModule3 module(settings);
    TADOQuery *archive = module.ADOQuery2;
    TADOTable *table = module.ADOTable1;

    Rounds query, table1, floorQuery, floorTable, peer;
    long long rawBytes = 0;
    for (int round = 0; round < 5; ++round) {
        floorQuery.ms.push_back(timed([&] { rawBytes = scanCApi(raw, archiveSql); }));
        archive->Close();
        query.ms.push_back(timed([&] { archive->Open(); }));
        peer.ms.push_back(timed([&] { fetchModel(raw, archiveSql); }));
        floorTable.ms.push_back(timed([&] { scanCApi(raw, QStringLiteral("select * from orderAll")); }));
        table->Close();
        table1.ms.push_back(timed([&] { table->Open(); }));
    }
    const int rows = archive->RecordCount();
    std::printf("%d archive lines; min and median of 5 alternating rounds, ms\n\n", rows);
    BenchKit::header();
    row("open ADOQuery2", query, "C API scan, same statement", floorQuery);
    row("open ADOQuery2", query, "QSqlQueryModel, all rows", peer);
    row("open ADOTable1 (sorted by idcust)", table1, "C API scan of orderAll", floorTable);

    archive->Close();
    table->Close();
    const double before = heapBytes();
    archive->Open();
    const double held = heapBytes() - before;
    std::printf("\nmemory of ADOQuery2 open: %.0f MB; raw bytes of its rows %.0f MB; ratio %.2f\n", held / 1048576.0,
                rawBytes / 1048576.0, held / rawBytes);

    const int jumps = 2000;
    const double jump = timed([&] {
        for (int i = 0; i < jumps; ++i)
            archive->setRecNo(i % 2 ? rows - 1 : rows / 2);
    });
    std::printf("setRecNo to a far row: %.4f ms per move\n", jump / jumps);

    table->Open();
    int moves = 0;
    const double follow = timed([&] {
        for (module.ADOQuery1->First(); !module.ADOQuery1->Eof() && moves < 5000; module.ADOQuery1->Next())
            ++moves;
    });
    std::printf("master moves (cars and archive follow): %.4f ms per move over %d moves\n", follow / moves, moves);
    return 0;
}
