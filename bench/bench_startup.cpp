// Start-up to the main window, the splash excluded: creating every window and
// the data module over a large store (every dataset read, the chart's first
// fill), then showing the main window; against one scan of the archive through
// the sqlite3 C API. Run on a large store:
//   bench_startup DATABASE ALIAS_DIR   (a large store, see bench_datasets)
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "ui/main/Unit2.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double scan(const QByteArray &path) {
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "select * from orderAll", -1, &stmt, nullptr);
    long long bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            bytes += sqlite3_column_bytes(stmt, c);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return bytes > 0 ? timer.nsecsElapsed() / 1e6 : 0;
}
} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_startup DATABASE ALIAS_DIR\n");
        return 64;
    }
    const StoreSettings settings{QStringLiteral("QSQLITE"), QString::fromLocal8Bit(argv[1]),
                                 QString::fromLocal8Bit(argv[2])};
    std::vector<double> starts, scans;
    for (int round = 0; round < 3; ++round) {
        scans.push_back(scan(QByteArray(argv[1])));
        QElapsedTimer timer;
        timer.start();
        Startup::createAll(settings);
        Form2->showMaximized();
        QCoreApplication::processEvents();
        starts.push_back(timer.nsecsElapsed() / 1e6);
        Startup::destroyAll();
    }
    std::printf("start-up to the main window: median %.0f ms; one C API scan of orderAll %.0f ms; ratio %.2f\n",
                median(starts), median(scans), median(starts) / median(scans));
    return 0;
}
