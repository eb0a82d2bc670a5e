// Four workstations against a cluster whose primary dies halfway: a primary
// with a synchronous standby promoted by hand a moment later, and a Patroni
// cluster of three nodes whose leader is killed hard while nobody promotes
// anything (its old leader started again must come back as a replica). Every
// line a workstation was told it stored is on the new primary exactly once, no
// line is there twice, no car lost its customer, each total shown is that of
// the lines the workstation's next move took, and every workstation works
// again after the failover (the day is drawn out until it has, however slow
// the machine). DREVALON_LOAD_SECONDS sets the length of the day (40 by default).
#include "bench/load/LoadRun.h"
#include "tests/support/TestServer.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString script(const QString &name) { return QStringLiteral(DREVALON_SOURCE_DIR "/scripts/") + name; }

/// A cluster started by one of the scripts, stopped with its object.
struct Cluster {
    QString name, dir, connection, error;
    explicit Cluster(const QString &scriptName) : name(scriptName) {
        QProcess start;
        start.start(QStringLiteral("bash"), {script(name)});
        if (!start.waitForFinished(300000)) {
            error = name + QStringLiteral(" did not finish");
            return;
        }
        const QString said = QString::fromUtf8(start.readAllStandardError()).trimmed();
        if (start.exitCode() != 0) {
            error = said;
            return;
        }
        dir = said.section(QLatin1Char('\n'), -1);
        connection = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
    }
    ~Cluster() {
        if (!dir.isEmpty())
            QProcess::execute(QStringLiteral("bash"), {script(name), QStringLiteral("stop"), dir});
    }
};

LoadRun::Options options(const QString &connection, const QString &workDir) {
    LoadRun::Options o;
    o.connection = connection;
    o.workstationRole = TestServer::workstationRole();
    o.workDir = workDir;
    o.customers = 60;
    o.archive = 2000;
    return o;
}

bool serverInstalled() {
    return !QDir(QStringLiteral("/usr/lib/postgresql"))
                .entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)
                .isEmpty();
}

} // namespace

class TestLoadFailover : public QObject {
    Q_OBJECT

private slots:
    // The checks themselves: workstations that post some lines twice are caught,
    // and so is a total shown before the last line went in twice.
    void aLinePostedTwiceIsFound() {
        if (!serverInstalled())
            QSKIP("no PostgreSQL server binaries are installed");
        const Cluster pair(QStringLiteral("pg-cluster.sh"));
        QVERIFY2(pair.error.isEmpty(), qPrintable(pair.error));
        QTemporaryDir work;
        LoadRun::Options o = options(pair.connection, work.path());
        o.workstations = 1;
        o.seconds = 5;
        o.doublePost = true;
        const LoadRun::Result result = LoadRun(o).run();
        QVERIFY2(result.faults.isEmpty(), qPrintable(result.report));
        QVERIFY2(!result.violations.isEmpty(), qPrintable(result.report));
        const QStringList doubled = result.violations.filter(QStringLiteral("confirmed) stored 2 times"));
        QVERIFY2(!doubled.isEmpty(), qPrintable(result.report));
        for (const QString &violation : result.violations)
            QVERIFY2(doubled.contains(violation) || violation.contains(QStringLiteral("showed the total")),
                     qPrintable(violation));
        QVERIFY2(result.totalsCompared > 0, qPrintable(result.report));
    }

    void nothingLostOrDoubledAcrossAFailover_data() {
        QTest::addColumn<QString>("cluster");
        QTest::addColumn<bool>("automatic");
        QTest::newRow("a pair, promoted by hand") << QStringLiteral("pg-cluster.sh") << false;
        QTest::newRow("Patroni, by itself") << QStringLiteral("pg-ha.sh") << true;
    }
    void nothingLostOrDoubledAcrossAFailover() {
        QFETCH(QString, cluster);
        QFETCH(bool, automatic);
        if (!serverInstalled())
            QSKIP("no PostgreSQL server binaries are installed");
        if (automatic && QStandardPaths::findExecutable(QStringLiteral("patroni")).isEmpty())
            QSKIP("Patroni is not installed (scripts/setup.sh installs it)");
        const Cluster running(cluster);
        QVERIFY2(running.error.isEmpty(), qPrintable(running.error));
        QTemporaryDir work;
        LoadRun::Options o = options(running.connection, work.path());
        o.clusterDir = running.dir;
        o.failover = true;
        o.automatic = automatic;
        o.workstations = 4;
        bool set = false;
        const int seconds = qEnvironmentVariableIntValue("DREVALON_LOAD_SECONDS", &set);
        o.seconds = set && seconds > 0 ? seconds : 40;
        const LoadRun::Result result = LoadRun(o).run();

        QVERIFY2(result.faults.isEmpty(), qPrintable(result.report));
        QVERIFY2(result.violations.isEmpty(), qPrintable(result.report));
        // The day did its work on both sides of the failover.
        QVERIFY2(result.ordersMoved > 0 && result.linesConfirmed > 0, qPrintable(result.report));
        // Each workstation's totals are its own lines: set against its moves, several at once.
        QVERIFY2(result.totalsCompared > 0, qPrintable(result.report));
        QVERIFY2(result.recoveryMs >= 0, qPrintable(result.report));
        if (automatic)
            QVERIFY2(result.electionMs >= 0, qPrintable(result.report));
    }
};

QTEST_GUILESS_MAIN(TestLoadFailover)
#include "tst_load_failover.moc"
