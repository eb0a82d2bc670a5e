// Painting the archive grid over every archive line against painting it over
// a hundred: the grid reads only the rows on screen, so both should cost about
// the same. A frame: a jump to another row, then the whole grid painted.
//   bench_grid DATABASE ALIAS_DIR   (stores made by scripts/bench.sh)
#include "bench/BenchKit.h"
#include "data/datasets/TDataSource.h"
#include "data/views/TDBGrid.h"

#include <QApplication>
#include <QLocale>
#include <QPixmap>

using namespace BenchKit;

namespace {
constexpr int framesPerRound = 50;

// A grid as the archive page has it, over the statement with `limit` added.
struct Grid {
    Grid(TADOConnection &connection, const QString &limit)
        : query(QStringLiteral("ADOQuery2")), source(QStringLiteral("DataSource4")), grid(QStringLiteral("DBGrid2")) {
        query.setConnection(&connection);
        query.SQL().setLines({QStringLiteral("select idcust, Firm, number, description, kol, cena, "
                                             "Convert(char(11),date,104) as [Дата] from orderAll") +
                              limit});
        query.Open();
        source.setDataSet(&query);
        grid.resize(873, 577);
        grid.setDataSource(&source);
        grid.show();
    }
    void frames() {
        for (int i = 0; i < framesPerRound; ++i) {
            query.setRecNo(static_cast<int>(static_cast<qint64>(query.RecordCount() - 1) * (i * 7 % framesPerRound) /
                                            framesPerRound));
            QPixmap frame = grid.grab();
        }
    }
    TADOQuery query;
    TDataSource source;
    TDBGrid grid;
};
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
    Grid all(connection, QString()), hundred(connection, QStringLiteral(" limit 100")); // both fill the grid

    Alternation rounds;
    const Rounds &big = rounds.add([&] { all.frames(); });
    const Rounds &small = rounds.add([&] { hundred.frames(); });
    rounds.run();
    auto perFrame = [](Rounds rounds) {
        for (double &ms : rounds.ms)
            ms /= framesPerRound;
        return rounds;
    };
    preamble(qPrintable(QStringLiteral("The archive grid over %1 rows and over %2; %3 frames a round")
                            .arg(all.query.RecordCount())
                            .arg(hundred.query.RecordCount())
                            .arg(framesPerRound)));
    header();
    row("grid paint per frame, every archive line", perFrame(big), "the same grid over 100 rows", perFrame(small),
        "≈ 1 (constant)");
    return 0;
}
