// What the orders chart costs: a sort command of the archive page with the
// chart's series bound to the archive query against the same command with no
// chart, and one paint of the chart over every bar. Run on a large store:
//   bench_chart DATABASE ALIAS_DIR   (a large store, see bench_datasets)
#include "data/Unit3.h"
#include "data/views/TBarSeries.h"
#include "data/views/TDBChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The command of a sort key: close, write the ORDER BY slot, open.
double sortCommand(TADOQuery *archive, int round) {
    QElapsedTimer timer;
    timer.start();
    archive->Close();
    archive->SQL().setLine(3, round % 2 ? QStringLiteral("ORDER BY cena DESC") : QStringLiteral("ORDER BY cena ASC"));
    archive->Open();
    return timer.nsecsElapsed() / 1e6;
}
} // namespace

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

    // Alternating rounds, so both sides see the same state of the machine.
    std::vector<double> bound, unbound;
    for (int round = 0; round < 9; ++round) {
        series->setDataSet(nullptr);
        unbound.push_back(sortCommand(archive, round));
        series->setDataSet(archive);
        bound.push_back(sortCommand(archive, round));
    }
    std::printf("sort command over %d rows: without chart %.0f ms, with chart %.0f ms (median of 9), ratio %.2f\n",
                archive->RecordCount(), median(unbound), median(bound), median(bound) / median(unbound));

    chart.show();
    std::vector<double> paints;
    for (int round = 0; round < 9; ++round) {
        QElapsedTimer timer;
        timer.start();
        chart.replot();
        QPixmap frame = chart.grab();
        paints.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("chart paint, %d bars: %.1f ms per replot and paint (median of 9)\n", series->Count(), median(paints));
    return 0;
}
