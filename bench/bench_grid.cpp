// Painting a grid over a million rows against painting it over a hundred: the grid
// reads only the rows on screen, so both should cost about the same.
//   bench_grid DATABASE ALIAS_DIR   (a large store, see bench_datasets)
#include "data/datasets/TADOConnection.h"
#include "data/datasets/TADOQuery.h"
#include "data/datasets/TDataSource.h"
#include "data/views/TDBGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPixmap>
#include <cstdio>

namespace {
// Milliseconds per frame: jump through the rows and paint the grid each time.
double paintCost(TDBGrid &grid, TDataSet &rows, int frames) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i) {
        rows.setRecNo(static_cast<int>(static_cast<qint64>(rows.RecordCount() - 1) * i / frames));
        QPixmap frame = grid.grab();
        Q_UNUSED(frame);
    }
    return timer.nsecsElapsed() / 1e6 / frames;
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_grid DATABASE ALIAS_DIR\n");
        return 64;
    }
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TADOConnection connection(QStringLiteral("ADOConnection1"));
    connection.setStore(QStringLiteral("QSQLITE"), QString::fromLocal8Bit(argv[1]));
    double costs[2] = {};
    int counts[2] = {};
    const char *limits[2] = {"", " limit 100"}; // both fill the grid
    for (int i = 0; i < 2; ++i) {
        TADOQuery query(QStringLiteral("ADOQuery2"));
        query.setConnection(&connection);
        query.SQL().setLines({QStringLiteral("select idcust, Firm, number, description, kol, cena, "
                                             "Convert(char(11),date,104) as [Дата] from orderAll") +
                              QString::fromLatin1(limits[i])});
        query.Open();
        TDataSource source(QStringLiteral("DataSource4"));
        source.setDataSet(&query);
        TDBGrid grid(QStringLiteral("DBGrid2"));
        grid.resize(900, 600);
        grid.setDataSource(&source);
        grid.show();
        costs[i] = paintCost(grid, query, 200);
        counts[i] = query.RecordCount();
    }
    std::printf("grid paint: %d rows %.2f ms/frame, %d rows %.2f ms/frame, ratio %.2f\n", counts[0], costs[0],
                counts[1], costs[1], costs[0] / costs[1]);
    return 0;
}
