// Four workstations against a primary with a synchronous standby; halfway the
// primary is stopped hard and the standby promoted. Every line a workstation
// was told it stored is on the promoted server exactly once, no line is there
// twice, no car lost its customer, and every workstation works again after the
// promotion. DREVALON_LOAD_SECONDS sets the length of the day (40 by default).
#include "tests/load/LoadRun.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestLoadFailover : public QObject {
    Q_OBJECT

    QString clusterDir;

    static QString script() { return QStringLiteral(DREVALON_SOURCE_DIR "/scripts/pg-cluster.sh"); }

private slots:
    void cleanup() {
        if (!clusterDir.isEmpty())
            QProcess::execute(QStringLiteral("bash"), {script(), QStringLiteral("stop"), clusterDir});
        clusterDir.clear();
    }

    void nothingLostOrDoubledAcrossAFailover() {
        if (QDir(QStringLiteral("/usr/lib/postgresql"))
                .entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)
                .isEmpty())
            QSKIP("no PostgreSQL server binaries are installed");
        QProcess cluster;
        cluster.start(QStringLiteral("bash"), {script()});
        QVERIFY(cluster.waitForFinished(180000));
        clusterDir = QString::fromUtf8(cluster.readAllStandardError()).trimmed().section(QLatin1Char('\n'), -1);
        QVERIFY2(cluster.exitCode() == 0, qPrintable(clusterDir));
        QTemporaryDir work;
        LoadRun::Options options;
        options.connection = QString::fromUtf8(cluster.readAllStandardOutput()).trimmed();
        options.clusterDir = clusterDir;
        options.failover = true;
        options.workstations = 4;
        bool set = false;
        const int seconds = qEnvironmentVariableIntValue("DREVALON_LOAD_SECONDS", &set);
        options.seconds = set && seconds > 0 ? seconds : 40;
        options.customers = 60;
        options.archive = 2000;
        options.workDir = work.path();
        const LoadRun::Result result = LoadRun(options).run();

        QVERIFY2(result.faults.isEmpty(), qPrintable(result.report));
        QVERIFY2(result.violations.isEmpty(), qPrintable(result.report));
        // The day did its work on both sides of the failover.
        QVERIFY2(result.ordersMoved > 0 && result.linesConfirmed > 0, qPrintable(result.report));
        QVERIFY2(result.recoveryMs >= 0, qPrintable(result.report));
    }
};

QTEST_GUILESS_MAIN(TestLoadFailover)
#include "tst_load_failover.moc"
