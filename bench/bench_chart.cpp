// What the orders chart costs: the sort command of the archive page with the
// chart's series bound to the archive query, against the same command with no
// chart; and one replot and paint of the chart over every bar.
//   bench_chart DATABASE ALIAS_DIR   (stores made by scripts/bench.sh)
#include "bench/BenchKit.h"
#include "data/views/TBarSeries.h"
#include "data/views/TDBChart.h"

#include <QApplication>
#include <QLocale>
#include <QPixmap>

using namespace BenchKit;

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_chart DATABASE ALIAS_DIR\n");
        return 64;
    }
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TDataModule3 module({QStringLiteral("QSQLITE"), QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])});
    TADOQuery *archive = module.ADOQuery2;

    TDBChart chart(QStringLiteral("DBChart1"));
    chart.resize(745, 545);
    chart.setChart3DPercent(50);
    chart.setView3DZoom(84);
    TBarSeries *series = chart.addBarSeries(QStringLiteral("Series1"));
    series->setYValueField(QStringLiteral("Количество"));
    series->setLabelField(QStringLiteral("Дата"));

    // The command of a sort key (close, write the ORDER BY slot, open), the
    // direction turned each time so that every command is a change.
    bool descending = false;
    auto sortCommand = [&] {
        descending = !descending;
        archive->Close();
        archive->SQL().setLine(3,
                               descending ? QStringLiteral("ORDER BY cena DESC") : QStringLiteral("ORDER BY cena ASC"));
        archive->Open();
    };
    Alternation rounds;
    const Rounds &bound = rounds.add(sortCommand, [&] { series->setDataSet(archive); });
    const Rounds &unbound = rounds.add(sortCommand, [&] { series->setDataSet(nullptr); });
    rounds.run();

    series->setDataSet(archive);
    chart.show();
    Alternation paints;
    const Rounds &paint = paints.add([&] {
        chart.replot();
        QPixmap frame = chart.grab();
    });
    paints.run();

    preamble(qPrintable(
        QStringLiteral("The orders chart over %1 rows, %2 bars").arg(archive->RecordCount()).arg(series->Count())));
    header();
    row("sort command with the chart following", bound, "the same command without the chart", unbound, "≤ 1.5");
    row("one replot and paint of the chart, every bar", paint, "≤ 200 ms");
    return 0;
}
