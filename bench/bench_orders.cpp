// What moving an order into a large archive costs: 200 current lines copied
// into the archive and deleted in one transaction, by the real command of the
// order page, the views following. Run on a large store:
//   bench_orders DATABASE ALIAS_DIR   (a large store, see bench_datasets)
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "data/Unit3.h"
#include "ui/main/Unit2.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
void addLines(const QString &path, int count) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lines"));
        db.setDatabaseName(path);
        db.open();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "insert into orderNow(idcust, Firm, number, description, kol, cena) values (?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < count; ++i) {
            q.addBindValue(1 + i % 7);
            q.addBindValue(QStringLiteral("Bosch"));
            q.addBindValue(QStringLiteral("0 242 236 %1").arg(i));
            q.addBindValue(QStringLiteral("Свеча зажигания"));
            q.addBindValue(1 + i % 4);
            q.addBindValue(320.5 + i);
            q.exec();
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("lines"));
}
} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_orders DATABASE ALIAS_DIR\n");
        return 64;
    }
    const QString db = QString::fromLocal8Bit(argv[1]);
    Startup::createAll({QStringLiteral("QSQLITE"), db, QString::fromLocal8Bit(argv[2])});
    std::vector<double> moves;
    for (int round = 0; round < 9; ++round) {
        addLines(db, 200);
        QElapsedTimer timer;
        timer.start();
        Form2->BitBtn10Click();
        moves.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(moves.begin(), moves.end());
    QSqlQuery count(DataModule3->ADOConnection1->database());
    count.exec(QStringLiteral("select count(*) from orderAll"));
    count.next();
    std::printf("archive move of 200 lines, archive now %lld lines: median %.1f ms, min %.1f ms (9 rounds)\n",
                count.value(0).toLongLong(), moves[moves.size() / 2], moves.front());
    Startup::destroyAll();
    return 0;
}
