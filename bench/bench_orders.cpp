// What moving an order into a large archive costs: 200 current lines copied
// into the archive and deleted in one transaction by the order page's own
// command (Сохранить в архив, clicked), the views following; against the
// statements that command runs (recorded from SQLite) through the C API on a
// connection opened as ours. Before each side, untimed, 200 lines are put in
// the current order. The archive grows: run it on a copy.
//   bench_orders DATABASE_COPY ALIAS_DIR
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "bench/BenchKit.h"
#include "platform/PictureButton.h"
#include "ui/main/Unit2.h"

using namespace BenchKit;

namespace {
constexpr int orderLines = 200;

void addLines(sqlite3 *db, int count) {
    sqlite3_stmt *insert = nullptr;
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into orderNow(idcust, Firm, number, description, kol, cena) values (?, ?, ?, ?, ?, ?)",
                       -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
        const std::string number = "0 242 236 " + std::to_string(i);
        sqlite3_bind_int(insert, 1, 1 + i % 7);
        sqlite3_bind_text(insert, 2, "Bosch", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, number.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, "Свеча зажигания", -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 5, 1 + i % 4);
        sqlite3_bind_double(insert, 6, 320.5 + i);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
}
} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    const std::optional<StoreSettings> arguments =
        BenchKit::storeArguments(argc, argv, "bench_orders DATABASE_COPY ALIAS_DIR");
    if (!arguments)
        return 64;
    const StoreSettings &settings = *arguments;
    Startup::createAll(settings);
    sqlite3 *lines = nullptr;
    sqlite3_open_v2(argv[1], &lines, SQLITE_OPEN_READWRITE, nullptr);
    auto fill = [&] {
        addLines(lines, orderLines);
        settle();
    };
    auto move = [] { Form2->BitBtn10->click(); };

    fill();
    const Floor floor(StatementLog::of(move, handleOf(DataModule3->ADOConnection1->database())));
    Alternation rounds;
    const Rounds &ours = rounds.add(move, fill);
    const Rounds &statements = rounds.add([&] { floor.run(); }, fill);
    rounds.run();

    preamble(
        qPrintable(QStringLiteral("The archive move into %1 archive lines, SQLite")
                       .arg(QString::fromStdString(firstValue(settings.database, "select count(*) from orderAll")))));
    floor.print("the move runs");
    std::printf("\n");
    header();
    row("moving 200 order lines into the archive", ours, "C API, the same statements once", statements, "< 100 ms");
    Startup::destroyAll();
    sqlite3_close(lines);
    return 0;
}
