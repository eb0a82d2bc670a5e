// How the dataset layer compares with reading the same rows straight from the
// store: opening the archive query and the archive table, and following a
// master through its customers. Run on a large generated store:
//   drevalon-stores --customers 20000 --archive 1000000 --database DB --alias-dir DIR --force
//   bench_datasets DB DIR
#include "data/Unit3.h"
#include "data/datasets/TADOConnection.h"
#include "data/datasets/TADOQuery.h"
#include "data/datasets/TADOTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdio>

namespace {
double rawRead(const QString &path, const QString &sql) {
    QElapsedTimer timer;
    timer.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(sql);
        const int columns = q.record().count();
        qint64 rows = 0;
        while (q.next()) {
            for (int c = 0; c < columns; ++c)
                q.value(c);
            ++rows;
        }
        std::printf("  raw read: %lld rows\n", static_cast<long long>(rows));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return timer.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_datasets DATABASE ALIAS_DIR\n");
        return 64;
    }
    const QString db = QString::fromLocal8Bit(argv[1]);
    const StoreSettings settings{QStringLiteral("QSQLITE"), db, QString::fromLocal8Bit(argv[2])};

    const double rawArchive =
        rawRead(db, QStringLiteral("select idcust,Firm,number,description,kol,cena,date from orderAll"));
    QElapsedTimer timer;
    TADOConnection connection(QStringLiteral("ADOConnection1"));
    connection.setStore(settings.driver, settings.database);
    TADOTable table(QStringLiteral("ADOTable1"));
    table.setConnection(&connection);
    table.setTableName(QStringLiteral("orderAll"));
    table.setIndexFieldNames(QStringLiteral("idcust"));
    timer.start();
    table.Open();
    const double tableOpen = timer.nsecsElapsed() / 1e6;
    std::printf("orderAll, %d rows: raw read %.0f ms, table open (sorted by idcust) %.0f ms, ratio %.2f\n",
                table.RecordCount(), rawArchive, tableOpen, tableOpen / rawArchive);

    {
        TDataModule3 module(settings);
        timer.start();
        module.ADOQuery2->Close();
        module.ADOQuery2->Open();
        const double queryOpen = timer.nsecsElapsed() / 1e6;
        std::printf("ADOQuery2, %d rows: open %.0f ms, ratio to raw %.2f\n", module.ADOQuery2->RecordCount(), queryOpen,
                    queryOpen / rawArchive);

        timer.start();
        int moves = 0;
        qint64 detailRows = 0;
        for (module.ADOQuery1->First(); !module.ADOQuery1->Eof() && moves < 5000; module.ADOQuery1->Next()) {
            detailRows += module.ADOTable1->RecordCount() + module.Table1->RecordCount();
            ++moves;
        }
        const double follow = timer.nsecsElapsed() / 1e6;
        std::printf("master moves: %d moves, %lld detail rows seen, %.3f ms per move\n", moves,
                    static_cast<long long>(detailRows), follow / moves);
    }
    return 0;
}
