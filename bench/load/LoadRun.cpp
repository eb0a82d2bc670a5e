#include "bench/load/LoadRun.h"
#include "platform/ConnectionText.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

struct Line {
    int workstation = 0, order = 0;
    qint64 customer = 0;
    int kol = 0;
    double cena = 0;
    bool confirmed = false;
};

struct Order {
    bool totalKnown = false;
    double total = 0;
    bool moved = false;
    QStringList numbers;
};

/// What one workstation process said, as it said it.
struct Station {
    std::unique_ptr<QProcess> process;
    QByteArray pending;
    bool ready = false, ended = false;
    QList<qint64> okWalls; // when each of its commands completed
    QList<QPair<QString, QString>> cars;
};

/// The box text shortened to its reason: no numbers, names or server detail.
QString reasonOf(QString text) {
    text = text.simplified();
    text.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)")));
    text.replace(QRegularExpression(QStringLiteral("\"[^\"]*\"")), QStringLiteral("\"…\""));
    const qsizetype colon = text.indexOf(QStringLiteral(": "));
    if (colon > 0)
        text.truncate(colon);
    const qsizetype stop = text.indexOf(QStringLiteral(". "));
    if (stop > 0)
        text.truncate(stop);
    text.replace(QRegularExpression(QStringLiteral("\\d+")), QStringLiteral("#"));
    return text.left(100);
}

double percentile(QList<double> values, double share) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype at =
        std::min<qsizetype>(values.size() - 1, qsizetype(std::ceil(share * double(values.size()))) - 1);
    return values.at(std::max<qsizetype>(0, at));
}

/// The machine's processor ticks so far: busy ones and all of them.
QPair<qint64, qint64> processorTicks() {
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {0, 0};
    const QList<QByteArray> f = stat.readLine().simplified().split(' ');
    qint64 all = 0;
    for (int i = 1; i < f.size(); ++i)
        all += f[i].toLongLong();
    const qint64 idle = f.value(4).toLongLong() + f.value(5).toLongLong(); // idle and waiting for the disk
    return {all - idle, all};
}

/// How long past its length a day may be drawn out for the workstations to
/// work again after a failover on a slow machine.
constexpr int dayExtensionSeconds = 240;

/// The name each workstation process gives its order lines.
QString stationName(int workstation) { return QStringLiteral("load-ws%1").arg(workstation); }

QString scriptPath(bool automatic) {
    return automatic ? QStringLiteral(DREVALON_SOURCE_DIR "/scripts/pg-ha.sh")
                     : QStringLiteral(DREVALON_SOURCE_DIR "/scripts/pg-cluster.sh");
}

/// Runs a program to its end within the time given; its output, or an error.
bool runTool(const QString &program, const QStringList &arguments, int ms, QString *output) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    const bool finished = tool.waitForFinished(ms);
    *output = QString::fromUtf8(tool.readAll()).trimmed();
    if (!finished) {
        tool.kill();
        tool.waitForFinished(5000);
    }
    return finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

} // namespace

struct LoadRun::State {
    Options options;
    Result result;
    QTextStream out{stdout};
    std::vector<Station> stations;
    QHash<QString, Line> lines;
    QMap<QPair<int, int>, Order> orders;
    QMap<QString, QList<double>> times;
    struct PressTime {
        QString name;
        double ms;
        qint64 endWall;
    };
    QList<PressTime> presses;                        // every press that went through, for the windows below
    QList<QPair<qint64, qint64>> replicaKillWindows; // from a replica's kill to 10 s after its start again
    QMap<QString, int> failedPresses;
    QMap<QString, int> reasons;
    qint64 primaryStopped = 0, promoted = 0;
    QHash<QString, double> startingCurrent; // each workstation's lines in orderNow before they start
    qint64 workstationCpuMs = 0;
    qint64 busyTicks = 0, allTicks = 0; // the machine's, over the run

    // The automatic failover: events in turn, each once the cluster is whole
    // again after the one before: the leader killed (a new one awaited, the old
    // one started again), the synchronous replica killed (started again 5 s
    // later), the leader frozen for 40 s (a new one awaited; let go, it must
    // come back as a replica). Nobody promotes anything.
    enum class Event { None, LeaderKilled, ReplicaKilled, LeaderFrozen };
    Event event = Event::None;
    int eventsDone = 0;
    QString struck; // the node the event is about
    qint64 struckAt = 0, lastAsked = 0;
    bool newLeaderSeen = false;
    QString ha(const QStringList &arguments, bool mayFail = false) {
        QString said;
        if (!runTool(QStringLiteral("bash"), QStringList{scriptPath(true)} + arguments, 60000, &said) && !mayFail)
            result.faults.append(QStringLiteral("pg-ha.sh %1 failed: %2").arg(arguments.join(QLatin1Char(' ')), said));
        return said;
    }
    bool whole() {
        QString said;
        return runTool(QStringLiteral("bash"), {scriptPath(true), QStringLiteral("whole"), options.clusterDir}, 60000,
                       &said);
    }
    void strike(qint64 elapsed) {
        const int kind = eventsDone % 3;
        const QString dir = options.clusterDir;
        struck = ha({kind == 1 ? QStringLiteral("sync") : QStringLiteral("leader"), dir}, true);
        if (struck.isEmpty())
            return;
        ha({kind == 2 ? QStringLiteral("freeze") : QStringLiteral("kill"), dir, struck});
        struckAt = QDateTime::currentMSecsSinceEpoch();
        newLeaderSeen = false;
        ++eventsDone;
        if (kind == 0) {
            event = Event::LeaderKilled;
            ++result.leaderKills;
        } else if (kind == 1) {
            event = Event::ReplicaKilled;
            ++result.replicaKills;
        } else {
            event = Event::LeaderFrozen;
            ++result.freezes;
        }
        if (kind != 1)
            primaryStopped = struckAt;
        print(QStringLiteral("cluster: %1 %2 at %3 s")
                  .arg(struck, kind == 0   ? QStringLiteral("(the leader) killed")
                               : kind == 1 ? QStringLiteral("(the synchronous replica) killed")
                                           : QStringLiteral("(the leader) frozen"))
                  .arg(elapsed / 1000));
    }
    void followTheCluster(qint64 elapsed) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now - lastAsked < 500)
            return;
        lastAsked = now;
        const QString dir = options.clusterDir;
        if (event == Event::None) {
            // The next event falls at its share of the day (the only one: halfway).
            const qint64 due = qint64(options.seconds) * 1000 * (eventsDone + 1) / (options.events + 1);
            if (eventsDone < options.events && elapsed >= due && whole())
                strike(elapsed);
            return;
        }
        if (event == Event::ReplicaKilled) {
            if (now - struckAt >= 5000) {
                ha({QStringLiteral("start"), dir, struck});
                replicaKillWindows.append({struckAt, QDateTime::currentMSecsSinceEpoch() + 10000});
                print(QStringLiteral("cluster: %1 started again").arg(struck));
                event = Event::None;
            }
            return;
        }
        if (!newLeaderSeen) {
            const QString leader = ha({QStringLiteral("leader"), dir}, true);
            if (!leader.isEmpty() && leader != struck) {
                newLeaderSeen = true;
                promoted = QDateTime::currentMSecsSinceEpoch();
                result.electionMs = std::max(result.electionMs, promoted - struckAt);
                print(QStringLiteral("cluster: %1 leads, %2 ms after, by Patroni alone")
                          .arg(leader)
                          .arg(promoted - struckAt));
                if (event == Event::LeaderKilled) {
                    ha({QStringLiteral("start"), dir, struck});
                    event = Event::None;
                }
            } else if (now - struckAt > 120000) {
                result.faults.append(QStringLiteral("no new leader within 120 s of losing %1").arg(struck));
                ha({QStringLiteral("thaw"), dir, struck}, true);
                ha({QStringLiteral("start"), dir, struck}, true);
                event = Event::None;
            }
            return;
        }
        // Frozen: let go after 40 s; it must find another leading and follow.
        if (event == Event::LeaderFrozen && now - struckAt >= 40000) {
            ha({QStringLiteral("thaw"), dir, struck});
            print(QStringLiteral("cluster: %1 let go after 40 s").arg(struck));
            event = Event::None;
        }
    }

    // After the day: the whole cluster again, no node that was struck leading
    // a second timeline beside the leader.
    void checkTheClusterRejoined() {
        if (!options.failover || !options.automatic || eventsDone == 0)
            return;
        // An event the day's end cut short is ended first.
        if (event != Event::None) {
            ha({QStringLiteral("thaw"), options.clusterDir, struck}, true);
            if (event != Event::LeaderFrozen)
                ha({QStringLiteral("start"), options.clusterDir, struck}, true);
        }
        ha({QStringLiteral("wait"), options.clusterDir});
        print(QStringLiteral("cluster at the end (%1 leader kill(s), %2 replica kill(s), %3 freeze(s)):\n%4")
                  .arg(result.leaderKills)
                  .arg(result.replicaKills)
                  .arg(result.freezes)
                  .arg(ha({QStringLiteral("list"), options.clusterDir})));
    }

    // The presses that overlapped a replica's kill and return, set against
    // twice each command's p95 over the rest of the day.
    void replicaKillFigures() {
        if (replicaKillWindows.isEmpty())
            return;
        QMap<QString, QList<double>> during, otherwise;
        for (const PressTime &press : presses) {
            const qint64 start = press.endWall - qint64(press.ms);
            const bool inside = std::any_of(replicaKillWindows.cbegin(), replicaKillWindows.cend(), [&](const auto &w) {
                return start <= w.second && press.endWall >= w.first;
            });
            (inside ? during : otherwise)[press.name].append(press.ms);
        }
        print(QStringLiteral("presses while a replica was killed and back (to 10 s after its start):"));
        print(QStringLiteral("| command | presses | max ms | p95 otherwise ms | over 2 × that p95 |"));
        print(QStringLiteral("|---|---|---|---|---|"));
        for (auto it = during.cbegin(); it != during.cend(); ++it) {
            const double limit = 2 * percentile(otherwise.value(it.key()), 0.95);
            const double top = *std::max_element(it.value().cbegin(), it.value().cend());
            const auto over =
                std::count_if(it.value().cbegin(), it.value().cend(), [&](double ms) { return ms > limit; });
            result.replicaKillOverruns += int(over);
            print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
                      .arg(it.key())
                      .arg(it.value().size())
                      .arg(top, 0, 'f', 1)
                      .arg(limit / 2, 0, 'f', 1)
                      .arg(over));
        }
    }

    void print(const QString &text) {
        result.report += text + QLatin1Char('\n');
        out << text << Qt::endl;
    }
    void take(int index, const QString &said);
    bool loadStores(QString *error);
    void check(QSqlDatabase &db, qint64 elapsedMs);
    void figures(qint64 elapsedMs);
};

LoadRun::LoadRun(Options options) : m(std::make_unique<State>()) { m->options = std::move(options); }
LoadRun::~LoadRun() = default;

void LoadRun::State::take(int index, const QString &said) {
    Station &station = stations[size_t(index)];
    const QStringList w = said.split(QLatin1Char(' '));
    const QString &what = w.value(0);
    const auto fault = [&](const QString &text) {
        result.faults.append(QStringLiteral("workstation %1: %2").arg(index).arg(text));
    };
    if (what == QLatin1String("ready")) {
        station.ready = true;
    } else if (what == QLatin1String("end")) {
        station.ended = true;
        workstationCpuMs += w.value(1).toLongLong();
    } else if (what == QLatin1String("begin") && w.size() == 6) {
        Line line{index, w[1].toInt(), w[3].toLongLong(), w[4].toInt(), w[5].toDouble(), false};
        if (lines.contains(w[2]))
            fault(QStringLiteral("typed the number %1 twice").arg(w[2]));
        lines.insert(w[2], line);
        orders[{index, line.order}].numbers.append(w[2]);
    } else if (what == QLatin1String("line") && w.size() == 3) {
        if (w[2] == QLatin1String("ok"))
            lines[w[1]].confirmed = true;
    } else if (what == QLatin1String("total") && w.size() == 3) {
        Order &order = orders[{index, w[1].toInt()}];
        order.totalKnown = w[2] != QLatin1String("unknown");
        order.total = w[2] == QLatin1String("null") ? 0 : w[2].toDouble();
    } else if (what == QLatin1String("moved") && w.size() == 3) {
        orders[{index, w[1].toInt()}].moved = w[2] == QLatin1String("ok");
    } else if (what == QLatin1String("car") && w.size() == 3) {
        station.cars.append({w[1], w[2]});
    } else if (what == QLatin1String("cmd") && w.size() == 5) {
        if (w[4] == QLatin1String("ok")) {
            times[w[1]].append(w[2].toDouble());
            presses.append({w[1], w[2].toDouble(), w[3].toLongLong()});
            // Working again means a command that had to reach the server: a
            // pick or a sort may be served from rows read before.
            static const QStringList reaching{QStringLiteral("search"), QStringLiteral("post"), QStringLiteral("total"),
                                              QStringLiteral("move"),   QStringLiteral("edit"), QStringLiteral("car")};
            if (reaching.contains(w[1]))
                station.okWalls.append(w[3].toLongLong());
        } else {
            ++failedPresses[w[1]];
        }
    } else if (what == QLatin1String("box") && w.size() >= 3) {
        ++reasons[w[1] + QStringLiteral(": ") + reasonOf(said.section(QLatin1Char(' '), 2))];
    } else if (what == QLatin1String("fault")) {
        fault(said.mid(6));
    } else if (!said.trimmed().isEmpty()) {
        fault(QStringLiteral("said something unknown: ") + said.left(200));
    }
}

bool LoadRun::State::loadStores(QString *error) {
    QString said;
    const QString base = options.workDir + QStringLiteral("/demo");
    if (!runTool(QStringLiteral(DREVALON_STORES_BINARY),
                 {QStringLiteral("--driver"), QStringLiteral("QPSQL"), QStringLiteral("--database"), options.connection,
                  QStringLiteral("--alias-dir"), base, QStringLiteral("--customers"),
                  QString::number(options.customers), QStringLiteral("--archive"), QString::number(options.archive),
                  QStringLiteral("--force")},
                 600000, &said)) {
        *error = QStringLiteral("the store tool failed: ") + said;
        return false;
    }
    print(QStringLiteral("stores: ") + said.section(QLatin1Char('\n'), -1));
    if (!options.workstationRole.isEmpty() &&
        !runTool(QStringLiteral(DREVALON_STORES_BINARY),
                 {QStringLiteral("--driver"), QStringLiteral("QPSQL"), QStringLiteral("--database"), options.connection,
                  QStringLiteral("--alias-dir"), base, QStringLiteral("--grant"), options.workstationRole},
                 600000, &said)) {
        *error = QStringLiteral("the store tool could not grant the workstations' role: ") + said;
        return false;
    }
    // Each workstation has a car table of its own, as each shop PC does.
    for (int i = 0; i < options.workstations; ++i) {
        const QString dir = options.workDir + QStringLiteral("/ws%1").arg(i);
        QDir().mkpath(dir);
        QFile::remove(dir + QStringLiteral("/drevalonParadox.db"));
        if (!QFile::copy(base + QStringLiteral("/drevalonParadox.db"), dir + QStringLiteral("/drevalonParadox.db"))) {
            *error = QStringLiteral("could not copy the car table to ") + dir;
            return false;
        }
    }
    return true;
}

LoadRun::Result LoadRun::run() {
    State &s = *m;
    const Options &o = s.options;
    QDir().mkpath(o.workDir);
    QString error;
    if (!s.loadStores(&error)) {
        s.result.faults.append(error);
        s.print(error);
        return s.result;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("load-check"));
    db.setConnectOptions(o.connection);
    {
        if (!db.open()) {
            s.result.faults.append(QStringLiteral("the driver cannot read the server: ") + db.lastError().text());
            return s.result;
        }
        QSqlQuery q(db);
        q.exec(QStringLiteral("select station, coalesce(sum(kol*cena), 0) from orderNow group by station"));
        while (q.next())
            s.startingCurrent.insert(q.value(0).toString(), q.value(1).toDouble());
        db.close();
    }

    s.print(QStringLiteral("load: %1 workstation(s), %2 s, %3 customers, %4 archive lines%5%6")
                .arg(o.workstations)
                .arg(o.seconds)
                .arg(o.customers)
                .arg(o.archive)
                .arg(!o.failover   ? QString()
                     : o.automatic ? QStringLiteral(", the cluster struck %1 time(s)").arg(o.events)
                                   : QStringLiteral(", failover halfway"))
                .arg(o.thinkMs > 0 ? QStringLiteral(", a pause of %1 ms on average before each press").arg(o.thinkMs)
                                   : QStringLiteral(", no pause between presses")));
    // The workstations log in as a role that can change no table, as a shop's do.
    const QString workstationConnection =
        o.workstationRole.isEmpty() ? o.connection
                                    : ConnectionText::withWord(o.connection, QStringLiteral("user"), o.workstationRole);
    QEventLoop loop;
    s.stations.resize(size_t(o.workstations));
    for (int i = 0; i < o.workstations; ++i) {
        Station &station = s.stations[size_t(i)];
        station.process = std::make_unique<QProcess>();
        QProcess *p = station.process.get();
        p->setStandardErrorFile(o.workDir + QStringLiteral("/ws%1.log").arg(i));
        // Windows without a screen, as the tests run them.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(environment);
        QObject::connect(p, &QProcess::readyReadStandardOutput, &loop, [&s, i, p] {
            Station &st = s.stations[size_t(i)];
            st.pending += p->readAllStandardOutput();
            qsizetype end;
            while ((end = st.pending.indexOf('\n')) >= 0) {
                s.take(i, QString::fromUtf8(st.pending.left(end)));
                st.pending.remove(0, end + 1);
            }
        });
        // The workstations end their day when told; on their own only after
        // the longest the day may be drawn out.
        QFile::remove(o.workDir + QStringLiteral("/ws%1/stop").arg(i));
        QStringList args{QString::number(i), QString::number(o.seed + quint32(i)),
                         QString::number(o.seconds + dayExtensionSeconds), workstationConnection,
                         o.workDir + QStringLiteral("/ws%1").arg(i)};
        if (o.doublePost)
            args.append(QStringLiteral("--double-post"));
        if (o.thinkMs > 0)
            args.append({QStringLiteral("--think"), QString::number(o.thinkMs)});
        p->start(QStringLiteral(DREVALON_LOAD_WORKSTATION), args);
    }
    const auto running = [&s] {
        return std::count_if(s.stations.begin(), s.stations.end(),
                             [](const Station &st) { return st.process->state() != QProcess::NotRunning; });
    };
    const auto allReady = [&s] {
        return std::all_of(s.stations.begin(), s.stations.end(), [](const Station &st) { return st.ready; });
    };
    // Every wait has a limit: start-up, the work, and the end of the last order.
    QElapsedTimer clock;
    clock.start();
    // Waiting for output or this tick: the driver sleeps instead of spinning,
    // so it takes no processor time from the workstations.
    QTimer tick;
    tick.start(50);
    while (!allReady() && running() == o.workstations && clock.elapsed() < 300000)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    if (!allReady())
        s.print(
            QStringLiteral("start-up: %1 of %2 workstation(s) ready after %3 s (the limit is 300 s); the day "
                           "begins without waiting for the rest")
                .arg(std::count_if(s.stations.begin(), s.stations.end(), [](const Station &st) { return st.ready; }))
                .arg(o.workstations)
                .arg(clock.elapsed() / 1000));
    QElapsedTimer work;
    work.start();
    const QPair<qint64, qint64> ticksBefore = processorTicks();
    bool failed = false, stopped = false;
    // The day lasts its length, and after a failover until every workstation
    // has worked again, however slow the machine: a slow one draws it out
    // rather than fails the run, and the report says which limit ended it.
    const qint64 length = qint64(o.seconds) * 1000, longest = length + qint64(dayExtensionSeconds) * 1000;
    const qint64 limit = longest + 240000;
    const auto recovered = [&s] {
        return s.promoted > 0 && std::all_of(s.stations.begin(), s.stations.end(), [&s](const Station &st) {
                   return !st.okWalls.isEmpty() && st.okWalls.constLast() >= s.promoted;
               });
    };
    while (running() > 0 && work.elapsed() < limit) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
        if (!stopped && work.elapsed() >= length && (!o.failover || recovered())) {
            stopped = true;
            for (int i = 0; i < o.workstations; ++i)
                QFile(o.workDir + QStringLiteral("/ws%1/stop").arg(i)).open(QIODevice::WriteOnly);
            s.print(work.elapsed() - length < 1000
                        ? QStringLiteral("day: ended after its length, %1 s").arg(o.seconds)
                        : QStringLiteral("day: drawn out by %1 s past its length, until every workstation worked "
                                         "again after the failover")
                              .arg((work.elapsed() - length) / 1000));
        }
        if (o.failover && o.automatic) {
            s.followTheCluster(work.elapsed());
            continue;
        }
        if (o.failover && !failed && work.elapsed() >= qint64(o.seconds) * 500) {
            failed = true;
            QString said;
            if (!runTool(QStringLiteral("bash"), {scriptPath(false), QStringLiteral("fail"), o.clusterDir}, 60000,
                         &said))
                s.result.faults.append(QStringLiteral("the primary would not stop: ") + said);
            s.primaryStopped = QDateTime::currentMSecsSinceEpoch();
            // An operator takes a moment to see it and promote the standby.
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < o.promoteAfterMs)
                loop.processEvents(QEventLoop::WaitForMoreEvents);
            if (!runTool(QStringLiteral("bash"), {scriptPath(false), QStringLiteral("promote"), o.clusterDir}, 120000,
                         &said))
                s.result.faults.append(QStringLiteral("the standby would not take over: ") + said);
            s.promoted = QDateTime::currentMSecsSinceEpoch();
            s.print(QStringLiteral("failover: primary stopped, standby promoted %1 ms later")
                        .arg(s.promoted - s.primaryStopped));
        }
    }
    if (!stopped)
        s.print(QStringLiteral("day: not ended by the driver; the workstations ended it themselves after %1 s, the "
                               "longest it may be drawn out (%2 s past its length)%3")
                    .arg(o.seconds + dayExtensionSeconds)
                    .arg(dayExtensionSeconds)
                    .arg(o.failover && !recovered() ? QStringLiteral(", while not every workstation had worked again "
                                                                     "after the failover")
                                                    : QString()));
    const qint64 elapsed = work.elapsed();
    const QPair<qint64, qint64> ticksAfter = processorTicks();
    s.busyTicks = ticksAfter.first - ticksBefore.first;
    s.allTicks = ticksAfter.second - ticksBefore.second;
    for (int i = 0; i < o.workstations; ++i) {
        QProcess &p = *s.stations[size_t(i)].process;
        if (p.state() != QProcess::NotRunning) {
            s.result.faults.append(
                QStringLiteral("workstation %1 did not end within %2 s of the day's longest and was killed")
                    .arg(i)
                    .arg((limit - longest) / 1000));
            p.kill();
            p.waitForFinished(10000);
        }
        p.waitForReadyRead(0);
        Station &st = s.stations[size_t(i)];
        st.pending += p.readAllStandardOutput();
        for (const QByteArray &rest : st.pending.split('\n'))
            if (!rest.isEmpty())
                s.take(i, QString::fromUtf8(rest));
        st.pending.clear();
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !st.ended)
            s.result.faults.append(
                QStringLiteral("workstation %1 ended badly (exit %2%3), see %4/ws%1.log")
                    .arg(i)
                    .arg(p.exitCode())
                    .arg(p.exitStatus() == QProcess::CrashExit ? QStringLiteral(", crashed") : QString())
                    .arg(o.workDir));
    }
    s.checkTheClusterRejoined();
    if (!db.open())
        s.result.faults.append(QStringLiteral("the driver cannot read the server at the end: ") +
                               db.lastError().text());
    else
        s.check(db, elapsed);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("load-check"));
    s.figures(elapsed);
    return s.result;
}

void LoadRun::State::check(QSqlDatabase &db, qint64 elapsedMs) {
    (void)elapsedMs;
    struct Stored {
        qint64 customer;
        int kol;
        double cena;
        bool archived;
        QString station; // of a current line
    };
    QHash<QString, QList<Stored>> stored;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "select number, idcust, kol, cena, true, null from orderAll where number like 'LOAD%' "
            "union all select number, idcust, kol, cena, false, station from orderNow where number like 'LOAD%'")))
        result.faults.append(QStringLiteral("reading the lines failed: ") + q.lastError().text());
    while (q.next())
        stored[q.value(0).toString()].append({q.value(1).toLongLong(), q.value(2).toInt(), q.value(3).toDouble(),
                                              q.value(4).toBool(), q.value(5).toString()});

    const auto violation = [&](const QString &text) { result.violations.append(text); };
    int archived = 0, current = 0, gaveUp = 0, gaveUpStored = 0;
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        const Line &line = it.value();
        const QList<Stored> found = stored.value(it.key());
        if (line.confirmed)
            ++result.linesConfirmed;
        else
            ++gaveUp;
        if (line.confirmed && found.isEmpty())
            violation(QStringLiteral("line %1 (workstation %2, order %3) confirmed but lost")
                          .arg(it.key())
                          .arg(line.workstation)
                          .arg(line.order));
        if (found.size() > 1)
            violation(QStringLiteral("line %1 (workstation %2, %3) stored %4 times")
                          .arg(it.key())
                          .arg(line.workstation)
                          .arg(line.confirmed ? QStringLiteral("confirmed") : QStringLiteral("not confirmed"))
                          .arg(found.size()));
        for (const Stored &row : found) {
            (row.archived ? archived : current) += 1;
            if (!line.confirmed)
                ++gaveUpStored;
            if (!row.archived && row.station != stationName(line.workstation))
                violation(QStringLiteral("line %1 typed at workstation %2 is stored as %3's")
                              .arg(it.key())
                              .arg(line.workstation)
                              .arg(row.station));
            if (row.customer != line.customer || row.kol != line.kol || std::abs(row.cena - line.cena) > 0.005)
                violation(QStringLiteral("line %1 stored as customer %2, %3 × %4; typed for %5, %6 × %7")
                              .arg(it.key())
                              .arg(row.customer)
                              .arg(row.kol)
                              .arg(row.cena)
                              .arg(line.customer)
                              .arg(line.kol)
                              .arg(line.cena));
        }
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        if (!lines.contains(it.key()))
            violation(QStringLiteral("line %1 is stored but was never typed").arg(it.key()));

    // The total shown at Сумма заказа covers the workstation's own lines: the
    // lines typed there since its previous move (and its own lines before the
    // first), as stored, which are exactly those its next move takes. A line
    // of another workstation in a total, or moved by another, breaks it.
    int station = -1;
    double pending = 0;
    for (auto it = orders.cbegin(); it != orders.cend(); ++it) {
        if (it.key().first != station) {
            station = it.key().first;
            pending = startingCurrent.value(stationName(station));
        }
        const Order &order = it.value();
        for (const QString &number : order.numbers)
            for (const Stored &row : stored.value(number))
                pending += row.kol * row.cena;
        if (order.totalKnown) {
            ++result.totalsCompared;
            if (std::abs(order.total - pending) > 0.01)
                violation(QStringLiteral("workstation %1's order %2 showed the total %3, its lines come to %4")
                              .arg(station)
                              .arg(it.key().second)
                              .arg(order.total, 0, 'f', 2)
                              .arg(pending, 0, 'f', 2));
        }
        if (order.moved)
            pending = 0;
    }
    for (const Order &order : std::as_const(orders))
        result.ordersMoved += order.moved ? 1 : 0;

    // No car without its customer; every car confirmed is there once.
    QSet<qint64> customers;
    q.exec(QStringLiteral("select idcust from customer"));
    while (q.next())
        customers.insert(q.value(0).toLongLong());
    int cars = 0;
    for (size_t i = 0; i < stations.size(); ++i) {
        const QString name = QStringLiteral("load-cars-%1").arg(i);
        {
            QSqlDatabase local = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            local.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            local.setDatabaseName(options.workDir + QStringLiteral("/ws%1/drevalonParadox.db").arg(i));
            if (!local.open()) {
                result.faults.append(QStringLiteral("car table %1 unreadable").arg(i));
            } else {
                QHash<QString, QList<qint64>> owners;
                QSqlQuery c(local);
                c.exec(QStringLiteral("select Vin, IdCust from drevalonParadox"));
                while (c.next()) {
                    const qint64 owner = c.value(1).toLongLong();
                    owners[c.value(0).toString().trimmed()].append(owner);
                    ++cars;
                    if (!customers.contains(owner))
                        violation(QStringLiteral("workstation %1: car %2 of customer %3, who does not exist")
                                      .arg(i)
                                      .arg(c.value(0).toString())
                                      .arg(owner));
                }
                for (const auto &[vin, owner] : std::as_const(stations[i].cars))
                    if (owners.value(vin) != QList<qint64>{owner.toLongLong()})
                        violation(QStringLiteral("workstation %1: car %2 confirmed for %3, stored for [%4]")
                                      .arg(i)
                                      .arg(vin, owner)
                                      .arg([&] {
                                          QStringList o;
                                          for (qint64 id : owners.value(vin))
                                              o.append(QString::number(id));
                                          return o.join(QLatin1Char(','));
                                      }()));
            }
        }
        QSqlDatabase::removeDatabase(name);
    }
    print(QStringLiteral("lines: %1 typed, %2 confirmed, %3 given up (%4 of them stored); %5 archived, %6 still "
                         "current; %7 cars in the workstations' tables")
              .arg(lines.size())
              .arg(result.linesConfirmed)
              .arg(gaveUp)
              .arg(gaveUpStored)
              .arg(archived)
              .arg(current)
              .arg(cars));
}

void LoadRun::State::figures(qint64 elapsedMs) {
    const double minutes = double(elapsedMs) / 60000.0;
    print(QStringLiteral("orders archived: %1 in %2 min, %3 per minute")
              .arg(result.ordersMoved)
              .arg(minutes, 0, 'f', 2)
              .arg(minutes > 0 ? result.ordersMoved / minutes : 0, 0, 'f', 1));
    // Where the time goes: the workstations' own processor time against the
    // machine's (the server, this driver and anything else on it make the rest).
    if (allTicks > 0) {
        const double cores = double(QThread::idealThreadCount());
        const double busy = double(busyTicks) / double(allTicks);
        const double busySeconds = busy * cores * double(elapsedMs) / 1000.0;
        print(QStringLiteral("processor: the machine's %1 cores %2% busy over the run (%3 core-seconds); the "
                             "workstations used %4 core-seconds, the server and the rest %5")
                  .arg(cores)
                  .arg(busy * 100, 0, 'f', 0)
                  .arg(busySeconds, 0, 'f', 0)
                  .arg(double(workstationCpuMs) / 1000.0, 0, 'f', 0)
                  .arg(busySeconds - double(workstationCpuMs) / 1000.0, 0, 'f', 0));
    }
    QMap<QString, double> baseline;
    if (!options.compareFile.isEmpty()) {
        QFile file(options.compareFile);
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &row : file.readAll().split('\n')) {
                const QList<QByteArray> f = row.split(' ');
                if (f.size() >= 3)
                    baseline.insert(QString::fromUtf8(f[0]), f[1].toDouble());
            }
    }
    QString summary;
    print(QStringLiteral("| command | presses ok | failed | p50 ms | p95 ms | max ms |%1")
              .arg(baseline.isEmpty() ? QString() : QStringLiteral(" p50 alone ms | p95 / p50 alone |")));
    print(
        QStringLiteral("|---|---|---|---|---|---|%1").arg(baseline.isEmpty() ? QString() : QStringLiteral("---|---|")));
    for (auto it = times.cbegin(); it != times.cend(); ++it) {
        const double p50 = percentile(it.value(), 0.5), p95 = percentile(it.value(), 0.95),
                     top = *std::max_element(it.value().cbegin(), it.value().cend());
        QString row = QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |")
                          .arg(it.key())
                          .arg(it.value().size())
                          .arg(failedPresses.value(it.key()))
                          .arg(p50, 0, 'f', 1)
                          .arg(p95, 0, 'f', 1)
                          .arg(top, 0, 'f', 1);
        if (baseline.contains(it.key()))
            row += QStringLiteral(" %1 | %2 |")
                       .arg(baseline[it.key()], 0, 'f', 1)
                       .arg(p95 / baseline[it.key()], 0, 'f', 2);
        else if (!baseline.isEmpty())
            row += QStringLiteral(" | |");
        print(row);
        summary += QStringLiteral("%1 %2 %3 %4\n").arg(it.key()).arg(p50).arg(p95).arg(top);
    }
    if (!options.summaryFile.isEmpty()) {
        QFile file(options.summaryFile);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(summary.toUtf8());
    }
    replicaKillFigures();
    print(QStringLiteral("refusals by reason (press: reason, count):"));
    QList<QPair<int, QString>> sorted;
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
        sorted.append({it.value(), it.key()});
    std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &[count, reason] : sorted)
        print(QStringLiteral("  %1  %2").arg(count, 6).arg(reason));
    if (sorted.isEmpty())
        print(QStringLiteral("  none"));

    if (options.failover && promoted > 0) {
        qint64 worst = 0;
        QStringList never;
        for (size_t i = 0; i < stations.size(); ++i) {
            const QList<qint64> &walls = stations[i].okWalls;
            const auto next = std::find_if(walls.cbegin(), walls.cend(), [this](qint64 t) { return t >= promoted; });
            if (next == walls.cend())
                never.append(QString::number(i));
            else
                worst = std::max(worst, *next - promoted);
        }
        result.recoveryMs = never.isEmpty() ? worst : -1;
        print(never.isEmpty()
                  ? QStringLiteral("failover: every workstation completed a command on the server "
                                   "%1 ms after the promotion at the latest (%2 ms after the primary stopped)")
                        .arg(worst)
                        .arg(worst + promoted - primaryStopped)
                  : QStringLiteral("failover: workstation(s) %1 never completed a command after the "
                                   "promotion")
                        .arg(never.join(QStringLiteral(", "))));
    }
    print(QStringLiteral("totals compared with the lines moved: %1").arg(result.totalsCompared));
    int moveRefusals = 0, concurrent = 0;
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
        if (it.key().startsWith(QLatin1String("move: "))) {
            moveRefusals += it.value();
            if (it.key().contains(QLatin1String("concurrent"), Qt::CaseInsensitive))
                concurrent += it.value();
        }
    print(QStringLiteral("moves refused: %1, of them for a concurrent change: %2").arg(moveRefusals).arg(concurrent));
    print(QStringLiteral("invariant violations: %1").arg(result.violations.size()));
    for (const QString &v : result.violations.mid(0, 30))
        print(QStringLiteral("  ") + v);
    print(QStringLiteral("program faults: %1").arg(result.faults.size()));
    for (const QString &f : result.faults.mid(0, 30))
        print(QStringLiteral("  ") + f);
}
