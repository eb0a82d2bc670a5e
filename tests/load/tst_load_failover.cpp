// Four workstations against a primary with a synchronous standby; halfway the
// primary is stopped hard and the standby promoted. Every line a workstation
// was told it stored is on the promoted server exactly once, no line is there
// twice, no car lost its customer, each total shown is that of the lines the
// workstation's next move took, and every workstation works again after the
// promotion (the day is drawn out until it has, however slow the machine).
// DREVALON_LOAD_SECONDS sets the length of the day (40 by default).
#include "bench/load/LoadRun.h"
#include "tests/support/TestServer.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestLoadFailover : public QObject {
    Q_OBJECT

    QString clusterDir, connection;

    static QString script() { return QStringLiteral(DREVALON_SOURCE_DIR "/scripts/pg-cluster.sh"); }

    static LoadRun::Options options(const QString &connection, const QString &workDir) {
        LoadRun::Options o;
        o.connection = connection;
        o.workstationRole = TestServer::workstationRole();
        o.workDir = workDir;
        o.customers = 60;
        o.archive = 2000;
        return o;
    }

private slots:
    void initTestCase() {
        if (QDir(QStringLiteral("/usr/lib/postgresql"))
                .entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)
                .isEmpty())
            QSKIP("no PostgreSQL server binaries are installed");
        QProcess cluster;
        cluster.start(QStringLiteral("bash"), {script()});
        QVERIFY(cluster.waitForFinished(180000));
        clusterDir = QString::fromUtf8(cluster.readAllStandardError()).trimmed().section(QLatin1Char('\n'), -1);
        QVERIFY2(cluster.exitCode() == 0, qPrintable(clusterDir));
        connection = QString::fromUtf8(cluster.readAllStandardOutput()).trimmed();
    }
    void cleanupTestCase() {
        if (!clusterDir.isEmpty())
            QProcess::execute(QStringLiteral("bash"), {script(), QStringLiteral("stop"), clusterDir});
    }

    // The checks themselves: workstations that post some lines twice are caught,
    // and so is a total shown before the last line went in twice.
    void aLinePostedTwiceIsFound() {
        QTemporaryDir work;
        LoadRun::Options o = options(connection, work.path());
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

    void nothingLostOrDoubledAcrossAFailover() {
        QTemporaryDir work;
        LoadRun::Options o = options(connection, work.path());
        o.clusterDir = clusterDir;
        o.failover = true;
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
    }
};

QTEST_GUILESS_MAIN(TestLoadFailover)
#include "tst_load_failover.moc"
