// The load's driver: N workstations against one server or a primary/standby
// pair, then the invariants checked against the server. scripts/load.sh starts
// the server and runs this; exit status 0 when nothing was lost, doubled or
// otherwise wrong, 1 otherwise.
#include "bench/load/LoadRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Many workstations doing a shop's day against one database."));
    parser.addHelpOption();
    const QCommandLineOption connection(QStringLiteral("connection"), QStringLiteral("libpq's connection text."),
                                        QStringLiteral("text"));
    const QCommandLineOption cluster(QStringLiteral("cluster"),
                                     QStringLiteral("The pair's directory (pg-cluster.sh): fail over halfway."),
                                     QStringLiteral("dir"));
    const QCommandLineOption automatic(
        QStringLiteral("automatic"),
        QStringLiteral("With --cluster: the directory is pg-ha.sh's; its leader is killed halfway and nobody "
                       "promotes anything."));
    const QCommandLineOption events(QStringLiteral("events"),
                                    QStringLiteral("With --automatic: how many times the cluster is struck, in turn "
                                                   "the leader killed, the synchronous replica killed, the leader "
                                                   "frozen for 40 s (1: the leader killed halfway)."),
                                    QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption workstations(QStringLiteral("workstations"), QStringLiteral("Workstations (20)."),
                                          QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("Length of the day (600)."),
                                     QStringLiteral("s"), QStringLiteral("600"));
    const QCommandLineOption customers(QStringLiteral("customers"), QStringLiteral("Demo customers (400)."),
                                       QStringLiteral("n"), QStringLiteral("400"));
    const QCommandLineOption archive(QStringLiteral("archive"), QStringLiteral("Demo archive lines (20000)."),
                                     QStringLiteral("n"), QStringLiteral("20000"));
    const QCommandLineOption work(QStringLiteral("work"), QStringLiteral("Directory for car tables and logs."),
                                  QStringLiteral("dir"));
    const QCommandLineOption summary(QStringLiteral("summary"), QStringLiteral("Write per-command figures here."),
                                     QStringLiteral("file"));
    const QCommandLineOption compare(QStringLiteral("compare"),
                                     QStringLiteral("Set p95 against the p50 of an earlier run's summary."),
                                     QStringLiteral("file"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("First workstation's seed."),
                                  QStringLiteral("n"), QStringLiteral("2311"));
    const QCommandLineOption think(QStringLiteral("think"),
                                   QStringLiteral("A user's pause before each press, on average (0: none)."),
                                   QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption doublePost(QStringLiteral("double-post"),
                                        QStringLiteral("Workstations post some lines twice (the checks must fail)."));
    const QCommandLineOption role(QStringLiteral("workstation-role"),
                                  QStringLiteral("The role the workstations log in as; the store tool grants it the "
                                                 "rows of the tables and nothing more."),
                                  QStringLiteral("role"));
    parser.addOptions({role, automatic, events, connection, cluster, workstations, seconds, customers, archive, work,
                       summary, compare, seed, think, doublePost});
    parser.process(app);
    if (!parser.isSet(connection))
        parser.showHelp(2);

    LoadRun::Options options;
    options.connection = parser.value(connection);
    options.workstationRole = parser.value(role);
    options.clusterDir = parser.value(cluster);
    options.failover = parser.isSet(cluster);
    options.automatic = parser.isSet(automatic);
    options.events = std::max(1, parser.value(events).toInt());
    options.workstations = std::max(1, parser.value(workstations).toInt());
    options.seconds = std::max(1, parser.value(seconds).toInt());
    options.customers = parser.value(customers).toInt();
    options.archive = parser.value(archive).toInt();
    options.summaryFile = parser.value(summary);
    options.compareFile = parser.value(compare);
    options.seed = parser.value(seed).toUInt();
    options.doublePost = parser.isSet(doublePost);
    options.thinkMs = std::max(0, parser.value(think).toInt());
    QTemporaryDir scratch;
    options.workDir = parser.isSet(work) ? parser.value(work) : scratch.path();
    const LoadRun::Result result = LoadRun(options).run();
    return result.violations.isEmpty() && result.faults.isEmpty() ? 0 : 1;
}
