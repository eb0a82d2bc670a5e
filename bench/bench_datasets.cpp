// The dataset layer against its floor and its peer, for a first open: a new
// dataset configured as the data module configures its own, on the module's
// connection, with the store touched just before, so no rows held anywhere
// can stand in for reading them. The floor runs the statements that open ran
// (recorded from SQLite) through the C API on a connection opened as the
// program opens its own, every value read by its type; the peer is Qt's
// forward-only QSqlQuery reading every value. Each side includes its clean-up:
// our Open, Close and the dataset's destruction; the floor's finalize; the
// peer query's destruction. Then the heap an open holds, moves by position
// and master moves.
//   bench_datasets DATABASE ALIAS_DIR   (stores made by scripts/bench.sh)
#include "bench/BenchKit.h"
#include "data/Unit3.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <memory>

using namespace BenchKit;

namespace {
// The peer: the same statements through Qt's forward-only query, every value read.
void readForwardOnly(const QSqlDatabase &db, const std::vector<Statement> &statements) {
    for (const Statement &statement : statements) {
        if (opensConnection(statement.sql))
            continue;
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(QString::fromStdString(statement.sql));
        const int columns = query.record().count();
        while (query.next())
            for (int c = 0; c < columns; ++c)
                sink += query.value(c).isValid();
    }
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const std::optional<StoreSettings> arguments =
        BenchKit::storeArguments(argc, argv, "bench_datasets DATABASE ALIAS_DIR");
    if (!arguments)
        return 64;
    const StoreSettings &settings = *arguments;
    TDataModule3 module(settings);
    sqlite3 *programs = handleOf(module.ADOConnection1->database());
    QSqlDatabase peerDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peer"));
    SqliteDialect().open(peerDb, settings.database);

    // What each open runs, with nothing held that could stand in for it.
    touchStore(settings.database);
    const std::vector<Statement> archiveRuns = StatementLog::of([&] { freshArchive(module)->Open(); }, programs);
    touchStore(settings.database);
    const std::vector<Statement> tableRuns = StatementLog::of([&] { freshTable(module)->Open(); }, programs);
    const Floor archiveFloor(archiveRuns), tableFloor(tableRuns);
    const Scan archiveRows = archiveFloor.run();

    Alternation rounds;
    auto firstOpen = [&] { touchStore(settings.database); };
    const Rounds &query = rounds.add([&] { openAndClose(freshArchive(module)); }, firstOpen);
    const Rounds &queryFloor = rounds.add([&] { archiveFloor.run(); });
    const Rounds &queryPeer = rounds.add([&] { readForwardOnly(peerDb, archiveRuns); });
    const Rounds &table = rounds.add([&] { openAndClose(freshTable(module)); }, firstOpen);
    const Rounds &tableFloorRounds = rounds.add([&] { tableFloor.run(); });
    rounds.run();

    // The heap a first open holds, against the bytes of the values it read.
    double held = 0;
    {
        auto archive = freshArchive(module);
        touchStore(settings.database);
        const double before = heapInUse();
        archive->Open();
        held = heapInUse() - before;
    }

    // Moves by position and master moves, on the module's own datasets.
    TADOQuery *own = module.ADOQuery2;
    const int rows = own->RecordCount();
    const int jumps = 2000, moves = 2000;
    Alternation positions;
    const Rounds &jump = positions.add([&] {
        for (int i = 0; i < jumps; ++i)
            own->setRecNo(i % 2 ? rows - 1 : rows / 2);
    });
    TADOQuery *customers = module.ADOQuery1;
    int followed = 0;
    const Rounds &follow = positions.add([&] {
        customers->First();
        for (followed = 0; followed < moves && customers->RecNo() < customers->RecordCount() - 1; ++followed)
            customers->Next();
    });
    positions.run();
    auto perMove = [](Rounds rounds, int count) {
        for (double &ms : rounds.ms)
            ms /= count;
        return rounds;
    };

    preamble(qPrintable(QStringLiteral("%1 archive lines, %2 customers, SQLite; a first open each round")
                            .arg(rows)
                            .arg(customers->RecordCount())));
    archiveFloor.print("an open of ADOQuery2 runs");
    tableFloor.print("an open of ADOTable1 runs");
    std::printf("\n");
    header();
    row("open `ADOQuery2`", query, "C API, the same statements", queryFloor, "≤ 1.2 repetitive, ≤ 1.4 distinct");
    row("open `ADOQuery2`", query, "forward-only `QSqlQuery`, every value", queryPeer);
    row("open `ADOTable1` with its order", table, "C API scan of `orderAll`, unsorted", tableFloorRounds, "≤ 1.5");
    line("heap held by an open of `ADOQuery2`", "raw bytes of its values", number(held / 1048576.0) + " MB",
         number(archiveRows.bytes / 1048576.0) + " MB", ratio(held, double(archiveRows.bytes)),
         "≤ 1.0 repetitive, ≤ 1.5 distinct");
    row("`setRecNo` to a far row, per move", perMove(jump, jumps), "constant");
    row("master move (cars and archive follow), per move", perMove(follow, std::max(1, followed)), "≤ 0.1 ms");
    return 0;
}
