// The program killed at random moments: a workstation process runs the real
// windows and data module over real stores, and is killed with SIGKILL at a
// seeded moment while it writes. After every kill both stores pass their
// integrity check, every row is whole, every step the workstation confirmed is
// there, and a step the kill cut through happened whole or not at all. The
// next round goes on with the same stores. DREVALON_KILL_ROUNDS sets the
// number of rounds (30 by default), DREVALON_KILL_SEED the first seed.
#include "tests/kill/KillLedger.h"
#include "tests/kill/KillPlan.h"
#include "tests/support/TestStores.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int fromEnvironment(const char *name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

/// Runs the store tool uninterrupted on the pair of paths and reads the rows
/// one size of its demo set makes from its own report.
bool demoOf(const KillPlan::Load &load, KillLedger::Demo *demo, QString *error, const QString &database,
            const QString &aliasDir) {
    QProcess tool;
    tool.start(QStringLiteral(DREVALON_STORES_BINARY),
               {QStringLiteral("--customers"), QString::number(load.customers), QStringLiteral("--archive"),
                QString::number(load.archive), QStringLiteral("--database"), database, QStringLiteral("--alias-dir"),
                aliasDir});
    tool.waitForFinished(120000);
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("\\((\\d+) customers, (\\d+) cars, (\\d+) archive lines, "
                                          "(\\d+) current order lines, (\\d+) IP row\\)"))
            .match(out);
    if (!m.hasMatch()) {
        *error = QStringLiteral("the store tool said: ") + out + QString::fromUtf8(tool.readAllStandardError());
        return false;
    }
    *demo = {m.captured(1).toLongLong(), m.captured(2).toLongLong(), m.captured(3).toLongLong(),
             m.captured(4).toLongLong(), m.captured(5).toLongLong()};
    return true;
}

/// One workstation, started in a process group of its own so that the kill
/// takes the store tool it may be running along with it.
class Workstation {
public:
    explicit Workstation(const QStringList &arguments) {
        m_process.setProgram(QStringLiteral(DREVALON_KILL_WORKSTATION));
        m_process.setArguments(arguments);
        m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
        m_process.start();
        if (m_process.waitForStarted(60000))
            m_group = pid_t(m_process.processId());
    }
    ~Workstation() { killGroup(); }

    /// Waits for the line that says the program is up; false when it never came.
    bool waitUntilReady() {
        QElapsedTimer timer;
        timer.start();
        while (!m_said.contains(QStringLiteral("ready")) && timer.elapsed() < 120000) {
            if (m_process.state() == QProcess::NotRunning)
                break;
            m_process.waitForReadyRead(100);
            take();
        }
        return m_said.contains(QStringLiteral("ready"));
    }
    /// Lets it work for the given time, reading what it says meanwhile.
    void letWork(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(int(std::max<qint64>(1, ms - timer.elapsed())));
            take();
        }
    }
    /// SIGKILL to it and whatever it started; true when it was still running.
    bool kill() {
        const bool running = m_process.state() == QProcess::Running;
        killGroup();
        m_process.waitForFinished(30000);
        // Its orphans came to this process: they are gone once reaped, as an
        // init that reaps at once would have it.
        while (m_group > 0 && ::waitpid(-m_group, nullptr, 0) > 0) {
        }
        m_group = 0;
        take();
        return running;
    }
    const QStringList &said() const { return m_said; }
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()).right(2000); }

private:
    void killGroup() {
        if (m_group > 0) // never 0: that would be this process's own group
            ::kill(-m_group, SIGKILL);
    }
    /// Whole lines only: each is written at once, so a kill never cuts one.
    void take() {
        m_pending += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_said.append(QString::fromUtf8(m_pending.left(end)));
            m_pending.remove(0, end + 1);
        }
    }

    pid_t m_group = 0;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_said;
};

} // namespace

class TestKills : public QObject {
    Q_OBJECT

    QList<KillLedger::Demo> demos;

private slots:
    void initTestCase() {
        if (TestStores::onServer())
            QSKIP("The kills are about the embedded stores' files: the suite runs without a server.");
        // What the killed workstation started is reaped here, not left to an
        // init that may take its time.
        QVERIFY(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);
        for (const KillPlan::Load &load : KillPlan::loads) {
            KillLedger::Demo demo;
            QString error;
            QTemporaryDir dir;
            QVERIFY2(
                demoOf(load, &demo, &error, dir.filePath(QStringLiteral("db")), dir.filePath(QStringLiteral("alias"))),
                qPrintable(error));
            demos.append(demo);
        }
        // A car table is told by its number of cars alone.
        for (int i = 0; i < demos.size(); ++i)
            for (int j = i + 1; j < demos.size(); ++j)
                QVERIFY(demos[i].cars != demos[j].cars);
    }

    void everyKillLeavesWholeStoresAndKeepsWhatWasConfirmed() {
        const int rounds = fromEnvironment("DREVALON_KILL_ROUNDS", 30);
        const int firstSeed = fromEnvironment("DREVALON_KILL_SEED", 1907);
        TestStores stores;
        QTemporaryDir toolDir;
        QVERIFY(stores.isValid() && toolDir.isValid());
        const QString toolDatabase = toolDir.filePath(QStringLiteral("drevalon.sqlite"));
        const QString toolAlias = toolDir.filePath(QStringLiteral("alias"));
        KillLedger ledger({stores.databasePath(), stores.carTablePath(), toolDatabase,
                           toolAlias + QStringLiteral("/drevalonParadox.db")},
                          demos);
        for (int i = 1; i <= 5; ++i) {
            const qint64 id = stores.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров%1").arg(i),
                                                 QStringLiteral("8900000000%1").arg(i));
            const QString vin = QStringLiteral("XTA2170300000000%1").arg(i);
            stores.addCar(QStringLiteral("Лада Приора"), vin, id, QStringLiteral("1.6"), QStringLiteral("МКПП"));
            ledger.knowCustomer(id);
            ledger.knowCar(vin, id);
        }

        // The tool's pair exists before the first round: every run replaces it.
        QString error;
        KillLedger::Demo first;
        QVERIFY2(demoOf(KillPlan::loads[0], &first, &error, toolDatabase, toolAlias), qPrintable(error));
        ledger.knowToolStores(0);

        QStringList faults;
        for (int round = 0; round < rounds && faults.size() < 3; ++round) {
            const quint32 seed = quint32(firstSeed + round);
            Workstation workstation({QString::number(seed), QString::number(round), stores.databasePath(),
                                     stores.settings().aliasDir, QStringLiteral(DREVALON_STORES_BINARY), toolDatabase,
                                     toolAlias});
            const bool ready = workstation.waitUntilReady();
            if (ready)
                workstation.letWork(int(QRandomGenerator(seed).bounded(301)));
            const bool killed = workstation.kill();
            ledger.read(workstation.said());
            QStringList found = ledger.settleAndCheck();
            if (!ready || !killed)
                found.append(QStringLiteral("the workstation ended by itself: ") + workstation.errors());
            for (const QString &fault : found)
                faults.append(QStringLiteral("round %1 (seed %2): %3").arg(round).arg(seed).arg(fault));
        }
        qInfo().noquote() << "first seed" << firstSeed << ledger.figures();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QCOMPARE(ledger.rounds(), rounds);
        // The kills came while the workstation wrote, not only between its steps.
        QVERIFY2(ledger.cutSteps() * 2 >= rounds, qPrintable(ledger.figures()));
    }
};

QTEST_GUILESS_MAIN(TestKills)
#include "tst_kills.moc"
